#include "core/capi.h"
#include "tests/support/scriptedserver.h"
#include "core/settings.h"
#include "tests/support/tempconfig.h"

#include <QTest>
#include <climits>
#include <sys/resource.h>

Q_DECLARE_METATYPE(ScriptedReply)

// A service that misbehaves, seen through CApi's operations: every fault ends in the
// operation's empty result, in bounded time and memory, and nothing it sends makes the
// client fetch anything else.
class TestHostileAnswers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // First, so that the high-water mark of memory is still this process's start-up.
    void runawayAnswerIsCappedNotBuffered();
    void faultsGiveEmptyResults_data();
    void faultsGiveEmptyResults();
    void slowButCompleteAnswerIsRead();
    void oddBytes_data();
    void oddBytes();
    void deepNesting();
    void doctypesFetchNothingAndExpandNothing_data();
    void doctypesFetchNothingAndExpandNothing();
    void absurdTotals_data();
    void absurdTotals();
    void windowAtTheEndOfTheIntRange();
    void absurdIndexAndIds();
    void ordersGoingBackwards();

private:
    void answerEverywhere(const ScriptedReply& reply, bool redirectToSelf = false);

    std::unique_ptr<TempConfig> m_config;
    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<CApi> m_api;
};

namespace {

const QString searchPath = QStringLiteral("/1.0/search");
const QString afterPath = QStringLiteral("/1.0/search/entries-after");
const QString indexPath = QStringLiteral("/1.0/search/entry-index");
const QString entryPath = QStringLiteral("/1.0/search/get-entry");
const QString listPath = QStringLiteral("/1.0/dictionary/list");
const QString messagesPath = QStringLiteral("/1.0/messages");

QByteArray entry(const QByteArray& headword, int dictionaryId, int entryId, int order)
{
    return "<entry><headword>" + headword + "</headword><dictionary_id>" + QByteArray::number(dictionaryId) +
           "</dictionary_id><entry_id>" + QByteArray::number(entryId) + "</entry_id><order>" +
           QByteArray::number(order) + "</order></entry>";
}

QByteArray searchAnswer(const QByteArray& total, const QByteArray& entries)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<response><total>" + total + "</total><entries>" +
           entries + "</entries></response>";
}

// Hits first..first+count-1 (headwords "h" and the position); the orders fall as the
// positions rise when step < 0.
QByteArray page(qint64 first, int count, int firstOrder, int step)
{
    QByteArray entries;
    for (int i = 0; i < count; ++i)
        entries += entry("h" + QByteArray::number(first + i), 70, 100 + i, firstOrder + step * i);
    return entries;
}

qint64 peakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

void TestHostileAnswers::initTestCase()
{
    qRegisterMetaType<ScriptedReply>();
    qputenv("VERBOLIX_CONNECT_TIMEOUT_MS", "500");
    qputenv("VERBOLIX_REQUEST_TIMEOUT_MS", "1500");
}

void TestHostileAnswers::init()
{
    m_config = std::make_unique<TempConfig>();
    m_server = std::make_unique<ScriptedServer>();
    m_api = std::make_unique<CApi>();
    m_api->m_baseUrl = m_server->baseUrl();
}

void TestHostileAnswers::cleanup()
{
    m_api.reset();
    m_server.reset();
    m_config.reset();
}

void TestHostileAnswers::answerEverywhere(const ScriptedReply& reply, bool redirectToSelf)
{
    for (const QString& path : {searchPath, afterPath, indexPath, entryPath, listPath, messagesPath})
        m_server->setReply(path,
                           redirectToSelf ? ScriptedReply::redirect(path.toLatin1() + "?again") : reply);
}

