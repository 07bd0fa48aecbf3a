#include "app/AccessPointApp.h"
#include "app/UrlOpener.h"
#include "net/PosixSocketLayer.h"
#include "resources/RegisterResources.h"

// The one application object, constructed before the entry point runs.
CAccessPointApp theApp;

int main(int argc, char* argv[]) {
    RegisterResources();
    net::PosixSocketLayer socketLayer;
    net::InstallSocketLayer(&socketLayer);
    XdgOpenUrlOpener urlOpener;
    InstallUrlOpener(&urlOpener);
    const int status = AfxWinMain(argc, argv);
    InstallUrlOpener(nullptr);
    net::InstallSocketLayer(nullptr);
    return status;
}
