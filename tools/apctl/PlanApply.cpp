#include "tools/apctl/PlanApply.h"

namespace apctl {
// PLACEHOLDER-APPLY: replaced by the apply implementation before landing.
bool ParsePlan(std::istream&, const std::string&, Plan*, std::vector<std::string>* errors) {
    errors->push_back("apply is not built yet");
    return false;
}
bool ReadPlanFile(const std::string&, Plan*, std::ostream& err) {
    err << "apctl: apply is not built yet\n";
    return false;
}
void PrintDryRun(const Command&, const Plan&, std::ostream&) {}
int ApplyPlan(const Command&, const Plan&, const ExchangeOptions&, const RunContext&, std::ostream&,
              std::ostream&) {
    return kExitFailed;
}
}  // namespace apctl