void TestHostileAnswers::runawayAnswerIsCappedNotBuffered()
{
    // Well-formed entries for ever (the server stops only when the client hangs up, or after
    // a gigabyte): a client that buffered it all would hold hundreds of megabytes.
    const QByteArray chunk = page(0, 1000, 1, 1); // about 90 kB a chunk
    m_server->setReply(searchPath, ScriptedReply::chunkedRunaway(chunk));
    const qint64 before = peakRssKiB();

    QCOMPARE(m_api->NewSearch(QStringLiteral("miza")), 0);
    QVERIFY(m_api->m_zadetki.isEmpty());
    QCOMPARE(m_api->m_firstPosition, 0);
    QCOMPARE(m_api->m_lastPosition, -1);

    // The answer is cut at 4 MiB; parsing what arrived is not attempted either.
    const qint64 grownMiB = (peakRssKiB() - before) / 1024;
    QVERIFY2(grownMiB < 64, qPrintable(QStringLiteral("peak memory grew by %1 MiB").arg(grownMiB)));
}

void TestHostileAnswers::faultsGiveEmptyResults_data()
{
    QTest::addColumn<ScriptedReply>("reply");
    QTest::addColumn<int>("maxRequestsEach");
    QTest::addColumn<bool>("redirectToSelf");

    const QByteArray good = searchAnswer("5", page(0, 5, 1, 1));
    // Five redirects are followed, then the request fails: six requests at most.
    QTest::newRow("redirect loop") << ScriptedReply() << 6 << true;
    QTest::newRow("redirect to a local file") << ScriptedReply::redirect("file:///etc/passwd") << 1 << false;
    QTest::newRow("redirect to another scheme") << ScriptedReply::redirect("ftp://127.0.0.1/x") << 1 << false;
    QTest::newRow("trickle slower than the timeout") << ScriptedReply::trickle(good, 4, 200) << 1 << false;
    QTest::newRow("never answers") << ScriptedReply::neverAnswer() << 1 << false;
    QTest::newRow("HTTP 500 with an HTML page")
        << ScriptedReply::error(500, "<html><body><h1>500</h1><total>5</total></body></html>") << 1 << false;
    QTest::newRow("HTTP 503 with well-formed XML")
        << ScriptedReply::error(503, good, "text/xml") << 1 << false;
    QTest::newRow("truncated XML") << ScriptedReply::ok(good.left(good.size() - 30)) << 1 << false;
    QTest::newRow("body shorter than its length")
        << ScriptedReply::lyingLength(good, good.size() + 100) << 1 << false;
    QTest::newRow("HTML instead of XML") << ScriptedReply::ok("<html><p>Vzdr\xc5\xbe"
                                                              "evanje<br></html>",
                                                              "text/html")
                                         << 1 << false;
    QTest::newRow("empty body") << ScriptedReply::ok(QByteArray()) << 1 << false;
    QTest::newRow("binary garbage") << ScriptedReply::ok(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)) << 1
                                    << false;
}

void TestHostileAnswers::faultsGiveEmptyResults()
{
    QFETCH(ScriptedReply, reply);
    QFETCH(int, maxRequestsEach);
    QFETCH(bool, redirectToSelf);
    answerEverywhere(reply, redirectToSelf);
    Settings::Write(Setting::LastMessageID, 9);

    QCOMPARE(m_api->LoadDictionaries(), 0);
    QVERIFY(m_api->m_slovarji.isEmpty());
    QVERIFY(m_api->m_jeziki.isEmpty());

    QCOMPARE(m_api->NewSearch(QStringLiteral("miza")), 0);
    QVERIFY(m_api->m_zadetki.isEmpty());
    QCOMPARE(m_api->GetHeadword(0, QStringLiteral("miza")), QString());
    QCOMPARE(m_api->GetDictionaryId(0, QStringLiteral("miza")), -1);

    QCOMPARE(m_api->GetHeadwordIndex(QStringLiteral("miza"), QStringLiteral("miza*")), 0);
    QCOMPARE(m_api->ApiGetEntry(70, 5), QString());

    m_api->ApiMessages();
    QCOMPARE(m_api->m_message.welcome, QString());
    QCOMPARE(m_api->m_message.upgradeTitle, QString());
    QCOMPARE(m_api->m_lastMessageId, 0);
    QCOMPARE(Settings::Read(Setting::LastMessageID), 9);
    QCOMPARE(m_api->m_requestDepth, 0);

    // No operation asks again, a failed search leaves no row to page from, and a redirect
    // loop is cut off after a few hops.
    for (const QString& path : {searchPath, listPath, indexPath, entryPath, messagesPath}) {
        const qsizetype n = m_server->requests(path).size();
        QVERIFY2(n >= 1 && n <= maxRequestsEach, qPrintable(path + QStringLiteral(": %1").arg(n)));
    }
    QVERIFY(m_server->requests(afterPath).isEmpty());
}

