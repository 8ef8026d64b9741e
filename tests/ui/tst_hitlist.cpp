#include "ui/search/cinfinitelistview.h"
#include "ui/search/displaystate.h"
#include "ui/search/hitdelegate.h"
#include "ui/search/hitlistmodel.h"
#include "ui/search/hitsource.h"
#include "ui/search/iskalnooknoinseznam.h"
#include "ui/search/vnosnooknoiztocnica.h"

#include <QApplication>
#include <QFontMetrics>
#include <QSignalSpy>
#include <QTest>
#include <climits>
#include <set>

namespace {
// Remembers every row it was asked about.
class RecordingSource : public HitSource
{
public:
    std::set<int> asked;
    QString GetHitHeadword(int row) override
    {
        asked.insert(row);
        return QStringLiteral("geslo %1").arg(row);
    }
    int GetHitImage(int row) override
    {
        asked.insert(row);
        return row % 2 ? 0 : -1;
    }
};
} // namespace

class TestHitList : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void onlyDrawnRowsAreAsked_data();
    void onlyDrawnRowsAreAsked();
    void selectHitScrollsRowToTop_data();
    void selectHitScrollsRowToTop();
    void heldScrollKeyShowsOneEntryOnRelease();
    void repeatsAsPlainPressesShowOneEntry();
    void typedKeyIsNoSearch_data();
    void typedKeyIsNoSearch();
    void typingInTheListStartsAWordInTheBox();
    void selectedBeforeShownIsAtTheTop();
    void startingSelectHitLeavesRowZeroUnselected();
    void immediateSelectionShowsEntry_data();
    void immediateSelectionShowsEntry();
    void startingModeShowsNothing();
    void hugeCountIsClamped();
    void fitTextToWidth_data();
    void fitTextToWidth();

private:
    RecordingSource* m_source = nullptr;
    DisplayState* m_display = nullptr;
    CInfiniteListView* m_list = nullptr;
};

void TestHitList::init()
{
    m_source = new RecordingSource;
    m_display = new DisplayState;
    m_display->displayMode = ModeNormal;
    m_list = new CInfiniteListView;
    m_list->setHitSource(m_source);
    m_list->setDisplayState(m_display);
    m_list->resize(240, 400);
    m_list->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_list));
}

void TestHitList::cleanup()
{
    delete m_list;
    delete m_display;
    delete m_source;
}

void TestHitList::onlyDrawnRowsAreAsked_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("200 rows") << 200;
    QTest::newRow("200,000 rows") << 200'000;
    QTest::newRow("3 million rows") << 3'000'000;
}

// Laying out the list must not ask for rows it does not draw (the last row above all: it
// would fetch the last page of every result).
void TestHitList::onlyDrawnRowsAreAsked()
{
    QFETCH(int, count);
    m_list->SetHitCount(count);
    QTRY_VERIFY(!m_source->asked.empty());
    QTest::qWait(50); // let the layout settle; nothing beyond the drawn rows may be asked meanwhile
    const int visibleRows = m_list->viewport()->height() / m_list->hitDelegate()->rowHeight() + 2;
    QVERIFY2(*m_source->asked.rbegin() <= visibleRows,
             qPrintable(QString::number(*m_source->asked.rbegin())));

    m_source->asked.clear();
    m_list->SelectHit(count / 2);
    QTRY_VERIFY(!m_source->asked.empty());
    QVERIFY(*m_source->asked.begin() >= count / 2 - 1);
    QVERIFY(*m_source->asked.rbegin() <= count / 2 + visibleRows);
}

void TestHitList::selectHitScrollsRowToTop_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("atTop");
    QTest::newRow("500 of 10,000") << 10'000 << 500 << true;
    QTest::newRow("0 of 10,000") << 10'000 << 0 << true;
    QTest::newRow("last of 10,000 scrolls only as far as it can") << 10'000 << 9'999 << false;
}

void TestHitList::selectHitScrollsRowToTop()
{
    QFETCH(int, count);
    QFETCH(int, row);
    QFETCH(bool, atTop);
    m_list->SetHitCount(count);
    QSignalSpy entries(m_list, &CInfiniteListView::entryRequested);
    m_list->SelectHit(row);
    QCoreApplication::processEvents();
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.at(0).at(0).toInt(), row);
    QCOMPARE(m_list->selectionMark(), row);
    if (atTop) {
        QCOMPARE(m_list->topRow(), row);
    } else {
        QVERIFY(m_list->topRow() < row);
        QVERIFY(m_list->visualRect(m_list->currentIndex()).bottom() <= m_list->viewport()->height());
    }
}

