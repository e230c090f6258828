#pragma once
// The text buffer of one open source file: lines with per-line flag words,
// undo/redo history, the modified state and the views that show it, plus
// loading and saving in code pages and line-end styles (EdtTextFile.cpp).
// See docs/editor-buffer.md.

#include "editor/buffer/EdtLineStore.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct TextTypeDef;  // completed by the source-type table

// A text position: character index in the line and line index, both from 0.
struct EdtPoint
{
    int ch = 0;
    int line = 0;
    bool operator==(const EdtPoint&) const = default;
};

// Update flags sent to the views.
constexpr uint32_t EDT_UPD_LINE = 0x0101;   // text changed within one line
constexpr uint32_t EDT_UPD_LINES = 0x0003;  // lines added or removed
constexpr uint32_t EDT_UPD_FLAGS = 0x0300;  // a line's flags changed
constexpr uint32_t EDT_UPD_RESET = 0x1000;  // whole text replaced; line -1

// Line flags.
constexpr uint32_t EDT_LF_BOOKMARK(int n) { return 1u << n; }  // n = 0..9
constexpr uint32_t EDT_LF_BOOKMARK_UNNAMED = 0x80000;

// Undo action codes.
enum : int {
    EDT_ACTION_PASTE = 1,
    EDT_ACTION_DELETE_SELECTION,
    EDT_ACTION_CUT,
    EDT_ACTION_TYPING,
    EDT_ACTION_BACKSPACE,
    EDT_ACTION_INDENT,
    EDT_ACTION_DRAGDROP,
    EDT_ACTION_REPLACE,
    EDT_ACTION_DELETE,
    EDT_ACTION_AUTOINDENT,
    EDT_ACTION_AUTOCOMPLETE,
    EDT_ACTION_AUTOEXPAND,
    EDT_ACTION_LOWERCASE,
    EDT_ACTION_UPPERCASE,
    EDT_ACTION_SWAPCASE,
    EDT_ACTION_CAPITALIZE,
    EDT_ACTION_SENTENCECASE,
    EDT_ACTION_CODEPAGE,
    EDT_ACTION_SPELL,  // 19
};

// String-table id of the description of action 0 ("Neznámý"); codes 1-19
// follow it.
constexpr unsigned EDT_IDS_ACTION_UNKNOWN = 4470;

// Carries the range of an insertion or deletion to the views and moves
// their points across it.
class UpdateContext
{
public:
    UpdateContext(EdtPoint b, EdtPoint e) : begin(b), end(e) {}
    virtual ~UpdateContext() = default;
    virtual void RecalcPoint(EdtPoint& pt) const = 0;

    EdtPoint begin;
    EdtPoint end;
};

class InsertContext : public UpdateContext
{
public:
    using UpdateContext::UpdateContext;
    void RecalcPoint(EdtPoint& pt) const override;
};

class DeleteContext : public UpdateContext
{
public:
    using UpdateContext::UpdateContext;
    void RecalcPoint(EdtPoint& pt) const override;
};

// A change of many lines at once (CEdtTextBuffer::RewriteLines, its undo and
// redo): each rewritten line gives way to one or more lines.  A point on a
// rewritten line moves through the line's edits as it would through one
// deletion and insertion each, made from left to right; a point on another
// line moves by the lines added above it.
class RewriteContext : public UpdateContext
{
public:
    // One replaced span of a rewritten line: chars begin..end of the line
    // before, and where its replacement begins and ends afterwards (lines
    // counted from the rewritten line).  Spans ascend by begin.
    struct Edit
    {
        int begin = 0;
        int end = 0;
        EdtPoint newBegin;
        EdtPoint newEnd;
    };
    struct Line
    {
        int line = 0;          // in the text before the change
        int added = 0;         // lines that came in after it
        size_t firstEdit = 0;  // its spans in edits
        size_t edits = 0;      // 0: a point keeps its char, at most the new line's length
        int count = 1;         // lines it covers before (edits: 1)
        int newLength = 0;     // without edits: the length of its first new line
    };

    RewriteContext() : UpdateContext({}, {}) {}
    void RecalcPoint(EdtPoint& pt) const override;
    // Fills begin, end and the running sums once lines and edits are in.
    void Finish();
    int AddedLines() const { return m_added.empty() ? 0 : m_added.back(); }

    std::vector<Line> lines;  // ascending by line
    std::vector<Edit> edits;

private:
    std::vector<int> m_added;  // lines added by lines[0 .. i]
};

