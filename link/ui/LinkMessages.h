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

// The result record of a WM_LINK_RESULT or WM_XFER_RESULT message.
inline const LinkResultRecord* ResultOf(std::intptr_t lParam)
{
    return reinterpret_cast<const LinkResultRecord*>(lParam);
}

} // namespace linkui
