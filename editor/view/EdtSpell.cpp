// The edit view: the spelling check through the "wispell" library and the
// code-page conversion of the selection.

#include "editor/view/EdtEditView.h"

#include "editor/dialogs/EdtCodePageDlg.h"
#include "editor/buffer/EdtCodePages.h"
#include "editor/settings/EdtSettings.h"
#include "editor/EdtWispell.h"
#include "editor/view/EdtCaretModel.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t IDS_SPELL_LOAD_ERROR = 4575;  // "Error loading "libwispell.so"."
constexpr uint32_t IDS_SPELL_ERROR_TITLE = 4576;
constexpr uint32_t IDS_SPELL_FINISHED = 4577;    // "Spellchecking finished."
constexpr uint32_t IDS_SPELL_TITLE = 4578;

// The process's one library and block; the view that runs the check.
QPointer<CEdtEditView> g_spellView;
void* g_library = nullptr;
WispellFn g_init = nullptr, g_check = nullptr, g_config = nullptr;
WispellBlock g_block;
std::u16string g_lineText;
// The pass that runs: lines up to g_endLine (exclusive; -1 the last line)
// are handed over, and the library's "finished" is kept back while a
// wrapped pass is still to come.
int g_endLine = -1;
bool g_holdFinished = false;

} // namespace

// The callbacks of the library reach the view through this friend.
class CEdtSpellSession
{
public:
    static int NextLine(WispellBlock* b)
    {
        CEdtEditView* v = g_spellView;  // gone when the view went meanwhile
        int end = v ? v->GetLineCount() : 0;
        if (g_endLine >= 0)
            end = std::min(end, g_endLine);
        if (!v || b->line < 0 || b->line >= end || !v->m_buffer) {
            g_lineText.clear();
            b->lineText = g_lineText.c_str();
            return 0;
        }
        const int n = v->GetLineLength(b->line);
        g_lineText.clear();
        g_lineText.push_back(u'^');
        if (n == 0)
            g_lineText.push_back(u' ');
        else
            g_lineText.append(v->GetLineChars(b->line), size_t(n));
        g_lineText.push_back(u'\n');
        b->lineText = g_lineText.c_str();
        ++b->line;
        return int(g_lineText.size());
    }

    static int Action(int code, WispellBlock* b)
    {
        CEdtEditView* v = g_spellView;
        if (!v || !v->m_buffer)
            return 0;
        if (code == 1 && b->word) {
            const int len = int(std::char_traits<char16_t>::length(b->word));
            const int line = b->line - 1;
            if (line < 0 || line >= v->GetLineCount())
                return 0;
            EdtPoint a{b->column - 1, line}, e{b->column - 1 + len, line};
            auto fix = [&](EdtPoint& p) {
                if (!v->IsValidTextPos(p))
                    --p.ch;
                p.ch = std::clamp(p.ch, 0, v->GetLineLength(line));
            };
            fix(a);
            fix(e);
            v->Sel().SetAnchor(e);
            v->Sel().SetCursor(a);
            v->SetSelection(e, a);
            v->EnsureVisible(a);
            v->Caret().UpdateCaret();
        } else if (code == 2 && b->word) {
            v->Sel().PrepareSelBounds();
            const EdtPoint a = v->Sel().DrawSelStart(), e = v->Sel().DrawSelEnd();
            if (!(a == e))
                v->m_buffer->DeleteText(v, a.line, a.ch, e.line, e.ch, EDT_ACTION_SPELL);
            int el = a.line, ec = a.ch;
            v->m_buffer->InsertText(v, a.line, a.ch, b->word, el, ec, EDT_ACTION_SPELL);
            v->PlaceCaret({ec, el});
        } else if (code == 3 && !g_holdFinished) {
            v->PlaceCaret(v->Sel().Cursor());
            ui::Prompt(LoadResString(IDS_SPELL_FINISHED), LoadResString(IDS_SPELL_TITLE),
                       ui::MB_OK | ui::MB_ICONINFORMATION, v);
        }
        return 0;
    }
};

