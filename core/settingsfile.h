#pragma once

#include <QSettings>

// The one place that names the settings store: organisation "Dravik", application
// "Verbolix". Keys are relative to Software\Dravik\Verbolix.
QSettings OpenSettingsFile();
