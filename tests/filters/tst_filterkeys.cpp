#include "tests/filters/configdir.h"
#include "core/filters/filterkeys.h"

#include <QFile>
#include <QTest>
#include <memory>

class TestFilterKeys : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_config = std::make_unique<ConfigDir>(); }
    void cleanup() { m_config.reset(); }

    void keyExists_data();
    void keyExists();
    void readsValues_data();
    void readsValues();
    void textsSurviveWriteAndRead_data();
    void textsSurviveWriteAndRead();
    void removeTakesOnlyItsKey();
    void writeFailureIsSilent();
    void organisationWideKeysAreIgnored();

private:
    std::unique_ptr<ConfigDir> m_config;
};

void TestFilterKeys::keyExists_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("exists");

    QTest::newRow("both values") << QByteArray("[FilterSlovarjev5]\nime=A\nslovarji=\",70,\"\n") << true;
    QTest::newRow("only ime") << QByteArray("[FilterSlovarjev5]\nime=A\n") << true;
    QTest::newRow("only an unknown value") << QByteArray("[FilterSlovarjev5]\nother=1\n") << true;
    QTest::newRow("only a subkey") << QByteArray("[FilterSlovarjev5]\nsub\\x=1\n") << true;
    QTest::newRow("empty section") << QByteArray("[FilterSlovarjev5]\n[Other]\na=1\n") << false;
    QTest::newRow("no file") << QByteArray() << false;
    QTest::newRow("only key 50") << QByteArray("[FilterSlovarjev50]\nime=A\n") << false;
    QTest::newRow("only key 05") << QByteArray("[FilterSlovarjev05]\nime=A\n") << false;
    QTest::newRow("value of that name elsewhere")
        << QByteArray("[Verbolix]\nFilterSlovarjev5=1\nSettings\\FilterSlovarjev5=1\n") << false;
}

void TestFilterKeys::keyExists()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, exists);
    if (!ini.isEmpty())
        QVERIFY(m_config->writeStore(ini));

    QCOMPARE(FilterKeys().exists(5), exists);
}

void TestFilterKeys::readsValues_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("dictionaries");

    const QByteArray at4095(4095, 'x');
    const QByteArray at4096(4096, 'x');
    QTest::newRow("plain") << QByteArray("[FilterSlovarjev5]\nime=Moj filter\nslovarji=\",70,58,\"\n")
                           << QStringLiteral("Moj filter") << QStringLiteral(",70,58,");
    QTest::newRow("UTF-8 letters") << QByteArray("[FilterSlovarjev5]\nime=Žabji čaj\nslovarji=\",\"\n")
                                   << QStringLiteral("Žabji čaj") << QStringLiteral(",");
    QTest::newRow("missing values") << QByteArray("[FilterSlovarjev5]\nother=1\n") << QString() << QString();
    QTest::newRow("4095 characters") << "[FilterSlovarjev5]\nime=" + at4095 + "\nslovarji=" + at4095 + '\n'
                                     << QString::fromLatin1(at4095) << QString::fromLatin1(at4095);
    QTest::newRow("4096 characters is too long")
        << "[FilterSlovarjev5]\nime=" + at4096 + "\nslovarji=" + at4096 + '\n'
        << QString() << QString();
    // Unquoted commas make a list, not a text.
    QTest::newRow("list") << QByteArray("[FilterSlovarjev5]\nime=a, b\nslovarji=,70,58,\n") << QString()
                          << QString();
    QTest::newRow("raw bytes")
        << QByteArray(
               "[FilterSlovarjev5]\nime=@ByteArray(A)\nslovarji=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n")
        << QString() << QString();
    QTest::newRow("text ends at a null")
        << QByteArray("[FilterSlovarjev5]\nime=@String(ab\\0cd)\nslovarji=\",70,\\0,58,\"\n")
        << QStringLiteral("ab") << QStringLiteral(",70,");
}

void TestFilterKeys::readsValues()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, name);
    QFETCH(QString, dictionaries);
    QVERIFY(m_config->writeStore(ini));

    FilterKeys keys;
    QVERIFY(keys.exists(5));
    QCOMPARE(keys.name(5), name);
    QCOMPARE(keys.dictionaries(5), dictionaries);
}

void TestFilterKeys::textsSurviveWriteAndRead_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("Slovenian letters") << QStringLiteral("Začasni filter ČŠŽ");
    QTest::newRow("commas") << QStringLiteral(",70,58,");
    QTest::newRow("one comma") << QStringLiteral(",");
    QTest::newRow("empty") << QString();
    QTest::newRow("INI syntax") << QStringLiteral("[a] b=c; d # e");
    QTest::newRow("quotes and backslashes") << QStringLiteral("\"x\" \\y\\ 'z'");
    QTest::newRow("outer spaces") << QStringLiteral("  a  ");
    QTest::newRow("line breaks") << QStringLiteral("a\nb\r\nc");
    QTest::newRow("leading at sign") << QStringLiteral("@ByteArray(x)");
    QTest::newRow("4095 characters") << QString(4095, u'7');
}

void TestFilterKeys::textsSurviveWriteAndRead()
{
    QFETCH(QString, text);

    FilterKeys().write(7, text, text);

    FilterKeys keys;
    QVERIFY(keys.exists(7));
    QCOMPARE(keys.name(7), text);
    QCOMPARE(keys.dictionaries(7), text);
}

void TestFilterKeys::removeTakesOnlyItsKey()
{
    QVERIFY(m_config->writeStore("[FilterSlovarjev1]\nime=A\n[FilterSlovarjev10]\nime=B\n"
                                 "[FilterSlovarjev11]\nime=C\n[Verbolix]\nSettings\\FirstRun=1\n"));

    FilterKeys().remove(1);

    FilterKeys keys;
    QVERIFY(!keys.exists(1));
    QCOMPARE(keys.name(10), QStringLiteral("B"));
    QCOMPARE(keys.name(11), QStringLiteral("C"));
    QVERIFY(!m_config->readStore().contains("[FilterSlovarjev1]\n"));
    QVERIFY(m_config->readStore().contains("Settings\\FirstRun=1"));
}

void TestFilterKeys::writeFailureIsSilent()
{
    QFile blocker(m_config->dir() + QStringLiteral("/Dravik"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    FilterKeys().write(3, QStringLiteral("A"), QStringLiteral(",1,"));
    FilterKeys().remove(3);

    QVERIFY(!FilterKeys().exists(3));
}

// A key only another store holds could not be deleted: the filter would come back.
void TestFilterKeys::organisationWideKeysAreIgnored()
{
    QFile shared(m_config->dir() + QStringLiteral("/Dravik.conf"));
    QVERIFY(shared.open(QIODevice::WriteOnly));
    shared.write("[FilterSlovarjev5]\nime=A\nslovarji=\",70,\"\n");
    shared.close();

    QVERIFY(!FilterKeys().exists(5));
    QCOMPARE(FilterKeys().name(5), QString());
}

QTEST_GUILESS_MAIN(TestFilterKeys)
#include "tst_filterkeys.moc"
