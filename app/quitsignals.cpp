#include "app/quitsignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int quitPipe[2] = {-1, -1};
volatile std::sig_atomic_t lastSignal = 0;

void onQuitSignal(int signal)
{
    lastSignal = signal;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(quitPipe[0], &byte, 1);
}
} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, quitPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(quitPipe[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] const auto got = ::read(quitPipe[1], &byte, 1);
        emit quitRequested();
    });
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        std::signal(signal, onQuitSignal);
}

QuitSignals::~QuitSignals()
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        std::signal(signal, SIG_DFL);
}

bool QuitSignals::received()
{
    return lastSignal != 0;
}

int QuitSignals::exitCode()
{
    return 128 + int(lastSignal);
}
