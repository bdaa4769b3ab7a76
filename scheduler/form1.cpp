#include "form1.h"

#include "choicelists.h"
#include "frmabout.h"
#include "uifonts.h"

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

// The layout is drawn in twips; 15 of them make one device-independent pixel.
constexpr int px(int twips)
{
    return (twips * 2 + 15) / 30;
}

constexpr int kClientWidth = 5670; // below the menu bar
constexpr int kClientHeight = 3105;
constexpr int kClientLeft = 3720; // on the screen
constexpr int kClientTop = 4275;
constexpr int kTickMilliseconds = 500;

const QString kNarrow = QStringLiteral(">>"); // the caption of comWide in the narrow layout
const QString kWide = QStringLiteral("<<");

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <typename Widget> Widget *place(Widget *widget, const char *name, int left, int top, int width, int height)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(px(left), px(top), px(width), px(height));
    return widget;
}

// Labels size themselves to their caption, growing to the right.
QLabel *label(QWidget *parent, const char *name, const QString &text, int left, int top, int width, int height)
{
    auto *l = place(new QLabel(text, parent), name, left, top, width, height);
    l->setTextFormat(Qt::PlainText);
    l->adjustSize();
    return l;
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Whether two texts are the same but for the digits in them.
bool differOnlyInDigits(QStringView a, QStringView b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (isAsciiDigit(a[i]) != isAsciiDigit(b[i]) || (!isAsciiDigit(a[i]) && a[i] != b[i])) {
            return false;
        }
    }
    return true;
}

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
    if (!tabularDigits || !differOnlyInDigits(previous, text)) {
        l->adjustSize();
    }
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, int left, int top, int width, int height)
{
    auto *b = place(new QPushButton(caption, parent), name, left, top, width, height);
    // Neither Enter nor Esc belongs to any button of this window.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QLineEdit *targetBox(QWidget *parent, const char *name, int left, int top, int width, int height)
{
    // The text is set once the box has its parent's font: a box built with its text lays the
    // text out in the application's font first, and loads that font's Japanese fallbacks.
    auto *t = place(new QLineEdit(parent), name, left, top, width, height);
    t->setText(qs(texts::kNotSet));
    t->setReadOnly(true); // only Set and Clear write it; the user may still select and copy
    t->setCursorPosition(0);
    return t;
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

QComboBox *dropDownList(QWidget *parent, const char *name, int left, int top, int width, int height)
{
    auto *c = place(new QComboBox(parent), name, left, top, width, height);
    c->setEditable(false);
    c->setMaxVisibleItems(8);
    return c;
}

void fill(QComboBox *list, const std::vector<std::string> &entries)
{
    QStringList items;
    items.reserve(static_cast<qsizetype>(entries.size()));
    for (const std::string &entry : entries) {
        items.append(qs(entry));
    }
    list->addItems(items);
}

// An option button is drawn a little taller than its design height so the indicator is
// not clipped; it stays centred on the design line.
QRadioButton *optionButton(QWidget *parent, const char *name, const QString &caption, int left, int top, int width,
                           int height)
{
    auto *o = place(new QRadioButton(caption, parent), name, left, top, width, height);
    const int tall = std::max(o->height(), o->sizeHint().height());
    o->setGeometry(o->x(), o->y() - (tall - o->height()) / 2, o->width(), tall);
    return o;
}

} // namespace

Form1::Form1(const Clock &clock, PowerRequests &power, QWidget *parent)
    : QMainWindow(parent), m_clock(clock), m_power(power), m_schedule(clock, power)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quietwatch"));
    setWindowIcon(QIcon(QStringLiteral(":/quietwatch/quietwatch.png")));
    // Fixed single border: a title, the system menu, minimize and close; never maximized.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    // Closing destroys the window with its timer, so a set target can never fire afterwards.
    setAttribute(Qt::WA_DeleteOnClose);

    installFontSubstitutions();
    setFont(uiFont(QApplication::font()));

    createControls();
    createMenus();
    orderTabs();
    fixGeometry();
    load();
}

