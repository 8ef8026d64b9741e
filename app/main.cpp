#include "app/cquorbelapp.h"
#include "app/localservice.h"
#include "app/singleinstance.h"

int main(int argc, char** argv)
{
    CQuorbelApp::PrepareProcess();
    CQuorbelApp app(argc, argv);
    // One window per session: a later start hands its word to the running one and ends.
    const LaunchRequest request = LaunchRequest::fromArguments(app.arguments().mid(1));
    SingleInstance instance;
    if (instance.handOver(request))
        return 0;
    instance.listen();
    // Declared after the application so that the service stops before the application goes.
    LocalService localService;
    localService.startIfNeeded();
    QObject::connect(&instance, &SingleInstance::requestReceived, &app, &CQuorbelApp::HandleLaunchRequest);
    const int result = app.InitInstance(request);
    if (result != 0)
        return result;
    return app.exec();
}
