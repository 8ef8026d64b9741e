// Drives the program's main window as the user would and prints figures for scripts/bench:
//   verbolix-bench startup                 start until the first entry is drawn, then quit
//   verbolix-bench scroll [options]        also page through the hit list, jump to the end and
//                                          back, and time Enter on the given words
//   verbolix-bench stop [options]          page, stop the service (SIGSTOP) for a while
//                                          mid-scroll, and time the refill after its return
// Options: --presses N (Page Down presses, 0: to the bottom), --words W1,W2,...,
// --stop-seconds S, --service-pid PID, --bound-seconds B (the run ends, printing
// "timeout PHASE B", if it takes longer, even with the window blocked), --began EPOCH_MS
// (when the caller started the process), --save-image FILE (stop: the window at the end).
// The service must run with --stats; VERBOLIX_API_BASE names it. Lines printed are
// "name value", read by the script; a name may repeat, one line per sample.
//
// Nothing here waits for a call to return with its answer: requests may be answered later
// than the call that made them, so every wait is on what the window shows (the count, the
// rows' pixels, the entry view's frames).
#include "app/cmainframe.h"
#include "app/cquorbelapp.h"
#include "bench/servicestats.h"
#include "ui/search/cinfinitelistview.h"
#include "ui/search/cquorbelview.h"
#include "ui/search/iskalnooknoinseznam.h"
#include "ui/search/staticstevilorezultatov.h"
#include "ui/search/vnosnooknoiztocnica.h"

#include <QBackingStore>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Options
{
    QString mode;
    int presses = 0;
    QStringList words;
    int stopSeconds = 30;
    pid_t servicePid = 0;
    int boundSeconds = 600;
    // When the caller started this process (epoch ms): start-up counts from there, loading
    // the libraries included.
    qint64 beganEpochMs = 0;
    // Where the stop mode saves the window as drawn at its end, to check what "blank" was.
    QString saveImage;
};

struct TreeMemory
{
    qint64 ussKib = 0;
    qint64 pssKib = 0;
    int processes = 0;
};

// Unique memory (private pages, clean and dirty) of this process and all its descendants:
// the web engine's zygote, renderer and GPU processes are children of ours. Pages the tree's
// processes share among themselves (the engine's library, the zygote's forked pages) are
// private to none of them; the proportional set size, summed too, counts those.
TreeMemory treeMemory()
{
    QHash<qint64, QList<qint64>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // The command name is in parentheses and may hold spaces: the parent follows the last one.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children[fields.at(1).toLongLong()].append(pid);
    }
    TreeMemory memory;
    QList<qint64> pending{qint64(::getpid())};
    while (!pending.isEmpty()) {
        const qint64 pid = pending.takeLast();
        pending += children.value(pid);
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly))
            continue;
        ++memory.processes;
        for (const QByteArray& line : rollup.readAll().split('\n')) {
            const qint64 kib = line.mid(line.indexOf(':') + 1).trimmed().split(' ').first().toLongLong();
            if (line.startsWith("Private_"))
                memory.ussKib += kib;
            else if (line.startsWith("Pss:"))
                memory.pssKib += kib;
        }
    }
    return memory;
}

void print(const char* name, qint64 value)
{
    std::printf("%s %lld\n", name, static_cast<long long>(value));
    std::fflush(stdout);
}

void printMs(const char* name, double value)
{
    std::printf("%s %.1f\n", name, value);
    std::fflush(stdout);
}

void sendKey(QWidget* target, QEvent::Type type, int key, bool autoRepeat)
{
    QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
    QCoreApplication::sendEvent(target, &event);
}

QElapsedTimer runClock;

double nowMs()
{
    return double(runClock.nsecsElapsed()) / 1e6;
}

// The event-loop stall monitor: a 5 ms heartbeat on the GUI thread. Whatever blocks the
// thread delays the beat; the longest delay beyond the period is the longest stall.
class StallMonitor
{
public:
    StallMonitor()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(periodMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { beat(); });
    }
    void start()
    {
        reset();
        m_timer.start();
    }
    void reset()
    {
        m_last = nowMs();
        m_longest = 0;
        m_longestEndedMs = -1;
    }
    // When the longest stall so far ended, in run time; -1 for none.
    double longestEndedMs() const { return m_longestEndedMs; }
    // Also counts a stall still going on while this is asked.
    double longestMs() const { return std::max(m_longest, nowMs() - m_last - periodMs); }
    // Runs the bench's own work (grabbing, reading pixels) without counting it as a stall.
    template <typename F> auto excluded(F work)
    {
        m_longest = longestMs();
        auto result = work();
        m_last = nowMs();
        return result;
    }

