#include "ui/widgets/checkcombobox.h"
#include "filters/editor/cmydalogslovarji.h"
#include "filters/editor/deletefilterdialog.h"
#include "tests/editor/editorfixture.h"
#include "filters/editor/izberiimedialog.h"
#include "core/settings.h"
#include "filters/editor/typechoicepictures.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

// The editor's window: placement of the controls at any size, the minimum size, the stored
// position and size, and the type pictures.
class TestEditorWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void layout_data();
    void layout();
    void firstOpenAtTopLeftWithMinimumSize();
    void placementStoredAndRestored();
    void storedSizeBelowMinimumIsRaised();
    void maximizedIsNotedAndKeepsTheSize();
    void focusAndTabOrder();
    void nameDialog_data();
    void nameDialog();
    void deleteConfirmation_data();
    void deleteConfirmation();
    void typeChoicesWithPictures();

private:
    using Dialog = CMyDalogSlovarji;
    QRect at(int id) const { return m_dialog->Control(id)->geometry(); }
    void openDialog();

    std::unique_ptr<EditorFixture> m_fixture;
    std::unique_ptr<Dialog> m_dialog;
};

void TestEditorWindow::init()
{
    m_fixture = std::make_unique<EditorFixture>();
}

void TestEditorWindow::cleanup()
{
    m_dialog.reset();
    m_fixture.reset();
}

void TestEditorWindow::openDialog()
{
    m_dialog = std::make_unique<Dialog>(*m_fixture->host);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
}

void TestEditorWindow::layout_data()
{
    QTest::addColumn<QSize>("asked");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("minimum") << QSize(770, 400) << QSize(770, 400);
    QTest::newRow("smaller than the minimum is refused") << QSize(500, 300) << QSize(770, 400);
    QTest::newRow("narrower only") << QSize(600, 650) << QSize(770, 650);
    QTest::newRow("odd width") << QSize(1001, 613) << QSize(1001, 613);
    QTest::newRow("large") << QSize(1600, 1000) << QSize(1600, 1000);
}

void TestEditorWindow::layout()
{
    QFETCH(QSize, asked);
    QFETCH(QSize, expected);

    // Sizes of the whole window, frame included.
    openDialog();
    const QSize frame = m_dialog->frameGeometry().size() - m_dialog->size();
    m_dialog->resize(asked - frame);
    QTRY_COMPARE(m_dialog->frameGeometry().size(), expected);
    const int cx = m_dialog->width();
    const int cy = m_dialog->height();
    const int half = cx / 2;
    const int h = m_dialog->Control(Dialog::SearchBox)->fontMetrics().height() + 6;
    const int top = qMax(at(Dialog::FilterList).height(), at(Dialog::Delete).height()) + 12;
    const int labelWidth = at(Dialog::SearchLabel).width();

    // Bottom row: 12 px above the bottom edge, "Zapri" 12 px from the right.
    const QRect close = at(Dialog::Close);
    QCOMPARE(close.right() + 1, cx - 12);
    QCOMPARE(close.bottom() + 1, cy - 12);
    QCOMPARE(at(Dialog::Save).right() + 1, close.left() - 6);
    QCOMPARE(at(Dialog::SaveAs).right() + 1, at(Dialog::Save).left() - 6);
    QCOMPARE(at(Dialog::MarkShown).topLeft(), QPoint(12, close.top()));
    QCOMPARE(at(Dialog::UnmarkShown).left(), at(Dialog::MarkShown).right() + 1 + 6);
    QCOMPARE(at(Dialog::ShowAll).right() + 1, half - 12);
    QCOMPARE(at(Dialog::ClearSelected).topLeft(), QPoint(half + 12, close.top()));
    // Readable at every size: the buttons of a row do not overlap.
    QVERIFY(at(Dialog::UnmarkShown).right() < at(Dialog::ShowAll).left());
    QVERIFY(at(Dialog::ClearSelected).right() < at(Dialog::SaveAs).left());

    // Top row.
    QCOMPARE(at(Dialog::Delete).topLeft(), QPoint(cx - at(Dialog::Delete).width() - 6, 6));
    QCOMPARE(at(Dialog::FilterList).left(), half + 6 + at(Dialog::FilterLabel).width());
    QCOMPARE(at(Dialog::FilterList).width(),
             half - 24 - at(Dialog::FilterLabel).width() - at(Dialog::Delete).width());

    // Two halves, equally wide.
    QCOMPARE(at(Dialog::LeftGroup), QRect(6, top, half - 12, cy - top - 6));
    QCOMPARE(at(Dialog::RightGroup), QRect(half + 6, top, half - 12, cy - top - 6));
    const int y1 = top + 12 + at(Dialog::SearchHeading).height() + 12;
    QCOMPARE(at(Dialog::SearchBox), QRect(labelWidth + 12, y1, half - 24 - labelWidth, h));
    QCOMPARE(at(Dialog::LanguageCombo), QRect(labelWidth + 12, y1 + h + 8, half - 24 - labelWidth, h));
    QCOMPARE(at(Dialog::TypeCombo), QRect(labelWidth + 12, y1 + 2 * h + 18, half - 24 - labelWidth, h));
    const QRect shown = at(Dialog::ShownList);
    QCOMPARE(shown.topLeft(), QPoint(12, y1 + 3 * h + 28));
    QCOMPARE(shown.width(), half - 24);
    QCOMPARE(shown.bottom() + 1, close.top() - 12);
    const QRect selected = at(Dialog::SelectedList);
    QCOMPARE(selected.left(), half + 12);
    QCOMPARE(selected.width(), shown.width());
    QCOMPARE(selected.top(), top + 12 + at(Dialog::SelectedHeading).height() + 12);
    QCOMPARE(selected.bottom(), shown.bottom());

    // For looking at the window: a filter loaded and two languages ticked.
    if (qEnvironmentVariableIsSet("VERBOLIX_EDITOR_GRAB_DIR")) {
        qobject_cast<QComboBox*>(m_dialog->Control(Dialog::FilterList))->setCurrentIndex(1);
        m_dialog->LoadFilterIntoEditor();
        auto* languages = qobject_cast<CCheckComboBox*>(m_dialog->Control(Dialog::LanguageCombo));
        languages->SetItemChecked(1, true);
        languages->SetItemChecked(4, true);
        const QString file = QDir(qEnvironmentVariable("VERBOLIX_EDITOR_GRAB_DIR"))
                                 .filePath(QStringLiteral("editor-%1x%2.png").arg(cx).arg(cy));
        QVERIFY(m_dialog->grab().save(file));
        languages->showPopup();
        QTRY_VERIFY(languages->view()->isVisible());
        QVERIFY(languages->view()->window()->grab().save(
            QString(file).replace(u".png"_qs, u"-languages.png"_qs)));
        languages->hidePopup();
        auto* types = qobject_cast<QComboBox*>(m_dialog->Control(Dialog::TypeCombo));
        types->showPopup();
        QTRY_VERIFY(types->view()->isVisible());
        QVERIFY(types->view()->window()->grab().save(QString(file).replace(u".png"_qs, u"-types.png"_qs)));
        types->hidePopup();
    }
}

