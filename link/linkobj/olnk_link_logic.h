#pragma once
// The pure pieces of the link object: the watch, mechanism, line and
// breakpoint lists with their request blocks, the pairing of pushed data
// with the latest list sent, the reads of pushed values, the validation of
// callers' blocks and the conversion of the wire file information.  No
// threads, no session: tested directly.

#include "link/linkobj/olnk_link.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace linkobj {

using Bytes = std::vector<uint8_t>;

constexpr size_t kMaxListEntries = 512; // mechanism and line lists
// The watch list: one entry per watched row of the watch view, whose
// plaques may hold several hundred variables (merged, the ranges sent stay
// at most kMaxWatchSent).
constexpr size_t kMaxWatchEntries = 4096;
constexpr size_t kMaxWatchSent = 126;   // merged watch entries sent
constexpr size_t kMaxListSent = 168;    // mechanisms and lines sent
constexpr size_t kMaxBreakpoints = 253;
constexpr uint32_t kMaxMergedLength = 65535;

struct WatchEntry
{
    uint16_t area = 0;
    uint32_t address = 0;
    uint32_t length = 0;
    bool operator==(const WatchEntry&) const = default;
};
struct MechEntry
{
    uint32_t address = 0;
    uint16_t number = 0;
    bool operator==(const MechEntry&) const = default;
};

// Multisets kept sorted (watch: area, address, length; mechanisms: address,
// number; lines: index).  Insert fails when the list holds kMaxWatchEntries
// (watch) or kMaxListEntries (mechanisms, lines).
bool InsertWatch(std::vector<WatchEntry>& list, const WatchEntry& e);
bool RemoveWatch(std::vector<WatchEntry>& list, const WatchEntry& e);
bool InsertMech(std::vector<MechEntry>& list, const MechEntry& e);
bool RemoveMech(std::vector<MechEntry>& list, const MechEntry& e);
bool InsertLine(std::vector<uint32_t>& list, uint32_t index);
bool RemoveLine(std::vector<uint32_t>& list, uint32_t index);

// Entries of one area whose ranges touch or overlap become one range
// covering both, never longer than 65 535 bytes.  Input sorted.
std::vector<WatchEntry> MergeWatch(const std::vector<WatchEntry>& sorted);
// {u16 6 + 8n, u16 period, u16 n, n x {u32 address, u16 area, u16 length}}
// of the first 126 merged entries; the period clamped to 65 535.
Bytes WatchBlock(const std::vector<WatchEntry>& merged, uint32_t periodMs);
// The distinct entries of a sorted multiset.
std::vector<MechEntry> DistinctMech(const std::vector<MechEntry>& sorted);
std::vector<uint32_t> DistinctLines(const std::vector<uint32_t>& sorted);
// {u16 6 + 6n, u16 period, u16 n, n x {u32 address, u16 number}}, first 168.
Bytes MechBlock(const std::vector<MechEntry>& distinct, uint32_t periodMs);
// {u16 6 + 4n, u16 period, u16 n, n x u32 index}, first 168.
Bytes LineBlock(const std::vector<uint32_t>& distinct, uint32_t periodMs);
// {u16 4 + 4n, u16 n, n x u32 index}.
Bytes BreakpointBlock(const std::set<uint32_t>& set);

// ---- Validation of callers' blocks (false: refused with 0xE0020003) ---------
bool ParseBreakpointBlock(const void* block, std::vector<uint32_t>& indices);
bool ValidGetVar(const void* record);
bool ValidSetVar(const void* record);
bool ValidGetMech(const void* record);
bool ValidSetMech(const void* record);
bool ValidGetRegsOnLine(const void* record);
uint16_t BlockLength(const void* block);

// Whether a request changes the control system (its program, state, memory,
// breakpoints, watch lists or files) rather than only reading it.  Such a
// request is refused while the link is not established: the channel would
// hold it and hand it to whichever control system answers next.
// transfer: a file-transfer request (OXFR_CODE_*), else a PLC request code.
bool ChangesControlSystem(bool transfer, uint8_t code);