private:
    static constexpr int periodMs = 5;
    void beat()
    {
        const double now = nowMs();
        if (now - m_last - periodMs > m_longest) {
            m_longest = now - m_last - periodMs;
            m_longestEndedMs = now;
        }
        m_last = now;
    }
    QTimer m_timer;
    double m_last = 0;
    double m_longest = 0;
    double m_longestEndedMs = -1;
};

StallMonitor* stalls = nullptr;

QImage grabbed(QWidget* widget)
{
    return stalls->excluded([widget] { return widget->grab().toImage(); });
}

std::atomic<pid_t> stoppedService{0};

// Ends a run that takes longer than its bound, from a thread of its own so that it works
// while the GUI thread is blocked; a stopped service is let go first.
class Watchdog
{
public:
    Watchdog(int boundSeconds) : m_boundMs(boundSeconds * 1000.0)
    {
        m_thread = std::thread([this] { run(); });
    }
    ~Watchdog()
    {
        m_done = true;
        m_thread.join();
    }
    void setPhase(const char* phase) { m_phase.store(phase); }
    // Sends SIGCONT to pid at run time atMs and records when; used to end a service stop.
    void continueAt(pid_t pid, double atMs)
    {
        m_continueAtMs.store(atMs);
        m_continuePid.store(pid);
    }
    std::atomic<double> continuedAtMs{-1};

private:
    void run()
    {
        while (!m_done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const double now = nowMs();
            if (const pid_t pid = m_continuePid.load(); pid > 0 && now >= m_continueAtMs.load()) {
                ::kill(pid, SIGCONT);
                stoppedService.store(0);
                continuedAtMs.store(nowMs());
                m_continuePid.store(0);
            }
            if (now > m_boundMs) {
                if (const pid_t pid = stoppedService.load(); pid > 0)
                    ::kill(pid, SIGCONT);
                std::printf("timeout %s %.0f\n", m_phase.load(), m_boundMs / 1000);
                std::fflush(stdout);
                ::_exit(3);
            }
        }
    }
    double m_boundMs;
    std::atomic<bool> m_done{false};
    std::atomic<const char*> m_phase{"startup"};
    std::atomic<double> m_continueAtMs{0};
    std::atomic<pid_t> m_continuePid{0};
    std::thread m_thread;
};

// Times the frames the entry view draws. The web view paints through a child render widget
// (a Qt Quick scene holding the engine's compositor frames), so its frames are that scene's
// renderings; where the child is a plain widget, its paint events.
class ViewFrames : public QObject
{
public:
    explicit ViewFrames(QWidget* view) : m_view(view) { attach(); }

    // Looks for the render widget again: the view may create it with its first page.
    void attach()
    {
        for (QWidget* child : m_view->findChildren<QWidget*>()) {
            if (m_watched.contains(child))
                continue;
            m_watched.append(child);
            if (auto* quick = qobject_cast<QQuickWidget*>(child)) {
                QObject::connect(
                    quick->quickWindow(), &QQuickWindow::afterRendering, this, [this] { frame(); },
                    Qt::DirectConnection);
                m_quick = true;
            } else if (child == m_view->focusProxy()) {
                child->installEventFilter(this);
            }
        }
    }
    int frames() const { return m_frames; }
    double lastFrameMs() const { return m_lastMs; }
    double firstFrameAfter(double ms) const
    {
        for (double t : m_times) {
            if (t >= ms)
                return t;
        }
        return -1;
    }
    bool quick() const { return m_quick; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            frame();
        return QObject::eventFilter(watched, event);
    }

private:
    void frame()
    {
        m_lastMs = nowMs();
        ++m_frames;
        if (m_times.size() < 100000)
            m_times.append(m_lastMs);
    }
    QWidget* m_view;
    QList<QWidget*> m_watched;
    QList<double> m_times;
    double m_lastMs = -1;
    int m_frames = 0;
    bool m_quick = false;
};

