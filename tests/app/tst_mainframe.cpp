#include "app/cmainframe.h"
#include "app/cquorbelapp.h"
#include "app/mycmfccaptionbar.h"
#include "app/mytoolbar.h"
#include "app/userresizewatch.h"
#include "app/windowplacement.h"
#include "core/settings.h"
#include "tests/support/framesettle.h"
#include "tests/support/scripteddictionaryservice.h"
#include "tests/support/scriptedresults.h"
#include "tests/support/scriptedserver.h"
#include "tests/support/tempconfig.h"
#include "ui/search/cinfinitelistview.h"
#include "ui/search/cquorbelview.h"
#include "ui/search/hitdelegate.h"
#include "ui/search/iskalnooknoinseznam.h"
#include "ui/search/staticstevilorezultatov.h"
#include "ui/search/vnosnooknoiztocnica.h"

#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <memory>
#include <optional>

namespace {
const QString searchPath = QStringLiteral("/1.0/search");

QString pathOf(const QString& target)
{
    return target.left(target.indexOf(QLatin1Char('?')));
}
// The browser flags the test was started with, before PrepareProcess added the program's.
QByteArray userFlags;
QByteArray userQuickBackend;
// Qt Quick's backend as the first entry view would find it.
QByteArray quickBackendBeforeTheView;
} // namespace

class TestMainFrame : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startupTrafficInOrder();
    void enterShowsTheResult_data();
    void enterShowsTheResult();
    void searchWithoutHits();
    void rowsKeepTheQueryOfTheLastSearch();
    void listPagesInAsRowsAreDrawn();
    void versionPage();
    void filterChosenInCombo_data();
    void filterChosenInCombo();
    void ctrlDigitChoosesFilter_data();
    void ctrlDigitChoosesFilter();
    void tabMovesFocusBetweenListAndBox();
    void alwaysOnTop_data();
    void alwaysOnTop();
    void heightChangeSearchesAgain_data();
    void heightChangeSearchesAgain();
    void placementComesBack_data();
    void placementComesBack();
    void placementIsKept();
    void typingInTheListAsksNothing();
    void bestRowIsAtTheTopAfterStart();
    void startPageLeavesRowZeroUnselected();
    void stylesheetFileGoesWithTheProgram();
    void startPageUntilTheUserActs();
    void copyTakesTheEntrySelection();
    void crossReferenceLooksUpItsWord();
    void browserFlagsKeepTheUsersOwn();

private:
    void start();
    void search(const QString& text);
    QString entryText();
    QStringList searches() const;

    std::unique_ptr<TempConfig> m_config;
    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<ScriptedDictionaryService> m_service;
    std::unique_ptr<CMainFrame> m_frame;
};

void TestMainFrame::init()
{
    m_config = std::make_unique<TempConfig>();
    m_server = std::make_unique<ScriptedServer>();
    m_service = std::make_unique<ScriptedDictionaryService>(*m_server);
    qputenv("VERBOLIX_API_BASE", m_server->baseUrl().toUtf8());
}

void TestMainFrame::cleanup()
{
    m_frame.reset();
    m_service.reset();
    m_server.reset();
    qunsetenv("VERBOLIX_API_BASE");
    m_config.reset();
}

void TestMainFrame::start()
{
    m_frame = std::make_unique<CMainFrame>();
    QCOMPARE(m_frame->Create(), 0);
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    QVERIFY(waitUntilSettled(*m_frame));
}

void TestMainFrame::search(const QString& text)
{
    VnosnoOknoIztocnica* box = m_frame->headwordBox();
    box->setFocus();
    box->setText(text);
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(waitUntilSettled(*m_frame));
}

QStringList TestMainFrame::searches() const
{
    return m_server->requests(searchPath);
}

// The text of the list item of the page on show now.
QString TestMainFrame::entryText()
{
    QString text = QStringLiteral("<no answer>");
    bool done = false;
    m_frame->entryView()->page()->runJavaScript(
        QStringLiteral(
            "document.querySelector('#results li') ? document.querySelector('#results li').textContent "
            ": '<none>'"),
        QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
            text = v.toString();
            done = true;
        });
    if (!QTest::qWaitFor([&] { return done; }, 5000))
        return QStringLiteral("<no answer>");
    return text;
}

