#include "tests/support/scriptedserver.h"

#include "service/countingtaskqueue.h"
#include "service/listeningserver.h"
#include "service/identitycontent.h"

#include <QMap>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <httplib.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

namespace {

// A stuck client must never keep a test process alive for ever.
constexpr int maxHangMs = 60000;
// A runaway answer stops on its own after this much, whatever the client does.
constexpr qint64 maxRunawayBytes = qint64(1) << 30;

std::string toStd(const QByteArray& bytes)
{
    return std::string(bytes.constData(), size_t(bytes.size()));
}

} // namespace

ScriptedReply ScriptedReply::ok(const QByteArray& body, const QByteArray& contentType)
{
    ScriptedReply r;
    r.body = body;
    r.contentType = contentType;
    return r;
}

ScriptedReply ScriptedReply::error(int status, const QByteArray& body, const QByteArray& contentType)
{
    ScriptedReply r = ok(body, contentType);
    r.status = status;
    return r;
}

ScriptedReply ScriptedReply::neverAnswer()
{
    ScriptedReply r;
    r.kind = Kind::NeverAnswer;
    return r;
}

ScriptedReply ScriptedReply::lyingLength(const QByteArray& body, qint64 claimedLength,
                                         const QByteArray& contentType)
{
    ScriptedReply r = ok(body, contentType);
    r.kind = Kind::LyingLength;
    r.claimedLength = claimedLength;
    return r;
}

ScriptedReply ScriptedReply::chunkedRunaway(const QByteArray& chunk, const QByteArray& contentType)
{
    ScriptedReply r = ok(chunk.isEmpty() ? QByteArray("x") : chunk, contentType);
    r.kind = Kind::ChunkedRunaway;
    return r;
}

ScriptedReply ScriptedReply::trickle(const QByteArray& body, int bytesPerStep, int stepMs,
                                     const QByteArray& contentType)
{
    ScriptedReply r = ok(body, contentType);
    r.kind = Kind::Trickle;
    r.trickleBytes = qMax(1, bytesPerStep);
    r.trickleMs = qMax(0, stepMs);
    return r;
}

ScriptedReply ScriptedReply::redirect(const QByteArray& location, int status)
{
    ScriptedReply r = ok(QByteArray(), "text/plain");
    r.status = status;
    r.headers.append({QByteArrayLiteral("Location"), location});
    return r;
}

ScriptedReply ScriptedReply::gzipped(const QByteArray& body, const QByteArray& contentType)
{
    ScriptedReply r = ok(QByteArray(), contentType);
    r.headers.append({QByteArrayLiteral("Content-Encoding"), QByteArrayLiteral("gzip")});
    z_stream stream{};
    // 15 + 16: a gzip header and trailer rather than zlib's.
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return r;
    r.body.resize(qsizetype(deflateBound(&stream, uLong(body.size()))));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.constData()));
    stream.avail_in = uInt(body.size());
    stream.next_out = reinterpret_cast<Bytef*>(r.body.data());
    stream.avail_out = uInt(r.body.size());
    deflate(&stream, Z_FINISH);
    r.body.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return r;
}

struct ScriptedServer::Impl
{
    std::atomic<int> connections{0};
    ListeningServer server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    std::condition_variable stopCv;
    bool stopping = false;
    QStringList requests;
    QMap<QString, Handler> handlers;
    int delayMs = 0;

    // Sleeps up to ms; false when the server is stopping meanwhile.
    bool pause(int ms)
    {
        std::unique_lock lock(mutex);
        return !stopCv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping; });
    }

    bool isStopping() const
    {
        std::lock_guard lock(mutex);
        return stopping;
    }

    void handle(const httplib::Request& req, httplib::Response& res);
};

