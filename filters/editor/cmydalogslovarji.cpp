#include "filters/editor/cmydalogslovarji.h"

#include "core/apiconfig.h"
#include "core/capi.h"
#include "core/filters/dictionariestext.h"
#include "core/settings.h"
#include "core/settingsfile.h"
#include "filters/editor/deletefilterdialog.h"
#include "filters/editor/filtereditorhost.h"
#include "filters/editor/izberiimedialog.h"
#include "filters/editor/mycchecklistbox.h"
#include "filters/editor/picturecombobox.h"
#include "filters/editor/typechoicepictures.h"
#include "filters/editor/vnosnooknoizberislovarje.h"
#include "ui/widgets/checkcombobox.h"
#include "ui/widgets/dialogunits.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QMoveEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QUrl>

namespace {

QString rowText(const CSlovar& slovar)
{
    return slovar.name + QStringLiteral(" - ") + slovar.author;
}

QString lowerSlovenian(const QString& text)
{
    return QLocale(QLocale::Slovenian, QLocale::Slovenia).toLower(text);
}

bool containsId(const QList<CSlovar>& list, int id)
{
    for (const CSlovar& slovar : list) {
        if (slovar.id == id)
            return true;
    }
    return false;
}

void removeFirstWithId(QList<CSlovar>& list, int id)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i).id == id) {
            list.removeAt(i);
            return;
        }
    }
}

bool sameFilters(const QList<CShema>& a, const QList<CShema>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a.at(i).id != b.at(i).id || a.at(i).name != b.at(i).name ||
            a.at(i).dictionaries != b.at(i).dictionaries)
            return false;
    }
    return true;
}

// Why the store refused, in one sentence.
QString storeFaultText(StoreWriteFault fault)
{
    const QString folder = SettingsFolder();
    switch (fault) {
    case StoreWriteFault::NoFolder:
        return QStringLiteral("Mape z nastavitvami %1 ni mogoče ustvariti, ker je na njenem mestu datoteka.")
            .arg(folder);
    case StoreWriteFault::NotPermitted:
        return QStringLiteral("V mapo z nastavitvami %1 ni dovoljeno pisati.").arg(folder);
    case StoreWriteFault::DiskFull:
        return QStringLiteral("Na disku z mapo z nastavitvami %1 ni več prostora.").arg(folder);
    case StoreWriteFault::None:
    case StoreWriteFault::Other:
        break;
    }
    return QStringLiteral("Datoteke z nastavitvami v mapi %1 ni bilo mogoče zapisati.").arg(folder);
}

} // namespace

