#include "core/common/StartupTrace.h"

namespace core {

namespace {
std::vector<std::string>& Trace()
{
    static std::vector<std::string> trace;
    return trace;
}
} // namespace

void TraceStartup(std::string step) { Trace().push_back(std::move(step)); }
const std::vector<std::string>& StartupTrace() { return Trace(); }
void ClearStartupTrace() { Trace().clear(); }

} // namespace core
