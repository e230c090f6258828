#pragma once
// What the fuzz targets share besides the mutation engine: a check that
// stops the run with a message (libFuzzer keeps the input, the mutation
// run writes it out), and a scratch folder for the readers that take a
// path.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzzsupport {

// Prints "check failed: what" and aborts.
[[noreturn]] void Fail(const char* file, int line, std::string_view what);

// A folder of its own for the process, made on first use and removed with
// everything in it when the process ends normally.
const std::string& ScratchFolder();
// Writes bytes to a file of the scratch folder and returns its path.
std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size);
std::string WriteScratchFile(const std::string& name, std::string_view bytes);

} // namespace fuzzsupport

#define FUZZ_CHECK(cond, what)                                                                     \
    ((cond) ? (void)0 : ::fuzzsupport::Fail(__FILE__, __LINE__, what))