CMyDalogSlovarji::CMyDalogSlovarji(FilterEditorHost& host, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_host(host), m_font(QStringLiteral("Arial"), 10)
{
    setWindowTitle(QStringLiteral("Urejanje filtrov"));
    setModal(true);
    setSizeGripEnabled(false);
    // Tahoma where it is installed, otherwise a face of Arial's widths: the layout was drawn
    // for a font this narrow and a wider one would crowd the bottom row at 770 px.
    QFont dialogFont(QStringLiteral("Tahoma"), 8);
    dialogFont.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Arial"),
                            QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans")});
    dialogFont.setStyleHint(QFont::SansSerif);
    setFont(dialogFont);
    setMinimumSize(minimumWidth, minimumHeight);

    CApi& api = m_host.Api();
    for (qsizetype i = 0; i < api.m_slovarji.size(); ++i)
        m_vsi.append(api.GetDictionaryAt(int(i)));
    for (const CSlovar& slovar : std::as_const(api.m_slovarji)) {
        if (containsId(api.m_izbraniSlovarji, slovar.id))
            m_izbrani.append(slovar);
    }

    createResourceControls();
    restorePlacement();
    createRuntimeControls();
    FilterShownList(QString());
    LayoutControls(width(), height());
    RefreshLists();

    refreshFiltersFromStore();
    // Item k is the filter at position k + 1: every filter but "Vsi slovarji".
    for (qsizetype position = 1; position < api.m_sheme.size(); ++position)
        m_filterList->addItem(api.GetFilter(int(position)).name);
    m_filterList->setCurrentIndex(0);
    LoadFilterIntoEditor();
    m_searchBox->setFocus();
}

void CMyDalogSlovarji::createResourceControls()
{
    const DialogUnits units(font());
    // The template's size, grown where this platform's font needs more room. Buttons grow by
    // their caption only: the style's wider minimum would crowd the bottom row at 770 px.
    auto place = [&](QWidget* widget, int id, int w, int h) {
        QSize size(units.x(w), units.y(h));
        if (auto* pushButton = qobject_cast<QPushButton*>(widget)) {
            const int captionWidth = pushButton->fontMetrics().horizontalAdvance(pushButton->text()) + 12;
            size = size.expandedTo(QSize(captionWidth, pushButton->sizeHint().height()));
        } else if (!qobject_cast<QGroupBox*>(widget)) {
            size = size.expandedTo(widget->sizeHint());
        }
        widget->resize(size);
        m_controls.insert(id, widget);
    };
    auto button = [&](int id, const QString& caption, int w) {
        auto* widget = new QPushButton(caption, this);
        place(widget, id, w, 14);
        return widget;
    };
    auto label = [&](int id, const QString& caption, int w) {
        auto* widget = new QLabel(caption, this);
        place(widget, id, w, 8);
        return widget;
    };
    auto group = [&](int id) {
        auto* widget = new QGroupBox(this);
        place(widget, id, 159, 100);
        return widget;
    };

    QPushButton* help = button(Help, QStringLiteral("Pomoč"), 50);
    help->move(units.x(7), units.y(5));
    connect(help, &QPushButton::clicked, this, &CMyDalogSlovarji::openHelp);
    label(FilterLabel, QStringLiteral("Filter:"), 28);
    m_filterList = new QComboBox(this);
    place(m_filterList, FilterList, 200, 14);
    connect(m_filterList, &QComboBox::activated, this, &CMyDalogSlovarji::LoadFilterIntoEditor);
    m_deleteButton = button(Delete, QStringLiteral("Zbriši"), 50);
    m_deleteButton->setEnabled(false);
    connect(m_deleteButton, &QPushButton::clicked, this, &CMyDalogSlovarji::deleteFilter);
    group(LeftGroup)->lower();
    label(SearchHeading, QStringLiteral("Iskanje slovarjev:"), 63);
    label(SearchLabel, QStringLiteral("Ime/Avtor:"), 37);
    label(LanguagesLabel, QStringLiteral("Jeziki:"), 21);
    label(TypeLabel, QStringLiteral("Tip:"), 15);
    group(RightGroup)->lower();
    label(SelectedHeading, QStringLiteral("Izbrani slovarji:"), 70);
    connect(button(MarkShown, QStringLiteral("Označi prikazane"), 73), &QPushButton::clicked, this,
            &CMyDalogSlovarji::markShown);
    connect(button(UnmarkShown, QStringLiteral("Odznači prikazane"), 69), &QPushButton::clicked, this,
            &CMyDalogSlovarji::unmarkShown);
    connect(button(ShowAll, QStringLiteral("Prikaži vse"), 50), &QPushButton::clicked, this,
            &CMyDalogSlovarji::showAll);
    connect(button(ClearSelected, QStringLiteral("Zbriši vse izbrane"), 66), &QPushButton::clicked, this,
            &CMyDalogSlovarji::clearSelected);
    m_saveAsButton = button(SaveAs, QStringLiteral("Shrani kot ..."), 50);
    connect(m_saveAsButton, &QPushButton::clicked, this, &CMyDalogSlovarji::saveAs);
    m_saveButton = button(Save, QStringLiteral("Shrani"), 50);
    m_saveButton->setDefault(true);
    connect(m_saveButton, &QPushButton::clicked, this, &CMyDalogSlovarji::accept);
    connect(button(Close, QStringLiteral("Zapri"), 50), &QPushButton::clicked, this,
            &CMyDalogSlovarji::reject);
}

void CMyDalogSlovarji::createRuntimeControls()
{
    // Created after the resource controls and in this order, which is also the tab order.
    m_searchBox = new VnosnoOknoIzberiSlovarje(this);
    m_searchBox->setFont(m_font);
    connect(m_searchBox, &VnosnoOknoIzberiSlovarje::keyReleased, this,
            [this] { FilterShownList(m_searchBox->text()); });

    m_selectedList = new MyCCheckListBox(this);
    m_selectedList->setFont(m_font);
    m_selectedList->setFocusPolicy(Qt::ClickFocus);
    // Queued: the handler rebuilds the list whose item is still reporting the change.
    connect(m_selectedList, &MyCCheckListBox::checkChanged, this, &CMyDalogSlovarji::selectedListChecked,
            Qt::QueuedConnection);

    m_languageCombo = new CCheckComboBox(this);
    m_languageCombo->setFont(m_font);
    m_languageCombo->setSorted(true);
    for (const CJezik& jezik : std::as_const(m_host.Api().m_jeziki))
        m_languageCombo->AddString(GetLanguageName(jezik.code));
    connect(m_languageCombo, &CCheckComboBox::popupClosed, this,
            [this] { FilterShownList(m_searchBox->text()); });

    m_typeCombo = new PictureComboBox(this);
    fillTypeCombo();
    // A choice from the keyboard narrows at once; closing the list narrows too, also without
    // a choice.
    connect(m_typeCombo, &QComboBox::activated, this, [this] { FilterShownList(m_searchBox->text()); });
    connect(m_typeCombo, &PictureComboBox::popupClosed, this,
            [this] { FilterShownList(m_searchBox->text()); });

    m_shownList = new MyCCheckListBox(this);
    m_shownList->setFont(m_font);
    connect(m_shownList, &MyCCheckListBox::checkChanged, this, &CMyDalogSlovarji::shownListChecked,
            Qt::QueuedConnection);

    m_controls.insert(SearchBox, m_searchBox);
    m_controls.insert(SelectedList, m_selectedList);
    m_controls.insert(LanguageCombo, m_languageCombo);
    m_controls.insert(TypeCombo, m_typeCombo);
    m_controls.insert(ShownList, m_shownList);
}

void CMyDalogSlovarji::fillTypeCombo()
{
    struct Choice
    {
        const char16_t* text;
        int picture;
    };
    static const Choice choices[] = {
        {u"Vsi", 0},
        {u"Enojezični", 1},
        {u"Večjezični", 2},
        {u"Splošni", 4},
        {u"Terminološki", 3},
        {u"Enojezični splošni", 5},
        {u"Enojezični terminološki", 6},
        {u"Večjezični splošni", 7},
        {u"Večjezični terminološki", 8},
    };
    m_typeCombo->setIconSize(TypeChoicePictures::pictureSize());
    for (const Choice& choice : choices)
        m_typeCombo->addItem(TypeChoicePictures::picture(choice.picture), QString::fromUtf16(choice.text));
    m_typeCombo->setCurrentIndex(TypeAll);
}

void CMyDalogSlovarji::FilterShownList(const QString& text)
{
    m_prikazani.clear();
    const QString needle = lowerSlovenian(text);
    const int typeChoice = m_typeCombo->currentIndex();
    for (qsizetype i = 0; i < m_vsi.size(); ++i) {
        const CSlovar& slovar = m_vsi.at(i);
        qsizetype j = 0;
        while (j < m_prikazani.size() && m_prikazani.at(j).name <= slovar.name)
            ++j;
        const bool textMatches =
            lowerSlovenian(slovar.name).contains(needle) || lowerSlovenian(slovar.author).contains(needle);
        if (textMatches && MatchesType(int(i), typeChoice) && MatchesLanguages(int(i)))
            m_prikazani.insert(j, slovar);
    }
    RefreshLists();
}

bool CMyDalogSlovarji::MatchesType(int position, int typeChoice) const
{
    if (position < 0 || position >= m_vsi.size())
        return false;
    const int lingualism = m_vsi.at(position).lingualism;
    const int type = m_vsi.at(position).type;
    switch (typeChoice) {
    case TypeAll:
        return true;
    case TypeMonolingual:
        return lingualism == 1;
    case TypeMultilingual:
        return lingualism == 2;
    case TypeGeneral:
        return type == 1;
    case TypeTerminological:
        return type == 2;
    case TypeMonolingualGeneral:
        return lingualism == 1 && type == 1;
    case TypeMonolingualTerminological:
        return lingualism == 1 && type == 2;
    case TypeMultilingualGeneral:
        return lingualism == 2 && type == 1;
    case TypeMultilingualTerminological:
        return lingualism == 2 && type == 2;
    default:
        return false;
    }
}

bool CMyDalogSlovarji::MatchesLanguages(int position) const
{
    const CSlovar slovar = m_host.Api().GetDictionaryAt(position);
    for (int item = 0; item < m_languageCombo->count(); ++item) {
        if (!m_languageCombo->IsItemChecked(item))
            continue;
        const QString wanted = m_languageCombo->itemText(item);
        bool found = false;
        if (slovar.languages) {
            for (const QString& code : *slovar.languages) {
                if (GetLanguageName(code) == wanted) {
                    found = true;
                    break;
                }
            }
        }
        if (!found)
            return false;
    }
    return true;
}

void CMyDalogSlovarji::SortShownList()
{
    // Stable insertion sort: equal names keep their order.
    for (qsizetype i = 1; i < m_prikazani.size(); ++i) {
        CSlovar current = m_prikazani.at(i);
        qsizetype j = i;
        while (j > 0 && m_prikazani.at(j - 1).name > current.name) {
            m_prikazani[j] = m_prikazani.at(j - 1);
            --j;
        }
        m_prikazani[j] = current;
    }
}

void CMyDalogSlovarji::RefreshLists()
{
    m_shownList->clear();
    SortShownList();
    for (const CSlovar& slovar : std::as_const(m_prikazani))
        m_shownList->AddRow(rowText(slovar), containsId(m_izbrani, slovar.id));
    RefreshSelectedList();
}

void CMyDalogSlovarji::RefreshSelectedList()
{
    const bool any = !m_izbrani.isEmpty();
    m_saveButton->setEnabled(any);
    m_saveAsButton->setEnabled(any);
    m_selectedList->clear();
    for (const CSlovar& slovar : std::as_const(m_izbrani))
        m_selectedList->AddRow(rowText(slovar), true);
}

void CMyDalogSlovarji::AddToSelected(const CSlovar& slovar)
{
    qsizetype before = 0;
    for (const CSlovar& selected : std::as_const(m_izbrani)) {
        if (selected.id == slovar.id)
            return;
        if (selected.name < slovar.name)
            ++before;
    }
    m_izbrani.insert(before, slovar);
}

void CMyDalogSlovarji::LoadFilterIntoEditor()
{
    const int k = m_filterList->currentIndex();
    m_deleteButton->setEnabled(k > 0);
    m_izbrani.clear();
    CApi& api = m_host.Api();
    const int position = k + 1;
    if (k >= 0 && position < api.m_sheme.size()) {
        const CShema filter = api.GetFilter(position);
        for (const CSlovar& slovar : std::as_const(api.m_slovarji)) {
            if (TextContainsDictionary(filter.dictionaries, slovar.id))
                m_izbrani.append(slovar);
        }
    }
    resetNarrowing();
    RefreshLists();
}

void CMyDalogSlovarji::resetNarrowing()
{
    for (int item = 0; item < m_languageCombo->count(); ++item)
        m_languageCombo->SetItemChecked(item, false);
    m_typeCombo->setCurrentIndex(TypeAll);
    m_searchBox->clear();
}

void CMyDalogSlovarji::shownListChecked(int row)
{
    if (row < 0 || row >= m_prikazani.size())
        return;
    const CSlovar slovar = m_prikazani.at(row);
    if (m_shownList->IsRowChecked(row))
        AddToSelected(slovar);
    else
        removeFirstWithId(m_izbrani, slovar.id);
    RefreshSelectedList();
}

void CMyDalogSlovarji::selectedListChecked(int row)
{
    if (row >= 0 && row < m_izbrani.size())
        removeFirstWithId(m_izbrani, m_izbrani.at(row).id);
    RefreshLists();
}

void CMyDalogSlovarji::markShown()
{
    for (const CSlovar& slovar : std::as_const(m_prikazani))
        AddToSelected(slovar);
    RefreshLists();
    m_searchBox->setFocus();
}

void CMyDalogSlovarji::unmarkShown()
{
    for (const CSlovar& slovar : std::as_const(m_prikazani))
        removeFirstWithId(m_izbrani, slovar.id);
    RefreshLists();
    m_searchBox->setFocus();
}

void CMyDalogSlovarji::showAll()
{
    m_prikazani = m_vsi;
    resetNarrowing();
    RefreshLists();
    m_searchBox->setFocus();
}

void CMyDalogSlovarji::clearSelected()
{
    m_izbrani.clear();
    RefreshLists();
    m_searchBox->setFocus();
}

void CMyDalogSlovarji::openHelp()
{
    // The maker's help page about filters, on the site of the main window's help; its path
    // is written in lower case, unlike the main help page's.
    QDesktopServices::openUrl(QUrl(MakerWebsiteUrl() + QStringLiteral("/verbolix-pomoc#filtri")));
}

void CMyDalogSlovarji::refreshFiltersFromStore()
{
    // Another running copy of the program may have added, changed or deleted filters since
    // this one read them; saving over one of those would be saving blind.
    CApi& api = m_host.Api();
    const QList<CShema> before = api.m_sheme;
    const int shownId = api.GetFilter(m_host.FilterComboSelection()).id;
    api.InitFilters();
    if (!sameFilters(before, api.m_sheme))
        m_host.FillFilterCombo(shownId);
}

void CMyDalogSlovarji::tellNotStored(const QString& what)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Urejanje filtrov"), what, QMessageBox::Ok, this);
    box.setInformativeText(storeFaultText(ProbeStoreWrite()) +
                           QStringLiteral(" Izbrani slovarji so ostali v urejevalniku."));
    box.exec();
}

