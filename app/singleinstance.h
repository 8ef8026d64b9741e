#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

// What a start of the program asks for: just the window, a word to look up, or the word on
// the clipboard. A second start hands this to the window already running.
struct LaunchRequest
{
    enum class Kind
    {
        Raise,     // no word: bring the window forward
        LookUp,    // look `word` up
        Clipboard, // look up what the clipboard holds once the window has the focus
    };
    Kind kind = Kind::Raise;
    QString word;
    // The desktop's activation token of this start (Wayland's XDG_ACTIVATION_TOKEN, X11's
    // DESKTOP_STARTUP_ID), passed on so that the running window may take the focus.
    QString activationToken;

    // From the program's arguments (without the program name): words are joined by one
    // space; "--clipboard" asks for the clipboard. Unknown options are ignored.
    static LaunchRequest fromArguments(const QStringList& arguments);
    QByteArray toMessage() const;
    static LaunchRequest fromMessage(const QByteArray& message);
    bool operator==(const LaunchRequest&) const = default;
};
Q_DECLARE_METATYPE(LaunchRequest)

// One running window per user session and settings file: the first start listens on a
// local socket in the user's runtime folder, later starts hand their request to it and end.
// The socket's name comes from the display and the settings file, so that separate sessions
// (and tests with their own settings) each have their own window.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QString key = defaultKey(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Gives the request to a running instance; true when one took it.
    bool handOver(const LaunchRequest& request, int timeoutMs = 2000) const;
    // Becomes the instance later starts talk to; false when the socket cannot be made.
    bool listen();
    QString serverName() const { return m_serverName; }

    // The display and the settings file this process uses, as one name.
    static QString defaultKey();

signals:
    void requestReceived(const LaunchRequest& request);

private:
    QString m_serverName;
    QLocalServer* m_server = nullptr;
};
