#pragma once

// What both Win32 windows share: text conversion, the window procedure that forwards to
// an object, the program's lifetime, fonts with their stand-ins, controls built from a
// window's table at the window's DPI, and the message loop through the dialog manager.

#include "windowdesign.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <windows.h>

namespace quietwatch::win32 {

std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view text);
std::string windowText(HWND hwnd);
void setWindowText(HWND hwnd, std::string_view text);

// The program runs while any window made through Window is left; the last one to go
// ends the message loop.
int runMessageLoop();

// One top-level window with its own object: the procedure finds the object through the
// window's user data, set at WM_NCCREATE, and hands it every message.
class Controls;

class Window
{
public:
    Window() = default;
    Window(const Window &) = delete;
    Window &operator=(const Window &) = delete;
    virtual ~Window();

    HWND hwnd() const { return m_hwnd; }

protected:
    // Creates the window from its table (title, frame, menu), hidden, and counts it as open.
    bool create(const design::Window &design, const wchar_t *className, HWND owner, HICON icon);
    // Handles what every window does alike: the focus coming back, the label colours of its
    // table, and a new DPI (layout at it, then the place Windows suggests).
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void layout(int /*dpi*/) {}
    virtual const Controls *designedControls() const { return nullptr; }
    // After the window is gone; the object may delete itself here.
    virtual void destroyed() {}

private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void restoreFocus();
    HWND m_hwnd = nullptr;
    HWND m_lastFocus = nullptr; // the control that had the focus when the window was last left
};

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

// The controls of one window, created from its table in tab order (the dialog manager's
// order) and laid out at the window's DPI. Controls in a frame are the window's children
// placed inside the frame, so hiding the frame hides them with it.
class Controls
{
public:
    void create(HWND parent, const design::Window &design);
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
    SIZE textSize(HWND label, HFONT font) const;
    bool equalDigits(std::size_t index, HWND label, HFONT font);
    void fitDropDown(HWND list, const design::Control &control, int width);

    const design::Window *m_design = nullptr;
    HWND m_parent = nullptr;
    std::vector<HWND> m_hwnds; // by the table's index
    std::vector<int> m_ids;
    std::vector<std::optional<bool>> m_equalDigits; // a label font's digits, measured when first asked
    Fonts m_fonts;
    int m_dpi = 96;
};

// The id of a control's window: IDOK and IDCANCEL for the buttons Enter and Esc press (the
// dialog manager sends those), otherwise 100 + the control's index in its table.
int controlId(const design::Window &design, const design::Control &control);

// The design's client size at a DPI as the outer size of a window with this style and menu.
SIZE outerSize(HWND hwnd, int clientWidthTwips, int clientHeightTwips, int dpi);

// The menu bar of a table; item ids are 1000 + 100 * menu + item.
HMENU createMenuBar(const design::Window &design);
const design::MenuItem *menuItem(const design::Window &design, int id);

// The program's 32 x 32 icon from its resources, or nullptr.
HICON programIcon();

// A picture from an RCDATA resource (a JPEG), decoded and scaled to the size given;
// nullptr where it cannot be had. The caller deletes it.
HBITMAP loadPicture(const wchar_t *resource, SIZE size);

} // namespace quietwatch::win32
