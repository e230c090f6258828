#pragma once
// The file-transfer client and the local shares of the link object: checks
// and converts the caller's paths and hands each operation to the link
// object's request table (IOxfrC), or calls the session's share table
// directly (IOxfrS).  COlnkLink owns one and forwards to it.  No Qt.  See
// docs/link-object.md.

#include "link/linkobj/olnk_link.h"
#include "link/linkobj/olnk_link_access.h"

#include <functional>

namespace linkobj {

// What the file-transfer client needs from the link object.
class XferHost : public SessionAccess
{
public:
    // Sends a transfer request through a request slot; 1 sent, 0 refused
    // (last error set).  `byJob`: a job carries it and ends it.
    virtual int SendXfer(uint8_t code, uint32_t window, std::uintptr_t param, bool byJob,
                         std::function<int(OxfrSession, uint32_t)> send) = 0;
};

class XferClient
{
public:
    explicit XferClient(XferHost& host) : m_host(host) {}

    // IOxfrC
    int Copy(uint32_t window, std::uintptr_t param, const char16_t* source, const char16_t* destination);
    int CreateDir(uint32_t window, std::uintptr_t param, const char16_t* path);
    int Delete(uint32_t window, std::uintptr_t param, const char16_t* path);
    int List(uint32_t window, std::uintptr_t param, LinkProgress progress, uint32_t* job,
             const char16_t* pattern);
    int Get(uint32_t window, std::uintptr_t param, LinkProgress progress, uint32_t* job,
            const char16_t* remotePath, const char16_t* localPath);
    int GetInto(uint32_t window, std::uintptr_t param, LinkProgress progress, uint32_t* job,
                const char16_t* remotePath, int localFolder, const char16_t* localName);
    int GetFileInfo(uint32_t window, std::uintptr_t param, const char16_t* path);
    int Put(uint32_t window, std::uintptr_t param, LinkProgress progress, uint32_t* job,
            const char16_t* localPath, const char16_t* remotePath);
    int RemoveDir(uint32_t window, std::uintptr_t param, const char16_t* path);
    int Move(uint32_t window, std::uintptr_t param, const char16_t* source, const char16_t* destination);

    // IOxfrS
    int AddShare(const char16_t* directory, const char16_t* name, uint32_t access);
    int RemoveShare(const char16_t* name);
    int GetShareCount();
    int GetShares(OxfrShareW* shares, uint32_t capacity);

private:
    int OnePath(uint8_t code, uint32_t window, std::uintptr_t param, const char16_t* path,
                int (*fn)(OxfrSession, uint32_t, const char*));

    XferHost& m_host;
};

} // namespace linkobj
