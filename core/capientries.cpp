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
    // One-entry memo: reselecting the shown entry, even from a new result list, costs nothing.
    if (hit.entryId != m_lastEntryId || hit.dictionaryId != m_lastEntryDictionaryId) {
        m_lastEntryHtml = ApiGetEntry(hit.dictionaryId, hit.entryId);
        // A fetch that failed is no answer: asking again for the entry tries again.
        m_lastEntryId = m_lastEntryFetchFailed ? -1 : hit.entryId;
        m_lastEntryDictionaryId = m_lastEntryFetchFailed ? -1 : hit.dictionaryId;
    }
    return m_lastEntryHtml;
}
