#include "core/capi.h"
#include "tests/support/scriptedserver.h"
#include "tests/support/tempconfig.h"

#include <QTest>

// The dictionary list, the sorted set of language codes, and the language names.
class TestDictionaries : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void loadDictionaries();
    void addLanguage_data();
    void addLanguage();
    void copiesShareTheLanguageList();
    void nameAndAuthorLookup();
    void failedListEmptiesDictionariesKeepsLanguages_data();
    void failedListEmptiesDictionariesKeepsLanguages();
    void languageNames_data();
    void languageNames();

private:
    TempConfig m_config; // the dictionary list refreshes the stored filters
    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<CApi> m_api;
};

namespace {

QByteArray dictionary(int id, const QByteArray& name, const QByteArray& author,
                      const QList<QByteArray>& languages)
{
    QByteArray xml = "<dictionary><id>" + QByteArray::number(id) + "</id><name>" + name + "</name><author>" +
                     author + "</author><type>2</type><lingualism>" + QByteArray::number(languages.size()) +
                     "</lingualism><languages>";
    for (const QByteArray& code : languages)
        xml += "<language>" + code + "</language>";
    return xml + "</languages></dictionary>";
}

QStringList codes(const CApi& api)
{
    QStringList list;
    for (const CJezik& j : api.m_jeziki)
        list << j.code;
    return list;
}

} // namespace

void TestDictionaries::initTestCase()
{
    qputenv("VERBOLIX_CONNECT_TIMEOUT_MS", "500");
    qputenv("VERBOLIX_REQUEST_TIMEOUT_MS", "1000");
}

void TestDictionaries::init()
{
    m_server = std::make_unique<ScriptedServer>();
    m_api = std::make_unique<CApi>();
    m_api->m_baseUrl = m_server->baseUrl();
}

void TestDictionaries::loadDictionaries()
{
    m_server->setAnswer(
        QStringLiteral("/1.0/dictionary/list"),
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<dictionaries>\n" +
            dictionary(70, "Slovar slovenskega knji\xc5\xbenega jezika", "In\xc5\xa1titut", {"sl", "en"}) +
            dictionary(58, "Angle\xc5\xa1ko-nem\xc5\xa1ki",
                       "Zalo\xc5\xbe"
                       "ba",
                       {"en", "de"}) +
            dictionary(12, "Nem\xc5\xa1ko-slovenski", "", {"de", "sl"}) +
            "<dictionary><id>9</id></dictionary>\n</dictionaries>");

    QCOMPARE(m_api->LoadDictionaries(), 4);
    QCOMPARE(m_api->m_requestDepth, 0);
    QCOMPARE(m_api->m_slovarji.size(), 4);
    QCOMPARE(m_api->m_slovarji.at(0).id, 70);
    QCOMPARE(m_api->m_slovarji.at(0).name, QStringLiteral("Slovar slovenskega knji\u017Enega jezika"));
    QCOMPARE(m_api->m_slovarji.at(0).author, QStringLiteral("In\u0161titut"));
    QCOMPARE(m_api->m_slovarji.at(0).type, 2);
    QCOMPARE(m_api->m_slovarji.at(0).lingualism, 2);
    QCOMPARE(*m_api->m_slovarji.at(1).languages,
             (QList<QString>{QStringLiteral("en"), QStringLiteral("de")}));
    QCOMPARE(m_api->m_slovarji.at(1).author, QStringLiteral("Zalo\u017Eba"));
    QCOMPARE(m_api->m_slovarji.at(2).id, 12);
    // A dictionary without languages or other parts: empty text, 0, an empty list.
    QCOMPARE(m_api->m_slovarji.at(3).name, QString());
    QCOMPARE(m_api->m_slovarji.at(3).type, 0);
    QVERIFY(m_api->m_slovarji.at(3).languages && m_api->m_slovarji.at(3).languages->isEmpty());
    QCOMPARE(codes(*m_api), (QStringList{QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("sl")}));
}

void TestDictionaries::addLanguage_data()
{
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("held");
    QTest::newRow("three dictionaries' languages")
        << QStringList{QStringLiteral("sl"), QStringLiteral("en"), QStringLiteral("en"),
                       QStringLiteral("de"), QStringLiteral("de"), QStringLiteral("sl")}
        << QStringList{QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("sl")};
    QTest::newRow("capitals are another code and sort first")
        << QStringList{QStringLiteral("en"), QStringLiteral("EN"), QStringLiteral("en")}
        << QStringList{QStringLiteral("EN"), QStringLiteral("en")};
    QTest::newRow("prefix sorts before the longer code")
        << QStringList{QStringLiteral("grc"), QStringLiteral("gr"), QStringLiteral("g")}
        << QStringList{QStringLiteral("g"), QStringLiteral("gr"), QStringLiteral("grc")};
    QTest::newRow("ordinal, not the locale's order")
        << QStringList{QStringLiteral("\u010D"), QStringLiteral("d"), QStringLiteral("c")}
        << QStringList{QStringLiteral("c"), QStringLiteral("d"), QStringLiteral("\u010D")};
}

