#include "core/settings.h"

#include "core/settingsfile.h"

#include <QSettings>
#include <QVariant>
#include <climits>
#include <limits>

namespace {
QString keyOf(const IntSetting& setting)
{
    return QStringLiteral("Verbolix/Settings/") + QLatin1String(setting.name);
}

// A stored 32-bit integer: a whole decimal number in an INI file, an integer in the
// registry. Anything else (a fraction, a word, a list, raw bytes, a number out of range)
// is another kind of value and does not count.
bool toStoredInt(const QVariant& value, int& out)
{
    bool ok = false;
    switch (value.typeId()) {
    case QMetaType::QString:
        out = value.toString().toInt(&ok, 10);
        return ok;
    case QMetaType::Int:
        out = value.toInt();
        return true;
    case QMetaType::UInt: // a 32-bit registry word: its bits are the value
        out = int(value.toUInt());
        return true;
    case QMetaType::LongLong: {
        const qlonglong wide = value.toLongLong();
        if (wide < std::numeric_limits<int>::min() || wide > std::numeric_limits<int>::max())
            return false;
        out = int(wide);
        return true;
    }
    case QMetaType::ULongLong: {
        const qulonglong wide = value.toULongLong();
        if (wide > qulonglong(std::numeric_limits<int>::max()))
            return false;
        out = int(wide);
        return true;
    }
    default:
        return false;
    }
}
} // namespace

int Settings::Read(const IntSetting& setting)
{
    const QSettings store = OpenSettingsFile();
    int value = 0;
    return toStoredInt(store.value(keyOf(setting)), value) ? value : setting.defaultValue;
}

void Settings::Write(const IntSetting& setting, int value)
{
    QSettings store = OpenSettingsFile();
    store.setValue(keyOf(setting), value);
    store.sync();
}

int Settings::OneMinus(int value)
{
    return int(qBound(qint64(INT_MIN), 1 - qint64(value), qint64(INT_MAX)));
}
