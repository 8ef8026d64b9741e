#include "core/filters/filterkeys.h"

#include "core/settingsfile.h"

#include <QVariant>

FilterKeys::FilterKeys() : m_store(OpenSettingsFile())
{
    // Opening already reads a file that changed on disk; syncing says so explicitly, since
    // the free-id search depends on it.
    m_store.sync();
}

QString FilterKeys::keyName(int id)
{
    return QStringLiteral("FilterSlovarjev") + QString::number(id);
}

bool FilterKeys::exists(int id)
{
    m_store.beginGroup(keyName(id));
    const bool any = !m_store.childKeys().isEmpty() || !m_store.childGroups().isEmpty();
    m_store.endGroup();
    return any;
}

QString FilterKeys::name(int id) const
{
    return readText(id, QLatin1String("ime"));
}

QString FilterKeys::dictionaries(int id) const
{
    return readText(id, QLatin1String("slovarji"));
}

QString FilterKeys::readText(int id, QLatin1String value) const
{
    const QVariant stored = m_store.value(keyName(id) + u'/' + value);
    // A list (unquoted commas in the file), raw bytes or any other kind is not text.
    if (stored.typeId() != QMetaType::QString)
        return {};
    QString text = stored.toString();
    if (text.size() > MaxTextLength)
        return {};
    // Text ends at its first null, as a registry string does.
    const qsizetype end = text.indexOf(QChar(0));
    if (end >= 0)
        text.truncate(end);
    return text;
}

bool FilterKeys::write(int id, const QString& name, const QString& dictionaries)
{
    const QString key = keyName(id);
    const QString nameKey = key + QStringLiteral("/ime");
    const QString textKey = key + QStringLiteral("/slovarji");
    const QHash<QString, QVariant> before{{nameKey, m_store.value(nameKey)},
                                          {textKey, m_store.value(textKey)}};
    m_store.setValue(nameKey, name);
    m_store.setValue(textKey, dictionaries);
    return commit(before);
}

bool FilterKeys::remove(int id)
{
    QHash<QString, QVariant> before;
    m_store.beginGroup(keyName(id));
    const QStringList values = m_store.allKeys();
    m_store.endGroup();
    for (const QString& value : values)
        before.insert(keyName(id) + u'/' + value, m_store.value(keyName(id) + u'/' + value));
    m_store.remove(keyName(id));
    return commit(before);
}

bool FilterKeys::commit(const QHash<QString, QVariant>& before)
{
    m_store.sync();
    if (m_store.status() != QSettings::AccessError)
        return true;
    // The file on disk is untouched, but QSettings keeps the change it could not write and
    // would store it with the next write of any setting: after the user was told it failed.
    for (auto value = before.cbegin(); value != before.cend(); ++value) {
        if (value.value().isValid())
            m_store.setValue(value.key(), value.value());
        else
            m_store.remove(value.key());
    }
    m_store.sync();
    return false;
}
