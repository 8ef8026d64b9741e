#include "core/capimessages.h"

#include "core/apiconfig.h"
#include "core/capi.h"
#include "core/http/httpclient.h"
#include "core/settings.h"
#include "core/xml/xmlanswer.h"

QString messagesClientVersion(const QString& programVersion)
{
    const qsizetype firstDot = programVersion.indexOf(QLatin1Char('.'));
    if (firstDot < 0)
        return programVersion;
    const qsizetype secondDot = programVersion.indexOf(QLatin1Char('.'), firstDot + 1);
    return secondDot < 0 ? programVersion : programVersion.left(secondDot);
}

QString messagesUrl(const QString& baseUrl, const QString& clientVersion, int lastMessageId)
{
    // The only request without the access key.
    return baseUrl % QLatin1String("/1.0/messages?language=sl&version=") % clientVersion %
           QLatin1String("&lastMessageId=") % QString::number(lastMessageId);
}

bool readMessagesAnswer(const QByteArray& body, CMessage& message, int& lastMessageId)
{
    const XmlAnswer answer = XmlAnswer::fromBytes(body);
    if (answer.isEmpty())
        return false;

    message.welcome = answer.textOf(QStringLiteral("welcome"));

    const XmlElement upgrade = answer.first(QStringLiteral("upgrade"));
    if (!upgrade.isNull()) {
        message.upgradeUrl = upgrade.textOf(QStringLiteral("url"));
        message.upgradeTitle = upgrade.textOf(QStringLiteral("title"));
        message.upgradeBody = upgrade.textOf(QStringLiteral("body"));
        message.upgradeLog = upgrade.textOf(QStringLiteral("log"));
        message.upgradeRequired = upgrade.textOf(QStringLiteral("required"));
    }

    const XmlElement version = answer.first(QStringLiteral("version"));
    if (!version.isNull()) {
        message.versionTitle = version.textOf(QStringLiteral("title"));
        message.versionBody = version.textOf(QStringLiteral("body"));
        message.versionLog = version.textOf(QStringLiteral("log"));
    }

    const XmlElement news = answer.first(QStringLiteral("news"));
    if (!news.isNull()) {
        message.newsTitle = news.textOf(QStringLiteral("title"));
        message.newsBody = news.textOf(QStringLiteral("body"));
        message.newsLog = news.textOf(QStringLiteral("log"));
    }

    const XmlElement id = answer.first(QStringLiteral("last_message_id"));
    if (!id.isNull())
        lastMessageId = id.toInt();
    return true;
}

bool CApi::ApiMessagesParse(const QString& url)
{
    // A failed request or an answer that does not parse leaves the record as it was; there
    // is no document object that could fail to be made, so the result is always true.
    readMessagesAnswer(HttpClient::fetchBody(url), m_message, m_lastMessageId);
    return true;
}

void CApi::ApiMessages()
{
    const QString version = messagesClientVersion(ProgramVersion());
    const int lastId = Settings::Read(Setting::LastMessageID);
    const QString url = messagesUrl(m_baseUrl, version, lastId);

    ++m_requestDepth;
    ApiMessagesParse(url);
    // Stored before anything is shown: the messages count as delivered even when the
    // program ends for an upgrade before showing them.
    if (m_lastMessageId != 0)
        Settings::Write(Setting::LastMessageID, m_lastMessageId);
    --m_requestDepth;
}
