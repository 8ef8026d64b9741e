// The program's start with the built-in local address: the bundled service is started when
// nothing answers there, left alone when something does, and a missing or broken service
// never stops or holds up the start.
#include "core/http/httpclient.h"
#include "app/localservice.h"
#include "core/requesturls.h"
#include "tests/support/scriptedserver.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

class LocalServiceTest : public QObject
{
    Q_OBJECT

private:
    QString m_service;
    QTemporaryDir m_scripts;

    static bool answers(const QString& base)
    {
        HttpRequest request;
        request.url = base + QStringLiteral("/1.0/");
        request.connectTimeoutMs = 1000;
        request.totalTimeoutMs = 2000;
        return HttpClient::get(request).answered();
    }

    // Options for a "built-in" address that the client is also set to, as an installed
    // client with no VERBOLIX_API_BASE is; a free port keeps the test off the real default.
    static LocalService::Options optionsFor(const QString& base, const QStringList& programs)
    {
        qputenv("VERBOLIX_API_BASE", base.toUtf8());
        LocalService::Options options;
        options.defaultBase = base;
        options.programs = programs;
        options.probeTimeoutMs = 1000;
        options.startTimeoutMs = 3000;
        return options;
    }

    QString script(const QString& name, const QByteArray& body)
    {
        QFile file(m_scripts.filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return file.fileName();
    }

private slots:
    void initTestCase()
    {
        m_service = qEnvironmentVariable("VERBOLIX_SERVICE");
        QVERIFY2(QFileInfo(m_service).isExecutable(), qPrintable(m_service));
        QVERIFY(m_scripts.isValid());
    }

    void cleanup() { qunsetenv("VERBOLIX_API_BASE"); }

    // The first program found is started on the default port, answers searches in the
    // sample dictionaries, and is gone again when the object is.
    void startsServiceWhenNothingAnswers()
    {
        const QString base = ScriptedServer::unusedBaseUrl();
        QVERIFY(!answers(base));
        {
            LocalService service(optionsFor(base, {m_scripts.filePath(QStringLiteral("absent")), m_service}));
            QCOMPARE(service.startIfNeeded(), LocalService::Outcome::Started);
            QVERIFY(service.isRunning());
            QCOMPARE(service.program(), QFileInfo(m_service).absoluteFilePath());

            CSlovar sample;
            sample.id = 70;
            const QByteArray body =
                HttpClient::fetchBody(searchUrl(base, QStringLiteral("abeceda"), {sample}, 0));
            QVERIFY2(body.contains("abeceda"), body.constData());
            // A second call while it runs starts nothing new.
            QCOMPARE(service.startIfNeeded(), LocalService::Outcome::Started);
        }
        QVERIFY(!answers(base));
    }

    void leavesAnsweringServerAlone_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("server answers 200") << 200;
        QTest::newRow("server answers 404") << 404;
        QTest::newRow("server answers 500") << 500;
    }

    void leavesAnsweringServerAlone()
    {
        QFETCH(int, status);
        ScriptedServer server;
        server.setAnswer(QStringLiteral("/1.0/"), "<ok/>", status);
        LocalService service(optionsFor(server.baseUrl(), {m_service}));
        QCOMPARE(service.startIfNeeded(), LocalService::Outcome::AlreadyRunning);
        QVERIFY(!service.isRunning());
        QVERIFY(service.program().isEmpty());
        QCOMPARE(server.requests().size(), 1);
    }

    // The client set to some other address, or a built-in address on another machine, is
    // none of this object's business: nothing is probed or started.
    void notNeededElsewhere_data()
    {
        QTest::addColumn<QString>("defaultBase");
        QTest::addColumn<QString>("clientBase");
        QTest::newRow("client set to another address")
            << QStringLiteral("http://127.0.0.1:1") << QStringLiteral("http://127.0.0.1:2");
        QTest::newRow("default on another machine")
            << QStringLiteral("http://192.0.2.1:8737") << QStringLiteral("http://192.0.2.1:8737");
        QTest::newRow("default over https")
            << QStringLiteral("https://127.0.0.1:8737") << QStringLiteral("https://127.0.0.1:8737");
        QTest::newRow("default without a port")
            << QStringLiteral("http://localhost") << QStringLiteral("http://localhost");
    }

    void notNeededElsewhere()
    {
        QFETCH(QString, defaultBase);
        QFETCH(QString, clientBase);
        LocalService::Options options = optionsFor(clientBase, {m_service});
        options.defaultBase = defaultBase;
        LocalService service(options);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(service.startIfNeeded(), LocalService::Outcome::NotNeeded);
        QVERIFY(!service.isRunning());
        QVERIFY2(timer.elapsed() < 500, "no probe of another machine");
    }

    // Start-up goes on, within the start timeout, and leaves no process behind.
    void brokenServiceDoesNotHoldUpStart_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<LocalService::Outcome>("outcome");
        QTest::newRow("no program installed")
            << m_scripts.filePath(QStringLiteral("verbolix-service")) << LocalService::Outcome::NotInstalled;
        QTest::newRow("program exits at once") << script(QStringLiteral("exits"), "echo broken >&2; exit 1")
                                               << LocalService::Outcome::FailedToStart;
        QTest::newRow("program never says listening")
            << script(QStringLiteral("silent"), "exec sleep 60") << LocalService::Outcome::FailedToStart;
        QTest::newRow("program says something else")
            << script(QStringLiteral("chatty"), "echo starting; exec sleep 60")
            << LocalService::Outcome::FailedToStart;
    }

    void brokenServiceDoesNotHoldUpStart()
    {
        QFETCH(QString, program);
        QFETCH(LocalService::Outcome, outcome);
        const QString base = ScriptedServer::unusedBaseUrl();
        LocalService::Options options = optionsFor(base, {program});
        options.startTimeoutMs = 1000;
        LocalService service(options);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(service.startIfNeeded(), outcome);
        QVERIFY(timer.elapsed() < 1000 + 3000); // the start timeout and the bounded stop
        QVERIFY(!service.isRunning());
        QVERIFY(service.program().isEmpty());
    }

    // The installed program looks for the service beside itself first, then in the prefix.
    void defaultProgramsBesideThenPrefix()
    {
        const LocalService::Options options = LocalService::defaultOptions();
        QCOMPARE(options.programs.size(), 2);
        QCOMPARE(options.programs.first(),
                 QCoreApplication::applicationDirPath() + QStringLiteral("/verbolix-service"));
        QVERIFY(options.programs.last().endsWith(QStringLiteral("/bin/verbolix-service")));
    }
};

QTEST_GUILESS_MAIN(LocalServiceTest)
#include "tst_localservice.moc"
