#include "settingsfile.h"

#include <QStandardPaths>

// Both branches name the store by its path rather than by organisation and application:
// with a path QSettings consults no fallback store.
QSettings OpenSettingsFile()
{
#ifdef Q_OS_WIN
    return QSettings(QStringLiteral("HKEY_CURRENT_USER\\Software\\Dravik\\Verbolix"),
                     QSettings::NativeFormat);
#else
    // QSettings works out its own user path once per process; asking QStandardPaths at every
    // call keeps the store where XDG_CONFIG_HOME points now. It is the file that the native
    // format with organisation "Dravik" and application "Verbolix" would use.
    return QSettings(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/Dravik/Verbolix.conf"),
                     QSettings::IniFormat);
#endif
}
