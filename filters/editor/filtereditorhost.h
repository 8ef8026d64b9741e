#pragma once

#include <QString>

class CApi;

// What the filter editor needs of the main window: the client, the headword box's text,
// the entry view, the toolbar's filter combo and the hit list. The main frame implements it.
class FilterEditorHost
{
public:
    virtual ~FilterEditorHost() = default;

    virtual CApi& Api() = 0;
    // The headword box's text as typed (empty stays empty).
    virtual QString GetQueryText() const = 0;
    // Shows an empty entry.
    virtual void BlankEntryView() = 0;
    // Refills the filter combo from CApi::m_sheme and selects the last filter with this id
    // (item 0 when none has it).
    virtual void FillFilterCombo(int id) = 0;
    // Selects a filter combo item from code; it does not count as the user's choice.
    virtual void SelectFilterComboItem(int position) = 0;
    // The filter combo's selected item, -1 when none is.
    virtual int FilterComboSelection() const = 0;
    // CApi::NewSearch for query under the current selection, then ShowNewSearchResult with
    // its count. The window does it without blocking: the result may come after the call.
    virtual void StartNewSearch(const QString& query) = 0;
    // After CApi::NewSearch: shows the count, gives the hit list count rows and selects row 0.
    virtual void ShowNewSearchResult(int count) = 0;
};
