// Watches the pixels of an X screen from outside a program, for scripts/bench --peers: a
// program without hooks (a peer dictionary) and ours are timed the same way.
//   verbolix-xwatch window PID TIMEOUT_MS
//       waits for a mapped top-level window of process PID at least 200x150 big and prints
//       "window ID X Y W H" of the biggest
//   verbolix-xwatch settle [--region X Y W H] [--key KEYSYM | --since EPOCH_MS]
//                          [--quiet-ms Q] [--timeout-ms T] [--poll-ms P]
//                          [--window-of PID MIN_W MIN_H]
//       polls the region (default: the whole screen) until it has not changed for Q ms and
//       prints "first_change_ms", "last_change_ms" and "changes", times after the moment
//       the key was pressed (sent here through XTest, so that time is exact) or after
//       EPOCH_MS; "settled 0" when it did not settle within T ms. With --window-of, the
//       screen counts as settled only once process PID has a window at least MIN_W x MIN_H
//       mapped: a splash window alone is not the program ready.
// A change no wider than 4 pixels and no taller than 40 is taken for the text caret blinking
// and ignored: programs blink it forever, so the screen would never settle.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long long epochMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long windowPid(Display* display, Window window)
{
    static const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
    if (pidAtom == None)
        return -1;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data && count == 1 && format == 32)
        pid = long(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    return pid;
}

// Depth-first over the tree (window managers put clients inside frames of their own); the
// biggest of the process's windows, so that a splash window is not taken for the main one.
void findWindow(Display* display, Window parent, long pid, Window& best, long& bestArea)
{
    Window root, parentOut;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &parentOut, &children, &count))
        return;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes) || attributes.map_state != IsViewable)
            continue;
        const long area = long(attributes.width) * attributes.height;
        if (windowPid(display, children[i]) == pid && attributes.width >= 200 && attributes.height >= 150) {
            if (area > bestArea) {
                best = children[i];
                bestArea = area;
            }
        } else {
            findWindow(display, children[i], pid, best, bestArea);
        }
    }
    if (children)
        XFree(children);
}

int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

