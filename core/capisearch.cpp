#include "core/capi.h"
#include "core/requesturls.h"

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
    const bool continues = qint64(position) == qint64(m_lastPosition) + 1;
    if (continues && m_zadetki.size() > windowLimit)
        m_pageBeforeWindow = m_zadetki.mid(m_zadetki.size() - qMin<qsizetype>(m_zadetki.size(), 200));
    else if (!continues || m_firstPosition == -1)
        m_pageBeforeWindow.clear();
    if (m_zadetki.size() > windowLimit || !continues) {
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
    m_pageBeforeWindow.clear();
    return EnsurePosition(0, query);
}

QString CApi::pageUrlFor(int position, QString query, int& noFetch) const
{
    noFetch = -1;
    if (m_requestDepth > 0) {
        noFetch = 0;
        return {};
    }
    // No row has a negative position; a request starting there would be nonsense.
    if (position < 0)
        return {};
    if (m_firstPosition == -1 && m_lastPosition == -1)
        return searchUrl(m_baseUrl, query, m_izbraniSlovarji, position);
    if (qint64(position) == qint64(m_lastPosition) + 1) {
        const int last = heldIndex(m_lastPosition);
        if (last < 0)
            return {};
        return entriesAfterUrl(m_baseUrl, query, m_izbraniSlovarji, m_zadetki.at(last).order);
    }
    if (position < m_firstPosition && heldBeforeWindow(position))
        return {};
    if (position < m_firstPosition || position > m_lastPosition)
        return searchUrl(m_baseUrl, query, m_izbraniSlovarji, position);
    return {};
}

QString CApi::pageUrl(int position, const QString& query) const
{
    int noFetch = -1;
    return pageUrlFor(position, query, noFetch);
}

int CApi::EnsurePosition(int position, const QString& query)
{
    int noFetch = -1;
    const QString url = pageUrlFor(position, query, noFetch);
    if (url.isEmpty())
        return noFetch;
    QList<CZadetek> page;
    ++m_requestDepth;
    const int total = ApiSearchParse(url, page);
    MergeHits(position, page);
    --m_requestDepth;
    return total;
}

int CApi::FindHit(int position, const QString& query)
{
    EnsurePosition(position, query);
    return heldIndex(position);
}

int CApi::heldIndex(int position) const
{
    // The window is contiguous, so the hit is normally right at its offset.
    if (const qint64 at = qint64(position) - m_firstPosition;
        at >= 0 && at < m_zadetki.size() && m_zadetki.at(at).position == position)
        return int(at);
    for (qsizetype i = 0; i < m_zadetki.size(); ++i) {
        if (m_zadetki.at(i).position == position)
            return int(i);
    }
    return -1;
}

const CZadetek* CApi::HeldHit(int position, const QString& query)
{
    EnsurePosition(position, query);
    return heldHit(position);
}

const CZadetek* CApi::heldHit(int position) const
{
    const int i = heldIndex(position);
    if (i >= 0)
        return &m_zadetki.at(i);
    if (!heldBeforeWindow(position))
        return nullptr;
    return &m_pageBeforeWindow.at(position - m_pageBeforeWindow.first().position);
}

bool CApi::heldBeforeWindow(int position) const
{
    // Valid only while it lies right before the window it was cut from.
    if (m_pageBeforeWindow.isEmpty() || m_firstPosition < 0 ||
        qint64(m_pageBeforeWindow.last().position) + 1 != m_firstPosition)
        return false;
    return position >= m_pageBeforeWindow.first().position && position <= m_pageBeforeWindow.last().position;
}

QString CApi::GetHeadword(int position, const QString& query)
{
    const CZadetek* hit = HeldHit(position, query);
    return hit ? hit->headword : QString();
}

int CApi::GetDictionaryId(int position, const QString& query)
{
    const CZadetek* hit = HeldHit(position, query);
    return hit ? hit->dictionaryId : -1;
}
