#include "core/apiconfig.h"
#include "core/capi.h"
#include "core/http/httpclient.h"
#include "core/icons/iconcache.h"
#include "tests/support/scriptedserver.h"
#include "tests/support/tempconfig.h"

#include <QElapsedTimer>
#include <QTest>

// Requests: the URL of every call byte for byte, the escaping, and the HTTP layer with
// every way a service can fail.
class TestRequests : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void toUtf8_data();
    void toUtf8();
    void urlEscapeCoversEveryByte();
    void urls_data();
    void urls();
    void getDeliversBodyAndRecordsTargetExactly();
    void failures_data();
    void failures();
    void compressedAnswers_data();
    void compressedAnswers();

private:
    TempConfig m_config; // the dictionary list refreshes the stored filters
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

void TestRequests::toUtf8_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("one ASCII letter") << QStringLiteral("a") << QByteArray("a");
    QTest::newRow("two-byte letters")
        << QStringLiteral("d\u016Fm \u010D") << QByteArray("d\xc5\xafm \xc4\x8d");
    QTest::newRow("outside the BMP") << QString::fromUtf16(u"\U0001F600") << QByteArray("\xf0\x9f\x98\x80");
    QTest::newRow("ends at the first NUL") << QString::fromUtf16(u"ab\0cd", 5) << QByteArray("ab");
    // As the platform converter does: an unpaired surrogate becomes U+FFFD.
    QTest::newRow("unpaired surrogate") << QString::fromUtf16(u"a\xD800"
                                                              u"b",
                                                              3)
                                        << QByteArray("a\xef\xbf\xbd"
                                                      "b");
    QTest::newRow("leading NUL") << QString::fromUtf16(u"\0cd", 3) << QByteArray();
}

void TestRequests::toUtf8()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(ToUtf8(text), bytes);
}

