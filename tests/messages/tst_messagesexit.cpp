// The program itself against the scripted server: a required upgrade ends it with exit
// code 1 after the messages request and nothing else; without notices start-up goes on; a
// termination signal while a notice is open ends it.
#include "tests/support/scriptedserver.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;

class MessagesExitTest : public QObject
{
    Q_OBJECT

private slots:
    void requiredUpgradeEndsWithOne();
    void withoutNoticesStartUpGoesOn();
    void signalWhileANoticeIsOpen_data();
    void signalWhileANoticeIsOpen();

private:
    void start(QProcess& program, const ScriptedServer& server, const QTemporaryDir& config,
               const QString& temp = {});
};

void MessagesExitTest::start(QProcess& program, const ScriptedServer& server, const QTemporaryDir& config,
                             const QString& temp)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"VERBOLIX_API_BASE"_s, server.baseUrl());
    env.insert(u"XDG_CONFIG_HOME"_s, config.path());
    if (!temp.isEmpty())
        env.insert(u"TMPDIR"_s, temp);
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(VERBOLIX_PROGRAM), {});
    QVERIFY(program.waitForStarted(10000));
}

void MessagesExitTest::requiredUpgradeEndsWithOne()
{
    ScriptedServer server;
    server.setAnswer(u"/1.0/messages"_s, "<messages><upgrade><url>https://www.verbolix.si/prenos</url>"
                                         "<required>true</required></upgrade>"
                                         "<last_message_id>12</last_message_id></messages>");
    QTemporaryDir config;
    QProcess program;
    start(program, server, config);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QCOMPARE(server.requests(), QStringList{u"/1.0/messages?language=sl&version=2.0&lastMessageId=0"_s});

    // The id was stored before the program ended.
    QSettings stored(config.filePath(u"Dravik/Verbolix.conf"_s), QSettings::IniFormat);
    QCOMPARE(stored.value(u"Verbolix/Settings/LastMessageID"_s).toInt(), 12);
}

void MessagesExitTest::withoutNoticesStartUpGoesOn()
{
    ScriptedServer server;
    server.setAnswer(u"/1.0/messages"_s, "<messages><upgrade><required>True</required></upgrade></messages>");
    server.setAnswer(u"/1.0/dictionary/list"_s, "<dictionaries/>");
    QTemporaryDir config;
    QProcess program;
    start(program, server, config);
    // The dictionary list follows the messages: the program did not end.
    QTRY_VERIFY_WITH_TIMEOUT(server.requests().size() >= 2, 60000);
    QVERIFY(server.requests().at(0).startsWith(u"/1.0/messages?"_s));
    QVERIFY(server.requests().at(1).startsWith(u"/1.0/dictionary/list?"_s));
    QCOMPARE(program.state(), QProcess::Running);
    program.terminate();
    if (!program.waitForFinished(10000))
        program.kill();
}

void MessagesExitTest::signalWhileANoticeIsOpen_data()
{
    QTest::addColumn<QByteArray>("messages");
    QTest::addColumn<int>("signal");
    const QByteArray news = "<messages><news><title>Novosti</title><body>Dva nova slovarja.</body></news></messages>";
    const QByteArray upgrade = "<messages><upgrade><title>Verzija 2.1</title><body>Nova.</body>"
                               "<url>https://www.verbolix.si/prenos</url></upgrade></messages>";
    QTest::newRow("SIGTERM, news open") << news << SIGTERM;
    QTest::newRow("SIGINT, news open") << news << SIGINT;
    QTest::newRow("SIGTERM, upgrade notice open") << upgrade << SIGTERM;
}

// The signal only ended the dialog's own loop: start-up went on and the program kept running.
void MessagesExitTest::signalWhileANoticeIsOpen()
{
    QFETCH(QByteArray, messages);
    QFETCH(int, signal);
    ScriptedServer server;
    server.setAnswer(u"/1.0/messages"_s, messages);
    server.setAnswer(u"/1.0/dictionary/list"_s, "<dictionaries/>");
    QTemporaryDir config;
    QTemporaryDir temp;
    QProcess program;
    start(program, server, config, temp.path());
    QTRY_VERIFY_WITH_TIMEOUT(server.requests().size() == 1, 60000);
    // The stylesheet is written before the messages are asked for.
    QTRY_COMPARE(QDir(temp.path()).entryList({u"CSS_*"_s}, QDir::Files).size(), 1);
    ::kill(pid_t(program.processId()), signal);
    const bool ended = program.waitForFinished(30000);
    if (!ended)
        program.kill();
    QVERIFY2(ended, "the program went on running");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 128 + signal);
    QCOMPARE(server.requests().size(), 1); // start-up went no further
    QCOMPARE(QDir(temp.path()).entryList({u"CSS_*"_s}, QDir::Files), QStringList());
}

QTEST_MAIN(MessagesExitTest)
#include "tst_messagesexit.moc"
