#pragma once
// The text, header and PLC source documents with their edit view and split
// child frame.  The file is loaded into a text buffer (code page, line
// ends and source type from the file) and edited in the editor's edit view
// with the colours of the font and colour category "SourceWindow"; the
// document watches its file for outside changes, remembers the caret
// position per file and offers read-only, save and reload.  See
// docs/plcviews.md.

#include "editor/view/EdtEditView.h"
#include "editor/dialogs/EdtOptionPages.h"
#include "editor/buffer/EdtTextBuffer.h"
#include "editor/files/FileChangeMonitor.h"
#include "fontcolor/FontColorPage.h"
#include "platform/ui/Document.h"
#include "platform/ui/Splitter.h"
#include "res/CommandIds.h"
#include "res/text/StringIds.h"

#include <QString>

#include <array>

class CStructuredTextDoc;

// Commands and texts of the documents and views.
constexpr unsigned IDS_SOURCE_WINDOW = 4039;     // "Zdrojový text"
constexpr unsigned IDS_NOW_READ_ONLY = 4267;     // "Dokument je nyní pouze pro čtení!"
constexpr unsigned IDS_FILE_MISSING = 4268;      // "Soubor neexistuje."
constexpr unsigned IDS_CHARS_REPLACED = 4700;

// The document's buffer: its modified state drives the document's.
class CStructuredTextBuffer : public CEdtTextBuffer
{
public:
    explicit CStructuredTextBuffer(CStructuredTextDoc* doc) : m_doc(doc) {}
    void SetModified(bool modified) override;

private:
    CStructuredTextDoc* m_doc;
};

class CStructuredTextDoc : public ui::Document, public CFileChangeMonitor
{
    Q_OBJECT
public:
    CStructuredTextDoc();
    ~CStructuredTextDoc() override;
    bool OnOpenDocument(const QString& path) override;
    bool OnSaveDocument(const QString& path) override;
    // The text as a save writes it (code page, line ends).
    bool WriteCopy(const QString& path, uint32_t& cause) override;
    bool OnNewDocument() override;
    void OnCloseDocument() override;
    void DeleteContents() override;
    void SetModifiedFlag(bool modified = true) override;
    // Read-only (File > Open's box, ID_EDT_READ_ONLY): the buffer refuses every change.
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return m_buffer.GetReadOnly(); }
    CEdtTextBuffer& Buffer() { return m_buffer; }
    // The whole text, lines joined by "\n".
    QString Text() const;
    // Reads the file again; every view clamps its caret into the new text.
    // False (the text kept) when it cannot be read.
    bool Reload();
    // ID_EDT_RELOAD_FILE: reload when the file exists, else 4268.
    bool ReloadFile();

protected:
    void OnFileChanged(uint32_t flags, const std::u16string& path) override;

private:
    friend class CStructuredTextBuffer;
    void CloseOtherEmptyDocuments();
    void WriteRememberedPosition();

    CStructuredTextBuffer m_buffer{this};
    bool m_closed = false;
};

// The remembered caret positions: "EdtLib\Remembered", one 12-byte value
// per full path (u32 seconds since 1970, u32 character, u32 line).
namespace remembered {
bool Write(const QString& path, EdtPoint pos, uint32_t time);
// False when there is no value of 12 bytes.
bool Read(const QString& path, EdtPoint& pos);
} // namespace remembered

class CStructuredTextView : public CEdtEditViewEx, public CFontColorListener
{
    Q_OBJECT
public:
    static const QString kCategory;  // "SourceWindow"
    // The fourteen items of the text, in the order the view keeps them.
    enum Item {
        ItemText,
        ItemSelText,
        ItemComment,
        ItemAsm,
        ItemNcpAddr,
        ItemKeyWord,
        ItemNum,
        ItemPLCInstr,
        ItemOperator,
        ItemString,
        ItemFuncName,
        ItemLabel,
        ItemPreprocessor,
        ItemSelMargin1,
        ItemCount
    };

    CStructuredTextView();
    ~CStructuredTextView() override;
    CEdtTextBuffer* LocateTextBuffer() override;
    void OnInitialUpdate() override;
    void OnActivateView(bool activate) override;
    QColor GetColor(int index) const override;
    bool GetBold(int index) const override;
    bool GetItalic(int index) const override;

    // Registers "SourceWindow" with its fourteen items; false when a
    // registration failed (the rest is then skipped).
    static bool RegisterFontItems(const QString& category, const QString& displayName, CFontColorPage* registry);
    // Attaches the view to the category: items, font, repaint.
    void AttachFontCategory(CFontColorPage* registry, const QString& category);
    void OnFontColorChange(uint32_t id) override;
    // Clamps (character, line) into the text, puts anchor, selection and
    // caret there and scrolls it into view.
    void ClampTextPos(EdtPoint pos);
    // The help keyword: a one-line selection, else the identifier around
    // the caret, else empty.
    std::u16string HelpKeyword();
    // The registered context menu of the view (1031, the PLC view's 1029).
    virtual uint32_t ContextMenuId() const { return 1031; }
    // The view's copy of an item (tests).
    const FontColorItem& ItemAt(int item) const { return m_items[size_t(item)]; }

protected:
    // Reads the items of the attached category (and the font).
    virtual void LoadColorItems(CFontColorPage* registry, const FontColorCategory* category);
    void contextMenuEvent(QContextMenuEvent* e) override;
    void ShowContextMenu(const QPoint& global);
    void OnHelp();
    void OnWindowOptions();

    std::array<FontColorItem, ItemCount> m_items;
    QString m_category;
    bool m_rememberPosition = false;
    CEdtParser m_wrapParser;
};

// The framework's splitter already makes every pane of a column scroll with
// the column's shared bar.
using CChildSplitter = ui::SplitterWnd;

class CChildFrame : public ui::SplitterChildFrame
{
    Q_OBJECT
public:
    CChildFrame();
    bool OnCreateClient(ui::Document* doc, ui::DocTemplate* tmpl) override;
    // The document's title, ":n" for the n-th window, " *" while modified,
    // each while the title stays below 516 characters.
    void OnUpdateFrameTitle() override;
    // The panes in row order; the next / previous one after the focused.
    bool CanActivateNextPane() const;
    void ActivateNextPane(bool previous);

protected:
    void showEvent(QShowEvent* e) override;

private:
    bool m_firstShow = true;
};

// The frame title rule (pure).
QString MakeFrameTitle(const QString& docTitle, int windowNumber, bool modified);