void TestMainFrame::startupTrafficInOrder()
{
    start();
    QStringList paths;
    for (const QString& target : m_server->requests())
        paths << pathOf(target);
    const QStringList expected{
        QStringLiteral("/1.0/messages"),           QStringLiteral("/1.0/dictionary/list"),
        QStringLiteral("/1.0/dictionary/icon"),    QStringLiteral("/1.0/dictionary/icon"),
        QStringLiteral("/1.0/dictionary/icon"),    searchPath,
        QStringLiteral("/1.0/search/entry-index"), QStringLiteral("/1.0/search/get-entry")};
    QCOMPARE(paths.mid(0, expected.size()), expected);
    const QStringList all = m_server->requests();
    // The icons are fetched together, so they may arrive in any order.
    QStringList icons = all.mid(2, 3);
    for (QString& icon : icons)
        icon = icon.mid(icon.lastIndexOf(QLatin1Char('=')) + 1);
    icons.sort();
    QCOMPARE(icons, QStringList({QStringLiteral("12"), QStringLiteral("58"), QStringLiteral("70")}));
    // First run: the preset filter of 70 and 58 is current, and its ids go with the search.
    QVERIFY(all.at(5).contains(QStringLiteral("&dictionaryId=70&dictionaryId=58")));
    QVERIFY(!all.at(5).contains(QStringLiteral("dictionaryId=12")));
    QCOMPARE(m_frame->toolbar()->filterCombo()->currentText(), QStringLiteral("Prednastavljeni filter"));
    QCOMPARE(Settings::Read(Setting::TrenutniFilter), 2);
    QCOMPARE(m_frame->icons().count(), 3);
    QCOMPARE(m_frame->hitList()->hitDelegate()->imageCount(), 3);
}

void TestMainFrame::enterShowsTheResult_data()
{
    QTest::addColumn<int>("relativeIndex");
    QTest::addColumn<int>("selectedRow");
    QTest::addColumn<int>("notFound");
    QTest::newRow("headword found at 37") << 37 << 37 << 0;
    QTest::newRow("headword not found (-1)") << -1 << 0 << 1;
    QTest::newRow("failed index answer (0)") << 0 << 0 << 0;
}

void TestMainFrame::enterShowsTheResult()
{
    QFETCH(int, relativeIndex);
    QFETCH(int, selectedRow);
    QFETCH(int, notFound);
    start();
    m_service->total = 1234;
    m_service->relativeIndex = relativeIndex;
    m_server->clearRequests();
    search(QStringLiteral("miza"));

    QCOMPARE(searches().size(), 1);
    QVERIFY(searches().at(0).contains(QStringLiteral("query=miza")));
    IskalnoOknoInSeznam* pane = m_frame->searchPane();
    QCOMPARE(pane->countLabel()->text(), QStringLiteral("Najdenih: 1234"));
    QCOMPARE(m_frame->hitList()->hitCount(), 1234);
    QCOMPARE(m_frame->hitList()->selectionMark(), selectedRow);
    QCOMPARE(pane->headwordNotFound, notFound);
    QCOMPARE(m_frame->displayMode(), int(ModeNormal));
    // Entry of the selected row: the scripted service numbers entries by position.
    QTRY_VERIFY_WITH_TIMEOUT(
        entryText().startsWith(QStringLiteral("vnos %1 ").arg(ScriptedResults::entryIdOf(selectedRow))),
        15000);
    const int dictionary = ScriptedResults::dictionaryIdOf(selectedRow);
    QCOMPARE(m_frame->captionBar()->text(),
             dictionary == 70 ? QStringLiteral("Slovar A - Avtor B") : QStringLiteral("Slovar C - Avtor D"));
    // The placeholder "Slovar tooltip" showed over the dictionary's name: the bar has no button.
    QCOMPARE(m_frame->captionBar()->buttonToolTip(), QString());
    QCOMPARE(m_frame->captionBar()->toolTip(), QString());
    QCOMPARE(m_frame->headwordBox()->selectedText(), QStringLiteral("miza"));
}

