#include "core/answerreaders.h"
#include "core/apiconfig.h"
#include "core/http/httpclient.h"
#include "core/requesturls.h"
#include "core/xml/xmlanswer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define SERVICE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SERVICE_UNDER_ASAN 1
#endif
#endif
#ifndef SERVICE_UNDER_ASAN
#define SERVICE_UNDER_ASAN 0
#endif

// The local dictionary service program under many clients at once and under requests no
// client of ours would send: every good request is answered, every bad one refused with
// a 4xx, and the service neither grows nor stops answering.
class TestServiceAbuse : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void manyClientsAllAnsweredMemoryFlat();
    void malformedRequests_data();
    void malformedRequests();
    void simultaneousConnectsAllQueued();
    void idleAndSlowClientsDoNotHoldOthers();
    void sigtermEndsWithConnectionsOpen();

private:
    // Fields of /proc/PID/status of the service, in kB or as counted.
    qint64 serviceStatus(const char* field) const;
    QString url(const QString& pathAndQuery) const { return m_base + pathAndQuery; }

    QProcess m_service;
    QString m_base;
    int m_port = -1;
};

namespace {

// A connected loopback socket (blocking, with the given send and receive timeouts), or -1.
int connectTo(int port, int timeoutSeconds = 10)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    timeval timeout{timeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(quint16(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One raw exchange: the bytes sent, the status line's code (0 when nothing came back, -1 when
// no connection was made).
int rawExchange(int port, const QByteArray& request)
{
    const int fd = connectTo(port, 15);
    if (fd < 0)
        return -1;
    qsizetype sent = 0;
    while (sent < request.size()) {
        const ssize_t n = ::send(fd, request.constData() + sent, size_t(request.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            break; // the service may hang up before reading it all
        sent += n;
    }
    QByteArray reply;
    char buffer[4096];
    while (!reply.contains("\r\n")) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        reply.append(buffer, qsizetype(n));
    }
    ::close(fd);
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^HTTP/1\\.[01] (\\d{3}) ")).match(QString::fromLatin1(reply));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

bool sendAll(int fd, const QByteArray& bytes)
{
    return ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
}

// Reads one answer (headers and a Content-Length body); its status, or 0.
int readAnswer(int fd)
{
    QByteArray reply;
    char buffer[4096];
    qsizetype headerEnd = -1;
    qsizetype length = -1;
    for (;;) {
        if (headerEnd < 0 && (headerEnd = reply.indexOf("\r\n\r\n")) >= 0) {
            const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\r\nContent-Length: (\\d+)"),
                                                                 QRegularExpression::CaseInsensitiveOption)
                                                  .match(QString::fromLatin1(reply.left(headerEnd + 2)));
            length = m.hasMatch() ? m.captured(1).toLongLong() : 0;
        }
        if (headerEnd >= 0 && reply.size() >= headerEnd + 4 + length)
            break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return 0;
        reply.append(buffer, qsizetype(n));
    }
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^HTTP/1\\.[01] (\\d{3}) ")).match(QString::fromLatin1(reply));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// Whether the other end has neither closed the connection nor reset it.
bool stillOpen(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 0;
}

// Connections that hold a service's workers the way idle and slow clients do: the idle ones
// never sent anything or (every other one, with requestFirst) made a request and keep the
// connection; the slow ones send a request's header one byte at a time, a byte every 100 ms, until stopped.
class HeldConnections
{
public:
    HeldConnections(int port, int idle, int slow, bool requestFirst = true)
    {
        const QByteArray request = "GET /1.0/messages?language=sl&version=2.0&lastMessageId=0 HTTP/1.1\r\n"
                                   "Host: 127.0.0.1\r\n\r\n";
        for (int i = 0; i < idle; ++i) {
            const int fd = connectTo(port);
            if (fd < 0)
                continue;
            if (requestFirst && i % 2 == 0 && (!sendAll(fd, request) || readAnswer(fd) != 200)) {
                ::close(fd);
                continue;
            }
            m_idle.push_back(fd);
        }
        for (int i = 0; i < slow; ++i) {
            const int fd = connectTo(port);
            if (fd >= 0 && sendAll(fd, "GET /1.0/dictionary/list HTTP/1.1\r\nX-Slow: "))
                m_slow.push_back(fd);
            else if (fd >= 0)
                ::close(fd);
        }
        m_sender = std::thread([this] {
            std::unique_lock lock(m_mutex);
            while (!m_wake.wait_for(lock, std::chrono::milliseconds(100), [this] { return m_stop; }))
                for (const int fd : m_slow)
                    ::send(fd, "a", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        });
    }
    ~HeldConnections()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_sender.join();
        for (const int fd : m_idle)
            ::close(fd);
        for (const int fd : m_slow)
            ::close(fd);
    }
    int idleCount() const { return int(m_idle.size()); }
    int slowCount() const { return int(m_slow.size()); }
    int idleOpen() const { return int(std::count_if(m_idle.begin(), m_idle.end(), stillOpen)); }
    int slowOpen() const { return int(std::count_if(m_slow.begin(), m_slow.end(), stillOpen)); }

private:
    std::vector<int> m_idle;
    std::vector<int> m_slow;
    std::thread m_sender;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};

} // namespace

void TestServiceAbuse::initTestCase()
{
    // The HTTP library listens with a backlog of 5: connections beyond it wait for the
    // kernel to retry them (1 s, then 3 s), which a loaded machine can turn into seconds.
    qputenv("VERBOLIX_CONNECT_TIMEOUT_MS", "10000");
    qputenv("VERBOLIX_REQUEST_TIMEOUT_MS", "15000");
    const QString program = qEnvironmentVariable("VERBOLIX_SERVICE");
    if (!QFile::exists(program))
        QSKIP("the service program is not built");

    // Under AddressSanitizer freed memory is held back for a while; keep that small so that
    // what is measured is the service's own memory.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) +
                                                   QStringLiteral(":quarantine_size_mb=1:"
                                                                  "thread_local_quarantine_size_kb=64"));
    m_service.setProcessEnvironment(env);
    m_service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_service.start(program,
                    {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-discovery")});
    QVERIFY(m_service.waitForStarted(10000));
    QByteArray line;
    while (!line.contains('\n') && m_service.waitForReadyRead(30000))
        line += m_service.readAllStandardOutput();
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^listening on (http://127\\.0\\.0\\.1:(\\d+))\n"))
            .match(QString::fromUtf8(line));
    QVERIFY2(m.hasMatch(), line.constData());
    m_base = m.captured(1);
    m_port = m.captured(2).toInt();
}

void TestServiceAbuse::cleanupTestCase()
{
    if (m_service.state() == QProcess::NotRunning)
        return;
    // After all that the service still ends cleanly on SIGTERM (and, under the sanitizers,
    // without a leak or any other report, which would make the exit code non-zero).
    m_service.terminate();
    const bool ended = m_service.waitForFinished(20000);
    if (!ended)
        m_service.kill();
    QVERIFY2(ended, "the service did not end on SIGTERM");
    QCOMPARE(m_service.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_service.exitCode(), 0);
}

qint64 TestServiceAbuse::serviceStatus(const char* field) const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(m_service.processId()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

void TestServiceAbuse::manyClientsAllAnsweredMemoryFlat()
{
    // Entries to fetch, from the service's own list.
    QList<CZadetek> hits;
    QVERIFY(readSearchAnswer(HttpClient::fetchBody(searchUrl(m_base, QStringLiteral("*"), {}, 0)), hits) > 0);
    QVERIFY(!hits.isEmpty());

    // As many clients as the service has workers, each opening a connection per request.
    constexpr int clients = 8;
    std::atomic<int> answered{0};
    std::atomic<int> failed{0};
    std::atomic<bool> stop{false};
    QStringList failures; // the first few, for the message
    std::mutex failuresMutex;
    const QStringList queries{QStringLiteral("*"),         QStringLiteral("m*"),
                              QStringLiteral("a"),         QStringLiteral("ra\u010Dun*"),
                              QStringLiteral("\u017Eaba"), QStringLiteral("?o*")};

    auto client = [&](int n) {
        for (int i = 0; !stop; ++i) {
            const QString& q = queries.at((n + i) % queries.size());
            const CZadetek& hit = hits.at((n * 7 + i) % hits.size());
            QString target;
            switch (i % 6) {
            case 0:
                target = searchUrl(m_base, q, {}, (i * 37) % 400);
                break;
            case 1:
                target = entriesAfterUrl(m_base, q, {}, hit.order);
                break;
            case 2:
                target = entryIndexUrl(m_base, q, q, {});
                break;
            case 3:
                target = getEntryUrl(m_base, hit.dictionaryId, hit.entryId);
                break;
            case 4:
                target = dictionaryListUrl(m_base);
                break;
            default:
                target = m_base + QStringLiteral("/1.0/messages?language=sl&version=2.0&lastMessageId=0");
                break;
            }
            HttpRequest request;
            request.url = target;
            const HttpResult result = HttpClient::get(request);
            if (result.ok() && !XmlAnswer::fromBytes(result.body).isEmpty()) {
                ++answered;
                continue;
            }
            ++failed;
            std::lock_guard lock(failuresMutex);
            if (failures.size() < 5)
                failures << target + QStringLiteral(": ") + result.error;
        }
    };
    auto runFor = [&](std::chrono::milliseconds duration) {
        stop = false;
        std::vector<std::thread> threads;
        for (int n = 0; n < clients; ++n)
            threads.emplace_back(client, n);
        std::this_thread::sleep_for(duration);
        stop = true;
        for (std::thread& t : threads)
            t.join();
    };

    // Warm up (thread pool, allocator arenas, caches), then measure across a longer run.
    runFor(std::chrono::milliseconds(1500));
    const qint64 rssBefore = serviceStatus("VmRSS:");
    const qint64 threadsBefore = serviceStatus("Threads:");
    const int answeredBefore = answered;
    runFor(std::chrono::milliseconds(4000));
    const qint64 rssAfter = serviceStatus("VmRSS:");
    const qint64 threadsAfter = serviceStatus("Threads:");

    QVERIFY2(failed == 0,
             qPrintable(QStringLiteral("%1 of %2 failed: ").arg(int(failed)).arg(answered + failed) +
                        failures.join(QStringLiteral("; "))));
    QVERIFY2(answered - answeredBefore > clients, qPrintable(QString::number(answered - answeredBefore)));
    QVERIFY(rssBefore > 0 && rssAfter > 0);
#if SERVICE_UNDER_ASAN
    // Shadow memory, per-thread caches and fake stacks make RSS no measure of the service's
    // own memory there; LeakSanitizer checks it instead when the service ends (cleanup).
    qInfo("service memory %lld kB -> %lld kB (not checked under AddressSanitizer)", rssBefore, rssAfter);
#else
    QVERIFY2(rssAfter - rssBefore < 16 * 1024,
             qPrintable(QStringLiteral("service memory went from %1 kB to %2 kB over %3 requests")
                            .arg(rssBefore)
                            .arg(rssAfter)
                            .arg(answered - answeredBefore)));
#endif
    QVERIFY2(threadsAfter <= threadsBefore,
             qPrintable(QStringLiteral("%1 -> %2").arg(threadsBefore).arg(threadsAfter)));
}

void TestServiceAbuse::malformedRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QList<int>>("statuses");

    const QByteArray k = "licenceKey=" + LicenceKey().toLatin1();
    auto get = [](const QByteArray& target) -> QByteArray {
        return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    };
    const QList<int> bad{400};
    QTest::newRow("bad escape %zz") << get("/1.0/search?" + k + "&query=%zz&start=0") << bad;
    QTest::newRow("escape cut short at the end") << get("/1.0/search?" + k + "&query=ab%2&start=0") << bad;
    QTest::newRow("lone percent") << get("/1.0/search?" + k + "&query=%&start=0") << bad;
    QTest::newRow("escape in the key")
        << get("/1.0/search?licence%zzKey=x&query=a&start=0") << QList<int>{400, 403};
    QTest::newRow("missing start key") << get("/1.0/search?" + k + "&query=a") << bad;
    QTest::newRow("missing every key") << get("/1.0/search/get-entry") << QList<int>{400, 403};
    QTest::newRow("keys without values") << get("/1.0/search?" + k + "&query&start&rows") << bad;
    QTest::newRow("URL of 64 KiB") << get("/1.0/search?" + k + "&query=" + QByteArray(64 * 1024, 'a') +
                                          "&start=0")
                                   << QList<int>{400, 414};
    QTest::newRow("URL of 1 MiB") << get("/1.0/search?" + k + "&query=" + QByteArray(1 << 20, 'a') +
                                         "&start=0")
                                  << QList<int>{400, 414};
    QTest::newRow("2000 headers") << QByteArray("GET /1.0/dictionary/list?" + k + " HTTP/1.1\r\n" +
                                                QByteArray("X-A: b\r\n").repeated(2000) + "\r\n")
                                  << QList<int>{200, 400, 431};
    QTest::newRow("header line of 64 KiB")
        << QByteArray("GET /1.0/dictionary/list?" + k + " HTTP/1.1\r\nX-A: " + QByteArray(64 * 1024, 'b') +
                      "\r\n\r\n")
        << QList<int>{400, 431};
    QTest::newRow("no HTTP version") << QByteArray("GET /1.0/dictionary/list\r\n\r\n") << bad;
    QTest::newRow("not HTTP at all") << QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 15)
                                     << bad;
    QTest::newRow("NUL in the request line")
        << get(QByteArray("/1.0/search?q\0=1", 16)) << QList<int>{400, 403};
    QTest::newRow("body larger than allowed")
        << QByteArray("POST /1.0/search HTTP/1.1\r\nContent-Length: 10000000\r\n\r\n" +
                      QByteArray(100000, 'x'))
        << QList<int>{400, 404, 405, 413};
    QTest::newRow("negative content length")
        << QByteArray("GET /1.0/dictionary/list?" + k + " HTTP/1.1\r\nContent-Length: -5\r\n\r\n")
        << QList<int>{200, 400};
}

void TestServiceAbuse::malformedRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(QList<int>, statuses);
    const int status = rawExchange(m_port, request);
    QVERIFY2(statuses.contains(status), qPrintable(QStringLiteral("status %1").arg(status)));

    // No harm done: the service is up and answers the next request.
    QCOMPARE(m_service.state(), QProcess::Running);
    const HttpResult after = HttpClient::get(HttpRequest{dictionaryListUrl(m_base)});
    QVERIFY2(after.ok(), qPrintable(after.error));
}

void TestServiceAbuse::simultaneousConnectsAllQueued()
{
    // The client opens many connections at once. With the service stopped, the kernel
    // completes only as many handshakes as the listen queue holds and drops the other SYNs,
    // which the connecting side retries only after a second: with the library's queue of 5,
    // 6 of these 64 would connect.
    constexpr int connections = 64;
    const pid_t pid = pid_t(m_service.processId());
    QCOMPARE(::kill(pid, SIGSTOP), 0);
    auto resume = qScopeGuard([pid] { ::kill(pid, SIGCONT); });
    std::vector<int> fds;
    auto closeAll = qScopeGuard([&fds] {
        for (const int fd : fds)
            ::close(fd);
    });
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(quint16(m_port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < connections; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        QVERIFY(fd >= 0);
        fds.push_back(fd);
        const int result = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        QVERIFY(result == 0 || errno == EINPROGRESS);
    }
    // Wait (bounded, well past a SYN retry) until each is connected or has failed.
    int connected = 0;
    for (int fd : fds) {
        pollfd p{fd, POLLOUT, 0};
        int error = -1;
        socklen_t length = sizeof error;
        if (::poll(&p, 1, 3000) == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
            error == 0)
            ++connected;
    }
    resume.dismiss();
    ::kill(pid, SIGCONT);
    QCOMPARE(connected, connections);
    // And each of them is served once the service runs again.
    closeAll.dismiss();
    for (const int fd : fds)
        ::close(fd);
    const HttpResult after = HttpClient::get(HttpRequest{dictionaryListUrl(m_base)});
    QVERIFY2(after.ok(), qPrintable(after.error));
}

void TestServiceAbuse::idleAndSlowClientsDoNotHoldOthers()
{
    // The service once served a connection on one of 32 workers for as long as it stayed
    // open: 200 idle keep-alive connections made a request wait 20-30 s, and clients sending a
    // header a byte at a time held every worker for as long as they kept sending.
    HeldConnections held(m_port, 200, 40);
    QCOMPARE(held.idleCount(), 200);
    QCOMPARE(held.slowCount(), 40);

    const QList<QString> targets{dictionaryListUrl(m_base), searchUrl(m_base, QStringLiteral("m*"), {}, 0),
                                 m_base +
                                     QStringLiteral("/1.0/messages?language=sl&version=2.0&lastMessageId=0")};
    for (int i = 0; i < 9; ++i) {
        HttpRequest request;
        request.url = targets.at(i % targets.size());
        // Far above a normal answer, far below the old stall.
        request.totalTimeoutMs = 4000;
        const HttpResult result = HttpClient::get(request);
        QVERIFY2(result.ok(), qPrintable(request.url + QStringLiteral(": ") + result.error));
    }
    // The others were still there while those were answered (else this proved nothing).
    QVERIFY2(held.idleOpen() > 150, qPrintable(QString::number(held.idleOpen())));
    QVERIFY2(held.slowOpen() > 30, qPrintable(QString::number(held.slowOpen())));
}

void TestServiceAbuse::sigtermEndsWithConnectionsOpen()
{
    // It once took SIGTERM 41 s to end the service while slow clients kept it busy. Now idle
    // and half-received connections are ended at once, and an answer under way still goes out.
    QProcess service;
    service.setProcessEnvironment(m_service.processEnvironment());
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(qEnvironmentVariable("VERBOLIX_SERVICE"),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--stats"),
                   QStringLiteral("--latency-ms"), QStringLiteral("300")});
    QVERIFY(service.waitForStarted(10000));
    auto kill = qScopeGuard([&service] {
        service.kill();
        service.waitForFinished(10000);
    });
    QByteArray line;
    while (!line.contains('\n') && service.waitForReadyRead(30000))
        line += service.readAllStandardOutput();
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^listening on http://127\\.0\\.0\\.1:(\\d+)\n"))
            .match(QString::fromUtf8(line));
    QVERIFY2(m.hasMatch(), line.constData());
    const int port = m.captured(1).toInt();

    HeldConnections held(port, 60, 20, false);
    QCOMPARE(held.slowCount(), 20);
    const QString stats = QStringLiteral("http://127.0.0.1:%1/stats").arg(port);
    const auto requestsSoFar = [&stats] {
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^requests (\\d+)\n"))
                                              .match(QString::fromLatin1(HttpClient::fetchBody(stats)));
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    const int before = requestsSoFar();
    QVERIFY(before >= 0);
    const int inFlight = connectTo(port);
    QVERIFY(inFlight >= 0);
    auto closeInFlight = qScopeGuard([inFlight] { ::close(inFlight); });
    QVERIFY(sendAll(inFlight, "GET /1.0/messages?language=sl&version=2.0&lastMessageId=0 HTTP/1.1\r\n"
                              "Host: 127.0.0.1\r\n\r\n"));
    // Wait until the service has the request (it counts it before the added latency).
    QTRY_COMPARE_WITH_TIMEOUT(requestsSoFar(), before + 1, 10000);

    QElapsedTimer timer;
    timer.start();
    service.terminate();
    QCOMPARE(readAnswer(inFlight), 200);
    const bool ended = service.waitForFinished(10000);
    qInfo("SIGTERM to exit with %d idle and %d slow connections open: %lld ms", held.idleCount(),
          held.slowCount(), timer.elapsed());
    QVERIFY2(ended, "the service did not end on SIGTERM");
    kill.dismiss();
    QCOMPARE(service.exitStatus(), QProcess::NormalExit);
    QCOMPARE(service.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestServiceAbuse)
#include "tst_serviceabuse.moc"
