// Every caption of the three windows stays whole, and every control inside its window, at
// the scale the test runs under (QT_SCALE_FACTOR, or the screen's DPI; QUIETWATCH_EXPECT_SCALE
// names it): each text is measured in its own font against the room the style leaves it.

#include "fakes.h"
#include "form1.h"
#include "form2.h"
#include "frmabout.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOption>
#include <QTest>
#include <memory>

namespace {

// The room a control's text is drawn in.
QRect textRoom(const QWidget *w)
{
    if (const auto *b = qobject_cast<const QAbstractButton *>(w)) {
        QStyleOptionButton option;
        option.initFrom(b);
        option.text = b->text();
        const bool radio = qobject_cast<const QRadioButton *>(b) != nullptr;
        return w->style()->subElementRect(radio ? QStyle::SE_RadioButtonContents : QStyle::SE_PushButtonContents,
                                          &option, w);
    }
    if (const auto *c = qobject_cast<const QComboBox *>(w)) {
        QStyleOptionComboBox option;
        option.initFrom(c);
        option.frame = c->hasFrame();
        return w->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, w);
    }
    if (const auto *g = qobject_cast<const QGroupBox *>(w)) {
        QStyleOptionGroupBox option;
        option.initFrom(g);
        option.text = g->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        option.textAlignment = g->alignment();
        const QRect label = w->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, w);
        return label.intersected(w->rect());
    }
    if (const auto *e = qobject_cast<const QLineEdit *>(w)) {
        QStyleOptionFrame option;
        option.initFrom(e);
        option.lineWidth = e->hasFrame() ? w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, w) : 0;
        const QRect inside = w->style()->subElementRect(QStyle::SE_LineEditContents, &option, w);
        return inside.adjusted(2, 1, -2, -1); // the box's own margin around its text
    }
    return w->contentsRect();
}

QStringList textsOf(const QWidget *w)
{
    if (const auto *c = qobject_cast<const QComboBox *>(w)) {
        QStringList items;
        for (int i = 0; i < c->count(); ++i) {
            items << c->itemText(i);
        }
        return items;
    }
    if (const auto *b = qobject_cast<const QAbstractButton *>(w)) {
        return {b->text()};
    }
    if (const auto *l = qobject_cast<const QLabel *>(w)) {
        return {l->text()};
    }
    if (const auto *g = qobject_cast<const QGroupBox *>(w)) {
        return {g->title()};
    }
    if (const auto *e = qobject_cast<const QLineEdit *>(w)) {
        return {e->text()};
    }
    return {};
}

// The named controls of a window whose text is cut off or that reach out of their parent.
QStringList clipped(const QWidget &window)
{
    QStringList found;
    for (const QWidget *w : window.findChildren<QWidget *>()) {
        const QString name = w->objectName();
        // Only the window's own controls; the etched rule of the About window runs past the edge by design.
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || name.startsWith(QLatin1String("Line1")) ||
            !w->isVisibleTo(&window)) {
            continue;
        }
        if (!w->parentWidget()->rect().contains(w->geometry())) {
            found << QStringLiteral("%1 reaches out of its parent").arg(name);
        }
        const QRect room = textRoom(w);
        for (const QString &text : textsOf(w)) {
            const QSize need = w->fontMetrics().size(Qt::TextShowMnemonic, text);
            if (need.width() > room.width() || need.height() > room.height()) {
                found << QStringLiteral("%1 \"%2\" needs %3x%4, has %5x%6")
                             .arg(name, text)
                             .arg(need.width())
                             .arg(need.height())
                             .arg(room.width())
                             .arg(room.height());
            }
        }
    }
    return found;
}

} // namespace

class TestCaptions : public QObject
{
    Q_OBJECT
private slots:
    void fit_data();
    void fit();
};

void TestCaptions::fit_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("scheduler, as it opens") << "Form1";
    QTest::newRow("scheduler, with a target set") << "Form1 set";
    QTest::newRow("About") << "frmAbout";
    QTest::newRow("time query") << "Form2";
}

void TestCaptions::fit()
{
    QFETCH(QString, window);
    quietwatch::testing::FakeClock clock(quietwatch::testing::at(2026, 12, 28, 23, 58, 58));
    quietwatch::testing::RecordingRequests power;
    std::unique_ptr<QWidget> shown;
    if (window.startsWith(QLatin1String("Form1"))) {
        auto form1 = std::make_unique<quietwatch::Form1>(clock, power);
        form1->setAttribute(Qt::WA_DeleteOnClose, false);
        shown = std::move(form1);
    } else if (window == QLatin1String("frmAbout")) {
        shown = std::make_unique<quietwatch::frmAbout>();
        shown->setAttribute(Qt::WA_DeleteOnClose, false);
    } else {
        shown = std::make_unique<quietwatch::Form2>();
    }
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
    if (const QString scale = qEnvironmentVariable("QUIETWATCH_EXPECT_SCALE"); !scale.isEmpty()) {
        QCOMPARE(shown->devicePixelRatioF(), scale.toDouble()); // the scale under test took effect
    }
    if (window == QLatin1String("Form1 set")) {
        QTest::qWait(600); // the clock's first tick
        QTest::mouseClick(shown->findChild<QPushButton *>(QStringLiteral("comD")), Qt::LeftButton);
    }
    if (window.startsWith(QLatin1String("Form1"))) {
        // The closed date list stands as tall as the time lists beside it, at every scale.
        const auto *date = shown->findChild<QComboBox *>(QStringLiteral("cmDate"));
        const auto *hours = shown->findChild<QComboBox *>(QStringLiteral("cmTime(0)"));
        QVERIFY(date && hours);
        QCOMPARE(date->height(), hours->height());
    }
    const QStringList cut = clipped(*shown);
    QVERIFY2(cut.isEmpty(), qPrintable(QStringLiteral("scale %1: %2")
                                           .arg(qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")),
                                                cut.join(QStringLiteral("; ")))));
}

QTEST_MAIN(TestCaptions)
#include "test_captions.moc"