void TestHostileAnswers::slowButCompleteAnswerIsRead()
{
    // Slow bytes are not a fault as long as the whole answer arrives within the timeout.
    m_server->setReply(searchPath, ScriptedReply::trickle(searchAnswer("523", page(0, 3, 1, 1)), 64, 20));
    QCOMPARE(m_api->NewSearch(QStringLiteral("miza")), 523);
    QCOMPARE(m_api->m_zadetki.size(), 3);
    QCOMPARE(m_api->GetHeadword(2, QStringLiteral("miza")), QStringLiteral("h2"));
}

void TestHostileAnswers::oddBytes_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("headword");

    const QByteArray rest =
        "</headword><dictionary_id>70</dictionary_id><entry_id>5</entry_id><order>9</order></entry>";
    auto utf8Answer = [&](const QByteArray& headword) -> QByteArray {
        return "<r><total>1</total><entry><headword>" + headword + rest + "</r>";
    };
    QTest::newRow("invalid UTF-8 bytes become replacement characters")
        << utf8Answer("a\xff\xfe"
                      "b\xc3")
        << 1 << QStringLiteral("a\uFFFD\uFFFDb\uFFFD");
    QTest::newRow("encoded surrogate")
        << utf8Answer("x\xed\xa0\x80y") << 1 << QStringLiteral("x\uFFFD\uFFFD\uFFFDy");
    // No character spans markup: the bytes on either side of a tag are decoded apart.
    QTest::newRow("bytes of one character on both sides of a tag")
        << utf8Answer("a\xe2<b/>\x97\x97z") << 1 << QStringLiteral("a\uFFFD\uFFFD\uFFFDz");
    QTest::newRow("overlong slash") << utf8Answer("\xc0\xaf") << 1 << QStringLiteral("\uFFFD\uFFFD");
    QTest::newRow("control characters kept") << utf8Answer("\x01\x7f\t") << 1 << QStringLiteral("\x01\x7f\t");
    QTest::newRow("declared Latin-1")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + utf8Answer("caf\xe9")) << 1
        << QStringLiteral("caf\u00e9");
    QByteArray utf16("\xff\xfe", 2);
    for (const char c : utf8Answer("miza"))
        utf16 += QByteArray(1, c) + QByteArray(1, '\0');
    QTest::newRow("UTF-16 with a byte order mark") << utf16 << 1 << QStringLiteral("miza");
    QTest::newRow("UTF-8 byte order mark")
        << QByteArray("\xef\xbb\xbf" + utf8Answer("miza")) << 1 << QStringLiteral("miza");
    // A NUL ends the document early: the answer is not well-formed, so it is the empty result.
    QTest::newRow("NUL inside a headword") << utf8Answer(QByteArray("mi\0za", 5)) << 0 << QString();
}

