// Reading dictionaries and the config: dictd files as Debian's FreeDict packages install
// them (plain and dictzip), damaged index lines, config errors and warnings, and the dictd
// dictionaries found in folders without a config.
#include "service/catalogue.h"
#include "service/dictddiscovery.h"
#include "tests/service/servicefixture.h"

#include <QFile>
#include <QMap>
#include <QSet>
#include <QTest>
#include <random>

namespace {

// name -> (id, languages) of every dictionary in the list.
struct Listed
{
    int id = 0;
    QByteArray name;
    QByteArrayList languages;
};

QList<Listed> listed(const ServiceFixture& service)
{
    QList<Listed> out;
    const auto list = service.get("/1.0/dictionary/list?licenceKey=" + ServiceFixture::key);
    for (const pugi::xpath_node& node : list->xml.select_nodes("//dictionary")) {
        Listed d;
        d.id = node.node().child("id").text().as_int();
        d.name = node.node().child("name").text().get();
        for (const pugi::xml_node language : node.node().children("language"))
            d.languages.append(language.text().get());
        out.append(d);
    }
    return out;
}

const QList<ServiceFixture::Entry> someEntries = {{"beseda", "beseda\nword\n"}, {"hiša", "hiša\nhouse\n"}};

ServiceOptions discovering(const ServiceFixture& service, const QStringList& folders)
{
    ServiceOptions options;
    for (const QString& folder : folders)
        options.dictdDirs.push_back(
            QFile::encodeName(service.dir() + QLatin1Char('/') + folder).toStdString());
    return options;
}

QMap<QByteArray, int> idsByName(const ServiceFixture& service)
{
    QMap<QByteArray, int> out;
    for (const Listed& d : listed(service))
        out.insert(d.name, d.id);
    return out;
}

} // namespace

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

    // dictzip reads only the chunks an entry lies in: entries that start, end or lie wholly
    // inside a chunk, and ones that span several, read the same as from a plain file.
    void dictzipChunks_data()
    {
        QTest::addColumn<int>("chunkLength");
        QTest::newRow("chunks shorter than an entry") << 7;
        QTest::newRow("chunks of 64 bytes") << 64;
        QTest::newRow("one chunk for all") << 60000;
    }

    void dictzipChunks()
    {
        QFETCH(int, chunkLength);
        QList<ServiceFixture::Entry> entries;
        for (int i = 0; i < 40; ++i)
            entries.append({"geslo" + QByteArray::number(i),
                            "geslo" + QByteArray::number(i) + "\n" + QByteArray(i % 9 + 1, 'x') + " čšž\n"});
        QByteArray answers[2];
        for (int compressed = 0; compressed < 2; ++compressed) {
            ServiceFixture service;
            if (compressed)
                service.writeDictzip(QStringLiteral("d"), entries, chunkLength);
            else
                service.writeDictd(QStringLiteral("d"), entries);
            QString error;
            QVERIFY2(service.start(R"({"dictionaries": [{"id": 9, "name": "D", "source": "d"}]})", &error),
                     qPrintable(error));
            QVERIFY2(service.warnings().isEmpty(), qPrintable(service.warnings().join(QLatin1Char('\n'))));
            for (int id = 1; id <= entries.size(); ++id) {
                const auto entry = service.get("/1.0/search/get-entry?licenceKey=" + ServiceFixture::key +
                                               "&dictionaryId=9&entryId=" + QByteArray::number(id));
                QCOMPARE(entry->status, 200);
                answers[compressed] += entry->body;
            }
        }
        QVERIFY(answers[0].contains("xxxxxxxxx čšž"));
        QCOMPARE(answers[1], answers[0]);
    }

    // Start-up sorts by a 16-byte prefix of the keys and on two threads from 100,000
    // entries on: the order must still be the keys' order, then dictionary, then entry id,
    // with headwords that share long prefixes, are shorter than the prefix, hold characters
    // whose key bytes are 0, and need normalising.
    void catalogueOrderOfManyEntries()
    {
        const QList<QByteArray> pieces = {"a", "b", "č", "e\xcc\x81", "é",     " ",
                                          "-", "Ž", "1", "ab",        "abcde", "\xc3\xa4"};
        Catalogue catalogue;
        std::mt19937 random(15);
        for (int d = 0; d < 3; ++d) {
            DictionaryInfo info;
            info.id = d + 1;
            QVERIFY(catalogue.addDictionary(info, nullptr));
            for (int i = 0; i < 50000; ++i) {
                QByteArray headword;
                for (int n = int(random() % 8) + 1; n > 0; --n)
                    headword += pieces.at(int(random() % pieces.size()));
                catalogue.addEntry(std::string_view(headword.constData(), size_t(headword.size())), 0, 0);
            }
        }
        catalogue.finish();
        QCOMPARE(catalogue.entryCount(), size_t(150000));
        for (uint32_t order = 0; order + 1 < catalogue.entryCount(); ++order) {
            const std::string_view a = catalogue.key(order);
            const std::string_view b = catalogue.key(order + 1);
            const int da = catalogue.dictionaryIndexOf(order);
            const int db = catalogue.dictionaryIndexOf(order + 1);
            const bool inOrder =
                a < b || (a == b &&
                          (da < db || (da == db && catalogue.entryId(order) < catalogue.entryId(order + 1))));
            if (!inOrder)
                QFAIL(qPrintable(QStringLiteral("orders %1 and %2 out of order").arg(order).arg(order + 1)));
        }
        // Every entry is still found by its id.
        for (int d = 0; d < 3; ++d)
            for (const int id : {1, 25000, 50000})
                QVERIFY(catalogue.findEntry(d, id) >= 0);
    }

    // Without a config: the sample, and every dictd dictionary in the folders, with its name
    // from 00-database-short and its languages from FreeDict's file name.
    void discoveredDictionaries_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("shortEntry"); // headword of the name's entry, or empty
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArrayList>("languages");
        QTest::newRow("FreeDict") << QStringLiteral("freedict-slv-eng") << QByteArray("00-database-short")
                                  << QByteArray("Slovenian-English FreeDict Dictionary")
                                  << QByteArrayList{"sl", "en"};
        QTest::newRow("older key") << QStringLiteral("freedict-deu-ita") << QByteArray("00databaseshort")
                                   << QByteArray("German-Italian FreeDict Dictionary")
                                   << QByteArrayList{"de", "it"};
        QTest::newRow("no short name: the file name")
            << QStringLiteral("gcide") << QByteArray() << QByteArray("gcide") << QByteArrayList{};
        QTest::newRow("language the client does not know left out")
            << QStringLiteral("freedict-kha-eng") << QByteArray() << QByteArray("freedict-kha-eng")
            << QByteArrayList{"en"};
        QTest::newRow("same language twice")
            << QStringLiteral("eng-eng") << QByteArray() << QByteArray("eng-eng") << QByteArrayList{"en"};
    }

    void discoveredDictionaries()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, shortEntry);
        QFETCH(QByteArray, name);
        QFETCH(QByteArrayList, languages);
        ServiceFixture service;
        QList<ServiceFixture::Entry> entries = someEntries;
        if (!shortEntry.isEmpty())
            entries.prepend({shortEntry, shortEntry + "\n   " + name + "\n"});
        service.writeDictzip(QStringLiteral("dictd/") + file, entries, 32);
        QString error;
        QVERIFY2(service.startWith(discovering(service, {QStringLiteral("dictd")}), &error),
                 qPrintable(error));

        const QList<Listed> all = listed(service);
        QList<int> ids;
        const Listed* found = nullptr;
        for (const Listed& d : all) {
            ids.append(d.id);
            if (d.name == name)
                found = &d;
        }
        QByteArrayList names;
        for (const Listed& d : all)
            names.append(d.name);
        QVERIFY2(found, names.join(", ").constData());
        QCOMPARE(found->languages, languages);
        for (const int sample : {70, 58, 12, 31}) // the bundled sample stays
            QVERIFY(ids.contains(sample));
        QCOMPARE(all.size(), 5);
        QVERIFY(found->id >= 1000000);

        const QByteArray id = QByteArray::number(found->id);
        const auto hits = service.get("/1.0/search?licenceKey=" + ServiceFixture::key +
                                      "&query=hi%c5%a1a&start=0&dictionaryId=" + id);
        QCOMPARE(ServiceFixture::hits(hits->xml), QList<QByteArray>{"hiša@" + id});
        const auto entry = service.get("/1.0/search/get-entry?licenceKey=" + ServiceFixture::key +
                                       "&dictionaryId=" + id + "&entryId=2");
        QVERIFY2(entry->body.contains("house"), entry->body.constData());
        const auto icon =
            service.get("/1.0/dictionary/icon?licenceKey=" + ServiceFixture::key + "&dictionaryId=" + id);
        QVERIFY(icon->body.startsWith("\x89PNG"));
    }

    // Stored filters name dictionaries by id: a dictionary keeps its id across restarts and
    // when others are installed or removed, and that id never changes between versions.
    void discoveredIdsStay()
    {
        ServiceFixture service;
        const QList<ServiceFixture::Entry> named = {{"00-database-short", "00-database-short\nSLV\n"},
                                                    {"beseda", "beseda\nword\n"}};
        service.writeDictd(QStringLiteral("system/freedict-slv-eng"), named);
        service.writeDictzip(QStringLiteral("system/freedict-eng-deu"),
                             {{"00-database-short", "00-database-short\nENG\n"}, {"word", "word\nWort\n"}},
                             64);
        const ServiceOptions options =
            discovering(service, {QStringLiteral("user"), QStringLiteral("system")});
        QVERIFY(service.startWith(options));
        const QMap<QByteArray, int> first = idsByName(service);
        QCOMPARE(first.value("SLV"), 12393536); // fixed for good: users' filters hold it
        QVERIFY(first.value("ENG") >= 1000000 && first.value("ENG") != first.value("SLV"));

        QVERIFY(service.startWith(options));
        QCOMPARE(idsByName(service), first);

        // Another one installed in the user's folder, one removed from the system's.
        service.writeDictd(QStringLiteral("user/freedict-hrv-eng"),
                           {{"00-database-short", "00-database-short\nHRV\n"}, {"riječ", "riječ\nword\n"}});
        QVERIFY(QFile::remove(service.dir() + QStringLiteral("/system/freedict-eng-deu.index")));
        QVERIFY(service.startWith(options));
        const QMap<QByteArray, int> after = idsByName(service);
        QCOMPARE(after.value("SLV"), first.value("SLV"));
        QVERIFY(!after.contains("ENG"));
        QVERIFY(after.value("HRV") >= 1000000);
        QCOMPARE(QSet<int>(after.cbegin(), after.cend()).size(), after.size());
    }

    // Two file names whose hashes meet: the one first in byte order keeps the id, the other
    // takes the next; with the first gone the second has it.
    void discoveredIdCollision()
    {
        ServiceFixture service;
        const auto named = [](const QByteArray& name) {
            return QList<ServiceFixture::Entry>{{"00-database-short", "00-database-short\n" + name + "\n"},
                                                {"beseda", "beseda\nword\n"}};
        };
        service.writeDictd(QStringLiteral("d/dict54179"), named("later"));
        service.writeDictd(QStringLiteral("d/dict368386"), named("earlier"));
        QVERIFY(service.startWith(discovering(service, {QStringLiteral("d")})));
        QMap<QByteArray, int> ids = idsByName(service);
        QCOMPARE(ids.value("earlier"), 658833039);
        QCOMPARE(ids.value("later"), 658833040);

        QVERIFY(QFile::remove(service.dir() + QStringLiteral("/d/dict368386.index")));
        QVERIFY(service.startWith(discovering(service, {QStringLiteral("d")})));
        ids = idsByName(service);
        QCOMPARE(ids.value("later"), 658833039);
    }

    // The same file name in the user's folder and the system's is served once, the user's.
    void userFolderComesFirst()
    {
        ServiceFixture service;
        service.writeDictd(
            QStringLiteral("data/verbolix/dictd/freedict-slv-eng"),
            {{"00-database-short", "00-database-short\nmine\n"}, {"beseda", "beseda\nword\n"}});
        service.writeDictd(
            QStringLiteral("system/freedict-slv-eng"),
            {{"00-database-short", "00-database-short\nsystem\n"}, {"beseda", "beseda\nword\n"}});
        const QByteArray xdg = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(service.dir() + QStringLiteral("/data")));
        ServiceOptions options;
        options.dictdDirs = DictdDiscovery::defaultFolders();
        if (xdg.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", xdg);
        QCOMPARE(options.dictdDirs.front(),
                 QFile::encodeName(service.dir() + QStringLiteral("/data/verbolix/dictd")).toStdString());
        QCOMPARE(options.dictdDirs.back(), std::string("/usr/share/dictd"));
        options.dictdDirs.back() = QFile::encodeName(service.dir() + QStringLiteral("/system")).toStdString();
        QVERIFY(service.startWith(options));
        const QMap<QByteArray, int> ids = idsByName(service);
        QVERIFY(ids.contains("mine"));
        QVERIFY(!ids.contains("system"));
    }

    // A damaged dictionary is skipped with a warning; the others are served.
    void damagedDictionarySkipped_data()
    {
        QTest::addColumn<QByteArray>("index");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("warning");
        QTest::newRow("data not gzip")
            << QByteArray("beseda\tA\tB\n") << QByteArray("plain text, no gzip") << QStringLiteral("damaged");
        QTest::newRow("gzip cut short")
            << QByteArray("beseda\tA\tB\n") << QByteArray::fromHex("1f8b08") << QStringLiteral("damaged");
        QTest::newRow("index of garbage") << QByteArray("\x01\x02\x03\nno tabs\n")
                                          << QByteArray::fromHex("1f8b08000000000002030300000000000000000000")
                                          << QStringLiteral("no entries");
    }

    void damagedDictionarySkipped()
    {
        QFETCH(QByteArray, index);
        QFETCH(QByteArray, data);
        QFETCH(QString, warning);
        ServiceFixture service;
        service.writeFile(QStringLiteral("d/broken.index"), index);
        service.writeFile(QStringLiteral("d/broken.dict.dz"), data);
        service.writeDictd(
            QStringLiteral("d/freedict-slv-eng"),
            {{"00-database-short", "00-database-short\nGood\n"}, {"beseda", "beseda\nword\n"}});
        QString error;
        QVERIFY2(service.startWith(discovering(service, {QStringLiteral("d")}), &error), qPrintable(error));
        const QString warnings = service.warnings().join(QLatin1Char('\n'));
        QVERIFY2(warnings.contains(QStringLiteral("broken skipped")) && warnings.contains(warning),
                 qPrintable(warnings));
        const QMap<QByteArray, int> ids = idsByName(service);
        QVERIFY(ids.contains("Good"));
        QCOMPARE(ids.size(), 5);
    }

    // Discovery only where it is asked for: not with --no-discovery, not with a config of
    // one's own unless it says "discover": true, and a dictionary the config already serves
    // is not served twice.
    void whenDiscoveryRuns_data()
    {
        QTest::addColumn<QByteArray>("config"); // empty: the bundled sample
        QTest::addColumn<bool>("noDiscovery");
        QTest::addColumn<QByteArrayList>("names");
        const QByteArray own =
            R"({"dictionaries": [{"id": 5, "name": "own", "source": "d/freedict-slv-eng"}])";
        QTest::newRow("default") << QByteArray() << false << QByteArrayList{"found", "other"};
        QTest::newRow("--no-discovery") << QByteArray() << true << QByteArrayList{};
        QTest::newRow("own config") << own + "}" << false << QByteArrayList{"own"};
        QTest::newRow("own config asking for discovery")
            << own + R"(, "discover": true})" << false << QByteArrayList{"other", "own"};
        QTest::newRow("config asking, --no-discovery")
            << own + R"(, "discover": true})" << true << QByteArrayList{"own"};
    }

    void whenDiscoveryRuns()
    {
        QFETCH(QByteArray, config);
        QFETCH(bool, noDiscovery);
        QFETCH(QByteArrayList, names);
        ServiceFixture service;
        service.writeDictd(
            QStringLiteral("d/freedict-slv-eng"),
            {{"00-database-short", "00-database-short\nfound\n"}, {"beseda", "beseda\nword\n"}});
        service.writeDictd(QStringLiteral("d/other"), {{"00-database-short", "00-database-short\nother\n"},
                                                       {"beseda", "beseda\nword\n"}});
        ServiceOptions options = discovering(service, {QStringLiteral("d")});
        options.noDiscovery = noDiscovery;
        if (!config.isEmpty()) {
            service.writeFile(QStringLiteral("config.json"), config);
            options.configPath =
                QFile::encodeName(service.dir() + QStringLiteral("/config.json")).toStdString();
        }
        QString error;
        QVERIFY2(service.startWith(options, &error), qPrintable(error));
        QByteArrayList served;
        for (const Listed& d : listed(service))
            if (!QList<int>{70, 58, 12, 31}.contains(d.id)) // not the bundled sample
                served.append(d.name);
        std::sort(served.begin(), served.end());
        QCOMPARE(served, names);
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
