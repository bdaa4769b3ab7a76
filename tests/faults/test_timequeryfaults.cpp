// The time query window under faults the window cannot prevent: a server name the
// resolver cannot find, and the largest datagram UDP can carry. Real datagrams through a
// real socket on local port 1024, from a peer on loopback.

#include "form2.h"

#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QTest>
#include <QUdpSocket>
#include <memory>

using namespace quietwatch;

namespace {

const QStringList kNewYear{QStringLiteral("2023/12/31 20:15:07"), QStringLiteral("2024/01/01 05:15:07")};

// `size` bytes of `filler`, with the transmit seconds E9 3C 4A 4B at offsets 40 to 43.
QByteArray newYearReply(int size, char filler)
{
    QByteArray bytes(size, filler);
    const char seconds[] = {'\xE9', '\x3C', '\x4A', '\x4B'};
    bytes.replace(40, 4, seconds, 4);
    return bytes;
}

QStringList lines(const QString &log)
{
    QStringList all = log.split(QStringLiteral("\r\n"));
    all.removeLast(); // after the last line ending
    return all;
}

} // namespace

class TestTimeQueryFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void nameTheResolverCannotFind_data();
    void nameTheResolverCannotFind();
    void largestDatagramIsReadWhole();

private:
    void press() const { QTest::mouseClick(window->findChild<QPushButton *>("cmdGetTime"), Qt::LeftButton); }
    QUdpSocket *socket() const { return window->findChild<QUdpSocket *>("wSock"); }
    void queryAndAnswer(const QByteArray &answer);

    QUdpSocket peer; // the time server
    std::unique_ptr<Form2> window;
};

void TestTimeQueryFaults::init()
{
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    window = std::make_unique<Form2>(TimeQueryPorts{peer.localPort(), 1024});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestTimeQueryFaults::cleanup()
{
    window.reset();
    peer.close();
}

void TestTimeQueryFaults::queryAndAnswer(const QByteArray &answer)
{
    window->findChild<QLineEdit *>("txtServer")->setText(QStringLiteral("127.0.0.1"));
    press();
    QVERIFY(QTest::qWaitFor([this] { return peer.hasPendingDatagrams(); }, 5000));
    const QNetworkDatagram request = peer.receiveDatagram();
    QCOMPARE(request.data().size(), 48);
    QCOMPARE(peer.writeDatagram(answer, request.senderAddress(), quint16(request.senderPort())), qint64(answer.size()));
}

void TestTimeQueryFaults::nameTheResolverCannotFind_data()
{
    QTest::addColumn<QString>("server");
    // Names that go to the host lookup (not an address, not under .invalid) and fail there
    // without a question on the network: a label longer than the 63 bytes DNS allows, and
    // a whole name longer than its 253.
    QTest::newRow("label of 64 characters") << QString(64, QLatin1Char('a')) + QStringLiteral(".example");
    QString longName;
    for (int i = 0; i < 26; ++i) {
        longName += QStringLiteral("abcdefghi.");
    }
    QTest::newRow("name of 260 characters") << longName + QStringLiteral("example");
}

void TestTimeQueryFaults::nameTheResolverCannotFind()
{
    QFETCH(QString, server);
    window->findChild<QLineEdit *>("txtServer")->setText(server);
    press();
    QTRY_COMPARE_WITH_TIMEOUT(lines(window->logText()),
                              QStringList{QStringLiteral("サーバー「%1」が見つかりません").arg(server)}, 10000);
    QCOMPARE(socket()->state(), QAbstractSocket::UnconnectedState); // the port is free again
    QVERIFY(!peer.hasPendingDatagrams());

    // The window stays usable: the next query to a server that exists is answered.
    queryAndAnswer(newYearReply(48, 0));
    QTRY_COMPARE(lines(window->logText()).mid(1), kNewYear);
}

void TestTimeQueryFaults::largestDatagramIsReadWhole()
{
    // 65507 bytes is the most an IPv4 datagram carries; the fraction and every byte after
    // the transmit seconds are set, and none of them may change the answer.
    const QByteArray largest = newYearReply(65507, '\xFF');
    queryAndAnswer(largest);
    QTRY_COMPARE(lines(window->logText()), kNewYear);
    // One answer per query: the socket is closed and nothing more of the datagram is logged.
    QCOMPARE(socket()->state(), QAbstractSocket::UnconnectedState);
    QTest::qWait(200);
    QCOMPARE(lines(window->logText()), kNewYear);
}

QTEST_MAIN(TestTimeQueryFaults)
#include "test_timequeryfaults.moc"