int commandWindow(Display* display, long pid, int timeoutMs)
{
    XSetErrorHandler(ignoreErrors);
    const Clock::time_point start = Clock::now();
    while (msSince(start) < timeoutMs) {
        Window window = None;
        long area = 0;
        findWindow(display, DefaultRootWindow(display), pid, window, area);
        if (window != None) {
            XWindowAttributes attributes;
            XGetWindowAttributes(display, window, &attributes);
            int x = 0, y = 0;
            Window child;
            XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
            std::printf("window %lu %d %d %d %d\n", window, x, y, attributes.width, attributes.height);
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::printf("window none\n");
    return 1;
}

struct Grabber
{
    Display* display;
    XImage* image = nullptr;
    XShmSegmentInfo shm{};
    int x, y, width, height;

    Grabber(Display* d, int rx, int ry, int w, int h) : display(d), x(rx), y(ry), width(w), height(h)
    {
        const int screen = DefaultScreen(display);
        image =
            XShmCreateImage(display, DefaultVisual(display, screen), unsigned(DefaultDepth(display, screen)),
                            ZPixmap, nullptr, &shm, unsigned(width), unsigned(height));
        shm.shmid = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * size_t(height), IPC_CREAT | 0600);
        shm.shmaddr = image->data = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
        shm.readOnly = False;
        XShmAttach(display, &shm);
        XSync(display, False);
        // Marked for removal now, so that it goes even if this process is killed.
        shmctl(shm.shmid, IPC_RMID, nullptr);
    }
    ~Grabber()
    {
        XShmDetach(display, &shm);
        XDestroyImage(image);
        shmdt(shm.shmaddr);
    }
    void grab(std::vector<char>& out)
    {
        XShmGetImage(display, DefaultRootWindow(display), image, x, y, AllPlanes);
        const size_t size = size_t(image->bytes_per_line) * size_t(height);
        out.assign(image->data, image->data + size);
    }
};

// Whether a and b differ by more than a caret's blink.
bool changed(const std::vector<char>& a, const std::vector<char>& b, int bytesPerLine, int height)
{
    if (a.size() != b.size())
        return true;
    int top = -1, bottom = -1, left = bytesPerLine, right = -1;
    for (int row = 0; row < height; ++row) {
        const char* pa = a.data() + size_t(row) * size_t(bytesPerLine);
        const char* pb = b.data() + size_t(row) * size_t(bytesPerLine);
        if (std::memcmp(pa, pb, size_t(bytesPerLine)) == 0)
            continue;
        if (top < 0)
            top = row;
        bottom = row;
        int first = 0;
        while (pa[first] == pb[first])
            ++first;
        int last = bytesPerLine - 1;
        while (pa[last] == pb[last])
            --last;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    if (top < 0)
        return false;
    const int widthPixels = (right - left) / 4 + 1;
    return widthPixels > 4 || bottom - top + 1 > 40;
}

int commandSettle(Display* display, int argc, char** argv)
{
    const int screen = DefaultScreen(display);
    int x = 0, y = 0, width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
    std::string key;
    long long since = 0;
    int quietMs = 300, timeoutMs = 10000, pollMs = 1;
    long windowPidWanted = 0;
    int minWidth = 0, minHeight = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string name = argv[i];
        auto next = [&] { return i + 1 < argc ? argv[++i] : (std::exit(2), ""); };
        if (name == "--region") {
            x = std::atoi(next());
            y = std::atoi(next());
            width = std::atoi(next());
            height = std::atoi(next());
        } else if (name == "--key")
            key = next();
        else if (name == "--since")
            since = std::atoll(next());
        else if (name == "--quiet-ms")
            quietMs = std::atoi(next());
        else if (name == "--timeout-ms")
            timeoutMs = std::atoi(next());
        else if (name == "--poll-ms")
            pollMs = std::atoi(next());
        else if (name == "--window-of") {
            windowPidWanted = std::atol(next());
            minWidth = std::atoi(next());
            minHeight = std::atoi(next());
        } else {
            std::fprintf(stderr, "verbolix-xwatch: unknown option %s\n", name.c_str());
            return 2;
        }
    }
    // Clipped to the screen: a window may reach past its edge.
    width = std::min(width, DisplayWidth(display, screen) - x);
    height = std::min(height, DisplayHeight(display, screen) - y);
    if (x < 0 || y < 0 || width <= 0 || height <= 0) {
        std::fprintf(stderr, "verbolix-xwatch: region off the screen\n");
        return 2;
    }
    Grabber grabber(display, x, y, width, height);
    std::vector<char> previous, current;
    grabber.grab(previous);

    Clock::time_point start = Clock::now();
    if (!key.empty()) {
        const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(key.c_str()));
        if (code == 0) {
            std::fprintf(stderr, "verbolix-xwatch: no key %s\n", key.c_str());
            return 2;
        }
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XSync(display, False);
        start = Clock::now();
    } else if (since > 0) {
        start -= std::chrono::milliseconds(epochMs() - since);
    }

    double first = -1, last = -1;
    int changes = 0;
    bool windowSeen = windowPidWanted == 0;
    double windowCheckedMs = -100;
    if (!windowSeen)
        XSetErrorHandler(ignoreErrors);
    const double bound = msSince(start) + timeoutMs;
    while (true) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
        grabber.grab(current);
        const double now = msSince(start);
        if (changed(previous, current, grabber.image->bytes_per_line, height)) {
            if (first < 0)
                first = now;
            last = now;
            ++changes;
            previous.swap(current);
        }
        if (!windowSeen && now - windowCheckedMs >= 20) {
            windowCheckedMs = now;
            Window window = None;
            long area = 0;
            findWindow(display, DefaultRootWindow(display), windowPidWanted, window, area);
            XWindowAttributes attributes;
            windowSeen = window != None && XGetWindowAttributes(display, window, &attributes) &&
                         attributes.width >= minWidth && attributes.height >= minHeight;
        }
        if (windowSeen && last >= 0 && now - last >= quietMs) {
            std::printf("settled 1\nfirst_change_ms %.1f\nlast_change_ms %.1f\nchanges %d\n", first, last,
                        changes);
            return 0;
        }
        if (now >= bound) {
            std::printf("settled 0\nfirst_change_ms %.1f\nlast_change_ms %.1f\nchanges %d\n", first, last,
                        changes);
            return 1;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "verbolix-xwatch: cannot open the display\n");
        return 2;
    }
    int result = 2;
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "window" && argc == 4)
        result = commandWindow(display, std::atol(argv[2]), std::atoi(argv[3]));
    else if (command == "settle" && XShmQueryExtension(display))
        result = commandSettle(display, argc, argv);
    else
        std::fprintf(stderr, "usage: verbolix-xwatch window PID TIMEOUT_MS | settle [options]\n");
    XCloseDisplay(display);
    return result;
}
