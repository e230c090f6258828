#pragma once
// Helpers of the settings sheet tests: the fixture project opened as the
// real document, a view that records the hints, and the sheet with its
// pages at hand.

#include "projectui/ProjectSettingsPages.h"
#include "platform/sys/CodePage.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Dialog.h"
#include "tests/projectui/ProjectTest.h"
#include "tests/support/ui/UiTest.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

namespace settingstest {

using namespace doctest;
namespace tui = testsupport::ui;

class HintView : public ui::View
{
public:
    void OnUpdate(ui::View*, long hint, QObject*) override { hints.push_back(hint); }
    std::vector<long> hints;
};

inline std::u16string W(const std::string& s) { return sys::Utf8ToUtf16Lenient(s); }

struct SettingsTest : DocTest
{
    std::unique_ptr<CStrandworkDoc> doc;
    HintView* view = nullptr;
    std::unique_ptr<ui::PropertySheet> sheet;

    SettingsTest()
    {
        CopyFixture(dir, "v6");
        doc = NewDoc();
        if (!doc->OnOpenDocument(Q(dir / "Lis.kxp")))
            ADD_FAILURE() << "fixture not opened";
        view = new HintView;
        doc->AddView(view);
    }
    ~SettingsTest() override
    {
        sheet.reset();
        doc->RemoveView(view);
        delete view;
        doc->OnCloseDocument();
    }
    // The sheet, shown without its modal loop, on the given page.
    ui::PropertySheet* Sheet(int page = 0)
    {
        sheet = doc->CreateProjectSettingsSheet(nullptr);
        sheet->show();
        sheet->SetActivePage(page);
        return sheet.get();
    }
    template <class T = ui::PropertyPage> T* Page(int index) const { return dynamic_cast<T*>(sheet->GetPage(index)); }
    bool Show(int index) { return sheet->SetActivePage(index); }
    template <class T> T* Ctl(int page, int id) const { return Page(page)->Item<T>(id); }
    // Types into an edit or the edit of a combo box as the user would.
    void Type(int page, int id, const QString& text, bool clear = true)
    {
        QWidget* w = Page(page)->GetDlgItem(id);
        QLineEdit* e = qobject_cast<QLineEdit*>(w);
        if (auto* c = qobject_cast<QComboBox*>(w))
            e = c->lineEdit();
        ASSERT_NE(e, nullptr) << id;
        if (clear) {
            e->selectAll();
            tui::PressKey(e, Qt::Key_Delete);
        }
        bool ascii = true;
        for (QChar ch : text)
            ascii = ascii && ch.unicode() < 128;
        if (ascii) {
            tui::TypeText(e, text);
        } else { // the key simulation knows only ASCII: the same edit in one step
            e->insert(text);
            emit e->textEdited(e->text());
        }
    }
    // Chooses a combo box entry as the user would.
    void Choose(int page, int id, int index)
    {
        auto* c = Ctl<QComboBox>(page, id);
        ASSERT_NE(c, nullptr) << id;
        c->setCurrentIndex(index);
        emit c->activated(index);
    }
    void ClickButton(int page, int id) { tui::Click(Ctl<QPushButton>(page, id)); }
    std::vector<long> Hints() const { return view->hints; }
    // The settings modification time moved away from a marker.
    void MarkTime() { doc->Data().SettingsModificationTime = 1; }
    bool TimeStamped() const { return doc->Data().SettingsModificationTime != 1; }
};

} // namespace settingstest

namespace testsupport::ui {
// Puts a full path into a file dialog's name box and accepts it.
inline void ChooseInFileDialog(QFileDialog* d, const QString& path)
{
    if (QLineEdit* name = FindChild<QLineEdit>(d, QStringLiteral("fileNameEdit")))
        name->setText(path);
    static_cast<QDialog*>(d)->accept();
}
} // namespace testsupport::ui

namespace settingstest {

enum Tab { General, Sources, Headers, Support, Hardware, AsmLinker, Compiler, MakeKnf, Link, Debug };

} // namespace settingstest
