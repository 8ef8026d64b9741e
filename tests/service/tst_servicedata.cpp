// Reading dictionaries and the config: dictd files as Debian's FreeDict packages install
// them (plain and dictzip), damaged index lines, config errors and warnings.
#include "tests/service/servicefixture.h"

#include <QTest>

class ServiceDataTest : public QObject
{
    Q_OBJECT

private slots:
    void dictdIndexLines()
    {
        ServiceFixture service;
        const QByteArray data = "00-database-short\n   Testni slovar FreeDict\n"
                                "kos\nblackbird\n"
                                "caf\xff\ncafe\n"
                                "vrh\ntop\n";
        service.writeFile(QStringLiteral("test.dict"), data);
        service.writeFile(QStringLiteral("test.index"), "00-database-short\tA\ts\n"
                                                        "00databaseinfo\tA\tB\n"
                                                        "kos\ts\tO\n"
                                                        "no tabs at all\n"
                                                        "bad digit\tA!\tB\n"
                                                        "past the end\tA\tBN\n"
                                                        "huge offset\t/////////\tB\n"
                                                        "\tA\tB\n"
                                                        "caf\xff\t6\tK\r\n"
                                                        "vrh\tBE\tI\textra field\n");
        QString error;
        QVERIFY2(service.start(R"({"dictionaries": [{"id": 4, "source": "test.index"}]})", &error),
                 qPrintable(error));
        QVERIFY2(
            service.warnings().join(QLatin1Char('\n')).contains(QStringLiteral("5 bad index lines skipped")),
            qPrintable(service.warnings().join(QLatin1Char('\n'))));

        const auto list = service.get("/1.0/dictionary/list?licenceKey=" + ServiceFixture::key);
        // Without a name in the config the dictionary's own short description is used.
        QCOMPARE(ServiceFixture::text(list->xml, "name"), QByteArray("Testni slovar FreeDict"));

        const auto all = service.get("/1.0/search?licenceKey=" + ServiceFixture::key + "&query=%2a&start=0");
        QCOMPARE(ServiceFixture::hits(all->xml), (QList<QByteArray>{"caf\xef\xbf\xbd@4", "kos@4", "vrh@4"}));
        QVERIFY(all->body.contains("caf\xef\xbf\xbd")); // the broken byte became U+FFFD: the answer is UTF-8

        const auto entry = service.get("/1.0/search/get-entry?licenceKey=" + ServiceFixture::key +
                                       "&dictionaryId=4&entryId=3");
        QCOMPARE(QByteArray(entry->xml.select_node("//html_content//p[@class='sense']").node().text().get()),
                 QByteArray("top"));
    }

    void dictzipAndPlainGiveTheSameEntries()
    {
        const QList<ServiceFixture::Entry> entries = {
            {"žaba", "žaba /ʒâba/ <n, f>\n frog\n      \"Žaba skače.\" - The frog jumps.\n"},
            {"abeceda", "abeceda <n, f>\nalphabet; see {črka}\n"}};
        QByteArray answers[2];
        for (int compressed = 0; compressed < 2; ++compressed) {
            ServiceFixture service;
            service.writeDictd(QStringLiteral("slv-eng"), entries, compressed == 1);
            QString error;
            QVERIFY2(
                service.start(R"({"dictionaries": [{"id": 9, "name": "S", "source": "slv-eng"}]})", &error),
                qPrintable(error));
            for (int id = 1; id <= 2; ++id)
                answers[compressed] += service
                                           .get("/1.0/search/get-entry?licenceKey=" + ServiceFixture::key +
                                                "&dictionaryId=9&entryId=" + QByteArray::number(id))
                                           ->body;
        }
        QVERIFY(answers[0].contains("<b>žaba</b>"));
        QVERIFY(answers[0].contains("<a href=\"/Search.aspx/%C4%8Drka\">črka</a>"));
        QCOMPARE(answers[1], answers[0]);
    }

