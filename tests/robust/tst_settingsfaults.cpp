#include "core/capi.h"
#include "core/settings.h"
#include "tests/support/tempconfig.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <grp.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// The settings file as the program may find it: corrupted, cut short, not a file, or in a
// folder it may not write. Reads fall back to the defaults (or to what is still legible),
// the filter list starts with its fixed filters, and writes that cannot happen are silent,
// except the saves of filters the user asks for, which report it.
class TestSettingsFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void damagedFileReadsAsDefaults_data();
    void damagedFileReadsAsDefaults();
    void storeThatIsNoFile_data();
    void storeThatIsNoFile();
    void readOnlyFolderKeepsReadsAndIgnoresWrites();
    void unreadableFileReadsAsDefaults();

private:
    QString storePath() const { return m_config->dir() + QStringLiteral("/Dravik/Verbolix.conf"); }
    void writeStore(const QByteArray& bytes) const;
    QByteArray readStore() const;
    // Runs settingsprobe (as an unprivileged user when this suite runs as root).
    QString runProbe(const QString& command) const;

    std::unique_ptr<TempConfig> m_config;
};

namespace {

const QByteArray validStore = "[FilterSlovarjev2]\nime=Moj\nslovarji=\",70,\"\n\n"
                              "[Verbolix]\nSettings\\AlwaysOnTop=1\nSettings\\FirstRun=1\n"
                              "Settings\\LastMessageID=5\n";

QStringList filterNames(const CApi& api)
{
    QStringList names;
    for (const CShema& s : api.m_sheme)
        names << s.name;
    return names;
}

// The probe runs as nobody when we are root; it must be able to reach the folder.
constexpr uid_t probeUid = 65534;

} // namespace

void TestSettingsFaults::init()
{
    m_config = std::make_unique<TempConfig>();
}

void TestSettingsFaults::cleanup()
{
    // Give the folder back so that it can be removed.
    for (const QString& path :
         QStringList{m_config->dir(), m_config->dir() + QStringLiteral("/Dravik"), storePath()})
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_config.reset();
}

void TestSettingsFaults::writeStore(const QByteArray& bytes) const
{
    QVERIFY(QDir().mkpath(m_config->dir() + QStringLiteral("/Dravik")));
    QFile file(storePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray TestSettingsFaults::readStore() const
{
    QFile file(storePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString TestSettingsFaults::runProbe(const QString& command) const
{
    QProcess probe;
    probe.setProgram(QStringLiteral(SETTINGS_PROBE));
    probe.setArguments({command});
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (::geteuid() == 0) {
        probe.setChildProcessModifier([] {
            // Only between fork and exec: drop to nobody so that file modes apply.
            if (::setgroups(0, nullptr) != 0 || ::setgid(probeUid) != 0 || ::setuid(probeUid) != 0)
                ::_exit(3);
        });
    }
    probe.start();
    // A store that cannot be locked must not make the program wait for ever.
    if (!probe.waitForFinished(30000)) {
        probe.kill();
        probe.waitForFinished();
        return QStringLiteral("hung");
    }
    if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        return QStringLiteral("failed %1").arg(probe.exitCode());
    return QString::fromUtf8(probe.readAllStandardOutput());
}

void TestSettingsFaults::damagedFileReadsAsDefaults_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("alwaysOnTop");
    QTest::addColumn<int>("lastMessageId");

    QByteArray garbage(64 * 1024, '\0');
    QRandomGenerator random(9);
    for (char& c : garbage)
        c = char(random.bounded(256));
    QTest::newRow("random bytes") << garbage << 0 << 0;
    QTest::newRow("empty file") << QByteArray() << 0 << 0;
    QTest::newRow("NUL bytes only") << QByteArray(4096, '\0') << 0 << 0;
    QTest::newRow("cut in a section header")
        << validStore.left(validStore.indexOf("[Verbolix]") + 5) << 0 << 0;
    QTest::newRow("cut in a key") << validStore.left(validStore.indexOf("Settings\\LastMess")) +
                                         "Settings\\LastMess"
                                  << 1 << 0;
    QTest::newRow("cut after the equals sign") << validStore.left(validStore.lastIndexOf('=') + 1) << 1 << 0;
    QTest::newRow("unterminated quote, read as far as it goes")
        << validStore.left(validStore.size() - 1).replace("=5", "=\"5") << 1 << 5;
    QTest::newRow("NUL in the middle")
        << QByteArray(validStore).replace("AlwaysOnTop=1", QByteArray("Alw\0ysOnTop=1", 13)) << 0 << 5;
    QTest::newRow("invalid UTF-8") << QByteArray(validStore).replace("ime=Moj", "ime=M\xff\xfe\xc3") << 1
                                   << 5;
    QTest::newRow("UTF-16 with a byte order mark") << QByteArray("\xff\xfe[\0V\0]\0\n\0", 10) << 0 << 0;
    QTest::newRow("one line of 4 MiB")
        << QByteArray("[Verbolix]\nSettings\\LastMessageID=" + QByteArray(4 << 20, '9')) << 0 << 0;
    QTest::newRow("unbalanced quotes and brackets")
        << QByteArray("[[Verbolix\n\"Settings\\AlwaysOnTop=1\n[Verbolix]]\nSettings\\=\n=\n@Invalid(\n") << 0
        << 0;
}

void TestSettingsFaults::damagedFileReadsAsDefaults()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, alwaysOnTop);
    QFETCH(int, lastMessageId);
    writeStore(bytes);

    QCOMPARE(Settings::Read(Setting::AlwaysOnTop), alwaysOnTop);
    QCOMPARE(Settings::Read(Setting::LastMessageID), lastMessageId);
    QCOMPARE(Settings::Read(Setting::DialogW), 0);

    // The program starts: the fixed filters are there whatever the file held.
    CApi api;
    api.InitFilters();
    const QStringList names = filterNames(api);
    QVERIFY2(names.size() >= 2, qPrintable(names.join(QLatin1Char('|'))));
    QCOMPARE(names.first(), QStringLiteral("Vsi slovarji"));
    QCOMPARE(api.m_sheme.first().id, 0);

    // And the store works again from the next write on.
    Settings::Write(Setting::LastMessageID, 42);
    QCOMPARE(Settings::Read(Setting::LastMessageID), 42);
}

void TestSettingsFaults::storeThatIsNoFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a folder") << QStringLiteral("folder");
    QTest::newRow("a link to itself") << QStringLiteral("loop");
    QTest::newRow("a dangling link") << QStringLiteral("dangling");
}

