#include "httpclient.h"
#include "scriptedserver.h"

#include <QElapsedTimer>
#include <QTest>

// The HTTP layer: exact bytes on the wire and every way a service can fail.
class TestRequests : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void getDeliversBodyAndRecordsTargetExactly();
    void failures_data();
    void failures();

private:
    std::unique_ptr<ScriptedServer> m_server;
};

void TestRequests::initTestCase()
{
    // Short limits keep the stalled-service cases quick.
    qputenv("VERBOLIX_CONNECT_TIMEOUT_MS", "500");
    qputenv("VERBOLIX_REQUEST_TIMEOUT_MS", "800");
}

void TestRequests::init()
{
    m_server = std::make_unique<ScriptedServer>();
}

void TestRequests::getDeliversBodyAndRecordsTargetExactly()
{
    const QByteArray body("<a>\r\n  d\xc5\xafm \x01</a>");
    m_server->setAnswer(QStringLiteral("/1.0/search"), body);
    const QString target = QStringLiteral("/1.0/search?licenceKey=k&query=d%c5%afm%2a&start=0");

    HttpRequest request;
    request.url = m_server->baseUrl() + target;
    const HttpResult result = HttpClient::get(request);

    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.status, 200);
    QCOMPARE(result.body, body);
    QCOMPARE(result.contentType, QByteArray("text/xml; charset=utf-8"));
    QCOMPARE(m_server->requests(), QStringList{target});
    QCOMPARE(HttpClient::fetchBody(request.url), body);
}

void TestRequests::failures_data()
{
    QTest::addColumn<ScriptedReply>("reply");
    QTest::addColumn<bool>("serviceDown");
    QTest::addColumn<int>("failure");
    QTest::addColumn<int>("status");

    using F = HttpResult::Failure;
    const QByteArray html("<html><body><h1>Internal Server Error</h1></body></html>");
    const QByteArray fiveMiB(5 * 1024 * 1024, 'x');

    QTest::newRow("service down") << ScriptedReply() << true << int(F::Network) << 0;
    QTest::newRow("accepts and never answers")
        << ScriptedReply::neverAnswer() << false << int(F::Timeout) << 0;
    QTest::newRow("answers slower than the total timeout")
        << ScriptedReply::trickle("<total>1</total>", 1, 300) << false << int(F::Timeout) << 200;
    QTest::newRow("HTTP 500 with an HTML page")
        << ScriptedReply::error(500, html) << false << int(F::HttpStatus) << 500;
    QTest::newRow("HTTP 404") << ScriptedReply::error(404, "no") << false << int(F::HttpStatus) << 404;
    QTest::newRow("oversized answer with honest length")
        << ScriptedReply::ok(fiveMiB) << false << int(F::TooLarge) << 200;
    // A chunked answer carries no length: only the cap while reading stops it.
    QTest::newRow("chunked runaway answer")
        << ScriptedReply::chunkedRunaway(QByteArray(64 * 1024, '<')) << false << int(F::TooLarge) << 200;
    QTest::newRow("Content-Length longer than the body")
        << ScriptedReply::lyingLength("<total>5</total>", 4000) << false << int(F::Network) << 200;
    // Must be refused, never trusted as the size of a buffer.
    QTest::newRow("Content-Length of a terabyte")
        << ScriptedReply::lyingLength("<total>5</total>", qint64(1) << 40) << false << int(F::TooLarge)
        << 200;
    QTest::newRow("redirect to a file URL")
        << ScriptedReply::redirect("file:///etc/passwd") << false << int(F::Network) << 302;
    QTest::newRow("endless redirects") << ScriptedReply::redirect("/loop") << false << int(F::Network) << 302;
}

void TestRequests::failures()
{
    QFETCH(ScriptedReply, reply);
    QFETCH(bool, serviceDown);
    QFETCH(int, failure);
    QFETCH(int, status);

    m_server->setReply(QStringLiteral("/loop"), reply);
    HttpRequest request;
    request.url =
        (serviceDown ? ScriptedServer::unusedBaseUrl() : m_server->baseUrl()) + QStringLiteral("/loop");

    QElapsedTimer clock;
    clock.start();
    const HttpResult result = HttpClient::get(request);

    QCOMPARE(int(result.failure), failure);
    QVERIFY(!result.ok());
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(result.status, status);
    if (result.failure != HttpResult::Failure::HttpStatus)
        QVERIFY(result.body.isEmpty());
    // Bounded by the total timeout (800 ms), with room for a loaded machine.
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(TestRequests)
#include "tst_requests.moc"
