#pragma once

#include <QMainWindow>

namespace quietwatch {

// The scheduler window: the program's main window.
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
};

} // namespace quietwatch
