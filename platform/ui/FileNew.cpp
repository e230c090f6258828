// The framework's new-document command (DocManager::OnFileNew).
#include "platform/ui/Dialog.h"
#include "platform/ui/Document.h"

#include <QListWidget>

namespace ui {

namespace {
constexpr uint32_t IDD_NEW_DOCUMENT = 4680;
constexpr int IDC_NEW_TYPES = 4681;
} // namespace

void DocManager::OnFileNew(QWidget* parent)
{
    if (m_templates.empty())
        return;
    DocTemplate* chosen = nullptr;
    if (m_templates.size() == 1) {
        chosen = m_templates.front().get();
    } else {
        std::vector<DocTemplate*> offered;
        Dialog dlg(IDD_NEW_DOCUMENT, parent);
        auto* list = dlg.Item<QListWidget>(IDC_NEW_TYPES);
        if (!list)
            return;
        for (const auto& t : m_templates) {
            QString name;
            if (t->GetDocString(name, DocTemplate::fileNewName) && !name.isEmpty()) {
                list->addItem(name);
                offered.push_back(t.get());
            }
        }
        if (offered.empty())
            return;
        list->setCurrentRow(0);
        QObject::connect(list, &QListWidget::itemDoubleClicked, &dlg, [&dlg] { dlg.OnOK(); });
        if (dlg.DoModal() != QDialog::Accepted)
            return;
        const int row = list->currentRow();
        if (row < 0 || row >= int(offered.size()))
            return;
        chosen = offered[size_t(row)];
    }
    chosen->OpenDocumentFile(QString());
}

} // namespace ui
