#pragma once
// Stand-in for the text and PLC header document, its view and its child
// frame: the file is loaded into a text buffer (code page, line ends and
// source type from the file) and shown read-only in the editor's text
// view; the document is never modified.  The editor's text document and
// view with their split child frame will replace this file.

#include "editor/EdtTextBuffer.h"
#include "editor/EdtTextView.h"
#include "platform/ui/Document.h"

#include <QString>

class CStructuredTextDoc : public ui::Document
{
    Q_OBJECT
public:
    CStructuredTextDoc();
    ~CStructuredTextDoc() override;
    bool OnOpenDocument(const QString& path) override;
    bool OnNewDocument() override;
    void DeleteContents() override;
    void SetModifiedFlag(bool) override {}
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool IsReadOnly() const { return m_readOnly; }
    CEdtTextBuffer& Buffer() { return m_buffer; }
    // The whole text, lines joined by "\n".
    QString Text() const;

private:
    CEdtTextBuffer m_buffer;
    bool m_readOnly = true;
};

class CStructuredTextView : public CEdtTextView
{
    Q_OBJECT
public:
    CStructuredTextView() = default;
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
