#pragma once
// What the link object's collaborators need from it to call into its
// session, and the failure every refusal of theirs shares.  No Qt.

#include "link/oxfr/oxfr.h"
#include "platform/sys/LastError.h"

#include <cstdint>

namespace linkobj {

// Sets the thread's last error and gives 0 (a refused call).
inline int Fail(uint32_t code)
{
    sys::SetLastError(code);
    return 0;
}

// The session of the link object, held for a call outside its lock.
class SessionAccess
{
public:
    virtual ~SessionAccess() = default;
    // Null (last error set) without a session.  Every non-null result is
    // given back by ReleaseSession.
    virtual OxfrSession AcquireSession() = 0;
    virtual void ReleaseSession() = 0;
};

} // namespace linkobj
