#pragma once
// Stand-in for the text and PLC header document, its view and its child
// frame: the file is shown read-only, decoded with code page 1250, and the
// document is never modified.  The editor's text document and view with
// their split child frame will replace this file.

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

private:
    QPlainTextEdit* m_edit;
};

class CChildFrame : public ui::ChildFrame
{
    Q_OBJECT
public:
    CChildFrame() = default;
};
