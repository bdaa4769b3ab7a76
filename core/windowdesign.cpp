#include "windowdesign.h"

#include <algorithm>

namespace quietwatch::design {

const Control *Window::control(std::string_view controlName) const
{
    const auto found = std::ranges::find(controls, controlName, &Control::name);
    return found != controls.end() ? &*found : nullptr;
}

bool takesFocus(Kind kind)
{
    switch (kind) {
    case Kind::CommandButton:
    case Kind::TextBox:
    case Kind::LogBox:
    case Kind::EditBox:
    case Kind::DropDownList:
    case Kind::OptionButton:
    case Kind::PictureBox:
        return true;
    case Kind::Frame:
    case Kind::Label:
    case Kind::Line:
    case Kind::Timer:
    case Kind::Socket:
        return false;
    }
    return false;
}

std::vector<const Control *> tabChain(const Window &window)
{
    std::vector<const Control *> chain;
    for (const Control &control : window.controls) {
        if (control.tab >= 0 && takesFocus(control.kind)) {
            chain.push_back(&control);
        }
    }
    std::ranges::stable_sort(chain, {}, &Control::tab);
    return chain;
}

char accessKey(std::string_view caption)
{
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') {
            continue;
        }
        const char key = caption[i + 1];
        if (key == '&') {
            ++i; // "&&" is a plain ampersand
            continue;
        }
        return (key >= 'A' && key <= 'Z') ? static_cast<char>(key - 'A' + 'a') : key;
    }
    return 0;
}

} // namespace quietwatch::design
