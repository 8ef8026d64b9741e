#include "core/filters/filterkeys.h"
#include "core/settings.h"
#include "filters/editor/cmydalogslovarji.h"
#include "filters/editor/izberiimedialog.h"
#include "filters/editor/mycchecklistbox.h"
#include "filters/editor/runfiltereditor.h"
#include "filters/editor/vnosnooknoizberislovarje.h"
#include "tests/editor/editorfixture.h"
#include "ui/widgets/checkcombobox.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>
#include <functional>
#include <memory>

// What the filter editor does with the dictionaries, the filters, the selection and the
// next search.
class TestFilterEditor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void narrowing_data();
    void narrowing();
    void shownRowsNameDashAuthor();
    void languagesAndTypeApplyWhenChosen();
    void closingTheTypeListNarrows_data();
    void closingTheTypeListNarrows();
    void ticking_data();
    void ticking();
    void untickInSelectedList();
    void markAndUnmarkShown();
    void showAllAndClearReset();
    void pickingAFilterLoadsIt();
    void waysOut_data();
    void waysOut();
    void runFilterEditorSearchesAgain_data();
    void runFilterEditorSearchesAgain();
    void openingReadsTheStoreAfresh();
    void refusedWriteKeepsTheEditorAndTheStore_data();
    void refusedWriteKeepsTheEditorAndTheStore();

private:
    using Dialog = CMyDalogSlovarji;
    template <typename T> T* control(int id) const { return qobject_cast<T*>(m_dialog->Control(id)); }
    void narrow(const QString& text, int type = 0, const QStringList& languages = {});
    void tickShown(int id);
    void click(int id) { control<QPushButton>(id)->click(); }
    static QList<int> ids(const QList<CSlovar>& list);
    static int rowOf(const QList<CSlovar>& list, int id);
    QStringList storedFilters() const;

    std::unique_ptr<EditorFixture> m_fixture;
    std::unique_ptr<Dialog> m_dialog;
};

namespace {
// Runs action on the next modal dialog once it is open (the sub-dialogs run their own loop).
void answerNextModal(std::function<void(QDialog*)> action)
{
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!modal || !modal->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        action(modal);
    });
    poll->start();
}
} // namespace

void TestFilterEditor::init()
{
    m_fixture = std::make_unique<EditorFixture>();
    QCOMPARE(m_fixture->host->api.m_slovarji.size(), 7);
    m_fixture->server->clearRequests();
    m_dialog = std::make_unique<Dialog>(*m_fixture->host);
}

void TestFilterEditor::cleanup()
{
    m_dialog.reset();
    m_fixture.reset();
}

QList<int> TestFilterEditor::ids(const QList<CSlovar>& list)
{
    QList<int> result;
    for (const CSlovar& slovar : list)
        result << slovar.id;
    return result;
}

int TestFilterEditor::rowOf(const QList<CSlovar>& list, int id)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i).id == id)
            return int(i);
    }
    return -1;
}

void TestFilterEditor::narrow(const QString& text, int type, const QStringList& languages)
{
    auto* combo = control<CCheckComboBox>(Dialog::LanguageCombo);
    for (const QString& language : languages) {
        const int item = combo->findText(language);
        QVERIFY2(item >= 0, qPrintable(language));
        combo->SetItemChecked(item, true);
    }
    control<QComboBox>(Dialog::TypeCombo)->setCurrentIndex(type);
    auto* box = control<VnosnoOknoIzberiSlovarje>(Dialog::SearchBox);
    box->setText(text);
    // The list narrows on every key release in the box.
    QTest::keyRelease(box, Qt::Key_End);
}

void TestFilterEditor::tickShown(int id)
{
    const int row = rowOf(m_dialog->m_prikazani, id);
    QVERIFY2(row >= 0, qPrintable(QString::number(id)));
    control<MyCCheckListBox>(Dialog::ShownList)->ToggleRow(row);
    QCoreApplication::sendPostedEvents();
}

QStringList TestFilterEditor::storedFilters() const
{
    // What a later start would read back.
    CApi fresh;
    fresh.m_slovarji = m_fixture->host->api.m_slovarji;
    fresh.ReloadFilters();
    QStringList result;
    for (const CShema& filter : std::as_const(fresh.m_sheme)) {
        if (filter.id != 0)
            result << filter.name + QLatin1Char('=') + filter.dictionaries;
    }
    return result;
}