void TestMainFrame::searchWithoutHits()
{
    start();
    search(QStringLiteral("miza"));
    QVERIFY(!m_frame->captionBar()->text().isEmpty());
    m_service->total = 0;
    search(QStringLiteral("xyzzy"));
    QCOMPARE(m_frame->searchPane()->countLabel()->text(), QStringLiteral("Najdenih: 0"));
    QCOMPARE(m_frame->hitList()->hitCount(), 0);
    QCOMPARE(m_frame->captionBar()->text(), QString());
    QCOMPARE(m_frame->captionBar()->buttonToolTip(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(entryText(), QString(), 15000);
}

// Editing the box without Enter must not mix a second query into the list of the first.
void TestMainFrame::rowsKeepTheQueryOfTheLastSearch()
{
    start();
    m_service->total = 5000;
    search(QStringLiteral("miza"));
    m_frame->headwordBox()->setText(QStringLiteral("stol"));
    m_server->clearRequests();
    m_frame->hitList()->SelectHit(3000); // far outside the held hits: a new page and its entry
    m_frame->hitList()->viewport()->repaint();
    QTRY_VERIFY(!m_server->requests().isEmpty());
    QTRY_VERIFY(!m_server->requests(QStringLiteral("/1.0/search/get-entry")).isEmpty());
    for (const QString& target : m_server->requests()) {
        QVERIFY2(!target.contains(QStringLiteral("stol")), qPrintable(target));
        if (pathOf(target).startsWith(searchPath + QLatin1Char('/')) || pathOf(target) == searchPath)
            if (target.contains(QStringLiteral("query=")))
                QVERIFY2(target.contains(QStringLiteral("query=miza")), qPrintable(target));
    }
    QTRY_VERIFY_WITH_TIMEOUT(
        entryText().startsWith(QStringLiteral("vnos %1 ").arg(ScriptedResults::entryIdOf(3000))), 15000);
    QCOMPARE(m_frame->GetHitHeadword(3001), ScriptedResults::headwordOf(3001));
}

// Drawing the rows just after the held page fetches the next page with entries-after, once.
void TestMainFrame::listPagesInAsRowsAreDrawn()
{
    start();
    m_service->relativeIndex = 0;
    search(QStringLiteral("miza"));
    const QString after = QStringLiteral("/1.0/search/entries-after");
    QVERIFY(m_server->requests(after).isEmpty());
    m_server->clearRequests();
    m_frame->hitList()->SelectHit(190);
    QTRY_COMPARE(m_server->requests(after).size(), 1);
    QVERIFY2(m_server->requests(after).at(0).contains(
                 QStringLiteral("start=%1").arg(ScriptedResults::orderOf(199))),
             qPrintable(m_server->requests(after).at(0)));
    QVERIFY(waitUntilSettled(*m_frame));
    QVERIFY(m_server->requests(searchPath).isEmpty());
    QCOMPARE(m_frame->GetHitHeadword(205), ScriptedResults::headwordOf(205));
}

void TestMainFrame::versionPage()
{
    start();
    m_server->clearRequests();
    search(QStringLiteral("Quorbel:Verzija"));
    QVERIFY(searches().isEmpty());
    const QString expected = QStringLiteral("Verzija:2.0.0.0Pot:") + QCoreApplication::applicationFilePath();
    QTRY_COMPARE_WITH_TIMEOUT(entryText(), expected, 15000);
}

void TestMainFrame::filterChosenInCombo_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("ids");
    QTest::addColumn<QString>("query");
    QTest::newRow("all dictionaries, empty box searches *")
        << 0 << QString() << QStringLiteral("&dictionaryId=70&dictionaryId=58&dictionaryId=12")
        << QStringLiteral("query=%2a");
    QTest::newRow("preset filter with a word")
        << 2 << QStringLiteral("miza") << QStringLiteral("&dictionaryId=70&dictionaryId=58")
        << QStringLiteral("query=miza");
}

void TestMainFrame::filterChosenInCombo()
{
    QFETCH(int, position);
    QFETCH(QString, box);
    QFETCH(QString, ids);
    QFETCH(QString, query);
    start();
    Settings::Write(Setting::TrenutniFilter, 7);
    m_frame->headwordBox()->setText(box);
    m_server->clearRequests();
    QComboBox* combo = m_frame->toolbar()->filterCombo();
    combo->setCurrentIndex(position);
    QVERIFY(searches().isEmpty()); // a selection from code is no choice
    emit combo->activated(position);
    QVERIFY(waitUntilSettled(*m_frame));
    QCOMPARE(searches().size(), 1);
    QVERIFY2(searches().at(0).contains(ids + QStringLiteral("&start=")), qPrintable(searches().at(0)));
    QVERIFY2(searches().at(0).contains(query), qPrintable(searches().at(0)));
    QCOMPARE(Settings::Read(Setting::TrenutniFilter), position);
}

void TestMainFrame::ctrlDigitChoosesFilter_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("position"); // -1: nothing happens
    const int ctrl = Qt::ControlModifier;
    QTest::newRow("Ctrl+1: all dictionaries") << int(Qt::Key_1) << ctrl << 0;
    QTest::newRow("Ctrl+3: preset filter") << int(Qt::Key_3) << ctrl << 2;
    QTest::newRow("Ctrl+5 with three filters") << int(Qt::Key_5) << ctrl << -1;
    // The keypad's digits switched filters too.
    QTest::newRow("Ctrl+keypad 3 is no filter key") << int(Qt::Key_3) << int(ctrl | Qt::KeypadModifier) << -1;
}

