#include "windowrules.h"

namespace quietwatch {

LayoutChange toggleLayout(std::string_view caption, int outerWidth)
{
    if (caption == kNarrowLayoutCaption) {
        return {kWideLayoutCaption, outerWidth * 2, true};
    }
    return {kNarrowLayoutCaption, outerWidth / 2, false};
}

Closing windowsClosedBy(CloseCommand command)
{
    switch (command) {
    case CloseCommand::ExitButton:
        return {true, false};
    case CloseCommand::FileExit:
        return {true, true};
    case CloseCommand::AboutOk:
        return {false, true};
    }
    return {};
}

} // namespace quietwatch