void TestSettingsFaults::storeThatIsNoFile()
{
    QFETCH(QString, kind);
    QVERIFY(QDir().mkpath(m_config->dir() + QStringLiteral("/Dravik")));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(storePath()));
    else if (kind == QLatin1String("loop"))
        QVERIFY(QFile::link(storePath(), storePath()));
    else
        QVERIFY(QFile::link(m_config->dir() + QStringLiteral("/missing/x.conf"), storePath()));

    QCOMPARE(Settings::Read(Setting::AlwaysOnTop), 0);
    Settings::Write(Setting::AlwaysOnTop, 1); // silent, whatever becomes of it
    CApi api;
    api.InitFilters();
    QCOMPARE(filterNames(api).value(0), QStringLiteral("Vsi slovarji"));
    if (kind == QLatin1String("folder"))
        QVERIFY(QFileInfo(storePath()).isDir());
}

void TestSettingsFaults::readOnlyFolderKeepsReadsAndIgnoresWrites()
{
    writeStore(validStore);
    const QString folder = m_config->dir() + QStringLiteral("/Dravik");
    const auto readExec = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                          QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(m_config->dir(), readExec));
    QVERIFY(QFile::setPermissions(folder, readExec));
    QVERIFY(QFile::setPermissions(storePath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    const QString out = runProbe(QStringLiteral("write"));
    QVERIFY2(out.startsWith(QLatin1String("before AlwaysOnTop=1 LastMessageID=5\n")), qPrintable(out));
    // Saves and deletions the store refuses say so and leave the list as stored: no filter
    // listed for this run only, none changed or missing until the next start.
    QVERIFY2(
        out.contains(u"\nsaved -2 over -2 deleted 0 filters Vsi slovarji:,|Moj:,70,|Začasni filter:,,\n"_s),
        qPrintable(out));
    // What the user chose holds for the rest of the run, though it cannot be stored.
    QVERIFY2(out.endsWith(QLatin1String("\nafter AlwaysOnTop=0 LastMessageID=77\n")), qPrintable(out));

    // Nothing changed on disk and nothing was left behind.
    QCOMPARE(readStore(), validStore);
    QCOMPARE(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
             QStringList{QStringLiteral("Verbolix.conf")});
}

void TestSettingsFaults::unreadableFileReadsAsDefaults()
{
    writeStore(validStore);
    // Folders that can be entered but not listed or written, a file nobody may open.
    const auto enterOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(m_config->dir(), enterOnly));
    QVERIFY(QFile::setPermissions(m_config->dir() + QStringLiteral("/Dravik"), enterOnly));
    QVERIFY(QFile::setPermissions(storePath(), QFileDevice::Permissions()));

    const QString out = runProbe(QStringLiteral("write"));
    QVERIFY2(out.startsWith(QLatin1String("before AlwaysOnTop=0 LastMessageID=0\n")), qPrintable(out));
    QVERIFY2(out.contains(QLatin1String("saved ")), qPrintable(out));
    QVERIFY(QFile::setPermissions(storePath(), QFile::ReadOwner));
    QCOMPARE(readStore(), validStore);
}

QTEST_GUILESS_MAIN(TestSettingsFaults)
#include "tst_settingsfaults.moc"