void TestMainFrame::ctrlDigitChoosesFilter()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, position);
    start();
    QCOMPARE(m_frame->toolbar()->filterCombo()->count(), 3);
    Settings::Write(Setting::TrenutniFilter, 7);
    m_frame->toolbar()->filterCombo()->setCurrentIndex(1);
    m_server->clearRequests();
    search(QString());
    m_server->clearRequests();
    QTest::keyClick(m_frame->headwordBox(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QVERIFY(waitUntilSettled(*m_frame));
    if (position < 0) {
        QVERIFY(searches().isEmpty());
        QCOMPARE(Settings::Read(Setting::TrenutniFilter), 7);
        QCOMPARE(m_frame->toolbar()->filterCombo()->currentIndex(), 1);
        return;
    }
    QCOMPARE(searches().size(), 1);
    QVERIFY(searches().at(0).contains(QStringLiteral("query=%2a")));
    QCOMPARE(Settings::Read(Setting::TrenutniFilter), position);
    QCOMPARE(m_frame->toolbar()->filterCombo()->currentIndex(), position);
    QCOMPARE(m_frame->headwordBox()->text(), QString()); // the digit went nowhere else
}

void TestMainFrame::tabMovesFocusBetweenListAndBox()
{
    start();
    m_frame->activateWindow();
    VnosnoOknoIztocnica* box = m_frame->headwordBox();
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    QTest::keyPress(box, Qt::Key_Tab);
    QVERIFY(box->hasFocus()); // the press is consumed
    QTest::keyRelease(box, Qt::Key_Tab);
    QTRY_VERIFY(m_frame->hitList()->hasFocus());
    QTest::keyClick(m_frame->hitList(), Qt::Key_Tab);
    QTRY_VERIFY(box->hasFocus());
    QCOMPARE(box->clickSelectState, 3);
}

void TestMainFrame::alwaysOnTop_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("onTopAtStart");
    QTest::addColumn<int>("written");
    QTest::addColumn<bool>("onTopAfter");
    QTest::newRow("stored 1") << 1 << true << 0 << false;
    QTest::newRow("stored 2 counts as off") << 2 << false << -1 << true;
    QTest::newRow("nothing stored") << 0 << false << 1 << true;
}