void CMyDalogSlovarji::searchAgain(const QString& query)
{
    m_host.StartNewSearch(query);
}

void CMyDalogSlovarji::accept()
{
    CApi& api = m_host.Api();
    const QList<CSlovar> previousSelection = api.m_izbraniSlovarji;
    api.m_izbraniSlovarji.clear();
    for (const CSlovar& slovar : std::as_const(m_izbrani))
        api.SelectDictionaryById(slovar.id);
    const QString query = m_host.GetQueryText();
    const int position = m_filterList->currentIndex() + 1;
    const CShema picked = api.GetFilter(position);
    const int id = position < api.m_sheme.size() ? api.SaveSelectionToFilter(position) : picked.id;
    if (id == CApi::FilterNotStored) {
        // Nothing was stored: the window keeps its selection and the editor the work. The
        // picked entry may now name what another copy stored under its id.
        api.m_izbraniSlovarji = previousSelection;
        m_filterList->setItemText(position - 1, api.GetFilter(position).name);
        tellNotStored(QStringLiteral("Filtra »%1« ni bilo mogoče shraniti.").arg(picked.name));
        return;
    }
    m_host.BlankEntryView();
    if (id == picked.id) {
        m_host.SelectFilterComboItem(position);
        Settings::Write(Setting::TrenutniFilter, position);
    } else {
        // The picked filter had changed in another running copy: the selection was saved as
        // a new filter (or, without a free id, not at all) and that one is current, as after
        // "Shrani kot ...".
        m_host.FillFilterCombo(id);
        Settings::Write(Setting::TrenutniFilter, id > 0 ? id : 0);
    }
    searchAgain(query);
    QDialog::accept();
}

