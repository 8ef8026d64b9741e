#include "cquorbelapp.h"

int main(int argc, char** argv)
{
    CQuorbelApp::PrepareProcess();
    CQuorbelApp app(argc, argv);
    const int result = app.InitInstance();
    if (result != 0)
        return result;
    return app.exec();
}
