#include "plcviews/PLCDoc.h"

void CPLCView::OnProjectUpdate(ui::View*, long, QObject*) { ++m_projectUpdates; }

void CPLCView::OnActivateView(bool activate)
{
    if (!activate)
        return;
    if (ui::Document* doc = GetDocument())
        for (ui::View* v : doc->Views())
            if (auto* pv = qobject_cast<CPLCView*>(v))
                pv->m_bActive = (pv == this);
}
