#include "form1_win32.h"

#include "choicelists.h"
#include "frmabout_win32.h"
#include "windowrules.h"

namespace quietwatch {

namespace {

constexpr UINT_PTR kTimer1 = 1;

void fill(HWND list, const std::vector<std::string> &entries)
{
    // Not redrawn entry by entry: the list and its scroll bar are brought up to date once.
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (const std::string &entry : entries) {
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::wide(entry).c_str()));
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
}

} // namespace

Form1::Form1(const Clock &clock, PowerRequests &power, KeepAwake &keepAwake)
    : m_clock(clock), m_power(power), m_schedule(clock, power), m_keepAwake(keepAwake)
{
}

bool Form1::show(int showCommand)
{
    const design::Window &design = design::kForm1;
    if (!create(design, L"QuietwatchForm1", nullptr, win32::programIcon())) {
        return false;
    }
    // The lists' entries are known before the lists are made: each is made with the font that
    // fits its entries, so none is given another once filled (under Wine a filled list's new
    // font resizes its open list, a top-level window there, several times over).
    const std::vector<std::string> dates = dateEntries(m_clock);
    const std::vector<std::string> hours = hourEntries();
    const std::vector<std::string> minutes = minuteSecondEntries();
    m_controls.create(hwnd(), design,
                      {{"cmDate", &dates}, {"cmTime(0)", &hours}, {"cmTime(1)", &minutes}, {"cmTime(2)", &minutes}});
    load(dates, hours, minutes);
    m_resumeNotification = RegisterSuspendResumeNotification(hwnd(), DEVICE_NOTIFY_WINDOW_HANDLE);
    // The start position is fixed: the client area, below the menu bar, at its design place.
    const int dpi = static_cast<int>(GetDpiForWindow(hwnd()));
    const SIZE outer = layout(dpi);
    RECT client{0, 0, 0, 0};
    AdjustWindowRectExForDpi(&client, static_cast<DWORD>(GetWindowLongPtrW(hwnd(), GWL_STYLE)), TRUE,
                             static_cast<DWORD>(GetWindowLongPtrW(hwnd(), GWL_EXSTYLE)), static_cast<UINT>(dpi));
    const RECT place{design::pixels(design.clientLeft, dpi) + client.left,
                     design::pixels(design.clientTop, dpi) + client.top, 0, 0};
    // Made there already at the system's DPI: no move (under Wine dozens of server requests).
    RECT now{};
    GetWindowRect(hwnd(), &now);
    if (now.left != place.left || now.top != place.top || now.right - now.left != outer.cx ||
        now.bottom - now.top != outer.cy) {
        SetWindowPos(hwnd(), nullptr, place.left, place.top, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(hwnd(), showCommand);
    // The first control in tab order that can take the focus.
    SetFocus(control(design::tabChain(design).front()->name));
    return true;
}

SIZE Form1::layout(int dpi)
{
    const design::Window &design = design::kForm1;
    m_controls.layout(dpi);
    const SIZE outer = win32::outerSize(hwnd(), design.clientWidth, design.clientHeight, dpi);
    const bool narrow = win32::windowText(control("comWide")) == kNarrowLayoutCaption;
    return SIZE{narrow ? outer.cx / 2 : outer.cx, outer.cy};
}

void Form1::load(const std::vector<std::string> &dates, const std::vector<std::string> &hours,
                 const std::vector<std::string> &minutes)
{
    fill(control("cmDate"), dates);
    fill(control("cmTime(0)"), hours);
    fill(control("cmTime(1)"), minutes);
    fill(control("cmTime(2)"), minutes);
    restoreLists();
    SetTimer(hwnd(), kTimer1, static_cast<UINT>(design::kForm1.control("Timer1")->interval), nullptr);
}

LRESULT Form1::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == kTimer1) {
            tick();
        }
        return 0;
    case WM_COMMAND:
        if (lParam == 0 && HIWORD(wParam) == 0) {
            menuCommand(LOWORD(wParam));
        } else if (HIWORD(wParam) == BN_CLICKED) {
            command(LOWORD(wParam));
        }
        return 0;
    case WM_DESTROY:
        // The timer goes with the window, so a set target can never fire afterwards.
        KillTimer(hwnd(), kTimer1);
        m_keepAwake.follow(WakePlan{});
        if (m_resumeNotification != nullptr) {
            UnregisterSuspendResumeNotification(m_resumeNotification);
            m_resumeNotification = nullptr;
        }
        return 0;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) {
            resumed();
        }
        return TRUE;
    case WM_TIMECHANGE:
        clockChanged();
        return 0;
    default:
        return Window::handleMessage(message, wParam, lParam);
    }
}

