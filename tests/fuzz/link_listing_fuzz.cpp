// Fuzz target of the listing file of a listing job (the file panel and the
// file-operation engine read it through the link object): arbitrary bytes
// as the file on disk.  A listing that reads is written again record by
// record as the file server writes its records, and reads back equal.

#include "link/linkobj/olnk_link.h"
#include "link/linkobj/olnk_link_logic.h"
#include "link/oxfr/oxfr_messages.h"
#include "platform/sys/CodePage.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstring>
#include <string>
#include <vector>


using linkobj::ListingResult;

namespace {

std::string Wire(const char16_t* text, size_t capacity)
{
    size_t n = 0;
    while (n < capacity && text[n])
        ++n;
    return sys::WideToAnsi(std::u16string_view(text, n));
}

bool Same(const FileListRecord& a, const FileListRecord& b)
{
    return a.length == b.length && a.folder == b.folder && a.dosTime == b.dosTime &&
           a.dosDate == b.dosDate && a.size == b.size &&
           std::memcmp(a.shortName, b.shortName, sizeof a.shortName) == 0 &&
           std::memcmp(a.name, b.name, sizeof a.name) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fuzzsupport::WriteScratchFile("KX2listing", data, size);
    std::vector<FileListRecord> records;
    if (linkobj::ReadListingFile(path, records) != ListingResult::Ok)
        return 0;

    oxfr::Bytes file(6, 0);
    for (const FileListRecord& r : records) {
        const oxfr::Bytes rec = oxfr::InfoRecord(r.folder, r.dosTime, r.dosDate, r.size,
                                                 Wire(r.shortName, 14), Wire(r.name, 256));
        file.insert(file.end(), rec.begin(), rec.end());
    }
    // u32 total length and u16 record count, little-endian.
    const uint32_t total = uint32_t(file.size());
    for (int i = 0; i < 4; ++i)
        file[size_t(i)] = uint8_t(total >> (8 * i));
    file[4] = uint8_t(records.size());
    file[5] = uint8_t(records.size() >> 8);

    const std::string again = fuzzsupport::WriteScratchFile("KX2again", file.data(), file.size());
    std::vector<FileListRecord> reread;
    FUZZ_CHECK(linkobj::ReadListingFile(again, reread) == ListingResult::Ok,
               "a written listing reads");
    FUZZ_CHECK(reread.size() == records.size(), "every record reads back");
    for (size_t i = 0; i < records.size(); ++i)
        FUZZ_CHECK(Same(records[i], reread[i]), "each record reads back equal");
    return 0;
}
