#include "app/windowstacking.h"

#include <QRect>
#include <QWidget>
#include <QWindow>

namespace WindowStacking {

void keepAbove(QWidget* window, bool on)
{
    const Qt::WindowFlags flags = window->windowFlags().setFlag(Qt::WindowStaysOnTopHint, on);
    if (flags == window->windowFlags())
        return;
    QWindow* native = window->windowHandle();
    if (!native || !native->handle()) {
        // No native window yet: it is made with the flag. setWindowFlags moves the window to
        // where it was, which would then count as the frame's place, not the window's.
        const QRect geometry = window->geometry();
        const bool placed = window->testAttribute(Qt::WA_Moved);
        window->setWindowFlags(flags);
        if (placed)
            window->setGeometry(geometry);
        return;
    }
    window->overrideWindowFlags(flags);
    native->setFlags(flags);
}

} // namespace WindowStacking
