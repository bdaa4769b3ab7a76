#pragma once

// The power layer of the system this program was built for. CMake compiles exactly
// one backend file, which defines createPowerPlatform().

#include "powercontrol.h"

#include <memory>

namespace quietwatch {

std::unique_ptr<PowerPlatform> createPowerPlatform();

} // namespace quietwatch
