#include "capi.h"
#include "requesturls.h"

#include <climits>

// A window that already holds more than this many hits starts afresh with the next page.
constexpr qsizetype windowLimit = 2000;

int CApi::ApiSearch(const QString& query, int start, QList<CZadetek>& out)
{
    const QString url = searchUrl(m_baseUrl, query, m_izbraniSlovarji, start);
    ++m_requestDepth;
    const int total = ApiSearchParse(url, out);
    MergeHits(start, out);
    --m_requestDepth;
    return total;
}

int CApi::ApiEntriesAfter(const QString& query, int start, int position, QList<CZadetek>& out)
{
    const QString url = entriesAfterUrl(m_baseUrl, query, m_izbraniSlovarji, start);
    ++m_requestDepth;
    const int total = ApiSearchParse(url, out);
    MergeHits(position, out);
    --m_requestDepth;
    return total;
}

void CApi::MergeHits(int position, const QList<CZadetek>& hits)
{
    if (m_zadetki.size() > windowLimit || qint64(position) != qint64(m_lastPosition) + 1) {
        m_zadetki.clear();
        m_firstPosition = position;
    } else if (m_firstPosition == -1) {
        m_firstPosition = 0;
    }
    // Positions are ints: hits that would lie past INT_MAX (a service claiming a total near
    // 2^31) have no row and are dropped rather than wrapped.
    const qsizetype n = qMin(hits.size(), qsizetype(qint64(INT_MAX) - position + 1));
    m_lastPosition = int(qMax(qint64(position) + n - 1, qint64(INT_MIN)));
    m_zadetki.reserve(m_zadetki.size() + n);
    for (qsizetype i = 0; i < n; ++i) {
        CZadetek hit = hits.at(i);
        hit.position = position + int(i);
        m_zadetki.append(hit);
    }
}

int CApi::NewSearch(const QString& query)
{
    m_firstPosition = -1;
    m_lastPosition = -1;
    m_zadetki.clear();
    return EnsurePosition(0, query);
}

int CApi::EnsurePosition(int position, const QString& query)
{
    if (m_requestDepth > 0)
        return 0;
    // No row has a negative position; a request starting there would be nonsense.
    if (position < 0)
        return -1;
    QList<CZadetek> page;
    if (m_firstPosition == -1 && m_lastPosition == -1)
        return ApiSearch(query, position, page);
    if (qint64(position) == qint64(m_lastPosition) + 1) {
        const int last = FindHit(m_lastPosition, query);
        if (last < 0)
            return -1;
        const int order = m_zadetki.at(last).order;
        return ApiEntriesAfter(query, order, position, page);
    }
    if (position < m_firstPosition || position > m_lastPosition)
        return ApiSearch(query, position, page);
    return -1;
}

int CApi::FindHit(int position, const QString& query)
{
    EnsurePosition(position, query);
    for (qsizetype i = 0; i < m_zadetki.size(); ++i) {
        if (m_zadetki.at(i).position == position)
            return int(i);
    }
    return -1;
}

QString CApi::GetHeadword(int position, const QString& query)
{
    const int i = FindHit(position, query);
    return i < 0 ? QString() : m_zadetki.at(i).headword;
}

int CApi::GetDictionaryId(int position, const QString& query)
{
    const int i = FindHit(position, query);
    return i < 0 ? -1 : m_zadetki.at(i).dictionaryId;
}