void CMyDalogSlovarji::reject()
{
    CApi& api = m_host.Api();
    // Until another filter is chosen, searches carry no dictionary.
    api.m_izbraniSlovarji.clear();
    const QString query = m_host.GetQueryText();
    m_host.BlankEntryView();
    m_host.SelectFilterComboItem(0);
    Settings::Write(Setting::TrenutniFilter, 0);
    searchAgain(query);
    QDialog::reject();
}

void CMyDalogSlovarji::saveAs()
{
    IzberiImeDialog nameDialog(this);
    if (nameDialog.exec() != QDialog::Accepted)
        return;
    QString name = nameDialog.m_ime;
    if (name.isEmpty())
        name = QStringLiteral("Nova shema");

    CApi& api = m_host.Api();
    const QList<CSlovar> previousSelection = api.m_izbraniSlovarji;
    api.m_izbraniSlovarji.clear();
    for (const CSlovar& slovar : std::as_const(m_izbrani))
        api.SelectDictionaryById(slovar.id);
    const QString query = m_host.GetQueryText();
    const int id = api.SaveSelectionAsFilter(name);
    if (id == CApi::FilterNotStored) {
        api.m_izbraniSlovarji = previousSelection;
        tellNotStored(QStringLiteral("Filtra »%1« ni bilo mogoče shraniti.").arg(name));
        return;
    }
    m_host.BlankEntryView();
    searchAgain(query);
    m_host.FillFilterCombo(id);
    // Without a free id nothing was saved and the combo shows "Vsi slovarji"; -1 would name
    // no filter at the next start.
    Settings::Write(Setting::TrenutniFilter, id > 0 ? id : 0);
    QDialog::accept();
}

