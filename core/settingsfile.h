#pragma once

#include <QLockFile>
#include <QSettings>

// The one place that names the settings store: organisation "Dravik", application
// "Verbolix"; keys are relative to Software\Dravik\Verbolix. On Windows that is the
// registry under HKEY_CURRENT_USER; elsewhere the INI file
// $XDG_CONFIG_HOME/Dravik/Verbolix.conf, located afresh at every call so that a changed
// XDG_CONFIG_HOME takes effect at once. Only the user's own store is read: no
// organisation-wide or system-wide file can lend the program values or filters that it
// could then never change or delete.
QSettings OpenSettingsFile();

// Why the store cannot take a write at the moment, found out by writing a file of its size
// beside it.
enum class StoreWriteFault
{
    None,         // such a write succeeds now
    NoFolder,     // the store's folder is missing and cannot be made (a file is in its way)
    NotPermitted, // the folder may not be written (permissions, a read-only file system)
    DiskFull,
    Other,
};
StoreWriteFault ProbeStoreWrite();
// The folder that holds the store, as the user would look for it.
QString SettingsFolder();

// Held while a change reads and writes the store as one step that another running program
// must not interleave with (choosing a free filter id and storing it; the first run's preset
// filter). A lock file beside the store, not the store's own lock, which QSettings takes for
// every write. When it cannot be had (a read-only or missing config directory, where writes
// fail anyway) the step goes on after a few seconds.
class SettingsStepLock
{
public:
    SettingsStepLock();
    SettingsStepLock(const SettingsStepLock&) = delete;
    SettingsStepLock& operator=(const SettingsStepLock&) = delete;

    static QString path();

private:
    QLockFile m_file;
};
