// Writes apctl's bash, zsh or fish completion from the table of commands and options; run by the
// build, never installed.
//   apctl-completions bash|zsh|fish OUTPUT
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/apctl/ShellCompletion.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: apctl-completions bash|zsh|fish OUTPUT\n";
        return 2;
    }
    const std::string shell = argv[1];
    std::string text;
    if (shell == "bash") {
        text = apctl::BashCompletion();
    } else if (shell == "zsh") {
        text = apctl::ZshCompletion();
    } else if (shell == "fish") {
        text = apctl::FishCompletion();
    } else {
        std::cerr << "apctl-completions: unknown shell " << shell << "\n";
        return 2;
    }
    std::ofstream out(argv[2], std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
