#pragma once

#include <QList>
#include <QString>
#include <optional>

// Where the user was when an entry was on show: the search (its word and the dictionaries
// sent with it, under the filter the combo showed), the list's scroll position and the
// selected row, whose entry it was.
struct HistoryPlace
{
    QString word;
    bool boxWasEmpty = false; // the word is the "*" an empty headword box searches for
    int filter = 0;
    QList<int> dictionaries;
    int topRow = 0;
    int row = 0;
    int dictionaryId = -1;
    int entryId = -1;

    // The same search: its list is the same answer of the service.
    bool sameSearch(const HistoryPlace& other) const
    {
        return word == other.word && filter == other.filter && dictionaries == other.dictionaries;
    }
    // The same entry of the same search, wherever the list was scrolled.
    bool sameEntry(const HistoryPlace& other) const
    {
        return sameSearch(other) && row == other.row && dictionaryId == other.dictionaryId &&
               entryId == other.entryId;
    }
};

// The entries looked at in this run, as a browser keeps its pages: back and forward move
// through them, and a new look-up after going back drops the places ahead. The oldest place
// goes once the list is full.
class NavigationHistory
{
public:
    explicit NavigationHistory(int capacity = 100) : m_capacity(qMax(1, capacity)) {}

    // An entry was shown. The same entry as the current place (a search run again, an entry
    // asked again, the place a step went to) takes its place instead of adding one.
    void record(const HistoryPlace& place);
    // The list was scrolled since the current place was recorded.
    void setCurrentTopRow(int topRow);

    bool canGoBack() const { return m_current > 0; }
    bool canGoForward() const { return m_current >= 0 && m_current + 1 < m_places.size(); }
    // Moves one place and returns it; nothing when there is none that way.
    std::optional<HistoryPlace> back();
    std::optional<HistoryPlace> forward();

    const HistoryPlace* current() const;
    const QList<HistoryPlace>& places() const { return m_places; }
    int currentIndex() const { return int(m_current); }

private:
    QList<HistoryPlace> m_places;
    qsizetype m_current = -1;
    int m_capacity;
};
