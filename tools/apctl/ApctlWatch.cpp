#include "tools/apctl/ApctlWatch.h"

namespace apctl {
// PLACEHOLDER-WATCH: replaced by the watch implementation before landing.
int Watch(const Command&, const ExchangeOptions&, const RunContext&, std::ostream&,
          std::ostream& err) {
    err << "apctl: watch is not built yet\n";
    return kExitFailed;
}
}  // namespace apctl
