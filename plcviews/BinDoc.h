#pragma once
// Stand-in for the binary document, its hex view and its child frame: the
// file is shown read-only as 16 hexadecimal bytes per line and the document
// is never modified.  The hex editor view with caret areas and its split
// child frame will replace this file.

#include "platform/ui/Document.h"

#include <QByteArray>

class QPlainTextEdit;

class CBinDoc : public ui::Document
{
    Q_OBJECT
public:
    CBinDoc() = default;
    bool OnOpenDocument(const QString& path) override;
    bool OnNewDocument() override;
    void SetModifiedFlag(bool) override {}
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    const QByteArray& Bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    bool m_readOnly = true;
};

// The hex dump of bytes: offset, 16 bytes in hexadecimal and their
// characters per line.
QString HexDump(const QByteArray& bytes);

class CBinView : public ui::View
{
    Q_OBJECT
public:
    CBinView();
    void OnUpdate(ui::View* sender, long hint, QObject* object) override;
    QPlainTextEdit* Edit() const { return m_edit; }

private:
    QPlainTextEdit* m_edit;
};

class CBinChildFrame : public ui::ChildFrame
{
    Q_OBJECT
public:
    CBinChildFrame() = default;
};
