#include "app/AccessPointApp.h"
#include "net/PosixSocketLayer.h"

// The one application object, constructed before the entry point runs.
CAccessPointApp theApp;

int main(int argc, char* argv[]) {
    net::PosixSocketLayer socketLayer;
    net::InstallSocketLayer(&socketLayer);
    const int status = AfxWinMain(argc, argv);
    net::InstallSocketLayer(nullptr);
    return status;
}
