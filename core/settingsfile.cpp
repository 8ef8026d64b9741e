#include "settingsfile.h"

QSettings OpenSettingsFile()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Dravik"),
                     QStringLiteral("Verbolix"));
}
