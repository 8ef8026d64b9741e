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

// The smallest id whose key is free and that no listed filter holds: a listed filter can
// have lost its key (another instance deleted it, or storing it failed), and taking its id
// would overwrite that filter instead of adding the new one. The caller holds the step lock.
int saveAsNewFilter(CApi& api, const QString& name)
{
    FilterKeys keys;
    for (int id = FirstUserId; id <= FilterKeys::LastId; ++id) {
        if (!keys.exists(id) && indexOfFilter(api.m_sheme, id) < 0) {
            const QList<CShema> before = api.m_sheme;
            if (api.SetFilter(id, name, api.SelectionText()))
                return id;
            // Listed but gone at the next start is what the user must not be led to think.
            api.m_sheme = before;
            return CApi::FilterNotStored;
        }
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

bool CApi::StoreFilter(int id)
{
    if (id < FilterKeys::FirstId || id > FilterKeys::LastId)
        return true;
    const qsizetype index = indexOfFilter(m_sheme, id);
    if (index < 0)
        return true;
    return FilterKeys().write(id, m_sheme.at(index).name, m_sheme.at(index).dictionaries);
}

bool CApi::SetFilter(int id, const QString& name, const QString& dictionaries)
{
    // No key exists for other ids: such a filter could never be read back.
    if (id < AllDictionariesId || id > FilterKeys::LastId)
        return true;

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

    return id == AllDictionariesId || StoreFilter(id);
}

int CApi::SaveSelectionAsFilter(const QString& name)
{
    // Another running program may be choosing an id at this moment: choosing and storing
    // as one step means the two never take the same id.
    const SettingsStepLock step;
    return saveAsNewFilter(*this, name);
}

int CApi::SaveSelectionToFilter(int position)
{
    if (position < 0 || position >= m_sheme.size())
        return -1;
    const CShema shown = m_sheme.at(position);
    if (shown.id == AllDictionariesId) {
        m_sheme[position].dictionaries = SelectionText(); // never stored
        return shown.id;
    }

    const SettingsStepLock step;
    FilterKeys keys;
    if (keys.exists(shown.id) &&
        (keys.name(shown.id) != shown.name || keys.dictionaries(shown.id) != shown.dictionaries)) {
        // Another running program has changed this filter, or deleted it and given its id to
        // a new one: writing over the key would destroy a filter the user here never saw.
        // The list shows what is stored, and the selection becomes a filter of its own.
        m_sheme[position].name = keys.name(shown.id);
        m_sheme[position].dictionaries = keys.dictionaries(shown.id);
        return saveAsNewFilter(*this, shown.name);
    }
    m_sheme[position].dictionaries = SelectionText();
    if (!StoreFilter(shown.id)) {
        m_sheme[position] = shown;
        return FilterNotStored;
    }
    return shown.id;
}

bool CApi::DeleteFilter(int position)
{
    if (position < 0 || position >= m_sheme.size())
        return true;
    const int id = m_sheme.at(position).id;
    // Position 0 stays the all-dictionaries filter; it has no key to delete either.
    if (id == AllDictionariesId)
        return true;
    // Taken from the list only once it is gone from the store: otherwise it would be back at
    // the next start.
    if (!FilterKeys().remove(id))
        return false;
    m_sheme.removeAt(position);
    return true;
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
