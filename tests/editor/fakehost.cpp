#include "tests/editor/fakehost.h"

void FakeHost::BlankEntryView()
{
    calls << QStringLiteral("blank");
}

void FakeHost::FillFilterCombo(int id)
{
    calls << QStringLiteral("fill %1").arg(id);
    comboItems.clear();
    comboSelection = 0;
    for (qsizetype i = 0; i < api.m_sheme.size(); ++i) {
        comboItems << api.m_sheme.at(i).name;
        if (api.m_sheme.at(i).id == id)
            comboSelection = int(i);
    }
}

void FakeHost::SelectFilterComboItem(int position)
{
    calls << QStringLiteral("select %1").arg(position);
    comboSelection = position;
}

void FakeHost::ShowNewSearchResult(int count)
{
    calls << QStringLiteral("show %1").arg(count);
}

void FakeHost::StartNewSearch(const QString& query)
{
    ShowNewSearchResult(api.NewSearch(query));
}
