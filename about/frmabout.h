#pragma once

#include <QDialog>

namespace quietwatch {

// The About window: product name, version, support address and a picture.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    // The Version command: creates the one About window if there is none, puts its left
    // edge at the main window's right edge (left + outer width) and its top at the main
    // window's top, and shows it without blocking. Returns the window.
    static frmAbout *showBeside(const QWidget &mainWindow);
    // Closes the About window if one is open; nothing otherwise.
    static void closeIfOpen();
    // The open About window, or nullptr.
    static frmAbout *instance();
};

} // namespace quietwatch