void TestFilterEditor::narrowing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<QList<int>>("shown");

    // Sorted by name, code units: the twins 58 and 5 keep the service's order; Č after S.
    QTest::newRow("nothing: all, sorted by name")
        << QString() << 0 << QStringList() << QList<int>{58, 5, 9, 33, 44, 70, 12};
    QTest::newRow("lower-case text in names")
        << u"slovar"_qs << 0 << QStringList() << QList<int>{58, 5, 33, 44, 70, 12};
    QTest::newRow("capitals in the text")
        << u"SLOVENSK"_qs << 0 << QStringList() << QList<int>{58, 5, 33, 70};
    QTest::newRow("Č folded") << u"ČEBEL"_qs << 0 << QStringList() << QList<int>{12};
    QTest::newRow("Š folded, in the author") << u"ŠUŠTAR"_qs << 0 << QStringList() << QList<int>{12};
    QTest::newRow("Ž folded, in the author") << u"žNIDAR"_qs << 0 << QStringList() << QList<int>{44};
    QTest::newRow("author only") << u"grad"_qs << 0 << QStringList() << QList<int>{58};
    QTest::newRow("no match") << u"qqq"_qs << 0 << QStringList() << QList<int>{};
    QTest::newRow("Večjezični") << QString() << 2 << QStringList() << QList<int>{58, 5, 33, 44};
    QTest::newRow("Večjezični with text") << u"računal"_qs << 2 << QStringList() << QList<int>{44};
    QTest::newRow("Enojezični") << QString() << 1 << QStringList() << QList<int>{9, 70, 12};
    QTest::newRow("Splošni") << QString() << 3 << QStringList() << QList<int>{58, 5, 9, 33, 70};
    QTest::newRow("Terminološki") << QString() << 4 << QStringList() << QList<int>{44, 12};
    QTest::newRow("Enojezični terminološki") << QString() << 6 << QStringList() << QList<int>{12};
    QTest::newRow("Večjezični splošni") << QString() << 7 << QStringList() << QList<int>{58, 5, 33};
    QTest::newRow("Večjezični terminološki") << QString() << 8 << QStringList() << QList<int>{44};
    QTest::newRow("one language") << QString() << 0 << QStringList{u"nemščina"_qs} << QList<int>{33};
    QTest::newRow("two languages, both held")
        << QString() << 0 << QStringList{u"angleščina"_qs, u"slovenščina"_qs} << QList<int>{58, 5, 44};
    QTest::newRow("two languages, none has both")
        << QString() << 0 << QStringList{u"angleščina"_qs, u"nemščina"_qs} << QList<int>{};
    QTest::newRow("code without a name: the empty item")
        << QString() << 0 << QStringList{QString()} << QList<int>{9};
    QTest::newRow("text, type and language together")
        << u"slovar"_qs << 4 << QStringList{u"angleščina"_qs} << QList<int>{44};
}

void TestFilterEditor::narrowing()
{
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(QStringList, languages);
    QFETCH(QList<int>, shown);

    narrow(text, type, languages);
    QCOMPARE(ids(m_dialog->m_prikazani), shown);
    QCOMPARE(control<MyCCheckListBox>(Dialog::ShownList)->count(), shown.size());
}

void TestFilterEditor::shownRowsNameDashAuthor()
{
    auto* list = control<MyCCheckListBox>(Dialog::ShownList);
    QCOMPARE(list->item(0)->text(), u"Angleško-slovenski slovar - Grad"_qs);
    QCOMPARE(list->item(2)->text(), u"Latinski citati - "_qs);
    // The language combo: names in Slovenian order, the nameless code as an empty item.
    auto* languages = control<CCheckComboBox>(Dialog::LanguageCombo);
    QStringList items;
    for (int i = 0; i < languages->count(); ++i)
        items << languages->itemText(i);
    QCOMPARE(items,
             (QStringList{QString(), u"angleščina"_qs, u"latinščina"_qs, u"nemščina"_qs, u"slovenščina"_qs}));
}

