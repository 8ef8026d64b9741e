#pragma once

#include <QObject>
#include <QString>

// Desktop notifications over the session bus (the freedesktop.org notification service), for
// a look-up the user cannot see because the window stays behind others. Without a bus or a
// notification service nothing is shown and nothing fails.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject* parent = nullptr);
    // Uses the named bus connection (tests run a private bus).
    DesktopNotifier(const QString& connectionName, QObject* parent);

    // Shows one notification, replacing this program's previous one. Never waits: shown()
    // tells later whether a notification service took it.
    void notify(const QString& title, const QString& body);

signals:
    void shown(bool taken);
    // The user clicked the notification.
    void activated();

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

private:
    void connectSignals();

    QString m_connectionName;
    uint m_lastId = 0;
};
