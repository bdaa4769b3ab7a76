#include "form2.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>
#include <span>

namespace quietwatch {

namespace {

// The layout is drawn in twips; 15 twips make a pixel at 96 dots per inch.
constexpr int px(int twips)
{
    return twips / 15;
}

QRect twipsRect(int left, int top, int width, int height)
{
    return {px(left), px(top), px(width), px(height)};
}

// Names under .invalid can never resolve (RFC 6761); answering at once also spares
// the user a resolver timeout on a machine without DNS.
bool isReservedInvalidName(const QString &name)
{
    QString host = name.toLower();
    if (host.endsWith(QLatin1Char('.'))) {
        host.chop(1);
    }
    return host == QLatin1String("invalid") || host.endsWith(QLatin1String(".invalid"));
}

const QString kCrLf = QStringLiteral("\r\n");

constexpr int kSilenceMilliseconds = 5000;

} // namespace

Form2::Form2(QWidget *parent) : Form2(TimeQueryPorts{}, parent) {}

Form2::Form2(TimeQueryPorts ports, QWidget *parent)
    : QDialog(parent), ports(ports), cmdGetTime(new QPushButton(QStringLiteral("時刻合わせ(&G)"), this)),
      txtlog(new QPlainTextEdit(this)), cmdCancel(new QPushButton(QStringLiteral("キャンセル(&C)"), this)),
      lblServer(new QLabel(QStringLiteral("サーバー："), this)),
      txtServer(new QLineEdit(QStringLiteral("ntp.nict.jp"), this)), wSock(new QUdpSocket(this)),
      silence(new QTimer(this))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("時刻合わせ"));
    // A fixed frame with the close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(px(4155), px(3555));

    cmdGetTime->setObjectName(QStringLiteral("cmdGetTime"));
    cmdGetTime->setGeometry(twipsRect(120, 3000, 1815, 495));
    cmdGetTime->setDefault(true);

    txtlog->setObjectName(QStringLiteral("txtlog"));
    txtlog->setGeometry(twipsRect(120, 1680, 3975, 1215));
    txtlog->setReadOnly(true);
    txtlog->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtlog->setFocusPolicy(Qt::StrongFocus);
    txtlog->setTabChangesFocus(true);
    txtlog->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtlog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtlog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtlog->setUndoRedoEnabled(false); // the log only grows; an undo history would grow with it
    txtlog->setAccessibleName(QStringLiteral("時刻合わせのログ")); // it has no caption of its own

    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(twipsRect(2160, 3000, 1935, 495));

    // The server field sits in the band above the log, as wide as the log.
    const QRect log = txtlog->geometry();
    lblServer->setObjectName(QStringLiteral("lblServer"));
    lblServer->adjustSize();
    lblServer->setBuddy(txtServer);
    txtServer->setObjectName(QStringLiteral("txtServer"));
    const int fieldHeight = txtServer->sizeHint().height();
    const int fieldLeft = log.left() + lblServer->width() + 4;
    txtServer->setGeometry(fieldLeft, log.top() - 8 - fieldHeight, log.right() + 1 - fieldLeft, fieldHeight);
    lblServer->move(log.left(), txtServer->y() + (fieldHeight - lblServer->height()) / 2);

    setTabOrder(cmdGetTime, txtlog);
    setTabOrder(txtlog, cmdCancel);
    setTabOrder(cmdCancel, txtServer);
    cmdGetTime->setFocus();

    wSock->setObjectName(QStringLiteral("wSock"));
    silence->setSingleShot(true);
    silence->setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    silence->setInterval(kSilenceMilliseconds);

    connect(cmdGetTime, &QPushButton::clicked, this, &Form2::cmdGetTime_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(wSock, &QUdpSocket::readyRead, this, &Form2::wSock_DataArrival);
    connect(silence, &QTimer::timeout, this, &Form2::reportSilence);
}

QString Form2::logText() const
{
    return txtlog->toPlainText().replace(QLatin1Char('\n'), kCrLf);
}

void Form2::showEvent(QShowEvent *event)
{
    // A dialog that has not been moved centres itself as it is shown, and the move tells
    // the window manager that the user chose that place. Marked as moved for that moment,
    // the window is left where the window system places new windows.
    const bool moved = testAttribute(Qt::WA_Moved);
    setAttribute(Qt::WA_Moved);
    QDialog::showEvent(event);
    setAttribute(Qt::WA_Moved, moved);
}

void Form2::done(int result)
{
    abandonQuery();
    QDialog::done(result);
}

