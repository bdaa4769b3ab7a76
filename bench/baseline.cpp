// The floor that Quietwatch is measured against: a bare Qt Widgets program with no logic.
//
// By default it shows a main window with a menu bar and as many plain widgets of each kind
// as the scheduler window holds, and a 500 ms timer that writes the current time into a
// label, as the scheduler's clock does. With --dialog it shows a bare dialog with the
// widgets of the time query window instead, and no timer.
//
// It sets no font, no icon, no style and no geometry beyond a fixed size, and fills no list.
// Its captions are Japanese, as Quietwatch's are, so that it loads a Japanese face through
// the system's font fallback; --latin gives it Latin captions instead (a lower floor that no
// Japanese window can reach).

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTime>
#include <QTimer>
#include <cstring>

namespace {

constexpr int kTickMilliseconds = 500;

bool latinCaptions = false;

QString caption(const char *japanese, const char *latin)
{
    return QString::fromUtf8(latinCaptions ? latin : japanese);
}

// Places a widget on a simple grid of cells, 90 × 26 pixels each.
template <typename Widget> Widget *cell(Widget *widget, int column, int row, int columns = 1)
{
    widget->setGeometry(6 + column * 92, 6 + row * 28, columns * 92 - 2, 26);
    return widget;
}

class BaselineWindow final : public QMainWindow
{
public:
    BaselineWindow()
    {
        setWindowTitle(QStringLiteral("Baseline"));

        QMenu *file = menuBar()->addMenu(caption("ファイル(&F)", "&File"));
        file->addAction(caption("項目１(&1)", "Item &1"));
        file->addAction(caption("項目２(&2)", "Item &2"));
        file->addSeparator();
        file->addAction(caption("終了(&X)", "E&xit"), this, &QWidget::close);
        menuBar()->addMenu(caption("情報(&I)", "&Help"))->addAction(caption("項目３(&A)", "&About"));

        auto *client = new QWidget(this);
        setCentralWidget(client);

        // The scheduler window's kinds and counts: 2 frames, 5 buttons, 9 labels (one of
        // them the clock), 2 text boxes, 2 option buttons and 4 drop-down lists.
        auto *left = cell(new QGroupBox(caption("枠１", "Group 1"), client), 0, 2, 2);
        left->setFixedHeight(110);
        auto *right = cell(new QGroupBox(caption("枠２", "Group 2"), client), 2, 0, 2);
        right->setFixedHeight(190);
        cell(new QPushButton(QStringLiteral("<<"), client), 1, 0);
        cell(new QPushButton(caption("ボタン１", "Button 1"), client), 0, 6);
        cell(new QPushButton(caption("ボタン２", "Button 2"), client), 1, 6);
        cell(new QLabel(caption("ラベル１", "Label 1"), client), 0, 0);
        cell(new QLabel(caption("ラベル２", "Label 2"), client), 0, 1);
        cell(new QLabel(caption("ラベル３", "Label 3"), client), 1, 1);
        m_clock = cell(new QLabel(QStringLiteral("00:00:00"), client), 0, 7);

        cell(new QLabel(caption("ラベル４", "Label 4"), left), 0, 1);
        cell(new QLabel(caption("ラベル５", "Label 5"), left), 0, 2);
        cell(new QLabel(caption("ラベル６", "Label 6"), left), 0, 3);
        cell(new QLineEdit(caption("文字列１", "Text 1"), left), 1, 1);
        cell(new QLineEdit(caption("文字列２", "Text 2"), left), 1, 2);

        cell(new QLabel(caption("ラベル７", "Label 7"), right), 0, 1);
        cell(new QLabel(caption("ラベル８", "Label 8"), right), 0, 3);
        cell(new QComboBox(right), 0, 2);
        cell(new QRadioButton(caption("選択１", "Option 1"), right), 1, 2);
        cell(new QRadioButton(caption("選択２", "Option 2"), right), 1, 3)->setChecked(true);
        cell(new QComboBox(right), 0, 4);
        cell(new QComboBox(right), 1, 4);
        cell(new QComboBox(right), 0, 5);
        cell(new QPushButton(caption("ボタン３", "Button 3"), right), 0, 6);
        cell(new QPushButton(caption("ボタン４", "Button 4"), right), 1, 6);

        setFixedSize(378, 207 + menuBar()->sizeHint().height());

        // The default timer type, as the scheduler's Timer1 has.
        connect(&m_timer, &QTimer::timeout, this, &BaselineWindow::tick);
        m_timer.start(kTickMilliseconds);
    }

private:
    void tick() { m_clock->setText(QTime::currentTime().toString(QStringLiteral("H:mm:ss"))); }

    QLabel *m_clock = nullptr;
    QTimer m_timer;
};

// The time query window's widgets: 2 buttons, a log box, a label and a text box.
class BaselineDialog final : public QDialog
{
public:
    BaselineDialog()
    {
        setWindowTitle(QStringLiteral("Baseline dialog"));
        setFixedSize(277, 237);
        cell(new QLabel(caption("ラベル", "Label"), this), 0, 3);
        cell(new QLineEdit(caption("文字列", "Text"), this), 1, 3, 2);
        cell(new QPlainTextEdit(this), 0, 4, 3)->setFixedHeight(81);
        cell(new QPushButton(caption("ボタン１", "Button 1"), this), 0, 7);
        cell(new QPushButton(caption("ボタン２", "Button 2"), this), 2, 7);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    bool dialog = false;
    for (int i = 1; i < argc; ++i) {
        dialog = dialog || std::strcmp(argv[i], "--dialog") == 0;
        latinCaptions = latinCaptions || std::strcmp(argv[i], "--latin") == 0;
    }
    QApplication app(argc, argv);
    if (dialog) {
        BaselineDialog window;
        window.show();
        return QApplication::exec();
    }
    BaselineWindow window;
    window.show();
    return QApplication::exec();
}
