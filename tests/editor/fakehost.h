#pragma once

#include "core/capi.h"
#include "filters/editor/filtereditorhost.h"

#include <QStringList>

// The main window as the filter editor sees it: a real CApi, and a record of what the
// editor asked of the window.
class FakeHost : public FilterEditorHost
{
public:
    CApi& Api() override { return api; }
    QString GetQueryText() const override { return query; }
    void BlankEntryView() override;
    void FillFilterCombo(int id) override;
    void SelectFilterComboItem(int position) override;
    int FilterComboSelection() const override { return comboSelection; }
    // Searches at once, as a blocking CApi does.
    void StartNewSearch(const QString& query) override;
    void ShowNewSearchResult(int count) override;

    CApi api;
    QString query;
    QStringList calls;       // "blank", "fill 3", "select 2", "show 5" in call order
    QStringList comboItems;  // the filter combo's items after the last fill
    int comboSelection = -1; // its selected index
};
