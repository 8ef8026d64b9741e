#include "core/http/httpclient.h"
#include "tests/support/scriptedserver.h"
#include "service/countingtaskqueue.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <httplib.h>
#include <thread>

// Requests of one thread share open connections, also across batches, and every result
// of a batch lands at its request's place. https works with the certificate checked.
class TestConnections : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void requestsReuseOneConnection();
    void batchesReuseTheirConnections();
    void batchResultsInRequestOrder();
    void otherThreadHasItsOwnConnections();
    void httpsChecksTheCertificate();

private:
    std::unique_ptr<ScriptedServer> m_server;
};

namespace {

HttpRequest requestFor(const QString& url)
{
    HttpRequest request;
    request.url = url;
    return request;
}

} // namespace

void TestConnections::initTestCase()
{
    qputenv("VERBOLIX_CONNECT_TIMEOUT_MS", "500");
    qputenv("VERBOLIX_REQUEST_TIMEOUT_MS", "1500");
}

void TestConnections::init()
{
    m_server = std::make_unique<ScriptedServer>(0, ScriptedServer::IdleConnections::KeepASecond);
    m_server->setHandler(QStringLiteral("/page"), [](const QString& target) {
        return ScriptedReply::ok(target.toUtf8(), "text/plain");
    });
}

void TestConnections::requestsReuseOneConnection()
{
    for (int i = 0; i < 10; ++i) {
        const HttpResult result =
            HttpClient::get(requestFor(m_server->baseUrl() + QStringLiteral("/page?n=%1").arg(i)));
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.body, QStringLiteral("/page?n=%1").arg(i).toUtf8());
    }
    // An error status keeps the connection as well.
    QCOMPARE(HttpClient::get(requestFor(m_server->baseUrl() + QStringLiteral("/nothing"))).status, 404);
    QVERIFY(HttpClient::get(requestFor(m_server->baseUrl() + QStringLiteral("/page"))).ok());
    QCOMPARE(m_server->connectionCount(), 1);
}

void TestConnections::batchesReuseTheirConnections()
{
    m_server->setDelayMs(20); // keeps several transfers under way at once
    QList<HttpRequest> batch;
    for (int i = 0; i < 40; ++i)
        batch.append(requestFor(m_server->baseUrl() + QStringLiteral("/page?n=%1").arg(i)));
    for (const HttpResult& result : HttpClient::getMany(batch))
        QVERIFY2(result.ok(), qPrintable(result.error));
    const int afterFirst = m_server->connectionCount();
    QVERIFY(afterFirst >= 1);
    QVERIFY(afterFirst <= HttpClient::maxParallel);

    for (const HttpResult& result : HttpClient::getMany(batch))
        QVERIFY2(result.ok(), qPrintable(result.error));
    for (int i = 0; i < 5; ++i)
        QVERIFY(HttpClient::get(batch.at(i)).ok());
    QCOMPARE(m_server->connectionCount(), afterFirst);
}

void TestConnections::batchResultsInRequestOrder()
{
    m_server->setReply(QStringLiteral("/slow"), ScriptedReply::trickle("slow body", 3, 100, "text/plain"));
    m_server->setReply(QStringLiteral("/big"), ScriptedReply::ok(QByteArray(5000, 'x'), "text/plain"));
    m_server->setReply(QStringLiteral("/stall"), ScriptedReply::neverAnswer());
    const QString base = m_server->baseUrl();
    QList<HttpRequest> batch = {
        requestFor(base + QStringLiteral("/slow")),
        requestFor(base + QStringLiteral("/page?first")),
        requestFor(base + QStringLiteral("/missing")),
        requestFor(ScriptedServer::unusedBaseUrl() + QStringLiteral("/page")),
        requestFor(base + QStringLiteral("/big")),
        requestFor(base + QStringLiteral("/stall")),
        requestFor(QStringLiteral("ftp://127.0.0.1/page")),
    };
    batch[4].maxBytes = 1000;
    batch[5].totalTimeoutMs = 300;
    for (int i = 0; i < 12; ++i) // more than run at once, so that slots are refilled
        batch.append(requestFor(base + QStringLiteral("/page?n=%1").arg(i)));

    const QList<HttpResult> results = HttpClient::getMany(batch);
    QCOMPARE(results.size(), batch.size());
    QCOMPARE(results.at(0).body, QByteArray("slow body"));
    QCOMPARE(results.at(1).body, QByteArray("/page?first"));
    QCOMPARE(results.at(2).failure, HttpResult::Failure::HttpStatus);
    QCOMPARE(results.at(2).status, 404);
    QCOMPARE(results.at(3).failure, HttpResult::Failure::Network);
    QCOMPARE(results.at(4).failure, HttpResult::Failure::TooLarge);
    QCOMPARE(results.at(5).failure, HttpResult::Failure::Timeout);
    QCOMPARE(results.at(6).failure, HttpResult::Failure::Network);
    for (int i = 0; i < 12; ++i)
        QCOMPARE(results.at(7 + i).body, QStringLiteral("/page?n=%1").arg(i).toUtf8());
    QVERIFY(HttpClient::getMany({}).isEmpty());
}

void TestConnections::otherThreadHasItsOwnConnections()
{
    QVERIFY(HttpClient::get(requestFor(m_server->baseUrl() + QStringLiteral("/page"))).ok());
    std::atomic<bool> ok{false};
    std::thread other([&] {
        ok = HttpClient::get(requestFor(m_server->baseUrl() + QStringLiteral("/page"))).ok() &&
             HttpClient::get(requestFor(m_server->baseUrl() + QStringLiteral("/page"))).ok();
    });
    other.join();
    QVERIFY(ok);
    QVERIFY(HttpClient::get(requestFor(m_server->baseUrl() + QStringLiteral("/page"))).ok());
    QCOMPARE(m_server->connectionCount(), 2);
}

void TestConnections::httpsChecksTheCertificate()
{
    QTemporaryDir dir;
    const QString cert = dir.filePath(QStringLiteral("cert.pem"));
    const QString key = dir.filePath(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                   QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        QSKIP("openssl could not make a certificate");

    httplib::SSLServer server(cert.toLocal8Bit().constData(), key.toLocal8Bit().constData());
    QVERIFY(server.is_valid());
    std::atomic<int> connections{0};
    server.new_task_queue = [&connections] { return new CountingTaskQueue<int>(4, connections); };
    server.Get("/page", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("secure", "text/plain");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    QVERIFY(port > 0);
    std::thread thread([&] { server.listen_after_bind(); });
    const auto stop = qScopeGuard([&] {
        server.stop();
        thread.join();
    });
    const QString url = QStringLiteral("https://127.0.0.1:%1/page").arg(port);

    // A certificate no authority of the system vouches for is refused.
    qunsetenv("VERBOLIX_CA_BUNDLE");
    const HttpResult refused = HttpClient::get(requestFor(url));
    QCOMPARE(refused.failure, HttpResult::Failure::Network);
    QVERIFY(refused.body.isEmpty());

    // Trusted through a bundle of its own, it is read, and its connection reused.
    qputenv("VERBOLIX_CA_BUNDLE", cert.toLocal8Bit());
    const auto unset = qScopeGuard([] { qunsetenv("VERBOLIX_CA_BUNDLE"); });
    for (int i = 0; i < 3; ++i) {
        const HttpResult result = HttpClient::get(requestFor(url));
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.body, QByteArray("secure"));
    }
    QCOMPARE(connections.load(), 2);
}

QTEST_GUILESS_MAIN(TestConnections)
#include "tst_connections.moc"
