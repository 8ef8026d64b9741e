#include "app/cquorbelapp.h"

#include "app/cmainframe.h"
#include "app/qttranslations.h"
#include "app/quitsignals.h"
#include "app/singleinstance.h"
#include "app/x11desktop.h"
#include "ui/search/cquorbelview.h"
#include "ui/search/entryschemehandler.h"

#include <QDialog>
#include <QIcon>
#include <QLocale>
#include <unistd.h>

CQuorbelApp::CQuorbelApp(int& argc, char** argv) : QApplication(argc, argv)
{
    // No display name: the platform would append it to every window's title ("Nova verzija
    // — Verbolix"); where a display name is asked for, the application name stands in.
    setApplicationName(QStringLiteral("Verbolix"));
    setOrganizationName(QStringLiteral("Dravik"));
    setApplicationVersion(QStringLiteral("2.0.0.0"));
    setDesktopFileName(QStringLiteral("si.verbolix.Verbolix")); // the installed .desktop file
    setWindowIcon(QIcon(QStringLiteral(":/icons/verbolix.svg")));
    QLocale::setDefault(QLocale(QLocale::Slovenian, QLocale::Slovenia));
    installTranslator(new QtTranslations(this));

    connect(new QuitSignals(this), &QuitSignals::quitRequested, this, [this] {
        // A start-up dialog is ended here, and start-up then stops on QuitSignals::received().
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            auto* dialog = qobject_cast<QDialog*>(window);
            if (dialog && dialog->isVisible() && dialog->isModal())
                dialog->done(QDialog::Rejected);
        }
        // Ended while starting, the program says so in its exit code, as when killed.
        QCoreApplication::exit(m_frame && m_frame->startupDone() ? 0 : QuitSignals::exitCode());
    });
    // A held Enter or Down then reaches the widgets as presses and one real release.
    X11Desktop::enableDetectableAutoRepeat();
}

void CQuorbelApp::HandleLaunchRequest(const LaunchRequest& request)
{
    if (m_frame)
        m_frame->HandleLaunchRequest(request);
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
    CQuorbelView::ChooseRenderer();
    EntrySchemeHandler::RegisterScheme();
}

int CQuorbelApp::InitInstance(const LaunchRequest& request)
{
    m_frame = std::make_unique<CMainFrame>();
    m_frame->HandleLaunchRequest(request);
    // Start-up goes on in the event loop; an upgrade found there ends the program.
    connect(m_frame.get(), &CMainFrame::exitRequested, this, [](int code) { QCoreApplication::exit(code); });
    const int result = m_frame->Create();
    if (result != 0)
        return result;
    if (QuitSignals::received()) // while start-up blocked on the service
        return QuitSignals::exitCode();
    m_frame->show();
    return 0;
}
