#include "projectui/ProjectHost.h"

#include "platform/ui/App.h"
#include "platform/ui/Prompt.h"

#include <QWidget>

// The questions' values are the prompt service's.
static_assert(uint32_t(core::ASK_OK) == ui::MB_OK && uint32_t(core::ASK_YESNOCANCEL) == ui::MB_YESNOCANCEL &&
              uint32_t(core::ASK_YESNO) == ui::MB_YESNO && uint32_t(core::ASK_ICONERROR) == ui::MB_ICONERROR &&
              uint32_t(core::ASK_ICONQUESTION) == ui::MB_ICONQUESTION &&
              uint32_t(core::ASK_ICONEXCLAMATION) == ui::MB_ICONEXCLAMATION &&
              uint32_t(core::ASK_ICONINFORMATION) == ui::MB_ICONINFORMATION &&
              uint32_t(core::ASK_DEFBUTTON2) == ui::MB_DEFBUTTON2);
static_assert(int(core::ANSWER_OK) == ui::IDOK && int(core::ANSWER_CANCEL) == ui::IDCANCEL &&
              int(core::ANSWER_YES) == ui::IDYES && int(core::ANSWER_NO) == ui::IDNO);

namespace {
ProjectHost* g_host = nullptr;
}

WorkspaceDocumentsPort::~WorkspaceDocumentsPort() = default;
ProjectHost::~ProjectHost() = default;
PlcCommandDialog::~PlcCommandDialog() = default;

void SetProjectHost(ProjectHost* host)
{
    g_host = host;
}

ProjectHost* GetProjectHost()
{
    return g_host;
}

bool ProjectHost::ShowPlcSourceLine(const QString&, int) { return false; }

QString ProjectHost::GetHelpPath(int) { return {}; }

std::unique_ptr<PlcCommandDialog> ProjectHost::CreatePlcCommandDialog() { return nullptr; }

void ProjectHost::ShowConnectionError(CStrandworkDoc*) {}

std::u16string ProjectHost::ProgramFolder() { return GetProgramFolder().toStdU16String(); }

int ProjectHost::Ask(std::u16string_view text, std::u16string_view caption, uint32_t style,
                     core::AskOwner owner)
{
    return AskWithPrompt(text, caption, style, owner);
}

int ProjectHost::AskWithPrompt(std::u16string_view text, std::u16string_view caption,
                               uint32_t style, core::AskOwner owner)
{
    QWidget* parent = nullptr;
    if (owner == core::AskOwner::MainWindow) {
        ui::Application* app = ui::Application::Instance();
        parent = app ? static_cast<QWidget*>(app->GetMainWnd()) : nullptr;
    }
    return ui::Prompt(QString::fromUtf16(text.data(), qsizetype(text.size())),
                      QString::fromUtf16(caption.data(), qsizetype(caption.size())), style, parent);
}
