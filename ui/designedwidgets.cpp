#include "designedwidgets.h"

#include "uifonts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>

namespace quietwatch::ui {

namespace {

QRect twipsRect(const design::Control &control)
{
    return {px(control.left), px(control.top), px(control.width), px(control.height)};
}

template <typename Widget> Widget *named(Widget *widget, const design::Control &control)
{
    widget->setObjectName(qs(control.name));
    if (!control.accessibleName.empty()) {
        widget->setAccessibleName(qs(control.accessibleName));
        if (control.kind == design::Kind::DropDownList) {
            // A list's name is its selected entry over AT-SPI (as in GTK), so its words go
            // into the description there too.
            widget->setAccessibleDescription(qs(control.accessibleName));
        }
    }
    return widget;
}

QLabel *makeLabel(QWidget *parent, const design::Control &control, Faces faces)
{
    auto *label = named(new QLabel(parent), control);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    if (control.font) {
        label->setFont(designedFont(*control.font, faces));
    }
    if (control.colour) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText,
                         QColor(control.colour->red, control.colour->green, control.colour->blue));
        label->setPalette(palette);
    }
    label->setText(qs(control.text)); // after the font: measured once, in the face it is shown in
    label->move(px(control.left), px(control.top));
    label->adjustSize(); // labels size themselves to their text, growing to the right
    return label;
}

// One stroke of a rule: a solid run of one colour, clipped by the window where it runs past.
QFrame *makeLine(QWidget *parent, const design::Control &control)
{
    auto *line = named(new QFrame(parent), control);
    line->setFrameShape(QFrame::NoFrame);
    QPalette palette = line->palette();
    const design::Rgb colour = control.colour.value_or(design::Rgb{});
    palette.setColor(QPalette::Window, QColor(colour.red, colour.green, colour.blue));
    line->setPalette(palette);
    line->setAutoFillBackground(true);
    line->setGeometry(px(control.left), px(control.top), px(control.left + control.width) - px(control.left) + 1,
                      control.lineWidth);
    return line;
}

QObject *makeControl(QWidget *parent, QWidget &window, const design::Control &control, Faces faces)
{
    const QString text = qs(control.text);
    switch (control.kind) {
    case design::Kind::Frame: {
        auto *frame = named(new QGroupBox(text, parent), control);
        frame->setGeometry(twipsRect(control));
        return frame;
    }
    case design::Kind::CommandButton: {
        auto *button = named(new QPushButton(text, parent), control);
        button->setGeometry(twipsRect(control));
        button->setDefault(control.role == design::Role::Default || control.role == design::Role::DefaultAndCancel);
        return button;
    }
    case design::Kind::Label:
        return makeLabel(parent, control, faces);
    case design::Kind::TextBox:
    case design::Kind::EditBox: {
        // The text is set once the box has its parent's font: a box built with its text lays
        // the text out in the application's font first, and loads that font's fallbacks.
        auto *box = named(new QLineEdit(parent), control);
        box->setGeometry(twipsRect(control));
        box->setText(text);
        if (control.kind == design::Kind::TextBox) {
            box->setReadOnly(true); // the user may still select and copy
            box->setCursorPosition(0);
        }
        return box;
    }
    case design::Kind::LogBox: {
        auto *log = named(new QPlainTextEdit(parent), control);
        log->setGeometry(twipsRect(control));
        log->setReadOnly(true);
        log->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        log->setFocusPolicy(Qt::StrongFocus);
        log->setTabChangesFocus(true);
        log->setLineWrapMode(QPlainTextEdit::NoWrap);
        log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        log->setUndoRedoEnabled(false); // the log only grows; an undo history would grow with it
        return log;
    }
    case design::Kind::DropDownList: {
        auto *list = named(new QComboBox(parent), control);
        list->setGeometry(twipsRect(control));
        list->setEditable(false);
        list->setMaxVisibleItems(8);
        return list;
    }
    case design::Kind::OptionButton: {
        // Drawn a little taller than its design height so the indicator is not clipped; it
        // stays centred on the design line.
        auto *option = named(new QRadioButton(text, parent), control);
        const QRect rect = twipsRect(control);
        const int tall = std::max(rect.height(), option->sizeHint().height());
        option->setGeometry(rect.x(), rect.y() - (tall - rect.height()) / 2, rect.width(), tall);
        option->setChecked(control.checked);
        return option;
    }
    case design::Kind::PictureBox: {
        // The picture and its sunken border, 2 pixels on each side.
        auto *picture = named(new QLabel(parent), control);
        picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        picture->setLineWidth(2);
        picture->setAlignment(Qt::AlignCenter);
        picture->setFocusPolicy(Qt::StrongFocus);
        picture->setGeometry(twipsRect(control));
        return picture;
    }
    case design::Kind::Line:
        return makeLine(parent, control);
    case design::Kind::Timer: {
        auto *timer = new QTimer(&window);
        timer->setObjectName(qs(control.name));
        timer->setInterval(control.interval);
        return timer;
    }
    case design::Kind::Socket:
        return nullptr;
    }
    return nullptr;
}

} // namespace

QFont designedFont(const design::Font &font, Faces faces)
{
    const QString face = qs(font.face);
    QFont result = faces == Faces::Installed ? installedDesignFont(face, font.points) : designFont(face, font.points);
    result.setUnderline(font.underline);
    return result;
}

void applyWindowDesign(QWidget &window, const design::Window &design)
{
    window.setObjectName(qs(design.name));
    window.setWindowTitle(qs(design.title));
    Qt::WindowFlags flags =
        Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    // Only a window that can be minimized is a main window; the others are dialogs.
    flags |= design.minimizeButton ? Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint : Qt::Dialog;
    window.setWindowFlags(flags);
    if (design.font) {
        installFontSubstitutions();
        QFont font = uiFont(QApplication::font());
        font.setPointSizeF(design.font->points);
        window.setFont(font);
    }
}

DesignedControls::DesignedControls(QWidget &client, const design::Window &window, Faces faces) : m_window(window)
{
    m_made.reserve(window.controls.size());
    for (const design::Control &control : window.controls) {
        QWidget *parent = control.container.empty() ? &client : get<QWidget>(control.container);
        m_made.emplace_back(control.name, makeControl(parent, *client.window(), control, faces));
    }
}

QObject *DesignedControls::find(std::string_view name) const
{
    const auto found = std::ranges::find(m_made, name, &std::pair<std::string_view, QObject *>::first);
    return found != m_made.end() ? found->second : nullptr;
}

void DesignedControls::orderTabs() const
{
    QWidget *previous = nullptr;
    for (const design::Control *control : design::tabChain(m_window)) {
        auto *widget = get<QWidget>(control->name);
        if (previous == nullptr) {
            widget->setFocus(); // the first control in tab order that can take the focus
        } else {
            QWidget::setTabOrder(previous, widget);
        }
        previous = widget;
    }
}

std::vector<std::pair<std::string_view, QObject *>> buildMenus(QMenuBar &bar, const design::Window &window)
{
    std::vector<std::pair<std::string_view, QObject *>> actions;
    for (const design::Menu &menu : window.menus) {
        QMenu *popup = bar.addMenu(qs(menu.caption));
        popup->setObjectName(qs(menu.name));
        popup->setFont(bar.window()->font());
        actions.emplace_back(menu.name, popup);
        for (const design::MenuItem &item : menu.items) {
            QAction *action = item.caption == "-" ? popup->addSeparator() : popup->addAction(qs(item.caption));
            action->setObjectName(qs(item.name));
            actions.emplace_back(item.name, action);
        }
    }
    return actions;
}

} // namespace quietwatch::ui
