#pragma once

#include <string>

namespace apsim {

// True when this process runs in one of the lab's network namespaces (those `ip netns` names
// apmlab-*). Anything that sends on port 34442 checks this first: the machine's own namespace
// has real interfaces, and nothing may ever go out on them. When false, `why` says so.
bool InLabNamespace(std::string* why);

}  // namespace apsim
