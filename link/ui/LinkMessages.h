#pragma once
// The link object's messages on the framework's message bridge: the
// poster that the project document and the file manager hand to their link
// objects, and the window object for any QObject registered with the
// bridge.  See docs/link-object.md.

#include "link/linkobj/olnk_link.h"
#include "platform/ui/Messages.h"

namespace linkui {

// Posts through ui::PostMessageTo; the link's record travels inside a
// bridge record and is freed with it.
class BridgePoster : public ILinkWindowPoster
{
public:
    bool Post(uint32_t target, uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
              std::unique_ptr<LinkMessageRecord> record) override;
};

// The process-wide poster.
ILinkWindowPoster* WindowPoster();

// A window object for a bridge target: either one registered elsewhere
// (by its handle) or one this object registers (and unregisters when it
// goes).
class LinkWindow : public ILinkWindow
{
public:
    explicit LinkWindow(ui::MessageHandle handle) : m_handle(handle) {}
    LinkWindow(QObject* target, ui::MessageHandler handler);
    ~LinkWindow() override;
    LinkWindow(const LinkWindow&) = delete;
    LinkWindow& operator=(const LinkWindow&) = delete;
    uint32_t MessageTarget() const override { return m_handle; }

private:
    ui::MessageHandle m_handle = 0;
    bool m_owned = false;
};

// Progress of a job, posted from the job's thread: wParam is the low
// 32 bits of the request parameter (the caller's item index), lParam is
// done | total << 32.
constexpr uint32_t WM_XFER_PROGRESS = ui::WM_APP + 31;

// A request parameter that names a bridge target (high 32 bits) and the
// caller's own value (low 32 bits).  The result carries it back.
inline std::uintptr_t ProgressParam(ui::MessageHandle target, uint32_t value)
{
    static_assert(sizeof(std::uintptr_t) >= 8);
    return std::uintptr_t(target) << 32 | value;
}
inline ui::MessageHandle TargetOfParam(std::uintptr_t param) { return ui::MessageHandle(uint64_t(param) >> 32); }
inline uint32_t ValueOfParam(std::uintptr_t param) { return uint32_t(param & 0xFFFFFFFFu); }

// A LinkProgress for requests made with ProgressParam: posts
// WM_XFER_PROGRESS to the target named in the context and returns 0.  Never
// blocks; a post to a target that is gone is dropped.  Reports of one job
// thread are coalesced: the first of a request and the final one
// (done == total) always go, the others at most every 10 ms.
int PostProgress(uint32_t job, std::uintptr_t context, uint32_t done, uint32_t total);

// The control face of the link object behind a transfer client, or null.
IOlnkControl* ControlOf(IOxfrC* link);

// The result record of a WM_LINK_RESULT or WM_XFER_RESULT message.
inline const LinkResultRecord* ResultOf(std::intptr_t lParam)
{
    return reinterpret_cast<const LinkResultRecord*>(lParam);
}

} // namespace linkui
