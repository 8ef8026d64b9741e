#include "core/capi.h"
#include "tests/filters/configdir.h"
#include "core/filters/filterkeys.h"
#include "core/settings.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTest>
#include <functional>
#include <memory>

namespace {
const QString childProgram = QStringLiteral(FILTERS_STORECHILD);

QString describe(const CShema& f)
{
    return f.name + u'|' + QString::number(f.id) + u'|' + f.dictionaries;
}

// Runs the child to its end and gives what it printed.
QByteArray runChild(const QStringList& args)
{
    QProcess child;
    child.start(childProgram, args);
    if (!child.waitForFinished(30000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return "child failed: " + child.readAllStandardError();
    return child.readAllStandardOutput().trimmed();
}

// What the rewriting child stores for filter id in any round: ",id," 3000 equal digits ",id,".
QString checkRewrittenText(int id, const QString& text)
{
    const QString mark = u',' + QString::number(id) + u',';
    if (text.size() != 3000 + 2 * mark.size() || !text.startsWith(mark) || !text.endsWith(mark))
        return QStringLiteral("filter %1 has a cut text of %2 characters").arg(id).arg(text.size());
    const QString fill = text.mid(mark.size(), 3000);
    if (fill.count(fill.at(0)) != fill.size())
        return QStringLiteral("filter %1 mixes two rounds").arg(id);
    return {};
}
} // namespace

// The settings store shared with another running program: a child process of the same code
// on the same XDG_CONFIG_HOME.
class TestStoreProcess : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_config = std::make_unique<ConfigDir>(); }
    void cleanup() { m_config.reset(); }

    void otherProgramsKeysCount();
    void twoProgramsSavingAtOnceLoseNothing();
    void savingOverAFilterChangedElsewhereKeepsBoth_data();
    void savingOverAFilterChangedElsewhereKeepsBoth();
    void interruptedWriteLeavesTheWholeFile();
    void writesReplaceTheFileWhole_data();
    void writesReplaceTheFileWhole();

private:
    std::unique_ptr<ConfigDir> m_config;
};

void TestStoreProcess::otherProgramsKeysCount()
{
    CApi api;
    CSlovar d;
    d.id = 58;
    api.m_slovarji = {d};
    api.InitFilters();
    api.SelectDictionaryById(58);

    for (int i = 0; i < 3; ++i) {
        QCOMPARE(runChild({QStringLiteral("save-as"), QStringLiteral("drugi %1").arg(i)}),
                 QByteArray::number(3 + 2 * i));
        QCOMPARE(api.SaveSelectionAsFilter(QStringLiteral("prvi %1").arg(i)), 4 + 2 * i);
    }

    // The child found the store through XDG_CONFIG_HOME as this process does.
    QVERIFY(m_config->readStore().contains("[FilterSlovarjev7]\nime=drugi 2\n"));
    CApi next;
    next.InitFilters();
    QStringList names;
    for (const CShema& f : std::as_const(next.m_sheme))
        names.append(describe(f));
    const QStringList expected{QStringLiteral("Vsi slovarji|0|,"),
                               QStringLiteral("Začasni filter|1|,,"),
                               QStringLiteral("Prednastavljeni filter|2|,70,58,"),
                               QStringLiteral("drugi 0|3|,70,"),
                               QStringLiteral("prvi 0|4|,58,"),
                               QStringLiteral("drugi 1|5|,70,"),
                               QStringLiteral("prvi 1|6|,58,"),
                               QStringLiteral("drugi 2|7|,70,"),
                               QStringLiteral("prvi 2|8|,58,")};
    QCOMPARE(names, expected);
}

