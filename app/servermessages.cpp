#include "app/servermessages.h"

#include "app/messagedialog.h"
#include "app/quitsignals.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
const QString lineFeed = QStringLiteral("\n");
const QString backslashN = QStringLiteral("\\n");
const QString crLf = QStringLiteral("\r\n");

QString withCrLf(QString text)
{
    return text.replace(lineFeed, crLf);
}

QString withCrLfAndBackslashN(const QString& text)
{
    return withCrLf(text).replace(backslashN, crLf);
}

bool isRequired(const CMessage& message)
{
    // Case matters: "True" is an optional upgrade.
    return message.upgradeRequired == QLatin1String("true");
}
} // namespace

QString UpgradeNoticeText(const QString& upgradeBody)
{
    return withCrLfAndBackslashN(upgradeBody);
}

QString NewsText(const QString& newsBody, const QString& newsLog)
{
    return withCrLf(newsBody) % crLf % crLf % withCrLfAndBackslashN(newsLog) % crLf;
}

int ShowUpgradeNotice(const CMessage& message, QWidget* parent)
{
    const int templateId =
        isRequired(message) ? MessageDialog::RequiredUpgrade : MessageDialog::OptionalUpgrade;
    MessageDialog dialog(templateId, UpgradeNoticeText(message.upgradeBody), parent);
    return dialog.exec();
}

int ShowNews(const CMessage& message, QWidget* parent)
{
    MessageDialog dialog(MessageDialog::News, NewsText(message.newsBody, message.newsLog), parent);
    return dialog.exec();
}

bool IsOpenableUpgradeUrl(const QString& upgradeUrl)
{
    const QUrl url(upgradeUrl.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool ShowStartupMessages(const CMessage& message, QWidget* parent)
{
    if (!message.upgradeTitle.isEmpty() && ShowUpgradeNotice(message, parent) == 1) {
        if (IsOpenableUpgradeUrl(message.upgradeUrl))
            QDesktopServices::openUrl(QUrl(message.upgradeUrl.trimmed(), QUrl::StrictMode));
        return false;
    }
    // A termination signal ends a dialog's loop without an answer: start-up ends too.
    if (isRequired(message) || QuitSignals::received())
        return false;
    if (!message.newsTitle.isEmpty())
        ShowNews(message, parent);
    return !QuitSignals::received();
}
