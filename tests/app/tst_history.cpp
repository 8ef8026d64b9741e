// Back and forward through the entries looked at, driven as the user does it, with the
// requests the scripted service saw for every step.
#include "app/cmainframe.h"
#include "app/mytoolbar.h"
#include "core/settings.h"
#include "tests/support/framesettle.h"
#include "tests/support/scripteddictionaryservice.h"
#include "tests/support/scriptedresults.h"
#include "tests/support/scriptedserver.h"
#include "tests/support/tempconfig.h"
#include "ui/search/cinfinitelistview.h"
#include "ui/search/cquorbelview.h"
#include "ui/search/vnosnooknoiztocnica.h"

#include <QAction>
#include <QComboBox>
#include <QScrollBar>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
// How the user takes a step.
enum class Step
{
    Keys,           // Alt+Left / Alt+Right in the headword box
    ToolbarButtons, // a click on the toolbar's buttons
    MouseOverList,  // the mouse's back and forward buttons over the hit list
    MouseOverEntry, // ... and over the entry
};
} // namespace
Q_DECLARE_METATYPE(Step)

class TestHistory : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void stepsThroughLookUps_data();
    void stepsThroughLookUps();
    void stepInOneListAsksOnlyTheEntry_data();
    void stepInOneListAsksOnlyTheEntry();
    void backReturnsToTheEntryLeft_data();
    void backReturnsToTheEntryLeft();
    void backRestoresTheFilter();
    void lookUpAfterBackEndsTheWayForward();

private:
    void start();
    void search(const QString& text);
    void step(Step how, bool back);
    // The requests since the last clearRequests, shortened: "search miza", "get-entry 5037", a
    // bare path for the rest.
    QStringList traffic() const;
    QString entryText();
    // The list, the box and the entry show row of the search for word.
    void verifyPlace(const QString& word, int row, int topRow);

    std::unique_ptr<TempConfig> m_config;
    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<ScriptedDictionaryService> m_service;
    std::unique_ptr<CMainFrame> m_frame;
};

void TestHistory::init()
{
    m_config = std::make_unique<TempConfig>();
    m_server = std::make_unique<ScriptedServer>();
    m_service = std::make_unique<ScriptedDictionaryService>(*m_server);
    qputenv("VERBOLIX_API_BASE", m_server->baseUrl().toUtf8());
    qputenv("VERBOLIX_NO_SPLASH", "1");
}

void TestHistory::cleanup()
{
    m_frame.reset();
    m_service.reset();
    m_server.reset();
    qunsetenv("VERBOLIX_API_BASE");
    m_config.reset();
}

void TestHistory::start()
{
    m_frame = std::make_unique<CMainFrame>();
    QCOMPARE(m_frame->Create(), 0);
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
    QVERIFY(waitUntilSettled(*m_frame));
}

void TestHistory::search(const QString& text)
{
    VnosnoOknoIztocnica* box = m_frame->headwordBox();
    box->setFocus();
    box->setText(text);
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(waitUntilSettled(*m_frame));
}

void TestHistory::step(Step how, bool back)
{
    MyToolbar* toolbar = m_frame->toolbar();
    QAction* action = back ? toolbar->backAction() : toolbar->forwardAction();
    const Qt::MouseButton button = back ? Qt::BackButton : Qt::ForwardButton;
    switch (how) {
    case Step::Keys:
        QTest::keyClick(m_frame->headwordBox(), back ? Qt::Key_Left : Qt::Key_Right, Qt::AltModifier);
        break;
    case Step::ToolbarButtons:
        QTest::mouseClick(toolbar->widgetForAction(action), Qt::LeftButton);
        break;
    case Step::MouseOverList:
        QTest::mouseClick(m_frame->hitList()->viewport(), button);
        break;
    case Step::MouseOverEntry: {
        // The page's own widget gets the mouse; without the window it would go back in the
        // page's own history.
        QWidget* page = m_frame->entryView()->focusProxy();
        QVERIFY(page);
        QTest::mouseClick(page, button);
        break;
    }
    }
    QVERIFY(waitUntilSettled(*m_frame));
}

QStringList TestHistory::traffic() const
{
    QStringList shown;
    for (const QString& target : m_server->requests()) {
        const QString path = target.left(target.indexOf(u'?'));
        if (path == u"/1.0/search")
            shown << u"search "_s + ScriptedResults::parameter(target, u"query"_s);
        else if (path == u"/1.0/search/get-entry")
            shown << u"get-entry "_s + ScriptedResults::parameter(target, u"entryId"_s);
        else
            shown << path;
    }
    return shown;
}

