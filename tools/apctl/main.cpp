#include <iostream>
#include <string>
#include <vector>

#include "net/PosixSocketLayer.h"
#include "tools/apctl/ApctlRun.h"

int main(int argc, char** argv) {
    net::PosixSocketLayer layer;
    net::InstallSocketLayer(&layer);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const int status = apctl::Run(arguments, std::cout, std::cerr);
    net::InstallSocketLayer(nullptr);
    return status;
}
