#include "settings.h"

#include "settingsfile.h"

#include <QSettings>

namespace {
QString keyOf(const IntSetting& setting)
{
    return QStringLiteral("Verbolix/Settings/") + QLatin1String(setting.name);
}
} // namespace

int Settings::Read(const IntSetting& setting)
{
    QSettings store = OpenSettingsFile();
    bool ok = false;
    const int value = store.value(keyOf(setting)).toInt(&ok);
    return ok ? value : setting.defaultValue;
}

void Settings::Write(const IntSetting& setting, int value)
{
    QSettings store = OpenSettingsFile();
    store.setValue(keyOf(setting), value);
    store.sync();
}