QString TestHistory::entryText()
{
    QString text = u"<no answer>"_s;
    bool done = false;
    m_frame->entryView()->page()->runJavaScript(
        u"document.querySelector('.headword') ? document.querySelector('.headword').textContent : '<none>'"_s,
        QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
            text = v.toString();
            done = true;
        });
    if (!QTest::qWaitFor([&] { return done; }, 5000))
        return u"<no answer>"_s;
    return text;
}

void TestHistory::verifyPlace(const QString& word, int row, int topRow)
{
    CInfiniteListView* list = m_frame->hitList();
    QCOMPARE(m_frame->headwordBox()->text(), word);
    QCOMPARE(m_frame->lastQuery(), word);
    QCOMPARE(list->selectionMark(), row);
    QVERIFY(list->selectionModel()->isRowSelected(row));
    QCOMPARE(list->topRow(), topRow);
    QTRY_COMPARE_WITH_TIMEOUT(entryText(), u"vnos %1"_s.arg(ScriptedResults::entryIdOf(row)), 15000);
}

void TestHistory::stepsThroughLookUps_data()
{
    QTest::addColumn<Step>("how");
    QTest::newRow("Alt+Left, Alt+Right") << Step::Keys;
    QTest::newRow("toolbar buttons") << Step::ToolbarButtons;
    QTest::newRow("mouse buttons over the list") << Step::MouseOverList;
    QTest::newRow("mouse buttons over the entry") << Step::MouseOverEntry;
}

// Another search's place: that search again (no entry index, the row is known), then its entry.
void TestHistory::stepsThroughLookUps()
{
    QFETCH(Step, how);
    start();
    QAction* back = m_frame->toolbar()->backAction();
    QAction* forward = m_frame->toolbar()->forwardAction();
    QVERIFY(!forward->isEnabled());
    m_service->relativeIndex = 37;
    search(u"miza"_s);
    m_service->relativeIndex = 120;
    search(u"stol"_s);
    QVERIFY(back->isEnabled());
    QVERIFY(!forward->isEnabled());

    m_server->clearRequests();
    step(how, true);
    QCOMPARE(traffic(), QStringList({u"search miza"_s, u"get-entry 5037"_s}));
    verifyPlace(u"miza"_s, 37, 37);
    QVERIFY(back->isEnabled()); // start-up's entry is further back
    QVERIFY(forward->isEnabled());

    // Start-up searched for "*" from an empty box: the box comes back empty.
    step(how, true);
    QTRY_COMPARE(m_frame->lastQuery(), u"*"_s);
    QVERIFY(waitUntilSettled(*m_frame));
    QCOMPARE(m_frame->headwordBox()->text(), QString());
    QVERIFY(!back->isEnabled());
    step(how, false);
    QVERIFY(waitUntilSettled(*m_frame));
    verifyPlace(u"miza"_s, 37, 37);

    m_server->clearRequests();
    step(how, false);
    QCOMPARE(traffic(), QStringList({u"search stol"_s, u"get-entry 5120"_s}));
    verifyPlace(u"stol"_s, 120, 120);
    QVERIFY(!forward->isEnabled());

    // At the end of the way nothing is asked.
    m_server->clearRequests();
    step(how, false);
    QCOMPARE(traffic(), QStringList());
    verifyPlace(u"stol"_s, 120, 120);
}

void TestHistory::stepInOneListAsksOnlyTheEntry_data()
{
    QTest::addColumn<bool>("holdDown");
    QTest::addColumn<int>("otherRow");
    QTest::newRow("a click on another row") << false << 40;
    // Rows passed while Down is held show no entry, so they are no places of their own.
    QTest::newRow("Down held over five rows") << true << 42;
}

void TestHistory::stepInOneListAsksOnlyTheEntry()
{
    QFETCH(bool, holdDown);
    QFETCH(int, otherRow);
    start();
    search(u"miza"_s);
    CInfiniteListView* list = m_frame->hitList();
    QCOMPARE(list->selectionMark(), 37);
    if (holdDown) {
        list->setFocus();
        for (int i = 0; i < 5; ++i)
            QTest::keyPress(list, Qt::Key_Down);
        QTest::keyRelease(list, Qt::Key_Down);
    } else {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(otherRow, 0)).center());
    }
    QVERIFY(waitUntilSettled(*m_frame));
    QTRY_COMPARE_WITH_TIMEOUT(entryText(), u"vnos %1"_s.arg(ScriptedResults::entryIdOf(otherRow)), 15000);
    // The user scrolls on before going back; coming forward again finds the list so.
    list->verticalScrollBar()->setValue(30);
    QCOMPARE(list->topRow(), 30);

    m_server->clearRequests();
    step(Step::Keys, true);
    QCOMPARE(traffic(), QStringList({u"get-entry 5037"_s}));
    verifyPlace(u"miza"_s, 37, 37);

    m_server->clearRequests();
    step(Step::Keys, false);
    QCOMPARE(traffic(), QStringList({u"get-entry %1"_s.arg(ScriptedResults::entryIdOf(otherRow))}));
    verifyPlace(u"miza"_s, otherRow, 30);
}

