#pragma once
// The start-up trace: the names of the start-up steps in the order they
// ran.  The application object and the windows it creates append to it;
// tests read it.

#include <string>
#include <vector>

namespace core {

void TraceStartup(std::string step);
const std::vector<std::string>& StartupTrace();
void ClearStartupTrace();

} // namespace core
