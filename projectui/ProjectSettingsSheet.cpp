// The project settings sheet and what all its pages share.
#include "projectui/ProjectSettingsPages.h"
#include "projectui/QtText.h"
#include "projectui/StrandworkDoc.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/WinPath.h"
#include "res/StringTable.h"

#include <QComboBox>
#include <QFileDialog>
#include "platform/ui/LocalPath.h"
#include "platform/ui/FileDialogs.h"
#include <QLineEdit>

using namespace projtext;

namespace {
constexpr unsigned IDS_PROJECT_SETTINGS = 4335; // "Nastavení projektu"
}

// ---------------------------------------------------------------- the sheet

std::unique_ptr<ui::PropertySheet> CStrandworkDoc::CreateProjectSettingsSheet(QWidget* parent)
{
    m_pendingTarvaneVer = Data().TarvaneVer;
    auto sheet = std::make_unique<ui::PropertySheet>(LoadResString(IDS_PROJECT_SETTINGS), parent, m_settingsPage);
    auto add = [&](auto* page) {
        page->Construct(this);
        sheet->AddPage(page);
    };
    add(new CPPProjectGeneral);
    add(new CPPProjectSources);
    add(new CPPProjectHeaders);
    add(new CPPProjectSupportFiles);
    add(new CPPProjectHardware);
    add(new CPPProjectAsmLinker);
    add(new CPPProjectCompiler);
    add(new CPPProjectMakeKnf);
    add(new CPPProjectLink);
    add(new CPPProjectDebug);
    return sheet;
}

void CStrandworkDoc::RunProjectSettingsSheet(ui::PropertySheet& sheet)
{
    sheet.DoModal(); // every change was written by the pages' OK
    m_settingsPage = std::max(0, sheet.GetActiveIndex());
}

void CStrandworkDoc::EditProjectSettings(QWidget* parent)
{
    std::unique_ptr<ui::PropertySheet> sheet = CreateProjectSettingsSheet(parent);
    RunProjectSettingsSheet(*sheet);
}

// ------------------------------------------------------- the shared page base

CProjectSettingsPage::CProjectSettingsPage(uint32_t templateId) : ui::PropertyPage(templateId) {}

bool CProjectSettingsPage::OnSetActive()
{
    const bool first = !Created();
    if (!ui::PropertyPage::OnSetActive())
        return false;
    if (first) {
        Reload();
        SetModified(false);
    }
    Activated(first);
    return true;
}

void CProjectSettingsPage::OnOK()
{
    if (IsModified() && m_doc)
        Write();
    ui::PropertyPage::OnOK(); // clears the modified flag: Apply then OK writes once
}

void CProjectSettingsPage::OnCancel()
{
    if (Created() && m_doc) {
        Reload();
        SetModified(false);
    }
    ui::PropertyPage::OnCancel();
}

QLineEdit* CProjectSettingsPage::Edit(int id) const { return Item<QLineEdit>(id); }

QComboBox* CProjectSettingsPage::Combo(int id) const { return Item<QComboBox>(id); }

void CProjectSettingsPage::OnEdited(int id, std::function<void()> action)
{
    if (QLineEdit* e = Edit(id))
        connect(e, &QLineEdit::textEdited, this, [this, action] {
            Changed();
            if (action)
                action();
        });
}

void CProjectSettingsPage::OnComboEdited(int id, std::function<void()> action)
{
    QComboBox* c = Combo(id);
    if (!c)
        return;
    auto changed = [this, action] {
        Changed();
        if (action)
            action();
    };
    connect(c, &QComboBox::activated, this, changed);
    if (QLineEdit* e = c->lineEdit())
        connect(e, &QLineEdit::textEdited, this, changed);
}

QString CProjectSettingsPage::ProjectDir() const { return m_doc ? m_doc->GetProjectDir() : QString(); }

bool CProjectSettingsPage::BrowseFolder(const std::u16string& start, QString& chosen)
{
    QString from = ProjectDir();
    if (const auto native = sys::WinPath::ToNative(start); native && !start.empty() && sys::IsDirectory(*native))
        from = ui::LocalPathOfNative(*native);
    ui::ExactFileDialog dlg(this);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly);
    dlg.setDirectory(from);
    if (dlg.exec() != QDialog::Accepted || dlg.ExactFiles().isEmpty())
        return false;
    chosen = dlg.ExactFiles().first();
    if (!chosen.endsWith(QLatin1Char('/')))
        chosen += QLatin1Char('/');
    return true;
}
