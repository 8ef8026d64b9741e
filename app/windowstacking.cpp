#include "app/windowstacking.h"

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
        window->setWindowFlags(flags); // no native window yet: it is made with the flag
        return;
    }
    window->overrideWindowFlags(flags);
    native->setFlags(flags);
}

} // namespace WindowStacking
