#include "plcviews/StandInView.h"

#include <QFile>
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
    return edit;
}