void Form1::createControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    // Creation order sets the stacking order.
    f2 = place(new QGroupBox(QStringLiteral("設定"), client), "f2", 2640, 120, 3015, 2895);
    comWide = button(client, "comWide", kWide, 2160, 240, 375, 375);
    comC = button(client, "comC", QStringLiteral("クリア(&C)"), 120, 2640, 1095, 375);
    Frame1 = place(new QGroupBox(QStringLiteral("日時指定"), client), "Frame1", 120, 720, 2415, 1815);
    com1 = button(client, "com1", QStringLiteral("終了(&X)"), 1320, 2640, 1215, 375);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTickMilliseconds);
    Label6 = label(client, "Label6", QStringLiteral("時刻："), 240, 390, 450, 180);
    Label5 = label(client, "Label5", QStringLiteral("日時："), 240, 140, 480, 180);
    l2 = label(client, "l2", qs(texts::kInitialClockDate), 720, 120, 390, 195);
    l2->setFont(installedDesignFont(kPGothic, 9.75));
    l2->adjustSize();
    l1 = label(client, "l1", qs(texts::kInitialClockTime), 720, 360, 960, 225);
    l1->setFont(installedDesignFont(kGothic, 11.25));
    l1->adjustSize();
    // It fills its own background (the window's colour), so its repaint each second leaves
    // the window behind it alone.
    l1->setAutoFillBackground(true);
    m_l1TabularDigits = hasTabularDigits(l1->font());
    m_l2TabularDigits = hasTabularDigits(l2->font());

    txt2 = targetBox(Frame1, "txt2", 720, 840, 1455, 270);
    txt1 = targetBox(Frame1, "txt1", 720, 240, 1455, 270);
    l3 = label(Frame1, "l3", qs(texts::kInitialActionLine), 240, 1440, 570, 180);
    Label2 = label(Frame1, "Label2", QStringLiteral("時刻"), 240, 915, 345, 180);
    Label1 = label(Frame1, "Label1", QStringLiteral("日時"), 240, 315, 360, 180);
    // A screen reader names each box and list by the caption that heads it.
    txt1->setAccessibleName(Label1->text());
    txt2->setAccessibleName(Label2->text());

    op1[1] = optionButton(f2, "op1(1)", QStringLiteral("再起動"), 1560, 960, 855, 180);
    op1[0] = optionButton(f2, "op1(0)", QStringLiteral("シャットダウン"), 1560, 720, 1360, 180);
    op1[0]->setChecked(true);
    cmTime[2] = dropDownList(f2, "cmTime(2)", 1920, 1800, 975, 300);
    cmTime[1] = dropDownList(f2, "cmTime(1)", 960, 1800, 855, 300);
    cmTime[0] = dropDownList(f2, "cmTime(0)", 120, 1800, 735, 300);
    comRe = button(f2, "comRe", QStringLiteral("元に戻す(D)"), 1680, 2400, 1215, 375); // "(D)" is plain text
    comD = button(f2, "comD", QStringLiteral("決定(&H)"), 120, 2400, 1455, 375);
    cmDate = dropDownList(f2, "cmDate", 120, 720, 1335, 300);
    Label4 = label(f2, "Label4", QStringLiteral("時間指定"), 120, 1440, 720, 180);
    Label3 = label(f2, "Label3", QStringLiteral("日時指定"), 120, 360, 720, 180);
    // Over AT-SPI a list's name is its selected entry (as in GTK), so its words go into the
    // description there too; the date list is also labelled by its caption.
    Label3->setBuddy(cmDate);
    const std::array<QString, 3> timeUnits{QStringLiteral("時"), QStringLiteral("分"), QStringLiteral("秒")};
    const std::array<QString, 4> listWords{Label3->text(), Label4->text() + QChar(0x3000) + timeUnits[0],
                                           Label4->text() + QChar(0x3000) + timeUnits[1],
                                           Label4->text() + QChar(0x3000) + timeUnits[2]};
    const std::array<QComboBox *, 4> lists{cmDate, cmTime[0], cmTime[1], cmTime[2]};
    for (std::size_t i = 0; i < lists.size(); ++i) {
        lists[i]->setAccessibleName(listWords[i]);
        lists[i]->setAccessibleDescription(listWords[i]);
    }

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
    mnuFile = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFileShutNow = mnuFile->addAction(QStringLiteral("今すぐシャットダウンする(&S)"), this, &Form1::ShutNow);
    mnuFileShutNow->setObjectName(QStringLiteral("mnuFileShutNow"));
    mnuFileRebootNow = mnuFile->addAction(QStringLiteral("今すぐ再起動する(&R)"), this, &Form1::RebootNow);
    mnuFileRebootNow->setObjectName(QStringLiteral("mnuFileRebootNow"));
    mnuLine1 = mnuFile->addSeparator();
    mnuLine1->setObjectName(QStringLiteral("mnuLine1"));
    mnuFileExit = mnuFile->addAction(QStringLiteral("終了(&X)"), this, &Form1::exitProgram);
    mnuFileExit->setObjectName(QStringLiteral("mnuFileExit"));

    mnuInfomation = menuBar()->addMenu(QStringLiteral("情報(&I)"));
    mnuInfomation->setObjectName(QStringLiteral("mnuInfomation"));
    mnuInfomationVersion = mnuInfomation->addAction(QStringLiteral("バージョン情報(&V)"), this, &Form1::showVersion);
    mnuInfomationVersion->setObjectName(QStringLiteral("mnuInfomationVersion"));

    menuBar()->setObjectName(QStringLiteral("menuBar"));
    // Popup menus are windows of their own and would not inherit the window's font.
    mnuFile->setFont(font());
    mnuInfomation->setFont(font());
}

