#include "core/capi.h"
#include "core/http/httpworker.h"
#include "tests/support/scriptedresults.h"
#include "tests/support/scriptedserver.h"

#include <QTest>
#include <QThread>
#include <algorithm>
#include <memory>
#include <optional>

Q_DECLARE_METATYPE(ScriptedReply)

// Requests sent from the worker thread: a stalled one holds no other, the answers come back
// as queued calls on the asking thread, and the asynchronous CApi sends exactly what the
// blocking one sends and ends with the same window and the same entries.
class TestAsyncRequests : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void stalledTransferHoldsNoOther();
    void answersComeAsQueuedCalls();
    void abandonedRequestStillReachesTheServer();
    void goneContextGetsNothing();
    void workerKeepsTheLimits_data();
    void workerKeepsTheLimits();
    void pagingSendsWhatBlockingPagingSends();
    void entriesAsBlockingEntries();
    void droppedRequestsLeaveTheDepthAtZero();

private:
    HttpRequest requestFor(const QString& path) const;

    std::unique_ptr<ScriptedServer> m_server;
};

void TestAsyncRequests::initTestCase()
{
    qputenv("VERBOLIX_CONNECT_TIMEOUT_MS", "500");
    qputenv("VERBOLIX_REQUEST_TIMEOUT_MS", "3000");
}

void TestAsyncRequests::init()
{
    m_server = std::make_unique<ScriptedServer>();
    m_server->setHandler(QStringLiteral("/page"), [](const QString& target) {
        return ScriptedReply::ok(target.toUtf8(), "text/plain");
    });
    m_server->setReply(QStringLiteral("/held"), ScriptedReply::neverAnswer());
}

HttpRequest TestAsyncRequests::requestFor(const QString& path) const
{
    HttpRequest request;
    request.url = m_server->baseUrl() + path;
    return request;
}

void TestAsyncRequests::stalledTransferHoldsNoOther()
{
    HttpWorker worker;
    QObject context;
    bool heldAnswered = false;
    QList<QByteArray> bodies;
    const quint64 held = worker.start(requestFor(QStringLiteral("/held")), &context,
                                      [&](const HttpResult&) { heldAnswered = true; });
    QTRY_COMPARE(m_server->requests(QStringLiteral("/held")).size(), 1);
    for (int i = 0; i < 3; ++i)
        worker.start(requestFor(QStringLiteral("/page?n=%1").arg(i)), &context,
                     [&](const HttpResult& result) { bodies << result.body; });
    QTRY_COMPARE(bodies.size(), 3);
    std::sort(bodies.begin(), bodies.end());
    QCOMPARE(bodies, QList<QByteArray>({"/page?n=0", "/page?n=1", "/page?n=2"}));
    // Cancelled, the stalled one never answers, not even with its timeout.
    worker.cancel(held);
    bool later = false;
    worker.start(requestFor(QStringLiteral("/page?n=later")), &context,
                 [&](const HttpResult&) { later = true; });
    QTRY_VERIFY(later);
    QVERIFY(!heldAnswered);
}

void TestAsyncRequests::answersComeAsQueuedCalls()
{
    HttpWorker worker;
    QObject context;
    QThread* thread = nullptr;
    HttpResult got;
    bool answered = false;
    worker.start(requestFor(QStringLiteral("/page?x=1")), &context, [&](const HttpResult& result) {
        thread = QThread::currentThread();
        got = result;
        answered = true;
    });
    QVERIFY(!answered); // never from inside start()
    QTRY_VERIFY(answered);
    QCOMPARE(thread, QThread::currentThread());
    QVERIFY(got.ok());
    QCOMPARE(got.body, QByteArray("/page?x=1"));
}

void TestAsyncRequests::abandonedRequestStillReachesTheServer()
{
    m_server->setDelayMs(200);
    HttpWorker worker;
    QObject context;
    bool abandonedAnswered = false;
    bool otherAnswered = false;
    const quint64 id = worker.start(requestFor(QStringLiteral("/page?n=old")), &context,
                                    [&](const HttpResult&) { abandonedAnswered = true; });
    worker.abandon(id);
    worker.start(requestFor(QStringLiteral("/page?n=new")), &context,
                 [&](const HttpResult&) { otherAnswered = true; });
    QTRY_VERIFY(otherAnswered);
    QTRY_VERIFY(m_server->requests().contains(QStringLiteral("/page?n=old")));
    // The later answer has come; the earlier one, sent first, came no later than it would.
    bool third = false;
    worker.start(requestFor(QStringLiteral("/page?n=third")), &context,
                 [&](const HttpResult&) { third = true; });
    QTRY_VERIFY(third);
    QVERIFY(!abandonedAnswered);
}

