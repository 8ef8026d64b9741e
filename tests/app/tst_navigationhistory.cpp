// The rules of back and forward on their own, played as scripts of look-ups and steps.
#include "app/navigationhistory.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestNavigationHistory : public QObject
{
    Q_OBJECT
private slots:
    void script_data();
    void script();
};

void TestNavigationHistory::script_data()
{
    // A word, with "/row" when not row 37: its entry is shown, the list's top row being the
    // token's index; "<" and ">": a step back or forward. Places are written "word:topRow".
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("places");
    QTest::addColumn<int>("current");
    QTest::addColumn<bool>("canGoBack");
    QTest::addColumn<bool>("canGoForward");
    QTest::newRow("nothing looked at: no steps") << 100 << u"< >"_s << QString() << -1 << false << false;
    QTest::newRow("three look-ups, two steps back")
        << 100 << u"a b c < <"_s << u"a:0 b:1 c:2"_s << 0 << false << true;
    QTest::newRow("back, back, forward") << 100 << u"a b c < < >"_s << u"a:0 b:1 c:2"_s << 1 << true << true;
    QTest::newRow("no step past either end")
        << 100 << u"a b > > < < <"_s << u"a:0 b:1"_s << 0 << false << true;
    QTest::newRow("a new look-up after back drops the places ahead")
        << 100 << u"a b c < d"_s << u"a:0 b:1 d:4"_s << 2 << true << false;
    QTest::newRow("the same entry again takes the current place")
        << 100 << u"a a"_s << u"a:1"_s << 0 << false << false;
    QTest::newRow("another row of the same search is a place of its own")
        << 100 << u"a a/40 <"_s << u"a:0 a:1"_s << 0 << false << true;
    // The entry a step goes to is shown as any other: that must not cut off the way forward.
    QTest::newRow("the place stepped to, shown, keeps the way forward")
        << 100 << u"a b < a"_s << u"a:3 b:1"_s << 0 << false << true;
    QTest::newRow("full: the oldest place goes")
        << 3 << u"a b c d"_s << u"b:1 c:2 d:3"_s << 2 << true << false;
    QTest::newRow("full after back: the places ahead go first")
        << 3 << u"a b c < < d"_s << u"a:0 d:5"_s << 1 << true << false;
}

void TestNavigationHistory::script()
{
    QFETCH(int, capacity);
    QFETCH(QString, steps);
    QFETCH(QString, places);
    QFETCH(int, current);
    QFETCH(bool, canGoBack);
    QFETCH(bool, canGoForward);
    NavigationHistory history(capacity);
    const QStringList tokens = steps.split(u' ', Qt::SkipEmptyParts);
    for (int i = 0; i < tokens.size(); ++i) {
        const QString& token = tokens.at(i);
        if (token == u"<") {
            const int before = history.currentIndex();
            const std::optional<HistoryPlace> place = history.back();
            // A step gives the place it went to, or nothing and stays.
            QCOMPARE(place.has_value(), history.currentIndex() != before);
            if (place)
                QCOMPARE(place->word, history.current()->word);
        } else if (token == u">") {
            const int before = history.currentIndex();
            const std::optional<HistoryPlace> place = history.forward();
            QCOMPARE(place.has_value(), history.currentIndex() != before);
            if (place)
                QCOMPARE(place->word, history.current()->word);
        } else {
            HistoryPlace place;
            place.word = token.section(u'/', 0, 0);
            place.dictionaries = {70, 58};
            place.topRow = i;
            place.row = token.contains(u'/') ? token.section(u'/', 1).toInt() : 37;
            place.entryId = 5000 + place.row;
            place.dictionaryId = place.row % 2 ? 58 : 70;
            history.record(place);
        }
    }
    QStringList held;
    for (const HistoryPlace& place : history.places())
        held << place.word + u':' + QString::number(place.topRow);
    QCOMPARE(held.join(u' '), places);
    QCOMPARE(history.currentIndex(), current);
    QCOMPARE(history.canGoBack(), canGoBack);
    QCOMPARE(history.canGoForward(), canGoForward);
}

QTEST_APPLESS_MAIN(TestNavigationHistory)
#include "tst_navigationhistory.moc"
