#include "fonts.h"

#include "wintext.h"

#include <cmath>
#include <vector>

namespace quietwatch::win32 {

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

Face installedFace(std::string_view designFace, const std::function<bool(const std::wstring &)> &installed)
{
    const bool fixedPitch = designFace == design::kGothic;
    std::vector<std::wstring> chain;
    if (!designFace.empty()) {
        chain.push_back(wide(designFace));
    }
    if (designFace == design::kPGothic) {
        chain.insert(chain.end(), {L"MS PGothic", L"Yu Gothic UI", L"Meiryo UI"});
    } else if (fixedPitch) {
        chain.insert(chain.end(), {L"MS Gothic", L"BIZ UDGothic"});
    } else {
        chain.insert(chain.end(), {L"Yu Gothic UI", L"Meiryo UI"});
    }
    for (const std::wstring &face : chain) {
        if (installed(face)) {
            return Face{face, fixedPitch};
        }
    }
    return Face{fixedPitch ? L"" : L"Meiryo UI", fixedPitch};
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
    const Face face = installedFace(f.face);
    lf.lfPitchAndFamily = face.fixedPitch ? FIXED_PITCH | FF_MODERN : DEFAULT_PITCH;
    face.name.copy(lf.lfFaceName, LF_FACESIZE - 1);
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
