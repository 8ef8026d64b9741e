// CApi's filter operations: the filter list m_sheme, its keys in the settings store and
// the selection m_izbraniSlovarji.
#include "core/capi.h"
#include "core/filters/dictionariestext.h"
#include "core/filters/filterkeys.h"
#include "core/settings.h"
#include "core/settingsfile.h"


namespace {
constexpr int AllDictionariesId = 0;
constexpr int TemporaryId = 1;
constexpr int FirstUserId = 2;

QString temporaryName()
{
    return QStringLiteral("Začasni filter");
}

qsizetype indexOfFilter(const QList<CShema>& filters, int id)
{
    for (qsizetype i = 0; i < filters.size(); ++i) {
        if (filters.at(i).id == id)
            return i;
    }
    return -1;
}
} // namespace

void CApi::InitFilters()
{
    ReloadFilters();
    if (indexOfFilter(m_sheme, TemporaryId) < 0)
        SetFilter(TemporaryId, temporaryName(), QStringLiteral(",,"));

    if (Settings::Read(Setting::FirstRun) != 0)
        return;
    // Two programs started for the first time at once must add one preset between them.
    const SettingsStepLock step;
    if (Settings::Read(Setting::FirstRun) != 0)
        return;
    Settings::Write(Setting::FirstRun, 1);
    // Every id below the smallest free one is stored, so at the next start the preset sits
    // at the position equal to its id; that is what "TrenutniFilter" holds.
    const int id = FindFreeFilterId();
    if (id > 0) {
        SetFilter(id, QStringLiteral("Prednastavljeni filter"), QStringLiteral(",70,58,"));
        Settings::Write(Setting::TrenutniFilter, id);
    }
}

void CApi::ReloadFilters()
{
    m_sheme.clear();
    SetFilter(AllDictionariesId, QStringLiteral("Vsi slovarji"), AllDictionariesText());

    FilterKeys keys;
    for (int id = FilterKeys::FirstId; id <= FilterKeys::LastId; ++id) {
        if (keys.exists(id))
            m_sheme.append(CShema{keys.name(id), id, keys.dictionaries(id), id == TemporaryId});
    }
}

int CApi::FindFreeFilterId() const
{
    FilterKeys keys;
    for (int id = FirstUserId; id <= FilterKeys::LastId; ++id) {
        if (!keys.exists(id))
            return id;
    }
    return -1;
}

void CApi::StoreFilter(int id)
{
    if (id < FilterKeys::FirstId || id > FilterKeys::LastId)
        return;
    const qsizetype index = indexOfFilter(m_sheme, id);
    if (index < 0)
        return;
    FilterKeys().write(id, m_sheme.at(index).name, m_sheme.at(index).dictionaries);
}

void CApi::SetFilter(int id, const QString& name, const QString& dictionaries)
{
    // No key exists for other ids: such a filter could never be read back.
    if (id < AllDictionariesId || id > FilterKeys::LastId)
        return;

    const qsizetype index = indexOfFilter(m_sheme, id);
    if (index >= 0) {
        m_sheme[index].dictionaries = dictionaries;
    } else if (id == AllDictionariesId || id == TemporaryId || FindFreeFilterId() > 0) {
        // The all-dictionaries filter is exempt from the free-id check as well as the
        // temporary one: with all 98 user keys taken it must still be at position 0, where
        // the filter selection and the editor expect it.
        m_sheme.append(
            CShema{id == TemporaryId ? temporaryName() : name, id, dictionaries, id == TemporaryId});
    }

    if (id != AllDictionariesId)
        StoreFilter(id);
}

int CApi::SaveSelectionAsFilter(const QString& name)
{
    // Another running program may be choosing an id at this moment: choosing and storing
    // as one step means the two never take the same id.
    const SettingsStepLock step;

    // The smallest id whose key is free and that no listed filter holds. A listed filter
    // can have lost its key (another instance deleted it, or storing it failed); taking its
    // id would overwrite that filter instead of adding the new one.
    FilterKeys keys;
    for (int id = FirstUserId; id <= FilterKeys::LastId; ++id) {
        if (!keys.exists(id) && indexOfFilter(m_sheme, id) < 0) {
            SetFilter(id, name, SelectionText());
            return id;
        }
    }
    return -1;
}

void CApi::SaveSelectionToFilter(int position)
{
    if (position < 0 || position >= m_sheme.size())
        return;
    const CShema filter = m_sheme.at(position);
    SetFilter(filter.id, filter.name, SelectionText());
}

void CApi::DeleteFilter(int position)
{
    if (position < 0 || position >= m_sheme.size())
        return;
    const int id = m_sheme.at(position).id;
    // Position 0 stays the all-dictionaries filter; it has no key to delete either.
    if (id == AllDictionariesId)
        return;
    m_sheme.removeAt(position);
    FilterKeys().remove(id);
}

CShema CApi::GetFilter(int position) const
{
    if (m_sheme.isEmpty())
        return {};
    // A stale "TrenutniFilter" can point past the list when the keys changed between runs.
    if (position < 0 || position >= m_sheme.size())
        position = 0;
    return m_sheme.at(position);
}

QString CApi::SelectionText() const
{
    return DictionariesText(m_izbraniSlovarji);
}

QString CApi::AllDictionariesText() const
{
    return DictionariesText(m_slovarji);
}

void CApi::SelectDictionaryById(int id)
{
    for (const CSlovar& d : std::as_const(m_slovarji)) {
        if (d.id == id)
            m_izbraniSlovarji.append(d);
    }
}

CSlovar CApi::GetDictionaryAt(int position) const
{
    if (position < 0 || position >= m_slovarji.size())
        return {};
    return m_slovarji.at(position);
}

QString CApi::GetDictionaryNameAt(int position) const
{
    return GetDictionaryAt(position).name;
}

QString CApi::GetDictionaryAuthorAt(int position) const
{
    return GetDictionaryAt(position).author;
}
