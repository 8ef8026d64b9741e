#include "cquorbelapp.h"

#include "cmainframe.h"
#include "entryschemehandler.h"

#include <QIcon>
#include <QLocale>
#include <unistd.h>

CQuorbelApp::CQuorbelApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Verbolix"));
    setApplicationDisplayName(QStringLiteral("Verbolix"));
    setOrganizationName(QStringLiteral("Dravik"));
    setApplicationVersion(QStringLiteral("2.0.0.0"));
    setDesktopFileName(QStringLiteral("si.verbolix.Verbolix")); // the installed .desktop file
    setWindowIcon(QIcon(QStringLiteral(":/icons/verbolix.svg")));
    QLocale::setDefault(QLocale(QLocale::Slovenian, QLocale::Slovenia));
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