void TestMainFrame::alwaysOnTop()
{
    QFETCH(int, stored);
    QFETCH(bool, onTopAtStart);
    QFETCH(int, written);
    QFETCH(bool, onTopAfter);
    Settings::Write(Setting::AlwaysOnTop, stored);
    start();
    QAction* button = m_frame->toolbar()->alwaysOnTopAction();
    QCOMPARE(bool(m_frame->windowFlags() & Qt::WindowStaysOnTopHint), onTopAtStart);
    QCOMPARE(button->isChecked(), onTopAtStart);
    m_frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
    m_frame->headwordBox()->setFocus();
    QTRY_VERIFY(m_frame->headwordBox()->hasFocus());
    const QWindow* window = m_frame->windowHandle();
    const WId id = m_frame->winId();
    button->trigger();
    QCOMPARE(Settings::Read(Setting::AlwaysOnTop), written);
    QCOMPARE(bool(m_frame->windowFlags() & Qt::WindowStaysOnTopHint), onTopAfter);
    QCOMPARE(bool(window->flags() & Qt::WindowStaysOnTopHint), onTopAfter);
    QCOMPARE(button->isChecked(), written == 1);
    QVERIFY(m_frame->isVisible());
    // Only the stacking band changes: the native window was made anew and the box lost its focus.
    QCOMPARE(m_frame->windowHandle(), window);
    QCOMPARE(m_frame->winId(), id);
    QVERIFY(m_frame->headwordBox()->hasFocus());
}

void TestMainFrame::heightChangeSearchesAgain_data()
{
    QTest::addColumn<int>("dw");
    QTest::addColumn<int>("dh");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("how"); // drag: a button held on the frame; program; maximise
    QTest::addColumn<bool>("searched");
    const QString drag = QStringLiteral("drag");
    QTest::newRow("dragged taller") << 0 << 120 << int(ModeNormal) << drag << true;
    QTest::newRow("dragged lower and wider") << 50 << -80 << int(ModeNormal) << drag << true;
    QTest::newRow("dragged only wider") << 150 << 0 << int(ModeNormal) << drag << false;
    QTest::newRow("dragged taller on the start page") << 0 << 120 << int(ModeStartPage) << drag << false;
    // Every height change searched again and lost the user's row and entry.
    QTest::newRow("taller, no button held (tiling)") << 0 << 120 << int(ModeNormal) << QString() << false;
    QTest::newRow("taller by the program")
        << 0 << 120 << int(ModeNormal) << QStringLiteral("program") << false;
    QTest::newRow("maximised by a double click")
        << 0 << 0 << int(ModeNormal) << QStringLiteral("maximise") << false;
}

void TestMainFrame::heightChangeSearchesAgain()
{
    QFETCH(int, dw);
    QFETCH(int, dh);
    QFETCH(int, mode);
    QFETCH(QString, how);
    QFETCH(bool, searched);
    start();
    m_frame->resize(800, 500);
    QTRY_VERIFY(!m_frame->resizePending());
    search(QStringLiteral("miza"));
    m_frame->display().displayMode = mode;
    m_server->clearRequests();
    const bool held = how == u"drag" || how == u"maximise";
    m_frame->resizeWatch()->setButtonProbe([held] { return held; });
    if (how == u"maximise") {
        m_frame->setWindowState(Qt::WindowMaximized);
    } else {
        std::optional<UserResizeWatch::OwnResize> own;
        if (how == u"program")
            own.emplace(*m_frame->resizeWatch());
        // A burst of sizes ends where it ends; only the end counts.
        m_frame->resize(800 + dw / 2, 500 + 40);
        m_frame->resize(800 + dw, 500 + dh);
    }
    QVERIFY(m_frame->resizePending());
    QTRY_VERIFY(!m_frame->resizePending());
    QCoreApplication::processEvents();
    QVERIFY(waitUntilSettled(*m_frame));
    QCOMPARE(searches().size(), searched ? 1 : 0);
    if (searched)
        QVERIFY(searches().at(0).contains(QStringLiteral("query=miza")));
}

