#include "core/capi.h"
#include "tests/support/scriptedresults.h"
#include "tests/support/scriptedserver.h"

#include <QTest>

// The window of hits and the search controller: which pages are fetched, with which
// start, and what the window holds afterwards.
class TestPaging : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void freshClientIsEmpty();
    void mergeHits_data();
    void mergeHits();
    void readingDownwards523Hits();
    void jumpsStartNewWindows();
    void windowRestartsPast2000();
    void endOfList();
    void depthGuardStartsNoRequest();
    void serviceDownGivesEmptyWindow();

private:
    // "search 400" or "after 1597": the kind and the start of every result request.
    QStringList traffic() const;
    void verifyWindow(int first, int last);

    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<CApi> m_api;
};

void TestPaging::initTestCase()
{
    qputenv("VERBOLIX_CONNECT_TIMEOUT_MS", "500");
    qputenv("VERBOLIX_REQUEST_TIMEOUT_MS", "1000");
}

void TestPaging::init()
{
    m_server = std::make_unique<ScriptedServer>();
    m_api = std::make_unique<CApi>();
    m_api->m_baseUrl = m_server->baseUrl();
}

QStringList TestPaging::traffic() const
{
    QStringList calls;
    for (const QString& target : m_server->requests()) {
        const QString start = ScriptedResults::parameter(target, QStringLiteral("start"));
        if (target.startsWith(QLatin1String("/1.0/search/entries-after?")))
            calls << QStringLiteral("after ") + start;
        else if (target.startsWith(QLatin1String("/1.0/search?")))
            calls << QStringLiteral("search ") + start;
        else
            calls << target;
    }
    return calls;
}

// The invariant of the window: consecutive positions from first to last, and each hit
// is the one the service has at that position.
void TestPaging::verifyWindow(int first, int last)
{
    QCOMPARE(m_api->m_firstPosition, first);
    QCOMPARE(m_api->m_lastPosition, last);
    QCOMPARE(m_api->m_zadetki.size(), qsizetype(first < 0 ? 0 : qMax(0, last - first + 1)));
    for (qsizetype i = 0; i < m_api->m_zadetki.size(); ++i) {
        const CZadetek& hit = m_api->m_zadetki.at(i);
        const int p = first + int(i);
        QCOMPARE(hit.position, p);
        QCOMPARE(hit.headword, ScriptedResults::headwordOf(p));
        QCOMPARE(hit.order, ScriptedResults::orderOf(p));
        QCOMPARE(hit.entryId, ScriptedResults::entryIdOf(p));
        QCOMPARE(hit.dictionaryId, ScriptedResults::dictionaryIdOf(p));
    }
}

void TestPaging::freshClientIsEmpty()
{
    const CApi api;
    QVERIFY(api.m_sheme.isEmpty() && api.m_zadetki.isEmpty() && api.m_slovarji.isEmpty());
    QVERIFY(api.m_izbraniSlovarji.isEmpty() && api.m_jeziki.isEmpty());
    QCOMPARE(api.m_firstPosition, -1);
    QCOMPARE(api.m_lastPosition, -1);
    QCOMPARE(api.m_lastEntryId, -1);
    QCOMPARE(api.m_lastEntryDictionaryId, -1);
    QCOMPARE(api.m_requestDepth, 0);
    QCOMPARE(api.m_lastMessageId, 0);
    QVERIFY(api.m_lastEntryHtml.isEmpty());
}

void TestPaging::mergeHits_data()
{
    QTest::addColumn<int>("windowFirst"); // -1: a reset window
    QTest::addColumn<int>("windowSize");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");

    QTest::newRow("first page into a reset window") << -1 << 0 << 0 << 200 << 0 << 199;
    QTest::newRow("next page continues") << 0 << 200 << 200 << 200 << 0 << 399;
    QTest::newRow("2000 held still continues") << 0 << 2000 << 2000 << 200 << 0 << 2199;
    QTest::newRow("more than 2000 held restarts") << 0 << 2200 << 2200 << 200 << 2200 << 2399;
    QTest::newRow("jump replaces the window") << 0 << 400 << 5000 << 200 << 5000 << 5199;
    QTest::newRow("page before the window replaces it") << 1000 << 200 << 999 << 200 << 999 << 1198;
    QTest::newRow("empty answer at a jump empties") << 0 << 400 << 5000 << 0 << 5000 << 4999;
    QTest::newRow("empty answer continuing keeps") << 0 << 400 << 400 << 0 << 0 << 399;
    QTest::newRow("reset window starting at 600") << -1 << 0 << 600 << 10 << 600 << 609;
}