void TestHostileAnswers::oddBytes()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, total);
    QFETCH(QString, headword);
    // The header's charset is not believed; only the bytes count.
    m_server->setAnswer(searchPath, answer, 200, "text/xml; charset=windows-1250");

    QCOMPARE(m_api->NewSearch(QStringLiteral("x")), total);
    QCOMPARE(m_api->m_zadetki.size(), qsizetype(total));
    if (total > 0) {
        const CZadetek hit = m_api->m_zadetki.first();
        QCOMPARE(hit.headword, headword);
        QCOMPARE(hit.dictionaryId, 70);
        QCOMPARE(hit.entryId, 5);
        QCOMPARE(hit.order, 9);
    }
}

void TestHostileAnswers::deepNesting()
{
    // Far deeper than any recursive reader's stack would survive; still under the size cap.
    constexpr int depth = 200000;
    const QByteArray open = QByteArray("<a>").repeated(depth);
    const QByteArray close = QByteArray("</a>").repeated(depth);

    m_server->setAnswer(searchPath,
                        "<r>" + open + "<total>7</total>" + entry("globoko", 70, 5, 1) + close + "</r>");
    QCOMPARE(m_api->NewSearch(QStringLiteral("x")), 7);
    QCOMPARE(m_api->GetHeadword(0, QStringLiteral("x")), QStringLiteral("globoko"));

    const QByteArray divs =
        QByteArray("<div>").repeated(depth) + "dno" + QByteArray("</div>").repeated(depth);
    m_server->setAnswer(entryPath, "<r><html_content>" + divs + "</html_content></r>");
    const QString html = m_api->ApiGetEntry(70, 5);
    QCOMPARE(html.size(), qsizetype(divs.size()));
    QVERIFY(html.startsWith(QLatin1String("<div><div>")));
    QVERIFY(html.contains(QLatin1String("dno</div>")));

    // The same depth left open is not well-formed: the empty result.
    m_server->setAnswer(listPath, "<r>" + open + "<dictionary><id>3</id></dictionary>");
    QCOMPARE(m_api->LoadDictionaries(), 0);
}

void TestHostileAnswers::doctypesFetchNothingAndExpandNothing_data()
{
    QTest::addColumn<QByteArray>("doctype");
    QTest::addColumn<QByteArray>("headword");
    QTest::addColumn<QString>("expected");

    // BASE stands for the scripted server: anything fetched from it is recorded.
    QTest::newRow("external entity over HTTP")
        << QByteArray("<!DOCTYPE r [<!ENTITY x SYSTEM \"BASE/1.0/evil\">]>") << QByteArray("&x;")
        << QStringLiteral("&x;");
    QTest::newRow("external entity from a local file")
        << QByteArray("<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>") << QByteArray("a&x;")
        << QStringLiteral("a&x;");
    QTest::newRow("external DTD") << QByteArray("<!DOCTYPE r SYSTEM \"BASE/1.0/evil.dtd\">")
                                  << QByteArray("miza") << QStringLiteral("miza");
    QTest::newRow("public DTD") << QByteArray("<!DOCTYPE r PUBLIC \"-//X//Y\" \"BASE/1.0/evil.dtd\">")
                                << QByteArray("miza") << QStringLiteral("miza");
    QTest::newRow("parameter entity")
        << QByteArray("<!DOCTYPE r [<!ENTITY % p SYSTEM \"BASE/1.0/evil\"> %p;]>") << QByteArray("miza")
        << QStringLiteral("miza");
    QByteArray laughs = "<!DOCTYPE r [<!ENTITY l0 \"lol\">";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY l" + QByteArray::number(i) + " \"";
        for (int j = 0; j < 10; ++j)
            laughs += "&l" + QByteArray::number(i - 1) + ";";
        laughs += "\">";
    }
    laughs += "]>";
    QTest::newRow("a billion laughs") << laughs << QByteArray("&l9;") << QStringLiteral("&l9;");
    QTest::newRow("style sheet instruction")
        << QByteArray("<?xml-stylesheet type=\"text/xsl\" href=\"BASE/1.0/evil\"?>") << QByteArray("miza")
        << QStringLiteral("miza");
    QTest::newRow("XInclude") << QByteArray()
                              << QByteArray("<xi:include xmlns:xi=\"http://www.w3.org/2001/XInclude\" "
                                            "href=\"BASE/1.0/evil\"/>miza")
                              << QStringLiteral("miza");
    QTest::newRow("built-in and numeric references still read")
        << QByteArray("<!DOCTYPE r>") << QByteArray("&lt;&amp;&#x10d;&#269;")
        << QStringLiteral("<&\u010d\u010d");
}