void TestMainFrame::placementComesBack_data()
{
    QTest::addColumn<QRect>("stored"); // empty: nothing stored
    QTest::addColumn<int>("maximised");
    QTest::addColumn<int>("paneWidth");
    QTest::addColumn<QRect>("expected"); // empty: the default size, placed by the window manager
    QTest::addColumn<int>("expectedPane");
    QTest::newRow("first start: default size") << QRect() << 0 << 0 << QRect() << 250;
    QTest::newRow("as the user left it")
        << QRect(40, 30, 700, 450) << 0 << 310 << QRect(40, 30, 700, 450) << 310;
    QTest::newRow("off every screen: default") << QRect(5000, 4000, 700, 450) << 0 << 0 << QRect() << 250;
    QTest::newRow("title bar above the screen: default")
        << QRect(40, -600, 700, 450) << 0 << 0 << QRect() << 250;
    QTest::newRow("maximised") << QRect(40, 30, 700, 450) << 1 << 280 << QRect(40, 30, 700, 450) << 280;
}

void TestMainFrame::placementComesBack()
{
    QFETCH(QRect, stored);
    QFETCH(int, maximised);
    QFETCH(int, paneWidth);
    QFETCH(QRect, expected);
    QFETCH(int, expectedPane);
    if (!stored.isEmpty()) {
        Settings::Write(Setting::WindowX, stored.x());
        Settings::Write(Setting::WindowY, stored.y());
        Settings::Write(Setting::WindowWidth, stored.width());
        Settings::Write(Setting::WindowHeight, stored.height());
    }
    Settings::Write(Setting::WindowMaximized, maximised);
    Settings::Write(Setting::PaneWidth, paneWidth);
    start();
    auto* pane = m_frame->findChild<QDockWidget*>();
    QVERIFY(pane);
    QTRY_COMPARE(pane->width(), expectedPane);
    QTRY_COMPARE(m_frame->isMaximized(), maximised == 1); // maximised once on screen
    if (maximised == 1) {
        QCOMPARE(m_frame->placement()->normalGeometry(), expected);
        return;
    }
    if (expected.isEmpty())
        QCOMPARE(m_frame->size(), QSize(1000, 680));
    else
        QCOMPARE(m_frame->geometry(), expected);
}

// The window came back at the default size and place at every start.
void TestMainFrame::placementIsKept()
{
    start();
    m_frame->setGeometry(60, 50, 720, 480);
    auto* pane = m_frame->findChild<QDockWidget*>();
    m_frame->resizeDocks({pane}, {300}, Qt::Horizontal);
    QTRY_COMPARE(pane->width(), 300);
    m_frame->close();
    m_frame.reset();
    QCOMPARE(Settings::Read(Setting::WindowX), 60);
    QCOMPARE(Settings::Read(Setting::WindowY), 50);
    QCOMPARE(Settings::Read(Setting::WindowWidth), 720);
    QCOMPARE(Settings::Read(Setting::WindowHeight), 480);
    QCOMPARE(Settings::Read(Setting::WindowMaximized), 0);
    QCOMPARE(Settings::Read(Setting::PaneWidth), 300);

    // Maximised: the normal geometry is kept beside the state.
    start();
    QCOMPARE(m_frame->geometry(), QRect(60, 50, 720, 480));
    m_frame->setWindowState(Qt::WindowMaximized);
    QTRY_VERIFY(m_frame->isMaximized());
    m_frame.reset();
    QCOMPARE(Settings::Read(Setting::WindowMaximized), 1);
    QCOMPARE(Settings::Read(Setting::WindowWidth), 720);
    QCOMPARE(Settings::Read(Setting::WindowX), 60);
}

// Qt's type-ahead walked the rows through the model and paged hits in from the service: one
// letter on a million hits made thousands of requests.
void TestMainFrame::typingInTheListAsksNothing()
{
    start();
    m_service->total = 1'000'249;
    search(QStringLiteral("miza"));
    m_frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
    CInfiniteListView* list = m_frame->hitList();
    list->setFocus();
    QTRY_VERIFY(list->hasFocus());
    QCoreApplication::processEvents();
    m_server->clearRequests();
    QTest::keyClick(list, Qt::Key_K);
    QCoreApplication::processEvents();
    QCOMPARE(m_server->requests(), QStringList());
    // The letter starts a new word in the box instead.
    QVERIFY(m_frame->headwordBox()->hasFocus());
    QCOMPARE(m_frame->headwordBox()->text(), QStringLiteral("k"));
}