void Form1::tick()
{
    // The clock shows the target's second before the request for it goes out.
    if (m_schedule.readClock()) {
        m_controls.setLabel("l1", m_schedule.clockTime());
        m_controls.setLabel("l2", m_schedule.clockDate());
    }
    m_schedule.fireIfDue(actionChoice());
    followTarget();
}

void Form1::command(int id)
{
    const design::Control *from = m_controls.byId(id);
    if (from == nullptr) {
        return; // Enter and Esc belong to no button of this window
    }
    const std::string_view name = from->name;
    if (name == "comD") {
        setTarget();
    } else if (name == "comC") {
        clearTarget();
    } else if (name == "comRe") {
        restoreLists();
    } else if (name == "comWide") {
        toggleLayout();
    } else if (name == "com1") {
        DestroyWindow(hwnd()); // this window only
    }
}

void Form1::menuCommand(int id)
{
    const design::MenuItem *item = win32::menuItem(design::kForm1, id);
    if (item == nullptr) {
        return;
    }
    if (item->name == "mnuFileShutNow") {
        m_power.ShutNow();
    } else if (item->name == "mnuFileRebootNow") {
        m_power.RebootNow();
    } else if (item->name == "mnuFileExit") {
        exitProgram();
    } else if (item->name == "mnuInfomationVersion") {
        frmAbout::showBeside(hwnd());
    }
}

void Form1::setTarget()
{
    m_schedule.Set(win32::windowText(control("cmDate")), win32::windowText(control("cmTime(0)")),
                   win32::windowText(control("cmTime(1)")), win32::windowText(control("cmTime(2)")), actionChoice());
    showTarget();
    followTarget();
}

void Form1::clearTarget()
{
    m_schedule.Clear();
    showTarget();
    followTarget();
}

void Form1::restoreLists()
{
    for (const char *list : {"cmDate", "cmTime(0)", "cmTime(1)", "cmTime(2)"}) {
        SendMessageW(control(list), CB_SETCURSEL, 0, 0);
    }
}

void Form1::toggleLayout()
{
    RECT outer{};
    GetWindowRect(hwnd(), &outer);
    const LayoutChange change =
        quietwatch::toggleLayout(win32::windowText(control("comWide")), outer.right - outer.left);
    win32::setWindowText(control("comWide"), change.caption);
    SetWindowPos(hwnd(), nullptr, 0, 0, change.outerWidth, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_controls.showFrame("f2", change.settingsVisible);
}

void Form1::exitProgram()
{
    const Closing closing = windowsClosedBy(CloseCommand::FileExit);
    if (closing.scheduler) {
        DestroyWindow(hwnd());
    }
    if (closing.about) {
        frmAbout::closeIfOpen();
    }
}

void Form1::showTarget()
{
    win32::setWindowText(control("txt1"), m_schedule.targetDate());
    win32::setWindowText(control("txt2"), m_schedule.targetTime());
    m_controls.setLabel("l3", m_schedule.actionLine());
}

void Form1::followTarget()
{
    m_keepAwake.follow(planWake(m_schedule, m_clock));
}

void Form1::resumed()
{
    // The first reading after the resume decides: a target slept through lets go of
    // everything, one within the lead takes the power request again until its second has passed.
    tick();
    m_keepAwake.resumed(planWake(m_schedule, m_clock));
}

void Form1::clockChanged()
{
    tick();
    m_keepAwake.clockChanged(planWake(m_schedule, m_clock));
}

Action Form1::actionChoice() const
{
    return SendMessageW(control("op1(0)"), BM_GETCHECK, 0, 0) == BST_CHECKED ? Action::ShutDown : Action::Restart;
}

} // namespace quietwatch
