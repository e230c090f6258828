#pragma once
// A text view over its own buffer, shown at a fixed size in the test font.

#include "editor/settings/EdtSettings.h"
#include "editor/settings/EdtTextTypes.h"
#include "editor/view/EdtTextView.h"
#include "tests/support/ui/UiTest.h"

#include <QApplication>

#include <cstring>
#include <memory>

class TestView : public CEdtTextView
{
public:
    explicit TestView(CEdtTextBuffer* shared = nullptr) : m_shared(shared) {}
    ~TestView() override { DetachFromBuffer(); }  // before the own buffer goes
    CEdtTextBuffer* LocateTextBuffer() override { return m_shared ? m_shared : &buffer; }
    CEdtTextBuffer buffer;

private:
    CEdtTextBuffer* m_shared;
};

inline EdtLogFont TestFont()
{
    EdtLogFont f{};
    f.height = -13;
    f.weight = 400;
    const char16_t face[] = u"DejaVu Sans Mono";
    std::memcpy(f.faceName, face, sizeof face);
    return f;
}

// Fills the buffer with lines joined by CR LF.
inline void SetText(CEdtTextBuffer& b, const std::u16string& text)
{
    b.FreeAll();
    b.InitNew();
    int el, ec;
    if (!text.empty())
        b.InsertText(nullptr, 0, 0, text, el, ec, 0);
}

// A shown view of 400 x 300 pixels with the text, attached and measured.
inline std::unique_ptr<TestView> MakeView(const std::u16string& text, int w = 400, int h = 300)
{
    ResetSourceTypes();
    auto v = std::make_unique<TestView>();
    SetText(v->buffer, text);
    v->resize(w, h);
    v->AttachToBuffer();
    v->SetFont(TestFont());
    v->show();
    testsupport::ui::PumpEvents();
    return v;
}

inline QString SelectedText(CEdtTextView& v)
{
    EdtPoint a, b;
    v.GetSelection(a, b);
    return QString::fromStdU16String(v.GetText(a, b));
}
