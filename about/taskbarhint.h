#pragma once

class QWidget;

namespace quietwatch {

// Asks the desktop to give a top-level window no task-bar button of its own, without
// changing its kind or its frame. Call while the window is being shown, before its native
// window is mapped (from showEvent); where the window system has no such request this
// does nothing.
void keepOffTaskBar(QWidget &window);

} // namespace quietwatch
