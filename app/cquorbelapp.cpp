#include "app/cquorbelapp.h"

#include "app/cmainframe.h"
#include "ui/search/entryschemehandler.h"

#include <QIcon>
#include <QLocale>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int quitPipe[2] = {-1, -1};

void onQuitSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(quitPipe[0], &byte, 1);
}
} // namespace

CQuorbelApp::CQuorbelApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Verbolix"));
    setApplicationDisplayName(QStringLiteral("Verbolix"));
    setOrganizationName(QStringLiteral("Dravik"));
    setApplicationVersion(QStringLiteral("2.0.0.0"));
    setDesktopFileName(QStringLiteral("si.verbolix.Verbolix")); // the installed .desktop file
    setWindowIcon(QIcon(QStringLiteral(":/icons/verbolix.svg")));
    QLocale::setDefault(QLocale(QLocale::Slovenian, QLocale::Slovenia));

    // Ended by a signal, the program still ends through the event loop, so that the main
    // window and its temporary files go properly.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, quitPipe) == 0) {
        auto* notifier = new QSocketNotifier(quitPipe[1], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [] {
            char byte;
            [[maybe_unused]] const auto got = ::read(quitPipe[1], &byte, 1);
            QCoreApplication::quit();
        });
        for (const int signal : {SIGTERM, SIGINT, SIGHUP})
            std::signal(signal, onQuitSignal);
    }
}

CQuorbelApp::~CQuorbelApp()
{
    m_frame.reset();
}

void CQuorbelApp::PrepareProcess()
{
    // The browser's sandbox refuses to run as root; a root session still gets its window.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // Entries are small pages without scripts: one renderer process does for the whole run,
    // and software drawing keeps the browser from setting up GL (less memory, no slower). The
    // user's own flags come after ours, so that they win where they differ.
    const QByteArray ours = QByteArrayLiteral("--renderer-process-limit=1 --disable-gpu");
    const QByteArray user = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").trimmed();
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", user.isEmpty() ? ours : ours + ' ' + user);
    EntrySchemeHandler::RegisterScheme();
}

int CQuorbelApp::InitInstance()
{
    m_frame = std::make_unique<CMainFrame>();
    const int result = m_frame->Create();
    if (result != 0)
        return result;
    m_frame->show();
    return 0;
}
