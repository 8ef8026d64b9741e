#pragma once

#include <QSettings>

// The one place that names the settings store: organisation "Dravik", application
// "Verbolix"; keys are relative to Software\Dravik\Verbolix. On Windows that is the
// registry under HKEY_CURRENT_USER; elsewhere the INI file
// $XDG_CONFIG_HOME/Dravik/Verbolix.conf, located afresh at every call so that a changed
// XDG_CONFIG_HOME takes effect at once. Only the user's own store is read: no
// organisation-wide or system-wide file can lend the program values or filters that it
// could then never change or delete.
QSettings OpenSettingsFile();