void TestStoreProcess::twoProgramsSavingAtOnceLoseNothing()
{
    const QString go = m_config->dir() + QStringLiteral("/go");
    QProcess first, second;
    first.start(childProgram, {QStringLiteral("save-many"), QStringLiteral("prvi "), go});
    second.start(childProgram, {QStringLiteral("save-many"), QStringLiteral("drugi "), go});
    QVERIFY(first.waitForStarted() && second.waitForStarted());
    QFile(go).open(QIODevice::WriteOnly);
    for (QProcess* child : {&first, &second}) {
        QVERIFY(child->waitForFinished(60000));
        QCOMPARE(child->exitStatus(), QProcess::NormalExit);
        QCOMPARE(child->exitCode(), 0);
    }

    CApi next;
    next.InitFilters();
    QSet<int> ids;
    QSet<QString> names;
    for (const CShema& f : std::as_const(next.m_sheme)) {
        ids.insert(f.id);
        names.insert(f.name);
        if (f.id >= 3)
            QCOMPARE(f.dictionaries, QStringLiteral(",70,"));
    }
    QCOMPARE(next.m_sheme.size(), 3 + 80);
    QCOMPARE(ids.size(), 3 + 80);
    for (int i = 0; i < 40; ++i) {
        QVERIFY2(names.contains(QStringLiteral("prvi %1").arg(i)), qPrintable(QString::number(i)));
        QVERIFY2(names.contains(QStringLiteral("drugi %1").arg(i)), qPrintable(QString::number(i)));
    }
}

void TestStoreProcess::savingOverAFilterChangedElsewhereKeepsBoth_data()
{
    QTest::addColumn<QStringList>("other");  // what the other program does, none when empty
    QTest::addColumn<int>("savedId");        // where this program's "Shrani" goes
    QTest::addColumn<QStringList>("stored"); // the user filters a later start reads

    // Regression: the other program's new filter took the deleted one's id, and "Shrani" on
    // the stale entry here wrote over it.
    QTest::newRow("deleted there, its id reused")
        << QStringList{QStringLiteral("replace"), QStringLiteral("stari"), QStringLiteral("novi")} << 4
        << QStringList{QStringLiteral("novi|3|,70,"), QStringLiteral("stari|4|,70,58,")};
    QTest::newRow("its dictionaries changed there")
        << QStringList{QStringLiteral("change"), QStringLiteral("stari")} << 4
        << QStringList{QStringLiteral("stari|3|,70,"), QStringLiteral("stari|4|,70,58,")};
    QTest::newRow("untouched there: saved in place")
        << QStringList{} << 3 << QStringList{QStringLiteral("stari|3|,70,58,")};
}

// Two running programs on one store: this one lists filter 3 "stari" (58) while the other
// one changes or replaces it; then this one saves 70 and 58 into its "stari".
void TestStoreProcess::savingOverAFilterChangedElsewhereKeepsBoth()
{
    QFETCH(QStringList, other);
    QFETCH(int, savedId);
    QFETCH(QStringList, stored);

    CApi api;
    CSlovar d70, d58;
    d70.id = 70;
    d58.id = 58;
    api.m_slovarji = {d70, d58};
    api.InitFilters();
    api.SelectDictionaryById(58);
    QCOMPARE(api.SaveSelectionAsFilter(QStringLiteral("stari")), 3);
    if (!other.isEmpty())
        QCOMPARE(runChild(other), QByteArray("3"));

    api.m_izbraniSlovarji.clear();
    api.SelectDictionaryById(70);
    api.SelectDictionaryById(58);
    QCOMPARE(describe(api.m_sheme.at(3)), QStringLiteral("stari|3|,58,"));
    QCOMPARE(api.SaveSelectionToFilter(3), savedId);
    // This program now lists what is stored, and the selection where it went.
    QStringList listed;
    for (const CShema& f : std::as_const(api.m_sheme)) {
        if (f.id >= 3)
            listed << describe(f);
    }
    QCOMPARE(listed, stored);

    CApi next;
    next.InitFilters();
    QStringList read;
    for (const CShema& f : std::as_const(next.m_sheme)) {
        if (f.id >= 3)
            read << describe(f);
    }
    QCOMPARE(read, stored);
}

