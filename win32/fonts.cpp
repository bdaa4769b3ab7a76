#include "fonts.h"

#include "wintext.h"

#include <cmath>

namespace quietwatch::win32 {

namespace {

bool faceInstalled(const std::wstring &face)
{
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(
        dc, &wanted,
        [](const LOGFONTW *, const TEXTMETRICW *, DWORD, LPARAM data) -> int {
            *reinterpret_cast<bool *>(data) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

} // namespace

std::wstring installedFace(std::string_view designFace)
{
    std::wstring face = wide(designFace);
    if (!face.empty() && faceInstalled(face)) {
        return face;
    }
    for (const wchar_t *standIn : {L"Yu Gothic UI", L"Meiryo UI"}) {
        if (faceInstalled(standIn)) {
            return standIn;
        }
    }
    return L"Meiryo UI";
}

HFONT Fonts::get(const std::optional<design::Font> &font, int dpi)
{
    // A window without a font of its own takes the system's Japanese UI face at 9 points.
    const design::Font f = font.value_or(design::Font{});
    const int tenths = static_cast<int>(std::lround(f.points * 10));
    const auto key = std::tuple(std::string(f.face), tenths, f.underline, dpi);
    if (const auto found = m_fonts.find(key); found != m_fonts.end()) {
        return found->second;
    }
    LOGFONTW lf{};
    lf.lfHeight = -static_cast<LONG>(std::lround(f.points * dpi / 72.0));
    lf.lfWeight = FW_NORMAL;
    lf.lfUnderline = f.underline ? TRUE : FALSE;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    installedFace(f.face).copy(lf.lfFaceName, LF_FACESIZE - 1);
    HFONT handle = CreateFontIndirectW(&lf);
    m_fonts.emplace(key, handle);
    return handle;
}

void Fonts::clear()
{
    for (auto &[key, handle] : m_fonts) {
        DeleteObject(handle);
    }
    m_fonts.clear();
}

} // namespace quietwatch::win32
