#include "link/linkobj/olnk_link_logic.h"

#include "platform/sys/CodePage.h"
#include "platform/sys/FileIO.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <tuple>

namespace linkobj {

namespace {

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
void Put16(Bytes& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
uint16_t Period(uint32_t ms) { return uint16_t(std::min<uint32_t>(ms, 65535)); }

auto WatchKey(const WatchEntry& e) { return std::make_tuple(e.area, e.address, e.length); }
auto MechKey(const MechEntry& e) { return std::make_tuple(e.address, e.number); }

template <class T, class Less>
bool InsertSorted(std::vector<T>& list, const T& e, Less less, size_t limit = kMaxListEntries)
{
    if (list.size() >= limit)
        return false;
    list.insert(std::upper_bound(list.begin(), list.end(), e, less), e);
    return true;
}
template <class T> std::vector<T> Distinct(const std::vector<T>& sorted)
{
    std::vector<T> out(sorted);
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}
template <class T> bool RemoveFirst(std::vector<T>& list, const T& e)
{
    auto it = std::find(list.begin(), list.end(), e);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}
void Copy(void* out, const uint8_t* p, size_t n)
{
    if (n)
        std::memcpy(out, p, n);
}
} // namespace

bool InsertWatch(std::vector<WatchEntry>& list, const WatchEntry& e)
{
    return InsertSorted(
        list, e, [](const WatchEntry& a, const WatchEntry& b) { return WatchKey(a) < WatchKey(b); }, kMaxWatchEntries);
}
bool RemoveWatch(std::vector<WatchEntry>& list, const WatchEntry& e) { return RemoveFirst(list, e); }
bool InsertMech(std::vector<MechEntry>& list, const MechEntry& e)
{
    return InsertSorted(list, e, [](const MechEntry& a, const MechEntry& b) { return MechKey(a) < MechKey(b); });
}
bool RemoveMech(std::vector<MechEntry>& list, const MechEntry& e) { return RemoveFirst(list, e); }
bool InsertLine(std::vector<uint32_t>& list, uint32_t index)
{
    return InsertSorted(list, index, std::less<uint32_t>());
}
bool RemoveLine(std::vector<uint32_t>& list, uint32_t index) { return RemoveFirst(list, index); }

std::vector<WatchEntry> MergeWatch(const std::vector<WatchEntry>& sorted)
{
    std::vector<WatchEntry> out;
    for (const WatchEntry& e : sorted) {
        if (!out.empty()) {
            WatchEntry& cur = out.back();
            const uint64_t curEnd = uint64_t(cur.address) + cur.length;
            const uint64_t end = std::max<uint64_t>(curEnd, uint64_t(e.address) + e.length);
            if (e.area == cur.area && e.address <= curEnd && end - cur.address <= kMaxMergedLength) {
                cur.length = uint32_t(end - cur.address);
                continue;
            }
        }
        out.push_back(e);
    }
    return out;
}

Bytes WatchBlock(const std::vector<WatchEntry>& merged, uint32_t periodMs)
{
    const size_t n = std::min(merged.size(), kMaxWatchSent);
    Bytes b;
    Put16(b, uint32_t(6 + 8 * n));
    Put16(b, Period(periodMs));
    Put16(b, uint32_t(n));
    for (size_t i = 0; i < n; ++i) {
        Put32(b, merged[i].address);
        Put16(b, merged[i].area);
        Put16(b, std::min<uint32_t>(merged[i].length, 65535));
    }
    return b;
}

std::vector<MechEntry> DistinctMech(const std::vector<MechEntry>& sorted) { return Distinct(sorted); }
std::vector<uint32_t> DistinctLines(const std::vector<uint32_t>& sorted) { return Distinct(sorted); }

Bytes MechBlock(const std::vector<MechEntry>& distinct, uint32_t periodMs)
{
    const size_t n = std::min(distinct.size(), kMaxListSent);
    Bytes b;
    Put16(b, uint32_t(6 + 6 * n));
    Put16(b, Period(periodMs));
    Put16(b, uint32_t(n));
    for (size_t i = 0; i < n; ++i) {
        Put32(b, distinct[i].address);
        Put16(b, distinct[i].number);
    }
    return b;
}

Bytes LineBlock(const std::vector<uint32_t>& distinct, uint32_t periodMs)
{
    const size_t n = std::min(distinct.size(), kMaxListSent);
    Bytes b;
    Put16(b, uint32_t(6 + 4 * n));
    Put16(b, Period(periodMs));
    Put16(b, uint32_t(n));
    for (size_t i = 0; i < n; ++i)
        Put32(b, distinct[i]);
    return b;
}

Bytes BreakpointBlock(const std::set<uint32_t>& set)
{
    Bytes b;
    Put16(b, uint32_t(4 + 4 * set.size()));
    Put16(b, uint32_t(set.size()));
    for (uint32_t i : set)
        Put32(b, i);
    return b;
}

uint16_t BlockLength(const void* block) { return block ? U16(static_cast<const uint8_t*>(block)) : 0; }

bool ParseBreakpointBlock(const void* block, std::vector<uint32_t>& indices)
{
    if (!block)
        return false;
    const auto* p = static_cast<const uint8_t*>(block);
    const uint16_t len = U16(p);
    if (len < 4)
        return false;
    const uint16_t n = U16(p + 2);
    if (n > kMaxBreakpoints || len != 4 + 4 * n)
        return false;
    indices.clear();
    for (uint16_t i = 0; i < n; ++i)
        indices.push_back(U32(p + 4 + 4 * i));
    return true;
}

bool ValidGetVar(const void* r) { return r && BlockLength(r) == 10; }

bool ValidSetVar(const void* r)
{
    if (!r)
        return false;
    const auto* p = static_cast<const uint8_t*>(r);
    const uint16_t len = U16(p);
    if (len < 11 || len > 18)
        return false;
    return U16(p + 8) == len - 10;
}

bool ValidGetMech(const void* r)
{
    if (!r)
        return false;
    const auto* p = static_cast<const uint8_t*>(r);
    const uint16_t n = U16(p + 4);
    return n >= 1 && n <= kMaxListSent && U16(p) == 6 + 6 * n;
}

bool ValidSetMech(const void* r) { return r && BlockLength(r) == 9; }

bool ValidGetRegsOnLine(const void* r)
{
    if (!r)
        return false;
    const auto* p = static_cast<const uint8_t*>(r);
    const uint16_t n = U16(p + 4);
    // The block form of a request holds at most 1016 bytes.
    return n >= 1 && 6 + 4 * uint32_t(n) <= 1016 && U16(p) == 6 + 4 * n;
}

bool ChangesControlSystem(bool transfer, uint8_t code)
{
    if (transfer)
        return code != OXFR_CODE_LIST && code != OXFR_CODE_GET && code != OXFR_CODE_INFO;
    switch (code) {
    case 0:  // status
    case 1:  // information
    case 22: // variable
    case 24: // mechanisms
    case 26: // registers
    case 29: // registers on lines
    case 30: // extended information
        return false;
    default:
        return true;
    }
}

} // namespace linkobj

bool OlnkChangesControlSystem(uint8_t kind, bool transfer) { return linkobj::ChangesControlSystem(transfer, kind); }

bool OlnkFateUnknown(uint8_t kind, int8_t status, bool transfer)
{
    return OlnkChangesControlSystem(kind, transfer) &&
           (status == OLNK_STATUS_LINK_RESET || status == OLNK_STATUS_LINK_CLOSED || status == OLNK_STATUS_NO_ANSWER);
}

bool OlnkResultFailed(uint8_t kind, int8_t status)
{
    return status < 0 || (status > 0 && kind >= 11 && kind <= 13);
}

namespace linkobj {

// ---- Pushes -------------------------------------------------------------------------

void PushState::Sent(uint32_t wireParam)
{
    sent = true;
    param = wireParam;
    statusHeld = false;
    status = 0;
    pushHeld = false;
    push.clear();
    quiet = 0;
}

bool PushState::Reply(uint32_t wireParam, int8_t replyStatus)
{
    if (!sent || wireParam != param)
        return false;
    statusHeld = true;
    status = replyStatus;
    return true;
}

void PushState::Lost(int8_t lostStatus)
{
    if (!sent)
        return;
    statusHeld = true;
    status = lostStatus;
    pushHeld = false;
    push.clear();
    quiet = 0;
}

void PushState::Quiet(int8_t quietStatus)
{
    if (!sent)
        return;
    pushHeld = false;
    push.clear();
    quiet = quietStatus;
}

bool PushState::Push(uint32_t wireParam, const uint8_t* data, size_t length)
{
    if (!sent || wireParam != param)
        return false;
    push.assign(data, data + length);
    pushHeld = true;
    quiet = 0;
    return true;
}

int8_t ReadWatchValue(const std::vector<WatchEntry>& list, const std::vector<WatchEntry>& mergedSent,
                      const PushState& st, uint16_t area, uint32_t address, uint32_t count, void* out,
                      uint32_t outSize)
{
    // The entry of the caller's length (out size / count) when the list has
    // one, else the first at that address: a Byte and a Word watched at
    // one address each read their own length.
    auto at = [&](const WatchEntry& e) { return e.area == area && e.address == address; };
    auto it = list.end();
    if (count)
        it = std::find_if(list.begin(), list.end(),
                          [&](const WatchEntry& e) { return at(e) && uint64_t(e.length) * count == outSize; });
    if (it == list.end())
        it = std::find_if(list.begin(), list.end(), at);
    if (it == list.end())
        return -1;
    const uint64_t want = uint64_t(count) * it->length;
    // Its merged entry in the arrangement of the latest Watch.
    size_t index = mergedSent.size();
    for (size_t i = 0; i < mergedSent.size(); ++i) {
        const WatchEntry& m = mergedSent[i];
        if (m.area == area && m.address <= address &&
            uint64_t(address) + it->length <= uint64_t(m.address) + m.length) {
            index = i;
            break;
        }
    }
    if (index == mergedSent.size())
        return -1; // not part of the latest Watch
    if (index >= kMaxWatchSent)
        return -3;
    if (st.statusHeld && st.status < 0)
        return st.status;
    if (!st.pushHeld)
        return st.quiet < 0 ? st.quiet : -1;
    // {u16 n, per entry: i8 status, length bytes}
    const Bytes& p = st.push;
    if (p.size() < 2 || U16(p.data()) <= index)
        return -1;
    size_t off = 2;
    for (size_t i = 0; i < index; ++i)
        off += 1 + mergedSent[i].length;
    if (off + 1 + mergedSent[index].length > p.size())
        return -1;
    const int8_t entryStatus = int8_t(p[off]);
    if (entryStatus < 0)
        return entryStatus;
    const uint64_t skip = address - mergedSent[index].address;
    if (want > outSize || skip + want > mergedSent[index].length || !out)
        return -1;
    Copy(out, p.data() + off + 1 + skip, size_t(want));
    return 0;
}

namespace {

// Finds the record of a listed entry in the latest push of a list whose
// arrangement holds each entry once: {u16 n, n records of recordSize bytes}.
// Returns 0 with rec set, or the status the read reports.
template <class T>
int8_t FindPushRecord(const std::vector<T>& list, const std::vector<T>& distinctSent, const PushState& st,
                      const T& entry, size_t recordSize, const uint8_t*& rec)
{
    if (std::find(list.begin(), list.end(), entry) == list.end())
        return -1;
    auto it = std::find(distinctSent.begin(), distinctSent.end(), entry);
    if (it == distinctSent.end())
        return -1;
    const size_t index = size_t(it - distinctSent.begin());
    if (index >= kMaxListSent)
        return -3;
    if (st.statusHeld && st.status < 0)
        return st.status;
    if (!st.pushHeld)
        return st.quiet < 0 ? st.quiet : -1;
    const Bytes& p = st.push;
    const size_t off = 2 + recordSize * index;
    if (p.size() < 2 || U16(p.data()) <= index || off + recordSize > p.size())
        return -1;
    rec = p.data() + off;
    return 0;
}

} // namespace

int8_t ReadMechState(const std::vector<MechEntry>& list, const std::vector<MechEntry>& distinctSent,
                     const PushState& st, uint16_t number, uint32_t address, MechStateRecord* out)
{
    const uint8_t* rec = nullptr;
    if (const int8_t r = FindPushRecord(list, distinctSent, st, MechEntry{address, number}, 5, rec); r != 0)
        return r;
    if (!out)
        return -1;
    out->running = rec[0];
    out->index = U32(rec + 1);
    return 0;
}

int8_t ReadLineRegs(const std::vector<uint32_t>& list, const std::vector<uint32_t>& distinctSent,
                    const PushState& st, uint32_t index, LineRegsRecord* out)
{
    const uint8_t* rec = nullptr;
    if (const int8_t r = FindPushRecord(list, distinctSent, st, index, 6, rec); r != 0)
        return r;
    if (!out)
        return -1;
    out->activity = rec[0];
    out->rlo = rec[1];
    out->dr = int32_t(U32(rec + 2));
    return 0;
}

bool ConvertFileInfo(const uint8_t* data, size_t length, FileListRecord& out)
{
    if (!data || length < 29)
        return false;
    const uint16_t recLen = U16(data);
    if (recLen < 29 || recLen > length)
        return false;
    const auto* shortName = reinterpret_cast<const char*>(data + 14);
    const size_t shortLen = strnlen(shortName, 14);
    if (shortLen == 14)
        return false;
    const auto* name = reinterpret_cast<const char*>(data + 28);
    const size_t nameLen = strnlen(name, recLen - 28);
    if (nameLen == size_t(recLen - 28))
        return false;
    std::memset(&out, 0, sizeof out);
    out.length = sizeof(FileListRecord);
    out.folder = U32(data + 2);
    out.dosTime = U16(data + 6);
    out.dosDate = U16(data + 8);
    out.size = U32(data + 10);
    const std::u16string s = sys::AnsiToWide(std::string_view(shortName, shortLen));
    const std::u16string l = sys::AnsiToWide(std::string_view(name, nameLen));
    std::memcpy(out.shortName, s.data(), std::min<size_t>(s.size(), 13) * 2);
    if (l.size() <= kMaxRemoteName) {
        std::memcpy(out.name, l.data(), l.size() * 2);
    } else {
        std::memcpy(out.name, l.data(), (kMaxRemoteName - 1) * 2);
        out.name[kMaxRemoteName - 1] = kCutNameMark;
    }
    return true;
}

bool IsPlainRemoteName(std::u16string_view name)
{
    if (name.empty() || name.size() > kMaxRemoteName || name == u"." || name == u"..")
        return false;
    for (const char16_t c : name)
        if (c < 0x20 || c == 0x7F || c == u'/' || c == u'\\' || c == u':')
            return false;
    return true;
}

std::u16string VisibleRemoteName(std::u16string_view name)
{
    std::u16string out(name);
    for (char16_t& c : out)
        if (c < 0x20 || c == 0x7F)
            c = u'?';
    return out;
}

ListingResult ReadListingFile(const std::string& nativePath, std::vector<FileListRecord>& records)
{
    const auto content = sys::ReadWholeFile(nativePath);
    if (!content)
        return ListingResult::CannotOpen;
    const auto* p = reinterpret_cast<const uint8_t*>(content->data());
    const size_t size = content->size();
    if (size < 6 || size > 0xFFFFFFFFu || U32(p) != size)
        return ListingResult::BadHeader;
    const uint16_t count = U16(p + 4);
    if (6 + size_t(count) * 29 > size)
        return ListingResult::BadHeader;
    size_t pos = 6;
    for (uint16_t i = 0; i < count; ++i) {
        if (size - pos < 2)
            return ListingResult::BadRecord;
        const uint16_t len = U16(p + pos);
        if (len < 29 || len > size - pos)
            return ListingResult::BadRecord;
        FileListRecord rec;
        if (!ConvertFileInfo(p + pos, len, rec))
            return ListingResult::BadRecord;
        records.push_back(rec);
        pos += len;
    }
    return ListingResult::Ok;
}

} // namespace linkobj
