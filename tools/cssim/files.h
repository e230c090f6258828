#pragma once
// The simulator's file server: path check, listing writer, short names and
// the simple operations, written from docs/link-protocol.md (decision 15).
#include "tools/cssim/cssim_internal.h"

namespace cssim::files {

struct Resolved
{
    bool root = false;       // the root ("\" or "\pattern")
    int share = -1;
    bool isShareDir = false; // the path names the share's directory itself
    std::string local;       // native path of the entry (or of the folder for a listing)
    std::string pattern;     // listing: the last component ("" = every name)
    std::string lastWire;    // the last component as sent
};

class Server
{
public:
    explicit Server(std::vector<Share> shares);
    // False: refused by the path check.
    bool Resolve(const std::string& wire, bool listing, Resolved& out) const;
    // The listing file of a request path, or nullopt when refused (245).
    std::optional<Bytes> Listing(const std::string& wire) const;
    // Status and record of the information request.
    uint8_t Info(const std::string& wire, Bytes& record) const;
    uint8_t Copy(const std::string& from, const std::string& to) const;
    uint8_t Move(const std::string& from, const std::string& to) const;
    uint8_t Delete(const std::string& wire) const;
    uint8_t MakeDir(const std::string& wire) const;
    uint8_t RemoveDir(const std::string& wire) const;
    // Read: the file's bytes and stamp, or a status (245, 135).
    uint8_t Read(const std::string& wire, Bytes& content, uint16_t& time, uint16_t& date) const;
    // Write: checks the path and the folder (245, 249); on success local is the target.
    uint8_t PrepareWrite(const std::string& wire, std::string& local) const;
    // Writes through sys::AtomicFile (the target replaced only when the new
    // content is complete); 0 or 249.
    static uint8_t CommitWrite(const std::string& local, const Bytes& content, uint16_t time,
                               uint16_t date);
    static bool ValidNewName(const std::string& wire);

private:
    struct ShareReal
    {
        std::string name, dir, real;
    };
    std::vector<ShareReal> m_shares;
    bool Inside(const ShareReal& s, const std::string& local) const;
};

} // namespace cssim::files
