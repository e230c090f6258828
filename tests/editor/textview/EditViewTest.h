#pragma once
// An edit view over its own buffer, shown at a fixed size in the test font.

#include "TextViewTest.h"

#include "editor/view/EdtEditView.h"

class TestEditView : public CEdtEditView
{
public:
    explicit TestEditView(CEdtTextBuffer* shared = nullptr) : m_shared(shared) {}
    ~TestEditView() override { DetachFromBuffer(); }
    CEdtTextBuffer* LocateTextBuffer() override { return m_shared ? m_shared : &buffer; }
    CEdtTextBuffer buffer;

private:
    CEdtTextBuffer* m_shared;
};

// A shown, focused edit view of 400 x 300 pixels with the text.
inline std::unique_ptr<TestEditView> MakeEditView(const std::u16string& text,
                                                  CEdtTextBuffer* shared = nullptr)
{
    ResetSourceTypes();
    auto v = std::make_unique<TestEditView>(shared);
    // The text is the history's first group (action 0).
    if (!shared)
        SetText(v->buffer, text);
    v->resize(400, 300);
    v->AttachToBuffer();
    v->SetFont(TestFont());
    v->show();
    v->activateWindow();
    v->setFocus();
    testsupport::ui::PumpEvents();
    return v;
}

inline std::u16string AllText(CEdtTextView& v)
{
    const int last = v.GetLineCount() - 1;
    return v.GetText({0, 0}, {v.GetLineLength(last), last});
}

inline void RunCmd(CEdtTextView& v, uint32_t id)
{
    v.ExecuteCommand(id);
}