// ---- The latest list sent and the pushes that belong to it ----------------
struct PushState
{
    bool sent = false;      // a request of this list was accepted
    uint32_t param = 0;     // its slot number on the wire
    bool statusHeld = false;
    int8_t status = 0;      // the status of its reply
    bool pushHeld = false;
    Bytes push;             // the latest push of its parameter
    int8_t quiet = 0;       // below 0: no push since the control system fell silent

    void Sent(uint32_t wireParam);
    // True (and stored) when the reply belongs to the latest request.
    bool Reply(uint32_t wireParam, int8_t replyStatus);
    // True (and stored) when the push belongs to the latest request.
    bool Push(uint32_t wireParam, const uint8_t* data, size_t length);
    // The link was lost: what was pushed is no longer current, and the
    // reads answer `lostStatus` until a new request of the list is sent.
    void Lost(int8_t lostStatus);
    // The control system fell silent: what was pushed is no longer
    // current, and the reads answer `quietStatus` where they would find the
    // push, until the next push of the latest request (or a new request).
    void Quiet(int8_t quietStatus);
};

// The local reads, in the documented order of checks.
int8_t ReadWatchValue(const std::vector<WatchEntry>& list, const std::vector<WatchEntry>& mergedSent,
                      const PushState& st, uint16_t area, uint32_t address, uint32_t count,
                      void* out, uint32_t outSize);
int8_t ReadMechState(const std::vector<MechEntry>& list, const std::vector<MechEntry>& distinctSent,
                     const PushState& st, uint16_t number, uint32_t address, MechStateRecord* out);
int8_t ReadLineRegs(const std::vector<uint32_t>& list, const std::vector<uint32_t>& distinctSent,
                    const PushState& st, uint32_t index, LineRegsRecord* out);

// ---- Names that came from the control system ------------------------------------

// The longest name a FileListRecord holds (its name field less the zero).
constexpr size_t kMaxRemoteName = 255;
// Marks the end of a name that ConvertFileInfo had to cut: a control
// character, so that IsPlainRemoteName refuses the cut name.
constexpr char16_t kCutNameMark = u'\x1A';

// True when a name received from the control system (a listing record, a
// file-information record, a name picked in a remote list) is one plain
// name that may be joined onto a folder: not empty, not "." or "..", no
// separator ("/" or "\\"), no ":" (a drive prefix), no control character
// (below 0x20, the zero byte included, or DEL 0x7F) and at most
// kMaxRemoteName characters.
// Every place where such a name becomes a path asks this first.
bool IsPlainRemoteName(std::u16string_view name);
// The name for display and error lines: every character below 0x20 (and
// DEL) shown as "?".
std::u16string VisibleRemoteName(std::u16string_view name);

// The wire information record {u16 length (name + 29), u32 flag, u16 time,
// u16 date, u32 size, 14-byte short name, name} as a FileListRecord; false
// when malformed (length below 29 or beyond the data, a name without its
// zero).  A name longer than kMaxRemoteName characters keeps its first
// kMaxRemoteName - 1 and ends with kCutNameMark.
bool ConvertFileInfo(const uint8_t* data, size_t length, FileListRecord& out);

// The listing file of a listing job: u32 total length (equal to the file
// size), u16 record count, then the records, each converted with
// ConvertFileInfo.  A record is bad when its length is below 29, when it
// reaches beyond the file or when its name has no zero byte inside it; the
// count must fit the file.  Records read before a failure stay in `records`
// (which is appended to).
enum class ListingResult
{
    Ok,
    CannotOpen,
    BadHeader,
    BadRecord,
};
ListingResult ReadListingFile(const std::string& nativePath, std::vector<FileListRecord>& records);

} // namespace linkobj
