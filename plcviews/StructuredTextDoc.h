#pragma once
// Stand-in for the text and PLC header document, its view and its child
// frame: the file is loaded into a text buffer (code page, line ends and
// source type from the file) and edited in the editor's edit view; the
// buffer's modified state is the document's, saving writes the buffer in
// its code page and line ends.  The editor's text document and view with
// their split child frame will replace this file.

#include "editor/EdtEditView.h"
#include "editor/EdtTextBuffer.h"
#include "platform/ui/Document.h"

#include <QString>

class CStructuredTextDoc;

// The document's buffer: its modified state drives the document's.
class CStandInBuffer : public CEdtTextBuffer
{
public:
    explicit CStandInBuffer(CStructuredTextDoc* doc) : m_doc(doc) {}
    void SetModified(bool modified) override;

private:
    CStructuredTextDoc* m_doc;
};

class CStructuredTextDoc : public ui::Document
{
    Q_OBJECT
public:
    CStructuredTextDoc();
    ~CStructuredTextDoc() override;
    bool OnOpenDocument(const QString& path) override;
    bool OnSaveDocument(const QString& path) override;
    bool OnNewDocument() override;
    void DeleteContents() override;
    void SetModifiedFlag(bool modified = true) override;
    // Read-only (File > Open's box): the buffer refuses every change.
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return m_readOnly; }
    CEdtTextBuffer& Buffer() { return m_buffer; }
    // The whole text, lines joined by "\n".
    QString Text() const;

private:
    friend class CStandInBuffer;
    CStandInBuffer m_buffer{this};
    bool m_readOnly = false;
};

class CStructuredTextView : public CEdtEditViewEx
{
    Q_OBJECT
public:
    CStructuredTextView();
    CEdtTextBuffer* LocateTextBuffer() override;
    // Clamps (character, line) into the text, puts the caret there without
    // a selection and scrolls it into view.
    void ClampTextPos(EdtPoint pos);
    // The registered context menu of the view (the text view's 1031).
    virtual uint32_t ContextMenuId() const { return 1031; }

protected:
    // A right click and the context-menu key show the registered context menu.
    void contextMenuEvent(QContextMenuEvent* e) override;
};

class CChildFrame : public ui::ChildFrame
{
    Q_OBJECT
public:
    CChildFrame() = default;
};
