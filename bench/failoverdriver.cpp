// Drives the program's main window as the user would, for scripts/deploy-test:
//   verbolix-failover failover [HOOK]
//                            page through the whole hit list checking every row drawn and
//                            every look-up, running HOOK at set points
// The service must run with --stats; VERBOLIX_API_BASE names it. Lines printed are
// "name value", read by the script.
#include "ui/search/cinfinitelistview.h"
#include "app/cmainframe.h"
#include "app/cquorbelapp.h"
#include "ui/search/cquorbelview.h"
#include "ui/search/vnosnooknoiztocnica.h"
#include "bench/servicestats.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void print(const char* name, qint64 value)
{
    std::printf("%s %lld\n", name, static_cast<long long>(value));
    std::fflush(stdout);
}

// Runs the event loop until the entry view has finished loading a page, or timeoutMs.
bool waitForEntry(CQuorbelView* view, bool& shown, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!shown && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    Q_UNUSED(view);
    return shown;
}

void sendKey(QWidget* target, QEvent::Type type, int key, bool autoRepeat)
{
    QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
    QCoreApplication::sendEvent(target, &event);
}

// Page Down held from the top of the list to the bottom, as in scroll, checking as it goes:
// every row on screen after each step has its headword (none left empty because a page could
// not be fetched) and the caption bar never says the service failed. HOOK, when given, is run
// with "begin", "third", "two-thirds" and "end" as the selection passes those points, and
// the sweep waits for it, so that a script can count requests or stop and start services.
int failoverSweep(CMainFrame* frame, CInfiniteListView* list, int rows, const QString& hook)
{
    const auto runHook = [&hook](const QString& point) {
        if (hook.isEmpty())
            return true;
        const int code = QProcess::execute(hook, {point});
        if (code != 0)
            std::fprintf(stderr, "verbolix-bench: %s %s ended with %d\n", qPrintable(hook), qPrintable(point),
                         code);
        return code == 0;
    };
    qint64 emptyRows = 0;
    qint64 failedSteps = 0;
    int seenUpTo = 0; // rows 0 .. seenUpTo - 1 have been on screen
    // Requests go out from a worker and answers come later: wait until what was asked for
    // has come, so that a count read afterwards holds every request of the step.
    const auto settle = [&] {
        QElapsedTimer waited;
        waited.start();
        do {
            list->viewport()->repaint();
            QCoreApplication::processEvents();
        } while (!frame->isSettled() && waited.elapsed() < 30000 &&
                 (QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20), true));
    };
    const auto check = [&] {
        settle();
        list->viewport()->repaint();
        const int top = list->indexAt(QPoint(0, 0)).row();
        int bottom = list->indexAt(QPoint(0, list->viewport()->height() - 1)).row();
        if (bottom < 0)
            bottom = rows - 1;
        for (int row = qMax(top, 0); row <= bottom; ++row) {
            if (frame->GetHitHeadword(row).isEmpty())
                ++emptyRows;
        }
        if (top <= seenUpTo)
            seenUpTo = qMax(seenUpTo, bottom + 1);
        if (!frame->serviceNotice().isEmpty())
            ++failedSteps;
    };

    if (!runHook(QStringLiteral("begin")))
        return 1;
    const ServiceStats before = serviceStats();
    check();
    const int marks[] = {rows / 3, 2 * rows / 3};
    const char* markNames[] = {"third", "two-thirds"};
    int nextMark = 0;
    sendKey(list, QEvent::KeyPress, Qt::Key_PageDown, false);
    int presses = 1;
    check();
    while (list->currentIndex().row() < rows - 1 && presses < 10000000) {
        sendKey(list, QEvent::KeyPress, Qt::Key_PageDown, true);
        ++presses;
        check();
        if (presses % 64 == 0)
            QCoreApplication::processEvents();
        if (nextMark < 2 && list->currentIndex().row() >= marks[nextMark]) {
            if (!runHook(QString::fromLatin1(markNames[nextMark])))
                return 1;
            ++nextMark;
        }
    }
    sendKey(list, QEvent::KeyRelease, Qt::Key_PageDown, false);
    settle(); // the entry of the last row
    if (!frame->serviceNotice().isEmpty())
        ++failedSteps;
    const ServiceStats after = serviceStats();
    if (!runHook(QStringLiteral("end")))
        return 1;
    print("page_down_presses", presses);
    print("rows_seen", seenUpTo);
    print("empty_rows", emptyRows);
    print("failed_steps", failedSteps);
    if (before.requests >= 0 && after.requests >= 0)
        print("scroll_requests", after.requests - before.requests);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || qstrcmp(argv[1], "failover") != 0) {
        std::fprintf(stderr, "usage: verbolix-failover failover [HOOK]\n");
        return 2;
    }
    CQuorbelApp::PrepareProcess();
    CQuorbelApp app(argc, argv);

    // The first entry is shown when the entry view has loaded it; the view exists only once
    // the window is being created, so watch for its creation.
    bool shown = false;
    CQuorbelView* view = nullptr;
    QTimer watcher;
    watcher.setInterval(0);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (view || !app.mainFrame() || !app.mainFrame()->entryView())
            return;
        view = app.mainFrame()->entryView();
        QObject::connect(view, &QWebEngineView::loadFinished, [&shown](bool) { shown = true; });
        watcher.stop();
    });
    watcher.start();

    if (const int result = app.InitInstance(); result != 0)
        return result;
    CMainFrame* frame = app.mainFrame();
    if (!view) {
        view = frame->entryView();
        QObject::connect(view, &QWebEngineView::loadFinished, [&shown](bool) { shown = true; });
    }
    if (!waitForEntry(view, shown, 60000)) {
        std::fprintf(stderr, "verbolix-bench: no entry was shown\n");
        return 1;
    }
    print("shown_epoch_ms", QDateTime::currentMSecsSinceEpoch());
    const ServiceStats atStart = serviceStats();
    print("startup_requests", atStart.requests);
    print("startup_connections", atStart.connections);
    print("startup_peak_rss_kib", statusKib("VmHWM"));

    // Ctrl+1: the filter of every dictionary, the synthetic one too.
    shown = false;
    frame->ChooseFilterByKey(Qt::Key_1);
    if (!waitForEntry(view, shown, 60000)) {
        std::fprintf(stderr, "verbolix-bench: no entry after choosing every dictionary\n");
        return 1;
    }
    CInfiniteListView* list = frame->hitList();
    const int rows = list->hitCount();
    print("rows", rows);
    list->setFocus();
    return failoverSweep(frame, list, rows, argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
}
