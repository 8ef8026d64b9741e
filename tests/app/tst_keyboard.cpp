// The keyboard beyond typing: Down and Up from the box into the list, F1 for help, the
// toolbar's commands on their keys and those keys named in the tooltips, and the walk through
// an entry's cross-references.
#include "app/cmainframe.h"
#include "app/cquorbelapp.h"
#include "app/mytoolbar.h"
#include "core/settings.h"
#include "tests/support/framesettle.h"
#include "tests/support/pagevalue.h"
#include "tests/support/scripteddictionaryservice.h"
#include "tests/support/scriptedresults.h"
#include "tests/support/scriptedserver.h"
#include "tests/support/tempconfig.h"
#include "ui/search/cinfinitelistview.h"
#include "ui/search/cquorbelview.h"
#include "ui/search/vnosnooknoiztocnica.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <climits>
#include <memory>

using namespace Qt::StringLiterals;

// Takes the addresses the program asks the desktop to open.
class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class TestKeyboard : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void downAndUpMoveFromTheBoxIntoTheList_data();
    void downAndUpMoveFromTheBoxIntoTheList();
    void f1OpensHelp();
    void aboutIsInTheHelpMenuOnly();
    void commandsOnTheirKeys_data();
    void commandsOnTheirKeys();
    void clipboardToggleWritesOneMinusValue_data();
    void clipboardToggleWritesOneMinusValue();
    void keyboardWalkLooksUpACrossReference_data();
    void keyboardWalkLooksUpACrossReference();
    void leavingTheEntryGivesTheKeysBack_data();
    void leavingTheEntryGivesTheKeysBack();

private:
    void start();
    void serveEntries(const QByteArray& body);
    void startOnAnEntry();
    QString pageValue(const QString& script);
    std::unique_ptr<TempConfig> m_config;
    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<ScriptedDictionaryService> m_service;
    std::unique_ptr<CMainFrame> m_frame;
};

void TestKeyboard::init()
{
    m_config = std::make_unique<TempConfig>();
    m_server = std::make_unique<ScriptedServer>();
    m_service = std::make_unique<ScriptedDictionaryService>(*m_server);
    qputenv("VERBOLIX_API_BASE", m_server->baseUrl().toUtf8());
    qputenv("VERBOLIX_NO_SPLASH", "1");
}

void TestKeyboard::start()
{
    m_frame = std::make_unique<CMainFrame>();
    QCOMPARE(m_frame->Create(), 0);
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
}

void TestKeyboard::cleanup()
{
    m_frame.reset();
    m_service.reset();
    m_server.reset();
    qunsetenv("VERBOLIX_API_BASE");
    m_config.reset();
}

void TestKeyboard::downAndUpMoveFromTheBoxIntoTheList_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("step");
    QTest::newRow("Down: the next row") << int(Qt::Key_Down) << 1;
    QTest::newRow("Up: the row before") << int(Qt::Key_Up) << -1;
}

void TestKeyboard::downAndUpMoveFromTheBoxIntoTheList()
{
    QFETCH(int, key);
    QFETCH(int, step);
    start();
    VnosnoOknoIztocnica* box = m_frame->headwordBox();
    CInfiniteListView* list = m_frame->hitList();
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    QTRY_VERIFY(list->currentIndex().isValid());
    const int row = list->currentIndex().row();
    QVERIFY(row > 0); // the best match lies inside the result, so both ways have a row
    m_server->clearRequests();

    QTest::keyPress(box, Qt::Key(key));
    QVERIFY(list->hasFocus());
    QCOMPARE(list->currentIndex().row(), row + step);
    // The release reaches the list, which shows that row's entry.
    QTest::keyRelease(list, Qt::Key(key));
    QTRY_COMPARE(m_server->requests(u"/1.0/search/get-entry"_s).size(), 1);
}

void TestKeyboard::f1OpensHelp()
{
    start();
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(u"https"_s, &opened, "open");
    QTest::keyClick(m_frame->headwordBox(), Qt::Key_F1);
    QDesktopServices::unsetUrlHandler(u"https"_s);
    QCOMPARE(opened.urls, QList<QUrl>{QUrl(CMainFrame::HelpUrl())});
}

// The about box's action once stood on the toolbar as a text button of its own.
void TestKeyboard::aboutIsInTheHelpMenuOnly()
{
    start();
    QAction* about = m_frame->toolbar()->aboutAction();
    QCOMPARE(m_frame->toolbar()->widgetForAction(about), nullptr);
    QVERIFY(m_frame->actions().contains(about)); // so that Shift+F1 works with the menu closed
    auto* help =
        qobject_cast<QToolButton*>(m_frame->toolbar()->widgetForAction(m_frame->toolbar()->helpAction()));
    QVERIFY(help && help->menu());
    QVERIFY(help->menu()->actions().contains(about));
}

