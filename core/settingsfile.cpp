#include "core/settingsfile.h"

#include <QDir>
#include <QStandardPaths>

// Both branches name the store by its path rather than by organisation and application:
// with a path QSettings consults no fallback store.
namespace {
QString storeDirectory()
{
#ifdef Q_OS_WIN
    return QDir::tempPath();
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Dravik");
#endif
}
} // namespace

QString SettingsStepLock::path()
{
    return storeDirectory() + QStringLiteral("/Verbolix.conf.step.lock");
}

namespace {
// The lock file can only be made in a directory that exists; on the first run it may not yet.
QString lockPathInExistingDirectory()
{
    QDir().mkpath(storeDirectory());
    return SettingsStepLock::path();
}
} // namespace

SettingsStepLock::SettingsStepLock() : m_file(lockPathInExistingDirectory())
{
    m_file.tryLock(5000);
}

QSettings OpenSettingsFile()
{
#ifdef Q_OS_WIN
    return QSettings(QStringLiteral("HKEY_CURRENT_USER\\Software\\Dravik\\Verbolix"),
                     QSettings::NativeFormat);
#else
    // QSettings works out its own user path once per process; asking QStandardPaths at every
    // call keeps the store where XDG_CONFIG_HOME points now. It is the file that the native
    // format with organisation "Dravik" and application "Verbolix" would use.
    return QSettings(storeDirectory() + QStringLiteral("/Verbolix.conf"), QSettings::IniFormat);
#endif
}
