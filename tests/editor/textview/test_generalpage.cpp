// The general page: the flags word, the folder, the file watching of open
// documents and drag and drop of open views.

#include "OptionsTest.h"

#include "editor/files/FileChangeMonitor.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {

// A document that watches its file, as the text and binary documents do.
class WatchedDoc : public ui::Document, public CFileChangeMonitor
{
public:
    void OnFileChanged(uint32_t, const std::u16string&) override {}
};

} // namespace

TEST(GeneralPage, BitsLoadAndRebuildHiddenOnesIncluded)
{
    SetEdtGeneralFlags(0x40000 | 0x1 | 0x4 | 0x20 | 0x200 | 0x1000);
    OptionsSheet s(nullptr, 0);
    EXPECT_TRUE(s.general->Item<QCheckBox>(1045)->isChecked());
    EXPECT_FALSE(s.general->Item<QCheckBox>(1045)->isHidden());
    EXPECT_TRUE(s.general->Item<QCheckBox>(1002)->isHidden());
    EXPECT_EQ(s.general->FlagsOfControls(), 0x1u | 0x4 | 0x20 | 0x200 | 0x1000);
    s.general->Item<QCheckBox>(1023)->setChecked(true);  // 0x10
    s.general->Item<QLineEdit>(1192)->setText(QStringLiteral("/nonexistent/spell"));
    s.sheet.accept();
    EXPECT_EQ(GetEdtGeneralFlags(), 0x40000u | 0x1 | 0x4 | 0x10 | 0x20 | 0x200 | 0x1000);
    EXPECT_EQ(GetEdtGeneralFolder(), u"/nonexistent/spell");
    // Stored by the page's OK and read back.
    SetEdtGeneralFlags(0);
    SetEdtGeneralFolder(u"");
    EdtLoadSettings();
    EXPECT_EQ(GetEdtGeneralFlags(), 0x40000u | 0x1 | 0x4 | 0x10 | 0x20 | 0x200 | 0x1000);
    EXPECT_EQ(GetEdtGeneralFolder(), u"/nonexistent/spell");
}

TEST(GeneralPage, RestartNoteAndEmptyFolderPlaceholder)
{
    SetEdtGeneralFlags(0x200);
    SetEdtGeneralFolder(u"");
    OptionsSheet s(nullptr, 0);
    auto* folder = s.general->Item<QLineEdit>(1192);
    EXPECT_TRUE(folder->text().isEmpty());
    EXPECT_FALSE(folder->placeholderText().isEmpty());
    s.general->Item<QCheckBox>(1048)->setChecked(true);  // 0x400, hidden
    PromptScript prompts({ui::IDOK});
    s.sheet.accept();
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_EQ(prompts.Texts()[0], LoadResString(4613));
}

TEST(GeneralPage, DragAndDropAndWatchingOfOpenDocuments)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.txt");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    ui::DocManager manager;
    auto tmpl = std::make_unique<ui::DocTemplate>(
        0, QStringLiteral("\nText\n\n\n.txt\n\n"), [] { return new WatchedDoc; }, [] { return new ui::ChildFrame; }, [] { return new TestView; });
    ui::DocTemplate* t = tmpl.get();
    manager.AddDocTemplate(std::move(tmpl));
    auto* doc = static_cast<WatchedDoc*>(t->CreateNewDocument());
    doc->SetPathName(path, false);
    doc->AddFile(path.toStdU16String(), false, 0x19);
    doc->Start();
    // A document like the project's, which watches nothing: skipped.
    auto plainTmpl = std::make_unique<ui::DocTemplate>(
        0, QStringLiteral("\nProjekt\n\n\n.kxp\n\n"), [] { return new ui::Document; },
        [] { return new ui::ChildFrame; }, [] { return new TestView; });
    ui::DocTemplate* pt = plainTmpl.get();
    manager.AddDocTemplate(std::move(plainTmpl));
    ui::Document* plain = pt->CreateNewDocument();
    plain->SetPathName(dir.filePath("p.kxp"), false);
    auto v1 = std::make_unique<TestView>();
    auto v2 = std::make_unique<TestView>();
    doc->AddView(v1.get());
    doc->AddView(v2.get());

    SetEdtGeneralFlags(0x200);
    {
        OptionsSheet s(nullptr, 0);
        s.general->Item<QCheckBox>(1039)->setChecked(true);   // 0x80
        s.general->Item<QCheckBox>(1045)->setChecked(false);  // 0x200 off
        s.sheet.accept();
    }
    EXPECT_TRUE(v1->GetDisableDragAndDrop());
    EXPECT_TRUE(v2->GetDisableDragAndDrop());
    EXPECT_FALSE(doc->IsWatching(path.toStdU16String()));
    EXPECT_EQ(manager.Documents().size(), 2u);
    {
        OptionsSheet s(nullptr, 0);
        s.general->Item<QCheckBox>(1039)->setChecked(false);
        s.general->Item<QCheckBox>(1045)->setChecked(true);
        s.sheet.accept();
    }
    EXPECT_FALSE(v1->GetDisableDragAndDrop());
    EXPECT_TRUE(doc->IsWatching(path.toStdU16String()));
    EXPECT_TRUE(doc->IsRunning());
    doc->RemoveView(v1.get());
    doc->RemoveView(v2.get());
    doc->Stop();
}
