// The window against a real X server and window manager: held keys, the always-on-top band,
// the splash's count and the user's drag on the frame. Runs on a private Xvfb display with
// openbox; skipped when either is not installed.
#include "tests/support/xvfbdisplay.h"
#include "app/activewindowwatch.h"
#include "app/splashscreenex.h"
#include "app/userresizewatch.h"
#include "app/windowstacking.h"
#include "app/x11desktop.h"
#include "ui/search/cinfinitelistview.h"
#include "ui/search/displaystate.h"
#include "ui/search/hitsource.h"
#include "ui/search/vnosnooknoiztocnica.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QVBoxLayout>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

using namespace Qt::StringLiterals;

namespace {
QString g_display;
bool g_windowManager = false;

class Rows : public HitSource
{
public:
    QString GetHitHeadword(int row) override { return QStringLiteral("geslo %1").arg(row); }
    int GetHitImage(int) override { return -1; }
};

// Counts the key events a widget gets.
class KeyCounter : public QObject
{
public:
    int presses = 0;
    int releases = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            ++presses;
        else if (event->type() == QEvent::KeyRelease)
            ++releases;
        return false;
    }
};

xcb_connection_t* connection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_keycode_t keycodeOf(uint32_t keysym)
{
    xcb_connection_t* c = connection();
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(count)), nullptr);
    xcb_keycode_t found = 0;
    if (map) {
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
        for (int i = 0; i < count * map->keysyms_per_keycode && !found; ++i)
            if (syms[i] == keysym)
                found = xcb_keycode_t(setup->min_keycode + i / map->keysyms_per_keycode);
    }
    std::free(map);
    return found;
}

// What a user's hand does, through the server's XTEST extension.
void fake(uint8_t type, uint8_t detail, int x = 0, int y = 0)
{
    xcb_connection_t* c = connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_test_fake_input(c, type, detail, XCB_CURRENT_TIME, root, int16_t(x), int16_t(y), 0);
    xcb_flush(c);
}

// The window manager names itself on the root window once it runs.
bool windowManagerIsUp()
{
    xcb_connection_t* c = connection();
    const char name[] = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_get_property_reply_t* value =
        atom ? xcb_get_property_reply(c, xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr)
             : nullptr;
    const bool up = value && xcb_get_property_value_length(value) == 4;
    std::free(value);
    std::free(atom);
    return up;
}

// Another program's window, which the window manager makes active when it appears.
int runOtherWindow(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(u"drugo okno"_s);
    window.setGeometry(600, 400, 200, 120);
    window.show();
    QTimer::singleShot(20000, &app, &QCoreApplication::quit);
    return app.exec();
}
} // namespace

class WindowX11Test : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void heldKeyActsOnce_data();
    void heldKeyActsOnce();
    void alwaysOnTopKeepsTheWindow();
    void keptAboveFromTheStartKeepsItsPlace();
    void splashCountRestartsWhenAnotherWindowIsActivated();
    void dragOnTheFrameIsTheUsers();

private:
    void needWindowManager();
    void activate(QWidget* window);
};

void WindowX11Test::initTestCase()
{
    if (g_display.isEmpty())
        QSKIP("no X server for this test (Xvfb not installed)");
    QCOMPARE(QGuiApplication::platformName(), u"xcb"_s);
    QVERIFY(X11Desktop::isActive());
}

void WindowX11Test::needWindowManager()
{
    if (!g_windowManager)
        QSKIP("no window manager for this test (openbox not installed)");
}

void WindowX11Test::activate(QWidget* window)
{
    // A loaded machine's X server and window manager take their time over the first window.
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window, 30000));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window, 30000));
}

void WindowX11Test::heldKeyActsOnce_data()
{
    QTest::addColumn<bool>("list"); // false: Enter in the headword box
    QTest::newRow("Enter held in the box: one search") << false;
    QTest::newRow("Down held in the list: one entry") << true;
}

