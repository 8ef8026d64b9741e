#include "core/capi.h"
#include "core/capimessages.h"
#include "tests/support/scriptedserver.h"
#include "core/settings.h"
#include "tests/support/tempconfig.h"

#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
const QString messagesPath = u"/1.0/messages"_s;

// Everything the service can announce. The upgrade comes first and has titles of its own,
// so a group read from the whole document instead of from its element shows up.
const QByteArray fullAnswer = R"(<?xml version="1.0" encoding="UTF-8"?>
<messages>
  <welcome>http://127.0.0.1/dobrodoslica.html</welcome>
  <upgrade>
    <url>https://www.verbolix.si/prenos</url>
    <title>Verbolix 2.1</title>
    <title>second title, never read</title>
    <body>Nova verzija\nje tu.</body>
    <log>- hitreje</log>
    <required>true</required>
  </upgrade>
  <version>
    <title>Verzija 2.0</title>
    <body>Telo verzije</body>
    <log>Dnevnik verzije</log>
  </version>
  <news>
    <title>Novosti</title>
    <body>  Novi <b>slovar</b>  </body>
    <log>vrstica 1
vrstica 2</log>
  </news>
  <last_message_id>23</last_message_id>
</messages>
)";

QByteArray answerWithId(const QByteArray& idElement)
{
    return "<messages><news><title>N</title></news>" + idElement + "</messages>";
}
} // namespace

class MessagesApiTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyFieldFromAFullAnswer();
    void requestAddress();
    void onlyLastMessageIdIsStoredAndSentNextTime();
    void idRules_data();
    void idRules();
    void failuresLeaveEverythingAsItWas_data();
    void failuresLeaveEverythingAsItWas();
    void missingGroupsStayEmpty();
    void versionCut_data();
    void versionCut();
    void readerKeepsRecordOnBadBytes_data();
    void readerKeepsRecordOnBadBytes();

private:
    std::unique_ptr<TempConfig> m_config;
    std::unique_ptr<ScriptedServer> m_server;
};

void MessagesApiTest::init()
{
    m_config = std::make_unique<TempConfig>();
    m_server = std::make_unique<ScriptedServer>();
    qputenv("VERBOLIX_API_BASE", m_server->baseUrl().toUtf8());
    qputenv("VERBOLIX_CONNECT_TIMEOUT_MS", "1000");
    qputenv("VERBOLIX_REQUEST_TIMEOUT_MS", "2000");
}

void MessagesApiTest::cleanup()
{
    m_server.reset();
    m_config.reset();
    qunsetenv("VERBOLIX_API_BASE");
}

void MessagesApiTest::everyFieldFromAFullAnswer()
{
    m_server->setAnswer(messagesPath, fullAnswer);
    CApi api;
    api.ApiMessages();

    const CMessage& m = api.m_message;
    QCOMPARE(m.welcome, u"http://127.0.0.1/dobrodoslica.html"_s);
    QCOMPARE(m.upgradeUrl, u"https://www.verbolix.si/prenos"_s);
    QCOMPARE(m.upgradeTitle, u"Verbolix 2.1"_s);
    QCOMPARE(m.upgradeBody, u"Nova verzija\\nje tu."_s);
    QCOMPARE(m.upgradeLog, u"- hitreje"_s);
    QCOMPARE(m.upgradeRequired, u"true"_s);
    QCOMPARE(m.versionTitle, u"Verzija 2.0"_s);
    QCOMPARE(m.versionBody, u"Telo verzije"_s);
    QCOMPARE(m.versionLog, u"Dnevnik verzije"_s);
    QCOMPARE(m.newsTitle, u"Novosti"_s);
    // All descendant text joined, white space as sent.
    QCOMPARE(m.newsBody, u"  Novi slovar  "_s);
    QCOMPARE(m.newsLog, u"vrstica 1\nvrstica 2"_s);
    QCOMPARE(m.reserved, QString());

    QCOMPARE(api.m_lastMessageId, 23);
    QCOMPARE(Settings::Read(Setting::LastMessageID), 23);
    QCOMPARE(api.m_requestDepth, 0);
}

