#pragma once
// For the tests and benchmarks of Replace all: the match-by-match path
// instead of the one-pass rebuild, to compare the two on the same text.

namespace edt {

void SetReplaceAllStepwise(bool on);
bool ReplaceAllStepwise();

} // namespace edt
