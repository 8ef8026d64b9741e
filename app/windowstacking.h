#pragma once

class QWidget;

namespace WindowStacking {
// Puts a top-level window into the always-on-top band or takes it out, keeping the window:
// QWidget::setWindowFlags would make the native window anew (unmapped and mapped again, the
// focus lost). The window's own flags change only its stacking band; on X11 that is a
// _NET_WM_STATE request for _NET_WM_STATE_ABOVE to the window manager. Wayland has no such
// request: there the flag is kept and the compositor stacks the window as it likes.
void keepAbove(QWidget* window, bool on);
} // namespace WindowStacking