// How the buffer reaches the views that show it.
class IEdtBufferListener
{
public:
    virtual void UpdateView(IEdtBufferListener* sourceView, const UpdateContext* context,
                            uint32_t flags, int line) = 0;
    virtual void OnEditOperation(int action, std::u16string_view text)
    {
        (void)action;
        (void)text;
    }
    virtual bool SelectTextType(const TextTypeDef* type)
    {
        (void)type;
        return false;
    }

protected:
    ~IEdtBufferListener() = default;
};

namespace edt {
// Test hook of SaveToFile: called after the new content was written, just
// before it is put in place of the target (the temporary file's path, empty
// while it has no name, and the target's native path).  nullptr: none.
using SaveTestHook = void (*)(const std::string& tempPath, const std::string& targetPath);
void SetSaveTestHook(SaveTestHook hook);
} // namespace edt

class CEdtTextBuffer
{
public:
    CEdtTextBuffer();
    virtual ~CEdtTextBuffer();
    CEdtTextBuffer(const CEdtTextBuffer&) = delete;
    CEdtTextBuffer& operator=(const CEdtTextBuffer&) = delete;

    bool InitNew(int crlfMode = 0);
    void FreeAll();

    void AddView(IEdtBufferListener* view);
    void RemoveView(IEdtBufferListener* view);
    void UpdateViews(IEdtBufferListener* sourceView, const UpdateContext* context, uint32_t flags,
                     int line);

    // Line accessors; a line outside 0 .. count-1 throws std::out_of_range.
    int GetLineCount() const;
    int GetLineLength(int line) const;
    const char16_t* GetLineChars(int line) const;  // not NUL-terminated
    uint32_t GetLineFlags(int line) const;
    // The line's characters and length with one lookup (searches).
    std::u16string_view GetLineView(int line) const;
    // The lines themselves, for searches that scan their memory.
    const edt::LineStore& GetLineStore() const { return m_lines; }

    bool GetReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    int GetCRLFMode() const { return m_crlfMode; }
    void SetCRLFMode(int mode);
    bool IsModified() const { return m_modified; }
    virtual void SetModified(bool modified);
    bool IsInitialized() const { return m_initialized; }
    // UTF-16 (written with its mark); switching it on ends UTF-8.
    bool GetUnicode() const { return m_unicode; }
    void SetUnicode(bool unicode);
    // UTF-8, written with its mark when GetUtf8Mark() (the loaded file had
    // one); no code page then.  A UTF-16 buffer is never UTF-8.
    bool GetUtf8() const { return m_utf8 && !m_unicode; }
    void SetUtf8(bool utf8);
    bool GetUtf8Mark() const { return m_utf8Mark; }
    void SetUtf8Mark(bool mark) { m_utf8Mark = mark; }
    // The encoding as an index of GetEncodingNames(): the code page (-1 for
    // none, else 0-12), 13 UTF-16 or 14 UTF-8.
    int GetEncoding() const;
    int GetCodePage() const { return m_codePage; }
    void SetCodePage(int codePage);  // -1..12; anything else becomes -1
    bool GetLoadedFromFile() const { return m_loadedFromFile; }
    // The byte after the last whole unit of a UTF-16 file of odd length
    // (no character of the text), written back after the text when the
    // buffer is saved as UTF-16; -1 for none.
    int GetOddTrailingByte() const { return m_oddTrailingByte; }

    bool CanUndo() const;
    bool CanRedo() const;
    EdtPoint GetLastChangePos() const { return m_lastChange; }

    // The text of a range, lines joined with lineEnd; empty for a range
    // outside the text.
    void GetText(int startLine, int startChar, int endLine, int endChar, std::u16string& text,
                 std::u16string_view lineEnd = u"\r\n") const;

    int FindLineWithFlag(uint32_t mask) const;
    int GetLineWithFlag(uint32_t flag) const;
    int FindNextBookmarkLine(int line) const;
    int FindPrevBookmarkLine(int line) const;

    bool InsertText(IEdtBufferListener* view, int line, int ch, std::u16string_view text,
                    int& endLine, int& endChar, int action);
    bool DeleteText(IEdtBufferListener* view, int startLine, int startChar, int endLine,
                    int endChar, int action);
    void SetLineFlag(int line, uint32_t flag, bool set, bool removeFromOtherLines);

    // One line of RewriteLines: the line (in the text as it is) and the
    // lines that take its place; the first keeps the line's flags.
    struct LineRewrite
    {
        int line = 0;
        edt::LineText first;
        std::vector<edt::LineText> more;
    };
    // Puts the rewrites (ascending by line, one per line) in place as one
    // undo record, or adds them to the open group's newest record when that
    // is a rewrite of the same action.  The context tells the views how
    // their points move (its lines match the rewrites).  undoCaret: the
    // caret after undoing the record (only a new record takes it); redoCaret
    // and lastChange: after the change; lastText: the record's text for
    // OnEditOperation.
    bool RewriteLines(IEdtBufferListener* view, std::vector<LineRewrite>&& rewrites,
                      RewriteContext& context, EdtPoint undoCaret, EdtPoint redoCaret,
                      int action, std::u16string_view lastText);

