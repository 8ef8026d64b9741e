#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

class QWidget;

// Tells the user's own resize of a window, a drag on its frame, from the other ways its size
// changes: maximising and restoring, a tiling window manager, the program itself. Size changes
// that follow each other within settleMs make one burst; when it settles, a burst during
// which a mouse button was held and the window state did not change was the user's drag.
//
// The button is asked of the X server, which knows it even while the window manager holds
// the pointer. Wayland tells a client nothing of the pointer during a compositor's resize,
// so there every burst that is neither a state change nor the program's own counts as the
// user's. Elsewhere Qt's own idea of the buttons held is used.
class UserResizeWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int settleMs = 300;
    // Size changes this soon after a change of the window state belong to it.
    static constexpr int stateGraceMs = 1000;

    explicit UserResizeWatch(QWidget* window);

    // Size changes count only once the window is built and shown.
    void setEnabled(bool enabled) { m_enabled = enabled; }
    // A burst has not settled yet.
    bool pending() const { return m_settle.isActive(); }
    // What says whether a mouse button is held now; tests play the user with it.
    void setButtonProbe(std::function<bool()> probe) { m_buttonHeld = std::move(probe); }

    // Held while the program resizes the window itself: that burst is not the user's.
    class OwnResize
    {
    public:
        explicit OwnResize(UserResizeWatch& watch) : m_watch(watch) { ++m_watch.m_ownResizes; }
        ~OwnResize() { --m_watch.m_ownResizes; }
        OwnResize(const OwnResize&) = delete;
        OwnResize& operator=(const OwnResize&) = delete;

    private:
        UserResizeWatch& m_watch;
    };

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The user's drag has settled; the window was heightBefore high when it began.
    void userResizeFinished(int heightBefore);

private:
    void beginOrExtend(int heightBefore);
    void onSettled();

    QWidget* m_window;
    QTimer m_settle;
    std::function<bool()> m_buttonHeld;
    bool m_enabled = false;
    int m_ownResizes = 0;
    QElapsedTimer m_sinceStateChange;
    int m_heightBefore = -1;
    bool m_dragged = false;  // a button was held at some size change of the burst
    bool m_excluded = false; // the window state changed, or the program resized
};
