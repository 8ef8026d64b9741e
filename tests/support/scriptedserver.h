#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// One scripted answer. The plain case is a status, a body and a content type; the
// fault kinds let a test play a service that misbehaves on the wire.
struct ScriptedReply
{
    enum class Kind
    {
        Normal,         // status, headers and body as given, never compressed by the server
        NeverAnswer,    // accepts the request and sends nothing until the server stops
        LyingLength,    // claims Content-Length claimedLength, sends body, then hangs up
        ChunkedRunaway, // chunked answer that repeats body until the client gives up
        Trickle,        // sends body in pieces of trickleBytes, trickleMs apart
    };

    QByteArray body;
    int status = 200;
    QByteArray contentType = "text/xml; charset=utf-8";
    QList<QPair<QByteArray, QByteArray>> headers; // extra headers, e.g. Location
    Kind kind = Kind::Normal;
    qint64 claimedLength = -1;
    int trickleBytes = 1;
    int trickleMs = 100;

    static ScriptedReply ok(const QByteArray& body,
                            const QByteArray& contentType = "text/xml; charset=utf-8");
    static ScriptedReply error(int status, const QByteArray& body,
                               const QByteArray& contentType = "text/html; charset=utf-8");
    static ScriptedReply neverAnswer();
    static ScriptedReply lyingLength(const QByteArray& body, qint64 claimedLength,
                                     const QByteArray& contentType = "image/png");
    static ScriptedReply chunkedRunaway(const QByteArray& chunk,
                                        const QByteArray& contentType = "text/xml; charset=utf-8");
    static ScriptedReply trickle(const QByteArray& body, int bytesPerStep, int stepMs,
                                 const QByteArray& contentType = "text/xml; charset=utf-8");
    static ScriptedReply redirect(const QByteArray& location, int status = 302);
    // body gzip-compressed on the wire, with Content-Encoding: gzip.
    static ScriptedReply gzipped(const QByteArray& body,
                                 const QByteArray& contentType = "text/xml; charset=utf-8");
};

// An in-process HTTP server on 127.0.0.1 with a free port, for tests that need exact
// answers or faults. Answers are chosen by the path of the request (without query);
// unknown paths answer 404. Every request target is recorded byte-exact as received.
class ScriptedServer
{
public:
    using Handler = std::function<ScriptedReply(const QString& target)>;

    // How long a connection the client keeps open may sit idle before the server closes it.
    // Stopping waits for those connections, so tests that do not count reuse keep it short.
    enum class IdleConnections
    {
        CloseSoon,   // after about 10 ms
        KeepASecond, // for tests of connection reuse
    };

    // On a free port, or on the given one (a service that comes back where it was); port()
    // is 0 when that one cannot be had.
    explicit ScriptedServer(int port = 0, IdleConnections idle = IdleConnections::CloseSoon);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    // "http://127.0.0.1:PORT", no trailing slash.
    QString baseUrl() const;
    int port() const;

    void setAnswer(const QString& path, const QByteArray& body, int status = 200,
                   const QByteArray& contentType = "text/xml; charset=utf-8");
    void setReply(const QString& path, const ScriptedReply& reply);
    void setHandler(const QString& path, Handler handler);
    void removeAnswer(const QString& path);
    // Wait before every answer (the request is recorded at once).
    void setDelayMs(int ms);

    // Every request target "path?query" in arrival order.
    QStringList requests() const;
    // The recorded targets whose path (without query) equals path.
    QStringList requests(const QString& path) const;
    void clearRequests();
    // Connections accepted since the server started.
    int connectionCount() const;

    // Stops listening; later connections are refused. Also done by the destructor.
    void stop();

    // A base address on which nothing listens (a port just freed).
    static QString unusedBaseUrl();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
