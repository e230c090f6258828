#pragma once
// The edit view: the text view made editable.  Typing with insert and
// overwrite modes, deletion, Tab and block indent, automatic indentation,
// cut and paste, undo and redo with descriptive menu texts, drag and drop
// of plain text; the text commands (case conversion, completion,
// expansion, go to last change, code-page conversion, the spelling check)
// and the replace command.  See docs/editor-views.md.
//
// The code is split by concern: EdtEditView.cpp (state, typing, editing,
// clipboard, drag and drop), EdtEditCmds.cpp (text commands),
// EdtReplace.cpp (the replace command and its loops), EdtSpell.cpp (the
// spelling check through the "wispell" library).

#include "editor/view/EdtTextView.h"
#include "res/CommandIds.h"

#include <map>
#include <string>

constexpr uint32_t IDS_EDT_UNDO_MENU = 4570;  // "&Zpět%s\tCtrl+Z"
constexpr uint32_t IDS_EDT_REDO_MENU = 4571;  // "Znov&u%s\tCtrl+Y"

class CEdtEditView;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;

// The view's drop target: plain text dropped from this or any other
// program.
class CEditDropTarget
{
public:
    explicit CEditDropTarget(CEdtEditView* view) : m_view(view) {}
    void OnDragEnter(QDragEnterEvent* e);
    void OnDragOver(QDragMoveEvent* e);
    void OnDragLeave();
    void OnDrop(QDropEvent* e);

private:
    // The effect for the event; none when the view cannot take it.
    Qt::DropAction Effect(const QDropEvent* e, bool enter);
    void OnDragScroll(QPoint pos);
    CEdtEditView* m_view;
};

class CEdtEditView : public CEdtTextView
{
    Q_OBJECT
public:
    explicit CEdtEditView(QWidget* parent = nullptr);
    ~CEdtEditView() override;

    // A buffer is attached and not read-only.
    virtual bool QueryEditable();
    void SetAutoIndent(bool on) { m_autoIndent = on; }
    bool GetAutoIndent() const { return m_autoIndent; }
    void SetInsertTabs(bool on) { m_insertTabs = on; }
    bool GetInsertTabs() const { return m_insertTabs; }
    void SetDisableBSAtSOL(bool on) { m_disableBSAtSOL = on; }
    bool GetDisableBSAtSOL() const { return m_disableBSAtSOL; }
    bool GetOverwrite() const { return m_overwrite; }
    const std::map<std::u16string, std::u16string>& GetExpandMap() const { return m_expand; }

    // Replaces the selection (action 8); with 0x4 and a last regular-
    // expression match, the replacement's group references first.  False:
    // nothing replaced (not editable, or the substitution failed).
    bool ReplaceSelection(std::u16string_view replacement, uint32_t flags);
    int GetReplacementLength() const { return m_replacementLength; }

    using CEdtTextView::SetTextType;
    bool SetTextType(const TextTypeDef* type) override;
    void ResetView() override;
    void UpdateView(IEdtBufferListener* source, const UpdateContext* context, uint32_t flags,
                    int line) override;
    void OnEditOperation(int action, std::u16string_view text) override;
    Qt::DropActions GetDropEffect() override;
    void OnDropSource(Qt::DropAction effect) override;

    // One typed character (Enter 13, Esc 27).
    void OnChar(char16_t c);

    // ---- the drop caret
    bool IsDropCaretShown() const { return m_dropCaretShown; }
    EdtPoint GetDropPos() const { return m_dropPos; }

    // ---- replace (EdtReplace.cpp): the state of the replace dialog's
    // loops, kept in the view so that every change moves its points.
    struct ReplaceState
    {
        bool found = false;
        EdtPoint current;
        EdtPoint start;
        EdtPoint blockBegin, blockEnd;
        int scope = 1;  // 0 in the selection, 1 the whole file
        // What the current match was found for: a replace acts on it only
        // while the text, the flags and the scope are still these.
        std::u16string foundText;
        uint32_t foundFlags = 0;
        int foundScope = 1;
    };
    ReplaceState& Replace() { return m_replace; }
    // One search step of the dialog from the current position; shows the
    // "not found" message (not after a cancel).
    bool ReplaceFindNext(std::u16string_view text, uint32_t flags);
    // Replaces the current match and searches the next one.
    bool ReplaceCurrent(std::u16string_view text, std::u16string_view replacement, uint32_t flags);
    // Replaces every match of the scope in one pass and one undo group;
    // returns the number of replacements.
    int ReplaceAll(std::u16string_view text, std::u16string_view replacement, uint32_t flags);
    // The selection kept while the replace dialog runs.
    void SaveSelectionForReplace(EdtPoint a, EdtPoint b);
    bool GetSavedSelection(EdtPoint& a, EdtPoint& b) const;
    void DropSavedSelection() { m_savedSelValid = false; }
    bool GetRememberedReplaceFlags(uint32_t& flags) const;
    void RememberReplaceFlags(uint32_t flags);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