    void configErrors_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("expected");
        QTest::newRow("not JSON") << QByteArray("{dictionaries: [") << QStringLiteral("not a JSON object");
        QTest::newRow("dictionaries not a list")
            << QByteArray(R"({"dictionaries": {}})") << QStringLiteral("must be an array");
        QTest::newRow("missing id") << QByteArray(R"({"dictionaries": [{"source": "a"}]})")
                                    << QStringLiteral("missing \"id\"");
        QTest::newRow("id as text") << QByteArray(R"({"dictionaries": [{"id": "7", "source": "a"}]})")
                                    << QStringLiteral("\"id\" must be an integer");
        QTest::newRow("same id twice")
            << QByteArray(R"({"dictionaries": [{"id": 7, "source": "a"}, {"id": 7, "source": "a"}]})")
            << QStringLiteral("used twice");
        QTest::newRow("type 3") << QByteArray(R"({"dictionaries": [{"id": 7, "type": 3, "source": "a"}]})")
                                << QStringLiteral("\"type\" must be 1");
        QTest::newRow("lingualism 0")
            << QByteArray(R"({"dictionaries": [{"id": 7, "lingualism": 0, "source": "a"}]})")
            << QStringLiteral("\"lingualism\" must be 1");
        QTest::newRow("missing source")
            << QByteArray(R"({"dictionaries": [{"id": 7}]})") << QStringLiteral("missing \"source\"");
        QTest::newRow("source not installed")
            << QByteArray(R"({"dictionaries": [{"id": 7, "source": "nowhere"}]})")
            << QStringLiteral("cannot open");
        QTest::newRow("languages not a list")
            << QByteArray(R"({"dictionaries": [{"id": 7, "languages": "sl", "source": "a"}]})")
            << QStringLiteral("\"languages\" must be an array");
        QTest::newRow("message of unknown kind")
            << QByteArray(R"({"messages": [{"kind": "ad", "id": 1}]})") << QStringLiteral("\"kind\" must be");
        QTest::newRow("message id 0") << QByteArray(R"({"messages": [{"kind": "news", "id": 0}]})")
                                      << QStringLiteral("\"id\" must be positive");
    }

    void configErrors()
    {
        QFETCH(QByteArray, config);
        QFETCH(QString, expected);
        ServiceFixture service;
        service.writeDictd(QStringLiteral("a"), {{"beseda", "beseda\nword\n"}});
        QString error;
        QVERIFY(!service.start(config, &error));
        QVERIFY2(error.contains(expected), qPrintable(error));
    }

    void optionalDictionaryAndBrokenIcon()
    {
        ServiceFixture service;
        service.writeDictd(QStringLiteral("a"), {{"beseda", "beseda\nword\n"}});
        service.writeFile(QStringLiteral("icon.png"), "<html>not an image</html>");
        QString error;
        QVERIFY2(service.start(R"({"dictionaries": [
                    {"id": 7, "source": "freedict-missing", "optional": true},
                    {"id": 8, "name": "A", "icon": "icon.png", "source": "a"}]})",
                               &error),
                 qPrintable(error));
        const QString warnings = service.warnings().join(QLatin1Char('\n'));
        QVERIFY2(warnings.contains(QStringLiteral("dictionary 7 skipped")), qPrintable(warnings));
        QVERIFY2(warnings.contains(QStringLiteral("not a readable PNG")), qPrintable(warnings));

        const auto list = service.get("/1.0/dictionary/list?licenceKey=" + ServiceFixture::key);
        QCOMPARE(list->xml.select_nodes("//dictionary").size(), size_t(1));
        const auto icon =
            service.get("/1.0/dictionary/icon?licenceKey=" + ServiceFixture::key + "&dictionaryId=8");
        QVERIFY(icon->body.startsWith("\x89PNG"));
    }
};

QTEST_GUILESS_MAIN(ServiceDataTest)
#include "tst_servicedata.moc"
