#include "form1.h"

#include "choicelists.h"
#include "designedwidgets.h"
#include "frmabout.h"
#include "windowrules.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>

namespace quietwatch {

namespace {

// Whether all ten digits of a font are equally wide (tabular figures).
bool hasTabularDigits(const QFont &font)
{
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (metrics.horizontalAdvance(QLatin1Char(digit)) != width) {
            return false;
        }
    }
    return true;
}

// Labels size themselves to their text. The clock's next second differs from the last
// only in its digits; where the label's digits are equally wide the size stays, and
// measuring it again would cost as much as painting the label, once a second.
void setLabelText(QLabel *l, const QString &text, bool tabularDigits = false)
{
    const QString previous = l->text();
    if (previous == text) {
        return;
    }
    l->setText(text);
    if (!tabularDigits || !differOnlyInDigits(previous.toStdString(), text.toStdString())) {
        l->adjustSize();
    }
}

// The drop-down lists are narrow: the date list is drawn 89 pixels wide, and with a
// toolkit-sized arrow button its entries would be cut off. A slimmer arrow and a thin
// margin leave the whole date visible.
class CompactListStyle final : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl part,
                         const QWidget *widget) const override
    {
        if (control == CC_ComboBox && (part == SC_ComboBoxArrow || part == SC_ComboBoxEditField)) {
            constexpr int kArrow = 13;
            constexpr int kMargin = 2;
            const QRect r = option->rect;
            const QRect rect = part == SC_ComboBoxArrow ? QRect(r.right() - kArrow + 1, r.top(), kArrow, r.height())
                                                        : QRect(r.left() + kMargin, r.top() + kMargin,
                                                                r.width() - kArrow - kMargin, r.height() - 2 * kMargin);
            return visualRect(option->direction, r, rect);
        }
        return QProxyStyle::subControlRect(control, option, part, widget);
    }
};

void fill(QComboBox *list, const std::vector<std::string> &entries)
{
    QStringList items;
    items.reserve(static_cast<qsizetype>(entries.size()));
    for (const std::string &entry : entries) {
        items.append(ui::qs(entry));
    }
    list->addItems(items);
}

KeepAwake &noKeepAwake()
{
    static NoKeepAwake none;
    return none;
}

} // namespace

Form1::Form1(const Clock &clock, PowerRequests &power, QWidget *parent) : Form1(clock, power, noKeepAwake(), parent) {}

Form1::Form1(const Clock &clock, PowerRequests &power, KeepAwake &keepAwake, QWidget *parent)
    : QMainWindow(parent), m_clock(clock), m_power(power), m_schedule(clock, power), m_system(keepAwake),
      m_keepAwake(keepAwake)
{
    ui::applyWindowDesign(*this, design::kForm1);
    setWindowIcon(QIcon(QStringLiteral(":/quietwatch/quietwatch.png")));
    // Closing destroys the window with its timer, so a set target can never fire afterwards.
    setAttribute(Qt::WA_DeleteOnClose);

    createControls();
    createMenus();
    fixGeometry();
    load();
    // Resumes are heard on the backend's thread and handled on the window's.
    m_system.onResume([this] { QMetaObject::invokeMethod(this, &Form1::resumed, Qt::QueuedConnection); });
}

Form1::~Form1()
{
    m_system.onResume({});
}

void Form1::createControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    // The window's own fonts name the installed faces: found at once, at start-up.
    const ui::DesignedControls controls(*client, design::kForm1, ui::Faces::Installed);
    f2 = controls.get<QGroupBox>("f2");
    comWide = controls.get<QPushButton>("comWide");
    comC = controls.get<QPushButton>("comC");
    Frame1 = controls.get<QGroupBox>("Frame1");
    com1 = controls.get<QPushButton>("com1");
    Timer1 = controls.get<QTimer>("Timer1");
    Label6 = controls.get<QLabel>("Label6");
    Label5 = controls.get<QLabel>("Label5");
    l2 = controls.get<QLabel>("l2");
    l1 = controls.get<QLabel>("l1");
    txt2 = controls.get<QLineEdit>("txt2");
    txt1 = controls.get<QLineEdit>("txt1");
    l3 = controls.get<QLabel>("l3");
    Label2 = controls.get<QLabel>("Label2");
    Label1 = controls.get<QLabel>("Label1");
    op1 = {controls.get<QRadioButton>("op1(0)"), controls.get<QRadioButton>("op1(1)")};
    cmTime = {controls.get<QComboBox>("cmTime(0)"), controls.get<QComboBox>("cmTime(1)"),
              controls.get<QComboBox>("cmTime(2)")};
    comRe = controls.get<QPushButton>("comRe");
    comD = controls.get<QPushButton>("comD");
    cmDate = controls.get<QComboBox>("cmDate");
    Label4 = controls.get<QLabel>("Label4");
    Label3 = controls.get<QLabel>("Label3");
    controls.orderTabs();

    // It fills its own background (the window's colour), so its repaint each second leaves
    // the window behind it alone.
    l1->setAutoFillBackground(true);
    m_l1TabularDigits = hasTabularDigits(l1->font());
    m_l2TabularDigits = hasTabularDigits(l2->font());
    Label3->setBuddy(cmDate); // a screen reader hears the date list labelled by its caption

    // Created after the lists, so it is destroyed after them.
    auto *listStyle = new CompactListStyle(QApplication::style()->name());
    listStyle->setParent(this);
    for (QComboBox *list : {cmDate, cmTime[0], cmTime[1], cmTime[2]}) {
        list->setStyle(listStyle);
    }

    connect(Timer1, &QTimer::timeout, this, &Form1::tick);
    connect(comD, &QPushButton::clicked, this, &Form1::setTarget);
    connect(comC, &QPushButton::clicked, this, &Form1::clearTarget);
    connect(comRe, &QPushButton::clicked, this, &Form1::restoreLists);
    connect(comWide, &QPushButton::clicked, this, &Form1::toggleLayout);
    connect(com1, &QPushButton::clicked, this, &QWidget::close);
}

