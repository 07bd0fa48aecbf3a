#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

// A property that must hold for every input; a violation is a crash the fuzzer keeps.
#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, \
                         #condition);                                                  \
            std::abort();                                                              \
        }                                                                              \
    } while (0)

// A MAC as apctl hands it on: 12 upper-case hexadecimal digits.
inline bool IsUpperHex12(const std::string& text) {
    if (text.size() != 12) {
        return false;
    }
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}
