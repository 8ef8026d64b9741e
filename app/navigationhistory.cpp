#include "app/navigationhistory.h"

void NavigationHistory::record(const HistoryPlace& place)
{
    if (const HistoryPlace* at = current(); at && at->sameEntry(place)) {
        m_places[m_current] = place;
        return;
    }
    m_places.resize(m_current + 1);
    m_places.append(place);
    if (m_places.size() > m_capacity)
        m_places.removeFirst();
    m_current = m_places.size() - 1;
}

void NavigationHistory::setCurrentTopRow(int topRow)
{
    if (m_current >= 0)
        m_places[m_current].topRow = topRow;
}

std::optional<HistoryPlace> NavigationHistory::back()
{
    if (!canGoBack())
        return std::nullopt;
    return m_places.at(--m_current);
}

std::optional<HistoryPlace> NavigationHistory::forward()
{
    if (!canGoForward())
        return std::nullopt;
    return m_places.at(++m_current);
}

const HistoryPlace* NavigationHistory::current() const
{
    return m_current >= 0 ? &m_places.at(m_current) : nullptr;
}
