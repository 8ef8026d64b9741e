#include "core/apiconfig.h"

#include "core/buildconfig.h"

QString ApiBaseUrl()
{
    const QString fromEnv = qEnvironmentVariable("VERBOLIX_API_BASE").trimmed();
    QString base = fromEnv.isEmpty() ? QStringLiteral(VERBOLIX_API_BASE_DEFAULT) : fromEnv;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

QString LicenceKey()
{
    return QStringLiteral(VERBOLIX_LICENCE_KEY_VALUE);
}

QString WebsiteUrl()
{
    return QStringLiteral(VERBOLIX_WEBSITE_VALUE);
}

QString MakerWebsiteUrl()
{
    return QStringLiteral(VERBOLIX_MAKER_WEBSITE_VALUE);
}

QString ProgramVersion()
{
    return QStringLiteral(VERBOLIX_VERSION_VALUE);
}
