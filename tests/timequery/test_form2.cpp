// The time query window against a time server of the test's own on loopback: real
// datagrams through a real socket on local port 1024.

#include "form2.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <memory>

using namespace quietwatch;

namespace {

// 48 bytes (or `size`) of `filler`, with the transmit seconds at offsets 40 to 43.
QByteArray reply(quint32 seconds, int size = 48, char filler = 0)
{
    QByteArray bytes(size, filler);
    for (int i = 0; i < 4 && 40 + i < size; ++i) {
        bytes[40 + i] = static_cast<char>(seconds >> (24 - 8 * i));
    }
    return bytes;
}

QStringList lines(const QString &log)
{
    QStringList all = log.split(QStringLiteral("\r\n"));
    [[maybe_unused]] const QString afterLastEnding = all.takeLast();
    return all;
}

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAndControls();
    void layout_data();
    void layout();
    void focusStartsOnQueryAndTabsInOrder();
    void eachPressSendsOneRequestFromPort1024();
    void enterQueriesFromTheServerField();
    void replyIsLoggedAsUtcThenJapanTime_data();
    void replyIsLoggedAsUtcThenJapanTime();
    void everyReplyAddsTwoLinesAfterTheLog();
    void rejectedReplySaysWhyAndKeepsWaiting_data();
    void rejectedReplySaysWhyAndKeepsWaiting();
    void portInUseIsReportedAndWindowStaysUsable();
    void unknownServerIsReported_data();
    void unknownServerIsReported();
    void logIsReadOnlyButCopyable();
    void closingAbandonsTheQuery_data();
    void closingAbandonsTheQuery();
    void onlyTheServerAskedMayAnswer_data();
    void onlyTheServerAskedMayAnswer();
    void silenceIsReportedOnceAndALateAnswerTaken();

private:
    template <typename T> T *control(const char *name) const { return window->findChild<T *>(QLatin1String(name)); }
    QUdpSocket *socket() const { return control<QUdpSocket>("wSock"); }
    void press() const { QTest::mouseClick(control<QPushButton>("cmdGetTime"), Qt::LeftButton); }
    bool takeRequest(QNetworkDatagram &request);
    void answer(const QByteArray &bytes);
    void queryAndAnswer(const QByteArray &bytes);

    QUdpSocket peer; // the time server
    std::unique_ptr<Form2> window;
};

void TestForm2::init()
{
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    window = std::make_unique<Form2>(TimeQueryPorts{peer.localPort(), 1024});
    control<QLineEdit>("txtServer")->setText(QStringLiteral("127.0.0.1"));
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

void TestForm2::cleanup()
{
    window.reset();
    peer.close();
}

bool TestForm2::takeRequest(QNetworkDatagram &request)
{
    if (!QTest::qWaitFor([this] { return peer.hasPendingDatagrams(); }, 3000)) {
        return false;
    }
    request = peer.receiveDatagram();
    return request.isValid();
}

void TestForm2::answer(const QByteArray &bytes)
{
    QCOMPARE(peer.writeDatagram(bytes, QHostAddress::LocalHost, 1024), qint64(bytes.size()));
}

void TestForm2::queryAndAnswer(const QByteArray &bytes)
{
    press();
    QNetworkDatagram request;
    QVERIFY(takeRequest(request));
    answer(bytes);
}

void TestForm2::windowAndControls()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("時刻合わせ"));
    QCOMPARE(window->size(), QSize(277, 237));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags flags = window->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    auto *query = control<QPushButton>("cmdGetTime");
    auto *cancel = control<QPushButton>("cmdCancel");
    QCOMPARE(query->text(), QStringLiteral("時刻合わせ(&G)"));
    QVERIFY(query->isDefault());
    QCOMPARE(cancel->text(), QStringLiteral("キャンセル(&C)"));

    auto *log = control<QPlainTextEdit>("txtlog");
    QVERIFY(log->toPlainText().isEmpty());
    QVERIFY(log->isReadOnly());
    QCOMPARE(log->textInteractionFlags(), Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QCOMPARE(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(log->lineWrapMode(), QPlainTextEdit::NoWrap);

    // The server field and its label live in the band above the log.
    auto *server = control<QLineEdit>("txtServer");
    QCOMPARE(Form2().findChild<QLineEdit *>(QStringLiteral("txtServer"))->text(), QStringLiteral("ntp.nict.jp"));
    const QRect band(0, 0, window->width(), log->y());
    QVERIFY(band.contains(server->geometry()));
    QVERIFY(band.contains(window->findChild<QLabel *>()->geometry()));

    QVERIFY(socket());
    QCOMPARE(socket()->state(), QAbstractSocket::UnconnectedState);
}

void TestForm2::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    // Twips / 15.
    QTest::newRow("cmdGetTime") << "cmdGetTime" << QRect(8, 200, 121, 33);
    QTest::newRow("txtlog") << "txtlog" << QRect(8, 112, 265, 81);
    QTest::newRow("cmdCancel") << "cmdCancel" << QRect(144, 200, 129, 33);
}

