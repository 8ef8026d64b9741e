// Starting the program with a word, a second start handing over to the first, the about box
// and the notification of a look-up made while the window is behind others.
#include "app/aboutdialog.h"
#include "ui/search/cinfinitelistview.h"
#include "app/cmainframe.h"
#include "app/desktopnotifier.h"
#include "app/singleinstance.h"
#include "core/capi.h"
#include "core/settings.h"
#include "tests/support/scripteddictionaryservice.h"
#include "tests/support/scriptedserver.h"
#include "tests/support/tempconfig.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
bool searchedFor(const ScriptedServer& server, const QString& word)
{
    const QString query = u"query="_s + UrlEscape(ToUtf8(word)) + u'&';
    for (const QString& target : server.requests(u"/1.0/search"_s)) {
        if (target.contains(query))
            return true;
    }
    return false;
}
} // namespace

// Plays the desktop's notification service on a private bus and keeps what it was asked.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList titles;
    QStringList bodies;
public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        titles.append(summary);
        bodies.append(body);
        return uint(titles.size());
    }
};

class TestLaunch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void arguments_data();
    void arguments();
    void messageRoundTrip_data();
    void messageRoundTrip();
    void secondStartHandsOverItsWord();
    void leftoverSocketIsTakenOver();
    void startedWithAWordSearchesIt();
    void copiedSentenceBehindOthersIsNotified();
    void aboutNamesVersionServiceAndLibraries();

private:
    QProcessEnvironment programEnvironment(const ScriptedServer& server, const QString& config) const;
    // Starts the program against server with its settings in config.
    void start(QProcess& program, const ScriptedServer& server, const QString& config, const QStringList& arguments);
    QTemporaryDir m_runtime;
    QProcess m_bus;
    QString m_busAddress;
};

void TestLaunch::initTestCase()
{
    // The window's socket and the notifications stay inside the test.
    QVERIFY(m_runtime.isValid());
    QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
    m_bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    QVERIFY(m_bus.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(m_bus.canReadLine(), 10000);
    m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
    QVERIFY(!m_busAddress.isEmpty());
}

void TestLaunch::cleanupTestCase()
{
    m_bus.terminate();
    m_bus.waitForFinished(5000);
}

void TestLaunch::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("word");

    using Kind = LaunchRequest::Kind;
    QTest::newRow("none: just the window") << QStringList{} << int(Kind::Raise) << QString();
    QTest::newRow("a word") << QStringList{u"hiša"_s} << int(Kind::LookUp) << u"hiša"_s;
    QTest::newRow("words joined") << QStringList{u"dober"_s, u"dan"_s} << int(Kind::LookUp) << u"dober dan"_s;
    QTest::newRow("the clipboard") << QStringList{u"--clipboard"_s} << int(Kind::Clipboard) << QString();
    QTest::newRow("Qt's options are not words") << QStringList{u"-platform"_s, u"--reverse"_s, u"miza"_s}
                                                << int(Kind::LookUp) << u"miza"_s;
    QTest::newRow("after -- a dash is a word") << QStringList{u"--"_s, u"-ka"_s} << int(Kind::LookUp) << u"-ka"_s;
    QTest::newRow("blank arguments") << QStringList{u" "_s, QString()} << int(Kind::Raise) << QString();
}

void TestLaunch::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, kind);
    QFETCH(QString, word);
    const LaunchRequest request = LaunchRequest::fromArguments(arguments);
    QCOMPARE(int(request.kind), kind);
    QCOMPARE(request.word, word);
}

void TestLaunch::messageRoundTrip_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("sentWord");

    using Kind = LaunchRequest::Kind;
    QTest::newRow("a word") << int(Kind::LookUp) << u"čebela"_s << u"čebela"_s;
    QTest::newRow("a line break cannot add a field") << int(Kind::LookUp) << u"a\nclipboard"_s << u"a clipboard"_s;
    QTest::newRow("the clipboard") << int(Kind::Clipboard) << QString() << QString();
    QTest::newRow("raise") << int(Kind::Raise) << QString() << QString();
}

