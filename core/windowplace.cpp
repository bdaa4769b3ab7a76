#include "windowplace.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <vector>

namespace quietwatch {

namespace {

// The nearest start of a run of `length` inside [start, start + size), for `wanted`.
int clampInto(int wanted, int length, int start, int size)
{
    return std::max(start, std::min(wanted, start + size - length));
}

} // namespace

ScreenPoint aboutWindowPlace(const ScreenRect &mainOuter, std::span<const PlaceArea> areas)
{
    const ScreenPoint beside{mainOuter.left + mainOuter.width, mainOuter.top};
    ScreenPoint best = beside;
    long long bestDistance = std::numeric_limits<long long>::max();
    for (const auto &[area, aboutWidth, aboutHeight] : areas) {
        // Wholly inside the area, the window is on that area's screen and has the size given for it.
        const ScreenPoint inside{clampInto(beside.x, aboutWidth, area.left, area.width),
                                 clampInto(beside.y, aboutHeight, area.top, area.height)};
        // Where the window fits as placed, the distance is 0 and the placement stands.
        const long long distance = std::llabs(static_cast<long long>(inside.x) - beside.x) +
                                   std::llabs(static_cast<long long>(inside.y) - beside.y);
        if (distance < bestDistance) {
            best = inside;
            bestDistance = distance;
        }
    }
    return best;
}

ScreenPoint aboutWindowPlace(const ScreenRect &mainOuter, int aboutWidth, int aboutHeight,
                             std::span<const ScreenRect> availableAreas)
{
    const auto sized = [&](const ScreenRect &area) { return PlaceArea{area, aboutWidth, aboutHeight}; };
    std::vector<PlaceArea> areas;
    areas.reserve(availableAreas.size());
    std::ranges::transform(availableAreas, std::back_inserter(areas), sized);
    return aboutWindowPlace(mainOuter, areas);
}

} // namespace quietwatch