void TestEditorWindow::firstOpenAtTopLeftWithMinimumSize()
{
    openDialog();
    QCOMPARE(m_dialog->frameGeometry().topLeft(), QPoint(0, 0));
    QCOMPARE(m_dialog->frameGeometry().size(), QSize(770, 400));
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Urejanje filtrov"));
}

void TestEditorWindow::placementStoredAndRestored()
{
    // Moves while hidden are not stored.
    m_dialog = std::make_unique<Dialog>(*m_fixture->host);
    m_dialog->move(40, 30);
    QCOMPARE(Settings::Read(Setting::DialogX), 0);

    openDialog();
    m_dialog->move(120, 80);
    m_dialog->resize(QSize(900, 520) - (m_dialog->frameGeometry().size() - m_dialog->size()));
    QTRY_COMPARE(Settings::Read(Setting::DialogX), 120);
    QTRY_COMPARE(Settings::Read(Setting::DialogW), 900);
    QCOMPARE(Settings::Read(Setting::DialogY), 80);
    QCOMPARE(Settings::Read(Setting::DialogH), 520);
    QCOMPARE(Settings::Read(Setting::DialogMinMax), 0);
    m_dialog.reset();

    openDialog();
    QCOMPARE(m_dialog->frameGeometry(), QRect(120, 80, 900, 520));
    // The controls follow the restored size.
    QCOMPARE(at(Dialog::Close).right() + 1, m_dialog->width() - 12);
}

void TestEditorWindow::storedSizeBelowMinimumIsRaised()
{
    Settings::Write(Setting::DialogX, 10);
    Settings::Write(Setting::DialogY, 20);
    Settings::Write(Setting::DialogW, 300);
    Settings::Write(Setting::DialogH, 100);
    openDialog();
    QCOMPARE(m_dialog->frameGeometry(), QRect(10, 20, 770, 400));
}

void TestEditorWindow::maximizedIsNotedAndKeepsTheSize()
{
    openDialog();
    m_dialog->resize(QSize(880, 450) - (m_dialog->frameGeometry().size() - m_dialog->size()));
    QTRY_COMPARE(Settings::Read(Setting::DialogW), 880);
    m_dialog->showMaximized();
    QTRY_COMPARE(Settings::Read(Setting::DialogMinMax), 1);
    QCOMPARE(Settings::Read(Setting::DialogW), 880);
    QCOMPARE(Settings::Read(Setting::DialogH), 450);
}

