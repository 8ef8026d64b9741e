// The keyboard beyond typing: Down and Up from the box into the list, F1 for help, the
// toolbar's commands on their keys and those keys named in the tooltips.
#include "app/cmainframe.h"
#include "app/mytoolbar.h"
#include "core/settings.h"
#include "tests/support/scripteddictionaryservice.h"
#include "tests/support/framesettle.h"
#include "tests/support/scriptedserver.h"
#include "tests/support/tempconfig.h"
#include "ui/search/cinfinitelistview.h"
#include "ui/search/vnosnooknoiztocnica.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>
#include <QClipboard>
#include <QGuiApplication>
#include <climits>
#include <QDesktopServices>
#include <QTest>
#include <QUrl>
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

private:
    void start();
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
    auto* help = qobject_cast<QToolButton*>(m_frame->toolbar()->widgetForAction(m_frame->toolbar()->helpAction()));
    QVERIFY(help && help->menu());
    QVERIFY(help->menu()->actions().contains(about));
}

void TestKeyboard::commandsOnTheirKeys_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("setting");
    QTest::newRow("always on top: Ctrl+T") << u"alwaysOnTop"_s << QKeySequence(u"Ctrl+T"_s) << u"AlwaysOnTop"_s;
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

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
