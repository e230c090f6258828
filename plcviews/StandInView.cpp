#include "plcviews/StandInView.h"

#include "uilib/KVTWorkspace.h"

#include <QFile>
#include <QContextMenuEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>

bool ReadStandInFile(ui::Document& doc, const QString& path, QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        doc.ReportSaveLoadException(path,
                                    f.exists() ? ui::FileError::generic : ui::FileError::notFound,
                                    false, ui::IDS_FAILED_TO_OPEN);
        return false;
    }
    bytes = f.readAll();
    return true;
}

namespace {
// Shows the view's registered context menu (the view's property
// "sw_context_menu") for a right click and the context-menu key.
class ContextMenuFilter : public QObject
{
public:
    ContextMenuFilter(ui::View* view) : QObject(view), m_view(view) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() != QEvent::ContextMenu)
            return false;
        auto* ce = static_cast<QContextMenuEvent*>(e);
        const uint32_t id = m_view->property("sw_context_menu").toUInt();
        CKVTWorkspace* workspace = CKVTWorkspace::Instance();
        if (!id || !workspace)
            return false;
        const QPoint pt = ce->reason() == QContextMenuEvent::Keyboard ? QPoint(-1, -1) : ce->globalPos();
        workspace->ShowPopupMenu(id, pt, m_view);
        return true;
    }

private:
    ui::View* m_view;
};
} // namespace

QPlainTextEdit* MakeStandInEdit(ui::View* view)
{
    auto* edit = new QPlainTextEdit(view);
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit);
    edit->setReadOnly(true);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    edit->setFont(font);
    view->setFocusProxy(edit);
    // The context menu event reaches the viewport first (mouse), the edit for the key.
    auto* filter = new ContextMenuFilter(view);
    edit->installEventFilter(filter);
    edit->viewport()->installEventFilter(filter);
    return edit;
}
