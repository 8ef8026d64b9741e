#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A fresh XDG_CONFIG_HOME for one test, restored afterwards, with the settings file's
// path and raw access to its bytes.
class ConfigDir
{
public:
    ConfigDir()
        : m_previous(qgetenv("XDG_CONFIG_HOME")), m_hadPrevious(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
    }
    ~ConfigDir()
    {
        if (m_hadPrevious)
            qputenv("XDG_CONFIG_HOME", m_previous);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    ConfigDir(const ConfigDir&) = delete;
    ConfigDir& operator=(const ConfigDir&) = delete;

    QString dir() const { return m_dir.path(); }
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
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious = false;
};
