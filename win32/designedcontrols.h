#pragma once

// The controls of a window, built from its table at the window's DPI.

#include "fonts.h"
#include "windowdesign.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include <windows.h>

namespace quietwatch::win32 {

// The controls of one window, created from its table in tab order (the dialog manager's
// order) and laid out at the window's DPI. Controls in a frame are the window's children
// placed inside the frame, so hiding the frame hides them with it.
class Controls
{
public:
    // The entries each drop-down list will hold, by name, where known before the lists are made:
    // such a list is made with the font that fits them and is not given another when filled.
    using ListEntries = std::vector<std::pair<std::string_view, const std::vector<std::string> *>>;
    void create(HWND parent, const design::Window &design, const ListEntries &lists = {});
    // Positions, fonts and label sizes at this DPI.
    void layout(int dpi);
    HWND operator[](std::string_view name) const;
    // The control a WM_COMMAND came from, or nullptr.
    const design::Control *byId(int id) const;
    const design::Window &design() const { return *m_design; }
    // A control's rectangle in the client area at the current DPI (frames resolved).
    RECT rect(const design::Control &control) const;
    void showFrame(std::string_view frame, bool show);
    // WM_CTLCOLORSTATIC: labels lie on the window's colour, in their own colour where they
    // have one; 0 for a control that is not a label (a read-only box keeps its look).
    LRESULT labelColours(WPARAM dc, LPARAM control) const;
    // A label's new text, sized to it.
    void setLabel(std::string_view name, std::string_view text);
    int dpi() const { return m_dpi; }
    Fonts &fonts() { return m_fonts; }

private:
    // Where a control goes at the current DPI: its design rectangle, a label sized to its text.
    RECT placement(const design::Control &control, HDC measure, const std::wstring &text);
    bool equalDigits(std::size_t index, HWND label, HFONT font);
    void fitDropDown(HWND list, const design::Control &control, int width);
    // The font, stepped down from the design's, in which every entry fits beside the arrow.
    design::Font fittedFont(const design::Control &control, const std::vector<std::wstring> &entries, int width);
    HFONT fontOf(std::size_t index);
    // The font the table gives a control (its own, else the window's), and it at the current DPI.
    design::Font fontDesign(const design::Control &control) const;
    HFONT designFont(const design::Control &control);

    const design::Window *m_design = nullptr;
    HWND m_parent = nullptr;
    std::vector<HWND> m_hwnds; // by the table's index
    std::vector<int> m_ids;
    std::vector<RECT> m_placed;                           // where create() made each control, until the first layout
    std::vector<std::optional<bool>> m_equalDigits;       // a label font's digits, measured when first asked
    std::vector<std::optional<design::Font>> m_listFonts; // a list made with a smaller font than its design's
    Fonts m_fonts;
    int m_dpi = 96;
};

// The id of a control's window: IDOK and IDCANCEL for the buttons Enter and Esc press (the
// dialog manager sends those), otherwise 100 + the control's index in its table.
int controlId(const design::Window &design, const design::Control &control);

} // namespace quietwatch::win32