void TestHistory::backReturnsToTheEntryLeft_data()
{
    QTest::addColumn<QString>("leftFor");
    QTest::addColumn<int>("total");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("a search without hits: the search again, the entry held")
        << u"xyzzy"_s << 0 << QStringList({u"search miza"_s});
    QTest::newRow("the version page: the list is still the search's, the entry held")
        << u"Quorbel:Verzija"_s << 500 << QStringList();
}

// A screen without an entry of its own: back is the entry it replaced, not the one before.
void TestHistory::backReturnsToTheEntryLeft()
{
    QFETCH(QString, leftFor);
    QFETCH(int, total);
    QFETCH(QStringList, expected);
    start();
    search(u"miza"_s);
    const int placesBefore = m_frame->history().places().size();
    m_service->total = total;
    search(leftFor);
    QTRY_VERIFY_WITH_TIMEOUT(!entryText().startsWith(u"vnos"_s), 15000);
    QVERIFY(m_frame->toolbar()->backAction()->isEnabled());
    m_service->total = 500;
    // Scrolled away meanwhile (where the list has rows): the entry, held, was shown before
    // the list scrolled back, and the place once kept the top of then.
    m_frame->hitList()->verticalScrollBar()->setValue(100);

    m_server->clearRequests();
    step(Step::Keys, true);
    QCOMPARE(traffic(), expected);
    verifyPlace(u"miza"_s, 37, 37);
    QCOMPARE(m_frame->history().places().size(), placesBefore);
    QVERIFY(!m_frame->toolbar()->forwardAction()->isEnabled());

    m_service->relativeIndex = 120;
    search(u"stol"_s);
    step(Step::Keys, true);
    verifyPlace(u"miza"_s, 37, 37);
}

// The place's search went to its filter's dictionaries: back asks them again and shows the
// filter, which the next start applies.
void TestHistory::backRestoresTheFilter()
{
    start();
    QComboBox* combo = m_frame->toolbar()->filterCombo();
    QCOMPARE(combo->currentIndex(), 2); // the preset filter: 70 and 58
    search(u"miza"_s);
    QTest::keyClick(m_frame->headwordBox(), Qt::Key_1, Qt::ControlModifier); // all dictionaries
    QVERIFY(waitUntilSettled(*m_frame));
    QCOMPARE(combo->currentIndex(), 0);

    m_server->clearRequests();
    step(Step::Keys, true);
    // The entry of row 37 is the same one under both filters here, and held.
    QCOMPARE(traffic(), QStringList({u"search miza"_s}));
    const QString target = m_server->requests().constFirst();
    QVERIFY2(target.contains(u"&dictionaryId=70&dictionaryId=58&start="_s), qPrintable(target));
    QCOMPARE(combo->currentIndex(), 2);
    QCOMPARE(Settings::Read(Setting::TrenutniFilter), 2);
    verifyPlace(u"miza"_s, 37, 37);

    m_server->clearRequests();
    step(Step::Keys, false);
    QCOMPARE(traffic(), QStringList({u"search miza"_s}));
    QVERIFY2(m_server->requests().constFirst().contains(u"dictionaryId=12"_s),
             qPrintable(m_server->requests().constFirst()));
    QCOMPARE(combo->currentIndex(), 0);
}

void TestHistory::lookUpAfterBackEndsTheWayForward()
{
    start();
    search(u"miza"_s);
    m_service->relativeIndex = 120;
    search(u"stol"_s);
    step(Step::Keys, true);
    m_service->relativeIndex = 60;
    search(u"klop"_s);
    QVERIFY(!m_frame->toolbar()->forwardAction()->isEnabled());

    m_server->clearRequests();
    step(Step::Keys, true);
    QCOMPARE(traffic(), QStringList({u"search miza"_s, u"get-entry 5037"_s}));
    verifyPlace(u"miza"_s, 37, 37);
    m_server->clearRequests();
    step(Step::Keys, false);
    QCOMPARE(traffic(), QStringList({u"search klop"_s, u"get-entry 5060"_s}));
    verifyPlace(u"klop"_s, 60, 60);
}

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
