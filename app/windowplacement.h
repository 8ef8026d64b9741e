#pragma once

#include <QObject>
#include <QRect>

class QDockWidget;
class QMainWindow;

// Keeps the main window's placement between runs in the settings store: its normal geometry,
// whether it was maximised, and the width of the left pane. A placement that would be off
// every screen, or none at all, gives the default size, placed by the window manager.
class WindowPlacement : public QObject
{
    Q_OBJECT
public:
    WindowPlacement(QMainWindow* window, QDockWidget* pane);

    // Before the window is first shown.
    void restore(const QSize& defaultSize, int defaultPaneWidth);
    void save() const;

    // The geometry the window has when neither maximised nor full screen.
    QRect normalGeometry() const { return m_normal; }
    // A stored placement can be reached: some screen shows enough of its top strip to take
    // hold of the window there.
    static bool isOnSomeScreen(const QRect& geometry);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMainWindow* m_window;
    QDockWidget* m_pane;
    QRect m_normal;
    // The one before: a maximising window manager may send the new size before the state.
    QRect m_previousNormal;
    bool m_restored = false;
    bool m_maximizeOnShow = false;
};