void CMyDalogSlovarji::deleteFilter()
{
    const int k = m_filterList->currentIndex();
    if (k <= 0)
        return;
    DeleteFilterDialog confirmation(this);
    if (confirmation.exec() != QDialog::Accepted)
        return;
    if (!m_host.Api().DeleteFilter(k + 1)) {
        tellNotStored(QStringLiteral("Filtra »%1« ni bilo mogoče zbrisati.").arg(m_filterList->itemText(k)));
        return;
    }
    m_filterList->removeItem(k);
    // The newly selected filter is not loaded: the set on the right stays as it was.
    m_filterList->setCurrentIndex(0);
    m_deleteButton->setEnabled(false);
    m_host.FillFilterCombo(0);
}

void CMyDalogSlovarji::LayoutControls(int cx, int cy)
{
    if (!m_shownList)
        return;
    const int h = QFontMetrics(m_searchBox->font()).height() + 6;
    const int half = cx / 2;
    QWidget* deleteButton = Control(Delete);
    QWidget* filterLabel = Control(FilterLabel);
    QWidget* searchHeading = Control(SearchHeading);
    QWidget* searchLabel = Control(SearchLabel);
    QWidget* selectedHeading = Control(SelectedHeading);
    QWidget* markButton = Control(MarkShown);
    QWidget* showAllButton = Control(ShowAll);
    QWidget* saveButton = Control(Save);
    QWidget* closeButton = Control(Close);

    const int top = qMax(m_filterList->height(), deleteButton->height()) + 12;
    const int y1 = top + 12 + searchHeading->height() + 12;
    const int y2 = y1 + h + 8;
    const int y3 = y2 + h + 10;
    const int y4 = y3 + h + 10;
    const int y5 = top + 12 + selectedHeading->height() + 12;
    const int yb = cy - 12 - markButton->height();
    const int labelDy = (h - searchLabel->height()) / 2;
    const int inputX = searchLabel->width() + 12;
    const int inputW = half - 24 - searchLabel->width();

    deleteButton->move(cx - deleteButton->width() - 6, 6);
    deleteButton->update();
    filterLabel->move(half + 6, 6 + (h - filterLabel->height()) / 2);
    m_filterList->setGeometry(half + 6 + filterLabel->width(), 6,
                              half - 24 - filterLabel->width() - deleteButton->width(),
                              m_filterList->height());
    Control(LeftGroup)->setGeometry(6, top, half - 12, cy - top - 6);
    Control(RightGroup)->setGeometry(half + 6, top, half - 12, cy - top - 6);
    searchHeading->move(12, top + 12);
    searchLabel->move(12, y1 + labelDy);
    m_searchBox->setGeometry(inputX, y1, inputW, h);
    Control(LanguagesLabel)->move(12, y2 + labelDy);
    m_languageCombo->setGeometry(inputX, y2, inputW, h);
    Control(TypeLabel)->move(12, y3 + labelDy);
    m_typeCombo->setGeometry(inputX, y3, inputW, h);
    m_shownList->setGeometry(12, y4, half - 24, cy - markButton->height() - y4 - 24);
    selectedHeading->move(half + 12, top + 12);
    m_selectedList->setGeometry(half + 12, y5, half - 24, cy - markButton->height() - y5 - 24);
    markButton->move(12, yb);
    Control(UnmarkShown)->move(markButton->width() + 18, yb);
    showAllButton->move(half - 12 - showAllButton->width(), yb);
    Control(ClearSelected)->move(half + 12, yb);
    m_saveAsButton->move(cx - closeButton->width() - saveButton->width() - m_saveAsButton->width() - 24, yb);
    saveButton->move(cx - closeButton->width() - saveButton->width() - 18, yb);
    closeButton->move(cx - closeButton->width() - 12, yb);
}