void TestForm2::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    auto *widget = window->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), geometry);
}

void TestForm2::focusStartsOnQueryAndTabsInOrder()
{
    QCOMPARE(QApplication::focusWidget(), control<QWidget>("cmdGetTime"));
    for (const char *next : {"txtlog", "cmdCancel", "txtServer", "cmdGetTime"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QLatin1String(next));
    }
}

void TestForm2::eachPressSendsOneRequestFromPort1024()
{
    QSignalSpy states(socket(), &QAbstractSocket::stateChanged);
    QByteArray expected(48, 0);
    expected[0] = 0x0B;

    for (int i = 0; i < 2; ++i) {
        press();
        QNetworkDatagram request;
        QVERIFY(takeRequest(request));
        QCOMPARE(request.data(), expected);
        QCOMPARE(request.senderPort(), 1024);
        QCOMPARE(socket()->state(), QAbstractSocket::BoundState);
    }
    QTest::qWait(50);
    QVERIFY(!peer.hasPendingDatagrams()); // one datagram per press

    // The second press closed the first socket before opening its own.
    QList<QAbstractSocket::SocketState> sequence;
    for (const QList<QVariant> &change : states) {
        sequence << change.at(0).value<QAbstractSocket::SocketState>();
    }
    QCOMPARE(sequence,
             (QList<QAbstractSocket::SocketState>{QAbstractSocket::BoundState, QAbstractSocket::ClosingState,
                                                  QAbstractSocket::UnconnectedState, QAbstractSocket::BoundState}));
}

void TestForm2::enterQueriesFromTheServerField()
{
    auto *server = control<QLineEdit>("txtServer");
    server->setFocus();
    QTest::keyClick(server, Qt::Key_Return);
    QNetworkDatagram request;
    QVERIFY(takeRequest(request));
    QCOMPARE(request.data().size(), 48);
}

void TestForm2::replyIsLoggedAsUtcThenJapanTime_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("log");
    const QString newYear = QStringLiteral("2023/12/31 20:15:07\r\n2024/01/01 05:15:07\r\n");
    QTest::newRow("48 bytes") << reply(0xE93C4A4B) << newYear;
    QTest::newRow("44 bytes") << reply(0xE93C4A4B, 44) << newYear;
    QTest::newRow("68 bytes, fraction and tail set") << reply(0xE93C4A4B, 68, '\xFF') << newYear;
}

void TestForm2::replyIsLoggedAsUtcThenJapanTime()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, log);
    queryAndAnswer(datagram);
    QTRY_COMPARE(window->logText(), log);
    QCOMPARE(socket()->state(), QAbstractSocket::UnconnectedState); // one answer per query
    QCOMPARE(control<QPlainTextEdit>("txtlog")->toPlainText(), QString(log).replace(QStringLiteral("\r\n"), "\n"));
}

void TestForm2::everyReplyAddsTwoLinesAfterTheLog()
{
    const quint32 seconds[] = {0xE93C4A4B, 0x83AA7E80, 0xFFFFFFFF, 0xE93C4A4C};
    for (const quint32 s : seconds) {
        const QString before = window->logText();
        queryAndAnswer(reply(s));
        QTRY_COMPARE(lines(window->logText()).size(), lines(before).size() + 2);
        QVERIFY(window->logText().startsWith(before));
    }
    QCOMPARE(lines(window->logText()).at(7), QStringLiteral("2024/01/01 05:15:08"));
}

void TestForm2::rejectedReplySaysWhyAndKeepsWaiting_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("reason");
    QTest::newRow("43 bytes") << reply(0xE93C4A4B, 43) << QStringLiteral("応答が短すぎます（43 バイト）");
    QTest::newRow("zero seconds") << reply(0, 48, '\x24') << QStringLiteral("時刻が未設定の応答です");
}

void TestForm2::rejectedReplySaysWhyAndKeepsWaiting()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, reason);
    queryAndAnswer(datagram);
    QTRY_COMPARE(lines(window->logText()), QStringList{reason});
    QCOMPARE(socket()->state(), QAbstractSocket::BoundState);

    answer(reply(0xE93C4A4B));
    QTRY_COMPARE(lines(window->logText()),
                 (QStringList{reason, QStringLiteral("2023/12/31 20:15:07"), QStringLiteral("2024/01/01 05:15:07")}));
    QCOMPARE(socket()->state(), QAbstractSocket::UnconnectedState);
}

