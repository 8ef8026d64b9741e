#include "tests/filters/configdir.h"
#include "core/settings.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <memory>

Q_DECLARE_METATYPE(IntSetting)

namespace {
// A value with a default that no stored text below produces by accident.
constexpr IntSetting Probe{"Probe", 42};

QByteArray settingsIni(const QByteArray& line)
{
    return "[Verbolix]\n" + line + '\n';
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_config = std::make_unique<ConfigDir>(); }
    void cleanup() { m_config.reset(); }

    void readsStoredValue_data();
    void readsStoredValue();
    void onlyExactlyOneMeansOn_data();
    void onlyExactlyOneMeansOn();
    void everySettingHasItsName_data();
    void everySettingHasItsName();
    void writeGoesToTheFileAtOnce();
    void storeFollowsXdgConfigHome();
    void organisationWideFileIsIgnored();
    void writeFailureIsSilent();

private:
    std::unique_ptr<ConfigDir> m_config;
};

void TestSettings::readsStoredValue_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("expected");

    QTest::newRow("missing") << settingsIni("") << 42;
    QTest::newRow("whole number") << settingsIni("Settings\\Probe=7") << 7;
    QTest::newRow("zero") << settingsIni("Settings\\Probe=0") << 0;
    QTest::newRow("negative") << settingsIni("Settings\\Probe=-3") << -3;
    QTest::newRow("padded with spaces") << settingsIni("Settings\\Probe=  12  ") << 12;
    QTest::newRow("largest 32-bit") << settingsIni("Settings\\Probe=2147483647") << 2147483647;
    QTest::newRow("empty") << settingsIni("Settings\\Probe=") << 42;
    QTest::newRow("fraction 1.5") << settingsIni("Settings\\Probe=1.5") << 42;
    QTest::newRow("word") << settingsIni("Settings\\Probe=abc") << 42;
    QTest::newRow("string in place of a number") << settingsIni("Settings\\Probe=\"seven\"") << 42;
    QTest::newRow("true") << settingsIni("Settings\\Probe=true") << 42;
    QTest::newRow("hex") << settingsIni("Settings\\Probe=0x10") << 42;
    QTest::newRow("exponent") << settingsIni("Settings\\Probe=1e3") << 42;
    QTest::newRow("beyond 32 bits, low bits 1") << settingsIni("Settings\\Probe=4294967297") << 42;
    QTest::newRow("list") << settingsIni("Settings\\Probe=1, 2") << 42;
    QTest::newRow("raw bytes") << settingsIni("Settings\\Probe=@ByteArray(5)") << 42;
    QTest::newRow("other section") << QByteArray("[Settings]\nProbe=5\n[General]\nProbe=6\n") << 42;
}

void TestSettings::readsStoredValue()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, expected);
    QVERIFY(m_config->writeStore(ini));

    QCOMPARE(Settings::Read(Probe), expected);
}

void TestSettings::onlyExactlyOneMeansOn_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("on");

    QTest::newRow("1") << settingsIni("Settings\\AlwaysOnTop=1") << true;
    QTest::newRow("missing") << settingsIni("") << false;
    QTest::newRow("0") << settingsIni("Settings\\AlwaysOnTop=0") << false;
    QTest::newRow("2") << settingsIni("Settings\\AlwaysOnTop=2") << false;
    QTest::newRow("-1") << settingsIni("Settings\\AlwaysOnTop=-1") << false;
    QTest::newRow("65537, low bits 1") << settingsIni("Settings\\AlwaysOnTop=65537") << false;
    QTest::newRow("1.5") << settingsIni("Settings\\AlwaysOnTop=1.5") << false;
    QTest::newRow("true") << settingsIni("Settings\\AlwaysOnTop=true") << false;
    QTest::newRow("raw bytes 1") << settingsIni("Settings\\AlwaysOnTop=@ByteArray(1)") << false;
    QTest::newRow("empty") << settingsIni("Settings\\AlwaysOnTop=") << false;
}

void TestSettings::onlyExactlyOneMeansOn()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, on);
    QVERIFY(m_config->writeStore(ini));

    QCOMPARE(Settings::IsOn(Setting::AlwaysOnTop), on);
}

