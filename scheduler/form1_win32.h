#pragma once

// The scheduler window on Win32, built from its table in the core.

#include "keepawake.h"
#include "schedule.h"
#include "winui.h"

namespace quietwatch {

class Form1 final : public win32::Window
{
public:
    Form1(const Clock &clock, PowerRequests &power, KeepAwake &keepAwake);
    // Creates the window at its fixed place and shows it.
    bool show(int showCommand);

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    SIZE layout(int dpi) override;
    // The lists filled (their entries made once, before the lists), the clock started.
    void load(const std::vector<std::string> &dates, const std::vector<std::string> &hours,
              const std::vector<std::string> &minutes);
    void tick();
    void command(int id);
    void menuCommand(int id);
    void setTarget();
    void clearTarget();
    void restoreLists();
    void toggleLayout();
    void exitProgram();
    void showTarget();
    void followTarget();
    void resumed();
    void clockChanged();
    Action actionChoice() const;
    HWND control(std::string_view name) const { return m_controls[name]; }

    const Clock &m_clock;
    PowerRequests &m_power;
    Schedule m_schedule;
    KeepAwakeSwitch m_keepAwake;
    HPOWERNOTIFY m_resumeNotification = nullptr; // resumes from Modern Standby too
    const win32::Controls *designedControls() const override { return &m_controls; }
    win32::Controls m_controls;
};

} // namespace quietwatch
