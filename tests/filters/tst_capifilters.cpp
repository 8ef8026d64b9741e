#include "core/capi.h"
#include "tests/filters/configdir.h"
#include "core/filters/dictionariestext.h"
#include "core/filters/filterkeys.h"
#include "core/settings.h"

#include <QTest>
#include <climits>
#include <memory>

namespace {
CSlovar dictionary(int id, const QString& name = QString(), const QString& author = QString())
{
    CSlovar d;
    d.id = id;
    d.name = name;
    d.author = author;
    return d;
}

QList<CSlovar> someDictionaries()
{
    return {dictionary(70, QStringLiteral("Sedemdeset"), QStringLiteral("Avtor A")),
            dictionary(58, QStringLiteral("Oseminpetdeset"), QStringLiteral("Avtor B")),
            dictionary(3, QStringLiteral("Tri"), QString())};
}

// The store as another instance or an earlier run left it: key N named "F<N>" holding ",N,".
QByteArray storedKeys(const QList<int>& ids, int firstRun = -1)
{
    QByteArray ini;
    for (int id : ids)
        ini += "[FilterSlovarjev" + QByteArray::number(id) + "]\nime=F" + QByteArray::number(id) +
               "\nslovarji=\"," + QByteArray::number(id) + ",\"\n";
    if (firstRun >= 0)
        ini += "[Verbolix]\nSettings\\FirstRun=" + QByteArray::number(firstRun) + '\n';
    return ini;
}

QList<int> idsOf(const QList<CShema>& filters)
{
    QList<int> ids;
    for (const CShema& f : filters)
        ids.append(f.id);
    return ids;
}

QList<int> keysInStore()
{
    QList<int> ids;
    FilterKeys keys;
    for (int id = 0; id <= 100; ++id) {
        if (keys.exists(id))
            ids.append(id);
    }
    return ids;
}

QList<int> range(int first, int last)
{
    QList<int> ids;
    for (int id = first; id <= last; ++id)
        ids.append(id);
    return ids;
}

QString describe(const CShema& f)
{
    return f.name + u'|' + QString::number(f.id) + u'|' + f.dictionaries + u'|' +
           (f.temporary ? QStringLiteral("temporary") : QStringLiteral("-"));
}

QStringList describe(const QList<CShema>& filters)
{
    QStringList lines;
    for (const CShema& f : filters)
        lines.append(describe(f));
    return lines;
}
} // namespace

class TestCApiFilters : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_config.reset(); }

    void startUp_data();
    void startUp();
    void firstStart();
    void renamedTemporaryKeepsItsName();
    void idsAreReused();
    void allUserKeysTaken();
    void containment_data();
    void containment();
    void selectionTexts();
    void positionsOutsideTheLists_data();
    void positionsOutsideTheLists();
    void emptyLists();
    void saveSelectionToFilter();
    void allDictionariesCannotBeDeleted();
    void twoApisSaveAlternately();
    void saveAsSkipsAnIdStillListed();
    void newDictionaryListRebuildsFilters();

private:
    std::unique_ptr<ConfigDir> m_config;
    CApi m_api;
};

void TestCApiFilters::init()
{
    m_config = std::make_unique<ConfigDir>();
    m_api.m_sheme.clear();
    m_api.m_izbraniSlovarji.clear();
    m_api.m_slovarji = someDictionaries();
}

void TestCApiFilters::startUp_data()
{
    QTest::addColumn<QList<int>>("stored");
    QTest::addColumn<int>("firstRun"); // -1: not in the store
    QTest::addColumn<QList<int>>("listed");
    QTest::addColumn<QList<int>>("keysAfter");
    QTest::addColumn<int>("trenutniFilter"); // -1: not written

    QTest::newRow("first start, empty store")
        << QList<int>{} << -1 << QList<int>{0, 1, 2} << QList<int>{1, 2} << 2;
    QTest::newRow("second start: rebuilt in id order, nothing created")
        << QList<int>{5, 1, 2} << 1 << QList<int>{0, 1, 2, 5} << QList<int>{1, 2, 5} << -1;
    QTest::newRow("deleted preset is not created again")
        << QList<int>{1} << 1 << QList<int>{0, 1} << QList<int>{1} << -1;
    QTest::newRow("FirstRun other than 0 counts as done")
        << QList<int>{} << 5 << QList<int>{0, 1} << QList<int>{1} << -1;
    QTest::newRow("missing temporary filter comes back after the others")
        << QList<int>{2, 3} << 1 << QList<int>{0, 2, 3, 1} << QList<int>{1, 2, 3} << -1;
    QTest::newRow("first run with keys 1 2 5: preset takes 3")
        << QList<int>{1, 2, 5} << 0 << QList<int>{0, 1, 2, 5, 3} << QList<int>{1, 2, 3, 5} << 3;
    // All 98 user keys taken: the all-dictionaries filter still comes first, the temporary
    // filter is still added, and no preset can be.
    QTest::newRow("keys 2..99 taken on a first run")
        << range(2, 99) << 0 << QList<int>{0} + range(2, 99) + QList<int>{1} << range(1, 99) << -1;
    QTest::newRow("keys 1..99 taken")
        << range(1, 99) << 1 << QList<int>{0} + range(1, 99) << range(1, 99) << -1;
}