void TestEditorWindow::focusAndTabOrder()
{
    openDialog();
    QWidget* box = m_dialog->Control(Dialog::SearchBox);
    QTRY_COMPARE(QApplication::focusWidget(), box);
    // After the resource controls: the search box, the language and type combos, the shown
    // list; the selected list takes no tab stop.
    QList<QWidget*> order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget();
    }
    QCOMPARE(order,
             (QList<QWidget*>{m_dialog->Control(Dialog::LanguageCombo), m_dialog->Control(Dialog::TypeCombo),
                              m_dialog->Control(Dialog::ShownList), m_dialog->Control(Dialog::Help)}));
}

void TestEditorWindow::nameDialog_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("name");

    QTest::newRow("a name, OK") << QStringLiteral("Moji slovarji") << true << QStringLiteral("Moji slovarji");
    QTest::newRow("empty, still OK") << QString() << true << QString();
    QTest::newRow("Cancel copies nothing") << QStringLiteral("Moji slovarji") << false << QString();
}

void TestEditorWindow::nameDialog()
{
    QFETCH(QString, typed);
    QFETCH(bool, ok);
    QFETCH(QString, name);

    IzberiImeDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Izberite ime filtra"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClicks(dialog.nameEdit(), typed);
    QTest::keyClick(dialog.nameEdit(), ok ? Qt::Key_Return : Qt::Key_Escape);
    QCOMPARE(dialog.result(), ok ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QCOMPARE(dialog.m_ime, name);
}

void TestEditorWindow::deleteConfirmation_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");

    QTest::newRow("Zbriši") << QStringLiteral("Zbriši") << int(QDialog::Accepted);
    QTest::newRow("Ne") << QStringLiteral("Ne") << int(QDialog::Rejected);
}

void TestEditorWindow::deleteConfirmation()
{
    QFETCH(QString, button);
    QFETCH(int, result);

    DeleteFilterDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Briši filter"));
    QVERIFY(dialog.findChild<QLabel*>()->text() == QStringLiteral("Ali naj izbrišem filter?"));
    dialog.show();
    for (QPushButton* candidate : dialog.findChildren<QPushButton*>()) {
        if (candidate->text() == button)
            candidate->click();
    }
    QCOMPARE(dialog.result(), result);
}

void TestEditorWindow::typeChoicesWithPictures()
{
    m_dialog = std::make_unique<Dialog>(*m_fixture->host);
    auto* combo = qobject_cast<QComboBox*>(m_dialog->Control(Dialog::TypeCombo));
    const QStringList texts{QStringLiteral("Vsi"),
                            QStringLiteral("Enojezični"),
                            QStringLiteral("Večjezični"),
                            QStringLiteral("Splošni"),
                            QStringLiteral("Terminološki"),
                            QStringLiteral("Enojezični splošni"),
                            QStringLiteral("Enojezični terminološki"),
                            QStringLiteral("Večjezični splošni"),
                            QStringLiteral("Večjezični terminološki")};
    QCOMPARE(combo->count(), texts.size());
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(combo->iconSize(), QSize(40, 16));
    QList<QImage> pictures;
    for (int i = 0; i < combo->count(); ++i) {
        QCOMPARE(combo->itemText(i), texts.at(i));
        // Drawn for the device pixel ratio, not scaled up: sharp on HiDPI screens.
        const QPixmap sharp = combo->itemIcon(i).pixmap(QSize(40, 16), 2.0);
        QCOMPARE(sharp.size(), QSize(80, 32));
        pictures << combo->itemIcon(i).pixmap(QSize(40, 16), 1.0).toImage();
    }
    // "Splošni" shows picture 4 and "Terminološki" picture 3 of the strip.
    QCOMPARE(pictures.at(3), TypeChoicePictures::picture(4).pixmap(QSize(40, 16), 1.0).toImage());
    QCOMPARE(pictures.at(4), TypeChoicePictures::picture(3).pixmap(QSize(40, 16), 1.0).toImage());
    // Nine different, visible pictures.
    for (int i = 0; i < pictures.size(); ++i) {
        int opaque = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 40; ++x)
                opaque += qAlpha(pictures.at(i).pixel(x, y)) > 128;
        }
        QVERIFY2(opaque > 40, qPrintable(QString::number(i)));
        for (int j = 0; j < i; ++j)
            QVERIFY(pictures.at(i) != pictures.at(j));
    }
}

QTEST_MAIN(TestEditorWindow)
#include "tst_editorwindow.moc"
