// The size of the entries: Ctrl with plus, minus and 0 wherever the focus is, Ctrl and the
// wheel over the entry view; the size holds for every entry, the welcome page and the next run.
#include "app/cmainframe.h"
#include "core/settings.h"
#include "tests/support/scripteddictionaryservice.h"
#include "tests/support/scriptedresults.h"
#include "tests/support/scriptedserver.h"
#include "tests/support/tempconfig.h"
#include "ui/search/cinfinitelistview.h"
#include "ui/search/cquorbelview.h"
#include "ui/search/entryzoom.h"
#include "ui/search/vnosnooknoiztocnica.h"

#include <QSignalSpy>
#include <QTest>
#include <QWebEngineScript>
#include <QWheelEvent>
#include <memory>

using namespace Qt::StringLiterals;

class TestEntryZoom : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void steps_data();
    void steps();
    void keysSizeEntriesAndTheSizeIsKept_data();
    void keysSizeEntriesAndTheSizeIsKept();
    void ctrlWheelOverTheViewSizesEntries_data();
    void ctrlWheelOverTheViewSizesEntries();
    void sizeHoldsAcrossTheWelcomePageAndEntries();

private:
    void start();
    void restart();
    void showEntryOf(const QString& word);
    double renderedScale();
    std::unique_ptr<TempConfig> m_config;
    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<ScriptedDictionaryService> m_service;
    std::unique_ptr<CMainFrame> m_frame;
};

void TestEntryZoom::init()
{
    m_config = std::make_unique<TempConfig>();
    m_server = std::make_unique<ScriptedServer>();
    m_service = std::make_unique<ScriptedDictionaryService>(*m_server);
    qputenv("VERBOLIX_API_BASE", m_server->baseUrl().toUtf8());
    qputenv("VERBOLIX_NO_SPLASH", "1");
}

void TestEntryZoom::start()
{
    m_frame = std::make_unique<CMainFrame>();
    QCOMPARE(m_frame->Create(), 0);
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
}

// A second window in the same configuration, as the next run would be.
void TestEntryZoom::restart()
{
    m_frame.reset();
    start();
}

void TestEntryZoom::cleanup()
{
    m_frame.reset();
    m_service.reset();
    m_server.reset();
    qunsetenv("VERBOLIX_API_BASE");
    m_config.reset();
}

void TestEntryZoom::showEntryOf(const QString& word)
{
    VnosnoOknoIztocnica* box = m_frame->headwordBox();
    box->setFocus();
    box->setText(word);
    QSignalSpy shown(m_frame->entryView(), &CQuorbelView::entryShown);
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), 15000);
}

// The scale the page itself is drawn at: the browser's zoom shows in its device pixel ratio
// (the offscreen screen's own ratio is 1).
double TestEntryZoom::renderedScale()
{
    double ratio = 0;
    bool done = false;
    m_frame->entryView()->page()->runJavaScript(u"window.devicePixelRatio"_s, QWebEngineScript::ApplicationWorld,
                                                [&](const QVariant& v) {
                                                    ratio = v.toDouble();
                                                    done = true;
                                                });
    if (!QTest::qWaitFor([&] { return done; }, 5000))
        return -1;
    return ratio;
}

void TestEntryZoom::steps_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("expected");
    QTest::newRow("100 up: 110") << 100 << 1 << 110;
    QTest::newRow("100 down: 90") << 100 << -1 << 90;
    QTest::newRow("110 up: 125") << 110 << 1 << 125;
    QTest::newRow("200 up two: 300") << 200 << 2 << 300;
    QTest::newRow("between levels, 105 up: 110") << 105 << 1 << 110;
    QTest::newRow("between levels, 105 down: 100") << 105 << -1 << 100;
    QTest::newRow("top stays: 300 up") << 300 << 1 << 300;
    QTest::newRow("bottom stays: 50 down") << 50 << -1 << 50;
    QTest::newRow("many steps stop at the top") << 100 << 40 << 300;
    QTest::newRow("stored too large, down: 250") << 1000 << -1 << 250;
    QTest::newRow("stored negative, up: 67") << -5 << 1 << 67;
}

void TestEntryZoom::steps()
{
    QFETCH(int, percent);
    QFETCH(int, steps);
    QFETCH(int, expected);
    QCOMPARE(EntryZoom::Step(percent, steps), expected);
}

void TestEntryZoom::keysSizeEntriesAndTheSizeIsKept_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("expected");
    const int ctrl = Qt::ControlModifier;
    const int keypad = Qt::ControlModifier | Qt::KeypadModifier;
    QTest::newRow("Ctrl+plus") << 100 << int(Qt::Key_Plus) << ctrl << 110;
    QTest::newRow("Ctrl+=") << 100 << int(Qt::Key_Equal) << ctrl << 110;
    QTest::newRow("Ctrl+Shift+= (plus on US keys)") << 100 << int(Qt::Key_Plus) << int(ctrl | Qt::ShiftModifier)
                                                     << 110;
    QTest::newRow("Ctrl and keypad plus") << 100 << int(Qt::Key_Plus) << keypad << 110;
    QTest::newRow("Ctrl+minus") << 100 << int(Qt::Key_Minus) << ctrl << 90;
    QTest::newRow("Ctrl and keypad minus") << 125 << int(Qt::Key_Minus) << keypad << 110;
    QTest::newRow("Ctrl+0 resets") << 150 << int(Qt::Key_0) << ctrl << 100;
    QTest::newRow("Ctrl+plus at the largest") << 300 << int(Qt::Key_Plus) << ctrl << 300;
    QTest::newRow("Ctrl+minus at the smallest") << 50 << int(Qt::Key_Minus) << ctrl << 50;
    QTest::newRow("stored out of range starts at the largest") << 900 << int(Qt::Key_Minus) << ctrl << 250;
}

