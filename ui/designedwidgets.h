#pragma once

// Qt widgets made from the core's window tables: every caption, place and size comes from
// there; what is Qt's alone (how a label measures itself, an option button's height, fonts
// that name the installed stand-in faces) is added here.

#include "windowdesign.h"

#include <QString>
#include <string_view>
#include <utility>
#include <vector>

class QAction;
class QFont;
class QMenuBar;
class QObject;
class QWidget;

namespace quietwatch::ui {

inline QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Twips to device-independent pixels: 15 make one.
constexpr int px(int twips)
{
    return design::pixels(twips);
}

// How a control's own font names its face.
enum class Faces
{
    Installed, // the installed face that stands in for the design face: found at once at start-up
    Design,    // the design face itself, resolved through the substitutions
};

// The font the table gives a control (or a window), at its size and weight.
QFont designedFont(const design::Font &font, Faces faces);

// The window's name, title, frame and font. The frame is fixed: a title, the close box and,
// where the table allows it, the minimize box; never maximized.
void applyWindowDesign(QWidget &window, const design::Window &design);

// The controls of a window built from its table, in creation order (which is also their
// stacking order): those the table puts on the client area inside `client`, the others inside
// their frames. Timers belong to the window; sockets are the window's own business.
class DesignedControls
{
public:
    DesignedControls(QWidget &client, const design::Window &window, Faces faces);

    QObject *find(std::string_view name) const;
    template <typename T> T *get(std::string_view name) const { return qobject_cast<T *>(find(name)); }

    // Chains the controls that take the focus in tab order and gives the first one the focus.
    void orderTabs() const;

private:
    const design::Window &m_window;
    std::vector<std::pair<std::string_view, QObject *>> m_made;
};

// The window's menus on the bar, each with the window's font (a popup is a window of its own
// and would not inherit it). The menus (QMenu) and their items (QAction, separators too) by name.
std::vector<std::pair<std::string_view, QObject *>> buildMenus(QMenuBar &bar, const design::Window &window);

} // namespace quietwatch::ui