// Qt takes some of the X server's auto-repeat releases for real ones: a held Enter searched
// two to four times, a held Down now and then fetched an extra entry.
void WindowX11Test::heldKeyActsOnce()
{
    QFETCH(bool, list);
    needWindowManager();
    QVERIFY(X11Desktop::enableDetectableAutoRepeat());
    Rows rows;
    DisplayState display;
    display.displayMode = ModeNormal;
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* box = new VnosnoOknoIztocnica(&window);
    auto* hits = new CInfiniteListView(&window);
    layout->addWidget(box);
    layout->addWidget(hits);
    hits->setHitSource(&rows);
    hits->setDisplayState(&display);
    hits->SetHitCount(100'000);
    window.resize(300, 400);
    activate(&window);
    QWidget* target = list ? static_cast<QWidget*>(hits) : box;
    target->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(target->hasFocus(), 20000);
    if (list)
        hits->SelectHit(0);
    KeyCounter keys;
    target->installEventFilter(&keys);
    QSignalSpy searches(box, &VnosnoOknoIztocnica::searchRequested);
    QSignalSpy entries(hits, &CInfiniteListView::entryRequested);

    const xcb_keycode_t key = keycodeOf(list ? 0xff54 /* Down */ : 0xff0d /* Return */);
    QVERIFY(key != 0);
    fake(XCB_KEY_PRESS, key);
    // Held until the server has repeated it a good many times.
    QTRY_VERIFY_WITH_TIMEOUT(keys.presses >= 20, 20000);
    fake(XCB_KEY_RELEASE, key);
    QTRY_COMPARE_WITH_TIMEOUT(keys.releases, 1, 10000);
    QCoreApplication::processEvents();
    // No release before the real one: each would have acted.
    QCOMPARE(keys.releases, 1);
    if (list) {
        QVERIFY(hits->selectionMark() >= 19);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.at(0).at(0).toInt(), hits->selectionMark());
    } else {
        QCOMPARE(searches.size(), 1);
    }
}

// Toggling it unmapped and re-created the window, and the box lost its focus.
void WindowX11Test::alwaysOnTopKeepsTheWindow()
{
    needWindowManager();
    QWidget window;
    auto* box = new QLineEdit(&window);
    window.resize(300, 100);
    activate(&window);
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    const WId id = window.winId();
    QVERIFY(!X11Desktop::isKeptAbove(&window));
    int hidden = 0;
    struct HideCounter : QObject
    {
        int& count;
        explicit HideCounter(int& c) : count(c) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Hide || e->type() == QEvent::WinIdChange)
                ++count;
            return false;
        }
    } counter(hidden);
    window.installEventFilter(&counter);

    WindowStacking::keepAbove(&window, true);
    QTRY_VERIFY(X11Desktop::isKeptAbove(&window));
    QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
    WindowStacking::keepAbove(&window, false);
    QTRY_VERIFY(!X11Desktop::isKeptAbove(&window));
    QCOMPARE(window.winId(), id);
    QCOMPARE(hidden, 0);
    QVERIFY(window.isActiveWindow());
    QVERIFY(box->hasFocus());
}

// Made topmost before it was first shown, the window came up shifted by its frame: a kept
// placement crept down and right by the title bar at every start.
void WindowX11Test::keptAboveFromTheStartKeepsItsPlace()
{
    needWindowManager();
    QWidget window;
    window.setGeometry(120, 140, 300, 200);
    WindowStacking::keepAbove(&window, true);
    activate(&window);
    QTRY_VERIFY(X11Desktop::isKeptAbove(&window));
    QTRY_VERIFY(window.frameGeometry().top() < window.geometry().top());
    QCOMPARE(window.geometry(), QRect(120, 140, 300, 200));
}

