#pragma once

#include "tests/support/tempconfig.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

// A fresh XDG_CONFIG_HOME for one test, with the settings file's path and raw access to
// its bytes.
class ConfigDir
{
public:
    QString dir() const { return m_config.dir(); }
    QString storePath() const { return dir() + QStringLiteral("/Dravik/Verbolix.conf"); }

    // Writes the settings file as another program (or a hand edit) would leave it.
    bool writeStore(const QByteArray& ini) const
    {
        QDir().mkpath(dir() + QStringLiteral("/Dravik"));
        QFile file(storePath());
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(ini) == ini.size();
    }
    QByteArray readStore() const
    {
        QFile file(storePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    TempConfig m_config;
};