// Paint events of a widget, timed.
class Paints : public QObject
{
public:
    explicit Paints(QWidget* widget) { widget->installEventFilter(this); }
    double lastMs() const { return m_lastMs; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            m_lastMs = nowMs();
        return QObject::eventFilter(watched, event);
    }

private:
    double m_lastMs = -1;
};

// Runs the event loop until done() or timeoutMs; false on timeout.
bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    const double until = nowMs() + timeoutMs;
    // The stall monitor's heartbeat wakes the loop at least every 5 ms.
    while (!done()) {
        if (nowMs() > until)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs the event loop for ms.
void idle(int ms)
{
    const double until = nowMs() + ms;
    while (nowMs() < until)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Waits until the entry view has drawn at least one frame after sinceMs and then no frame for
// quietMs; returns the time of its last frame, or -1 on timeout.
double waitForViewSettled(ViewFrames& frames, double sinceMs, int quietMs, int timeoutMs)
{
    const bool settled = waitFor(
        [&] {
            frames.attach();
            return frames.lastFrameMs() >= sinceMs && nowMs() - frames.lastFrameMs() >= quietMs;
        },
        timeoutMs);
    return settled ? frames.lastFrameMs() : -1;
}

// Whether an image holds more than a plain colour: an entry, not an empty page.
bool hasContent(const QImage& image)
{
    if (image.isNull())
        return false;
    const QRgb background = image.pixel(0, 0);
    int differing = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            if (image.pixel(x, y) != background && ++differing > 20)
                return true;
        }
    }
    return false;
}

// Waits until the entry view shows an entry (not an empty page, and unlike `before` when
// given) after having drawn a frame since sinceMs and rested for quietMs; returns the time of
// its last frame, or -1 on timeout. A rest that shows no entry yet (an empty page drawn while
// the answer is under way) is waited past.
double waitForEntryDrawn(ViewFrames& frames, QWidget* view, double sinceMs, int quietMs, int timeoutMs,
                         const QImage* before = nullptr)
{
    const double until = nowMs() + timeoutMs;
    while (nowMs() < until) {
        const double drawn = waitForViewSettled(frames, sinceMs, quietMs, int(until - nowMs()));
        if (drawn < 0)
            return -1;
        const QImage image = grabbed(view);
        if (hasContent(image) && (!before || image != *before))
            return drawn;
        sinceMs = drawn + 0.001;
    }
    return -1;
}

// The rows of the list as last drawn, read from the window's backing store, so that
// looking does not draw them again (drawing would fetch rows the window would not have
// fetched on its own).
int unfilledVisibleRows(CInfiniteListView* list)
{
    QBackingStore* store = list->window()->backingStore();
    if (!store || !store->paintDevice() || store->paintDevice()->devType() != QInternal::Image)
        return -1;
    const QImage& image = *static_cast<QImage*>(store->paintDevice());
    const qreal ratio = image.devicePixelRatio();
    QWidget* viewport = list->viewport();
    const QPoint origin = viewport->mapTo(list->window(), QPoint(0, 0));
    int unfilled = 0;
    const int top = list->topRow();
    for (int row = top; row < list->hitCount(); ++row) {
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        if (!rect.isValid() || rect.top() >= viewport->height())
            break;
        // Inside the focus frame and the row's edges: text or an icon, or nothing.
        const QRect inner = rect.intersected(viewport->rect()).adjusted(3, 3, -3, -3).translated(origin);
        if (inner.height() < 4 || inner.width() < 4)
            continue;
        const QRect pixels(QPoint(qRound(inner.left() * ratio), qRound(inner.top() * ratio)),
                           QPoint(qRound(inner.right() * ratio), qRound(inner.bottom() * ratio)));
        if (!image.rect().contains(pixels))
            continue;
        const QRgb background = image.pixel(pixels.right(), pixels.top());
        int differing = 0;
        for (int y = pixels.top(); y <= pixels.bottom() && differing < 5; ++y) {
            for (int x = pixels.left(); x <= pixels.right() && differing < 5; ++x) {
                if (image.pixel(x, y) != background)
                    ++differing;
            }
        }
        if (differing < 5)
            ++unfilled;
    }
    return unfilled;
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    options.mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("startup");
    for (int i = 2; i + 1 < argc; i += 2) {
        const QByteArray name = argv[i];
        const QString value = QString::fromLocal8Bit(argv[i + 1]);
        if (name == "--presses")
            options.presses = value.toInt();
        else if (name == "--words")
            options.words = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (name == "--stop-seconds")
            options.stopSeconds = value.toInt();
        else if (name == "--service-pid")
            options.servicePid = pid_t(value.toInt());
        else if (name == "--bound-seconds")
            options.boundSeconds = value.toInt();
        else if (name == "--began")
            options.beganEpochMs = value.toLongLong();
        else if (name == "--save-image")
            options.saveImage = value;
    }
    return options;
}