// After Enter the best row is at the top of the list; at start it was only selected.
void TestMainFrame::bestRowIsAtTheTopAfterStart()
{
    m_service->total = 5000;
    start();
    QCOMPARE(m_frame->hitList()->selectionMark(), 37);
    QTRY_COMPARE(m_frame->hitList()->topRow(), 37);
}

void TestMainFrame::startPageLeavesRowZeroUnselected()
{
    m_server->setAnswer(QStringLiteral("/welcome"), "<html><body><p>Dobrodošli</p></body></html>", 200,
                        "text/html; charset=utf-8");
    m_server->setAnswer(QStringLiteral("/1.0/messages"), "<messages><welcome>" +
                                                             m_server->baseUrl().toUtf8() +
                                                             "/welcome</welcome></messages>");
    m_service->relativeIndex = -1; // the headword is not found: row 0 is chosen
    start();
    QCOMPARE(m_frame->displayMode(), int(ModeStartPage));
    QCOMPARE(m_frame->hitList()->selectionMark(), 0);
    QVERIFY(!m_frame->hitList()->selectionModel()->isRowSelected(0, {}));
}

void TestMainFrame::stylesheetFileGoesWithTheProgram()
{
    start();
    const QString path = m_frame->stylesheetPath();
    QVERIFY(QFileInfo(path).isAbsolute());
    QVERIFY(QFileInfo(path).fileName().startsWith(QStringLiteral("CSS_")));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("#results ul.left li"));
    file.close();
    m_frame.reset();
    QVERIFY(!QFile::exists(path));
}

