#include "app/x11desktop.h"

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
#include <xcb/xcb.h>
// The XKB header names a field "explicit".
#define explicit explicitFlags
#include <xcb/xkb.h>
#undef explicit

namespace {
template <class T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_connection_t* connection()
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t* c)
{
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    return screens.rem > 0 ? screens.data->root : xcb_window_t(XCB_WINDOW_NONE);
}

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The 32-bit values of a window property of type ATOM or WINDOW.
std::vector<uint32_t> property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
{
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 64), nullptr), &std::free);
    if (!reply || reply->format != 32)
        return {};
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}
} // namespace

namespace X11Desktop {

bool isActive()
{
    return connection() != nullptr;
}

bool pointerButtonHeld()
{
    xcb_connection_t* c = connection();
    if (!c)
        return false;
    const Reply<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, rootOf(c)), nullptr), &std::free);
    constexpr uint16_t buttons = XCB_KEY_BUT_MASK_BUTTON_1 | XCB_KEY_BUT_MASK_BUTTON_2 |
                                 XCB_KEY_BUT_MASK_BUTTON_3 | XCB_KEY_BUT_MASK_BUTTON_4 |
                                 XCB_KEY_BUT_MASK_BUTTON_5;
    return reply && (reply->mask & buttons);
}

bool enableDetectableAutoRepeat()
{
    xcb_connection_t* c = connection();
    if (!c)
        return false;
    // The flag belongs to this client's connection, which Qt has already opened XKB on.
    const Reply<xcb_xkb_use_extension_reply_t> use(
        xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
                                    nullptr),
        &std::free);
    if (!use || !use->supported)
        return false;
    constexpr uint32_t flag = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
    const Reply<xcb_xkb_per_client_flags_reply_t> reply(
        xcb_xkb_per_client_flags_reply(
            c, xcb_xkb_per_client_flags(c, XCB_XKB_ID_USE_CORE_KBD, flag, flag, 0, 0, 0), nullptr),
        &std::free);
    return reply && (reply->value & flag);
}

unsigned activeWindow()
{
    xcb_connection_t* c = connection();
    if (!c)
        return 0;
    const std::vector<uint32_t> values =
        property(c, rootOf(c), atom(c, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    return values.empty() ? 0 : values.front();
}

bool isKeptAbove(const QWidget* window)
{
    xcb_connection_t* c = connection();
    if (!c || !window || !window->internalWinId())
        return false;
    const xcb_atom_t above = atom(c, "_NET_WM_STATE_ABOVE");
    const std::vector<uint32_t> states =
        property(c, xcb_window_t(window->internalWinId()), atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM);
    return std::find(states.begin(), states.end(), above) != states.end();
}

} // namespace X11Desktop