void TestHostileAnswers::doctypesFetchNothingAndExpandNothing()
{
    QFETCH(QByteArray, doctype);
    QFETCH(QByteArray, headword);
    QFETCH(QString, expected);
    const QByteArray base = m_server->baseUrl().toLatin1();
    m_server->setAnswer(QStringLiteral("/1.0/evil"), "<!ENTITY x \"EXPANDED\">", 200, "text/plain");
    m_server->setAnswer(QStringLiteral("/1.0/evil.dtd"), "<!ENTITY x \"EXPANDED\">", 200, "text/plain");

    const QByteArray answer = "<?xml version=\"1.0\"?>" + QByteArray(doctype).replace("BASE", base) +
                              "<r><total>3</total>" +
                              entry(QByteArray(headword).replace("BASE", base), 70, 5, 1) + "</r>";
    m_server->setAnswer(searchPath, answer);

    QCOMPARE(m_api->NewSearch(QStringLiteral("x")), 3);
    QCOMPARE(m_api->GetHeadword(0, QStringLiteral("x")), expected);
    QCOMPARE(m_server->requests().size(), 1);
    QVERIFY(m_server->requests(searchPath).size() == 1);
}

void TestHostileAnswers::absurdTotals_data()
{
    QTest::addColumn<QByteArray>("total");
    QTest::addColumn<int>("expected");
    QTest::newRow("2^31-1") << QByteArray("2147483647") << INT_MAX;
    QTest::newRow("beyond the int range") << QByteArray("99999999999999999999") << INT_MAX;
    QTest::newRow("below the int range") << QByteArray("-99999999999999999999") << INT_MIN;
    QTest::newRow("negative") << QByteArray("-5") << -5;
    QTest::newRow("hexadecimal") << QByteArray("0x10") << 0;
    QTest::newRow("two totals: the first counts") << QByteArray("8</total><total>9") << 8;
}

void TestHostileAnswers::absurdTotals()
{
    QFETCH(QByteArray, total);
    QFETCH(int, expected);
    m_server->setAnswer(searchPath, searchAnswer(total, page(0, 3, 1, 1)));

    // The total is passed on as read (the list bounds its row count); the hits still merge.
    QCOMPARE(m_api->NewSearch(QStringLiteral("x")), expected);
    QCOMPARE(m_api->m_zadetki.size(), 3);
    QCOMPARE(m_api->m_lastPosition, 2);
}

void TestHostileAnswers::windowAtTheEndOfTheIntRange()
{
    // With a total of 2^31-1, the last rows of the list have positions right below INT_MAX;
    // a full page there must not run positions past the int range.
    m_server->setHandler(searchPath, [](const QString& target) {
        const bool last = target.contains(QLatin1String("&start=2147483640&"));
        return ScriptedReply::ok(
            searchAnswer("2147483647", last ? page(2147483640, 200, 1, 1) : page(0, 200, 1, 1)));
    });
    m_server->setAnswer(afterPath, searchAnswer("2147483647", page(0, 200, 1, 1)));
    const QString q = QStringLiteral("x");
    QCOMPARE(m_api->NewSearch(q), INT_MAX);

    QCOMPARE(m_api->GetHeadword(2147483640, q), QStringLiteral("h2147483640"));
    QCOMPARE(m_api->m_firstPosition, 2147483640);
    QCOMPARE(m_api->m_lastPosition, INT_MAX);
    QCOMPARE(m_api->m_zadetki.size(), 8);
    QCOMPARE(m_api->m_zadetki.last().position, INT_MAX);
    QCOMPARE(m_api->GetHeadword(INT_MAX, q), QStringLiteral("h2147483647"));

    // Nothing lies after the last int position: asking around the end stays inside the window.
    m_server->clearRequests();
    QCOMPARE(m_api->EnsurePosition(INT_MAX, q), -1);
    QCOMPARE(m_api->GetDictionaryId(INT_MAX - 1, q), 70);
    QVERIFY(m_server->requests().isEmpty());
}

