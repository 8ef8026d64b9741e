#pragma once

#include <QString>

// The program's per-user values: 32-bit integers in the "Settings" section of the
// application's key, each declared once with its name and default. On Linux they live in
// $XDG_CONFIG_HOME/Dravik/Verbolix.conf; on Windows the same code uses the registry under
// HKCU\Software\Dravik\Verbolix. Reads and writes go straight to the store.
struct IntSetting
{
    const char* name;
    int defaultValue;
};

namespace Setting {
inline constexpr IntSetting AlwaysOnTop{"AlwaysOnTop", 0};
inline constexpr IntSetting CheckClipboard{"CheckClipboard", 0};
inline constexpr IntSetting LastMessageID{"LastMessageID", 0};
inline constexpr IntSetting TrenutniFilter{"TrenutniFilter", 0};
inline constexpr IntSetting FirstRun{"FirstRun", 0};
inline constexpr IntSetting DialogX{"DialogX", 0};
inline constexpr IntSetting DialogY{"DialogY", 0};
inline constexpr IntSetting DialogW{"DialogW", 0};
inline constexpr IntSetting DialogH{"DialogH", 0};
inline constexpr IntSetting DialogMinMax{"DialogMinMax", 0};
// The main window's placement as the user left it: its normal (not maximised) frame in
// screen pixels, whether it was maximised, and the width of the left pane. A width or
// height of 0 means none was kept.
inline constexpr IntSetting WindowX{"WindowX", 0};
inline constexpr IntSetting WindowY{"WindowY", 0};
inline constexpr IntSetting WindowWidth{"WindowWidth", 0};
inline constexpr IntSetting WindowHeight{"WindowHeight", 0};
inline constexpr IntSetting WindowMaximized{"WindowMaximized", 0};
inline constexpr IntSetting PaneWidth{"PaneWidth", 0};
// The size of the entries in per cent, the same for every entry.
inline constexpr IntSetting EntryZoomPercent{"EntryZoomPercent", 100};
} // namespace Setting

namespace Settings {
// A switch's toggle: 1 minus the value, without overflow for any value the store may hold
// (only exactly 1 is on, so 2 becomes -1 and stays off).
int OneMinus(int value);
// A missing value, or one that is not a whole number, reads as the default.
int Read(const IntSetting& setting);
// Written at once; a failure to write is silent.
void Write(const IntSetting& setting, int value);
// Only exactly 1 means on.
inline bool IsOn(const IntSetting& setting)
{
    return Read(setting) == 1;
}
} // namespace Settings