void TestPaging::mergeHits()
{
    QFETCH(int, windowFirst);
    QFETCH(int, windowSize);
    QFETCH(int, position);
    QFETCH(int, count);
    QFETCH(int, first);
    QFETCH(int, last);

    if (windowFirst >= 0) {
        QList<CZadetek> held;
        for (int i = 0; i < windowSize; ++i)
            held.append(CZadetek{
                ScriptedResults::entryIdOf(windowFirst + i), ScriptedResults::dictionaryIdOf(windowFirst + i),
                ScriptedResults::headwordOf(windowFirst + i), ScriptedResults::orderOf(windowFirst + i), 0});
        // Bounds as if the window had grown to here page by page.
        m_api->m_firstPosition = windowFirst;
        m_api->m_lastPosition = windowFirst - 1;
        m_api->MergeHits(windowFirst, held);
        verifyWindow(windowFirst, windowFirst + windowSize - 1);
    }
    QList<CZadetek> page;
    for (int i = 0; i < count; ++i)
        page.append(
            CZadetek{ScriptedResults::entryIdOf(position + i), ScriptedResults::dictionaryIdOf(position + i),
                     ScriptedResults::headwordOf(position + i), ScriptedResults::orderOf(position + i), 0});
    m_api->MergeHits(position, page);
    verifyWindow(first, last);
}

void TestPaging::readingDownwards523Hits()
{
    ScriptedResults(523).install(*m_server);
    const QString query = QStringLiteral("miza");

    QCOMPARE(m_api->NewSearch(query), 523);
    verifyWindow(0, 199);
    for (int row = 0; row < 523; ++row)
        QCOMPARE(m_api->GetHeadword(row, query), ScriptedResults::headwordOf(row));

    // Each continuation starts at the order of the last hit held, not at a position.
    QCOMPARE(traffic(), (QStringList{QStringLiteral("search 0"),
                                     QStringLiteral("after %1").arg(ScriptedResults::orderOf(199)),
                                     QStringLiteral("after %1").arg(ScriptedResults::orderOf(399))}));
    verifyWindow(0, 522);
    QCOMPARE(m_api->GetDictionaryId(522, query), ScriptedResults::dictionaryIdOf(522));
    QCOMPARE(m_api->m_requestDepth, 0);

    m_server->clearRequests();
    QCOMPARE(m_api->EnsurePosition(300, query), -1); // held: no request
    QCOMPARE(m_api->FindHit(300, query), 300);
    QVERIFY(m_server->requests().isEmpty());
}

void TestPaging::jumpsStartNewWindows()
{
    ScriptedResults(5000).install(*m_server);
    const QString query = QStringLiteral("a");
    m_api->NewSearch(query);
    m_api->GetHeadword(200, query);
    verifyWindow(0, 399);
    m_server->clearRequests();

    QCOMPARE(m_api->GetHeadword(1000, query), ScriptedResults::headwordOf(1000));
    verifyWindow(1000, 1199);
    QCOMPARE(m_api->GetHeadword(399, query), ScriptedResults::headwordOf(399));
    verifyWindow(399, 598);
    // One row above the window is a jump too.
    QCOMPARE(m_api->GetHeadword(398, query), ScriptedResults::headwordOf(398));
    verifyWindow(398, 597);
    QCOMPARE(m_api->GetHeadword(500, query), ScriptedResults::headwordOf(500));
    QCOMPARE(traffic(), (QStringList{QStringLiteral("search 1000"), QStringLiteral("search 399"),
                                     QStringLiteral("search 398")}));
}