void TestCApiFilters::startUp()
{
    QFETCH(QList<int>, stored);
    QFETCH(int, firstRun);
    QFETCH(QList<int>, listed);
    QFETCH(QList<int>, keysAfter);
    QFETCH(int, trenutniFilter);
    QVERIFY(m_config->writeStore(storedKeys(stored, firstRun)));

    m_api.InitFilters();

    QCOMPARE(idsOf(m_api.m_sheme), listed);
    QCOMPARE(describe(m_api.m_sheme.first()), QStringLiteral("Vsi slovarji|0|,70,58,3,|-"));
    QCOMPARE(keysInStore(), keysAfter);
    QCOMPARE(Settings::Read(Setting::FirstRun), firstRun > 0 ? firstRun : 1);
    if (trenutniFilter < 0)
        QVERIFY(!m_config->readStore().contains("TrenutniFilter"));
    else
        QCOMPARE(Settings::Read(Setting::TrenutniFilter), trenutniFilter);
    // Stored filters keep what their keys hold.
    for (const CShema& f : std::as_const(m_api.m_sheme)) {
        if (stored.contains(f.id))
            QCOMPARE(describe(f), QStringLiteral("F%1|%1|,%1,|").arg(f.id) +
                                      (f.id == 1 ? QStringLiteral("temporary") : QStringLiteral("-")));
    }
}

void TestCApiFilters::firstStart()
{
    m_api.InitFilters();

    const QStringList expected{QStringLiteral("Vsi slovarji|0|,70,58,3,|-"),
                               QStringLiteral("Začasni filter|1|,,|temporary"),
                               QStringLiteral("Prednastavljeni filter|2|,70,58,|-")};
    QCOMPARE(describe(m_api.m_sheme), expected);
    FilterKeys keys;
    QCOMPARE(keys.name(1), QStringLiteral("Začasni filter"));
    QCOMPARE(keys.dictionaries(1), QStringLiteral(",,"));
    QCOMPARE(keys.name(2), QStringLiteral("Prednastavljeni filter"));
    QCOMPARE(keys.dictionaries(2), QStringLiteral(",70,58,"));

    // The next start reads back the same list.
    CApi next;
    next.m_slovarji = someDictionaries();
    next.InitFilters();
    QCOMPARE(describe(next.m_sheme), expected);
    QCOMPARE(keysInStore(), (QList<int>{1, 2}));
}

void TestCApiFilters::renamedTemporaryKeepsItsName()
{
    QVERIFY(m_config->writeStore("[FilterSlovarjev1]\nime=Moj filter\nslovarji=\",58,\"\n"
                                 "[Verbolix]\nSettings\\FirstRun=1\n"));
    m_api.InitFilters();
    QCOMPARE(describe(m_api.m_sheme.at(1)), QStringLiteral("Moj filter|1|,58,|temporary"));

    m_api.SetFilter(1, QStringLiteral("Drugo ime"), QStringLiteral(",70,"));

    QCOMPARE(describe(m_api.m_sheme.at(1)), QStringLiteral("Moj filter|1|,70,|temporary"));
    QCOMPARE(m_api.m_sheme.size(), 2);
    QCOMPARE(FilterKeys().name(1), QStringLiteral("Moj filter"));
    QCOMPARE(FilterKeys().dictionaries(1), QStringLiteral(",70,"));
}

