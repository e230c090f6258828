#pragma once
// Stand-in for the text and PLC header document, its view and its child
// frame: the file is shown read-only, decoded with code page 1250, and the
// document is never modified.  The editor's text document and view with
// their split child frame will replace this file.

#include "editor/EdtTextBuffer.h"
#include "platform/ui/Document.h"

#include <QString>

class QPlainTextEdit;

class CStructuredTextDoc : public ui::Document
{
    Q_OBJECT
public:
    CStructuredTextDoc();
    bool OnOpenDocument(const QString& path) override;
    bool OnNewDocument() override;
    void SetModifiedFlag(bool) override {}
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool IsReadOnly() const { return m_readOnly; }
    const QString& Text() const { return m_text; }

private:
    QString m_text;
    bool m_readOnly = true;
};

class CStructuredTextView : public ui::View
{
    Q_OBJECT
public:
    CStructuredTextView();
    void OnUpdate(ui::View* sender, long hint, QObject* object) override;
    QPlainTextEdit* Edit() const { return m_edit; }
    // Clamps (character, line) into the text, moves the text cursor there
    // and scrolls it into view.
    void ClampTextPos(EdtPoint pos);
    // The text cursor as (character, line), counted from 0.
    EdtPoint GetCursorPos() const;

private:
    QPlainTextEdit* m_edit;
};

class CChildFrame : public ui::ChildFrame
{
    Q_OBJECT
public:
    CChildFrame() = default;
};
