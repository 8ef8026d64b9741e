#include "core/capi.h"
#include "core/requesturls.h"

void CApi::ApiEntryIndex(const QString& query, const QString& headword, int& selectedOrder,
                         int& relativeIndex)
{
    const QString url = entryIndexUrl(m_baseUrl, query, headword, m_izbraniSlovarji);
    ++m_requestDepth;
    ApiEntryIndexParse(url, selectedOrder, relativeIndex);
    --m_requestDepth;
}

int CApi::GetHeadwordIndex(const QString& query, const QString& headword)
{
    int selectedOrder = 0;
    int relativeIndex = 0;
    ApiEntryIndex(query, headword, selectedOrder, relativeIndex);
    return relativeIndex;
}

QString CApi::ApiGetEntry(int dictionaryId, int entryId)
{
    const QString url = getEntryUrl(m_baseUrl, dictionaryId, entryId);
    ++m_requestDepth;
    const QString html = ApiGetEntryParse(url, &m_lastEntryFetchFailed);
    --m_requestDepth;
    return html;
}

QString CApi::GetEntryHtml(int position, const QString& query)
{
    const CZadetek* held = HeldHit(position, query);
    if (!held)
        return QString();
    const CZadetek hit = *held;
    if (!entryRemembered(hit)) {
        const QString html = ApiGetEntry(hit.dictionaryId, hit.entryId);
        rememberEntry(hit, html, m_lastEntryFetchFailed);
    }
    return m_lastEntryHtml;
}

// One-entry memo: reselecting the shown entry, even from a new result list, costs nothing.
bool CApi::entryRemembered(const CZadetek& hit) const
{
    return hit.entryId == m_lastEntryId && hit.dictionaryId == m_lastEntryDictionaryId;
}

void CApi::rememberEntry(const CZadetek& hit, const QString& html, bool failed)
{
    m_lastEntryHtml = html;
    // A fetch that failed is no answer: asking again for the entry tries again.
    m_lastEntryId = failed ? -1 : hit.entryId;
    m_lastEntryDictionaryId = failed ? -1 : hit.dictionaryId;
}
