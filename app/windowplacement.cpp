#include "app/windowplacement.h"

#include "core/settings.h"

#include <QDockWidget>
#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

namespace {
constexpr Qt::WindowStates notNormal = Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized;
} // namespace

WindowPlacement::WindowPlacement(QMainWindow* window, QDockWidget* pane)
    : QObject(window), m_window(window), m_pane(pane)
{
    window->installEventFilter(this);
}

bool WindowPlacement::isOnSomeScreen(const QRect& geometry)
{
    // The strip along the top where the title bar is, at least this much of it.
    const QRect top(geometry.x(), geometry.y() - 20, geometry.width(), 40);
    const QSize enough(qMin(100, geometry.width()), 20);
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&](const QScreen* screen) {
        const QRect shown = screen->availableGeometry().intersected(top);
        return shown.width() >= enough.width() && shown.height() >= enough.height();
    });
}

void WindowPlacement::restore(const QSize& defaultSize, int defaultPaneWidth)
{
    const QRect stored(Settings::Read(Setting::WindowX), Settings::Read(Setting::WindowY),
                       Settings::Read(Setting::WindowWidth), Settings::Read(Setting::WindowHeight));
    if (stored.width() > 0 && stored.height() > 0 && isOnSomeScreen(stored))
        m_window->setGeometry(QRect(stored.topLeft(), stored.size().expandedTo(m_window->minimumSize())));
    else
        m_window->resize(defaultSize);
    m_normal = m_previousNormal = m_window->geometry();
    // Asked for once the window is on screen: set before, the X11 window manager did not
    // see it on a window that the entry view had already made native.
    m_maximizeOnShow = Settings::Read(Setting::WindowMaximized) == 1;
    const int paneWidth = Settings::Read(Setting::PaneWidth);
    m_window->resizeDocks({m_pane}, {paneWidth > 0 ? paneWidth : defaultPaneWidth}, Qt::Horizontal);
    m_restored = true;
}

void WindowPlacement::save() const
{
    if (!m_restored)
        return;
    Settings::Write(Setting::WindowX, m_normal.x());
    Settings::Write(Setting::WindowY, m_normal.y());
    Settings::Write(Setting::WindowWidth, m_normal.width());
    Settings::Write(Setting::WindowHeight, m_normal.height());
    Settings::Write(Setting::WindowMaximized, m_window->isMaximized() ? 1 : 0);
    Settings::Write(Setting::PaneWidth, m_pane->width());
}

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window || !m_restored)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        if (m_maximizeOnShow) {
            m_maximizeOnShow = false;
            QMetaObject::invokeMethod(
                m_window,
                [window = m_window] { window->setWindowState(window->windowState() | Qt::WindowMaximized); },
                Qt::QueuedConnection);
        }
        break;
    case QEvent::Move:
    case QEvent::Resize:
        if (!(m_window->windowState() & notNormal) && m_window->geometry() != m_normal) {
            m_previousNormal = m_normal;
            m_normal = m_window->geometry();
        }
        break;
    case QEvent::WindowStateChange:
        if ((m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) &&
            m_normal == m_window->geometry())
            m_normal = m_previousNormal;
        break;
    default:
        break;
    }
    return false;
}