    // ---- editing commands
    virtual void OnEditDelete();
    virtual void OnEditDeleteBack();
    virtual void OnEditDeleteWordBack();
    virtual void OnEditDeleteWord();
    // Deletes the selection, or without one the word after (forward) or
    // before the caret.
    void DeleteWord(bool forward);
    virtual void OnEditTab();
    virtual void OnEditUntab();
    virtual void OnEditToggleOverwrite();
    virtual void OnEditCut();
    virtual void OnEditPaste();
    virtual void OnEditUndo();
    virtual void OnEditRedo();
    // ---- text commands (EdtEditCmds.cpp)
    virtual void OnEditChangeCase(int action);
    virtual void OnEditAutoComplete();
    virtual void OnEditAutoExpand();
    virtual void OnEditGotoLastChange();
    virtual void OnEditChangeCodePage();
    virtual void OnToolsSpelling();
    virtual void OnEditReplace();

    // The identifier before the caret (empty when the caret is not at the
    // end of one); its start in start.
    std::u16string PrefixBeforeCaret(int& start);
    // The indent unit at a screen column.
    std::u16string IndentUnit(int column);
    // Deletes the selection with the action; the caret goes to its start.
    bool DeleteSelection(int action);
    // The caret at pt, no selection, anchor there, visible.
    void PlaceCaret(EdtPoint pt);
    // Inserts text at the caret with the action and places the caret after it.
    bool InsertAtCaret(std::u16string_view text, int action);
    // Whether the selection spans more than one line; the lines from first to
    // last that a block indent covers.
    bool BlockLines(int& first, int& last);

private:
    friend class CEditDropTarget;
    friend class CEdtSpellSession;
    void MapEditCommands();
    void MapTextCommands();
    void Cmd(uint32_t id, std::function<void()> fn, bool keepKeyboardSelection = false);
    void EnableIfEditable(uint32_t id);
    void AutoIndentAfterBreak();
    bool ReplaceSelectionIn(std::u16string_view replacement, uint32_t flags, bool ownGroup);
    bool SearchStep(std::u16string_view text, uint32_t flags, const FindProgressFn& progress);
    // When the current match was found for another text, other flags or
    // another scope: searches for these from its start (searched true) and
    // gives the result.
    bool FindAgainIfMatchIsStale(std::u16string_view text, uint32_t flags, bool& searched);
    // Replace all from part (0: from pos to the end or the block end, 1:
    // the whole file's wrap from (0, 0) to m_replaceLimit) on: match by
    // match through the search and ReplaceSelection (EdtReplace.cpp), or in
    // one pass over the lines that rebuilds each changed line once
    // (EdtReplaceAll.cpp; hands over to the steps where they must decide).
    struct ReplaceAllOutcome
    {
        int replaced = 0;
        bool stop = false;    // cancelled, or the buffer changed under it
        bool failed = false;  // a substitution failed
    };
    void ReplaceAllSteps(std::u16string_view text, std::u16string_view replacement, uint32_t flags,
                         const FindProgressFn& progress, int total, int part, EdtPoint pos,
                         ReplaceAllOutcome& out);
    void ReplaceAllOnePass(std::u16string_view text, std::u16string_view replacement,
                           uint32_t flags, const FindProgressFn& progress, int total, EdtPoint pos,
                           ReplaceAllOutcome& out);
    void ShowDropCaret(EdtPoint pt);
    void HideDropCaret();

    int m_replacementLength = 0;
    std::map<std::u16string, std::u16string> m_expand;
    bool m_replaceFlagsRemembered = false;
    uint32_t m_replaceFlags = 0;
    bool m_overwrite = false;
    bool m_dropCaretShown = false;
    EdtPoint m_dropSavedCaret;
    EdtPoint m_dropPos;
    bool m_savedSelValid = false;
    EdtPoint m_savedSel[2];
    bool m_autoIndent = false;
    bool m_insertTabs = true;
    bool m_disableBSAtSOL = false;
    bool m_replaceTracked = false;  // the replace state's points follow changes
    EdtPoint m_replaceLimit;        // Replace all: the end of its second part
    ReplaceState m_replace;
    std::unique_ptr<CEditDropTarget> m_dropTarget;
};

// The base of the structured-text and PLC views: one line parser of its own.
class CEdtEditViewEx : public CEdtEditView
{
    Q_OBJECT
public:
    explicit CEdtEditViewEx(QWidget* parent = nullptr) : CEdtEditView(parent) {}
    // Attaches a parser (this view becomes its view); returns the previous one.
    CEdtParser* SetSyntaxParser(CEdtParser* parser);
    CEdtParser* GetSyntaxParser() const { return m_syntaxParser; }
    // The attached parser over a line (0 without one).
    virtual uint32_t ParseLineWithParser(uint32_t cookie, int line, TextBlockList* blocks);

private:
    CEdtParser* m_syntaxParser = nullptr;
};