void TestLaunch::messageRoundTrip()
{
    QFETCH(int, kind);
    QFETCH(QString, word);
    QFETCH(QString, sentWord);
    LaunchRequest request;
    request.kind = LaunchRequest::Kind(kind);
    request.word = word;
    request.activationToken = u"token-1"_s;
    const LaunchRequest read = LaunchRequest::fromMessage(request.toMessage());
    QCOMPARE(int(read.kind), kind);
    QCOMPARE(read.word, sentWord);
    QCOMPARE(read.activationToken, u"token-1"_s);
}

QProcessEnvironment TestLaunch::programEnvironment(const ScriptedServer& server, const QString& config) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"VERBOLIX_API_BASE"_s, server.baseUrl());
    env.insert(u"XDG_CONFIG_HOME"_s, config);
    env.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    env.insert(u"VERBOLIX_NO_SPLASH"_s, u"1"_s);
    return env;
}

void TestLaunch::start(QProcess& program, const ScriptedServer& server, const QString& config,
                       const QStringList& arguments)
{
    program.setProcessEnvironment(programEnvironment(server, config));
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(VERBOLIX_PROGRAM), arguments);
    QVERIFY(program.waitForStarted(10000));
}

void TestLaunch::secondStartHandsOverItsWord()
{
    ScriptedServer server;
    ScriptedDictionaryService service(server);
    QTemporaryDir config;
    QProcess first;
    start(first, server, config.path(), {});
    // Running once its first search went out.
    QTRY_VERIFY_WITH_TIMEOUT(searchedFor(server, u"*"_s), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(!server.requests(u"/1.0/search/get-entry"_s).isEmpty(), 60000);

    QProcess second;
    start(second, server, config.path(), {u"čebela"_s});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitCode(), 0);
    // The running window searched it; the second start asked the service nothing.
    QTRY_VERIFY_WITH_TIMEOUT(searchedFor(server, u"čebela"_s), 20000);
    QCOMPARE(server.requests(u"/1.0/messages"_s).size(), 1);

    // Without a word a second start only raises the window: no further search.
    const int searches = server.requests(u"/1.0/search"_s).size();
    QProcess third;
    start(third, server, config.path(), {});
    QVERIFY(third.waitForFinished(20000));
    QCOMPARE(third.exitCode(), 0);
    QCOMPARE(server.requests(u"/1.0/search"_s).size(), searches);
    QCOMPARE(server.requests(u"/1.0/messages"_s).size(), 1);

    first.terminate();
    QVERIFY(first.waitForFinished(20000));
}

void TestLaunch::leftoverSocketIsTakenOver()
{
    // A program that was killed leaves its socket file behind; the next start must not hand
    // its word to nobody and end.
    SingleInstance instance(u"leftover"_s);
    QFile stale(instance.serverName());
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    LaunchRequest request;
    request.kind = LaunchRequest::Kind::LookUp;
    request.word = u"miza"_s;
    QVERIFY(!instance.handOver(request, 500));
    QVERIFY(instance.listen());

    QSignalSpy received(&instance, &SingleInstance::requestReceived);
    // The listening side answers from this thread's event loop, so the test speaks for the
    // later start itself.
    QLocalSocket socket;
    socket.connectToServer(instance.serverName());
    QVERIFY(socket.waitForConnected(2000));
    socket.write(request.toMessage());
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(received.at(0).at(0).value<LaunchRequest>().word, u"miza"_s);
}

void TestLaunch::startedWithAWordSearchesIt()
{
    // verbolix WORD: the first search is the word itself, not a search for everything first.
    ScriptedServer server;
    ScriptedDictionaryService service(server);
    QTemporaryDir config;
    QProcess program;
    start(program, server, config.path(), {u"hiša"_s});
    QTRY_VERIFY_WITH_TIMEOUT(!server.requests(u"/1.0/search/get-entry"_s).isEmpty(), 60000);
    const QStringList searches = server.requests(u"/1.0/search"_s);
    QVERIFY(!searches.isEmpty());
    QVERIFY2(searches.first().contains(u"query=hi%c5%a1a&"_s), qPrintable(searches.first()));
    QVERIFY(!searchedFor(server, u"*"_s));
    program.terminate();
    QVERIFY(program.waitForFinished(20000));
}