void CMyDalogSlovarji::restorePlacement()
{
    const int x = Settings::Read(Setting::DialogX);
    const int y = Settings::Read(Setting::DialogY);
    const int w = Settings::Read(Setting::DialogW);
    const int h = Settings::Read(Setting::DialogH);
    Settings::Read(Setting::DialogMinMax); // read, as before, without effect
    m_storedOuterSize = QSize(w, h);
    move(x, y);
    resize(QSize(w, h).expandedTo(minimumSize()));
}

void CMyDalogSlovarji::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    fitFrame();
}

void CMyDalogSlovarji::fitFrame()
{
    // The stored size and the minimum are outer sizes, but the frame is known only once the
    // window manager has framed the window, which may be after the first show. Without this
    // the window would grow by its frame at every opening.
    if (m_frameApplied || !isVisible())
        return;
    const QSize frame = frameGeometry().size() - size();
    if (frame.width() <= 0 && frame.height() <= 0)
        return;
    m_frameApplied = true;
    setMinimumSize(QSize(minimumWidth, minimumHeight) - frame);
    resize((m_storedOuterSize - frame).expandedTo(minimumSize()));
}

void CMyDalogSlovarji::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isVisible() && isMaximized())
        Settings::Write(Setting::DialogMinMax, 1);
}

void CMyDalogSlovarji::resizeEvent(QResizeEvent* event)
{
    LayoutControls(event->size().width(), event->size().height());
    fitFrame();
    if (isVisible())
        storeSize();
    QDialog::resizeEvent(event);
}

void CMyDalogSlovarji::moveEvent(QMoveEvent* event)
{
    fitFrame();
    if (isVisible())
        storePosition();
    QDialog::moveEvent(event);
}

void CMyDalogSlovarji::storeSize()
{
    if (isMaximized()) {
        Settings::Write(Setting::DialogMinMax, 1);
        return;
    }
    Settings::Write(Setting::DialogMinMax, 0);
    const QRect outer = frameGeometry();
    Settings::Write(Setting::DialogW, outer.width());
    Settings::Write(Setting::DialogH, outer.height());
}

void CMyDalogSlovarji::storePosition()
{
    const QRect outer = frameGeometry();
    Settings::Write(Setting::DialogX, outer.x());
    Settings::Write(Setting::DialogY, outer.y());
}

#include "moc_cmydalogslovarji.cpp"
