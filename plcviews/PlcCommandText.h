#pragma once
// The widget-free texts of the PLC command dialog: the result text of a
// reply from its kind, status and data, and the pieces it is made of.  The
// reply data are read within their length only (bytes beyond it read as
// zero; a text field beyond it is empty).

#include <cstdint>
#include <string>

namespace compout {
class CListingFile;
}

namespace plccmd {

// Reply kinds of the PLC requests.
enum Kind : uint8_t {
    kStatus = 0,
    kInfo = 1,
    kTransfer = 2,
    kClear = 3,
    kSleep = 4,
    kWake = 5,
    kRun = 6,
    kStop = 7,
    kBreak = 8,
    kStep = 9,
    kBackup = 10,
    kBreakpoints = 12,
    kInfoEx = 30,
};

// The result text of one reply; empty when the dialog has nothing to show
// (a successful command, a kind without text, an extended information
// request that the control system does not know).
std::u16string ResultText(uint8_t kind, int8_t status, const void* data, uint32_t length,
                          const compout::CListingFile* listing);

// The parts: status (kind 0), basic information (kind 1), extended
// information (kind 30), and the failure text (header and status text).
std::u16string StatusText(const void* data, uint32_t length, const compout::CListingFile* listing);
std::u16string InfoText(const void* data, uint32_t length);
std::u16string InfoExText(const void* data, uint32_t length);
std::u16string FailureText(uint8_t kind, int8_t status);
// The request's name of a command that changes the control system
// ("RunPLC"); null for the others.
const char16_t* CommandName(uint8_t kind);
// For such a command that the link ended without its reply (reset, closed,
// unanswered): the control system may have carried it out, and the text
// says so; empty otherwise.
std::u16string FateUnknownText(uint8_t kind, int8_t status);
// The string id of a kind's failure header; 0 when the kind has none.
unsigned FailureHeader(uint8_t kind);

// A zero-terminated 8-bit text of the reply at offset, read within length.
// With a limit the text ends at the zero or after `limit` bytes; without
// one (0) a text whose zero is not inside the reply is empty.
std::string TextAt(const uint8_t* data, uint32_t length, uint32_t offset, uint32_t limit = 0);

} // namespace plccmd
