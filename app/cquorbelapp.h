#pragma once

#include "app/singleinstance.h"

#include <QApplication>
#include <memory>

class CMainFrame;

// The application object: Slovenian locale, the application's names for the settings
// store, and the one main window.
class CQuorbelApp : public QApplication
{
    Q_OBJECT
public:
    CQuorbelApp(int& argc, char** argv);
    ~CQuorbelApp() override;

    // Before the application object exists: what the embedded browser needs to know early.
    static void PrepareProcess();
    // Builds and shows the main window, which looks up the request's word first when it
    // names one; 0 on success, otherwise the exit code.
    int InitInstance(const LaunchRequest& request = {});
    CMainFrame* mainFrame() const { return m_frame.get(); }
    // What another start of the program asked for.
    void HandleLaunchRequest(const LaunchRequest& request);

private:
    std::unique_ptr<CMainFrame> m_frame;
};