void MessagesApiTest::requestAddress()
{
    m_server->setAnswer(messagesPath, "<messages/>");
    CApi api;
    api.ApiMessages();
    // First start: no stored id; the version is cut before its second dot; no access key.
    QCOMPARE(m_server->requests(), QStringList{u"/1.0/messages?language=sl&version=2.0&lastMessageId=0"_s});
}

void MessagesApiTest::onlyLastMessageIdIsStoredAndSentNextTime()
{
    m_server->setAnswer(messagesPath, "<messages><last_message_id>17</last_message_id></messages>");
    {
        CApi api;
        api.ApiMessages();
        QCOMPARE(api.m_lastMessageId, 17);
        const CMessage& m = api.m_message;
        for (const QString& field :
             {m.welcome, m.newsTitle, m.newsBody, m.newsLog, m.versionTitle, m.versionBody, m.versionLog,
              m.upgradeTitle, m.upgradeBody, m.upgradeLog, m.upgradeUrl, m.upgradeRequired})
            QCOMPARE(field, QString());
    }
    QCOMPARE(Settings::Read(Setting::LastMessageID), 17);

    // The next start sends it.
    m_server->clearRequests();
    m_server->setAnswer(messagesPath, "<messages/>");
    CApi next;
    next.ApiMessages();
    QCOMPARE(m_server->requests(), QStringList{u"/1.0/messages?language=sl&version=2.0&lastMessageId=17"_s});
    QCOMPARE(next.m_lastMessageId, 0);
    QCOMPARE(Settings::Read(Setting::LastMessageID), 17);
}

void MessagesApiTest::idRules_data()
{
    QTest::addColumn<QByteArray>("idElement");
    QTest::addColumn<int>("readId");
    QTest::addColumn<int>("stored"); // the setting was 9 before

    QTest::newRow("plain") << QByteArray("<last_message_id>17</last_message_id>") << 17 << 17;
    QTest::newRow("smaller than before is taken too")
        << QByteArray("<last_message_id>3</last_message_id>") << 3 << 3;
    QTest::newRow("leading white space, trailing letters")
        << QByteArray("<last_message_id>\n 42abc</last_message_id>") << 42 << 42;
    QTest::newRow("plus sign") << QByteArray("<last_message_id>+8</last_message_id>") << 8 << 8;
    QTest::newRow("negative is not zero") << QByteArray("<last_message_id>-5</last_message_id>") << -5 << -5;
    QTest::newRow("zero leaves the setting") << QByteArray("<last_message_id>0</last_message_id>") << 0 << 9;
    QTest::newRow("no digits leaves the setting")
        << QByteArray("<last_message_id>abc</last_message_id>") << 0 << 9;
    QTest::newRow("empty element leaves the setting") << QByteArray("<last_message_id/>") << 0 << 9;
    QTest::newRow("missing element leaves the setting") << QByteArray() << 0 << 9;
}

void MessagesApiTest::idRules()
{
    QFETCH(QByteArray, idElement);
    QFETCH(int, readId);
    QFETCH(int, stored);

    Settings::Write(Setting::LastMessageID, 9);
    m_server->setAnswer(messagesPath, answerWithId(idElement));
    CApi api;
    api.ApiMessages();
    QCOMPARE(m_server->requests(), QStringList{u"/1.0/messages?language=sl&version=2.0&lastMessageId=9"_s});
    QCOMPARE(api.m_message.newsTitle, u"N"_s);
    QCOMPARE(api.m_lastMessageId, readId);
    QCOMPARE(Settings::Read(Setting::LastMessageID), stored);
}

void MessagesApiTest::failuresLeaveEverythingAsItWas_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("service down") << u"down"_s;
    QTest::newRow("HTTP 500 with an XML body") << u"500"_s;
    QTest::newRow("not XML") << u"html"_s;
    QTest::newRow("empty answer") << u"empty"_s;
    QTest::newRow("truncated XML") << u"truncated"_s;
    QTest::newRow("never answers") << u"silent"_s;
}

