#include "framework/RunBlocking.h"

void RunBlocking(const std::function<void()>& work) {
    // For now the work runs on the user-interface thread, which takes no input meanwhile.
    work();
}
