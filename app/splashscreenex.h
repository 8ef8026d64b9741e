#pragma once

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QPropertyAnimation;

// The picture shown while the main window is being built: borderless, above all other
// windows, centred on the primary screen. It fades in, and two seconds after it was shown
// or last lost the focus (on X11: another program's window was made active), whichever is
// later, it fades out and deletes itself. Showing it never waits: the count only runs while
// events are handled, so a start-up that blocks keeps it on screen, and it goes as soon as
// the event loop runs again after the count.
class CSplashScreenEx : public QWidget
{
    Q_OBJECT

public:
    enum StyleFlag : quint32
    {
        FadeIn = 0x1,
        FadeOut = 0x2,
        DropShadow = 0x4,
        Centre = 0x8,
    };
    static constexpr quint32 ProgramStyle = 0x1000000F;
    static constexpr int ProgramTimeoutMs = 2000;
    static constexpr int FocusLossTimeoutMs = 2000;
    static constexpr int FadeInMs = 500;
    static constexpr int FadeOutMs = 200;

    // A time-out of 0 never hides it by itself (a focus loss still starts the count).
    explicit CSplashScreenEx(int timeoutMs = ProgramTimeoutMs, quint32 style = ProgramStyle);
    ~CSplashScreenEx() override;

    // The program's picture.
    static QString defaultPicture();

    // Loads the picture (SVG or any image Qt reads), sizes the window to it and places it.
    // When it cannot be loaded the user is told ("No image") and the result is false.
    bool loadPicture(const QString& source = defaultPicture());
    // Places and shows the window and starts the count; returns at once.
    void showSplash();

    // What the main frame does: make, load, show. The splash deletes itself; keep at most
    // a QPointer to it.
    static CSplashScreenEx* showStartupSplash();

    // The count that ends in hiding; exposed so that tests can drive it.
    QTimer* hideTimer() { return &m_timer; }
    QSize pictureSize() const { return m_pictureSize; }
    bool isHiding() const { return m_hiding; }

signals:
    // Hidden for good; the object is deleted when control returns to the event loop.
    void finished();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void restartOnFocusLoss();
    void startHiding();
    void finish();

    int m_timeoutMs;
    quint32 m_style;
    QPixmap m_picture;
    QSize m_pictureSize; // in device-independent pixels; empty until loaded
    QPoint m_position;
    QTimer m_timer;
    QPointer<QPropertyAnimation> m_fade;
    bool m_hiding = false;
};