void MessagesApiTest::failuresLeaveEverythingAsItWas()
{
    QFETCH(QString, kind);

    const QByteArray withEverything = answerWithId("<last_message_id>30</last_message_id>");
    if (kind == u"down"_s)
        qputenv("VERBOLIX_API_BASE", ScriptedServer::unusedBaseUrl().toUtf8());
    else if (kind == u"500"_s)
        m_server->setAnswer(messagesPath, withEverything, 500);
    else if (kind == u"html"_s)
        m_server->setAnswer(messagesPath, "<html><body>Napaka</p></html>", 200, "text/html");
    else if (kind == u"empty"_s)
        m_server->setAnswer(messagesPath, QByteArray());
    else if (kind == u"truncated"_s)
        m_server->setAnswer(messagesPath, withEverything.left(withEverything.size() - 12));
    else if (kind == u"silent"_s)
        m_server->setReply(messagesPath, ScriptedReply::neverAnswer());

    Settings::Write(Setting::LastMessageID, 9);
    CApi api;
    api.ApiMessages();
    QCOMPARE(api.m_message.newsTitle, QString());
    QCOMPARE(api.m_message.welcome, QString());
    QCOMPARE(api.m_lastMessageId, 0);
    QCOMPARE(api.m_requestDepth, 0);
    QCOMPARE(Settings::Read(Setting::LastMessageID), 9);
    if (kind != u"down"_s)
        QCOMPARE(m_server->requests().size(), 1);
}

void MessagesApiTest::missingGroupsStayEmpty()
{
    // A title outside any group is no group's title; a group without some of its
    // children leaves those empty.
    m_server->setAnswer(messagesPath, "<messages><title>osamljen</title><upgrade><title>U</title></upgrade>"
                                      "<news><body>brez naslova</body></news></messages>");
    CApi api;
    api.ApiMessages();
    QCOMPARE(api.m_message.upgradeTitle, u"U"_s);
    QCOMPARE(api.m_message.upgradeUrl, QString());
    QCOMPARE(api.m_message.upgradeRequired, QString());
    QCOMPARE(api.m_message.newsTitle, QString());
    QCOMPARE(api.m_message.newsBody, u"brez naslova"_s);
    QCOMPARE(api.m_message.versionTitle, QString());
    QCOMPARE(api.m_message.welcome, QString());
}

void MessagesApiTest::versionCut_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("sent");

    QTest::newRow("four parts") << u"2.0.0.0"_s << u"2.0"_s;
    QTest::newRow("three parts, wide numbers") << u"10.23.4"_s << u"10.23"_s;
    QTest::newRow("two parts: whole") << u"2.0"_s << u"2.0"_s;
    QTest::newRow("one part: whole") << u"2"_s << u"2"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("trailing dot") << u"2.0."_s << u"2.0"_s;
    QTest::newRow("dots only") << u".."_s << u"."_s;
}

void MessagesApiTest::versionCut()
{
    QFETCH(QString, version);
    QFETCH(QString, sent);
    QCOMPARE(messagesClientVersion(version), sent);
    // With an empty version the address has "version=" straight before "&lastMessageId=".
    QCOMPARE(messagesUrl(u"http://h:1"_s, messagesClientVersion(version), 4),
             u"http://h:1/1.0/messages?language=sl&version="_s + sent + u"&lastMessageId=4"_s);
}

void MessagesApiTest::readerKeepsRecordOnBadBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("read");

    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("text") << QByteArray("last_message_id=5") << false;
    QTest::newRow("unclosed") << QByteArray("<messages><news><title>x</title>") << false;
    QTest::newRow("binary") << QByteArray("\x00\xff<\x01", 4) << false;
    QTest::newRow("well-formed, nothing known") << QByteArray("<other/>") << true;
}

void MessagesApiTest::readerKeepsRecordOnBadBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, read);

    CMessage message;
    message.welcome = u"prej"_s;
    message.newsTitle = u"prej"_s;
    int id = 5;
    QCOMPARE(readMessagesAnswer(bytes, message, id), read);
    QCOMPARE(id, 5);
    QCOMPARE(message.newsTitle, u"prej"_s);
    // A document that was read sets welcome, empty when it has none.
    QCOMPARE(message.welcome, read ? QString() : u"prej"_s);
}

QTEST_MAIN(MessagesApiTest)
#include "tst_messagesapi.moc"