void Form2::cmdGetTime_Click()
{
    request = makeSntpRequest();
    abandonQuery(); // drops an earlier socket, its port and any answer still awaited

    serverName = txtServer->text().trimmed();
    if (serverName.isEmpty()) {
        appendLog(QStringLiteral("サーバーが入力されていません") + kCrLf);
        return;
    }
    if (!wSock->bind(QHostAddress::Any, ports.local, QAbstractSocket::DontShareAddress)) {
        const QString port = QString::number(ports.local);
        appendLog((wSock->error() == QAbstractSocket::AddressInUseError
                       ? QStringLiteral("ローカルポート %1 がほかのプログラムに使われていて、問い合わせできません")
                       : QStringLiteral("ローカルポート %1 を開けないため、問い合わせできません"))
                      .arg(port) +
                  kCrLf);
        wSock->close();
        return;
    }

    QHostAddress literal;
    if (literal.setAddress(serverName)) {
        sendRequest(literal); // an address needs no lookup (a lookup would be a reverse one)
        return;
    }
    if (isReservedInvalidName(serverName)) {
        serverResolved(QHostInfo()); // reported like any other unknown name
        return;
    }
    // Asynchronous, so a slow resolver never freezes the window.
    lookupId = QHostInfo::lookupHost(serverName, this, &Form2::serverResolved);
}

void Form2::serverResolved(const QHostInfo &info)
{
    if (info.lookupId() != lookupId) {
        return; // a lookup of a query given up since
    }
    lookupId = -1;
    const QList<QHostAddress> addresses = info.addresses();
    if (info.error() != QHostInfo::NoError || addresses.isEmpty()) {
        appendLog(QStringLiteral("サーバー「%1」が見つかりません").arg(serverName) + kCrLf);
        wSock->close();
        return;
    }
    // IPv4 first: a name with both kinds of address is more often reachable over IPv4.
    const auto ipv4 = std::find_if(addresses.cbegin(), addresses.cend(), [](const QHostAddress &address) {
        return address.protocol() == QAbstractSocket::IPv4Protocol;
    });
    sendRequest(ipv4 != addresses.cend() ? *ipv4 : addresses.first());
}

void Form2::sendRequest(const QHostAddress &server)
{
    const auto sent = wSock->writeDatagram(reinterpret_cast<const char *>(request.data()),
                                           static_cast<qint64>(request.size()), server, ports.server);
    if (sent != static_cast<qint64>(request.size())) {
        appendLog(QStringLiteral("サーバー「%1」への送信に失敗しました").arg(serverName) + kCrLf);
        wSock->close();
        return;
    }
    // The socket stays open until an answer, the next press or closing; silence is only reported.
    asked = server;
    silence->start();
}

void Form2::wSock_DataArrival()
{
    while (wSock->state() == QAbstractSocket::BoundState && wSock->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = wSock->receiveDatagram();
        if (!datagram.isValid()) {
            return;
        }
        // Anyone on the network could send a datagram here; only the server asked may answer.
        // Others are dropped unseen, and the real answer can still come.
        if (datagram.senderPort() != ports.server ||
            !datagram.senderAddress().isEqual(asked, QHostAddress::TolerantConversion)) {
            continue;
        }
        const QByteArray data = datagram.data();
        const SntpReply reply = decodeSntpReply(
            std::span(reinterpret_cast<const std::uint8_t *>(data.constData()), static_cast<std::size_t>(data.size())));
        switch (reply.rejection) {
        case SntpRejection::None:
            for (const std::string &line : sntpLogLines(reply.unixSeconds)) {
                appendLog(QString::fromStdString(line));
            }
            silence->stop();
            wSock->close(); // one answer per query
            return;
        case SntpRejection::TooShort:
            // Kept open: a later datagram is still taken as the answer.
            appendLog(QStringLiteral("応答が短すぎます（%1 バイト）").arg(reply.size) + kCrLf);
            break;
        case SntpRejection::NeverSynchronised:
            appendLog(QStringLiteral("時刻が未設定の応答です") + kCrLf);
            break;
        }
    }
}

void Form2::reportSilence()
{
    appendLog(QStringLiteral("サーバー「%1」から %2 秒たっても応答がありません")
                  .arg(serverName)
                  .arg(kSilenceMilliseconds / 1000) +
              kCrLf);
}

void Form2::abandonQuery()
{
    silence->stop();
    asked.clear();
    if (lookupId != -1) {
        QHostInfo::abortHostLookup(lookupId);
        lookupId = -1;
    }
    wSock->close();
}

void Form2::appendLog(const QString &line)
{
    // Inserted at the end through a cursor of its own: the text already there is left as
    // it is, whatever the user has selected, and the cost does not grow with the log.
    // The CR LF ending becomes a paragraph break in the box.
    QTextCursor end(txtlog->document());
    end.movePosition(QTextCursor::End);
    end.insertText(line);
    QScrollBar *scroll = txtlog->verticalScrollBar();
    scroll->setValue(scroll->maximum());
}

} // namespace quietwatch