void TestAsyncRequests::goneContextGetsNothing()
{
    m_server->setDelayMs(100);
    HttpWorker worker;
    bool answered = false;
    auto context = std::make_unique<QObject>();
    worker.start(requestFor(QStringLiteral("/page?n=1")), context.get(),
                 [&](const HttpResult&) { answered = true; });
    context.reset();
    QObject other;
    bool otherAnswered = false;
    worker.start(requestFor(QStringLiteral("/page?n=2")), &other,
                 [&](const HttpResult&) { otherAnswered = true; });
    QTRY_VERIFY(otherAnswered);
    QTRY_COMPARE(m_server->requests().size(), 2);
    QVERIFY(!answered);
}

void TestAsyncRequests::workerKeepsTheLimits_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<ScriptedReply>("reply");
    QTest::addColumn<int>("failure");
    QTest::newRow("answer past the size cap")
        << QStringLiteral("/big") << ScriptedReply::ok(QByteArray(64 * 1024, 'x'), "text/plain")
        << int(HttpResult::Failure::TooLarge);
    QTest::newRow("no answer within the timeout")
        << QStringLiteral("/held") << ScriptedReply::neverAnswer() << int(HttpResult::Failure::Timeout);
    QTest::newRow("redirect to a file")
        << QStringLiteral("/away") << ScriptedReply::redirect("file:///etc/passwd")
        << int(HttpResult::Failure::Network);
    QTest::newRow("error status") << QStringLiteral("/fail") << ScriptedReply::error(503, "busy")
                                  << int(HttpResult::Failure::HttpStatus);
}

// The worker's transfers are set up as the blocking client's: same caps, timeouts, schemes.
void TestAsyncRequests::workerKeepsTheLimits()
{
    QFETCH(QString, path);
    QFETCH(ScriptedReply, reply);
    QFETCH(int, failure);
    m_server->setReply(path, reply);
    HttpRequest request = requestFor(path);
    request.maxBytes = 1024;
    request.totalTimeoutMs = 300;
    HttpWorker worker;
    QObject context;
    std::optional<HttpResult> got;
    worker.start(request, &context, [&](const HttpResult& result) { got = result; });
    QTRY_VERIFY(got.has_value());
    QCOMPARE(int(got->failure), failure);
    QVERIFY(got->failure == HttpResult::Failure::HttpStatus || got->body.isEmpty());
}

namespace {
// Runs the CApi's queued answers until done is true.
bool waitFor(const bool& done)
{
    return QTest::qWaitFor([&] { return done; }, 10000);
}
} // namespace

// Rows asked in an order that walks down, jumps, goes back before a restarted window and
// past the end: the asynchronous operations send the same requests in the same order and
// hold the same hits.
void TestAsyncRequests::pagingSendsWhatBlockingPagingSends()
{
    ScriptedResults(5000).install(*m_server);
    const QList<int> rows{0,    150,  199,  200,  399,  400, 900,  3000,
                          2999, 2950, 3199, 3200, 4999, 10,  2201, 2400};

    CApi blocking;
    blocking.m_baseUrl = m_server->baseUrl();
    QCOMPARE(blocking.NewSearch(QStringLiteral("a")), 5000);
    QStringList blockingHeadwords;
    for (const int row : rows)
        blockingHeadwords << blocking.GetHeadword(row, QStringLiteral("a"));
    const QStringList blockingTraffic = m_server->requests();
    m_server->clearRequests();

    CApi async;
    async.m_baseUrl = m_server->baseUrl();
    bool done = false;
    int total = -1;
    async.fetchNewSearch(QStringLiteral("a"), [&](int n, CApi::Outcome outcome) {
        total = n;
        QVERIFY(outcome && outcome->failure == HttpOutcome::Failure::None);
        done = true;
    });
    QVERIFY(waitFor(done));
    QCOMPARE(total, 5000);
    QStringList asyncHeadwords;
    for (const int row : rows) {
        if (!async.heldHit(row)) {
            done = false;
            QVERIFY(async.fetchPosition(row, QStringLiteral("a"), [&](CApi::Outcome) { done = true; }));
            // The depth guard: while the page is under way no second page request starts.
            QCOMPARE(async.m_requestDepth, 1);
            QVERIFY(!async.fetchPosition(row + 1000, QStringLiteral("a"), [](CApi::Outcome) {}));
            QVERIFY(waitFor(done));
        }
        const CZadetek* hit = async.heldHit(row);
        asyncHeadwords << (hit ? hit->headword : QString());
    }
    QCOMPARE(m_server->requests(), blockingTraffic);
    QCOMPARE(asyncHeadwords, blockingHeadwords);
    QCOMPARE(async.m_firstPosition, blocking.m_firstPosition);
    QCOMPARE(async.m_lastPosition, blocking.m_lastPosition);
    QCOMPARE(async.m_requestDepth, 0);
}