// With a welcome page the first search shows no entry; the first Enter switches to entries.
void TestMainFrame::startPageUntilTheUserActs()
{
    m_server->setAnswer(QStringLiteral("/welcome"), "<html><body><p id='w'>Dobrodošli</p></body></html>", 200,
                        "text/html; charset=utf-8");
    m_server->setAnswer(QStringLiteral("/1.0/messages"), "<messages><welcome>" +
                                                             m_server->baseUrl().toUtf8() +
                                                             "/welcome</welcome></messages>");
    start();
    QCOMPARE(m_frame->displayMode(), int(ModeStartPage));
    QVERIFY(m_server->requests(QStringLiteral("/1.0/search/get-entry")).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!m_server->requests(QStringLiteral("/welcome")).isEmpty(), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(m_frame->entryView()->url().path(), QStringLiteral("/welcome"), 15000);
    m_frame->hitList()->viewport()->repaint();
    QCOMPARE(m_frame->displayMode(), int(ModeStartPage));

    search(QStringLiteral("miza"));
    QCOMPARE(m_frame->displayMode(), int(ModeNormal));
    QTRY_VERIFY_WITH_TIMEOUT(
        entryText().startsWith(QStringLiteral("vnos %1 ").arg(ScriptedResults::entryIdOf(37))), 15000);
}

// Copy belongs to the entry view whenever it holds a selection, whichever control has the focus.
void TestMainFrame::copyTakesTheEntrySelection()
{
    start();
    search(QStringLiteral("miza"));
    QTRY_VERIFY_WITH_TIMEOUT(entryText().startsWith(QStringLiteral("vnos ")), 15000);
    QApplication::clipboard()->setText(QStringLiteral("prej"));
    if (QApplication::clipboard()->text() != u"prej")
        QSKIP("no clipboard on this platform");
    bool done = false;
    m_frame->entryView()->page()->runJavaScript(
        QStringLiteral("window.getSelection().selectAllChildren(document.querySelector('b.headword')); 1"),
        QWebEngineScript::ApplicationWorld, [&](const QVariant&) { done = true; });
    QTRY_VERIFY(done);
    QTRY_VERIFY(m_frame->entryView()->hasSelection());
    m_frame->headwordBox()->setFocus();
    QTest::keyClick(m_frame->headwordBox(), Qt::Key_C, Qt::ControlModifier);
    QTRY_COMPARE(QApplication::clipboard()->text(), QStringLiteral("vnos 5037"));
}

// A click on a cross-reference searches its word as if it had been typed and entered, and the
// view stays where it is.
void TestMainFrame::crossReferenceLooksUpItsWord()
{
    m_server->setHandler(QStringLiteral("/1.0/search/get-entry"), [](const QString& target) {
        const QString id = ScriptedResults::parameter(target, QStringLiteral("entryId"));
        return ScriptedReply::ok("<entry><html_content><b class=\"headword\">vnos " + id.toUtf8() +
                                 "</b> glej <a id=\"xref\" href=\"/Search.aspx/%C4%8Drn%20kruh\" "
                                 "onclick=\"document.title='ran'\">črn kruh</a></html_content></entry>");
    });
    start();
    search(QStringLiteral("miza"));
    QTRY_VERIFY_WITH_TIMEOUT(entryText().startsWith(QStringLiteral("vnos ")), 15000);
    CQuorbelView* view = m_frame->entryView();
    QVariantList at;
    bool done = false;
    view->page()->runJavaScript(QStringLiteral("(r => [r.left + r.width / 2, r.top + r.height / 2])"
                                               "(document.getElementById('xref').getBoundingClientRect())"),
                                QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
                                    at = v.toList();
                                    done = true;
                                });
    QTRY_VERIFY(done);
    QCOMPARE(at.size(), 2);
    const QUrl before = view->url();
    m_server->clearRequests();
    QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {}, QPoint(at.at(0).toInt(), at.at(1).toInt()));
    QTRY_COMPARE_WITH_TIMEOUT(searches().size(), 1, 15000);
    QVERIFY(waitUntilSettled(*m_frame));
    const QStringList sent = searches();
    QCOMPARE(sent.size(), 1);
    QCOMPARE(ScriptedResults::parameter(sent.at(0), QStringLiteral("query")).toLower(),
             QStringLiteral("%c4%8drn%20kruh"));
    QCOMPARE(m_frame->headwordBox()->text(), QStringLiteral("črn kruh"));
    QCOMPARE(view->url(), before);
    QTRY_VERIFY_WITH_TIMEOUT(entryText().startsWith(QStringLiteral("vnos ")), 15000);
    done = false;
    QString title = QStringLiteral("<no answer>");
    view->page()->runJavaScript(QStringLiteral("document.title"), QWebEngineScript::ApplicationWorld,
                                [&](const QVariant& v) {
                                    title = v.toString();
                                    done = true;
                                });
    QTRY_VERIFY(done);
    QCOMPARE(title, QString());
}

// main() ran PrepareProcess under the test's own browser flags: ours go first, the user's
// follow whole, so that they win where both name a switch.
void TestMainFrame::browserFlagsKeepTheUsersOwn()
{
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    QVERIFY2(flags.startsWith("--renderer-process-limit=1 "), flags.constData());
    if (!userFlags.isEmpty())
        QVERIFY2(flags.endsWith(QByteArray(userFlags).prepend(' ')), flags.constData());
    // The browser's frames reach the screen through Qt Quick's software renderer unless the
    // user chose a backend (through OpenGL an entry took three times as long to show); the
    // choice is the program's own, not handed on to the programs it starts.
    if (userQuickBackend.isEmpty()) {
        QCOMPARE(quickBackendBeforeTheView, QByteArray("software"));
        start();
        search(QStringLiteral("miza")); // an entry drawn in the view
        QTRY_VERIFY(qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"));
    }
}

int main(int argc, char** argv)
{
    qputenv("VERBOLIX_NO_SPLASH", "1");
    qputenv("VERBOLIX_REQUEST_TIMEOUT_MS", "3000");
    userFlags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    userQuickBackend = qgetenv("QT_QUICK_BACKEND") + qgetenv("QSG_RHI_BACKEND");
    CQuorbelApp::PrepareProcess();
    quickBackendBeforeTheView = qgetenv("QT_QUICK_BACKEND");
    CQuorbelApp app(argc, argv);
    TestMainFrame test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mainframe.moc"