void TestCApiFilters::idsAreReused()
{
    QVERIFY(m_config->writeStore(storedKeys({1, 2, 5}, 1)));
    m_api.InitFilters();
    m_api.SelectDictionaryById(58);

    QCOMPARE(m_api.FindFreeFilterId(), 3);
    QCOMPARE(m_api.SaveSelectionAsFilter(QStringLiteral("a")), 3);
    QCOMPARE(m_api.SaveSelectionAsFilter(QStringLiteral("b")), 4);
    QCOMPARE(m_api.SaveSelectionAsFilter(QStringLiteral("c")), 6);
    QCOMPARE(idsOf(m_api.m_sheme), (QList<int>{0, 1, 2, 5, 3, 4, 6}));
    QCOMPARE(describe(m_api.m_sheme.at(5)), QStringLiteral("b|4|,58,|-"));
    QCOMPARE(FilterKeys().name(6), QStringLiteral("c"));

    m_api.DeleteFilter(4); // the filter with id 3
    QCOMPARE(idsOf(m_api.m_sheme), (QList<int>{0, 1, 2, 5, 4, 6}));
    QCOMPARE(keysInStore(), (QList<int>{1, 2, 4, 5, 6}));

    QCOMPARE(m_api.SaveSelectionAsFilter(QStringLiteral("d")), 3);
    QCOMPARE(describe(m_api.m_sheme.last()), QStringLiteral("d|3|,58,|-"));
    QCOMPARE(keysInStore(), (QList<int>{1, 2, 3, 4, 5, 6}));
    QCOMPARE(FilterKeys().name(3), QStringLiteral("d"));
}

void TestCApiFilters::allUserKeysTaken()
{
    QVERIFY(m_config->writeStore(storedKeys(range(1, 99), 1)));
    m_api.InitFilters();
    m_api.SelectDictionaryById(70);
    const QStringList before = describe(m_api.m_sheme);
    const QByteArray storeBefore = m_config->readStore();

    QCOMPARE(m_api.FindFreeFilterId(), -1);
    QCOMPARE(m_api.SaveSelectionAsFilter(QStringLiteral("nov")), -1);

    QCOMPARE(describe(m_api.m_sheme), before);
    QCOMPARE(m_config->readStore(), storeBefore);

    // Deleting one frees exactly that id.
    m_api.DeleteFilter(42);
    QCOMPARE(m_api.FindFreeFilterId(), 42);
    QCOMPARE(m_api.SaveSelectionAsFilter(QStringLiteral("nov")), 42);
    QCOMPARE(describe(m_api.m_sheme.last()), QStringLiteral("nov|42|,70,|-"));
}

void TestCApiFilters::containment_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("contains");

    QTest::newRow(",170,58, holds 170") << QStringLiteral(",170,58,") << 170 << true;
    QTest::newRow(",170,58, holds 58") << QStringLiteral(",170,58,") << 58 << true;
    QTest::newRow(",170,58, lacks 70") << QStringLiteral(",170,58,") << 70 << false;
    QTest::newRow(",170,58, lacks 17") << QStringLiteral(",170,58,") << 17 << false;
    QTest::newRow(",170,58, lacks 5") << QStringLiteral(",170,58,") << 5 << false;
    QTest::newRow(",70, holds 70") << QStringLiteral(",70,") << 70 << true;
    QTest::newRow("unset temporary ,, lacks 0") << QStringLiteral(",,") << 0 << false;
    QTest::newRow("no commas lacks 70") << QStringLiteral("70") << 70 << false;
    QTest::newRow("empty text lacks 70") << QString() << 70 << false;
}

void TestCApiFilters::containment()
{
    QFETCH(QString, text);
    QFETCH(int, id);
    QFETCH(bool, contains);

    QCOMPARE(TextContainsDictionary(text, id), contains);

    // The same text round trip through a stored filter.
    QVERIFY(m_config->writeStore("[Verbolix]\nSettings\\FirstRun=1\n"));
    m_api.InitFilters();
    m_api.SetFilter(1, QString(), text);
    m_api.ReloadFilters();
    QCOMPARE(TextContainsDictionary(m_api.GetFilter(1).dictionaries, id), contains);
}

