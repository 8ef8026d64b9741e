// The service's answers over real HTTP, as the client reads them: element names, value
// forms, paging, ordering, wildcards, dictionary selection, refusals and messages.
#include "tests/service/servicefixture.h"

#include <QTest>
#include <algorithm>

using Hits = QList<QByteArray>;

namespace {

const QByteArray config =
    "{\n"
    "  \"dictionaries\": [\n"
    "    {\"id\": 70, \"name\": \"Prvi slovar\", \"author\": \"Avtor Prvi\", \"languages\": [\"sl\"], "
    "\"type\": 1,\n"
    "     \"lingualism\": 1, \"icon\": \"prvi.png\", \"source\": \"prvi\"},\n"
    "    {\"id\": 58, \"name\": \"Drugi slovar\", \"author\": \"Avtorica Druga\", \"languages\": [\"sl\", "
    "\"en\"], \"type\": 1,\n"
    "     \"lingualism\": 2, \"source\": \"drugi.index\"},\n"
    "    {\"id\": 12, \"name\": \"Tretji\", \"author\": \"\", \"languages\": [], \"type\": 2, "
    "\"lingualism\": 1, \"source\": \"tretji\"}\n"
    "  ],\n"
    "  \"messages\": [\n"
    "    {\"kind\": \"version\", \"id\": 2, \"title\": \"V\", \"body\": \"vb\", \"log\": \"vl\"},\n"
    "    {\"kind\": \"welcome\", \"id\": 3, \"url\": \"http://127.0.0.1/dobrodosli\"},\n"
    "    {\"kind\": \"news\", \"id\": 5, \"title\": \"Stare novice\", \"body\": \"staro\", \"log\": \"\"},\n"
    "    {\"kind\": \"upgrade\", \"id\": 8, \"url\": \"http://127.0.0.1/nova\", \"title\": \"Nova\", "
    "\"body\": \"b\\\\nc\",\n"
    "     \"log\": \"l\", \"required\": true},\n"
    "    {\"kind\": \"news\", \"id\": 9, \"title\": \"Novice\", \"body\": \"prva\\nvrstica\", \"log\": "
    "\"dnevnik\"}\n"
    "  ]\n"
    "}";

// Every headword of the fixture in the service's order ("*", all dictionaries).
const Hits everything = {"abc@12",     "cesta@70", "čaj@70",  "čas@58",   "ćevap@70", "dan@70",
                         "ena@70",     "élan@70",  "fant@70", "kocka@58", "lipa@70",  "Ljubljana@70",
                         "miza@70",    "Miza@70",  "miza@58", "mizar@70", "mizar@58", "mizica@58",
                         "R&B <x>@12", "sol@70",   "šola@70", "toplo@70", "xyz@12",   "zebra@58",
                         "zima@70",    "žaba@70"};

QByteArray searchTarget(const QByteArray& query, const QList<int>& dictionaries, int start, int rows = 200,
                        const char* path = "/1.0/search")
{
    QByteArray target = QByteArray(path) + "?licenceKey=" + ServiceFixture::key + "&query=" + query;
    for (const int id : dictionaries)
        target += "&dictionaryId=" + QByteArray::number(id);
    return target + "&start=" + QByteArray::number(start) + "&rows=" + QByteArray::number(rows);
}

} // namespace

class ServiceContractTest : public QObject
{
    Q_OBJECT

private:
    ServiceFixture m_service;
    QByteArray m_iconBytes;

