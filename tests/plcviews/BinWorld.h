#pragma once
// A world for the binary document's tests: the application base with a
// main frame that counts the frame services, template 3 with the binary
// document, its split frame and the hex view, and the font and colour
// registry with "BinaryWindow".

#include "editor/settings/EdtSettings.h"
#include "fontcolor/FontColorPage.h"
#include "platform/ui/App.h"
#include "plcviews/BinDoc.h"
#include "plcviews/HexEditView.h"
#include "res/StringTable.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QDir>

#include <memory>

class CountingFrame : public ui::MainFrameBase
{
public:
    int indicatorsOff = 0, indicatorsOn = 0, flashes = 0;
    void SetEditorIndicators(bool editor) override { ++(editor ? indicatorsOn : indicatorsOff); }
    void FlashUntilFocus() override { ++flashes; }
};

struct BinWorld
{
    testsupport::TempDir dir;
    ui::Application app;
    CFontColorPage registry;
    ui::DocTemplate* tmpl = nullptr;
    CountingFrame* frame = nullptr;
    std::vector<QString> recent;

    explicit BinWorld(uint32_t generalFlags = 0x200)
    {
        SetEdtGeneralFlags(generalFlags);
        SetFontColorPage(&registry);
        CBinView::RegisterFontItems(CBinView::kCategory, QStringLiteral("Binární souobry"), &registry);
        registry.LoadSettings(QStringLiteral("Formats"));
        auto t = std::make_unique<ui::DocTemplate>(
            3, LoadResString(3), [] { return new CBinDoc; }, [] { return new CBinChildFrame; },
            [] { return new CBinView; });
        tmpl = t.get();
        app.AddDocTemplate(std::move(t));
        app.Documents().SetRecentFileHook([this](const QString& p) { recent.push_back(p); });
        frame = new CountingFrame;
        frame->LoadFrame(1);
        frame->resize(1000, 700);
        frame->show();
    }
    ~BinWorld()
    {
        delete frame;
        Pump();
        SetFontColorPage(nullptr);
        SetEdtGeneralFlags(0x200);
    }
    static void Pump()
    {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QString Path(const std::string& name) const { return QString::fromStdString(dir / name); }
    CBinDoc* Open(const std::string& name)
    {
        return qobject_cast<CBinDoc*>(app.Documents().OpenDocumentFile(Path(name)));
    }
    static CBinView* ViewOf(CBinDoc* doc) { return qobject_cast<CBinView*>(doc->FirstView()); }
    static ui::ChildFrame* FrameOf(CBinDoc* doc) { return doc->FirstView()->GetParentFrame(); }
};
