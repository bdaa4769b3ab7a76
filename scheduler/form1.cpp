#include "form1.h"

namespace quietwatch {

Form1::Form1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quietwatch"));
}

} // namespace quietwatch
