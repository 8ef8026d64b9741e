#include "app/activewindowwatch.h"

#include "app/x11desktop.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {
xcb_connection_t* connection()
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

bool isOwnWindow(unsigned id)
{
    const QWindowList windows = QGuiApplication::topLevelWindows();
    return std::any_of(windows.begin(), windows.end(),
                       [id](const QWindow* w) { return w->handle() && unsigned(w->winId()) == id; });
}
} // namespace

ActiveWindowWatch::ActiveWindowWatch(QObject* parent) : QObject(parent)
{
    xcb_connection_t* c = connection();
    if (!c)
        return;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const char name[] = "_NET_ACTIVE_WINDOW";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    m_atom = atom ? atom->atom : 0;
    std::free(atom);
    // Property changes of the root window; Qt selects them too, and the mask is this
    // client's own, so add to it rather than replace it.
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, m_root), nullptr);
    if (attributes && !(attributes->your_event_mask & XCB_EVENT_MASK_PROPERTY_CHANGE)) {
        const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(c);
    }
    std::free(attributes);
    m_active = X11Desktop::activeWindow();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

ActiveWindowWatch::~ActiveWindowWatch()
{
    if (m_atom && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool ActiveWindowWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (!m_atom || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* notify = static_cast<const xcb_property_notify_event_t*>(message);
    if (notify->window == m_root && notify->atom == m_atom)
        onActiveWindowChanged();
    return false;
}

void ActiveWindowWatch::onActiveWindowChanged()
{
    const unsigned active = X11Desktop::activeWindow();
    if (active == m_active)
        return;
    m_active = active;
    // The program's own windows coming up (the main window at the end of start-up) are no
    // click elsewhere.
    if (active != 0 && isOwnWindow(active))
        return;
    emit otherWindowActivated();
}
