#include "ui/search/entryzoom.h"

#include <algorithm>
#include <array>

namespace {
constexpr std::array levels{50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300};
static_assert(levels.front() == EntryZoom::minPercent && levels.back() == EntryZoom::maxPercent);
} // namespace

namespace EntryZoom {

int Clamp(int percent)
{
    return std::clamp(percent, minPercent, maxPercent);
}

int Step(int percent, int steps)
{
    percent = Clamp(percent);
    for (; steps > 0; --steps) {
        const auto next = std::upper_bound(levels.begin(), levels.end(), percent);
        if (next == levels.end())
            break;
        percent = *next;
    }
    for (; steps < 0; ++steps) {
        const auto below = std::lower_bound(levels.begin(), levels.end(), percent);
        if (below == levels.begin())
            break;
        percent = *(below - 1);
    }
    return percent;
}

} // namespace EntryZoom