void TestHostileAnswers::absurdIndexAndIds()
{
    const QString q = QStringLiteral("x");
    m_server->setAnswer(searchPath,
                        searchAnswer("3", "<entry><headword>a</headword><dictionary_id>99999999999"
                                          "</dictionary_id><entry_id>-99999999999</entry_id>"
                                          "<order>1</order></entry>"));
    m_server->setAnswer(entryPath, "<r><html_content>geslo</html_content></r>");
    QCOMPARE(m_api->NewSearch(q), 3);

    // Ids beyond the int range clamp and travel as sent back; nothing wraps around.
    QCOMPARE(m_api->GetDictionaryId(0, q), INT_MAX);
    QCOMPARE(m_api->GetEntryHtml(0, q), QStringLiteral("geslo"));
    QCOMPARE(m_server->requests(entryPath),
             QStringList{entryPath + QStringLiteral("?licenceKey=vbx_local_2026&dictionaryId=2147483647&"
                                                    "entryId=-2147483648")});

    // An index below -1 is passed on as read and leaves the window alone.
    for (const QByteArray& index :
         {QByteArray("-7"), QByteArray("-2147483648"), QByteArray("-99999999999")}) {
        m_server->setAnswer(indexPath, "<r><relative_index>" + index + "</relative_index></r>");
        QCOMPARE(m_api->GetHeadwordIndex(q, q + QLatin1Char('*')),
                 int(qMax<qint64>(index.toLongLong(), INT_MIN)));
        QCOMPARE(m_api->m_firstPosition, 0);
        QCOMPARE(m_api->m_lastPosition, 0);
    }
}

void TestHostileAnswers::ordersGoingBackwards()
{
    // Orders that fall (and go negative) are the service's own business: the next page is
    // asked for after the last order held, whatever it is, and positions keep rising.
    const QString q = QStringLiteral("x");
    m_server->setAnswer(searchPath, searchAnswer("450", page(0, 200, 100, -1)));
    m_server->setHandler(afterPath, [](const QString& target) {
        if (target.contains(QLatin1String("&start=-99&")))
            return ScriptedReply::ok(searchAnswer("450", page(200, 200, -100, -1)));
        return ScriptedReply::ok(searchAnswer("450", page(400, 50, INT_MIN, 0)));
    });

    QCOMPARE(m_api->NewSearch(q), 450);
    QCOMPARE(m_api->GetHeadword(200, q), QStringLiteral("h200"));
    QCOMPARE(m_api->GetHeadword(400, q), QStringLiteral("h400"));
    QCOMPARE(m_api->GetHeadword(449, q), QStringLiteral("h449"));
    QCOMPARE(m_api->m_firstPosition, 0);
    QCOMPARE(m_api->m_lastPosition, 449);
    const QStringList after = m_server->requests(afterPath);
    QCOMPARE(after.size(), 2);
    QVERIFY(after.at(0).contains(QLatin1String("&start=-99&")));
    QVERIFY(after.at(1).contains(QLatin1String("&start=-299&")));

    // An order of INT_MIN is sent as it is, not mangled.
    QCOMPARE(m_api->EnsurePosition(450, q), 450);
    QVERIFY(m_server->requests(afterPath).last().contains(QLatin1String("&start=-2147483648&")));
}

QTEST_GUILESS_MAIN(TestHostileAnswers)
#include "tst_hostileanswers.moc"
