#pragma once

class QWidget;

// What the program asks of an X server directly, where Qt has no call for it. Every function
// does nothing (and answers false) on any other platform: Wayland, Windows, offscreen.
namespace X11Desktop {
// The program draws on an X server.
bool isActive();
// A mouse button is held down anywhere on the display. The server knows it even while the
// window manager has the pointer grabbed for a move or a resize of the frame.
bool pointerButtonHeld();
// Asks the server to send a held key's auto-repeat as presses alone, without the release
// before each one; Qt otherwise has to guess which releases are real, and under load it
// guesses wrong. False when the server does not grant it.
bool enableDetectableAutoRepeat();
// The window the window manager calls active (_NET_ACTIVE_WINDOW), 0 when none or unknown.
unsigned activeWindow();
// The window manager lists _NET_WM_STATE_ABOVE among the window's states.
bool isKeptAbove(const QWidget* window);
} // namespace X11Desktop
