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

void FilterKeys::write(int id, const QString& name, const QString& dictionaries)
{
    const QString key = keyName(id);
    m_store.setValue(key + QStringLiteral("/ime"), name);
    m_store.setValue(key + QStringLiteral("/slovarji"), dictionaries);
    m_store.sync();
}

void FilterKeys::remove(int id)
{
    m_store.remove(keyName(id));
    m_store.sync();
}