void TestCApiFilters::selectionTexts()
{
    QCOMPARE(m_api.SelectionText(), QStringLiteral(","));
    QCOMPARE(m_api.AllDictionariesText(), QStringLiteral(",70,58,3,"));

    auto languages = std::make_shared<const QList<QString>>(QList<QString>{QStringLiteral("sl")});
    m_api.m_slovarji = {dictionary(58, QStringLiteral("B")), dictionary(70, QStringLiteral("A")),
                        dictionary(58, QStringLiteral("B twin"))};
    m_api.m_slovarji[0].languages = languages;
    m_api.SelectDictionaryById(70);
    m_api.SelectDictionaryById(58); // every match is added, in list order
    m_api.SelectDictionaryById(999);

    QCOMPARE(m_api.SelectionText(), QStringLiteral(",70,58,58,"));
    QCOMPARE(m_api.m_izbraniSlovarji.at(2).name, QStringLiteral("B twin"));
    QCOMPARE(m_api.m_izbraniSlovarji.at(1).languages, languages);

    m_api.m_izbraniSlovarji[1].name = QStringLiteral("changed");
    QCOMPARE(m_api.m_slovarji.at(0).name, QStringLiteral("B"));
    m_api.m_slovarji.clear();
    QCOMPARE(m_api.AllDictionariesText(), QStringLiteral(","));
}

void TestCApiFilters::positionsOutsideTheLists_data()
{
    QTest::addColumn<int>("position");
    QTest::newRow("-1") << -1;
    QTest::newRow("one past the end") << 3;
    QTest::newRow("stale TrenutniFilter far beyond") << 57;
    QTest::newRow("INT_MAX") << INT_MAX;
    QTest::newRow("INT_MIN") << INT_MIN;
}

void TestCApiFilters::positionsOutsideTheLists()
{
    QFETCH(int, position);
    m_api.InitFilters();
    m_api.SelectDictionaryById(3);
    QCOMPARE(m_api.m_sheme.size(), 3);
    const QStringList before = describe(m_api.m_sheme);
    const QByteArray storeBefore = m_config->readStore();

    QCOMPARE(describe(m_api.GetFilter(position)), before.first());
    m_api.SaveSelectionToFilter(position);
    m_api.DeleteFilter(position);
    QCOMPARE(describe(m_api.m_sheme), before);
    QCOMPARE(m_config->readStore(), storeBefore);

    QCOMPARE(m_api.GetDictionaryAt(position).id, 0);
    QVERIFY(m_api.GetDictionaryAt(position).name.isEmpty());
    QVERIFY(m_api.GetDictionaryNameAt(position).isEmpty());
    QVERIFY(m_api.GetDictionaryAuthorAt(position).isEmpty());
}

void TestCApiFilters::emptyLists()
{
    m_api.m_slovarji.clear();
    QCOMPARE(describe(m_api.GetFilter(0)), QStringLiteral("|0||-"));
    QVERIFY(m_api.GetDictionaryNameAt(0).isEmpty());
    m_api.SaveSelectionToFilter(0);
    m_api.DeleteFilter(0);
    QVERIFY(m_api.m_sheme.isEmpty());

    m_api.m_slovarji = someDictionaries();
    QCOMPARE(m_api.GetDictionaryNameAt(1), QStringLiteral("Oseminpetdeset"));
    QCOMPARE(m_api.GetDictionaryAuthorAt(0), QStringLiteral("Avtor A"));
    QCOMPARE(m_api.GetDictionaryAt(2).name, QStringLiteral("Tri"));
}

void TestCApiFilters::saveSelectionToFilter()
{
    m_api.InitFilters();
    m_api.SelectDictionaryById(3);
    m_api.SelectDictionaryById(70);

    // The all-dictionaries filter changes in memory only.
    m_api.SaveSelectionToFilter(0);
    QCOMPARE(describe(m_api.GetFilter(0)), QStringLiteral("Vsi slovarji|0|,3,70,|-"));
    QCOMPARE(keysInStore(), (QList<int>{1, 2}));

    m_api.SaveSelectionToFilter(2);
    QCOMPARE(describe(m_api.GetFilter(2)), QStringLiteral("Prednastavljeni filter|2|,3,70,|-"));
    QCOMPARE(FilterKeys().name(2), QStringLiteral("Prednastavljeni filter"));
    QCOMPARE(FilterKeys().dictionaries(2), QStringLiteral(",3,70,"));

    m_api.ReloadFilters();
    QCOMPARE(describe(m_api.GetFilter(0)), QStringLiteral("Vsi slovarji|0|,70,58,3,|-"));
    QCOMPARE(describe(m_api.GetFilter(2)), QStringLiteral("Prednastavljeni filter|2|,3,70,|-"));
}