    // Every hit of a query, paged through with entries-after as the client does.
    static Hits allPages(const ServiceFixture& service, const QByteArray& query,
                         const QList<int>& dictionaries, int* total, QList<qint64>* orders)
    {
        Hits out;
        auto answer = service.get(searchTarget(query, dictionaries, 0));
        *total = ServiceFixture::text(answer->xml, "total").toInt();
        for (int guard = 0; guard < 100; ++guard) {
            const Hits page = ServiceFixture::hits(answer->xml);
            if (page.isEmpty())
                break;
            out += page;
            qint64 last = -1;
            for (const pugi::xpath_node& node : answer->xml.select_nodes("//entry/order")) {
                last = node.node().text().as_llong();
                orders->append(last);
            }
            answer = service.get(
                searchTarget(query, dictionaries, static_cast<int>(last), 200, "/1.0/search/entries-after"));
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        const auto text = [](const QByteArray& headword, const QByteArray& body) {
            return ServiceFixture::Entry{headword, headword + " <n>\n" + body + "\n"};
        };
        m_service.writeDictd(
            QStringLiteral("prvi"),
            {{"miza", "miza /mîza/ <n, f>\n[pohištvo] table\n      \"Na mizi je kruh.\" - Bread.\n"},
             {"Miza", "Miza <prop>\na surname; see {miza} and {Đakovo čez}\n"},
             text("mizar", "carpenter & <joiner>"),
             text("čaj", "tea"),
             text("cesta", "road"),
             text("ćevap", "kebab"),
             text("dan", "day"),
             text("šola", "school"),
             text("sol", "salt"),
             text("toplo", "warm"),
             text("zima", "winter"),
             text("žaba", "frog"),
             text("Ljubljana", "capital"),
             text("lipa", "linden"),
             text("ena", "one"),
             text("élan", "verve"),
             text("fant", "boy")});
        m_service.writeDictd(QStringLiteral("drugi"),
                             {text("miza", "Tisch"), text("mizica", "Tischlein"), text("čas", "Zeit"),
                              text("kocka", "Würfel"), text("zebra", "Zebra"), text("mizar", "Tischler")},
                             true);
        m_service.writeDictd(QStringLiteral("tretji"), {text("abc", "letters"), text("xyz", "more letters"),
                                                        text("R&B <x>", "markup in a headword")});
        // A real 1 x 1 PNG as the configured icon of dictionary 70.
        m_iconBytes = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8B"
                                             "QDwAEhQGAhKmMIQAAAABJRU5ErkJggg==");
        m_service.writeFile(QStringLiteral("prvi.png"), m_iconBytes);
        QString error;
        QVERIFY2(m_service.start(config, &error), qPrintable(error));
    }

    void dictionaryList()
    {
        const auto answer = m_service.get("/1.0/dictionary/list?licenceKey=" + ServiceFixture::key);
        QCOMPARE(answer->status, 200);
        QVERIFY(answer->contentType.startsWith("text/xml"));
        QList<QByteArray> seen;
        for (const pugi::xpath_node& node : answer->xml.select_nodes("//dictionary")) {
            const pugi::xml_node d = node.node();
            QByteArray row = QByteArray(d.child("id").text().get()) + '|' + d.child("name").text().get() +
                             '|' + d.child("author").text().get() + '|' + d.child("type").text().get() + '|' +
                             d.child("lingualism").text().get() + '|';
            for (const pugi::xml_node language : d.children("language"))
                row += QByteArray(language.text().get()) + ',';
            seen.append(row);
        }
        const QList<QByteArray> expected = {"70|Prvi slovar|Avtor Prvi|1|1|sl,",
                                            "58|Drugi slovar|Avtorica Druga|1|2|sl,en,", "12|Tretji||2|1|"};
        QCOMPARE(seen, expected);
    }

    void resultList_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QList<int>>("dictionaries");
        QTest::addColumn<Hits>("expected");

