#pragma once

#include "clock.h"
#include "keepawake.h"
#include "powercontrol.h"
#include "schedule.h"

#include <QMainWindow>
#include <array>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTimer;

namespace quietwatch {

// The scheduler window: the program's main window. It shows the clock and the target,
// lets the user choose and set a new target, and fires the chosen action when the clock
// reaches it. The schedule itself lives in the core; this window binds its controls to it.
// Closing the window destroys it, its timer and the target with it.
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    // The clock and the power requests outlive the window.
    Form1(const Clock &clock, PowerRequests &power, QWidget *parent = nullptr);
    // The machine is kept from idle sleep through `keepAwake` while the target is ahead.
    Form1(const Clock &clock, PowerRequests &power, KeepAwake &keepAwake, QWidget *parent = nullptr);
    ~Form1() override;
    Form1(const Form1 &) = delete;
    Form1 &operator=(const Form1 &) = delete;

private:
    void createControls();
    void createMenus();
    void orderTabs();
    void fixGeometry();

    // Event handlers.
    void load();         // before the window is first shown
    void tick();         // Timer1
    void setTarget();    // comD
    void clearTarget();  // comC
    void restoreLists(); // comRe
    void toggleLayout(); // comWide
    void exitProgram();  // mnuFileExit
    void showVersion();  // mnuInfomationVersion
    void ShutNow();      // mnuFileShutNow; the tick asks the power layer through the schedule
    void RebootNow();    // mnuFileRebootNow

    Action actionChoice() const;
    void selectFirstEntries();
    void showTarget();
    void followTarget(); // holds or lets go of idle sleep and the wake as the target is armed or not
    void resumed();      // the system has resumed from sleep

    const Clock &m_clock;
    PowerRequests &m_power;
    Schedule m_schedule;
    KeepAwake &m_system;
    KeepAwakeSwitch m_keepAwake; // lets go when the window is destroyed

    QGroupBox *f2 = nullptr;
    QPushButton *comWide = nullptr;
    QPushButton *comC = nullptr;
    QGroupBox *Frame1 = nullptr;
    QPushButton *com1 = nullptr;
    QTimer *Timer1 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *l2 = nullptr;
    QLabel *l1 = nullptr;
    bool m_l1TabularDigits = false; // every digit of the clock labels' faces equally wide
    bool m_l2TabularDigits = false;

    // Inside Frame1.
    QLineEdit *txt2 = nullptr;
    QLineEdit *txt1 = nullptr;
    QLabel *l3 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;

    // Inside f2.
    std::array<QRadioButton *, 2> op1{}; // 0 shut down, 1 restart
    std::array<QComboBox *, 3> cmTime{}; // 0 hour, 1 minute, 2 second
    QPushButton *comRe = nullptr;
    QPushButton *comD = nullptr;
    QComboBox *cmDate = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label3 = nullptr;

    QMenu *mnuFile = nullptr;
    QAction *mnuFileShutNow = nullptr;
    QAction *mnuFileRebootNow = nullptr;
    QAction *mnuLine1 = nullptr;
    QAction *mnuFileExit = nullptr;
    QMenu *mnuInfomation = nullptr;
    QAction *mnuInfomationVersion = nullptr;
};

} // namespace quietwatch