void TestLaunch::copiedSentenceBehindOthersIsNotified()
{
    QDBusConnection desktop = QDBusConnection::connectToBus(m_busAddress, u"desktop"_s);
    QVERIFY(desktop.isConnected());
    FakeNotifications notifications;
    QVERIFY(desktop.registerObject(u"/org/freedesktop/Notifications"_s, &notifications,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(desktop.registerService(u"org.freedesktop.Notifications"_s));
    QDBusConnection program = QDBusConnection::connectToBus(m_busAddress, u"program"_s);
    QVERIFY(program.isConnected());

    TempConfig config;
    ScriptedServer server;
    ScriptedDictionaryService service(server);
    qputenv("VERBOLIX_API_BASE", server.baseUrl().toUtf8());
    qputenv("VERBOLIX_NO_SPLASH", "1");
    Settings::Write(Setting::CheckClipboard, 1);
    CMainFrame frame;
    QCOMPARE(frame.Create(), 0);
    frame.show();
    frame.setCopyFollowUp(CMainFrame::CopyFollowUp::Notify);
    frame.setNotifier(new DesktopNotifier(u"program"_s, &frame));
    // Another program's window has the focus.
    QWidget other;
    other.show();
    other.activateWindow();
    QTRY_VERIFY(!frame.isActiveWindow());
    // Start-up, with its look at the clipboard, is over.
    QTRY_VERIFY(!server.requests(u"/1.0/search/get-entry"_s).isEmpty());
    QCoreApplication::processEvents();

    QGuiApplication::clipboard()->setText(u"Hiša stoji na hribu.\n"_s);
    QTRY_COMPARE(notifications.titles.size(), 1);
    QCOMPARE(notifications.titles.at(0), u"Hiša"_s);
    // Names the dictionary of the best hit, the row the list went to.
    const int row = frame.hitList()->currentIndex().row();
    QVERIFY(row >= 0);
    const QString dictionary = frame.Api().GetDictionaryName(frame.Api().GetDictionaryId(row, u"Hiša"_s));
    QVERIFY(!dictionary.isEmpty());
    QCOMPARE(notifications.bodies.at(0), u"Zadetek v slovarju "_s + dictionary + u'.');
    QVERIFY(searchedFor(server, u"Hiša"_s));

    // Clicked: the window comes forward.
    QSignalSpy activated(frame.notifier(), &DesktopNotifier::activated);
    QDBusMessage click = QDBusMessage::createSignal(u"/org/freedesktop/Notifications"_s,
                                                    u"org.freedesktop.Notifications"_s, u"ActionInvoked"_s);
    click << uint(1) << u"default"_s;
    QVERIFY(desktop.send(click));
    QTRY_COMPARE(activated.size(), 1);
    QTRY_VERIFY(frame.isActiveWindow());
    desktop.unregisterService(u"org.freedesktop.Notifications"_s);
}

void TestLaunch::aboutNamesVersionServiceAndLibraries()
{
    AboutDialog about(u"http://127.0.0.1:8737"_s);
    QCOMPARE(about.windowTitle(), u"O programu"_s);
    const QString text = about.findChild<QLabel*>(u"aboutText"_s)->text();
    for (const QString& part : {u"2.0.0.0"_s, u"http://127.0.0.1:8737"_s, u"libcurl"_s, u"pugixml"_s,
                                u"Qt WebEngine"_s, u"LGPL-3.0"_s, u"MIT"_s})
        QVERIFY2(text.contains(part), qPrintable(part));
    // The address comes from the service, so it is shown as text, never as markup.
    QVERIFY(AboutDialog::Text(u"<b>x</b>"_s).contains(u"&lt;b&gt;x&lt;/b&gt;"_s));
}

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
