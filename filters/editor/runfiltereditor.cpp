#include "filters/editor/runfiltereditor.h"

#include "core/capi.h"
#include "filters/editor/cmydalogslovarji.h"
#include "filters/editor/filtereditorhost.h"

void RunFilterEditor(FilterEditorHost& host, QWidget* parent)
{
    {
        // Every way out of the editor has already updated the filters, the selection, the
        // filter combo and the stored current filter.
        CMyDalogSlovarji dialog(host, parent);
        dialog.exec();
    }
    host.BlankEntryView();
    host.StartNewSearch(host.GetQueryText());
}