void CEdtEditView::OnToolsSpelling()
{
    if (!QueryEditable())
        return;
    std::u16string folder = GetEdtGeneralFolder();
    if (folder.empty())
        folder = QCoreApplication::applicationDirPath().toStdU16String();
    if (folder.empty() || folder.back() != u'/')
        folder.push_back(u'/');
    if (!g_library) {
        constexpr size_t room = sizeof g_block.folder / sizeof g_block.folder[0];
        void* lib = nullptr;
        if (folder.size() < room) {
            const QString path = QString::fromStdU16String(folder + u"libwispell.so");
            lib = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
        }
        if (!lib) {
            ui::Prompt(LoadResString(IDS_SPELL_LOAD_ERROR), LoadResString(IDS_SPELL_ERROR_TITLE),
                       ui::MB_OK | ui::MB_ICONWARNING, this);
            return;
        }
        g_library = lib;  // never unloaded
        g_init = reinterpret_cast<WispellFn>(dlsym(lib, WISPELL_INIT));
        g_check = reinterpret_cast<WispellFn>(dlsym(lib, WISPELL_CHECK));
        g_config = reinterpret_cast<WispellFn>(dlsym(lib, WISPELL_CONFIG));
        std::memset(&g_block, 0, sizeof g_block);
        if (g_init)
            g_init(&g_block);
        std::memcpy(g_block.folder, folder.c_str(), (folder.size() + 1) * sizeof(char16_t));
        g_block.nextLine = &CEdtSpellSession::NextLine;
        g_block.action = &CEdtSpellSession::Action;
    }
    if (!g_check)
        return;
    if (Sel().Cursor().line >= GetLineCount())
        return;
    // From the caret line to the end, then from the first line up to the
    // caret line: the whole text once, in one undo group.
    const int startLine = std::max(Sel().Cursor().line, 0);
    m_buffer->BeginUndoGroup();
    QPointer<CEdtEditView> self(this);
    int result = 0;
    for (int pass = 0; pass < 2 && result == 0 && self; ++pass) {
        if (pass == 1 && startLine == 0)
            break;
        g_block.ownerWindow = static_cast<QWidget*>(this);
        g_block.view = this;
        g_block.line = pass == 0 ? startLine : 0;
        g_block.lineText = nullptr;
        g_block.word = nullptr;
        g_endLine = pass == 0 ? -1 : startLine;
        g_holdFinished = pass == 0 && startLine > 0;
        g_spellView = this;
        result = g_check(&g_block);
        g_spellView = nullptr;
    }
    g_endLine = -1;
    g_holdFinished = false;
    if (!self)
        return;  // the view went while the library's dialog ran
    const bool changed = m_buffer->FlushUndoGroup(this);
    g_block.view = nullptr;
    g_block.ownerWindow = nullptr;
    if (result == 2 && changed) {
        // Cancelled: what the check changed goes again.
        EdtPoint caret;
        if (m_buffer->Undo(caret))
            PlaceCaret(caret);
    }
}

void CEdtEditView::OnEditChangeCodePage()
{
    if (!QueryEditable() || !IsSelection())
        return;
    Sel().PrepareSelBounds();
    const EdtPoint a = Sel().DrawSelStart(), b = Sel().DrawSelEnd();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::u16string text = GetText(a, b);
    // The sample: cut after its 13th LF.
    std::u16string sample = text;
    int lfs = 0;
    for (size_t i = 0; i < sample.size(); ++i)
        if (sample[i] == u'\n' && ++lfs == 13) {
            sample.resize(i + 1);
            break;
        }
    QPointer<CEdtEditView> self(this);
    QPointer<CCodePageDlg> dlg = new CCodePageDlg(this);
    dlg->SetSample(sample);
    QApplication::restoreOverrideCursor();
    const int answer = dlg->DoModal();
    if (!self || !dlg)
        return;  // the view went while the dialog ran
    const int source = dlg->Source(), target = dlg->Target();
    const bool letters = dlg->LettersOnly();
    delete dlg;
    if (answer != QDialog::Accepted)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::u16string out;
    if (ConvertCodePageString(text, out, source, target, letters) == 0) {
        m_buffer->BeginUndoGroup();
        int el = a.line, ec = a.ch;
        if (m_buffer->DeleteText(this, a.line, a.ch, b.line, b.ch, EDT_ACTION_CODEPAGE) &&
            m_buffer->InsertText(this, a.line, a.ch, out, el, ec, EDT_ACTION_CODEPAGE)) {
            Sel().SetAnchor(a);
            Sel().SetCursor({ec, el});
            SetSelection(a, Sel().Cursor());
            EnsureVisible(Sel().Cursor());
            Caret().UpdateCaret();
        }
        m_buffer->FlushUndoGroup(this);
    }
    QApplication::restoreOverrideCursor();
}