void TestDictionaries::addLanguage()
{
    QFETCH(QStringList, added);
    QFETCH(QStringList, held);
    for (const QString& code : added)
        m_api->AddLanguage(code);
    QCOMPARE(codes(*m_api), held);
}

void TestDictionaries::copiesShareTheLanguageList()
{
    m_server->setAnswer(QStringLiteral("/1.0/dictionary/list"),
                        "<r>" + dictionary(70, "A", "B", {"sl"}) + "</r>");
    QList<CSlovar> out;
    QCOMPARE(m_api->ApiDictionaryList(out), 1);
    CSlovar copy = m_api->m_slovarji.at(0);
    copy.name = QStringLiteral("changed");
    QCOMPARE(m_api->m_slovarji.at(0).name, QStringLiteral("A"));
    QCOMPARE(copy.languages.get(), m_api->m_slovarji.at(0).languages.get());
    QCOMPARE(out.at(0).languages.get(), copy.languages.get());
    // The list outlives every array that held it.
    out.clear();
    m_api->m_slovarji.clear();
    QCOMPARE(*copy.languages, QList<QString>{QStringLiteral("sl")});
}

void TestDictionaries::nameAndAuthorLookup()
{
    m_api->SetDictionaries({CSlovar{70, QStringLiteral("prvi"), QStringLiteral("avtor 1"), nullptr, 0, 0},
                            CSlovar{58, QStringLiteral("drugi"), QStringLiteral("avtor 2"), nullptr, 0, 0},
                            CSlovar{70, QStringLiteral("tretji"), QStringLiteral("avtor 3"), nullptr, 0, 0}});
    QCOMPARE(m_api->GetDictionaryName(58), QStringLiteral("drugi"));
    QCOMPARE(m_api->GetDictionaryAuthor(58), QStringLiteral("avtor 2"));
    QCOMPARE(m_api->GetDictionaryName(70), QStringLiteral("prvi"));
    QCOMPARE(m_api->GetDictionaryAuthor(70), QStringLiteral("avtor 1"));
    QCOMPARE(m_api->GetDictionaryName(12), QString());
    QCOMPARE(m_api->GetDictionaryAuthor(-1), QString());
}

void TestDictionaries::failedListEmptiesDictionariesKeepsLanguages_data()
{
    QTest::addColumn<ScriptedReply>("reply");
    QTest::newRow("HTTP 500 with HTML") << ScriptedReply::error(500, "<html><body>napaka</body></html>");
    QTest::newRow("truncated XML") << ScriptedReply::ok("<r>" + dictionary(5, "A", "B", {"fr"}).left(40));
    QTest::newRow("accepts and never answers") << ScriptedReply::neverAnswer();
    QTest::newRow("oversized answer")
        << ScriptedReply::chunkedRunaway("<r>" + dictionary(5, "A", "B", {"fr"}).repeated(200));
}

void TestDictionaries::failedListEmptiesDictionariesKeepsLanguages()
{
    QFETCH(ScriptedReply, reply);
    m_api->AddLanguage(QStringLiteral("sl"));
    m_api->SetDictionaries({CSlovar{70, QStringLiteral("prvi"), QString(), nullptr, 0, 0}});
    m_server->setReply(QStringLiteral("/1.0/dictionary/list"), reply);

    QCOMPARE(m_api->LoadDictionaries(), 0);
    QVERIFY(m_api->m_slovarji.isEmpty());
    QCOMPARE(codes(*m_api), QStringList{QStringLiteral("sl")});
    QCOMPARE(m_api->m_requestDepth, 0);
    QCOMPARE(m_server->requests().size(), 1);
}

void TestDictionaries::languageNames_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("sl") << QStringLiteral("sl") << QStringLiteral("sloven\u0161\u010Dina");
    QTest::newRow("zht") << QStringLiteral("zht") << QStringLiteral("kitaj\u0161\u010Dina (tradicionalna)");
    QTest::newRow("so keeps its trailing space")
        << QStringLiteral("so") << QStringLiteral("lu\u017Ei\u0161ka srb\u0161\u010Dina ");
    QTest::newRow("ar is Arabic") << QStringLiteral("ar") << QStringLiteral("arab\u0161\u010Dina");
    QTest::newRow("last row of the table")
        << QStringLiteral("heo") << QStringLiteral("hebrej\u0161\u010Dina (stara)");
    QTest::newRow("nb") << QStringLiteral("nb") << QStringLiteral("norve\u0161\u010Dina (Bokmal)");
    QTest::newRow("mno") << QStringLiteral("mno") << QStringLiteral("\u010Drnogor\u0161\u010Dina");
    QTest::newRow("SL in capitals") << QStringLiteral("SL") << QString();
    QTest::newRow("sl with a space") << QStringLiteral("sl ") << QString();
    QTest::newRow("empty code") << QString() << QString();
    QTest::newRow("unknown") << QStringLiteral("xx") << QString();
}

void TestDictionaries::languageNames()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QCOMPARE(GetLanguageName(code), name);
}

QTEST_GUILESS_MAIN(TestDictionaries)
#include "tst_dictionaries.moc"
