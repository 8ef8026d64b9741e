#include "app/desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
// How long the desktop keeps it up, in ms.
constexpr int expireMs = 8000;
} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent)
    : DesktopNotifier(QDBusConnection::sessionBus().name(), parent)
{
}

DesktopNotifier::DesktopNotifier(const QString& connectionName, QObject* parent)
    : QObject(parent), m_connectionName(connectionName)
{
    connectSignals();
}

void DesktopNotifier::connectSignals()
{
    QDBusConnection bus(m_connectionName);
    if (!bus.isConnected())
        return;
    bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                SLOT(onActionInvoked(uint, QString)));
    bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                SLOT(onClosed(uint, uint)));
}

void DesktopNotifier::notify(const QString& title, const QString& body)
{
    QDBusConnection bus(m_connectionName);
    if (!bus.isConnected()) {
        emit shown(false);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    // "default" is the action of a click on the notification itself.
    const QStringList actions{QStringLiteral("default"), QStringLiteral("Odpri")};
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("si.verbolix.Verbolix"));
    call << QStringLiteral("Verbolix") << m_lastId << QStringLiteral("si.verbolix.Verbolix") << title
         << body.toHtmlEscaped() << actions << hints << expireMs;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (!reply.isError())
            m_lastId = reply.value();
        emit shown(!reply.isError());
    });
}

void DesktopNotifier::onActionInvoked(uint id, const QString& action)
{
    if (id == m_lastId && m_lastId != 0 && action == u"default")
        emit activated();
}

void DesktopNotifier::onClosed(uint id, uint)
{
    if (id == m_lastId)
        m_lastId = 0;
}