// Moving through rows with a held key fetches no entry until the key is released; then
// exactly one, for the selection mark.
void TestHitList::heldScrollKeyShowsOneEntryOnRelease()
{
    m_list->SetHitCount(1000);
    m_list->SelectHit(10);
    m_list->setFocus();
    QSignalSpy entries(m_list, &CInfiniteListView::entryRequested);

    QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(m_list, &press);
    for (int i = 0; i < 5; ++i) {
        QKeyEvent repeatRelease(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier, QString(), true);
        QCoreApplication::sendEvent(m_list, &repeatRelease);
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), true);
        QCoreApplication::sendEvent(m_list, &repeat);
    }
    QCOMPARE(entries.size(), 0);
    QCOMPARE(m_list->selectionMark(), 16);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(m_list, &release);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.at(0).at(0).toInt(), 16);
}

// Under the X server's detectable auto-repeat a held key arrives as presses alone, none of them
// marked as a repeat, and one release. Counting presses left the list thinking a key was still
// held, and no later selection showed its entry.
void TestHitList::repeatsAsPlainPressesShowOneEntry()
{
    m_list->SetHitCount(1000);
    m_list->SelectHit(10);
    m_list->setFocus();
    QSignalSpy entries(m_list, &CInfiniteListView::entryRequested);
    for (int i = 0; i < 6; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QCoreApplication::sendEvent(m_list, &press);
    }
    QCOMPARE(entries.size(), 0);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(m_list, &release);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.at(0).at(0).toInt(), 16);

    const QRect rect = m_list->visualRect(m_list->hitModel()->index(m_list->topRow() + 2, 0));
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(1).at(0).toInt(), m_list->topRow() + 2);
}

void TestHitList::typedKeyIsNoSearch_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("handedOn");
    QTest::newRow("letter k") << int(Qt::Key_K) << QStringLiteral("k") << 0 << true;
    QTest::newRow("capital Č") << 0x010c << QStringLiteral("Č") << int(Qt::ShiftModifier) << true;
    QTest::newRow("keypad digit") << int(Qt::Key_5) << QStringLiteral("5") << int(Qt::KeypadModifier) << true;
    QTest::newRow("space") << int(Qt::Key_Space) << QStringLiteral(" ") << 0 << false;
    QTest::newRow("Ctrl+k") << int(Qt::Key_K) << QStringLiteral("k") << int(Qt::ControlModifier) << false;
}

// Qt's type-ahead walked every row through the model: on a million hits one letter paged
// them all in from the service.
void TestHitList::typedKeyIsNoSearch()
{
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(int, modifiers);
    QFETCH(bool, handedOn);
    m_list->SetHitCount(1'000'249);
    m_list->SelectHit(0);
    m_list->setFocus();
    QTRY_VERIFY(!m_source->asked.empty());
    QCoreApplication::processEvents();
    m_source->asked.clear();
    QSignalSpy typed(m_list, &CInfiniteListView::textTyped);
    QSignalSpy entries(m_list, &CInfiniteListView::entryRequested);
    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
    QCoreApplication::sendEvent(m_list, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::KeyboardModifiers(modifiers), text);
    QCoreApplication::sendEvent(m_list, &release);
    QCoreApplication::processEvents();
    const int visibleRows = m_list->viewport()->height() / m_list->hitDelegate()->rowHeight() + 2;
    const int highest = m_source->asked.empty() ? -1 : *m_source->asked.rbegin();
    QVERIFY2(highest <= visibleRows, qPrintable(QString::number(highest)));
    QCOMPARE(m_list->selectionMark(), 0);
    QCOMPARE(entries.size(), 0);
    QCOMPARE(typed.size(), handedOn ? 1 : 0);
    if (handedOn)
        QCOMPARE(typed.at(0).at(0).toString(), text);
}

void TestHitList::typingInTheListStartsAWordInTheBox()
{
    IskalnoOknoInSeznam pane;
    pane.resize(250, 400);
    pane.show();
    pane.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&pane));
    pane.headwordBox()->setText(QStringLiteral("miza"));
    pane.hitList()->SetHitCount(100);
    pane.hitList()->setFocus();
    QTRY_VERIFY(pane.hitList()->hasFocus());
    QTest::keyClick(pane.hitList(), Qt::Key_S);
    QVERIFY(pane.headwordBox()->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T);
    QCOMPARE(pane.headwordBox()->text(), QStringLiteral("st"));
}

