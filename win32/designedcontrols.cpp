#include "designedcontrols.h"

#include "accessiblenames.h"
#include "datetext.h"
#include "wintext.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <commctrl.h>

namespace quietwatch::win32 {

namespace {

// A drop-down list's window is as tall as its closed box; the open list is a window of its own.
int closedListHeight(HWND list)
{
    RECT r{};
    GetWindowRect(list, &r);
    return r.bottom - r.top;
}

constexpr int kFirstControlId = 100;

DWORD styleOf(const design::Control &control)
{
    constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
    switch (control.kind) {
    case design::Kind::Frame:
        return kChild | BS_GROUPBOX | WS_CLIPSIBLINGS;
    case design::Kind::CommandButton:
        return kChild | WS_TABSTOP | WS_GROUP |
               (control.role == design::Role::Default || control.role == design::Role::DefaultAndCancel
                    ? BS_DEFPUSHBUTTON
                    : BS_PUSHBUTTON);
    case design::Kind::Label:
        // One line each: a label wrapping at a width it has not yet grown to would hide its words.
        return kChild | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
    case design::Kind::TextBox:
        return kChild | WS_TABSTOP | WS_GROUP | ES_READONLY | ES_AUTOHSCROLL;
    case design::Kind::LogBox:
        return kChild | WS_TABSTOP | WS_GROUP | ES_READONLY | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
               WS_VSCROLL | WS_HSCROLL;
    case design::Kind::EditBox:
        return kChild | WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL;
    case design::Kind::DropDownList:
        // The scroll bar is kept, disabled where a list shows all its entries (the date and hour
        // lists, 30 entries or fewer): shown and hidden, it changes the list's frame, costly under Wine.
        return kChild | WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_DISABLENOSCROLL;
    case design::Kind::OptionButton:
        return kChild | BS_AUTORADIOBUTTON;
    case design::Kind::PictureBox:
        // Drawn by its window: a bitmap static would shrink to its picture.
        return kChild | WS_TABSTOP | WS_GROUP | SS_OWNERDRAW | SS_NOTIFY;
    case design::Kind::Line:
    case design::Kind::Timer:
    case design::Kind::Socket:
        return 0;
    }
    return 0;
}

const wchar_t *classOf(design::Kind kind)
{
    switch (kind) {
    case design::Kind::Frame:
    case design::Kind::CommandButton:
    case design::Kind::OptionButton:
        return WC_BUTTONW;
    case design::Kind::Label:
    case design::Kind::PictureBox:
        return WC_STATICW;
    case design::Kind::TextBox:
    case design::Kind::LogBox:
    case design::Kind::EditBox:
        return WC_EDITW;
    case design::Kind::DropDownList:
        return WC_COMBOBOXW;
    case design::Kind::Line:
    case design::Kind::Timer:
    case design::Kind::Socket:
        return nullptr;
    }
    return nullptr;
}

// A multi-line box would keep Tab and Esc for itself; the window's dialog manager gets them.
LRESULT CALLBACK logBoxKeys(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
    return message == WM_GETDLGCODE ? result & ~(DLGC_WANTTAB | DLGC_WANTALLKEYS) : result;
}

int textHeight(HDC measure, HFONT font)
{
    TEXTMETRICW metrics{};
    HGDIOBJ old = SelectObject(measure, font);
    GetTextMetricsW(measure, &metrics);
    SelectObject(measure, old);
    return metrics.tmHeight;
}

// A single line's extent in a font, measured in a memory DC (a window's DC costs Wine a request).
SIZE lineSize(HDC measure, HFONT font, std::wstring_view text)
{
    HGDIOBJ old = SelectObject(measure, font);
    RECT extent{0, 0, 0, 0};
    DrawTextW(measure, text.data(), static_cast<int>(text.size()), &extent, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(measure, old);
    return SIZE{extent.right, extent.bottom};
}

} // namespace

void Controls::create(HWND parent, const design::Window &design, const ListEntries &lists)
{
    m_design = &design;
    m_parent = parent;
    m_hwnds.assign(design.controls.size(), nullptr);
    m_ids.assign(design.controls.size(), 0);
    // The dialog manager walks the children in creation order: first what takes the focus,
    // in tab order, then labels, then frames (below everything they hold).
    std::vector<std::size_t> order;
    for (const design::Control *control : design::tabChain(design)) {
        order.push_back(static_cast<std::size_t>(control - design.controls.data()));
    }
    for (const design::Kind kind : {design::Kind::Label, design::Kind::Frame}) {
        for (std::size_t i = 0; i < design.controls.size(); ++i) {
            if (design.controls[i].kind == kind) {
                order.push_back(i);
            }
        }
    }
    // Each control is made where the layout will want it and given its font at once, so that
    // the first layout redoes nothing: under Wine a move or a new font is dozens of requests to
    // its server, a drop-down's most of all, and more once its list is filled.
    m_dpi = static_cast<int>(GetDpiForWindow(parent));
    m_placed.assign(design.controls.size(), RECT{});
    m_listFonts.assign(design.controls.size(), std::nullopt);
    for (const auto &[name, entries] : lists) {
        if (const design::Control *control = design.control(name); control != nullptr && entries != nullptr) {
            std::vector<std::wstring> texts;
            for (const std::string &entry : *entries) {
                texts.push_back(wide(entry));
            }
            const RECT r = rect(*control);
            const design::Font font = fittedFont(*control, texts, r.right - r.left);
            if (font.points != control->font.value_or(design.font.value_or(design::Font{})).points) {
                m_listFonts[static_cast<std::size_t>(control - design.controls.data())] = font;
            }
        }
    }
    HDC measure = CreateCompatibleDC(nullptr);
    // A closed drop-down list's height before it has a font of its own: its text in the system
    // font + 4, and 2 + 2 of border. Made that high, it has nothing to resize until it gets its font.
    const int closedInSystemFont = textHeight(measure, static_cast<HFONT>(GetStockObject(SYSTEM_FONT))) + 8;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    bool optionGroupStarted = false;
    for (const std::size_t i : order) {
        const design::Control &control = design.controls[i];
        const wchar_t *className = classOf(control.kind);
        if (className == nullptr) {
            continue;
        }
        const int id = controlId(design, control);
        DWORD style = styleOf(control);
        if (control.kind == design::Kind::OptionButton && !optionGroupStarted) {
            style |= WS_GROUP | WS_TABSTOP; // the group's one stop; arrows move within it
            optionGroupStarted = true;
        }
        const DWORD exStyle = (control.kind == design::Kind::TextBox || control.kind == design::Kind::LogBox ||
                               control.kind == design::Kind::EditBox || control.kind == design::Kind::PictureBox)
                                  ? WS_EX_CLIENTEDGE
                                  : 0;
        const std::wstring text = control.kind == design::Kind::PictureBox ? L"" : wide(control.text);
        const RECT r = m_placed[i] = placement(control, measure, text);
        // A drop-down list is made as high as its closed box and not resized: with the common
        // controls 6 its open list shows at least 30 entries (all, where it has fewer) whatever
        // height it is given, and a list given another height resizes its open list too, some
        // milliseconds each under Wine.
        const bool list = control.kind == design::Kind::DropDownList;
        m_hwnds[i] = CreateWindowExW(exStyle, className, text.c_str(), style, r.left, r.top, r.right - r.left,
                                     list ? closedInSystemFont : r.bottom - r.top, parent,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        m_ids[i] = id;
        SendMessageW(m_hwnds[i], WM_SETFONT, reinterpret_cast<WPARAM>(fontOf(i)), FALSE);
        if (list && m_listFonts[i]) {
            // Its smaller font would make the closed box lower than its neighbours': the box gets
            // the height the design's font gives it. The default height follows the font's, on
            // Windows and Wine alike; what the field height set adds to it is measured (Wine
            // keeps 2 pixels more than it is given, Windows none).
            const int grow = textHeight(measure, designFont(control)) - textHeight(measure, fontOf(i));
            const int closed = closedListHeight(m_hwnds[i]) + grow;
            const LRESULT field = SendMessageW(m_hwnds[i], CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0) + grow;
            SendMessageW(m_hwnds[i], CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
            if (const int more = closedListHeight(m_hwnds[i]) - closed; more != 0) {
                SendMessageW(m_hwnds[i], CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field - more);
            }
        }
        if (control.kind == design::Kind::LogBox) {
            SetWindowSubclass(m_hwnds[i], &logBoxKeys, 0, 0);
        }
        if (!control.accessibleName.empty()) {
            nameOnRequest(m_hwnds[i], control);
        }
        if (control.kind == design::Kind::OptionButton && control.checked) {
            SendMessageW(m_hwnds[i], BM_SETCHECK, BST_CHECKED, 0);
        }
    }
    DeleteDC(measure);
}

RECT Controls::rect(const design::Control &control) const
{
    int left = control.left;
    int top = control.top;
    if (!control.container.empty()) {
        if (const design::Control *frame = m_design->control(control.container)) {
            left += frame->left;
            top += frame->top;
        }
    }
    const int x = design::pixels(left, m_dpi);
    const int y = design::pixels(top, m_dpi);
    return RECT{x, y, x + design::pixels(control.width, m_dpi), y + design::pixels(control.height, m_dpi)};
}

RECT Controls::placement(const design::Control &control, HDC measure, const std::wstring &text)
{
    RECT r = rect(control);
    const int height = r.bottom - r.top;
    if (control.kind == design::Kind::OptionButton) {
        // Tall enough for the check mark and the text, centred on the design line.
        const int tall = std::max(height, MulDiv(16, m_dpi, 96));
        r.top -= (tall - height) / 2;
        r.bottom = r.top + tall;
    } else if (control.kind == design::Kind::Label) {
        const SIZE extent = lineSize(measure, designFont(control), text);
        r.right = r.left + extent.cx;
        r.bottom = r.top + extent.cy;
    }
    return r;
}

void Controls::layout(int dpi)
{
    // One font and one move a control, none where create() already gave them at this DPI.
    // The fonts of the old DPI go only once every control has its new one: a control measures
    // and paints with the font it has until then.
    Fonts retired;
    if (dpi != m_dpi) {
        retired.swap(m_fonts);
        m_placed.clear();
        m_listFonts.clear(); // fitted again below, to the entries the lists hold
        m_dpi = dpi;
    }
    m_equalDigits.assign(m_hwnds.size(), std::nullopt);
    HDC measure = CreateCompatibleDC(nullptr); // a memory DC: a window's DC costs Wine server requests
    for (std::size_t i = 0; i < m_hwnds.size(); ++i) {
        HWND hwnd = m_hwnds[i];
        if (hwnd == nullptr) {
            continue;
        }
        const design::Control &control = m_design->controls[i];
        if (control.kind == design::Kind::DropDownList && (m_placed.empty() || !m_listFonts[i])) {
            // Made with a font fitted to its entries, it has its font; others are fitted now.
            const RECT r = rect(control);
            fitDropDown(hwnd, control, r.right - r.left);
        } else if (m_placed.empty()) {
            SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(designFont(control)), FALSE);
        }
        std::wstring text;
        if (control.kind == design::Kind::Label) {
            text.resize(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1);
            text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
        }
        const RECT r = placement(control, measure, text);
        if (i >= m_placed.size() || !EqualRect(&r, &m_placed[i])) {
            SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    DeleteDC(measure);
    m_placed.clear(); // later layouts (a new DPI) move every control: labels may have resized since
}

void Controls::fitDropDown(HWND list, const design::Control &control, int width)
{
    // The font fitted to the entries the list holds, while the closed box keeps the height of
    // its neighbours.
    design::Font font = fontDesign(control);
    HFONT unfitted = m_fonts.get(font, m_dpi);
    const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    std::vector<std::wstring> entries;
    for (int i = 0; i < count; ++i) {
        std::wstring text(static_cast<std::size_t>(SendMessageW(list, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
        text.resize(
            static_cast<std::size_t>(SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
        entries.push_back(std::move(text));
    }
    const double designPoints = font.points;
    font = fittedFont(control, entries, width);
    if (m_placed.empty()) { // not just made with it
        SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(unfitted), FALSE);
    }
    if (font.points == designPoints) {
        return;
    }
    const LRESULT fieldHeight = SendMessageW(list, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    const LRESULT itemHeight = SendMessageW(list, CB_GETITEMHEIGHT, 0, 0);
    const int closedHeight = closedListHeight(list);
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(m_fonts.get(font, m_dpi)), FALSE);
    SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), fieldHeight);
    SendMessageW(list, CB_SETITEMHEIGHT, 0, itemHeight);
    // Wine's list keeps 2 pixels more than the field height it is given back (Windows none):
    // the closed box is measured again and the field set to what makes it as tall as before.
    if (const int more = closedListHeight(list) - closedHeight; more != 0) {
        SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), fieldHeight - more);
    }
}

design::Font Controls::fittedFont(const design::Control &control, const std::vector<std::wstring> &entries, int width)
{
    // A Win32 list's arrow is as wide as a scroll bar, so at the design width a face wider than
    // the design's (the stand-ins) would cut the entries off: the font steps down until the
    // widest entry fits beside the arrow.
    design::Font font = fontDesign(control);
    const int room = width - GetSystemMetricsForDpi(SM_CXVSCROLL, static_cast<UINT>(m_dpi)) -
                     4 * GetSystemMetricsForDpi(SM_CXEDGE, static_cast<UINT>(m_dpi));
    HDC dc = CreateCompatibleDC(nullptr); // measures as the list's own DC, without a Wine server request
    const auto widest = [&](HFONT f) {
        HGDIOBJ old = SelectObject(dc, f);
        LONG most = 0;
        for (const std::wstring &text : entries) {
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
            most = std::max(most, size.cx);
        }
        SelectObject(dc, old);
        return static_cast<int>(most);
    };
    const double designPoints = font.points;
    if (const int needed = widest(m_fonts.get(font, m_dpi)); needed > room) {
        // Text widths follow the point size closely: start at the quarter point that should fit
        // and step down from there only if the face's rounding asks for it.
        const double smallest = designPoints * 0.75;
        font.points = std::max(smallest, std::floor(designPoints * room / needed * 4) / 4);
        while (font.points - 0.25 >= smallest && widest(m_fonts.get(font, m_dpi)) > room) {
            font.points -= 0.25;
        }
    }
    DeleteDC(dc);
    return font;
}

HFONT Controls::fontOf(std::size_t index)
{
    if (index < m_listFonts.size() && m_listFonts[index]) {
        return m_fonts.get(*m_listFonts[index], m_dpi);
    }
    return designFont(m_design->controls[index]);
}

design::Font Controls::fontDesign(const design::Control &control) const
{
    return control.font.value_or(m_design->font.value_or(design::Font{}));
}

HFONT Controls::designFont(const design::Control &control)
{
    return m_fonts.get(fontDesign(control), m_dpi);
}

bool Controls::equalDigits(std::size_t index, HWND label, HFONT font)
{
    if (!m_equalDigits[index]) {
        HDC dc = GetDC(label);
        HGDIOBJ old = SelectObject(dc, font);
        std::array<INT, 10> widths{};
        GetCharWidth32W(dc, L'0', L'9', widths.data());
        SelectObject(dc, old);
        ReleaseDC(label, dc);
        m_equalDigits[index] = std::all_of(widths.begin(), widths.end(), [&](INT w) { return w == widths[0]; });
    }
    return *m_equalDigits[index];
}

LRESULT Controls::labelColours(WPARAM dc, LPARAM control) const
{
    const design::Control *label = byId(GetDlgCtrlID(reinterpret_cast<HWND>(control)));
    if (label == nullptr || label->kind != design::Kind::Label) {
        return 0;
    }
    HDC hdc = reinterpret_cast<HDC>(dc);
    if (label->colour) {
        SetTextColor(hdc, RGB(label->colour->red, label->colour->green, label->colour->blue));
    }
    SetBkColor(hdc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void Controls::setLabel(std::string_view name, std::string_view text)
{
    // Labels size themselves to their text. The clock's next second differs from the last only
    // in its digits; where they are equally wide the size stays and the label is not measured.
    const design::Control *control = m_design->control(name);
    HWND label = (*this)[name];
    if (control == nullptr || label == nullptr) {
        return;
    }
    const std::string previous = windowText(label);
    if (previous == text) {
        return;
    }
    // The new size first: the text paints at once, wholly, within the label's bounds of then.
    const auto index = static_cast<std::size_t>(control - m_design->controls.data());
    HFONT font = designFont(*control);
    if (!differOnlyInDigits(previous, text) || !equalDigits(index, label, font)) {
        HDC measure = CreateCompatibleDC(nullptr);
        const SIZE size = lineSize(measure, font, wide(text));
        DeleteDC(measure);
        SetWindowPos(label, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    setWindowText(label, text);
}

HWND Controls::operator[](std::string_view name) const
{
    const design::Control *control = m_design->control(name);
    return control != nullptr ? m_hwnds[static_cast<std::size_t>(control - m_design->controls.data())] : nullptr;
}

const design::Control *Controls::byId(int id) const
{
    for (std::size_t i = 0; i < m_ids.size(); ++i) {
        if (m_hwnds[i] != nullptr && m_ids[i] == id) {
            return &m_design->controls[i];
        }
    }
    return nullptr;
}

void Controls::showFrame(std::string_view frame, bool show)
{
    for (std::size_t i = 0; i < m_hwnds.size(); ++i) {
        const design::Control &control = m_design->controls[i];
        if (m_hwnds[i] != nullptr && (control.name == frame || control.container == frame)) {
            ShowWindow(m_hwnds[i], show ? SW_SHOWNA : SW_HIDE);
        }
    }
}

int controlId(const design::Window &design, const design::Control &control)
{
    if (control.role == design::Role::Default || control.role == design::Role::DefaultAndCancel) {
        return IDOK;
    }
    if (control.role == design::Role::Cancel) {
        return IDCANCEL;
    }
    return kFirstControlId + static_cast<int>(&control - design.controls.data());
}

} // namespace quietwatch::win32