void ScriptedServer::Impl::handle(const httplib::Request& req, httplib::Response& res)
{
    // Latin-1 keeps every received byte as one character, so the record is byte-exact.
    const QString target = QString::fromLatin1(req.target.data(), qsizetype(req.target.size()));
    const qsizetype q = target.indexOf(QLatin1Char('?'));
    const QString path = q < 0 ? target : target.left(q);

    Handler handler;
    int delay = 0;
    {
        std::lock_guard lock(mutex);
        requests.append(target);
        handler = handlers.value(path);
        delay = delayMs;
    }
    if (delay > 0 && !pause(delay))
        return;
    if (!handler) {
        res.status = 404;
        setIdentityContent(res, "not found", "text/plain");
        return;
    }

    const ScriptedReply reply = handler(target);
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers)
        res.set_header(toStd(name), toStd(value));
    const std::string contentType = toStd(reply.contentType);
    const auto body = std::make_shared<std::string>(toStd(reply.body));

    switch (reply.kind) {
    case ScriptedReply::Kind::Normal:
        // As the service does; a gzipped reply's body is compressed already.
        setIdentityContent(res, *body, contentType);
        break;
    case ScriptedReply::Kind::NeverAnswer:
        pause(maxHangMs);
        res.status = 503;
        setIdentityContent(res, "gave up waiting", "text/plain");
        break;
    case ScriptedReply::Kind::LyingLength:
        res.set_content_provider(size_t(qMax<qint64>(reply.claimedLength, 0)), contentType,
                                 [body](size_t offset, size_t length, httplib::DataSink& sink) {
                                     // Send what there is, then hang up short of the claim.
                                     if (offset >= body->size())
                                         return false;
                                     const size_t n = std::min(length, body->size() - offset);
                                     return sink.write(body->data() + offset, n);
                                 });
        break;
    case ScriptedReply::Kind::ChunkedRunaway: {
        // The library's own chunked answers are compressed for a client that accepts it, so
        // slowly that the client gives up on time before the size cap; framed here instead.
        res.set_header("Transfer-Encoding", "chunked");
        const auto chunk = std::make_shared<std::string>(toStd(QByteArray::number(body->size(), 16)) +
                                                         "\r\n" + *body + "\r\n");
        res.set_content_provider(contentType, [this, chunk](size_t offset, httplib::DataSink& sink) {
            if (qint64(offset) > maxRunawayBytes || isStopping())
                return false;
            return sink.write(chunk->data(), chunk->size());
        });
        break;
    }
    case ScriptedReply::Kind::Trickle: {
        const size_t step = size_t(reply.trickleBytes);
        const int stepMs = reply.trickleMs;
        res.set_content_provider(
            body->size(), contentType,
            [this, body, step, stepMs](size_t offset, size_t length, httplib::DataSink& sink) {
                if (offset > 0 && !pause(stepMs))
                    return false;
                const size_t n = std::min({step, length, body->size() - offset});
                return sink.write(body->data() + offset, n);
            });
        break;
    }
    }
}

ScriptedServer::ScriptedServer(int port, IdleConnections idle) : d(std::make_unique<Impl>())
{
    // Hanging answers each hold a worker; leave room for a few of them.
    d->server.new_task_queue = [this] { return new CountingTaskQueue<int>(24, d->connections); };
    // Clients that keep their connection open may send many requests over it. Stopping waits
    // for the threads that hold such connections while they sit idle: 0 closes them after the
    // library's first 10 ms poll finds nothing.
    d->server.set_keep_alive_max_count(1000);
    d->server.set_keep_alive_timeout(idle == IdleConnections::KeepASecond ? 1 : 0);
    d->server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) { d->handle(req, res); });
    d->port = std::max(d->server.bindTo("127.0.0.1", port), 0);
    if (d->port > 0) {
        d->thread = std::thread([this] { d->server.listen_after_bind(); });
        // The socket already listens; wait only so that stop() never races the start.
        for (int i = 0; i < 5000 && !d->server.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

ScriptedServer::~ScriptedServer()
{
    stop();
}

void ScriptedServer::stop()
{
    {
        std::lock_guard lock(d->mutex);
        d->stopping = true;
    }
    d->stopCv.notify_all();
    if (d->thread.joinable()) {
        d->server.stop();
        d->thread.join();
    }
}

int ScriptedServer::connectionCount() const
{
    return d->connections.load();
}

QString ScriptedServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(d->port);
}

int ScriptedServer::port() const
{
    return d->port;
}

void ScriptedServer::setAnswer(const QString& path, const QByteArray& body, int status,
                               const QByteArray& contentType)
{
    ScriptedReply reply = ScriptedReply::ok(body, contentType);
    reply.status = status;
    setReply(path, reply);
}

void ScriptedServer::setReply(const QString& path, const ScriptedReply& reply)
{
    setHandler(path, [reply](const QString&) { return reply; });
}

void ScriptedServer::setHandler(const QString& path, Handler handler)
{
    std::lock_guard lock(d->mutex);
    d->handlers.insert(path, std::move(handler));
}

void ScriptedServer::removeAnswer(const QString& path)
{
    std::lock_guard lock(d->mutex);
    d->handlers.remove(path);
}

void ScriptedServer::setDelayMs(int ms)
{
    std::lock_guard lock(d->mutex);
    d->delayMs = ms;
}

QStringList ScriptedServer::requests() const
{
    std::lock_guard lock(d->mutex);
    return d->requests;
}

QStringList ScriptedServer::requests(const QString& path) const
{
    QStringList matching;
    for (const QString& target : requests()) {
        if (target == path || target.startsWith(path + QLatin1Char('?')))
            matching.append(target);
    }
    return matching;
}

void ScriptedServer::clearRequests()
{
    std::lock_guard lock(d->mutex);
    d->requests.clear();
}

QString ScriptedServer::unusedBaseUrl()
{
    int port = 1;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd >= 0) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port = ntohs(addr.sin_port);
        ::close(fd);
    }
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}
