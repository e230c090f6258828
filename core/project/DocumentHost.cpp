#include "core/project/DocumentHost.h"

namespace core {

DocumentHost::~DocumentHost() = default;

} // namespace core
