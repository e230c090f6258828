#include "link/linkobj/olnk_link_xfer.h"

#include "platform/sys/CodePage.h"
#include "platform/sys/LastError.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/WinPath.h"

#include <optional>
#include <string>

namespace linkobj {

// ---- IOxfrC ----------------------------------------------------------------------------------

namespace {

constexpr uint32_t kMaxWirePath = 259;

// The wire form of a path; a path that does not convert exactly into the
// code page (a character it lacks became "?") is no path of the control
// system: it would name another entry.
std::optional<std::string> WirePath(const char16_t* p)
{
    bool lossy = false;
    std::string wire = sys::WideToAnsi(p ? std::u16string_view(p) : std::u16string_view(), &lossy);
    if (lossy)
        return std::nullopt;
    return wire;
}

bool WireOk(const std::optional<std::string>& p) { return p && p->size() <= kMaxWirePath; }
} // namespace

int XferClient::Copy(uint32_t w, std::uintptr_t p, const char16_t* src, const char16_t* dst)
{
    if (!src || !dst)
        return Fail(OLNK_LINK_E_ARG);
    const std::optional<std::string> a = WirePath(src), b = WirePath(dst);
    if (!WireOk(a) || !WireOk(b))
        return Fail(OLNK_E_BAD_PATH);
    return m_host.SendXfer(OXFR_CODE_COPY, w, p, false,
                   [&](OxfrSession s, uint32_t wire) { return OxfrCopyA(s, wire, a->c_str(), b->c_str()); });
}

int XferClient::Move(uint32_t w, std::uintptr_t p, const char16_t* src, const char16_t* dst)
{
    if (!src || !dst)
        return Fail(OLNK_LINK_E_ARG);
    const std::optional<std::string> a = WirePath(src), b = WirePath(dst);
    if (!WireOk(a) || !WireOk(b))
        return Fail(OLNK_E_BAD_PATH);
    return m_host.SendXfer(OXFR_CODE_MOVE, w, p, false,
                   [&](OxfrSession s, uint32_t wire) { return OxfrMoveA(s, wire, a->c_str(), b->c_str()); });
}

namespace {
// The wire form of a caller's remote path: 0, or the error it fails with.
uint32_t RemotePath(const char16_t* path, std::string& wire)
{
    if (!path)
        return OLNK_LINK_E_ARG;
    const std::optional<std::string> exact = WirePath(path);
    if (!WireOk(exact))
        return OLNK_E_BAD_PATH;
    wire = *exact;
    return 0;
}
std::optional<std::string> Local(const char16_t* p)
{
    if (!p)
        return std::nullopt;
    return sys::WinPath::ToNative(std::u16string_view(p));
}
} // namespace

int XferClient::CreateDir(uint32_t w, std::uintptr_t p, const char16_t* path)
{
    return OnePath(OXFR_CODE_MKDIR, w, p, path, OxfrCreateDirA);
}
int XferClient::Delete(uint32_t w, std::uintptr_t p, const char16_t* path)
{
    return OnePath(OXFR_CODE_DELETE, w, p, path, OxfrDeleteA);
}
int XferClient::GetFileInfo(uint32_t w, std::uintptr_t p, const char16_t* path)
{
    return OnePath(OXFR_CODE_INFO, w, p, path, OxfrGetFileInfoA);
}
int XferClient::RemoveDir(uint32_t w, std::uintptr_t p, const char16_t* path)
{
    return OnePath(OXFR_CODE_RMDIR, w, p, path, OxfrRemoveDirA);
}

int XferClient::List(uint32_t w, std::uintptr_t p, LinkProgress progress, uint32_t* job, const char16_t* pattern)
{
    std::string a;
    if (const uint32_t e = RemotePath(pattern, a))
        return Fail(e);
    return m_host.SendXfer(OXFR_CODE_LIST, w, p, true, [&](OxfrSession s, uint32_t wire) {
        return OxfrListA(s, wire, progress, p, job, a.c_str());
    });
}

int XferClient::Get(uint32_t w, std::uintptr_t p, LinkProgress progress, uint32_t* job,
                   const char16_t* remotePath, const char16_t* localPath)
{
    std::string a;
    if (const uint32_t e = RemotePath(remotePath, a))
        return Fail(e);
    const auto local = Local(localPath);
    if (!local)
        return Fail(OLNK_LINK_E_ARG);
    return m_host.SendXfer(OXFR_CODE_GET, w, p, true, [&](OxfrSession s, uint32_t wire) {
        return OxfrGetA(s, wire, progress, p, job, a.c_str(), local->c_str());
    });
}

int XferClient::GetInto(uint32_t w, std::uintptr_t p, LinkProgress progress, uint32_t* job,
                        const char16_t* remotePath, int localFolder, const char16_t* localName)
{
    std::string a;
    if (const uint32_t e = RemotePath(remotePath, a))
        return Fail(e);
    std::string name;
    if (!localName || localFolder < 0 || !sys::TextToNative(localName, name))
        return Fail(OLNK_LINK_E_ARG);
    return m_host.SendXfer(OXFR_CODE_GET, w, p, true, [&](OxfrSession s, uint32_t wire) {
        return OxfrGetIntoA(s, wire, progress, p, job, a.c_str(), localFolder, name.c_str());
    });
}

int XferClient::Put(uint32_t w, std::uintptr_t p, LinkProgress progress, uint32_t* job,
                   const char16_t* localPath, const char16_t* remotePath)
{
    std::string a;
    if (const uint32_t e = RemotePath(remotePath, a))
        return Fail(e);
    const auto local = Local(localPath);
    if (!local)
        return Fail(OLNK_LINK_E_ARG);
    return m_host.SendXfer(OXFR_CODE_PUT, w, p, true, [&](OxfrSession s, uint32_t wire) {
        return OxfrPutA(s, wire, progress, p, job, local->c_str(), a.c_str());
    });
}

int XferClient::OnePath(uint8_t code, uint32_t w, std::uintptr_t p, const char16_t* path,
                        int (*fn)(OxfrSession, uint32_t, const char*))
{
    std::string a;
    if (const uint32_t e = RemotePath(path, a))
        return Fail(e);
    return m_host.SendXfer(code, w, p, false,
                           [&](OxfrSession s, uint32_t wire) { return fn(s, wire, a.c_str()); });
}

// ---- IOxfrS ----------------------------------------------------------------------------------

int XferClient::AddShare(const char16_t* directory, const char16_t* name, uint32_t access)
{
    OxfrSession s = m_host.AcquireSession();
    if (!s)
        return 0;
    const int r = OxfrAddShareW(s, directory, name, access);
    const uint32_t e = sys::GetLastError();
    m_host.ReleaseSession();
    if (!r)
        sys::SetLastError(e);
    return r;
}

int XferClient::RemoveShare(const char16_t* name)
{
    OxfrSession s = m_host.AcquireSession();
    if (!s)
        return 0;
    const int r = OxfrRemoveShareW(s, name);
    const uint32_t e = sys::GetLastError();
    m_host.ReleaseSession();
    if (!r)
        sys::SetLastError(e);
    return r;
}

int XferClient::GetShareCount()
{
    OxfrSession s = m_host.AcquireSession();
    if (!s)
        return 0;
    const int r = OxfrGetShareCount(s);
    m_host.ReleaseSession();
    return r;
}

int XferClient::GetShares(OxfrShareW* shares, uint32_t capacity)
{
    OxfrSession s = m_host.AcquireSession();
    if (!s)
        return 0;
    const int r = OxfrGetSharesW(s, shares, capacity);
    m_host.ReleaseSession();
    return r;
}

} // namespace linkobj