// Page Down held: one press per turn of the event loop, each drawn before the next (as the
// window draws each screen of a held key), until the bottom or `presses` presses.
struct PagingResult
{
    int presses = 0;
    double ms = 0;
    std::vector<std::pair<double, int>> pressed; // run time of each press, and the row it left
    // The slowest press, split: the key's handling, the list's repaint, the events after.
    double slowestKeyMs = 0, slowestRepaintMs = 0, slowestEventsMs = 0;
    // The press during which the given run time fell, and the row it left; {-1, -1} if none.
    std::pair<int, int> pressAt(double ms) const
    {
        const auto after = std::upper_bound(pressed.begin(), pressed.end(), std::make_pair(ms, INT_MAX));
        if (after == pressed.begin())
            return {-1, -1};
        return {int(after - pressed.begin()) - 1, std::prev(after)->second};
    }
};

PagingResult pageDown(CInfiniteListView* list, int presses, const std::function<bool()>& stop = {})
{
    PagingResult result;
    const double start = nowMs();
    const int rows = list->hitCount();
    bool first = true;
    while (list->currentIndex().row() < rows - 1 && (presses <= 0 || result.presses < presses) &&
           result.presses < 10000000 && !(stop && stop())) {
        const double began = nowMs();
        result.pressed.emplace_back(began, list->currentIndex().row());
        sendKey(list, QEvent::KeyPress, Qt::Key_PageDown, !first);
        first = false;
        const double keyed = nowMs();
        list->viewport()->repaint();
        ++result.presses;
        const double painted = nowMs();
        QCoreApplication::processEvents();
        const double ended = nowMs();
        if (ended - began > result.slowestKeyMs + result.slowestRepaintMs + result.slowestEventsMs) {
            result.slowestKeyMs = keyed - began;
            result.slowestRepaintMs = painted - keyed;
            result.slowestEventsMs = ended - painted;
        }
    }
    sendKey(list, QEvent::KeyRelease, Qt::Key_PageDown, false);
    result.ms = nowMs() - start;
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    runClock.start();
    const qint64 startEpochMs = QDateTime::currentMSecsSinceEpoch();
    const Options options = parseOptions(argc, argv);
    Watchdog watchdog(options.boundSeconds);
    CQuorbelApp::PrepareProcess();
    CQuorbelApp app(argc, argv);
    StallMonitor monitor;
    stalls = &monitor;
    monitor.start();
    print("process_epoch_ms", startEpochMs);

    // The window and the entry view exist only once start-up builds them: watch for them from
    // the event loop start-up runs.
    CMainFrame* frame = nullptr;
    std::unique_ptr<ViewFrames> frames;
    double windowDrawnMs = -1;
    std::unique_ptr<Paints> framePaints;
    QTimer watcher;
    watcher.setInterval(2);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!frame && app.mainFrame())
            frame = app.mainFrame();
        if (frame && !frames && frame->entryView())
            frames = std::make_unique<ViewFrames>(frame->entryView());
        if (frames)
            frames->attach();
        if (frame && windowDrawnMs < 0 && frame->isVisible())
            windowDrawnMs = nowMs();
    });
    watcher.start();

    if (const int result = app.InitInstance(); result != 0)
        return result;
    frame = app.mainFrame();
    if (!frames)
        frames = std::make_unique<ViewFrames>(frame->entryView());
    CInfiniteListView* list = frame->hitList();
    StaticSteviloRezultatov* count = frame->findChild<StaticSteviloRezultatov*>();

    // The first entry is drawn when the first search has a count and the entry view shows an
    // entry after resting; the time is that of its last frame, which may come before this
    // thread sees the count (start-up may run the event loop while it works).
    bool counted = waitFor([&] { return count && !count->text().isEmpty() && list->hitCount() > 0; }, 60000);
    const double countedMs = nowMs();
    const double firstEntryMs = counted ? waitForEntryDrawn(*frames, frame->entryView(), 0, 500, 60000) : -1;
    watcher.stop();
    if (firstEntryMs < 0) {
        std::fprintf(stderr, "verbolix-bench: no entry was drawn\n");
        return 1;
    }
    // Measured to the last frame, not to the end of the rest period.
    const double startupStallMs = stalls->longestMs();
    print("shown_epoch_ms", startEpochMs + qint64(firstEntryMs));
    if (options.beganEpochMs > 0)
        print("startup_wall_ms", startEpochMs + qint64(firstEntryMs) - options.beganEpochMs);
    printMs("startup_first_entry_drawn_ms", firstEntryMs);
    printMs("startup_window_visible_ms", windowDrawnMs);
    printMs("startup_count_ms", countedMs);
    printMs("startup_stall_ms", startupStallMs);
    print("startup_view_frames_quick", frames->quick() ? 1 : 0);
    const ServiceStats atStart = serviceStats();
    print("startup_requests", atStart.requests);
    print("startup_connections", atStart.connections);
    print("startup_peak_rss_kib", statusKib("VmHWM"));
    const TreeMemory atStartMemory = treeMemory();
    print("startup_tree_uss_kib", atStartMemory.ussKib);
    print("startup_tree_pss_kib", atStartMemory.pssKib);
    print("startup_tree_processes", atStartMemory.processes);
    if (options.mode == QLatin1String("startup"))
        return 0;

    // Ctrl+1: the filter of every dictionary, the synthetic one too.
    watchdog.setPhase("filter");
    const QString countBefore = count->text();
    frame->ChooseFilterByKey(Qt::Key_1);
    if (!waitFor([&] { return count->text() != countBefore && list->hitCount() > 100000; }, 60000)) {
        std::fprintf(stderr, "verbolix-bench: choosing every dictionary gave no long list\n");
        return 1;
    }
    waitForViewSettled(*frames, 0, 300, 30000);
    const int rows = list->hitCount();
    print("rows", rows);
    list->setFocus();
    idle(200);

    if (options.mode == QLatin1String("stop")) {
        // Mid-scroll: some screens, then the service stops while the key stays held; the key
        // repeats 25 times a second, and presses due while the window was blocked arrive
        // together when it returns, as the X server queues them. At the end the key goes up
        // and the service returns; nothing more is pressed.
        watchdog.setPhase("stop");
        pageDown(list, 50);
        if (options.servicePid <= 0) {
            std::fprintf(stderr, "verbolix-bench: stop needs --service-pid\n");
            return 1;
        }
        stalls->reset();
        const double stoppedMs = nowMs();
        const double returnMs = stoppedMs + options.stopSeconds * 1000.0;
        stoppedService.store(options.servicePid);
        ::kill(options.servicePid, SIGSTOP);
        watchdog.continueAt(options.servicePid, returnMs);
        int presses = 0;
        while (nowMs() < returnMs) {
            const int due = int((nowMs() - stoppedMs) / 40);
            while (presses < due && nowMs() < returnMs) {
                sendKey(list, QEvent::KeyPress, Qt::Key_PageDown, presses > 0);
                list->viewport()->update();
                ++presses;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        sendKey(list, QEvent::KeyRelease, Qt::Key_PageDown, false);
        print("stop_presses", presses);
        // The stop's figure covers the stop and its aftermath until the rows are filled.
        const bool filled = waitFor(
            [&] {
                const double back = watchdog.continuedAtMs.load();
                return back >= 0 && stalls->excluded([list] { return unfilledVisibleRows(list); }) == 0;
            },
            30000 + options.stopSeconds * 1000);
        const double back = watchdog.continuedAtMs.load();
        printMs("stop_stall_ms", stalls->longestMs());
        printMs("stop_blocked_after_ms", back >= 0 ? back - returnMs : -1);
        if (filled)
            printMs("stop_refill_ms", nowMs() - back);
        else
            print("stop_refill_over_s", 30);
        print("stop_unfilled_rows", unfilledVisibleRows(list));
        if (!options.saveImage.isEmpty() &&
            list->window()->backingStore()->paintDevice()->devType() == QInternal::Image)
            static_cast<QImage*>(list->window()->backingStore()->paintDevice())->save(options.saveImage);
        return 0;
    }

    print("first_page_rss_kib", statusKib("VmRSS"));
    const ServiceStats beforeScroll = serviceStats();

    // Page Down held from the top to the bottom (or for the given presses): the selection
    // moves, rows are drawn, no entry is fetched until the key goes up.
    watchdog.setPhase("page-down");
    stalls->reset();
    const int topBefore = list->currentIndex().row();
    const PagingResult paging = pageDown(list, options.presses);
    const double pagingStall = stalls->longestMs();
    const std::pair<int, int> stallPress = paging.pressAt(stalls->longestEndedMs());
    idle(50);
    const ServiceStats afterScroll = serviceStats();
    print("page_down_presses", paging.presses);
    print("page_down_rows", list->currentIndex().row() - qMax(0, topBefore));
    printMs("page_down_ms", paging.ms);
    printMs("page_down_stall_ms", pagingStall);
    // Where it happened, to trace a long one: the press it ended in and the row before it.
    print("page_down_stall_press", stallPress.first);
    print("page_down_stall_row", stallPress.second);
    printMs("page_down_slowest_key_ms", paging.slowestKeyMs);
    printMs("page_down_slowest_repaint_ms", paging.slowestRepaintMs);
    printMs("page_down_slowest_events_ms", paging.slowestEventsMs);
    print("scroll_requests", afterScroll.requests - beforeScroll.requests);
    print("scroll_connections", afterScroll.connections - beforeScroll.connections);
    print("scroll_rss_kib", statusKib("VmRSS"));
    print("scroll_peak_rss_kib", statusKib("VmHWM"));

    // Home and End show their entry at once, so the jump costs its page and one entry each.
    watchdog.setPhase("end-home");
    stalls->reset();
    for (const int key : {int(Qt::Key_Home), int(Qt::Key_End), int(Qt::Key_Home)}) {
        sendKey(list, QEvent::KeyPress, key, false);
        list->viewport()->repaint();
        sendKey(list, QEvent::KeyRelease, key, false);
        QCoreApplication::processEvents();
        // End after paging to the bottom shows the entry already there: no new frame.
        waitForViewSettled(*frames, nowMs(), 200, 3000);
    }
    printMs("jump_stall_ms", stalls->longestMs());
    const ServiceStats afterJump = serviceStats();
    print("jump_requests", afterJump.requests - afterScroll.requests);
    print("jump_connections", afterJump.connections - afterScroll.connections);
    print("jump_rss_kib", statusKib("VmRSS"));
    print("jump_peak_rss_kib", statusKib("VmHWM"));

    // Enter on each word: search, best row, entry, page. Timed from the key to the last frame
    // of the entry view before it rests, and to the last paint of the list or the count;
    // the entry must differ from the one before.
    watchdog.setPhase("enter");
    VnosnoOknoIztocnica* box = frame->headwordBox();
    Paints listPaints(list->viewport());
    Paints countPaints(count);
    for (const QString& word : options.words) {
        box->setFocus();
        box->setText(word);
        idle(300);
        const QImage before = grabbed(frame->entryView());
        stalls->reset();
        const double pressed = nowMs();
        QTest::keyClick(box, Qt::Key_Return);
        const double returned = nowMs();
        const double drawn = waitForEntryDrawn(*frames, frame->entryView(), pressed, 300, 10000, &before);
        const double stall = stalls->longestMs();
        if (drawn < 0) {
            std::fprintf(stderr, "verbolix-bench: Enter on %s drew no new entry\n", qPrintable(word));
            print("enter_over_s", 10);
            continue;
        }
        printMs("enter_key_returned_ms", returned - pressed);
        printMs("enter_first_frame_ms", frames->firstFrameAfter(pressed) - pressed);
        printMs("enter_entry_drawn_ms", drawn - pressed);
        const double listDrawn = listPaints.lastMs() >= pressed ? listPaints.lastMs() : pressed;
        const double countDrawn = countPaints.lastMs() >= pressed ? countPaints.lastMs() : pressed;
        printMs("enter_settled_ms", std::max({drawn, listDrawn, countDrawn}) - pressed);
        printMs("enter_stall_ms", stall);
    }
    const TreeMemory atEnd = treeMemory();
    print("end_tree_uss_kib", atEnd.ussKib);
    print("end_tree_pss_kib", atEnd.pssKib);
    print("end_tree_processes", atEnd.processes);
    return 0;
}
