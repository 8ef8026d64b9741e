#include "app/userresizewatch.h"

#include "app/x11desktop.h"

#include <QGuiApplication>
#include <QResizeEvent>
#include <QWidget>

namespace {
bool buttonHeldNow()
{
    if (X11Desktop::isActive())
        return X11Desktop::pointerButtonHeld();
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return true; // not known: see the class comment
    return QGuiApplication::mouseButtons() != Qt::NoButton;
}
} // namespace

UserResizeWatch::UserResizeWatch(QWidget* window)
    : QObject(window), m_window(window), m_buttonHeld(buttonHeldNow)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_settle, &QTimer::timeout, this, &UserResizeWatch::onSettled);
    window->installEventFilter(this);
}

bool UserResizeWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window || !m_enabled)
        return false;
    if (event->type() == QEvent::Resize) {
        const auto* resize = static_cast<QResizeEvent*>(event);
        if (!resize->oldSize().isValid())
            return false;
        beginOrExtend(resize->oldSize().height());
        // The window manager's new size may come well after its state, under load.
        if (m_ownResizes > 0 || (m_sinceStateChange.isValid() && m_sinceStateChange.elapsed() < stateGraceMs))
            m_excluded = true;
        else if (m_buttonHeld())
            m_dragged = true;
    } else if (event->type() == QEvent::WindowStateChange) {
        constexpr Qt::WindowStates placed = Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized;
        const Qt::WindowStates before = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        if ((before ^ m_window->windowState()) & placed) {
            // Maximising and restoring may reach the window before or after their new size.
            beginOrExtend(m_window->height());
            m_excluded = true;
            m_sinceStateChange.start();
        }
    }
    return false;
}

void UserResizeWatch::beginOrExtend(int heightBefore)
{
    if (!m_settle.isActive()) {
        m_heightBefore = heightBefore;
        m_dragged = false;
        m_excluded = false;
    }
    m_settle.start();
}

void UserResizeWatch::onSettled()
{
    if (m_dragged && !m_excluded)
        emit userResizeFinished(m_heightBefore);
}