void Form1::createMenus()
{
    menuBar()->setObjectName(QStringLiteral("menuBar"));
    const auto made = ui::buildMenus(*menuBar(), design::kForm1);
    const auto get = [&made](std::string_view name) {
        return std::ranges::find(made, name, &std::pair<std::string_view, QObject *>::first)->second;
    };
    mnuFile = qobject_cast<QMenu *>(get("mnuFile"));
    mnuFileShutNow = qobject_cast<QAction *>(get("mnuFileShutNow"));
    mnuFileRebootNow = qobject_cast<QAction *>(get("mnuFileRebootNow"));
    mnuLine1 = qobject_cast<QAction *>(get("mnuLine1"));
    mnuFileExit = qobject_cast<QAction *>(get("mnuFileExit"));
    mnuInfomation = qobject_cast<QMenu *>(get("mnuInfomation"));
    mnuInfomationVersion = qobject_cast<QAction *>(get("mnuInfomationVersion"));
    connect(mnuFileShutNow, &QAction::triggered, this, &Form1::ShutNow);
    connect(mnuFileRebootNow, &QAction::triggered, this, &Form1::RebootNow);
    connect(mnuFileExit, &QAction::triggered, this, &Form1::exitProgram);
    connect(mnuInfomationVersion, &QAction::triggered, this, &Form1::showVersion);
}

void Form1::fixGeometry()
{
    // The client area is measured below the menu bar; the menu bar sits above it.
    const QSize client(ui::px(design::kForm1.clientWidth), ui::px(design::kForm1.clientHeight));
    const int heightForWidth = menuBar()->heightForWidth(client.width());
    const int menuHeight = heightForWidth > 0 ? heightForWidth : menuBar()->sizeHint().height();
    setFixedSize(client.width(), client.height() + menuHeight);
    // The start position is fixed: neither centred nor chosen by the system.
    setGeometry(
        QRect(QPoint(ui::px(design::kForm1.clientLeft), ui::px(design::kForm1.clientTop) - menuHeight), size()));
}

void Form1::load()
{
    fill(cmDate, dateEntries(m_clock));
    fill(cmTime[0], hourEntries());
    fill(cmTime[1], minuteSecondEntries());
    fill(cmTime[2], minuteSecondEntries());
    selectFirstEntries();
    Timer1->start();
}

void Form1::tick()
{
    // The clock shows the target's second before the request for it goes out.
    if (m_schedule.readClock()) {
        setLabelText(l1, ui::qs(m_schedule.clockTime()), m_l1TabularDigits);
        setLabelText(l2, ui::qs(m_schedule.clockDate()), m_l2TabularDigits);
    }
    m_schedule.fireIfDue(actionChoice());
    followTarget();
}

void Form1::setTarget()
{
    m_schedule.Set(cmDate->currentText().toStdString(), cmTime[0]->currentText().toStdString(),
                   cmTime[1]->currentText().toStdString(), cmTime[2]->currentText().toStdString(), actionChoice());
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
    selectFirstEntries();
}

void Form1::toggleLayout()
{
    // The width toggled is the outer one, frame included. The frame is known only while the
    // window is shown; without one (offscreen) the outer width is the client width.
    const int outer = frameGeometry().width();
    const LayoutChange change = quietwatch::toggleLayout(comWide->text().toStdString(), outer);
    comWide->setText(ui::qs(change.caption));
    setFixedWidth(change.outerWidth - (outer - geometry().width()));
    f2->setVisible(change.settingsVisible);
}

void Form1::exitProgram()
{
    const Closing closing = windowsClosedBy(CloseCommand::FileExit);
    if (closing.scheduler) {
        close();
    }
    if (closing.about) {
        frmAbout::closeIfOpen();
    }
}

void Form1::showVersion()
{
    frmAbout::showBeside(*this);
}

void Form1::ShutNow()
{
    m_power.ShutNow();
}

void Form1::RebootNow()
{
    m_power.RebootNow();
}

void Form1::followTarget()
{
    m_keepAwake.follow(planWake(m_schedule, m_clock));
}

void Form1::resumed()
{
    // The first reading after the resume decides: a target slept through lets go of
    // everything, one within the lead keeps the machine up until its second has passed.
    tick();
    m_keepAwake.resumed(planWake(m_schedule, m_clock));
}

Action Form1::actionChoice() const
{
    return op1[0]->isChecked() ? Action::ShutDown : Action::Restart;
}

void Form1::selectFirstEntries()
{
    cmDate->setCurrentIndex(0);
    for (QComboBox *list : cmTime) {
        list->setCurrentIndex(0);
    }
}

void Form1::showTarget()
{
    txt1->setText(ui::qs(m_schedule.targetDate()));
    txt2->setText(ui::qs(m_schedule.targetTime()));
    setLabelText(l3, ui::qs(m_schedule.actionLine()));
}

} // namespace quietwatch