        QTest::newRow("star: everything, č after c, š after s, ž after z, case ignored, ties by dictionary")
            << QByteArray("%2a") << QList<int>() << everything;
        QTest::newRow("prefix, letter case ignored")
            << QByteArray("MI") << QList<int>()
            << Hits{"miza@70", "Miza@70", "miza@58", "mizar@70", "mizar@58", "mizica@58"};
        QTest::newRow("c does not match č or ć") << QByteArray("c") << QList<int>() << Hits{"cesta@70"};
        QTest::newRow("č as sent by the client")
            << QByteArray("%c4%8d") << QList<int>() << Hits{"čaj@70", "čas@58"};
        QTest::newRow("Č in capitals") << QByteArray("%c4%8c") << QList<int>() << Hits{"čaj@70", "čas@58"};
        QTest::newRow("decomposed c + caron is č")
            << QByteArray("c%cc%8c") << QList<int>() << Hits{"čaj@70", "čas@58"};
        QTest::newRow("s does not match š") << QByteArray("s") << QList<int>() << Hits{"sol@70"};
        QTest::newRow("š") << QByteArray("%c5%a1") << QList<int>() << Hits{"šola@70"};
        QTest::newRow("z does not match ž") << QByteArray("z") << QList<int>() << Hits{"zebra@58", "zima@70"};
        QTest::newRow("e matches only plain e") << QByteArray("en") << QList<int>() << Hits{"ena@70"};
        QTest::newRow("whole headword needs no wildcard")
            << QByteArray("mizar") << QList<int>() << Hits{"mizar@70", "mizar@58"};
        QTest::newRow("? is one character")
            << QByteArray("mi%3fa") << QList<int>() << Hits{"miza@70", "Miza@70", "miza@58"};
        QTest::newRow("? is one letter, also č") << QByteArray("%3faj") << QList<int>() << Hits{"čaj@70"};
        QTest::newRow("pattern must match the whole headword")
            << QByteArray("%2aa") << QList<int>()
            << Hits{"cesta@70", "ena@70",    "kocka@58", "lipa@70",  "Ljubljana@70", "miza@70", "Miza@70",
                    "miza@58",  "mizica@58", "šola@70",  "zebra@58", "zima@70",      "žaba@70"};
        QTest::newRow("star inside") << QByteArray("%2az%2ar") << QList<int>()
                                     << Hits{"mizar@70", "mizar@58"};
        QTest::newRow("trailing star is a prefix") << QByteArray("zi%2a") << QList<int>() << Hits{"zima@70"};
        QTest::newRow("one dictionary")
            << QByteArray("mi") << QList<int>{58} << Hits{"miza@58", "mizar@58", "mizica@58"};
        QTest::newRow("two dictionaries in any order")
            << QByteArray("mi") << QList<int>{58, 70}
            << Hits{"miza@70", "Miza@70", "miza@58", "mizar@70", "mizar@58", "mizica@58"};
        QTest::newRow("repeated dictionary")
            << QByteArray("mi") << QList<int>{58, 58} << Hits{"miza@58", "mizar@58", "mizica@58"};
        QTest::newRow("unknown dictionary selects nothing") << QByteArray("%2a") << QList<int>{999} << Hits{};
        QTest::newRow("unknown dictionary is left out")
            << QByteArray("%2a") << QList<int>{999, 12} << Hits{"abc@12", "R&B <x>@12", "xyz@12"};
        QTest::newRow("pattern in one dictionary")
            << QByteArray("mi%3fa") << QList<int>{58} << Hits{"miza@58"};
        QTest::newRow("nothing matches") << QByteArray("qq") << QList<int>() << Hits{};
        QTest::newRow("NUL byte matches nothing") << QByteArray("%00") << QList<int>() << Hits{};
        QTest::newRow("empty query is everything") << QByteArray("") << QList<int>() << everything;
    }

    void resultList()
    {
        QFETCH(QByteArray, query);
        QFETCH(QList<int>, dictionaries);
        QFETCH(Hits, expected);
        const auto answer = m_service.get(searchTarget(query, dictionaries, 0));
        QCOMPARE(answer->status, 200);
        QCOMPARE(ServiceFixture::hits(answer->xml), expected);
        QCOMPARE(ServiceFixture::text(answer->xml, "total").toInt(), expected.size());
        // order increases along the list
        qint64 previous = -1;
        for (const pugi::xpath_node& node : answer->xml.select_nodes("//entry/order")) {
            QVERIFY(node.node().text().as_llong() > previous);
            previous = node.node().text().as_llong();
        }
    }

    void searchStartIsAListPosition()
    {
        const auto answer = m_service.get(searchTarget("%2a", {}, 10, 3));
        QCOMPARE(ServiceFixture::text(answer->xml, "total"), QByteArray("26"));
        QCOMPARE(ServiceFixture::hits(answer->xml), everything.mid(10, 3));

        const auto past = m_service.get(searchTarget("%2a", {}, 26));
        QCOMPARE(past->status, 200);
        QCOMPARE(ServiceFixture::text(past->xml, "total"), QByteArray("26"));
        QVERIFY(ServiceFixture::hits(past->xml).isEmpty());
    }

    void entriesAfterContinuesAfterTheOrder()
    {
        const auto first = m_service.get(searchTarget("mi", {70, 58}, 0, 2));
        const QList<QByteArray> firstHits = ServiceFixture::hits(first->xml);
        QCOMPARE(firstHits, (Hits{"miza@70", "Miza@70"}));
        const qint64 last =
            first->xml.select_nodes("//entry/order")[first->xml.select_nodes("//entry/order").size() - 1]
                .node()
                .text()
                .as_llong();
        const auto next = m_service.get(
            searchTarget("mi", {70, 58}, static_cast<int>(last), 200, "/1.0/search/entries-after"));
        QCOMPARE(next->status, 200);
        QCOMPARE(ServiceFixture::text(next->xml, "total"), QByteArray("6"));
        QCOMPARE(ServiceFixture::hits(next->xml), (Hits{"miza@58", "mizar@70", "mizar@58", "mizica@58"}));
        const qint64 end =
            next->xml.select_nodes("//entry/order")[next->xml.select_nodes("//entry/order").size() - 1]
                .node()
                .text()
                .as_llong();
        const auto after = m_service.get(
            searchTarget("mi", {70, 58}, static_cast<int>(end), 200, "/1.0/search/entries-after"));
        QCOMPARE(after->status, 200);
        QVERIFY(ServiceFixture::hits(after->xml).isEmpty());
        QCOMPARE(ServiceFixture::text(after->xml, "total"), QByteArray("6"));
    }

    void pagingLargeLists_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QList<int>>("dictionaries");
        QTest::newRow("all dictionaries") << QByteArray("%2a") << QList<int>();
        QTest::newRow("two of four dictionaries") << QByteArray("%2a") << QList<int>{9000, 58};
        QTest::newRow("prefix in two dictionaries") << QByteArray("k") << QList<int>{70, 9000};
        QTest::newRow("pattern") << QByteArray("%2aa") << QList<int>{9000, 58};
    }

    // Pages of 200 through a list of over a thousand hits: entries-after and search with a
    // start position give the same list, which is the full list narrowed to the dictionaries.
    void pagingLargeLists()
    {
        QFETCH(QByteArray, query);
        QFETCH(QList<int>, dictionaries);
        ServiceFixture big;
        big.writeDictd(QStringLiteral("prvi"), {{"kava", "kava\ncoffee\n"}, {"zadnja", "zadnja\nlast\n"}});
        big.writeDictd(QStringLiteral("drugi"),
                       {{"kaša", "kaša\nporridge\n"}, {"ajda", "ajda\nbuckwheat\n"}});
        QString error;
        QVERIFY2(
            big.start(R"({"dictionaries": [{"id": 70, "source": "prvi"}, {"id": 58, "source": "drugi"}]})",
                      &error, 10000),
            qPrintable(error));
        int total = 0;
        QList<qint64> orders;
        const Hits viaEntriesAfter = allPages(big, query, dictionaries, &total, &orders);
        QCOMPARE(viaEntriesAfter.size(), total);
        QVERIFY(total > 400);
        QVERIFY(std::is_sorted(orders.begin(), orders.end()));
        QCOMPARE(std::adjacent_find(orders.begin(), orders.end()), orders.end());

        Hits viaStart;
        for (int start = 0; start < total; start += 200) {
            const auto page = big.get(searchTarget(query, dictionaries, start, 500));
            const Hits hits = ServiceFixture::hits(page->xml);
            QCOMPARE(hits.size(), std::min(200, total - start)); // rows capped at 200
            viaStart += hits;
        }
        QCOMPARE(viaStart, viaEntriesAfter);

        int allTotal = 0;
        QList<qint64> allOrders;
        const Hits all = allPages(big, query, {}, &allTotal, &allOrders);
        Hits narrowed;
        for (const QByteArray& hit : all)
            if (dictionaries.isEmpty() || dictionaries.contains(hit.mid(hit.lastIndexOf('@') + 1).toInt()))
                narrowed.append(hit);
        QCOMPARE(viaEntriesAfter, narrowed);
    }

    void rowsZeroGivesTotalOnly()
    {
        const auto answer = m_service.get(searchTarget("%2a", {}, 0, 0));
        QCOMPARE(answer->status, 200);
        QCOMPARE(ServiceFixture::text(answer->xml, "total"), QByteArray("26"));
        QVERIFY(ServiceFixture::hits(answer->xml).isEmpty());
    }

    void entryIndex_data()
    {
        QTest::addColumn<QByteArray>("parameters");
        QTest::addColumn<int>("expected");
        QTest::newRow("headword with star, no query") << QByteArray("&headword=mi%2a") << 12;
        QTest::newRow("headword without star") << QByteArray("&headword=mi") << 12;
        QTest::newRow("capitals") << QByteArray("&headword=MIZAR%2a") << 15;
        QTest::newRow("within the query's list") << QByteArray("&headword=mizi%2a&query=mi") << 5;
        QTest::newRow("absent headword") << QByteArray("&headword=qq%2a") << -1;
        QTest::newRow("absent after the last entry") << QByteArray("&headword=%c5%beu%2a") << -1;
        QTest::newRow("pattern headword") << QByteArray("&headword=mi%3fi%2a") << 17;
        QTest::newRow("star alone") << QByteArray("&headword=%2a") << 0;
        QTest::newRow("in one dictionary") << QByteArray("&headword=m%2a&dictionaryId=58") << 2;
        QTest::newRow("headword outside the query's list") << QByteArray("&headword=dan%2a&query=mi") << -1;
        QTest::newRow("headword of another dictionary")
            << QByteArray("&headword=abc%2a&dictionaryId=58") << -1;
    }

    void entryIndex()
    {
        QFETCH(QByteArray, parameters);
        QFETCH(int, expected);
        const auto answer =
            m_service.get("/1.0/search/entry-index?licenceKey=" + ServiceFixture::key + parameters);
        QCOMPARE(answer->status, 200);
        QCOMPARE(ServiceFixture::text(answer->xml, "relative_index").toInt(), expected);
        const QByteArray selected = ServiceFixture::text(answer->xml, "selected_order");
        if (expected < 0) {
            QCOMPARE(selected, QByteArray("-1"));
            return;
        }
        // selected_order is the order of the entry at that position of the same list
        QByteArray query = "%2a";
        QList<int> dictionaries;
        if (parameters.contains("&query="))
            query = parameters.mid(parameters.indexOf("&query=") + 7).split('&').first();
        if (parameters.contains("&dictionaryId="))
            dictionaries.append(parameters.mid(parameters.indexOf("&dictionaryId=") + 14).toInt());
        const auto page = m_service.get(searchTarget(query, dictionaries, expected, 1));
        QCOMPARE(selected, ServiceFixture::text(page->xml, "order"));
    }

    void getEntry()
    {
        const auto answer = m_service.get("/1.0/search/get-entry?licenceKey=" + ServiceFixture::key +
                                          "&dictionaryId=70&entryId=1");
        QCOMPARE(answer->status, 200);
        const pugi::xml_node html = answer->xml.select_node("//html_content").node();
        QVERIFY(html);
        const pugi::xml_node div = html.first_child();
        QCOMPARE(div.type(), pugi::node_element);
        QCOMPARE(QByteArray(div.name()), QByteArray("div"));
        QCOMPARE(QByteArray(div.select_node("p[@class='headword']/b").node().text().get()),
                 QByteArray("miza"));
        QCOMPARE(QByteArray(div.select_node(".//span[@class='pronunciation']").node().text().get()),
                 QByteArray("/mîza/"));
        QCOMPARE(QByteArray(div.select_node(".//span[@class='grammar']").node().text().get()),
                 QByteArray("<n, f>"));
        QCOMPARE(QByteArray(div.select_node(".//span[@class='label']").node().text().get()),
                 QByteArray("[pohištvo]"));
        QCOMPARE(QByteArray(div.select_node("p[@class='example']").node().text().get()),
                 QByteArray("\"Na mizi je kruh.\" - Bread."));
    }

    void getEntryCrossReferencesAndEscaping()
    {
        const auto answer = m_service.get("/1.0/search/get-entry?licenceKey=" + ServiceFixture::key +
                                          "&dictionaryId=70&entryId=2");
        const pugi::xpath_node_set links = answer->xml.select_nodes("//html_content//a");
        QCOMPARE(links.size(), size_t(2));
        QCOMPARE(QByteArray(links[0].node().attribute("href").value()), QByteArray("/Search.aspx/miza"));
        QCOMPARE(QByteArray(links[0].node().text().get()), QByteArray("miza"));
        QCOMPARE(QByteArray(links[1].node().attribute("href").value()),
                 QByteArray("/Search.aspx/%C4%90akovo%20%C4%8Dez"));
        QVERIFY(answer->body.contains("<a href=\"/Search.aspx/miza\">miza</a>"));

        const auto escaped = m_service.get("/1.0/search/get-entry?licenceKey=" + ServiceFixture::key +
                                           "&dictionaryId=70&entryId=3");
        QVERIFY(escaped->body.contains("carpenter &amp; &lt;joiner&gt;"));
        QCOMPARE(
            QByteArray(escaped->xml.select_node("//html_content//p[@class='sense']").node().text().get()),
            QByteArray("carpenter & <joiner>"));
    }

    void getEntryOfEveryHit()
    {
        const auto list = m_service.get(searchTarget("%2a", {}, 0));
        for (const pugi::xpath_node& node : list->xml.select_nodes("//entry")) {
            const QByteArray target = "/1.0/search/get-entry?licenceKey=" + ServiceFixture::key +
                                      "&dictionaryId=" + node.node().child("dictionary_id").text().get() +
                                      "&entryId=" + node.node().child("entry_id").text().get();
            const auto entry = m_service.get(target);
            QCOMPARE(entry->status, 200);
            QCOMPARE(QByteArray(entry->xml.select_node("//html_content/div/p/b").node().text().get()),
                     QByteArray(node.node().child("headword").text().get()));
        }
    }

    void missingEntry_data()
    {
        QTest::addColumn<QByteArray>("parameters");
        QTest::newRow("entry id past the end") << QByteArray("&dictionaryId=70&entryId=18");
        QTest::newRow("entry id 0") << QByteArray("&dictionaryId=70&entryId=0");
        QTest::newRow("negative entry id") << QByteArray("&dictionaryId=70&entryId=-1");
        QTest::newRow("unknown dictionary") << QByteArray("&dictionaryId=71&entryId=1");
    }

    void missingEntry()
    {
        QFETCH(QByteArray, parameters);
        const auto answer =
            m_service.get("/1.0/search/get-entry?licenceKey=" + ServiceFixture::key + parameters);
        QCOMPARE(answer->status, 404);
        QVERIFY(answer->xml.select_node("/error/message"));
    }

    void icons()
    {
        const auto configured =
            m_service.get("/1.0/dictionary/icon?licenceKey=" + ServiceFixture::key + "&dictionaryId=70");
        QCOMPARE(configured->status, 200);
        QCOMPARE(configured->contentType, QByteArray("image/png"));
        QCOMPARE(configured->body, m_iconBytes);
        QCOMPARE(configured->contentLength, QByteArray::number(m_iconBytes.size()));

        // A dictionary without an icon gets a generated 16 x 16 PNG.
        const auto generated =
            m_service.get("/1.0/dictionary/icon?licenceKey=" + ServiceFixture::key + "&dictionaryId=58");
        QCOMPARE(generated->status, 200);
        QVERIFY(generated->body.startsWith("\x89PNG\r\n\x1a\n"));
        QCOMPARE(generated->contentLength, QByteArray::number(generated->body.size()));
        QCOMPARE(generated->body.mid(12, 4), QByteArray("IHDR"));
        QCOMPARE(generated->body.mid(16, 8), QByteArray::fromHex("0000001000000010"));

        const auto unknown =
            m_service.get("/1.0/dictionary/icon?licenceKey=" + ServiceFixture::key + "&dictionaryId=5");
        QCOMPARE(unknown->status, 404);
    }

    void licenceKey_data()
    {
        QTest::addColumn<QByteArray>("target");
        const QList<QByteArray> paths = {
            "/1.0/dictionary/list?",
            "/1.0/search?query=mi&start=0&rows=200&",
            "/1.0/search/entries-after?query=mi&start=0&rows=200&",
            "/1.0/search/entry-index?headword=mi%2a&",
            "/1.0/search/get-entry?dictionaryId=70&entryId=1&",
            "/1.0/dictionary/icon?dictionaryId=70&",
        };
        for (const QByteArray& path : paths) {
            const QByteArray name = path.left(path.indexOf('?'));
            QTest::newRow(QByteArray(name + ": no key").constData()) << path;
            QTest::newRow(QByteArray(name + ": wrong key").constData())
                << QByteArray(path + "licenceKey=vbx_other");
            QTest::newRow(QByteArray(name + ": key in other case").constData())
                << QByteArray(path + "licenceKey=" + ServiceFixture::key.toUpper());
            QTest::newRow(QByteArray(name + ": a right and a wrong key").constData())
                << QByteArray(path + "licenceKey=" + ServiceFixture::key + "&licenceKey=vbx_other");
        }
    }

    void licenceKey()
    {
        QFETCH(QByteArray, target);
        const auto answer = m_service.get(target);
        QCOMPARE(answer->status, 403);
        QCOMPARE(ServiceFixture::text(answer->xml, "status"), QByteArray("403"));
    }

    void badParameters_data()
    {
        QTest::addColumn<QByteArray>("target");
        const QByteArray k = "licenceKey=" + ServiceFixture::key;
        QTest::newRow("search without query") << QByteArray("/1.0/search?" + k + "&start=0&rows=200");
        QTest::newRow("search without start") << QByteArray("/1.0/search?" + k + "&query=mi&rows=200");
        QTest::newRow("search with negative start")
            << QByteArray("/1.0/search?" + k + "&query=mi&start=-1&rows=200");
        QTest::newRow("search with start not a number")
            << QByteArray("/1.0/search?" + k + "&query=mi&start=abc&rows=200");
        QTest::newRow("search with start and text")
            << QByteArray("/1.0/search?" + k + "&query=mi&start=1x&rows=200");
        QTest::newRow("search with start too large")
            << QByteArray("/1.0/search?" + k + "&query=mi&start=99999999999&rows=200");
        QTest::newRow("search with negative rows")
            << QByteArray("/1.0/search?" + k + "&query=mi&start=0&rows=-5");
        QTest::newRow("search with rows in exponent form")
            << QByteArray("/1.0/search?" + k + "&query=mi&start=0&rows=1e3");
        QTest::newRow("search with start twice")
            << QByteArray("/1.0/search?" + k + "&query=mi&start=0&start=5&rows=200");
        QTest::newRow("search with bad dictionaryId")
            << QByteArray("/1.0/search?" + k + "&query=mi&dictionaryId=x&start=0");
        QTest::newRow("search with query not UTF-8")
            << QByteArray("/1.0/search?" + k + "&query=%ff%fe&start=0");
        QTest::newRow("search with overlong query")
            << QByteArray("/1.0/search?" + k + "&query=" + QByteArray(300, 'a') + "&start=0");
        QTest::newRow("entries-after without start")
            << QByteArray("/1.0/search/entries-after?" + k + "&query=mi");
        QTest::newRow("entry-index without headword")
            << QByteArray("/1.0/search/entry-index?" + k + "&query=mi");
        QTest::newRow("entry-index with headword not UTF-8")
            << QByteArray("/1.0/search/entry-index?" + k + "&headword=%c4");
        QTest::newRow("get-entry without entryId")
            << QByteArray("/1.0/search/get-entry?" + k + "&dictionaryId=70");
        QTest::newRow("get-entry without dictionaryId")
            << QByteArray("/1.0/search/get-entry?" + k + "&entryId=1");
        QTest::newRow("get-entry with entryId 1.5")
            << QByteArray("/1.0/search/get-entry?" + k + "&dictionaryId=70&entryId=1.5");
        QTest::newRow("icon without dictionaryId") << QByteArray("/1.0/dictionary/icon?" + k);
        QTest::newRow("icon with empty dictionaryId")
            << QByteArray("/1.0/dictionary/icon?" + k + "&dictionaryId=");
        QTest::newRow("messages without lastMessageId")
            << QByteArray("/1.0/messages?language=sl&version=2.0");
        QTest::newRow("messages with lastMessageId not a number")
            << QByteArray("/1.0/messages?language=sl&version=2.0&lastMessageId=x");
        QTest::newRow("messages without version") << QByteArray("/1.0/messages?language=sl&lastMessageId=0");
    }

    void badParameters()
    {
        QFETCH(QByteArray, target);
        const auto answer = m_service.get(target);
        QCOMPARE(answer->status, 400);
        QCOMPARE(ServiceFixture::text(answer->xml, "status"), QByteArray("400"));
        QVERIFY(!ServiceFixture::text(answer->xml, "message").isEmpty());
    }

    void hostileRequests_data()
    {
        QTest::addColumn<QByteArray>("target");
        const QByteArray k = "licenceKey=" + ServiceFixture::key;
        QByteArray manyDictionaries = "/1.0/search?" + k + "&query=%2a&start=0";
        for (int i = 0; i < 700; ++i)
            manyDictionaries += "&dictionaryId=" + QByteArray::number(i);
        QTest::newRow("700 dictionary ids") << manyDictionaries;
        QTest::newRow("request line over 8 KiB")
            << QByteArray("/1.0/search?" + k + "&query=" + QByteArray(9000, 'a'));
        QTest::newRow("truncated escape") << QByteArray("/1.0/search?" + k + "&query=%c&start=0");
        QTest::newRow("escape of a NUL in the key")
            << QByteArray("/1.0/search?licenceKey=%00&query=a&start=0");
        QTest::newRow("largest rows")
            << QByteArray("/1.0/search?" + k + "&query=%2a&start=0&rows=2147483647");
        QTest::newRow("largest start") << QByteArray("/1.0/search?" + k + "&query=%2a&start=2147483647");
        QTest::newRow("entries after the largest order")
            << QByteArray("/1.0/search/entries-after?" + k + "&query=%2a&start=2147483647");
        QTest::newRow("entries after the smallest order")
            << QByteArray("/1.0/search/entries-after?" + k + "&query=%2a&start=-2147483648");
        QTest::newRow("stars only") << QByteArray("/1.0/search?" + k + "&query=" + QByteArray(200, '*') +
                                                  "&start=0");
        QTest::newRow("alternating wildcards")
            << QByteArray("/1.0/search?" + k + "&query=" + QByteArray("%2a%3f").repeated(120) + "&start=0");
        QTest::newRow("pattern headword")
            << QByteArray("/1.0/search/entry-index?" + k + "&headword=" + QByteArray("%3f%2a").repeated(120));
        QTest::newRow("many parameters")
            << QByteArray("/1.0/dictionary/list?" + k + QByteArray("&x=1").repeated(1500));
        QTest::newRow("no query string at all") << QByteArray("/1.0/search");
        QTest::newRow("path traversal") << QByteArray("/1.0/../../etc/passwd");
    }

    // Whatever arrives, the service answers (200, 4xx) and goes on answering.
    void hostileRequests()
    {
        QFETCH(QByteArray, target);
        const auto answer = m_service.get(target);
        QVERIFY2(answer->status == 200 || (answer->status >= 400 && answer->status < 500),
                 qPrintable(QString::number(answer->status)));
        if (answer->status == 200)
            QVERIFY(answer->xml.document_element());
        const auto after = m_service.get("/1.0/dictionary/list?licenceKey=" + ServiceFixture::key);
        QCOMPARE(after->status, 200);
    }

    void unknownAddress()
    {
        const auto answer = m_service.get("/1.0/nothing?licenceKey=" + ServiceFixture::key);
        QCOMPARE(answer->status, 404);
        QVERIFY(answer->xml.select_node("/error"));
    }

    void messages_data()
    {
        QTest::addColumn<QByteArray>("lastMessageId");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::newRow("first run: the newest of each kind")
            << QByteArray("0")
            << QList<QByteArray>{"welcome=http://127.0.0.1/dobrodosli", "news=9|Novice|prva\nvrstica|dnevnik",
                                 "version=2|V|vb|vl", "upgrade=8|http://127.0.0.1/nova|Nova|b\\nc|l|true",
                                 "last=9"};
        QTest::newRow("after 5: only newer items")
            << QByteArray("5")
            << QList<QByteArray>{"news=9|Novice|prva\nvrstica|dnevnik",
                                 "upgrade=8|http://127.0.0.1/nova|Nova|b\\nc|l|true", "last=9"};
        QTest::newRow("after 8") << QByteArray("8")
                                 << QList<QByteArray>{"news=9|Novice|prva\nvrstica|dnevnik", "last=9"};
        QTest::newRow("all seen: nothing") << QByteArray("9") << QList<QByteArray>{};
        QTest::newRow("id from the future") << QByteArray("100") << QList<QByteArray>{};
        QTest::newRow("negative id") << QByteArray("-3")
                                     << QList<QByteArray>{
                                            "welcome=http://127.0.0.1/dobrodosli",
                                            "news=9|Novice|prva\nvrstica|dnevnik", "version=2|V|vb|vl",
                                            "upgrade=8|http://127.0.0.1/nova|Nova|b\\nc|l|true", "last=9"};
    }

    void messages()
    {
        QFETCH(QByteArray, lastMessageId);
        QFETCH(QList<QByteArray>, expected);
        // As the client sends it: no licence key.
        const auto answer =
            m_service.get("/1.0/messages?language=sl&version=2.0&lastMessageId=" + lastMessageId);
        QCOMPARE(answer->status, 200);
        QList<QByteArray> seen;
        const pugi::xml_node root = answer->xml.document_element();
        for (const pugi::xml_node item : root.children()) {
            const QByteArray name = item.name();
            const auto child = [&item](const char* n) { return QByteArray(item.child(n).text().get()); };
            if (name == "welcome")
                seen.append("welcome=" + QByteArray(item.text().get()));
            else if (name == "news" || name == "version")
                seen.append(name + '=' + item.attribute("id").value() + '|' + child("title") + '|' +
                            child("body") + '|' + child("log"));
            else if (name == "upgrade")
                seen.append("upgrade=" + QByteArray(item.attribute("id").value()) + '|' + child("url") + '|' +
                            child("title") + '|' + child("body") + '|' + child("log") + '|' +
                            child("required"));
            else if (name == "last_message_id")
                seen.append("last=" + QByteArray(item.text().get()));
        }
        QCOMPARE(seen, expected);
    }

    void messagesWithEmptyVersion()
    {
        // The client sends "version=" when it cannot read its own version.
        const auto answer = m_service.get("/1.0/messages?language=sl&version=&lastMessageId=8");
        QCOMPARE(answer->status, 200);
        QCOMPARE(ServiceFixture::text(answer->xml, "last_message_id"), QByteArray("9"));
    }
};

QTEST_GUILESS_MAIN(ServiceContractTest)
#include "tst_servicecontract.moc"