void TestPaging::windowRestartsPast2000()
{
    ScriptedResults(5000).install(*m_server);
    const QString query = QStringLiteral("a");
    m_api->NewSearch(query);
    for (int row = 200; row <= 2000; row += 200) {
        m_api->GetHeadword(row, query);
        QVERIFY(m_api->m_zadetki.size() <= 2200);
    }
    verifyWindow(0, 2199);
    m_server->clearRequests();

    QCOMPARE(m_api->GetHeadword(2200, query), ScriptedResults::headwordOf(2200));
    QCOMPARE(traffic(), QStringList{QStringLiteral("after %1").arg(ScriptedResults::orderOf(2199))});
    verifyWindow(2200, 2399);
    // The rows just above the new window (still on screen while paging down) are drawn
    // from the page it was cut from, without a request per row and with the window kept.
    m_server->clearRequests();
    for (int row = 2199; row >= 2000; --row) {
        QCOMPARE(m_api->GetHeadword(row, query), ScriptedResults::headwordOf(row));
        QCOMPARE(m_api->GetDictionaryId(row, query), ScriptedResults::dictionaryIdOf(row));
    }
    QCOMPARE(traffic(), QStringList());
    verifyWindow(2200, 2399);
    // Earlier rows are gone and come back with a jump.
    m_server->clearRequests();
    QCOMPARE(m_api->GetHeadword(0, query), ScriptedResults::headwordOf(0));
    QCOMPARE(traffic(), QStringList{QStringLiteral("search 0")});
    // A jump forgets that page too.
    m_server->clearRequests();
    QCOMPARE(m_api->GetHeadword(2100, query), ScriptedResults::headwordOf(2100));
    QCOMPARE(traffic(), QStringList{QStringLiteral("search 2100")});
}

void TestPaging::endOfList()
{
    ScriptedResults(523).install(*m_server);
    const QString query = QStringLiteral("a");
    m_api->NewSearch(query);
    m_api->GetHeadword(200, query);
    m_api->GetHeadword(400, query);
    verifyWindow(0, 522);
    m_server->clearRequests();

    // The row after the last: one entries-after with no hits, the window stays.
    QCOMPARE(m_api->GetHeadword(523, query), QString());
    QCOMPARE(traffic(), QStringList{QStringLiteral("after %1").arg(ScriptedResults::orderOf(522))});
    verifyWindow(0, 522);

    // Far beyond the end: one search with no hits, the window is empty at that row.
    m_server->clearRequests();
    QCOMPARE(m_api->GetDictionaryId(900, query), -1);
    QCOMPARE(traffic(), QStringList{QStringLiteral("search 900")});
    verifyWindow(900, 899);
    QCOMPARE(m_api->GetEntryHtml(900, query), QString());
}

void TestPaging::depthGuardStartsNoRequest()
{
    ScriptedResults(523).install(*m_server);
    const QString query = QStringLiteral("a");

    m_api->m_requestDepth = 1; // a request is under way
    QCOMPARE(m_api->NewSearch(query), 0);
    verifyWindow(-1, -1);
    QCOMPARE(m_api->EnsurePosition(0, query), 0);
    QCOMPARE(m_api->GetHeadword(0, query), QString());
    QVERIFY(m_server->requests().isEmpty());

    m_api->m_requestDepth = 0;
    QCOMPARE(m_api->NewSearch(query), 523);
    m_api->m_requestDepth = 1;
    // Held rows still answer; others neither fetch nor disturb the window.
    QCOMPARE(m_api->GetHeadword(5, query), ScriptedResults::headwordOf(5));
    QCOMPARE(m_api->GetHeadword(200, query), QString());
    QCOMPARE(m_api->GetHeadword(450, query), QString());
    verifyWindow(0, 199);
    QCOMPARE(m_server->requests().size(), 1);
}

void TestPaging::serviceDownGivesEmptyWindow()
{
    m_api->m_baseUrl = ScriptedServer::unusedBaseUrl();
    const QString query = QStringLiteral("a");
    QCOMPARE(m_api->NewSearch(query), 0);
    QCOMPARE(m_api->m_requestDepth, 0);
    verifyWindow(0, -1);
    QCOMPARE(m_api->GetHeadword(0, query), QString());
    QCOMPARE(m_api->GetDictionaryId(0, query), -1);

    // An answer that is an error page counts the same; the request is not repeated.
    m_api->m_baseUrl = m_server->baseUrl();
    m_server->setReply(QStringLiteral("/1.0/search"),
                       ScriptedReply::error(500, "<html><body>napaka</body></html>"));
    QCOMPARE(m_api->NewSearch(query), 0);
    verifyWindow(0, -1);
    QCOMPARE(m_server->requests().size(), 1);
}

QTEST_GUILESS_MAIN(TestPaging)
#include "tst_paging.moc"
