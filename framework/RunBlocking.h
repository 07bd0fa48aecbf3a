#pragma once

#include <functional>

// Runs a long blocking operation (a discovery, a configuration exchange) for the user
// interface and returns when it has finished. Every such call goes through here, so that how
// the interface waits for it is decided in one place.
void RunBlocking(const std::function<void()>& work);
