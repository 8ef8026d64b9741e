// The messages of the local dictionary service, end to end: the program's own service
// process, the real request and reader, and the start-up notices in their order.
#include "core/capi.h"
#include "tests/messages/dialogdriver.h"
#include "app/servermessages.h"
#include "core/settings.h"
#include "tests/support/tempconfig.h"

#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
QJsonObject message(const char* kind, int id, const QString& url, const QString& title = {},
                    const QString& body = {}, const QString& log = {})
{
    return QJsonObject{{u"kind"_s, QLatin1String(kind)},
                       {u"id"_s, id},
                       {u"url"_s, url},
                       {u"title"_s, title},
                       {u"body"_s, body},
                       {u"log"_s, log}};
}

QByteArray serviceConfig()
{
    QJsonObject upgrade = message("upgrade", 7, u"https://www.verbolix.si/prenos"_s, u"Verbolix 2.1"_s,
                                  u"Hitrejše iskanje\\nin nov videz."_s, u"popravki"_s);
    upgrade.insert(u"required"_s, false);
    const QJsonArray messages{
        message("welcome", 3, u"http://127.0.0.1:1/dobrodosli.html"_s),
        message("version", 4, QString(), u"Verzija 2.0"_s, u"Kaj je novega"_s),
        message("news", 5, QString(), u"Novosti"_s, u"Dva nova slovarja."_s, u"- nemški\n- računalniški"_s),
        upgrade,
    };
    return QJsonDocument(QJsonObject{{u"messages"_s, messages}}).toJson();
}
} // namespace

class UrlSink : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class MessagesServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void announcedOnceInOrder();

private:
    QTemporaryDir m_dir;
    QProcess m_service;
    UrlSink m_urls;
};

void MessagesServiceTest::initTestCase()
{
    const QString program = qEnvironmentVariable("VERBOLIX_SERVICE");
    QVERIFY2(QFile::exists(program), "VERBOLIX_SERVICE names no program");
    QFile file(m_dir.filePath(u"config.json"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(serviceConfig());
    file.close();

    m_service.start(program, {u"--port"_s, u"0"_s, u"--config"_s, file.fileName()});
    QVERIFY(m_service.waitForStarted(5000));
    QByteArray line;
    while (!line.contains('\n') && m_service.waitForReadyRead(10000))
        line += m_service.readAllStandardOutput();
    const QByteArray prefix = "listening on ";
    QVERIFY2(line.startsWith(prefix), line.constData());
    qputenv("VERBOLIX_API_BASE", line.mid(prefix.size()).trimmed());

    QDesktopServices::setUrlHandler(u"https"_s, &m_urls, "open");
}

void MessagesServiceTest::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(u"https"_s);
    m_service.terminate();
    if (!m_service.waitForFinished(5000))
        m_service.kill();
}

void MessagesServiceTest::announcedOnceInOrder()
{
    TempConfig settings;
    {
        CApi api;
        api.ApiMessages();
        const CMessage& m = api.m_message;
        QCOMPARE(m.welcome, u"http://127.0.0.1:1/dobrodosli.html"_s);
        QCOMPARE(m.versionTitle, u"Verzija 2.0"_s);
        QCOMPARE(m.newsTitle, u"Novosti"_s);
        QCOMPARE(m.newsLog, u"- nemški\n- računalniški"_s);
        QCOMPARE(m.upgradeTitle, u"Verbolix 2.1"_s);
        QCOMPARE(m.upgradeUrl, u"https://www.verbolix.si/prenos"_s);
        QCOMPARE(m.upgradeRequired, u"false"_s);
        QCOMPARE(api.m_lastMessageId, 7);
        QCOMPARE(Settings::Read(Setting::LastMessageID), 7);

        // The optional upgrade first (declined), then the news; start-up goes on.
        DialogDriver driver({2, 1});
        QVERIFY(ShowStartupMessages(m, nullptr));
        QCOMPARE(driver.templates, (QList<int>{326, 327}));
        QCOMPARE(driver.texts.at(0), u"Hitrejše iskanje\r\nin nov videz."_s);
        QCOMPARE(driver.texts.at(1), u"Dva nova slovarja.\r\n\r\n- nemški\r\n- računalniški\r\n"_s);
        QVERIFY(m_urls.opened.isEmpty());
    }

    // The next start has seen them all: nothing is announced again.
    CApi next;
    next.ApiMessages();
    QCOMPARE(next.m_message.upgradeTitle, QString());
    QCOMPARE(next.m_message.newsTitle, QString());
    QCOMPARE(next.m_message.welcome, QString());
    QCOMPARE(Settings::Read(Setting::LastMessageID), 7);
    DialogDriver none({});
    QVERIFY(ShowStartupMessages(next.m_message, nullptr));
    QVERIFY(none.templates.isEmpty());
}

QTEST_MAIN(MessagesServiceTest)
#include "tst_messagesservice.moc"
