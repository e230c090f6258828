#include "uilib/KVTToolbarDropTarget.h"

#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarButton.h"

#include <QMimeData>

bool CKVTToolbarDropTarget::Accepts(const QMimeData* data)
{
    return data && CKVTToolbarShared::IsCustomizeMode() &&
           data->hasFormat(QString::fromLatin1(kKvtButtonClipboardFormat));
}

int CKVTToolbarDropTarget::OnDragEnter(const QMimeData* data, int effect, const QPoint& point)
{
    return m_bar && Accepts(data) ? m_bar->Customizer().OnDragEnter(data, effect, point) : DROPEFFECT_NONE;
}

int CKVTToolbarDropTarget::OnDragOver(const QMimeData* data, int effect, const QPoint& point)
{
    return m_bar && Accepts(data) ? m_bar->OnDragOver(data, effect, point) : DROPEFFECT_NONE;
}

int CKVTToolbarDropTarget::OnDropEx(const QMimeData* data, int effect, const QPoint& point)
{
    if (!m_bar || !Accepts(data))
        return DROPEFFECT_NONE;
    return m_bar->Customizer().OnDrop(data, effect, point) ? effect : DROPEFFECT_NONE;
}

void CKVTToolbarDropTarget::OnDragLeave()
{
    if (m_bar)
        m_bar->Customizer().OnDragLeave();
}