void Form1::orderTabs()
{
    // Labels and frames take no focus; the option group is the last stop.
    const std::array<QWidget *, 13> chain{com1,  txt1,      txt2,      comC,      comWide, cmDate, comD,
                                          comRe, cmTime[0], cmTime[1], cmTime[2], op1[0],  op1[1]};
    for (std::size_t i = 1; i < chain.size(); ++i) {
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
    com1->setFocus(); // the first control in tab order that can take the focus
}

void Form1::fixGeometry()
{
    // The client area is measured below the menu bar; the menu bar sits above it.
    const QSize client(px(kClientWidth), px(kClientHeight));
    const int heightForWidth = menuBar()->heightForWidth(client.width());
    const int menuHeight = heightForWidth > 0 ? heightForWidth : menuBar()->sizeHint().height();
    setFixedSize(client.width(), client.height() + menuHeight);
    // The start position is fixed: neither centred nor chosen by the system.
    setGeometry(QRect(QPoint(px(kClientLeft), px(kClientTop) - menuHeight), size()));
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
    m_schedule.tick(actionChoice());
    setLabelText(l1, qs(m_schedule.clockTime()), m_l1TabularDigits);
    setLabelText(l2, qs(m_schedule.clockDate()), m_l2TabularDigits);
}

void Form1::setTarget()
{
    m_schedule.Set(cmDate->currentText().toStdString(), cmTime[0]->currentText().toStdString(),
                   cmTime[1]->currentText().toStdString(), cmTime[2]->currentText().toStdString(), actionChoice());
    showTarget();
}

void Form1::clearTarget()
{
    m_schedule.Clear();
    showTarget();
}

void Form1::restoreLists()
{
    selectFirstEntries();
}

void Form1::toggleLayout()
{
    const bool widen = comWide->text() == kNarrow;
    comWide->setText(widen ? kWide : kNarrow);

    // The width toggled is the outer one, frame included. The frame is known only while the
    // window is shown; without one (offscreen) the outer width is the client width.
    const int outer = frameGeometry().width();
    const int frame = outer - geometry().width();
    const int newOuter = widen ? outer * 2 : outer / 2;
    setFixedWidth(newOuter - frame);

    f2->setVisible(widen);
}

void Form1::exitProgram()
{
    close();
    frmAbout::closeIfOpen();
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
    txt1->setText(qs(m_schedule.targetDate()));
    txt2->setText(qs(m_schedule.targetTime()));
    setLabelText(l3, qs(m_schedule.actionLine()));
}

} // namespace quietwatch