// The one-entry memo and the page fetched first for a hit not held, as GetEntryHtml.
void TestAsyncRequests::entriesAsBlockingEntries()
{
    ScriptedResults(5000).install(*m_server);
    m_server->setHandler(QStringLiteral("/1.0/search/get-entry"), [](const QString& target) {
        return ScriptedReply::ok("<entry><html_content>vnos " +
                                 ScriptedResults::parameter(target, QStringLiteral("entryId")).toUtf8() +
                                 "</html_content></entry>");
    });
    const QList<int> rows{5, 5, 3000, 3001, 5, 5};

    CApi blocking;
    blocking.m_baseUrl = m_server->baseUrl();
    blocking.NewSearch(QStringLiteral("a"));
    QStringList blockingHtml;
    for (const int row : rows)
        blockingHtml << blocking.GetEntryHtml(row, QStringLiteral("a"));
    const QStringList blockingTraffic = m_server->requests();
    m_server->clearRequests();

    CApi async;
    async.m_baseUrl = m_server->baseUrl();
    bool done = false;
    async.fetchNewSearch(QStringLiteral("a"), [&](int, CApi::Outcome) { done = true; });
    QVERIFY(waitFor(done));
    QStringList asyncHtml;
    for (const int row : rows) {
        done = false;
        async.fetchEntryHtml(row, QStringLiteral("a"), [&](QString html, CApi::Outcome) {
            asyncHtml << html;
            done = true;
        });
        QVERIFY(waitFor(done));
    }
    QCOMPARE(m_server->requests(), blockingTraffic);
    QCOMPARE(asyncHtml, blockingHtml);
    QCOMPARE(asyncHtml.at(2), QStringLiteral("vnos 8000"));
}

// A newer search drops what an older one awaits; the guard is free again at once, and the
// dropped answer changes nothing when it comes.
void TestAsyncRequests::droppedRequestsLeaveTheDepthAtZero()
{
    ScriptedResults(5000).install(*m_server);
    m_server->setDelayMs(150);
    CApi api;
    api.m_baseUrl = m_server->baseUrl();
    bool oldAnswered = false;
    api.fetchNewSearch(QStringLiteral("old"), [&](int, CApi::Outcome) { oldAnswered = true; });
    QCOMPARE(api.m_requestDepth, 1);
    api.cancelRequests();
    QCOMPARE(api.m_requestDepth, 0);
    bool done = false;
    int total = 0;
    api.fetchNewSearch(QStringLiteral("new"), [&](int n, CApi::Outcome) {
        total = n;
        done = true;
    });
    QVERIFY(waitFor(done));
    QCOMPARE(total, 5000);
    QTRY_COMPARE(m_server->requests().size(), 2);
    // One more round trip: the old answer has certainly come back by now.
    done = false;
    QVERIFY(api.fetchPosition(3000, QStringLiteral("new"), [&](CApi::Outcome) { done = true; }));
    QVERIFY(waitFor(done));
    QVERIFY(!oldAnswered);
    QCOMPARE(api.m_requestDepth, 0);
    QCOMPARE(api.m_firstPosition, 3000);
}

QTEST_GUILESS_MAIN(TestAsyncRequests)
#include "tst_asyncrequests.moc"
