#pragma once

#include "timequery.h"

#include <QDialog>

class QHostInfo;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QUdpSocket;

namespace quietwatch {

// The time query window: one SNTP request per press, and every answer logged as two
// lines, UTC and then UTC+9. It only reports the time; it never sets the clock.
class Form2 : public QDialog
{
    Q_OBJECT
public:
    explicit Form2(QWidget *parent = nullptr);
    explicit Form2(TimeQueryPorts ports, QWidget *parent = nullptr);

    // The log with every line ending in CR LF. The box itself keeps one paragraph per
    // line, so its plain text and a copied selection give one line per entry.
    QString logText() const;

    // Closing the window in any way (Esc, cmdCancel, the close box) abandons a query
    // still waiting for its answer and frees the local port.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void cmdGetTime_Click();
    void wSock_DataArrival();
    void serverResolved(const QHostInfo &info);
    void reportSilence();
    void carryOut(TimeQueryStep step);
    void appendLog(const QString &line);

    TimeQuery query;   // decides what is sent, what an answer means and what is logged
    int lookupId = -1; // the name lookup still running, if any

    QPushButton *cmdGetTime;
    QPlainTextEdit *txtlog;
    QPushButton *cmdCancel;
    QLabel *lblServer;
    QLineEdit *txtServer;
    QUdpSocket *wSock;
    QTimer *silence; // says once that no answer has come; the query keeps waiting
};

} // namespace quietwatch