void TestSettings::everySettingHasItsName_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<IntSetting>("setting");

    QTest::newRow("AlwaysOnTop") << QByteArray("AlwaysOnTop") << Setting::AlwaysOnTop;
    QTest::newRow("CheckClipboard") << QByteArray("CheckClipboard") << Setting::CheckClipboard;
    QTest::newRow("LastMessageID") << QByteArray("LastMessageID") << Setting::LastMessageID;
    QTest::newRow("TrenutniFilter") << QByteArray("TrenutniFilter") << Setting::TrenutniFilter;
    QTest::newRow("FirstRun") << QByteArray("FirstRun") << Setting::FirstRun;
    QTest::newRow("DialogX") << QByteArray("DialogX") << Setting::DialogX;
    QTest::newRow("DialogY") << QByteArray("DialogY") << Setting::DialogY;
    QTest::newRow("DialogW") << QByteArray("DialogW") << Setting::DialogW;
    QTest::newRow("DialogH") << QByteArray("DialogH") << Setting::DialogH;
    QTest::newRow("DialogMinMax") << QByteArray("DialogMinMax") << Setting::DialogMinMax;
}

void TestSettings::everySettingHasItsName()
{
    QFETCH(QByteArray, name);
    QFETCH(IntSetting, setting);

    QCOMPARE(Settings::Read(setting), 0); // every default is 0
    QVERIFY(m_config->writeStore(settingsIni("Settings\\" + name + "=37")));
    QCOMPARE(Settings::Read(setting), 37);
}

void TestSettings::writeGoesToTheFileAtOnce()
{
    QVERIFY(m_config->writeStore("[FilterSlovarjev1]\nime=A\nslovarji=\",,\"\n"
                                 "[Verbolix]\nSettings\\CheckClipboard=abc\n"));

    Settings::Write(Setting::AlwaysOnTop, 1);
    Settings::Write(Setting::CheckClipboard, 1);
    Settings::Write(Setting::LastMessageID, -5);

    // On disk without any further step, next to what was there.
    const QByteArray ini = m_config->readStore();
    QVERIFY2(ini.contains("Settings\\AlwaysOnTop=1\n"), ini.constData());
    QVERIFY2(ini.contains("Settings\\CheckClipboard=1\n"), ini.constData());
    QVERIFY2(ini.contains("Settings\\LastMessageID=-5\n"), ini.constData());
    QVERIFY2(ini.contains("[FilterSlovarjev1]\nime=A\n"), ini.constData());
    QVERIFY(Settings::IsOn(Setting::AlwaysOnTop));
    QVERIFY(Settings::IsOn(Setting::CheckClipboard));
    QCOMPARE(Settings::Read(Setting::LastMessageID), -5);
}

// QSettings fixes its own user path at its first use in a process; the store must not.
void TestSettings::storeFollowsXdgConfigHome()
{
    Settings::Write(Setting::DialogX, 11);
    {
        ConfigDir other;
        QCOMPARE(Settings::Read(Setting::DialogX), 0);
        Settings::Write(Setting::DialogX, 22);
        QVERIFY(other.readStore().contains("Settings\\DialogX=22"));
    }
    QCOMPARE(Settings::Read(Setting::DialogX), 11);
    QVERIFY(m_config->readStore().contains("Settings\\DialogX=11"));
}

// Values from a store the program never writes could never be changed by it.
void TestSettings::organisationWideFileIsIgnored()
{
    QFile shared(m_config->dir() + QStringLiteral("/Dravik.conf"));
    QVERIFY(shared.open(QIODevice::WriteOnly));
    shared.write("[Verbolix]\nSettings\\AlwaysOnTop=1\nSettings\\Probe=5\n");
    shared.close();

    QVERIFY(!Settings::IsOn(Setting::AlwaysOnTop));
    QCOMPARE(Settings::Read(Probe), 42);
}

void TestSettings::writeFailureIsSilent()
{
    // A plain file where the store's folder should be: nothing can be written below it.
    QFile blocker(m_config->dir() + QStringLiteral("/Dravik"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    Settings::Write(Setting::AlwaysOnTop, 1);

    QVERIFY(!Settings::IsOn(Setting::AlwaysOnTop));
    QVERIFY(QFileInfo(blocker.fileName()).isFile());
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