// The splash never has the focus, so it never lost it: clicking elsewhere did not restart
// its count.
void WindowX11Test::splashCountRestartsWhenAnotherWindowIsActivated()
{
    needWindowManager();
    // A count of 0 never ends by itself: only an activation elsewhere starts it.
    CSplashScreenEx splash(0, CSplashScreenEx::Centre);
    QVERIFY(splash.loadPicture());
    splash.showSplash();
    QVERIFY(QTest::qWaitForWindowExposed(&splash, 30000));
    QVERIFY(!splash.hideTimer()->isActive());

    // The program's own window coming up is no click elsewhere.
    QWidget own;
    own.setGeometry(50, 50, 200, 100);
    activate(&own);
    QTRY_COMPARE(X11Desktop::activeWindow(), unsigned(own.winId()));
    QCoreApplication::processEvents();
    QVERIFY(!splash.hideTimer()->isActive());

    QProcess other;
    other.setProcessChannelMode(QProcess::ForwardedChannels);
    other.start(QCoreApplication::applicationFilePath(), {u"--other-window"_s});
    QVERIFY(other.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::activeWindow() != unsigned(own.winId()), 20000);
    QTRY_VERIFY(splash.hideTimer()->isActive());
    QCOMPARE(splash.hideTimer()->interval(), CSplashScreenEx::FocusLossTimeoutMs);
    other.kill();
    other.waitForFinished(5000);
}

// A drag on the frame's corner is the user's; the window manager's maximising is not, even
// with a button down (a double click on the title bar maximises on the second press).
void WindowX11Test::dragOnTheFrameIsTheUsers()
{
    needWindowManager();
    QWidget window;
    window.setGeometry(100, 100, 400, 300);
    activate(&window);
    UserResizeWatch watch(&window);
    watch.setEnabled(true);
    QSignalSpy finished(&watch, &UserResizeWatch::userResizeFinished);
    QVERIFY(!X11Desktop::pointerButtonHeld());

    // The bottom right corner of the frame, just outside the window.
    QTRY_VERIFY(window.frameGeometry().bottom() > window.geometry().bottom());
    const QRect frame = window.frameGeometry();
    const QPoint grip = frame.bottomRight() - QPoint(2, 2);
    fake(XCB_MOTION_NOTIFY, 0, grip.x(), grip.y());
    fake(XCB_BUTTON_PRESS, 1);
    QTRY_VERIFY(X11Desktop::pointerButtonHeld());
    // The window manager may miss motions that come before it has taken the pointer: keep
    // dragging until the window has grown a few times.
    int grown = 0;
    for (int step = 1; step <= 40 && grown < 4; ++step) {
        const int height = window.height();
        fake(XCB_MOTION_NOTIFY, 0, grip.x() + 6 * step, grip.y() + 8 * step);
        if (QTest::qWaitFor([&] { return window.height() != height; }, 500))
            ++grown;
    }
    QCOMPARE(grown, 4);
    fake(XCB_BUTTON_RELEASE, 1);
    QTRY_VERIFY(!X11Desktop::pointerButtonHeld());
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), 300);

    // Maximised and restored by the window manager while a button is held.
    fake(XCB_MOTION_NOTIFY, 0, 900, 700);
    fake(XCB_BUTTON_PRESS, 1);
    QTRY_VERIFY(X11Desktop::pointerButtonHeld());
    const QSize before = window.size();
    window.showMaximized();
    QTRY_VERIFY(window.width() > before.width()); // the window manager's size, not just Qt's state
    window.showNormal();
    QTRY_COMPARE(window.size(), before);
    fake(XCB_BUTTON_RELEASE, 1);
    QTRY_VERIFY(!watch.pending());
    QCOMPARE(finished.size(), 1);
}

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--other-window") == 0)
        return runOtherWindow(argc, argv);

    const XvfbDisplay server;
    QProcess windowManager;
    g_display = server.name();
    if (!g_display.isEmpty()) {
        qputenv("DISPLAY", g_display.toUtf8());
        qputenv("QT_QPA_PLATFORM", "xcb");
        const QString openbox = QStandardPaths::findExecutable(u"openbox"_s);
        if (!openbox.isEmpty()) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(u"DISPLAY"_s, g_display);
            windowManager.setProcessEnvironment(env);
            windowManager.start(openbox, {u"--sm-disable"_s});
            g_windowManager = windowManager.waitForStarted(5000);
        }
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        if (g_windowManager)
            g_windowManager = QTest::qWaitFor(windowManagerIsUp, 20000);
        WindowX11Test test;
        result = QTest::qExec(&test, argc, argv);
    }
    if (windowManager.state() == QProcess::Running) {
        windowManager.terminate();
        if (!windowManager.waitForFinished(5000))
            windowManager.kill();
    }
    return result;
}

#include "tst_windowx11.moc"
