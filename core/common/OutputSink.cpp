#include "core/common/OutputSink.h"

namespace core {

OutputSink::~OutputSink() = default;

} // namespace core
