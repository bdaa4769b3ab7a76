#pragma once

// The idle-sleep inhibition of the system this program was built for. CMake compiles
// exactly one backend file, which defines createKeepAwake().

#include "keepawake.h"

#include <memory>

namespace quietwatch {

std::unique_ptr<KeepAwake> createKeepAwake();

} // namespace quietwatch