void TestFilterEditor::languagesAndTypeApplyWhenChosen()
{
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    auto* languages = control<CCheckComboBox>(Dialog::LanguageCombo);
    languages->showPopup();
    QTRY_VERIFY(languages->view()->isVisible());
    const int german = languages->findText(u"nemščina"_qs);
    QTest::mouseClick(languages->view()->viewport(), Qt::LeftButton, {},
                      languages->view()->visualRect(languages->model()->index(german, 0)).center());
    // Still open: nothing narrowed yet.
    QCOMPARE(m_dialog->m_prikazani.size(), 7);
    QTest::keyClick(languages->view(), Qt::Key_Escape);
    QTRY_COMPARE(ids(m_dialog->m_prikazani), QList<int>{33});
    QCOMPARE(languages->SummaryText(), u"nemščina"_qs);

    languages->SetItemChecked(german, false);
    auto* type = control<QComboBox>(Dialog::TypeCombo);
    type->setFocus();
    // Choosing a type from the keyboard narrows at once: "Enojezični".
    QTest::keyClick(type, Qt::Key_Down);
    QCOMPARE(type->currentIndex(), 1);
    QCOMPARE(ids(m_dialog->m_prikazani), (QList<int>{9, 70, 12}));
}

void TestFilterEditor::closingTheTypeListNarrows_data()
{
    QTest::addColumn<int>("chosen"); // the item clicked in the open list, -1 for Esc
    QTest::addColumn<QList<int>>("shown");

    // Regression: a list closed without a choice left the stale narrowing in place.
    QTest::newRow("closed with Esc") << -1 << QList<int>{58, 5, 9, 33, 44, 70, 12};
    QTest::newRow("closed by choosing Enojezični") << 1 << QList<int>{9, 70, 12};
}

void TestFilterEditor::closingTheTypeListNarrows()
{
    QFETCH(int, chosen);
    QFETCH(QList<int>, shown);

    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    // Picking a filter resets the narrowing but keeps the narrowed list until it narrows again.
    narrow(u"slov"_qs, 2);
    control<QComboBox>(Dialog::FilterList)->setCurrentIndex(1);
    m_dialog->LoadFilterIntoEditor();
    QVERIFY(ids(m_dialog->m_prikazani).size() < 7);

    auto* type = control<QComboBox>(Dialog::TypeCombo);
    type->showPopup();
    QTRY_VERIFY(type->view()->isVisible());
    if (chosen < 0) {
        QTest::keyClick(type->view(), Qt::Key_Escape);
    } else {
        type->view()->setCurrentIndex(type->model()->index(chosen, 0));
        QTest::keyClick(type->view(), Qt::Key_Return);
    }
    QTRY_VERIFY(!type->view()->isVisible());
    QTRY_COMPARE(ids(m_dialog->m_prikazani), shown);
}

void TestFilterEditor::ticking_data()
{
    QTest::addColumn<QList<int>>("ticks");
    QTest::addColumn<QList<int>>("selected");

    QTest::newRow("each at its sorted place") << QList<int>{33, 70, 58, 12} << QList<int>{58, 33, 70, 12};
    QTest::newRow("a twin name goes before its twin") << QList<int>{5, 58} << QList<int>{58, 5};
    QTest::newRow("second toggle unticks") << QList<int>{33, 70, 33} << QList<int>{70};
    QTest::newRow("all unticked again") << QList<int>{9, 9} << QList<int>{};
}

void TestFilterEditor::ticking()
{
    QFETCH(QList<int>, ticks);
    QFETCH(QList<int>, selected);

    QVERIFY(m_dialog->m_izbrani.isEmpty()); // "Začasni filter" is loaded and names none
    QVERIFY(!control<QPushButton>(Dialog::Save)->isEnabled());
    for (int id : std::as_const(ticks))
        tickShown(id);

    QCOMPARE(ids(m_dialog->m_izbrani), selected);
    auto* selectedList = control<MyCCheckListBox>(Dialog::SelectedList);
    QCOMPARE(selectedList->count(), selected.size());
    for (int row = 0; row < selected.size(); ++row) {
        QVERIFY(selectedList->IsRowChecked(row));
        QVERIFY(selectedList->item(row)->text().startsWith(m_dialog->m_izbrani.at(row).name + u" - "_qs));
    }
    auto* shownList = control<MyCCheckListBox>(Dialog::ShownList);
    for (int row = 0; row < m_dialog->m_prikazani.size(); ++row)
        QCOMPARE(shownList->IsRowChecked(row), selected.contains(m_dialog->m_prikazani.at(row).id));
    QCOMPARE(control<QPushButton>(Dialog::Save)->isEnabled(), !selected.isEmpty());
    QCOMPARE(control<QPushButton>(Dialog::SaveAs)->isEnabled(), !selected.isEmpty());
}

