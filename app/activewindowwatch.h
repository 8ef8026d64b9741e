#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

// Tells when the window manager makes a window of another program active, as when the user
// clicks one. Only an X server says so (the root window's _NET_ACTIVE_WINDOW, kept by the
// window manager); elsewhere the signal never comes.
class ActiveWindowWatch : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    explicit ActiveWindowWatch(QObject* parent = nullptr);
    ~ActiveWindowWatch() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void otherWindowActivated();

private:
    void onActiveWindowChanged();

    unsigned m_root = 0;
    unsigned m_atom = 0;
    unsigned m_active = 0;
};