void TestKeyboard::commandsOnTheirKeys_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("setting");
    QTest::newRow("always on top: Ctrl+T")
        << u"alwaysOnTop"_s << QKeySequence(u"Ctrl+T"_s) << u"AlwaysOnTop"_s;
    QTest::newRow("clipboard monitoring: Ctrl+K")
        << u"checkClipboard"_s << QKeySequence(u"Ctrl+K"_s) << u"CheckClipboard"_s;
}

void TestKeyboard::commandsOnTheirKeys()
{
    QFETCH(QString, action);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, setting);
    start();
    QAction* command = m_frame->toolbar()->findChild<QAction*>(action);
    QVERIFY(command);
    QVERIFY2(command->toolTip().contains(u" ("_s + keys.toString(QKeySequence::NativeText) + u')'),
             qPrintable(command->toolTip()));
    const QByteArray name = setting.toLatin1();
    const IntSetting stored{name.constData(), 0};
    QCOMPARE(Settings::Read(stored), 0);
    // Pressed in the box, where the focus lives.
    QTest::keySequence(m_frame->headwordBox(), keys);
    QCOMPARE(Settings::Read(stored), 1);
    QVERIFY(command->isChecked());
    QTest::keySequence(m_frame->headwordBox(), keys);
    QCOMPARE(Settings::Read(stored), 0);
    QVERIFY(!command->isChecked());
}

void TestKeyboard::clipboardToggleWritesOneMinusValue_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("written");
    QTest::addColumn<bool>("onAfter");

    QTest::newRow("off to on") << 0 << 1 << true;
    QTest::newRow("on to off") << 1 << 0 << false;
    QTest::newRow("2 becomes -1, still off") << 2 << -1 << false;
    QTest::newRow("-1 becomes 2, still off") << -1 << 2 << false;
    QTest::newRow("lowest value does not overflow") << int(INT_MIN) << int(INT_MAX) << false;
}

void TestKeyboard::clipboardToggleWritesOneMinusValue()
{
    QFETCH(int, stored);
    QFETCH(int, written);
    QFETCH(bool, onAfter);
    Settings::Write(Setting::CheckClipboard, stored);
    // A text left by an earlier row would be searched at start while monitoring is on.
    QGuiApplication::clipboard()->clear();
    start();
    QVERIFY(waitUntilSettled(*m_frame)); // start-up, with its look at the clipboard, is over

    m_frame->toolbar()->clipboardAction()->trigger();
    QCOMPARE(Settings::Read(Setting::CheckClipboard), written);
    QCOMPARE(m_frame->toolbar()->clipboardAction()->isChecked(), onAfter);
    // Monitoring follows the new value: a copy is searched only when it is exactly 1.
    m_server->clearRequests();
    QGuiApplication::clipboard()->setText(u"miza"_s);
    QVERIFY(waitUntilSettled(*m_frame));
    // The search goes out from the request thread: wait for it when one is due.
    if (onAfter)
        QTRY_VERIFY(!m_server->requests(u"/1.0/search"_s).isEmpty());
    QCOMPARE(m_frame->lastQuery() == u"miza"_s, onAfter);
    QCOMPARE(!m_server->requests(u"/1.0/search"_s).isEmpty(), onAfter);
}

// Every entry served has this body after its headword.
void TestKeyboard::serveEntries(const QByteArray& body)
{
    m_server->setHandler(u"/1.0/search/get-entry"_s, [body](const QString& target) {
        const QString id = ScriptedResults::parameter(target, u"entryId"_s);
        return ScriptedReply::ok("<entry><html_content><b class=\"headword\">vnos " + id.toUtf8() + "</b> " +
                                 body + "</html_content></entry>");
    });
}

void TestKeyboard::startOnAnEntry()
{
    start();
    QVERIFY(waitUntilSettled(*m_frame));
    QTRY_VERIFY_WITH_TIMEOUT(
        pageValue(u"document.querySelector('#results li b.headword') !== null"_s) == u"true", 15000);
    QTRY_VERIFY(m_frame->headwordBox()->hasFocus());
}

QString TestKeyboard::pageValue(const QString& script)
{
    return ::pageValue(m_frame->entryView()->page(), script);
}

namespace {
const QByteArray threeReferences =
    "glej <a href=\"/Search.aspx/miza\" onclick=\"document.title='ran'\">miza</a>, "
    "<a href=\"/Search.aspx/%C4%8Drn%20kruh\" onclick=\"document.title='ran'\">črn kruh</a> in "
    "<a href=\"/Search.aspx/stol\" onclick=\"document.title='ran'\">stol</a>";
const QString focusedText = u"document.activeElement ? document.activeElement.textContent : ''"_s;
} // namespace