void TestFilterEditor::untickInSelectedList()
{
    tickShown(33);
    tickShown(58);
    QCOMPARE(ids(m_dialog->m_izbrani), (QList<int>{58, 33}));
    control<MyCCheckListBox>(Dialog::SelectedList)->ToggleRow(0);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(ids(m_dialog->m_izbrani), QList<int>{33});
    auto* shownList = control<MyCCheckListBox>(Dialog::ShownList);
    QVERIFY(!shownList->IsRowChecked(rowOf(m_dialog->m_prikazani, 58)));
    QVERIFY(shownList->IsRowChecked(rowOf(m_dialog->m_prikazani, 33)));
    QCOMPARE(control<MyCCheckListBox>(Dialog::SelectedList)->count(), 1);
}

void TestFilterEditor::markAndUnmarkShown()
{
    narrow(u"slovar"_qs);
    tickShown(70);
    click(Dialog::MarkShown);
    // 5 goes before its twin 58, which was added first.
    const QList<int> all{5, 58, 33, 44, 70, 12};
    QCOMPARE(ids(m_dialog->m_izbrani), all);
    click(Dialog::MarkShown);
    QCOMPARE(ids(m_dialog->m_izbrani), all);

    narrow(u"angl"_qs);
    click(Dialog::UnmarkShown);
    QCOMPARE(ids(m_dialog->m_izbrani), (QList<int>{33, 44, 70, 12}));
    QVERIFY(control<VnosnoOknoIzberiSlovarje>(Dialog::SearchBox)->hasFocus() || !m_dialog->isVisible());
}

void TestFilterEditor::showAllAndClearReset()
{
    narrow(u"ČEBEL"_qs, 4, {u"slovenščina"_qs});
    QCOMPARE(ids(m_dialog->m_prikazani), QList<int>{12});
    tickShown(12);

    click(Dialog::ShowAll);
    QCOMPARE(ids(m_dialog->m_prikazani), (QList<int>{58, 5, 9, 33, 44, 70, 12}));
    QVERIFY(control<VnosnoOknoIzberiSlovarje>(Dialog::SearchBox)->text().isEmpty());
    QCOMPARE(control<QComboBox>(Dialog::TypeCombo)->currentIndex(), 0);
    QVERIFY(control<CCheckComboBox>(Dialog::LanguageCombo)->SummaryText().isEmpty());
    QCOMPARE(ids(m_dialog->m_izbrani), QList<int>{12});

    click(Dialog::ClearSelected);
    QVERIFY(m_dialog->m_izbrani.isEmpty());
    QCOMPARE(control<MyCCheckListBox>(Dialog::SelectedList)->count(), 0);
    QVERIFY(!control<MyCCheckListBox>(Dialog::ShownList)->IsRowChecked(6));
}

void TestFilterEditor::pickingAFilterLoadsIt()
{
    auto* filters = control<QComboBox>(Dialog::FilterList);
    QCOMPARE(filters->count(), 2);
    QCOMPARE(filters->itemText(0), u"Začasni filter"_qs);
    QVERIFY(!control<QPushButton>(Dialog::Delete)->isEnabled());

    narrow(u"slov"_qs, 2, {u"angleščina"_qs});
    const QList<int> narrowed = ids(m_dialog->m_prikazani);
    filters->setCurrentIndex(1);
    m_dialog->LoadFilterIntoEditor();
    // The filter's dictionaries in the service's order, not sorted.
    QCOMPARE(ids(m_dialog->m_izbrani), (QList<int>{70, 58}));
    QVERIFY(control<QPushButton>(Dialog::Delete)->isEnabled());
    QVERIFY(control<QPushButton>(Dialog::Save)->isEnabled());
    // The narrowing is reset, the shown list keeps its content until the next narrowing.
    QVERIFY(control<VnosnoOknoIzberiSlovarje>(Dialog::SearchBox)->text().isEmpty());
    QCOMPARE(control<QComboBox>(Dialog::TypeCombo)->currentIndex(), 0);
    QVERIFY(control<CCheckComboBox>(Dialog::LanguageCombo)->SummaryText().isEmpty());
    QCOMPARE(ids(m_dialog->m_prikazani), narrowed);

    filters->setCurrentIndex(0);
    m_dialog->LoadFilterIntoEditor();
    QVERIFY(m_dialog->m_izbrani.isEmpty());
    QVERIFY(!control<QPushButton>(Dialog::Delete)->isEnabled());
    QVERIFY(!control<QPushButton>(Dialog::Save)->isEnabled());
}

