#include "core/capi.h"
#include "tests/support/scriptedresults.h"
#include "tests/support/scriptedserver.h"

#include <QTest>

// Entry retrieval with its one-entry memo, and the headword index.
class TestEntries : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void memo_data();
    void memo();
    void memoOutlivesNewSearch();
    void entryHtmlIsInnerMarkupOfFirstContent();
    void failedFetchIsNotRemembered();
    void emptyAnswerIsRemembered();
    void noHitNoRequest();
    void headwordIndex_data();
    void headwordIndex();
    void headwordIndexLeavesWindow();

private:
    int entryRequests() const
    {
        return int(m_server->requests(QStringLiteral("/1.0/search/get-entry")).size());
    }

    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<CApi> m_api;
};

namespace {

// Three hits: rows 0 and 2 share entry 1 but live in different dictionaries.
const QByteArray threeHits =
    "<result><total>3</total>"
    "<entry><headword>A</headword><dictionary_id>70</dictionary_id><entry_id>1</entry_id>"
    "<order>10</order></entry>"
    "<entry><headword>B</headword><dictionary_id>70</dictionary_id><entry_id>2</entry_id>"
    "<order>11</order></entry>"
    "<entry><headword>A</headword><dictionary_id>58</dictionary_id><entry_id>1</entry_id>"
    "<order>12</order></entry></result>";

// Each entry's content names its ids, so a wrong memo shows.
ScriptedReply entryFor(const QString& target)
{
    const QString d = ScriptedResults::parameter(target, QStringLiteral("dictionaryId"));
    const QString e = ScriptedResults::parameter(target, QStringLiteral("entryId"));
    return ScriptedReply::ok("<result><html_content><p>" + d.toUtf8() + "/" + e.toUtf8() +
                             "</p></html_content></result>");
}

} // namespace

void TestEntries::initTestCase()
{
    qputenv("VERBOLIX_CONNECT_TIMEOUT_MS", "500");
    qputenv("VERBOLIX_REQUEST_TIMEOUT_MS", "1000");
}

void TestEntries::init()
{
    m_server = std::make_unique<ScriptedServer>();
    m_server->setAnswer(QStringLiteral("/1.0/search"), threeHits);
    m_server->setHandler(QStringLiteral("/1.0/search/get-entry"), entryFor);
    m_api = std::make_unique<CApi>();
    m_api->m_baseUrl = m_server->baseUrl();
    QCOMPARE(m_api->NewSearch(QStringLiteral("a")), 3);
}

void TestEntries::memo_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<int>("requests");
    QTest::newRow("same row twice: one request") << QList<int>{0, 0} << 1;
    QTest::newRow("A, B, A: three requests") << QList<int>{0, 1, 0} << 3;
    QTest::newRow("same entryId in two dictionaries: two") << QList<int>{0, 2} << 2;
    QTest::newRow("A, A, B, B: two") << QList<int>{0, 0, 1, 1} << 2;
}

void TestEntries::memo()
{
    QFETCH(QList<int>, rows);
    QFETCH(int, requests);
    const QStringList expected{QStringLiteral("<p>70/1</p>"), QStringLiteral("<p>70/2</p>"),
                               QStringLiteral("<p>58/1</p>")};
    for (int row : rows)
        QCOMPARE(m_api->GetEntryHtml(row, QStringLiteral("a")), expected.at(row));
    QCOMPARE(entryRequests(), requests);
    QCOMPARE(m_api->m_requestDepth, 0);
    QCOMPARE(m_api->m_lastEntryDictionaryId, rows.last() == 2 ? 58 : 70);
}

void TestEntries::memoOutlivesNewSearch()
{
    QCOMPARE(m_api->GetEntryHtml(1, QStringLiteral("a")), QStringLiteral("<p>70/2</p>"));
    // A new result list whose first hit is the entry shown last: no request.
    m_server->setAnswer(
        QStringLiteral("/1.0/search"),
        "<result><total>1</total><entry><headword>B</headword><dictionary_id>70</dictionary_id>"
        "<entry_id>2</entry_id><order>1</order></entry></result>");
    QCOMPARE(m_api->NewSearch(QStringLiteral("b")), 1);
    QCOMPARE(m_api->GetEntryHtml(0, QStringLiteral("b")), QStringLiteral("<p>70/2</p>"));
    QCOMPARE(entryRequests(), 1);
}

