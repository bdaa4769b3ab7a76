#include "form2.h"

#include "designedwidgets.h"

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

const QString kCrLf = QStringLiteral("\r\n");

} // namespace

Form2::Form2(QWidget *parent) : Form2(TimeQueryPorts{}, parent) {}

Form2::Form2(TimeQueryPorts ports, QWidget *parent)
    : QDialog(parent), query(ports), wSock(new QUdpSocket(this)), silence(new QTimer(this))
{
    ui::applyWindowDesign(*this, design::kForm2);
    setFixedSize(ui::px(design::kForm2.clientWidth), ui::px(design::kForm2.clientHeight));

    const ui::DesignedControls controls(*this, design::kForm2, ui::Faces::Design);
    cmdGetTime = controls.get<QPushButton>("cmdGetTime"); // the default button: Enter
    txtlog = controls.get<QPlainTextEdit>("txtlog");
    cmdCancel = controls.get<QPushButton>("cmdCancel"); // Esc rejects the dialog, as it does
    lblServer = controls.get<QLabel>("lblServer");
    txtServer = controls.get<QLineEdit>("txtServer");

    // The server field sits in the band above the log, as wide as the log.
    const QRect log = txtlog->geometry();
    lblServer->setBuddy(txtServer);
    const int fieldHeight = txtServer->sizeHint().height();
    const int fieldLeft = log.left() + lblServer->width() + 4;
    txtServer->setGeometry(fieldLeft, log.top() - 8 - fieldHeight, log.right() + 1 - fieldLeft, fieldHeight);
    lblServer->move(log.left(), txtServer->y() + (fieldHeight - lblServer->height()) / 2);
    controls.orderTabs();

    wSock->setObjectName(QStringLiteral("wSock"));
    silence->setSingleShot(true);
    silence->setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    silence->setInterval(kTimeQuerySilenceMilliseconds);

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
    carryOut(query.close());
    QDialog::done(result);
}

void Form2::cmdGetTime_Click()
{
    carryOut(query.press(txtServer->text().toStdString()));
}

void Form2::serverResolved(const QHostInfo &info)
{
    if (info.lookupId() != lookupId) {
        return; // a lookup of a query given up since
    }
    lookupId = -1;
    const QList<QHostAddress> addresses = info.addresses();
    if (info.error() != QHostInfo::NoError || addresses.isEmpty()) {
        carryOut(query.notFound());
        return;
    }
    // IPv4 first: a name with both kinds of address is more often reachable over IPv4.
    const auto ipv4 = std::find_if(addresses.cbegin(), addresses.cend(), [](const QHostAddress &address) {
        return address.protocol() == QAbstractSocket::IPv4Protocol;
    });
    carryOut(query.resolved((ipv4 != addresses.cend() ? *ipv4 : addresses.first()).toString().toStdString()));
}

void Form2::wSock_DataArrival()
{
    while (wSock->state() == QAbstractSocket::BoundState && wSock->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = wSock->receiveDatagram();
        if (!datagram.isValid()) {
            return;
        }
        const QByteArray data = datagram.data();
        carryOut(query.datagram(
            std::span(reinterpret_cast<const std::uint8_t *>(data.constData()), static_cast<std::size_t>(data.size())),
            datagram.senderAddress().toString().toStdString(), static_cast<std::uint16_t>(datagram.senderPort())));
    }
}

void Form2::reportSilence()
{
    carryOut(query.silence());
}

void Form2::carryOut(TimeQueryStep step)
{
    // Each event's step may lead to the next one at once (a bound socket to a lookup, an
    // address given as such to the send).
    for (;;) {
        if (step.endQuery) {
            silence->stop();
            if (lookupId != -1) {
                QHostInfo::abortHostLookup(lookupId);
                lookupId = -1;
            }
            wSock->close();
        }
        for (const std::string &line : step.log) {
            appendLog(ui::qs(line));
        }
        if (step.startSilence) {
            silence->start();
        }
        switch (step.next) {
        case TimeQueryStep::Next::Wait:
            return;
        case TimeQueryStep::Next::Bind:
            if (wSock->bind(QHostAddress::Any, query.ports().local, QAbstractSocket::DontShareAddress)) {
                step = query.bound();
            } else {
                step = query.bindFailed(wSock->error() == QAbstractSocket::AddressInUseError);
            }
            break;
        case TimeQueryStep::Next::Resolve: {
            const QString host = ui::qs(step.host);
            QHostAddress literal;
            if (literal.setAddress(host)) {
                // An address needs no lookup (a lookup would be a reverse one).
                step = query.resolved(literal.toString().toStdString());
                break;
            }
            // Asynchronous, so a slow resolver never freezes the window.
            lookupId = QHostInfo::lookupHost(host, this, &Form2::serverResolved);
            return;
        }
        case TimeQueryStep::Next::Send: {
            const auto &request = query.request();
            const auto sent = wSock->writeDatagram(reinterpret_cast<const char *>(request.data()),
                                                   static_cast<qint64>(request.size()),
                                                   QHostAddress(ui::qs(step.address)), query.ports().server);
            step = query.sent(sent == static_cast<qint64>(request.size()));
            break;
        }
        }
    }
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
