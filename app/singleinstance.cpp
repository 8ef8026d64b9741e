#include "app/singleinstance.h"

#include "core/settingsfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <unistd.h>

namespace {
// Longest message a start may send; a word is far shorter.
constexpr qint64 maxMessageBytes = 16 * 1024;

QString runtimeFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}
} // namespace

LaunchRequest LaunchRequest::fromArguments(const QStringList& arguments)
{
    LaunchRequest request;
    QStringList words;
    bool optionsEnd = false;
    for (const QString& argument : arguments) {
        if (!optionsEnd && argument == u"--") {
            optionsEnd = true;
        } else if (!optionsEnd && argument == u"--clipboard") {
            request.kind = Kind::Clipboard;
        } else if (!optionsEnd && argument.startsWith(u'-')) {
            continue; // Qt's own options and anything unknown
        } else if (!argument.trimmed().isEmpty()) {
            words.append(argument.trimmed());
        }
    }
    if (!words.isEmpty()) {
        request.kind = Kind::LookUp;
        request.word = words.join(u' ');
    }
    request.activationToken = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    if (request.activationToken.isEmpty())
        request.activationToken = qEnvironmentVariable("DESKTOP_STARTUP_ID");
    return request;
}

QByteArray LaunchRequest::toMessage() const
{
    // One line per field; a word never holds a line break (it is one line of the box).
    QString word = this->word;
    word.replace(u'\n', u' ').replace(u'\r', u' ');
    const char* kindName = kind == Kind::LookUp ? "lookup" : kind == Kind::Clipboard ? "clipboard" : "raise";
    return QByteArray(kindName) + '\n' + word.toUtf8() + '\n' + activationToken.toUtf8() + '\n';
}

LaunchRequest LaunchRequest::fromMessage(const QByteArray& message)
{
    const QList<QByteArray> lines = message.split('\n');
    LaunchRequest request;
    const QByteArray kind = lines.value(0);
    if (kind == "lookup")
        request.kind = Kind::LookUp;
    else if (kind == "clipboard")
        request.kind = Kind::Clipboard;
    request.word = QString::fromUtf8(lines.value(1)).trimmed();
    request.activationToken = QString::fromUtf8(lines.value(2));
    if (request.kind == Kind::LookUp && request.word.isEmpty())
        request.kind = Kind::Raise;
    return request;
}

SingleInstance::SingleInstance(QString key, QObject* parent) : QObject(parent)
{
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    // A full path: QLocalServer would otherwise put it in /tmp, shared by every user.
    m_serverName = QDir(runtimeFolder()).filePath(QStringLiteral("verbolix-%1-%2").arg(getuid()).arg(QString::fromLatin1(digest)));
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultKey()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    return display + u'\n' + OpenSettingsFile().fileName();
}

bool SingleInstance::handOver(const LaunchRequest& request, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(request.toMessage());
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The running window says it took the request; a stuck one counts as none.
    return socket.waitForReadyRead(timeoutMs) && socket.readAll().startsWith("ok");
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_serverName)) {
        // Left behind by a program that ended without cleaning up: nobody answered on it.
        QLocalServer::removeServer(m_serverName);
        if (!m_server->listen(m_serverName))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->bytesAvailable() > maxMessageBytes) {
                    socket->abort();
                    return;
                }
                // The three lines arrive together in practice; wait for all of them.
                if (socket->peek(maxMessageBytes).count('\n') < 3)
                    return;
                const LaunchRequest request = LaunchRequest::fromMessage(socket->readAll());
                socket->write("ok\n");
                socket->flush();
                emit requestReceived(request);
            });
        }
    });
    return true;
}
