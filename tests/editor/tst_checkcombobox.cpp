#include "ui/widgets/checkcombobox.h"

#include <QAbstractItemView>
#include <QSignalSpy>
#include <QTest>

// The language combo of the filter editor: several items checked in one opening of the list.
class TestCheckComboBox : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void userToggles_data();
    void userToggles();
    void setItemChecked_data();
    void setItemChecked();
    void closingTheListIsReported();
    void sortedInsertionFollowsSlovenianOrder();

private:
    QPoint itemCentre(int row) const;

    CCheckComboBox* m_combo = nullptr;
};

void TestCheckComboBox::init()
{
    m_combo = new CCheckComboBox;
    for (const char* text : {"a", "b", "c"})
        m_combo->AddString(QString::fromLatin1(text));
    m_combo->resize(200, 24);
    m_combo->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_combo));
}

void TestCheckComboBox::cleanup()
{
    delete m_combo;
    m_combo = nullptr;
}

QPoint TestCheckComboBox::itemCentre(int row) const
{
    return m_combo->view()->visualRect(m_combo->model()->index(row, 0)).center();
}

void TestCheckComboBox::userToggles_data()
{
    // Each action: "click N", "space N" or "below" (a click under the last item).
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<int>("toggles");

    QTest::newRow("click first") << QStringList{u"click 0"_qs} << u"a"_qs << 1;
    QTest::newRow("space on third") << QStringList{u"space 2"_qs} << u"c"_qs << 1;
    QTest::newRow("first and third: click and space")
        << QStringList{u"click 0"_qs, u"space 2"_qs} << u"a in c"_qs << 2;
    QTest::newRow("all three") << QStringList{u"click 2"_qs, u"click 1"_qs, u"click 0"_qs}
                               << u"a in b in c"_qs << 3;
    QTest::newRow("second click unticks") << QStringList{u"click 1"_qs, u"click 1"_qs} << u""_qs << 2;
    QTest::newRow("space twice unticks") << QStringList{u"space 0"_qs, u"space 0"_qs} << u""_qs << 2;
    QTest::newRow("below the last item toggles nothing") << QStringList{u"below"_qs} << u""_qs << 0;
}

void TestCheckComboBox::userToggles()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, summary);
    QFETCH(int, toggles);

    QSignalSpy toggled(m_combo, &CCheckComboBox::itemToggled);
    QSignalSpy closed(m_combo, &CCheckComboBox::popupClosed);
    m_combo->showPopup();
    QAbstractItemView* list = m_combo->view();
    QTRY_VERIFY(list->isVisible());

    for (const QString& action : std::as_const(actions)) {
        const QStringList parts = action.split(QLatin1Char(' '));
        if (parts.at(0) == QLatin1String("click")) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, itemCentre(parts.at(1).toInt()));
        } else if (parts.at(0) == QLatin1String("space")) {
            list->setCurrentIndex(m_combo->model()->index(parts.at(1).toInt(), 0));
            QTest::keyClick(list, Qt::Key_Space);
        } else {
            const QRect last = list->visualRect(m_combo->model()->index(m_combo->count() - 1, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              QPoint(last.center().x(), last.bottom() + 4));
        }
        QVERIFY2(list->isVisible(), qPrintable(action + QStringLiteral(" closed the list")));
    }

    QCOMPARE(m_combo->SummaryText(), summary);
    QCOMPARE(toggled.count(), toggles);
    QCOMPARE(closed.count(), 0);
    for (int i = 0; i < m_combo->count(); ++i)
        QCOMPARE(m_combo->IsItemChecked(i), summary.contains(m_combo->itemText(i)));
}

void TestCheckComboBox::setItemChecked_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("summary");

    QTest::newRow("first") << 0 << true << u"a in c"_qs;
    QTest::newRow("last, already checked") << 2 << true << u"c"_qs;
    QTest::newRow("negative index") << -1 << false << u"c"_qs;
    QTest::newRow("one past the end") << 3 << false << u"c"_qs;
    QTest::newRow("far past the end") << 1000 << false << u"c"_qs;
}

void TestCheckComboBox::setItemChecked()
{
    QFETCH(int, index);
    QFETCH(bool, accepted);
    QFETCH(QString, summary);

    QVERIFY(m_combo->SummaryText().isEmpty());
    QVERIFY(m_combo->SetItemChecked(2, true));
    QSignalSpy toggled(m_combo, &CCheckComboBox::itemToggled);
    QCOMPARE(m_combo->SetItemChecked(index, true), accepted);
    QCOMPARE(m_combo->SummaryText(), summary);
    QCOMPARE(m_combo->IsItemChecked(index), accepted);
    // Only the user's toggles are reported.
    QCOMPARE(toggled.count(), 0);
    QVERIFY(m_combo->SetItemChecked(2, false));
    QCOMPARE(m_combo->SummaryText(), accepted && index != 2 ? QStringLiteral("a") : QString());
}

void TestCheckComboBox::closingTheListIsReported()
{
    QSignalSpy closed(m_combo, &CCheckComboBox::popupClosed);
    m_combo->showPopup();
    QTRY_VERIFY(m_combo->view()->isVisible());
    QTest::mouseClick(m_combo->view()->viewport(), Qt::LeftButton, {}, itemCentre(1));
    QTest::keyClick(m_combo->view(), Qt::Key_Escape);
    QTRY_VERIFY(!m_combo->view()->isVisible());
    QCOMPARE(closed.count(), 1);
    QCOMPARE(m_combo->SummaryText(), QStringLiteral("b"));
    // Hiding a list that is not open reports nothing.
    m_combo->hidePopup();
    QCOMPARE(closed.count(), 1);
}

void TestCheckComboBox::sortedInsertionFollowsSlovenianOrder()
{
    CCheckComboBox combo;
    combo.setSorted(true);
    for (const QString& text :
         {QStringLiteral("španščina"), QStringLiteral("angleščina"), QStringLiteral("slovenščina"), QString(),
          QStringLiteral("češčina"), QStringLiteral("danščina"), QStringLiteral("Cebuano")})
        combo.AddString(text);
    QStringList order;
    for (int i = 0; i < combo.count(); ++i)
        order << combo.itemText(i);
    const QStringList expected{QString(),
                               QStringLiteral("angleščina"),
                               QStringLiteral("Cebuano"),
                               QStringLiteral("češčina"),
                               QStringLiteral("danščina"),
                               QStringLiteral("slovenščina"),
                               QStringLiteral("španščina")};
    QCOMPARE(order, expected);
    QCOMPARE(combo.SummaryText(), QString());
}

QTEST_MAIN(TestCheckComboBox)
#include "tst_checkcombobox.moc"