void TestRequests::urlEscapeCoversEveryByte()
{
    const QByteArray safe("./:_ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
    for (int b = 0; b < 256; ++b) {
        const QByteArray one(1, char(b));
        QString expected;
        if (b == '\\')
            expected = QStringLiteral("/");
        else if (safe.contains(char(b)))
            expected = QString::fromLatin1(one);
        else
            expected = QStringLiteral("%") + QString::number(b >> 4, 16) + QString::number(b & 15, 16);
        QCOMPARE(UrlEscape(one), expected);
    }
    QCOMPARE(UrlEscape("a-b c*~+&=%?#\n\x7f"), QStringLiteral("a%2db%20c%2a%7e%2b%26%3d%25%3f%23%0a%7f"));
}

namespace {
enum class Call
{
    Search,
    EntriesAfter,
    EntryIndex,
    GetEntry,
    DictionaryList,
    Icon
};
}

void TestRequests::urls_data()
{
    QTest::addColumn<int>("call");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("headword");
    QTest::addColumn<int>("number");
    QTest::addColumn<QList<int>>("dictionaries");
    QTest::addColumn<QString>("target");

    const QString key = QStringLiteral("?licenceKey=") + LicenceKey();
    const QString search = QStringLiteral("/1.0/search") + key;
    const QString after = QStringLiteral("/1.0/search/entries-after") + key;
    const QString index = QStringLiteral("/1.0/search/entry-index") + key;
    const QString none;
    const QList<int> noFilter;
    const QList<int> filter{70, 58};
    auto row = [](const char* name, Call call, const QString& query, const QString& headword, int number,
                  const QList<int>& dictionaries, const QString& target) {
        QTest::newRow(name) << int(call) << query << headword << number << dictionaries << target;
    };

    row("search d\u016fm", Call::Search, QStringLiteral("d\u016Fm"), none, 0, noFilter,
        search + QStringLiteral("&query=d%c5%afm&start=0&rows=200"));
    row("search a-b c", Call::Search, QStringLiteral("a-b c"), none, 0, noFilter,
        search + QStringLiteral("&query=a%2db%20c&start=0&rows=200"));
    row("search C:\\x", Call::Search, QStringLiteral("C:\\x"), none, 0, noFilter,
        search + QStringLiteral("&query=C:/x&start=0&rows=200"));
    row("search empty query is *", Call::Search, none, none, 0, noFilter,
        search + QStringLiteral("&query=%2a&start=0&rows=200"));
    row("search * inside the query is escaped", Call::Search, QStringLiteral("mi*a"), none, 0, noFilter,
        search + QStringLiteral("&query=mi%2aa&start=0&rows=200"));
    row("search miza in 70 and 58 from 400", Call::Search, QStringLiteral("miza"), none, 400, filter,
        search + QStringLiteral("&query=miza&dictionaryId=70&dictionaryId=58&start=400&rows=200"));
    row("entries after order 1597", Call::EntriesAfter, QStringLiteral("miza"), none, 1597, filter,
        after + QStringLiteral("&query=miza&dictionaryId=70&dictionaryId=58&start=1597&rows=200"));
    row("entries after with empty query", Call::EntriesAfter, none, none, -3, noFilter,
        after + QStringLiteral("&query=%2a&start=-3&rows=200"));
    row("index: query * sends no query", Call::EntryIndex, QStringLiteral("*"), QStringLiteral("hi"), 0,
        noFilter, index + QStringLiteral("&headword=hi%2a"));
    row("index: trailing * is not doubled", Call::EntryIndex, QStringLiteral("*"), QStringLiteral("hi*"), 0,
        noFilter, index + QStringLiteral("&headword=hi%2a"));
    row("index: empty headword and query", Call::EntryIndex, none, none, 0, noFilter,
        index + QStringLiteral("&headword=%2a"));
    row("index: query and filter", Call::EntryIndex, QStringLiteral("\u010Dr"), QStringLiteral("\u010Dr*"), 0,
        filter, index + QStringLiteral("&headword=%c4%8dr%2a&query=%c4%8dr&dictionaryId=70&dictionaryId=58"));
    row("get entry", Call::GetEntry, none, none, 12, filter,
        QStringLiteral("/1.0/search/get-entry") + key + QStringLiteral("&dictionaryId=70&entryId=12"));
    row("dictionary list", Call::DictionaryList, none, none, 0, filter,
        QStringLiteral("/1.0/dictionary/list") + key);
    row("dictionary icon", Call::Icon, none, none, 58, noFilter,
        QStringLiteral("/1.0/dictionary/icon") + key + QStringLiteral("&dictionaryId=58"));
}

void TestRequests::urls()
{
    QFETCH(int, call);
    QFETCH(QString, query);
    QFETCH(QString, headword);
    QFETCH(int, number);
    QFETCH(QList<int>, dictionaries);
    QFETCH(QString, target);

    CApi api;
    api.m_baseUrl = m_server->baseUrl();
    for (int id : dictionaries)
        api.m_izbraniSlovarji.append(CSlovar{id, QString(), QString(), nullptr, 0, 0});
    QList<CZadetek> hits;
    QList<CSlovar> list;
    IconCache icons(m_server->baseUrl());
    switch (Call(call)) {
    case Call::Search:
        api.ApiSearch(query, number, hits);
        break;
    case Call::EntriesAfter:
        api.ApiEntriesAfter(query, number, 0, hits);
        break;
    case Call::EntryIndex:
        api.GetHeadwordIndex(query, headword);
        break;
    case Call::GetEntry:
        api.ApiGetEntry(70, number);
        break;
    case Call::DictionaryList:
        api.ApiDictionaryList(list);
        break;
    case Call::Icon:
        GetDictionaryIcon(icons, number);
        break;
    }
    QCOMPARE(m_server->requests(), QStringList{target});
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

// Answers compressed on the wire (as a proxy in front of the service sends them) are read
// decoded, and the size cap holds for what they decode to.
void TestRequests::compressedAnswers_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("failure");

    QByteArray page("<search_result><total>200</total><position>0</position>");
    for (int i = 0; i < 200; ++i) {
        const QByteArray n = QByteArray::number(i);
        page += "<entry><headword>miza " + n + "</headword><dictionary_id>70</dictionary_id><entry_id>" + n +
                "</entry_id></entry>";
    }
    page += "</search_result>";
    QTest::newRow("gzip page of 200 hits") << page << int(HttpResult::Failure::None);
    // A few KiB on the wire: only a cap on the decoded bytes stops it.
    QTest::newRow("gzip that decodes past the cap")
        << QByteArray(5 * 1024 * 1024, '<') << int(HttpResult::Failure::TooLarge);
}

void TestRequests::compressedAnswers()
{
    QFETCH(QByteArray, body);
    QFETCH(int, failure);
    const ScriptedReply reply = ScriptedReply::gzipped(body);
    QVERIFY(reply.body.startsWith("\x1f\x8b"));
    QVERIFY(reply.body.size() < HttpRequest().maxBytes);
    m_server->setReply(QStringLiteral("/1.0/search"), reply);

    HttpRequest request;
    request.url = m_server->baseUrl() + QStringLiteral("/1.0/search");
    const HttpResult result = HttpClient::get(request);

    QCOMPARE(int(result.failure), failure);
    if (failure == int(HttpResult::Failure::None)) {
        QCOMPARE(result.status, 200);
        QCOMPARE(result.body, body);
    } else {
        QVERIFY(result.body.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestRequests)
#include "tst_requests.moc"
