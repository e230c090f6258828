#include "link/ui/LinkMessages.h"

#include "platform/sys/Time.h"

static_assert(WM_LINK_STATE == ui::WM_LINK_STATE);
static_assert(WM_LINK_RESULT == ui::WM_LINK_RESULT);
static_assert(WM_LINK_NOTIFY == ui::WM_LINK_NOTIFY);
static_assert(WM_XFER_RESULT == ui::WM_XFER_RESULT);
static_assert(linkui::WM_XFER_PROGRESS == 0x801F);

namespace linkui {

namespace {
class BridgeRecord : public ui::MessageRecord
{
public:
    explicit BridgeRecord(std::unique_ptr<LinkMessageRecord> r) : inner(std::move(r)) {}
    std::unique_ptr<LinkMessageRecord> inner;
};
} // namespace

bool BridgePoster::Post(uint32_t target, uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                        std::unique_ptr<LinkMessageRecord> record)
{
    std::unique_ptr<ui::MessageRecord> r;
    if (record)
        r = std::make_unique<BridgeRecord>(std::move(record));
    return ui::PostMessageTo(target, message, wParam, lParam, std::move(r));
}

ILinkWindowPoster* WindowPoster()
{
    static BridgePoster poster;
    return &poster;
}

LinkWindow::LinkWindow(QObject* target, ui::MessageHandler handler)
    : m_handle(ui::RegisterMessageTarget(target, std::move(handler))), m_owned(true)
{
}

LinkWindow::~LinkWindow()
{
    if (m_owned && m_handle)
        ui::UnregisterMessageTarget(m_handle);
}

int PostProgress(uint32_t, std::uintptr_t context, uint32_t done, uint32_t total)
{
    // Coalesced per job thread: the first and the last report of a request
    // always go, the others at most every 10 ms (a post per 512-byte block
    // would cost the transfer a third of its speed).
    thread_local std::uintptr_t lastContext = 0;
    thread_local uint64_t lastTick = 0;
    const uint64_t now = sys::GetTickCount64();
    if (context == lastContext && done < total && now - lastTick < 10)
        return 0;
    lastContext = context;
    lastTick = now;
    const std::intptr_t l = std::intptr_t(uint64_t(done) | uint64_t(total) << 32);
    ui::PostMessageTo(TargetOfParam(context), WM_XFER_PROGRESS, ValueOfParam(context), l);
    return 0;
}

IOlnkControl* ControlOf(IOxfrC* link)
{
    return dynamic_cast<IOlnkControl*>(link);
}

} // namespace linkui