void TestFilterEditor::waysOut_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("combo");
    QTest::addColumn<QList<int>>("searchIds");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<int>("storedCount");
    QTest::addColumn<QString>("lastStored");

    const QList<int> chosen{70, 33, 58};
    const int accepted = QDialog::Accepted;
    const int rejected = QDialog::Rejected;
    // Before every row: "Prednastavljeni filter" (70, 58) is picked and 33 ticked into it.
    QTest::newRow("Shrani") << u"save"_qs << QString() << accepted << 2 << 2 << chosen
                            << QStringList{u"blank"_qs, u"select 2"_qs, u"show 3"_qs} << 2
                            << u"Prednastavljeni filter=,70,33,58,"_qs;
    QTest::newRow("Zapri") << u"close"_qs << QString() << rejected << 0 << 0 << QList<int>{}
                           << QStringList{u"blank"_qs, u"select 0"_qs, u"show 3"_qs} << 2
                           << u"Prednastavljeni filter=,70,58,"_qs;
    QTest::newRow("Shrani kot ...") << u"saveas"_qs << u"Moj filter"_qs << accepted << 3 << 3 << chosen
                                    << QStringList{u"blank"_qs, u"show 3"_qs, u"fill 3"_qs} << 3
                                    << u"Moj filter=,70,33,58,"_qs;
    QTest::newRow("Shrani kot ... with an empty name")
        << u"saveas"_qs << QString() << accepted << 3 << 3 << chosen
        << QStringList{u"blank"_qs, u"show 3"_qs, u"fill 3"_qs} << 3 << u"Nova shema=,70,33,58,"_qs;
    // Nothing saved: 0, not -1, so that the next start finds a filter.
    QTest::newRow("Shrani kot ... without a free id")
        << u"saveas-full"_qs << u"Moj filter"_qs << accepted << 0 << 0 << chosen
        << QStringList{u"blank"_qs, u"show 3"_qs, u"fill -1"_qs} << 99 << u"F99=,70,"_qs;
    QTest::newRow("Shrani kot ... cancelled")
        << u"saveas-cancel"_qs << QString() << -1 << 2 << -1 << QList<int>{} << QStringList{} << 2
        << u"Prednastavljeni filter=,70,58,"_qs;
    QTest::newRow("Zbriši then Zapri") << u"delete"_qs << QString() << rejected << 0 << 0 << QList<int>{}
                                       << QStringList{u"fill 0"_qs, u"blank"_qs, u"select 0"_qs, u"show 3"_qs}
                                       << 1 << u"Začasni filter=,,"_qs;
    QTest::newRow("Zbriši declined, then Zapri")
        << u"delete-no"_qs << QString() << rejected << 0 << 0 << QList<int>{}
        << QStringList{u"blank"_qs, u"select 0"_qs, u"show 3"_qs} << 2
        << u"Prednastavljeni filter=,70,58,"_qs;
}

