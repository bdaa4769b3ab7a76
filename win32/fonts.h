#pragma once

// The design's fonts at a DPI, with their stand-ins where Windows lacks a design face.

#include "windowdesign.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <windows.h>

namespace quietwatch::win32 {

// A design font at a DPI: the design face where Windows has it, otherwise a Japanese face
// that Windows 10 and 11 always have, never one that draws boxes.
class Fonts
{
public:
    Fonts() = default;
    Fonts(const Fonts &) = delete;
    Fonts &operator=(const Fonts &) = delete;
    ~Fonts() { clear(); }
    HFONT get(const std::optional<design::Font> &font, int dpi);
    void clear();

private:
    std::map<std::tuple<std::string, int, bool, int>, HFONT> m_fonts;
};

// The face used for a design face: itself if installed, else Yu Gothic UI, else Meiryo UI.
std::wstring installedFace(std::string_view designFace);

} // namespace quietwatch::win32
