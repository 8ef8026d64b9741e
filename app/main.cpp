#include "app/cquorbelapp.h"
#include "app/localservice.h"

int main(int argc, char** argv)
{
    CQuorbelApp::PrepareProcess();
    CQuorbelApp app(argc, argv);
    // Declared after the application so that the service stops before the application goes.
    LocalService localService;
    localService.startIfNeeded();
    const int result = app.InitInstance();
    if (result != 0)
        return result;
    return app.exec();
}