// A program killed while it stores filters must leave the file as it was before or after
// that write, never cut short. The child rewrites a file of about 300 kB in a loop; each
// kill lands while it holds the store's lock, i.e. inside a write, at a different point.
void TestStoreProcess::interruptedWriteLeavesTheWholeFile()
{
    QByteArray ini = "[Verbolix]\nSettings\\FirstRun=1\n";
    for (int id = 1; id <= FilterKeys::LastId; ++id) {
        const QByteArray mark = ',' + QByteArray::number(id) + ',';
        ini += "[FilterSlovarjev" + QByteArray::number(id) + "]\nime=F" + QByteArray::number(id) +
               "\nslovarji=\"" + mark + QByteArray(3000, '0') + mark + "\"\n";
    }
    QVERIFY(m_config->writeStore(ini));
    const QString lockPath = m_config->storePath() + QStringLiteral(".lock");

    for (int round = 0; round < 8; ++round) {
        QProcess child;
        child.start(childProgram, {QStringLiteral("rewrite")});
        QVERIFY(child.waitForStarted());
        QDeadlineTimer ready(30000);
        while (!child.canReadLine() && !ready.hasExpired() && child.state() == QProcess::Running)
            child.waitForReadyRead(100);
        QCOMPARE(child.readLine().trimmed(), QByteArray("ready"));

        QDeadlineTimer writing(10000);
        while (!QFile::exists(lockPath) && !writing.hasExpired()) {
        }
        QVERIFY2(QFile::exists(lockPath), "the child never took the store's lock");
        QElapsedTimer further; // a different point of the write in each round
        further.start();
        while (further.nsecsElapsed() < round * 600000) {
        }
        child.kill();
        QVERIFY(child.waitForFinished());
        // A lock left by a killed program counts as stale; an empty one (killed while
        // creating it) only after 30 s, which would merely slow the next round down.
        QFile::remove(lockPath);

        FilterKeys keys;
        for (int id = 1; id <= FilterKeys::LastId; ++id) {
            QVERIFY2(keys.exists(id), qPrintable(QStringLiteral("round %1: key %2 lost").arg(round).arg(id)));
            QCOMPARE(keys.name(id), QStringLiteral("F%1").arg(id));
            if (id >= 2) {
                const QString fault = checkRewrittenText(id, keys.dictionaries(id));
                QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("round %1: ").arg(round) + fault));
            }
        }
    }

    // The store still takes writes.
    QCOMPARE(runChild({QStringLiteral("save-as"), QStringLiteral("x")}), QByteArray("-1"));
    FilterKeys().remove(50);
    QCOMPARE(runChild({QStringLiteral("save-as"), QStringLiteral("x")}), QByteArray("50"));
}

using StoreWrite = std::function<void()>;
Q_DECLARE_METATYPE(StoreWrite)

void TestStoreProcess::writesReplaceTheFileWhole_data()
{
    QTest::addColumn<StoreWrite>("write");
    QTest::newRow("filter stored") << StoreWrite(
        [] { FilterKeys().write(3, QStringLiteral("kratko"), QStringLiteral(",")); });
    QTest::newRow("filter deleted") << StoreWrite([] { FilterKeys().remove(2); });
    QTest::newRow("setting written") << StoreWrite([] { Settings::Write(Setting::DialogW, 640); });
}

// Every write builds a new file and puts it in place of the old one in one step: a program
// that has the old file open goes on reading it whole and unchanged, and none ever sees a
// file being filled. A store that rewrote the file in place would show the new or a cut
// text through the open file.
void TestStoreProcess::writesReplaceTheFileWhole()
{
    QFETCH(StoreWrite, write);
    FilterKeys().write(2, QStringLiteral("dolgo"), QString(4000, u'5'));
    FilterKeys().write(3, QStringLiteral("srednje"), QString(2000, u'6'));
    QFile reader(m_config->storePath());
    QVERIFY(reader.open(QIODevice::ReadOnly));
    const QByteArray before = reader.readAll();

    write();

    const QByteArray after = m_config->readStore();
    QVERIFY(after != before);
    QVERIFY(reader.seek(0));
    QCOMPARE(reader.readAll(), before);
}

QTEST_GUILESS_MAIN(TestStoreProcess)
#include "tst_storeprocess.moc"
