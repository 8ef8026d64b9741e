#include "core/settingsfile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstdlib>
#include <unistd.h>
#endif

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

QString SettingsFolder()
{
    return QDir::toNativeSeparators(storeDirectory());
}

StoreWriteFault ProbeStoreWrite()
{
#ifdef Q_OS_WIN
    return StoreWriteFault::Other;
#else
    const QString folder = storeDirectory();
    if (!QDir().mkpath(folder)) {
        // What is in the way: the nearest part of the path that exists.
        QFileInfo existing(folder);
        while (!existing.exists() && !existing.isRoot() &&
               existing.absoluteFilePath() != existing.absolutePath())
            existing.setFile(existing.absolutePath());
        if (!existing.isDir())
            return StoreWriteFault::NoFolder;
        return ::access(QFile::encodeName(existing.absoluteFilePath()).constData(), W_OK) != 0
                   ? StoreWriteFault::NotPermitted
                   : StoreWriteFault::Other;
    }
    auto faultOf = [](int error) {
        switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return StoreWriteFault::NotPermitted;
        case ENOSPC:
        case EDQUOT:
            return StoreWriteFault::DiskFull;
        default:
            return StoreWriteFault::Other;
        }
    };
    QByteArray probe = QFile::encodeName(folder + QStringLiteral("/.Verbolix.conf.probe-XXXXXX"));
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return faultOf(errno);
    // As much as the store would take, and a little more.
    const qint64 size = QFileInfo(folder + QStringLiteral("/Verbolix.conf")).size() + 4096;
    const QByteArray block(4096, '\0');
    StoreWriteFault fault = StoreWriteFault::None;
    for (qint64 written = 0; written < size && fault == StoreWriteFault::None;) {
        const ssize_t n = ::write(fd, block.constData(), size_t(qMin<qint64>(block.size(), size - written)));
        if (n < 0 && errno != EINTR)
            fault = faultOf(errno);
        else if (n > 0)
            written += n;
    }
    if (fault == StoreWriteFault::None && ::fsync(fd) != 0)
        fault = faultOf(errno);
    ::close(fd);
    ::unlink(probe.constData());
    return fault;
#endif
}
