#pragma once

#include <QDialog>
#include <array>

class QFrame;
class QLabel;
class QPushButton;

namespace quietwatch {

// The About window: product name, version, support address and a picture. It holds no
// state and takes no input beyond closing; closing destroys it.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    // The support page shown in Label4: text only, it is not a link.
    static const QString supportAddress;

    explicit frmAbout(QWidget *parent = nullptr);

    // The Version command: creates the one About window if there is none, puts its left
    // edge at the main window's right edge (left + outer width) and its top at the main
    // window's top, moved back onto the screen where it would leave it, and shows it
    // without blocking. Returns the window.
    static frmAbout *showBeside(const QWidget &mainWindow);
    // Closes the About window if one is open; nothing otherwise.
    static void closeIfOpen();
    // The open About window, or nullptr.
    static frmAbout *instance();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *pic1;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    std::array<QFrame *, 2> Line1;
    QPushButton *cmdOK;
};

} // namespace quietwatch
