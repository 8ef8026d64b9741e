#pragma once

#include <QHash>
#include <QSettings>
#include <QString>

// The filters' keys in the settings store: "FilterSlovarjev<id>" for ids 1..99, each with
// the text values "ime" (the name) and "slovarji" (the dictionaries text). An object sees
// the store as it is on disk when it is made, so another running instance's changes count;
// make a fresh one for every look at the keys.
class FilterKeys
{
public:
    static constexpr int FirstId = 1;
    static constexpr int LastId = 99;
    // Longest text a value may hold; a longer one reads as empty.
    static constexpr int MaxTextLength = 4095;

    FilterKeys();
    FilterKeys(const FilterKeys&) = delete;
    FilterKeys& operator=(const FilterKeys&) = delete;

    // A key exists when it holds any value at all.
    bool exists(int id);
    // "ime" and "slovarji"; missing, too long or not text reads as empty.
    QString name(int id) const;
    QString dictionaries(int id) const;
    // Creates the key when needed and writes both values together, at once. False when the
    // store could not be written (a full disk, a folder it may not write); the store then
    // holds what it held before, on disk and for the next write.
    bool write(int id, const QString& name, const QString& dictionaries);
    // Removes the key with every value in it. False, with the key kept, when the store could
    // not be written.
    bool remove(int id);

    static QString keyName(int id);

private:
    QString readText(int id, QLatin1String value) const;
    // Syncs; on failure puts back the values as they were before this change.
    bool commit(const QHash<QString, QVariant>& before);

    QSettings m_store;
};
