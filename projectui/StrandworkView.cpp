#include "projectui/StrandworkView.h"

#include "platform/ui/Dialog.h"

#include <QPointer>
#include <QVBoxLayout>

CStrandworkView::CStrandworkView()
{
    setObjectName(QStringLiteral("StrandworkView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (QWidget* form = ui::LoadForm(IDD, this))
        layout->addWidget(form);
}

void CStrandworkView::OnInitialUpdate()
{
    ui::View::OnInitialUpdate();
    if (ui::ChildFrame* frame = GetParentFrame()) {
        QPointer<ui::ChildFrame> target(frame);
        QMetaObject::invokeMethod(
            frame,
            [target] {
                if (target)
                    target->close();
            },
            Qt::QueuedConnection);
    }
}
