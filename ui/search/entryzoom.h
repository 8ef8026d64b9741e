#pragma once

// The sizes the entry view can be zoomed to, in per cent, stepping as browsers do: by 10 %
// near the normal size and by 25 % or 50 % further away.
namespace EntryZoom {
inline constexpr int normalPercent = 100;
inline constexpr int minPercent = 50;
inline constexpr int maxPercent = 300;
// Any value, e.g. one read from the settings, brought into the allowed range.
int Clamp(int percent);
// The size steps levels up (positive) or down (negative) from percent; a percent between
// levels first goes to the next level on the way.
int Step(int percent, int steps);
} // namespace EntryZoom
