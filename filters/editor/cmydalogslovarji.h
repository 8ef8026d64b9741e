#pragma once

#include "core/records.h"

#include <QDialog>
#include <QFont>
#include <QHash>
#include <QList>

class CCheckComboBox;
class FilterEditorHost;
class MyCCheckListBox;
class PictureComboBox;
class QComboBox;
class QLabel;
class QPushButton;
class VnosnoOknoIzberiSlovarje;

// The filter editor "Urejanje filtrov": the service's dictionaries on the left, narrowed by
// name or author, languages and type, ticked into the set on the right, which is saved into
// one of the stored filters or as a new one. Every way out makes a filter current and
// searches again through the host.
class CMyDalogSlovarji : public QDialog
{
    Q_OBJECT

public:
    // The controls by their ids; the search box has none of its own, SearchBox only names it.
    enum ControlId
    {
        Save = 1,
        Close = 2,
        SearchBox = 775,
        SelectedList = 776,
        ShownList = 777,
        LanguageCombo = 778,
        TypeCombo = 779,
        MarkShown = 1004,
        UnmarkShown = 1005,
        ShowAll = 1007,
        FilterList = 1009,
        LeftGroup = 1012,
        SaveAs = 1013,
        Delete = 1014,
        LanguagesLabel = 1015,
        FilterLabel = 1016,
        TypeLabel = 1017,
        SearchLabel = 1018,
        ClearSelected = 1019,
        RightGroup = 1021,
        SelectedHeading = 1022,
        SearchHeading = 1023,
        Help = 1024,
    };

    // The type choices, in the type combo's order.
    enum TypeChoice
    {
        TypeAll,
        TypeMonolingual,
        TypeMultilingual,
        TypeGeneral,
        TypeTerminological,
        TypeMonolingualGeneral,
        TypeMonolingualTerminological,
        TypeMultilingualGeneral,
        TypeMultilingualTerminological,
    };

    static constexpr int minimumWidth = 770;
    static constexpr int minimumHeight = 400;

    explicit CMyDalogSlovarji(FilterEditorHost& host, QWidget* parent = nullptr);

    void FilterShownList(const QString& text);
    bool MatchesType(int position, int typeChoice) const;
    bool MatchesLanguages(int position) const;
    void SortShownList();
    void RefreshLists();
    void RefreshSelectedList();
    void AddToSelected(const CSlovar& slovar);
    void LoadFilterIntoEditor();
    void LayoutControls(int cx, int cy);

    QWidget* Control(int id) const { return m_controls.value(id); }

    // "Shrani" (OK) and "Zapri" (Cancel, Escape, the close box).
    void accept() override;
    void reject() override;

    QList<CSlovar> m_vsi;
    QList<CSlovar> m_izbrani;
    QList<CSlovar> m_prikazani;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createResourceControls();
    void createRuntimeControls();
    void fillTypeCombo();
    void restorePlacement();
    void storeSize();
    void storePosition();
    void fitFrame();

    void shownListChecked(int row);
    void selectedListChecked(int row);
    void markShown();
    void unmarkShown();
    void showAll();
    void clearSelected();
    void saveAs();
    void deleteFilter();
    void openHelp();
    void refreshFiltersFromStore();
    // A save or deletion the store refused: says so, and why; the editor stays as it is.
    void tellNotStored(const QString& what);
    void resetNarrowing();
    void searchAgain(const QString& query);

    FilterEditorHost& m_host;
    QHash<int, QWidget*> m_controls;
    QFont m_font;

    QComboBox* m_filterList = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_saveAsButton = nullptr;
    VnosnoOknoIzberiSlovarje* m_searchBox = nullptr;
    MyCCheckListBox* m_selectedList = nullptr;
    CCheckComboBox* m_languageCombo = nullptr;
    PictureComboBox* m_typeCombo = nullptr;
    MyCCheckListBox* m_shownList = nullptr;

    // Outer size as stored; applied once the window frame is known.
    QSize m_storedOuterSize;
    bool m_frameApplied = false;
};
