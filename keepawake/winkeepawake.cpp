#include "winkeepawake.h"

#include "keepawakeplatform.h"

namespace quietwatch {

std::unique_ptr<KeepAwake> createKeepAwake()
{
    return std::make_unique<WinKeepAwake>();
}

} // namespace quietwatch