    void BeginUndoGroup(bool mergeWithPrevious = false);
    // Closes the open group; true when the group added records.
    bool FlushUndoGroup(IEdtBufferListener* view);
    // The action code and end point of the newest record before the undo
    // position, and whether it starts its group; false when there is none.
    bool GetLastUndoRecord(int& action, EdtPoint& end) const;
    // Increased by every insertion and deletion (undo and redo included),
    // InitNew, FreeAll and every load.
    uint64_t GetChangeCount() const { return m_changeCount; }
    bool Undo(EdtPoint& caret);
    bool Redo(EdtPoint& caret);
    bool GetUndoDescription(std::u16string& text, int position = 0) const;
    bool GetRedoDescription(std::u16string& text, int position = 0) const;
    virtual bool GetActionDescription(int action, std::u16string& text) const;

    // Files (EdtTextFile.cpp).
    [[nodiscard]] bool LoadFromFile(std::u16string_view path, int crlfMode = -1);
    [[nodiscard]] bool SaveToFile(std::u16string_view path, int crlfMode = -1,
                                  bool clearModified = true, int* replacedChars = nullptr);
    int CountUnmappableChars() const;
    void SetTextTypeFromFileName(std::u16string_view path);

    static constexpr int kUndoLimit = 1024;

protected:
    bool InternalInsertText(IEdtBufferListener* view, int line, int ch, std::u16string_view text,
                            int& endLine, int& endChar);
    // Inserts pieces as lines: the first joins line at ch, each further one
    // becomes a line of its own.
    bool InternalInsertLines(IEdtBufferListener* view, int line, int ch,
                             const std::vector<std::u16string>& pieces, int& endLine,
                             int& endChar);
    bool InternalDeleteText(IEdtBufferListener* view, int startLine, int startChar, int endLine,
                            int endChar);
    void AddUndoRecord(bool insert, EdtPoint start, EdtPoint end, std::u16string_view text,
                       int action, std::vector<std::u16string>&& pieces);

private:
    // The other version of the lines of RewriteLines: entries in the order
    // they were made; each holds what its line(s) held before (or, once
    // undone, after) the change.
    struct LineBatch
    {
        struct Entry
        {
            int line = 0;    // its first line after the change
            int before = 1;  // its lines before the change
            int after = 1;   // and after it
            std::vector<edt::LineText> held;
        };
        std::vector<Entry> entries;
        std::vector<size_t> parts;  // the first entry of every RewriteLines call
        EdtPoint undoCaret;
    };
    struct UndoRecord
    {
        uint32_t flags = 0;  // 0x001 insertion, 0x100 starts a group
        EdtPoint start;
        EdtPoint end;
        int action = 0;
        std::u16string text;                 // as inserted, or the removed text joined by CR LF
        std::vector<std::u16string> pieces;  // a deletion's removed lines, as they were
        std::unique_ptr<LineBatch> batch;    // a rewrite of lines (RewriteLines)
    };
    static constexpr uint32_t kUndoInsert = 0x001;
    static constexpr uint32_t kUndoGroupStart = 0x100;

    bool ValidPoint(int line, int ch) const;
    void CheckLine(int line) const;
    void ResetUndo();
    void DropOldestGroups();
    // The removed lines of a range, as separate pieces.
    std::vector<std::u16string> RangePieces(int startLine, int startChar, int endLine,
                                            int endChar) const;
    void ApplyRecord(const UndoRecord& rec, bool revert, EdtPoint& caret);
    void ApplyBatch(LineBatch& batch, bool revert);
    void PushUndoRecord(UndoRecord&& rec);

    bool m_unicode = false;
    bool m_utf8 = false;
    bool m_utf8Mark = false;
    int m_codePage = -1;
    bool m_initialized = false;
    bool m_readOnly = false;
    bool m_modified = false;
    bool m_loadedFromFile = false;
    int m_oddTrailingByte = -1;
    int m_crlfMode = 0;
    int m_undoLimit = kUndoLimit;
    edt::LineStore m_lines;
    std::vector<UndoRecord> m_undo;
    int m_undoPos = 0;
    int m_savedPos = 0;
    bool m_groupOpen = false;
    bool m_groupStartPending = false;
    int m_groupRecords = 0;  // records added by the open group
    size_t m_lastGroupStart = 0;  // index of the newest group-start record
    EdtPoint m_lastChange{-1, -1};
    uint64_t m_changeCount = 0;
    std::vector<IEdtBufferListener*> m_views;
};
