#include "plcviews/StructuredTextDoc.h"

#include "editor/EdtOptionPages.h"

#include "uilib/KVTWorkspace.h"

#include <QContextMenuEvent>

#include "platform/sys/WinPath.h"

#include <QFileInfo>

#include <algorithm>

void CStandInBuffer::SetModified(bool modified)
{
    CEdtTextBuffer::SetModified(modified);
    if (m_doc && m_doc->IsModified() != modified)
        m_doc->ui::Document::SetModifiedFlag(modified);
}

CStructuredTextDoc::CStructuredTextDoc()
{
    m_buffer.InitNew();
}

void CStructuredTextDoc::SetModifiedFlag(bool modified)
{
    ui::Document::SetModifiedFlag(modified);
    if (m_buffer.IsModified() != modified)
        m_buffer.CEdtTextBuffer::SetModified(modified);
}

void CStructuredTextDoc::SetReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    m_buffer.SetReadOnly(readOnly);
}

CStructuredTextDoc::~CStructuredTextDoc()
{
    // The views go before the buffer; none may still point at it.
    for (ui::View* v : Views())
        if (auto* tv = qobject_cast<CEdtTextView*>(v))
            tv->DetachFromBuffer();
}

bool CStructuredTextDoc::OnNewDocument()
{
    m_buffer.FreeAll();
    m_buffer.InitNew();
    m_buffer.SetReadOnly(m_readOnly);
    SetModifiedFlag(false);
    return true;
}

void CStructuredTextDoc::DeleteContents()
{
    for (ui::View* v : Views())
        if (auto* tv = qobject_cast<CEdtTextView*>(v))
            tv->DetachFromBuffer();
}

bool CStructuredTextDoc::OnOpenDocument(const QString& path)
{
    if (!m_buffer.LoadFromFile(path.toStdU16String())) {
        const std::optional<std::string> native = sys::WinPath::ToNative(path.toStdU16String());
        const bool exists = native && QFileInfo::exists(QString::fromStdString(*native));
        ReportSaveLoadException(path, exists ? ui::FileError::generic : ui::FileError::notFound, false,
                                ui::IDS_FAILED_TO_OPEN);
        m_buffer.InitNew();
        return false;
    }
    if (m_readOnly)
        m_buffer.SetReadOnly(true);
    SetModifiedFlag(false);
    return true;
}

bool CStructuredTextDoc::OnSaveDocument(const QString& path)
{
    if (!m_buffer.SaveToFile(path.toStdU16String(), -1, true)) {
        ReportSaveLoadException(path, ui::FileError::generic, true, ui::IDS_FAILED_TO_SAVE);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

QString CStructuredTextDoc::Text() const
{
    const int n = m_buffer.GetLineCount();
    if (n == 0)
        return {};
    std::u16string text;
    m_buffer.GetText(0, 0, n - 1, m_buffer.GetLineLength(n - 1), text, u"\n");
    return QString::fromStdU16String(text);
}

CStructuredTextView::CStructuredTextView()
{
    // Until the structured-text view maps its own window options.
    MapCommand(ID_EDT_WINDOW_OPTIONS, [this] { ShowEditorOptionsSheet(this, window()); });
}

void CStructuredTextView::contextMenuEvent(QContextMenuEvent* e)
{
    if (CKVTWorkspace* workspace = CKVTWorkspace::Instance())
        workspace->ShowPopupMenu(ContextMenuId(),
                                 e->reason() == QContextMenuEvent::Keyboard ? QPoint(-1, -1) : e->globalPos(), this);
    e->accept();
}

CEdtTextBuffer* CStructuredTextView::LocateTextBuffer()
{
    auto* doc = qobject_cast<CStructuredTextDoc*>(GetDocument());
    return doc ? &doc->Buffer() : nullptr;
}

void CStructuredTextView::ClampTextPos(EdtPoint pos)
{
    const int line = std::clamp(pos.line, 0, std::max(0, GetLineCount() - 1));
    const int ch = GetLineCount() > 0 ? std::clamp(pos.ch, 0, GetLineLength(line)) : 0;
    const EdtPoint pt{ch, line};
    SetSelection(pt, pt);
    SetAnchor(pt);
    SetCursorPos(pt);
    EnsureVisible(pt);
}