// The first search runs before the window is shown: its row came up selected but not at the top.
void TestHitList::selectedBeforeShownIsAtTheTop()
{
    CInfiniteListView list;
    list.setHitSource(m_source);
    list.setDisplayState(m_display);
    list.SetHitCount(10'000);
    list.resize(240, 0); // the pane lays the list out only once it has its own size
    list.SelectHit(500);
    list.resize(240, 400);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QTRY_COMPARE(list.topRow(), 500);
    QCOMPARE(list.selectionMark(), 500);
}

void TestHitList::startingSelectHitLeavesRowZeroUnselected()
{
    m_display->displayMode = ModeStarting;
    m_list->SetHitCount(100);
    QSignalSpy entries(m_list, &CInfiniteListView::entryRequested);
    m_list->SelectHit(0);
    QVERIFY(!m_list->selectionModel()->isRowSelected(0, {}));
    QCOMPARE(m_list->selectionMark(), 0);
    QCOMPARE(entries.size(), 0);
}

void TestHitList::immediateSelectionShowsEntry_data()
{
    QTest::addColumn<int>("key"); // 0: a click on the fourth visible row
    QTest::addColumn<int>("expected");
    QTest::newRow("click") << 0 << 3;
    QTest::newRow("End") << int(Qt::Key_End) << 99;
    QTest::newRow("Home") << int(Qt::Key_Home) << 0;
}

void TestHitList::immediateSelectionShowsEntry()
{
    QFETCH(int, key);
    QFETCH(int, expected);
    m_list->SetHitCount(100);
    m_list->SelectHit(key == Qt::Key_Home ? 50 : 0);
    m_list->setFocus();
    QSignalSpy entries(m_list, &CInfiniteListView::entryRequested);
    if (key == 0) {
        const QRect rect = m_list->visualRect(m_list->hitModel()->index(3, 0));
        QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, rect.center());
    } else {
        QTest::keyClick(m_list, Qt::Key(key));
    }
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.at(0).at(0).toInt(), expected);
    QCOMPARE(m_display->displayMode, int(ModeNormal));
}

void TestHitList::startingModeShowsNothing()
{
    m_display->displayMode = ModeStarting;
    m_list->SetHitCount(100);
    QSignalSpy entries(m_list, &CInfiniteListView::entryRequested);
    m_list->SelectHit(0);
    m_list->setFocus();
    QTest::keyClick(m_list, Qt::Key_End);
    QTest::keyClick(m_list, Qt::Key_Home);
    QCOMPARE(entries.size(), 0);
    QVERIFY(!m_list->selectionModel()->isRowSelected(0, {}));
    QCOMPARE(m_display->displayMode, int(ModeStarting));
}

// A total sent by the server must not become a layout of that many rows.
void TestHitList::hugeCountIsClamped()
{
    m_list->SetHitCount(INT_MAX);
    QCOMPARE(m_list->hitCount(), m_list->maxRows());
    QVERIFY(m_list->maxRows() >= 1'000'000);
    m_list->SetHitCount(-5);
    QCOMPARE(m_list->hitCount(), 0);
}

void TestHitList::fitTextToWidth_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("widthInChars"); // in widths of "m"
    QTest::addColumn<bool>("shortened");
    QTest::newRow("fits") << QStringLiteral("miza") << 20 << false;
    QTest::newRow("too wide") << QStringLiteral("mizarstvo in lesarstvo") << 10 << true;
    QTest::newRow("narrower than one char and dots") << QStringLiteral("mmmm") << 0 << true;
}

void TestHitList::fitTextToWidth()
{
    QFETCH(QString, text);
    QFETCH(int, widthInChars);
    QFETCH(bool, shortened);
    const QFontMetrics metrics(QFont(QStringLiteral("Arial"), 10));
    const int width = widthInChars * metrics.horizontalAdvance(QLatin1Char('m'));
    const QString fitted = HitDelegate::FitTextToWidth(text, metrics, width, 4);
    if (!shortened) {
        QCOMPARE(fitted, text);
        return;
    }
    QVERIFY(fitted.endsWith(QStringLiteral("...")));
    QVERIFY(fitted.size() >= 4);
    QVERIFY(text.startsWith(fitted.chopped(3)));
    if (fitted.size() > 4) // longer than the minimum: it fits, and one more character would not
        QVERIFY(metrics.horizontalAdvance(fitted) + 4 <= width);
    const QString longer = text.left(fitted.size() - 2) + QStringLiteral("...");
    QVERIFY(metrics.horizontalAdvance(longer) + 4 > width);
}

QTEST_MAIN(TestHitList)
#include "tst_hitlist.moc"
