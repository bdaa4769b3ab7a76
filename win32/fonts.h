#pragma once

// The design's fonts at a DPI, with their stand-ins where Windows lacks a design face.

#include "windowdesign.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <windows.h>

namespace quietwatch::win32 {

// A design font at a DPI, in the face installedFace chooses.
class Fonts
{
public:
    Fonts() = default;
    Fonts(const Fonts &) = delete;
    Fonts &operator=(const Fonts &) = delete;
    ~Fonts() { clear(); }
    HFONT get(const std::optional<design::Font> &font, int dpi);
    void clear();
    void swap(Fonts &other) noexcept { m_fonts.swap(other.m_fonts); }

private:
    std::map<std::tuple<std::string, int, bool, int>, HFONT> m_fonts;
};

// Whether Windows has a font of this face name.
bool faceInstalled(const std::wstring &face);

// The face a design face is drawn in. An empty name leaves the choice to the font mapper,
// among the Japanese faces of the pitch asked for.
struct Face
{
    std::wstring name;
    bool fixedPitch = false;
};

// As on the Qt side: the design face, its English name (a Windows not set to Japanese lists
// only that), then stand-ins of the same pitch: Yu Gothic UI and Meiryo UI for the proportional
// face, BIZ UDGothic or any fixed-pitch Japanese face for the fixed one (the clock's digits
// must keep their places). A face the design does not name takes the UI stand-ins.
Face installedFace(std::string_view designFace,
                   const std::function<bool(const std::wstring &)> &installed = faceInstalled);

} // namespace quietwatch::win32