void TestKeyboard::keyboardWalkLooksUpACrossReference_data()
{
    QTest::addColumn<QList<QKeyCombination>>("walk"); // the keys after Ctrl+G
    QTest::addColumn<int>("choose");
    QTest::addColumn<QString>("word");
    const QKeyCombination tab(Qt::Key_Tab), shiftTab(Qt::ShiftModifier, Qt::Key_Tab);
    QTest::newRow("Ctrl+G, Enter: the first") << QList<QKeyCombination>{} << int(Qt::Key_Return) << u"miza"_s;
    QTest::newRow("Tab, Space: the second") << QList{tab} << int(Qt::Key_Space) << u"črn kruh"_s;
    QTest::newRow("Tab thrice: round to the first")
        << QList{tab, tab, tab} << int(Qt::Key_Enter) << u"miza"_s;
    QTest::newRow("Shift+Tab from the first: the last")
        << QList{shiftTab} << int(Qt::Key_Return) << u"stol"_s;
    QTest::newRow("Tab, Shift+Backtab: back to the first")
        << QList{tab, QKeyCombination(Qt::ShiftModifier, Qt::Key_Backtab)} << int(Qt::Key_Return)
        << u"miza"_s;
}

// Ctrl+G in the box goes onto the entry's first cross-reference; Tab and Shift+Tab walk them,
// Enter or Space searches the word as if typed and entered: one search, the box holding the
// word and the keys, the page where it was and none of its scripts run.
void TestKeyboard::keyboardWalkLooksUpACrossReference()
{
    QFETCH(QList<QKeyCombination>, walk);
    QFETCH(int, choose);
    QFETCH(QString, word);
    serveEntries(threeReferences);
    startOnAnEntry();
    CQuorbelView* view = m_frame->entryView();
    const QUrl before = view->url();

    QTest::keyClick(m_frame->headwordBox(), Qt::Key_G, Qt::ControlModifier);
    QTRY_VERIFY(view->focusProxy()->hasFocus());
    QTRY_COMPARE(pageValue(focusedText), u"miza"_s);
    // The ring is the stylesheet's, on the reference alone.
    QCOMPARE(pageValue(u"getComputedStyle(document.activeElement).outlineStyle"_s), u"solid"_s);
    const QStringList order{u"miza"_s, u"črn kruh"_s, u"stol"_s};
    int at = 0;
    for (const QKeyCombination key : walk) {
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
        at = (at + (key.keyboardModifiers() & Qt::ShiftModifier ? 2 : 1)) % 3;
        QTRY_COMPARE(pageValue(focusedText), order.at(at));
        QVERIFY(view->focusProxy()->hasFocus()); // Tab stays in the entry
    }
    m_server->clearRequests();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(choose));
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests(u"/1.0/search"_s).size(), 1, 15000);
    QVERIFY(waitUntilSettled(*m_frame));
    const QStringList sent = m_server->requests(u"/1.0/search"_s);
    QCOMPARE(sent.size(), 1); // the key's release reached no box to search once more
    QCOMPARE(QUrl::fromPercentEncoding(ScriptedResults::parameter(sent.at(0), u"query"_s).toUtf8()), word);
    QCOMPARE(m_frame->headwordBox()->text(), word);
    QTRY_VERIFY(m_frame->headwordBox()->hasFocus());
    QVERIFY(!view->walkingCrossReferences());
    QCOMPARE(view->url(), before);
    QCOMPARE(pageValue(u"document.title"_s), QString());
}

void TestKeyboard::leavingTheEntryGivesTheKeysBack_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("key");
    QTest::newRow("Esc from a cross-reference") << threeReferences << int(Qt::Key_Escape);
    QTest::newRow("an entry without cross-references") << QByteArray("brez povezav") << 0;
}

// Esc, or an entry with nothing to walk, leaves the keyboard in the box with nothing in the
// entry focused, and Tab goes between box and list as before.
void TestKeyboard::leavingTheEntryGivesTheKeysBack()
{
    QFETCH(QByteArray, body);
    QFETCH(int, key);
    serveEntries(body);
    startOnAnEntry();
    CQuorbelView* view = m_frame->entryView();
    QTest::keyClick(m_frame->headwordBox(), Qt::Key_G, Qt::ControlModifier);
    if (key) {
        QTRY_COMPARE(pageValue(focusedText), u"miza"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    }
    QTRY_VERIFY(!view->walkingCrossReferences());
    QTRY_VERIFY(m_frame->headwordBox()->hasFocus());
    QTRY_COMPARE(pageValue(u"document.activeElement === document.body"_s), u"true"_s);
    QCOMPARE(pageValue(u"document.querySelectorAll('[tabindex]').length"_s), u"0"_s);
    m_server->clearRequests();
    QTest::keyClick(m_frame->headwordBox(), Qt::Key_Tab);
    QTRY_VERIFY(m_frame->hitList()->hasFocus());
    QTest::keyClick(m_frame->hitList(), Qt::Key_Tab);
    QTRY_VERIFY(m_frame->headwordBox()->hasFocus());
    QVERIFY(waitUntilSettled(*m_frame));
    QVERIFY(m_server->requests(u"/1.0/search"_s).isEmpty());
}

// Started as the program starts: the entry view's scheme registered, so entries are styled.
int main(int argc, char** argv)
{
    CQuorbelApp::PrepareProcess();
    CQuorbelApp app(argc, argv);
    TestKeyboard test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_keyboard.moc"