void TestFilterEditor::waysOut()
{
    QFETCH(QString, way);
    QFETCH(QString, name);
    QFETCH(int, result);
    QFETCH(int, current);
    QFETCH(int, combo);
    QFETCH(QList<int>, searchIds);
    QFETCH(QStringList, calls);
    QFETCH(int, storedCount);
    QFETCH(QString, lastStored);

    CApi& api = m_fixture->host->api;
    if (way == u"saveas-full"_qs) {
        for (int id = 3; id <= 99; ++id)
            api.SetFilter(id, u"F%1"_qs.arg(id), u",70,"_qs);
        m_dialog = std::make_unique<Dialog>(*m_fixture->host);
    }
    QCOMPARE(Settings::Read(Setting::TrenutniFilter), 2); // the first run's preset
    control<QComboBox>(Dialog::FilterList)->setCurrentIndex(1);
    m_dialog->LoadFilterIntoEditor();
    tickShown(33);
    QCOMPARE(ids(m_dialog->m_izbrani), (QList<int>{70, 33, 58}));

    m_dialog->setResult(-1);
    if (way == u"save"_qs) {
        click(Dialog::Save);
    } else if (way == u"close"_qs) {
        click(Dialog::Close);
    } else if (way.startsWith(u"saveas"_qs)) {
        const bool cancel = way == u"saveas-cancel"_qs;
        answerNextModal([name, cancel](QDialog* modal) {
            auto* nameDialog = qobject_cast<IzberiImeDialog*>(modal);
            if (!nameDialog || cancel) {
                modal->reject();
                return;
            }
            nameDialog->nameEdit()->setText(name);
            nameDialog->accept();
        });
        click(Dialog::SaveAs);
    } else {
        const bool confirm = way == u"delete"_qs;
        answerNextModal([confirm](QDialog* modal) { confirm ? modal->accept() : modal->reject(); });
        click(Dialog::Delete);
        QCOMPARE(control<QComboBox>(Dialog::FilterList)->count(), confirm ? 1 : 2);
        // The set on the right still holds the deleted filter's dictionaries.
        QCOMPARE(ids(m_dialog->m_izbrani), (QList<int>{70, 33, 58}));
        QCOMPARE(control<QPushButton>(Dialog::Delete)->isEnabled(), !confirm);
        click(Dialog::Close);
    }

    QCOMPARE(m_dialog->result(), result);
    QCOMPARE(Settings::Read(Setting::TrenutniFilter), current);
    QCOMPARE(m_fixture->host->comboSelection, combo);
    QCOMPARE(m_fixture->host->calls, calls);
    QCOMPARE(m_fixture->searchCount(), calls.isEmpty() ? 0 : 1);
    QCOMPARE(m_fixture->lastSearchIds(), searchIds);
    QCOMPARE(ids(api.m_izbraniSlovarji), searchIds);
    const QStringList stored = storedFilters();
    QCOMPARE(stored.size(), storedCount);
    QCOMPARE(stored.last(), lastStored);
}

void TestFilterEditor::runFilterEditorSearchesAgain_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<bool>("hiddenParent");

    QTest::newRow("typed text") << u"miza"_qs << u"miza"_qs << false;
    QTest::newRow("empty box: the service gets *") << QString() << u"*"_qs << false;
    // At start-up the editor may open before the main window is shown.
    QTest::newRow("main window not shown yet") << u"miza"_qs << u"miza"_qs << true;
}

void TestFilterEditor::runFilterEditorSearchesAgain()
{
    QFETCH(QString, query);
    QFETCH(QString, sent);
    QFETCH(bool, hiddenParent);

    m_dialog.reset();
    m_fixture->host->query = query;
    QWidget mainWindow;
    bool editorSeen = false;
    answerNextModal([&editorSeen](QDialog* modal) {
        editorSeen = qobject_cast<CMyDalogSlovarji*>(modal) != nullptr;
        modal->reject();
    });
    RunFilterEditor(*m_fixture->host, hiddenParent ? &mainWindow : nullptr);
    QVERIFY(editorSeen);

    QCOMPARE(m_fixture->host->calls,
             (QStringList{u"blank"_qs, u"select 0"_qs, u"show 3"_qs, u"blank"_qs, u"show 3"_qs}));
    const QStringList searches = m_fixture->server->requests(u"/1.0/search"_qs);
    QCOMPARE(searches.size(), 2);
    for (const QString& target : searches) {
        const QUrlQuery parameters(target.mid(target.indexOf(QLatin1Char('?')) + 1));
        QCOMPARE(parameters.queryItemValue(u"query"_qs, QUrl::FullyDecoded), sent);
    }
}

// Another running copy of the program added a filter since this one read the store.
void TestFilterEditor::openingReadsTheStoreAfresh()
{
    m_dialog.reset();
    m_fixture->host->comboSelection = 2; // "Prednastavljeni filter" is current in the window
    m_fixture->host->calls.clear();
    QVERIFY(FilterKeys().write(3, u"tuj"_qs, u",33,"_qs));

    m_dialog = std::make_unique<Dialog>(*m_fixture->host);
    auto* filters = control<QComboBox>(Dialog::FilterList);
    QCOMPARE(filters->count(), 3);
    QCOMPARE(filters->itemText(2), u"tuj"_qs);
    // The window's combo lists it too and keeps its filter.
    QCOMPARE(m_fixture->host->calls, QStringList{u"fill 2"_qs});
    QCOMPARE(m_fixture->host->comboItems, (QStringList{u"Vsi slovarji"_qs, u"Začasni filter"_qs,
                                                       u"Prednastavljeni filter"_qs, u"tuj"_qs}));
    QCOMPARE(m_fixture->host->comboSelection, 2);
    filters->setCurrentIndex(2);
    m_dialog->LoadFilterIntoEditor();
    QCOMPARE(ids(m_dialog->m_izbrani), QList<int>{33});
}