void TestEntries::entryHtmlIsInnerMarkupOfFirstContent()
{
    m_server->setAnswer(
        QStringLiteral("/1.0/search/get-entry"),
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<result>\n  <html_content>\n"
        "    <div class=\"geslo\"><b>miza</b>  -e \xc5\xbe\xc2\xa0&lt;i&gt;</div>\n  </html_content>\n"
        "  <html_content><div>drugo</div></html_content>\n</result>");
    QCOMPARE(m_api->GetEntryHtml(0, QStringLiteral("a")),
             QStringLiteral("\n    <div class=\"geslo\"><b>miza</b>  -e \u017E\u00A0&lt;i&gt;</div>\n  "));
}

void TestEntries::failedFetchIsNotRemembered()
{
    // Remembering a failure would leave the entry blank until another one is picked.
    m_server->setReply(QStringLiteral("/1.0/search/get-entry"),
                       ScriptedReply::error(500, "<html>napaka</html>"));
    QCOMPARE(m_api->GetEntryHtml(0, QStringLiteral("a")), QString());
    QCOMPARE(m_api->GetEntryHtml(0, QStringLiteral("a")), QString());
    QCOMPARE(entryRequests(), 2);

    m_server->setHandler(QStringLiteral("/1.0/search/get-entry"), entryFor);
    QCOMPARE(m_api->GetEntryHtml(0, QStringLiteral("a")), QStringLiteral("<p>70/1</p>"));
    QCOMPARE(m_api->GetEntryHtml(0, QStringLiteral("a")), QStringLiteral("<p>70/1</p>"));
    QCOMPARE(entryRequests(), 3);
}

void TestEntries::emptyAnswerIsRemembered()
{
    // The service answered, only without content: that is the entry's content.
    m_server->setAnswer(QStringLiteral("/1.0/search/get-entry"), "<result><html_content/></result>");
    QCOMPARE(m_api->GetEntryHtml(0, QStringLiteral("a")), QString());
    QCOMPARE(m_api->GetEntryHtml(0, QStringLiteral("a")), QString());
    QCOMPARE(entryRequests(), 1);
    QCOMPARE(m_api->m_lastEntryId, 1);
}

void TestEntries::noHitNoRequest()
{
    QCOMPARE(m_api->GetEntryHtml(0, QStringLiteral("a")), QStringLiteral("<p>70/1</p>"));
    // Row 50 is past the end: the jump's search answers no hits.
    m_server->setAnswer(QStringLiteral("/1.0/search"), "<result><total>3</total></result>");
    QCOMPARE(m_api->GetEntryHtml(50, QStringLiteral("a")), QString());
    QCOMPARE(entryRequests(), 1);
    QCOMPARE(m_api->m_lastEntryId, 1); // the memo is left as it was
    QCOMPARE(m_api->m_lastEntryHtml, QStringLiteral("<p>70/1</p>"));
}

void TestEntries::headwordIndex_data()
{
    QTest::addColumn<ScriptedReply>("reply");
    QTest::addColumn<int>("index");
    QTest::newRow("57") << ScriptedReply::ok(
                               "<r><selected_order>9</selected_order><relative_index>57</relative_index></r>")
                        << 57;
    QTest::newRow("no match -1") << ScriptedReply::ok("<r><relative_index>-1</relative_index></r>") << -1;
    QTest::newRow("only selected_order")
        << ScriptedReply::ok("<r><selected_order>9</selected_order></r>") << 0;
    QTest::newRow("HTTP 500") << ScriptedReply::error(500, "<html>napaka</html>") << 0;
    QTest::newRow("truncated") << ScriptedReply::ok("<r><relative_index>57</relative_") << 0;
    QTest::newRow("never answers") << ScriptedReply::neverAnswer() << 0;
}

void TestEntries::headwordIndex()
{
    QFETCH(ScriptedReply, reply);
    QFETCH(int, index);
    m_server->setReply(QStringLiteral("/1.0/search/entry-index"), reply);
    QCOMPARE(m_api->GetHeadwordIndex(QStringLiteral("a"), QStringLiteral("a*")), index);
    QCOMPARE(m_server->requests(QStringLiteral("/1.0/search/entry-index")).size(), 1);
    QCOMPARE(m_api->m_requestDepth, 0);
}

void TestEntries::headwordIndexLeavesWindow()
{
    m_server->setAnswer(QStringLiteral("/1.0/search/entry-index"),
                        "<r><relative_index>2</relative_index></r>");
    const QList<CZadetek> before = m_api->m_zadetki;
    QCOMPARE(m_api->GetHeadwordIndex(QStringLiteral("a"), QStringLiteral("a*")), 2);
    QCOMPARE(m_api->m_zadetki.size(), before.size());
    QCOMPARE(m_api->m_firstPosition, 0);
    QCOMPARE(m_api->m_lastPosition, 2);
}

QTEST_GUILESS_MAIN(TestEntries)
#include "tst_entries.moc"
