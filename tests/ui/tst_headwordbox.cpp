#include "ui/search/vnosnooknoiztocnica.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

class TestHeadwordBox : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void enterActsOnRelease_data();
    void enterActsOnRelease();
    void ctrlAAndCtrlVActOnRelease();
    void versionCommand_data();
    void versionCommand();
    void clickSelectsAllOnce();

private:
    static void send(QWidget* to, QEvent::Type type, int key, Qt::KeyboardModifiers mods = {},
                     bool autoRepeat = false);
    QWidget* m_other = nullptr;
    VnosnoOknoIztocnica* m_box = nullptr;
};

void TestHeadwordBox::send(QWidget* to, QEvent::Type type, int key, Qt::KeyboardModifiers mods,
                           bool autoRepeat)
{
    QKeyEvent event(type, key, mods, QString(), autoRepeat);
    QCoreApplication::sendEvent(to, &event);
}

void TestHeadwordBox::init()
{
    m_other = new QWidget;
    m_box = new VnosnoOknoIztocnica(m_other);
    auto* neighbour = new QLineEdit(m_other);
    neighbour->setObjectName(QStringLiteral("neighbour"));
    neighbour->move(0, 40);
    m_box->resize(200, 24);
    m_other->resize(220, 80);
    m_other->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_other));
    m_box->setFocus();
}

void TestHeadwordBox::cleanup()
{
    delete m_other;
}

void TestHeadwordBox::enterActsOnRelease_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("repeats");
    QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << 0;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 0;
    QTest::newRow("Ctrl+Enter") << int(Qt::Key_Return) << int(Qt::ControlModifier) << 0;
    QTest::newRow("held Enter, auto-repeat") << int(Qt::Key_Return) << 0 << 6;
}

void TestHeadwordBox::enterActsOnRelease()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, repeats);
    const auto mods = Qt::KeyboardModifiers(modifiers);
    m_box->setText(QStringLiteral(" miza "));
    QSignalSpy searches(m_box, &VnosnoOknoIztocnica::searchRequested);
    send(m_box, QEvent::KeyPress, key, mods);
    for (int i = 0; i < repeats; ++i) {
        send(m_box, QEvent::KeyRelease, key, mods, true);
        send(m_box, QEvent::KeyPress, key, mods, true);
    }
    QCOMPARE(searches.size(), 0);
    send(m_box, QEvent::KeyRelease, key, mods);
    QCOMPARE(searches.size(), 1);
    QCOMPARE(searches.at(0).at(0).toString(), QStringLiteral(" miza ")); // unchanged, not trimmed
    QCOMPARE(m_box->selectedText(), QStringLiteral(" miza "));
}

void TestHeadwordBox::ctrlAAndCtrlVActOnRelease()
{
    m_box->setText(QStringLiteral("miza"));
    m_box->setCursorPosition(2);
    send(m_box, QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(!m_box->hasSelectedText());
    send(m_box, QEvent::KeyRelease, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_box->selectedText(), QStringLiteral("miza"));

    QGuiApplication::clipboard()->setText(QStringLiteral("stol"));
    if (QGuiApplication::clipboard()->text() != u"stol")
        QSKIP("no clipboard on this platform");
    send(m_box, QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_box->text(), QStringLiteral("miza"));
    send(m_box, QEvent::KeyRelease, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_box->text(), QStringLiteral("stol")); // the selection was replaced
}

void TestHeadwordBox::versionCommand_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isCommand");
    QTest::newRow("exact") << QStringLiteral("quorbel:verzija") << true;
    QTest::newRow("upper case") << QStringLiteral("QUORBEL:VERZIJA") << true;
    QTest::newRow("mixed case") << QStringLiteral("Quorbel:Verzija") << true;
    QTest::newRow("leading space") << QStringLiteral(" quorbel:verzija") << false;
    QTest::newRow("trailing space") << QStringLiteral("quorbel:verzija ") << false;
    QTest::newRow("no colon") << QStringLiteral("quorbel verzija") << false;
}

void TestHeadwordBox::versionCommand()
{
    QFETCH(QString, text);
    QFETCH(bool, isCommand);
    m_box->setText(text);
    QSignalSpy searches(m_box, &VnosnoOknoIztocnica::searchRequested);
    QSignalSpy version(m_box, &VnosnoOknoIztocnica::versionPageRequested);
    QTest::keyClick(m_box, Qt::Key_Return);
    QCOMPARE(version.size(), isCommand ? 1 : 0);
    QCOMPARE(searches.size(), isCommand ? 0 : 1);
    if (!isCommand)
        QCOMPARE(searches.at(0).at(0).toString(), text);
}

// Clicking into the box from elsewhere selects all; the next click places the caret; after
// Tab (state 3) the first click places the caret already.
void TestHeadwordBox::clickSelectsAllOnce()
{
    m_box->setText(QStringLiteral("mizarstvo"));
    auto* neighbour = m_other->findChild<QLineEdit*>(QStringLiteral("neighbour"));
    neighbour->setFocus();
    QCOMPARE(m_box->clickSelectState, 0);
    const QPoint inside(30, m_box->height() / 2);
    QTest::mouseClick(m_box, Qt::LeftButton, {}, inside);
    QCOMPARE(m_box->selectedText(), QStringLiteral("mizarstvo"));
    QCOMPARE(m_box->clickSelectState, 2);
    QTest::mouseClick(m_box, Qt::LeftButton, {}, inside);
    QVERIFY(!m_box->hasSelectedText());

    neighbour->setFocus();
    QCOMPARE(m_box->clickSelectState, 0);
    m_box->clickSelectState = 3;
    m_box->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(m_box, Qt::LeftButton, {}, inside);
    QVERIFY(!m_box->hasSelectedText());
}

QTEST_MAIN(TestHeadwordBox)
#include "tst_headwordbox.moc"