void TestEntryZoom::keysSizeEntriesAndTheSizeIsKept()
{
    QFETCH(int, stored);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, expected);
    Settings::Write(Setting::EntryZoomPercent, stored);
    start();
    CQuorbelView* view = m_frame->entryView();
    QCOMPARE(qRound(view->zoomFactor() * 100), EntryZoom::Clamp(stored));
    showEntryOf(u"miza"_s);

    // Pressed where the focus lives: the headword box.
    QTest::keyClick(m_frame->headwordBox(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(qRound(view->zoomFactor() * 100), expected);
    QCOMPARE(Settings::Read(Setting::EntryZoomPercent), expected);
    QTRY_COMPARE(qRound(renderedScale() * 100), expected);
    QCOMPARE(m_frame->headwordBox()->text(), u"miza"_s); // the key typed nothing

    restart();
    QCOMPARE(qRound(m_frame->entryView()->zoomFactor() * 100), expected);
    showEntryOf(u"miza"_s);
    QTRY_COMPARE(qRound(renderedScale() * 100), expected);
}

void TestEntryZoom::ctrlWheelOverTheViewSizesEntries_data()
{
    QTest::addColumn<QList<int>>("deltas");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("expected");
    const int ctrl = Qt::ControlModifier;
    QTest::newRow("a notch away: larger") << QList<int>{120} << ctrl << 110;
    QTest::newRow("a notch towards: smaller") << QList<int>{-120} << ctrl << 90;
    QTest::newRow("two notches in one event") << QList<int>{240} << ctrl << 125;
    QTest::newRow("a touchpad's small deltas add up to one step") << QList<int>{40, 40, 40, 40} << ctrl << 110;
    QTest::newRow("without Ctrl: no zoom") << QList<int>{120} << int(Qt::NoModifier) << 100;
}

void TestEntryZoom::ctrlWheelOverTheViewSizesEntries()
{
    QFETCH(QList<int>, deltas);
    QFETCH(int, modifiers);
    QFETCH(int, expected);
    start();
    showEntryOf(u"miza"_s);
    CQuorbelView* view = m_frame->entryView();
    // The browser's surface gets the wheel, as it does from the mouse.
    QWidget* surface = view->focusProxy();
    QVERIFY(surface);
    const QPointF at(surface->width() / 2.0, surface->height() / 2.0);
    for (const int delta : deltas) {
        QWheelEvent wheel(at, surface->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::KeyboardModifiers(modifiers), Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(surface, &wheel);
    }
    QCOMPARE(qRound(view->zoomFactor() * 100), expected);
    QCOMPARE(Settings::Read(Setting::EntryZoomPercent), expected);
    QTRY_COMPARE(qRound(renderedScale() * 100), expected);

    restart();
    QCOMPARE(qRound(m_frame->entryView()->zoomFactor() * 100), expected);
}

// The welcome page is another page loaded into the view, and the entries' template is loaded
// afresh after it: the size holds through both loads.
void TestEntryZoom::sizeHoldsAcrossTheWelcomePageAndEntries()
{
    Settings::Write(Setting::EntryZoomPercent, 150);
    m_server->setAnswer(u"/welcome"_s, "<html><body><p>Dobrodošli</p></body></html>", 200,
                        "text/html; charset=utf-8");
    m_server->setAnswer(u"/1.0/messages"_s,
                        "<messages><welcome>" + m_server->baseUrl().toUtf8() + "/welcome</welcome></messages>");
    start();
    CQuorbelView* view = m_frame->entryView();
    QTRY_COMPARE_WITH_TIMEOUT(view->url().path(), u"/welcome"_s, 15000);
    QTRY_COMPARE(qRound(renderedScale() * 100), 150);
    QTest::keyClick(m_frame->headwordBox(), Qt::Key_Plus, Qt::ControlModifier);
    QTRY_COMPARE(qRound(renderedScale() * 100), 175);

    showEntryOf(u"miza"_s);
    QCOMPARE(view->url().scheme(), u"verbolix-entry"_s);
    QCOMPARE(qRound(view->zoomFactor() * 100), 175);
    QTRY_COMPARE(qRound(renderedScale() * 100), 175);
    showEntryOf(u"mizica"_s);
    QTRY_COMPARE(qRound(renderedScale() * 100), 175);
}

QTEST_MAIN(TestEntryZoom)
#include "tst_entryzoom.moc"