void TestForm2::portInUseIsReportedAndWindowStaysUsable()
{
    auto blocker = std::make_unique<QUdpSocket>();
    QVERIFY(blocker->bind(QHostAddress::AnyIPv4, 1024, QAbstractSocket::DontShareAddress));
    press();
    QCOMPARE(lines(window->logText()),
             QStringList{QStringLiteral("ローカルポート 1024 がほかのプログラムに使われていて、問い合わせできません")});
    QCOMPARE(socket()->state(), QAbstractSocket::UnconnectedState);
    QTest::qWait(50);
    QVERIFY(!peer.hasPendingDatagrams());

    blocker.reset();
    queryAndAnswer(reply(0xE93C4A4B));
    QTRY_COMPARE(lines(window->logText()).size(), 3);
}

void TestForm2::unknownServerIsReported_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("message");
    QTest::newRow("reserved name") << "name.invalid" << QStringLiteral("サーバー「name.invalid」が見つかりません");
    QTest::newRow("empty") << "  " << QStringLiteral("サーバーが入力されていません");
}

void TestForm2::unknownServerIsReported()
{
    QFETCH(QString, server);
    QFETCH(QString, message);
    control<QLineEdit>("txtServer")->setText(server);
    press();
    QTRY_COMPARE(lines(window->logText()), QStringList{message});
    QCOMPARE(socket()->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(window->isVisible());
}

void TestForm2::logIsReadOnlyButCopyable()
{
    queryAndAnswer(reply(0xE93C4A4B));
    QTRY_COMPARE(lines(window->logText()).size(), 2);
    const QString logged = window->logText();

    auto *log = control<QPlainTextEdit>("txtlog");
    log->setFocus();
    QTest::keyClicks(log, QStringLiteral("x"));
    QTest::keyClick(log, Qt::Key_Delete);
    QTest::keyClick(log, Qt::Key_Backspace);
    QCOMPARE(window->logText(), logged);

    QApplication::clipboard()->clear();
    QTest::keyClick(log, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(log, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             (QStringList{QStringLiteral("2023/12/31 20:15:07"), QStringLiteral("2024/01/01 05:15:07")}));
}

void TestForm2::closingAbandonsTheQuery_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Esc") << true;
    QTest::newRow("cmdCancel") << false;
}

void TestForm2::closingAbandonsTheQuery()
{
    QFETCH(bool, escape);
    press();
    QNetworkDatagram request;
    QVERIFY(takeRequest(request));
    if (escape) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    } else {
        QTest::mouseClick(control<QPushButton>("cmdCancel"), Qt::LeftButton);
    }
    QVERIFY(!window->isVisible());
    QCOMPARE(socket()->state(), QAbstractSocket::UnconnectedState);
    QUdpSocket next; // the port is free again
    QVERIFY(next.bind(QHostAddress::AnyIPv4, 1024, QAbstractSocket::DontShareAddress));
}

void TestForm2::onlyTheServerAskedMayAnswer_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("serverPort");
    QTest::newRow("another port") << QStringLiteral("127.0.0.1") << false;
    QTest::newRow("another address, the server's port") << QStringLiteral("127.0.0.2") << true;
}

void TestForm2::onlyTheServerAskedMayAnswer()
{
    QFETCH(QString, address);
    QFETCH(bool, serverPort);
    QUdpSocket stranger;
    QVERIFY(stranger.bind(QHostAddress(address), serverPort ? peer.localPort() : 0));
    press();
    QNetworkDatagram request;
    QVERIFY(takeRequest(request));
    QCOMPARE(stranger.writeDatagram(reply(0x83AA7E80), QHostAddress::LocalHost, 1024), qint64(48));
    QTest::qWait(300);
    QCOMPARE(window->logText(), QString());
    QCOMPARE(socket()->state(), QAbstractSocket::BoundState);

    answer(reply(0xE93C4A4B));
    QTRY_COMPARE(lines(window->logText()),
                 (QStringList{QStringLiteral("2023/12/31 20:15:07"), QStringLiteral("2024/01/01 05:15:07")}));
}

void TestForm2::silenceIsReportedOnceAndALateAnswerTaken()
{
    const QString silent = QStringLiteral("サーバー「127.0.0.1」から 5 秒たっても応答がありません");
    press();
    QElapsedTimer sent;
    sent.start();
    QNetworkDatagram request;
    QVERIFY(takeRequest(request));
    QTRY_COMPARE_WITH_TIMEOUT(lines(window->logText()), QStringList{silent}, 7000);
    QVERIFY2(sent.elapsed() >= 4900, qPrintable(QString::number(sent.elapsed())));
    QTest::qWait(5500); // a second silence adds nothing
    QCOMPARE(lines(window->logText()), QStringList{silent});

    answer(reply(0xE93C4A4B));
    QTRY_COMPARE(lines(window->logText()),
                 (QStringList{silent, QStringLiteral("2023/12/31 20:15:07"), QStringLiteral("2024/01/01 05:15:07")}));
}

QTEST_MAIN(TestForm2)
#include "test_form2.moc"