// Every caller treats position 0 as all dictionaries; deleting it would shift every filter.
void TestCApiFilters::allDictionariesCannotBeDeleted()
{
    m_api.InitFilters();
    m_api.DeleteFilter(0);
    QCOMPARE(idsOf(m_api.m_sheme), (QList<int>{0, 1, 2}));

    m_api.DeleteFilter(1);
    QCOMPARE(idsOf(m_api.m_sheme), (QList<int>{0, 2}));
    QCOMPARE(keysInStore(), (QList<int>{2}));
}

void TestCApiFilters::twoApisSaveAlternately()
{
    CApi other;
    other.m_slovarji = someDictionaries();
    m_api.InitFilters();
    other.InitFilters();
    m_api.SelectDictionaryById(70);
    other.SelectDictionaryById(58);

    QCOMPARE(m_api.SaveSelectionAsFilter(QStringLiteral("prvi 1")), 3);
    QCOMPARE(other.SaveSelectionAsFilter(QStringLiteral("drugi 1")), 4);
    QCOMPARE(m_api.SaveSelectionAsFilter(QStringLiteral("prvi 2")), 5);
    QCOMPARE(other.SaveSelectionAsFilter(QStringLiteral("drugi 2")), 6);
    m_api.SaveSelectionToFilter(3); // "prvi 1" again
    other.SaveSelectionToFilter(3); // "drugi 1" again

    CApi next;
    next.m_slovarji = someDictionaries();
    next.InitFilters();
    const QStringList expected{QStringLiteral("Vsi slovarji|0|,70,58,3,|-"),
                               QStringLiteral("Začasni filter|1|,,|temporary"),
                               QStringLiteral("Prednastavljeni filter|2|,70,58,|-"),
                               QStringLiteral("prvi 1|3|,70,|-"),
                               QStringLiteral("drugi 1|4|,58,|-"),
                               QStringLiteral("prvi 2|5|,70,|-"),
                               QStringLiteral("drugi 2|6|,58,|-")};
    QCOMPARE(describe(next.m_sheme), expected);
}

// Another instance deleted key 3 while this one still lists filter 3: a new filter must be
// added under an id of its own, not poured into the listed one.
void TestCApiFilters::saveAsSkipsAnIdStillListed()
{
    QVERIFY(m_config->writeStore(storedKeys({1, 2, 3}, 1)));
    CApi other;
    other.m_slovarji = someDictionaries();
    m_api.InitFilters();
    other.InitFilters();
    other.DeleteFilter(3);
    m_api.SelectDictionaryById(58);

    QCOMPARE(m_api.FindFreeFilterId(), 3);
    QCOMPARE(m_api.SaveSelectionAsFilter(QStringLiteral("nov")), 4);

    QCOMPARE(describe(m_api.m_sheme.at(3)), QStringLiteral("F3|3|,3,|-"));
    QCOMPARE(describe(m_api.m_sheme.last()), QStringLiteral("nov|4|,58,|-"));
    QCOMPARE(keysInStore(), (QList<int>{1, 2, 4}));
    QCOMPARE(FilterKeys().name(4), QStringLiteral("nov"));
}

void TestCApiFilters::newDictionaryListRebuildsFilters()
{
    m_api.SetDictionaries({dictionary(9), dictionary(170)});
    QCOMPARE(idsOf(m_api.m_sheme), (QList<int>{0, 1, 2}));
    QCOMPARE(m_api.GetFilter(0).dictionaries, QStringLiteral(",9,170,"));

    m_api.SetFilter(1, QString(), QStringLiteral(",170,"));
    m_api.SetDictionaries(someDictionaries());
    QCOMPARE(idsOf(m_api.m_sheme), (QList<int>{0, 1, 2}));
    QCOMPARE(describe(m_api.GetFilter(0)), QStringLiteral("Vsi slovarji|0|,70,58,3,|-"));
    QCOMPARE(describe(m_api.GetFilter(1)), QStringLiteral("Začasni filter|1|,170,|temporary"));
    QCOMPARE(keysInStore(), (QList<int>{1, 2}));
}

QTEST_GUILESS_MAIN(TestCApiFilters)
#include "tst_capifilters.moc"
