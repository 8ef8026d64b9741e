// The service's HTTP server with its connection limits made small: idle connections and
// requests that never finish arriving are cut off, a full pool makes room, and requests sent
// back to back on one connection are all answered.
#include "service/guardedserver.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTest>
#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A server answering "ok" to GET /ping on a free loopback port, for as long as it lives.
class Server
{
public:
    explicit Server(GuardedServer::Limits limits) : m_server(limits)
    {
        m_server.Get("/ping", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("ok", "text/plain");
        });
        m_port = m_server.bindTo("127.0.0.1", 0);
        if (m_port > 0)
            m_thread = std::thread([this] { m_server.listen_after_bind(); });
        for (int i = 0; i < 5000 && m_port > 0 && !m_server.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~Server()
    {
        if (m_thread.joinable()) {
            m_server.stopServing();
            m_thread.join();
        }
    }
    int port() const { return m_port; }
    uint64_t accepted() const { return m_server.connectionsAccepted(); }

private:
    GuardedServer m_server;
    std::thread m_thread;
    int m_port = -1;
};

class Socket
{
public:
    explicit Socket(int port) : m_fd(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(quint16(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool valid() const { return m_fd >= 0; }
    bool send(const QByteArray& bytes) const
    {
        return ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
    }
    // Whatever arrives until the server closes the connection or timeoutMs pass; closed says which.
    QByteArray receive(int timeoutMs, bool* closed = nullptr) const
    {
        QByteArray out;
        QElapsedTimer timer;
        timer.start();
        if (closed)
            *closed = false;
        for (;;) {
            const qint64 left = timeoutMs - timer.elapsed();
            pollfd p{m_fd, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, int(left)) <= 0)
                return out;
            char buffer[4096];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                if (closed)
                    *closed = true;
                return out;
            }
            out.append(buffer, qsizetype(n));
        }
    }

    // Until the text ends with marker (or the timeout).
    QByteArray receiveUntil(const QByteArray& marker, int timeoutMs) const
    {
        QByteArray out;
        QElapsedTimer timer;
        timer.start();
        while (!out.endsWith(marker) && timer.elapsed() < timeoutMs) {
            bool closed = false;
            out += receive(50, &closed);
            if (closed)
                break;
        }
        return out;
    }

private:
    int m_fd;
};

const QByteArray ping = "GET /ping HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

} // namespace

class ServiceConnectionsTest : public QObject
{
    Q_OBJECT

private slots:
    // The HTTP library times out each read, not the request: one byte a second kept a worker
    // for good. The request as a whole now has a deadline.
    void requestThatNeverEndsIsCutOff()
    {
        GuardedServer::Limits limits;
        limits.requestTimeout = std::chrono::milliseconds(300);
        Server server(limits);
        Socket slow(server.port());
        QVERIFY(slow.valid());
        QVERIFY(slow.send("GET /ping HTTP/1.1\r\nX-Slow: "));
        bool closed = false;
        // A byte every 50 ms, far more often than any per-read timeout, for at most 10 s.
        for (int i = 0; i < 200 && !closed; ++i) {
            slow.send("a");
            slow.receive(50, &closed);
        }
        QVERIFY2(closed, "the server kept a request that never ended");
    }

    void idleConnectionIsClosed()
    {
        GuardedServer::Limits limits;
        limits.idleTimeout = std::chrono::milliseconds(200);
        Server server(limits);
        Socket idle(server.port());
        QVERIFY(idle.send(ping));
        bool closed = false;
        const QByteArray answer = idle.receive(10000, &closed);
        QVERIFY2(answer.startsWith("HTTP/1.1 200"), answer.constData());
        QVERIFY(closed);
    }

    // With every worker taken by idle connections, a new client still gets its answer: the
    // connection idle longest makes room.
    void fullPoolClosesTheLongestIdle()
    {
        GuardedServer::Limits limits;
        limits.idleTimeout = std::chrono::seconds(60);
        limits.keptWorkers = 1;
        limits.maxWorkers = 3;
        Server server(limits);
        // Each has been answered once, so each is held by a worker waiting for its next request.
        Socket first(server.port());
        Socket second(server.port());
        Socket third(server.port());
        for (const Socket* held : {&first, &second, &third}) {
            QVERIFY(held->send(ping));
            QVERIFY(held->receiveUntil("ok", 10000).startsWith("HTTP/1.1 200"));
        }

        Socket client(server.port());
        QVERIFY(client.send(ping));
        const QByteArray answer = client.receiveUntil("ok", 10000);
        QVERIFY2(answer.startsWith("HTTP/1.1 200"), answer.constData());
        bool closed = false;
        first.receive(5000, &closed);
        QVERIFY(closed);
        second.receive(0, &closed);
        QVERIFY(!closed);
    }

    // Requests sent together in one write: the bytes of the second arrive with the first
    // and must not be lost between requests.
    void requestsSentTogetherAreAllAnswered()
    {
        Server server(GuardedServer::Limits{});
        Socket client(server.port());
        QVERIFY(client.send(ping + ping + ping));
        QByteArray answers;
        for (int i = 0; i < 100 && answers.count("HTTP/1.1 200") < 3; ++i)
            answers += client.receive(100);
        QCOMPARE(answers.count("HTTP/1.1 200"), 3);
    }

    // Stopping ends idle and half-received connections at once.
    void stopEndsHeldConnections()
    {
        GuardedServer::Limits limits;
        limits.idleTimeout = std::chrono::seconds(60);
        limits.requestTimeout = std::chrono::seconds(60);
        auto server = std::make_unique<Server>(limits);
        Socket idle(server->port());
        Socket half(server->port());
        QVERIFY(half.send("GET /ping HTTP/1.1\r\n"));
        QTRY_COMPARE(server->accepted(), uint64_t(2));
        QElapsedTimer timer;
        timer.start();
        server.reset(); // stops it and joins its thread while both connections are open
        qInfo("stopped with two held connections in %lld ms", timer.elapsed());
        QVERIFY(timer.elapsed() < 30000); // not the 60 s the connections would otherwise hold it
    }
};

QTEST_GUILESS_MAIN(ServiceConnectionsTest)
#include "tst_serviceconnections.moc"