void TestFilterEditor::refusedWriteKeepsTheEditorAndTheStore_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stored"); // the last stored filter once the write goes through

    // Regression: the editor closed as if saved, and the filter was gone at the next start.
    QTest::newRow("Shrani") << u"save"_qs << u"Filtra »Prednastavljeni filter« ni bilo mogoče shraniti."_qs
                            << u"Prednastavljeni filter=,70,33,58,"_qs;
    QTest::newRow("Shrani kot ...") << u"saveas"_qs << u"Filtra »Moj filter« ni bilo mogoče shraniti."_qs
                                    << u"Moj filter=,70,33,58,"_qs;
}

// The store is made unwritable for anyone, root included: a file stands where its folder
// should be. Then the same action again once the folder is back.
void TestFilterEditor::refusedWriteKeepsTheEditorAndTheStore()
{
    QFETCH(QString, way);
    QFETCH(QString, message);
    QFETCH(QString, stored);

    CApi& api = m_fixture->host->api;
    control<QComboBox>(Dialog::FilterList)->setCurrentIndex(1);
    m_dialog->LoadFilterIntoEditor();
    tickShown(33);
    m_fixture->host->calls.clear();
    const QList<CSlovar> selectionBefore = api.m_izbraniSlovarji;
    const QStringList filtersBefore = storedFilters();
    QStringList listBefore;
    for (const CShema& f : std::as_const(api.m_sheme))
        listBefore << f.name + u'=' + f.dictionaries;

    QString shown; // the message box's text and its informative text
    auto answerMessage = [&shown](QDialog* box) {
        if (auto* messageBox = qobject_cast<QMessageBox*>(box))
            shown = messageBox->text() + u'|' + messageBox->informativeText();
        box->accept();
    };
    // Runs the action; with refused, the message box that must follow is answered too.
    // (A refused deletion needs a store that can be read but not written: robust_settings.)
    auto act = [&](bool refused) {
        if (way == u"save"_qs) {
            if (refused)
                answerNextModal(answerMessage);
            click(Dialog::Save);
            return;
        }
        answerNextModal([&, refused](QDialog* modal) {
            if (refused)
                answerNextModal(answerMessage);
            if (auto* nameDialog = qobject_cast<IzberiImeDialog*>(modal))
                nameDialog->nameEdit()->setText(u"Moj filter"_qs);
            modal->accept();
        });
        click(Dialog::SaveAs);
    };

    const QString dir = m_fixture->config->dir();
    QVERIFY(QDir(dir).rename(u"Dravik"_qs, u"Dravik.kept"_qs));
    QFile blocker(dir + u"/Dravik"_qs);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_dialog->setResult(-1);
    act(true);
    QCOMPARE(shown.section(u'|', 0, 0), message);
    QVERIFY2(shown.section(u'|', 1).startsWith(u"Mape z nastavitvami "_qs), qPrintable(shown));

    // Nothing happened: the editor is open with its work, the window untouched.
    QCOMPARE(m_dialog->result(), -1);
    QCOMPARE(ids(m_dialog->m_izbrani), (QList<int>{70, 33, 58}));
    QCOMPARE(control<QComboBox>(Dialog::FilterList)->count(), 2);
    QCOMPARE(m_fixture->host->calls, QStringList{});
    QCOMPARE(ids(api.m_izbraniSlovarji), ids(selectionBefore));
    QStringList listAfter;
    for (const CShema& f : std::as_const(api.m_sheme))
        listAfter << f.name + u'=' + f.dictionaries;
    QCOMPARE(listAfter, listBefore);

    QVERIFY(QFile::remove(dir + u"/Dravik"_qs));
    QVERIFY(QDir(dir).rename(u"Dravik.kept"_qs, u"Dravik"_qs));
    QCOMPARE(storedFilters(), filtersBefore);
    // Nothing left over to be written later either: the next write stores only its own.
    Settings::Write(Setting::DialogW, 800);
    QCOMPARE(storedFilters(), filtersBefore);

    shown.clear();
    act(false);
    QVERIFY(shown.isEmpty());
    QCOMPARE(storedFilters().last(), stored);
}

QTEST_MAIN(TestFilterEditor)
#include "tst_filtereditor.moc"
