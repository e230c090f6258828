#include "platform/ui/FileDialogs.h"

#include "res/StringTable.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

namespace ui {

QString ConvertFileFilter(const QString& pipeFilter)
{
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        if (description.isEmpty() && parts[i + 1].isEmpty())
            continue;
        QStringList patterns;
        for (QString p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            p = p.trimmed();
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
            if (!p.isEmpty())
                patterns.append(p);
        }
        filters.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace ui

namespace ui {

namespace {

// The patterns of a filter text: what its last brackets hold.
QStringList FilterPatterns(const QString& filter)
{
    static const QRegularExpression re(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch m = re.match(filter);
    if (!m.hasMatch())
        return {};
    return m.captured(1).split(QRegularExpression(QStringLiteral("[ ;]")), Qt::SkipEmptyParts);
}

// The file list of a dialog with the texts that Qt formats in the system's
// locale redone in the default one.
class InterfaceLocaleFileList : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || index.column() == 0)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        switch (index.column()) {
        case 1: // a folder has no size
            if (files->isDir(source))
                break;
            return QLocale().formattedDataSize(files->size(source));
        case 2: // the type of a file is the MIME comment, already localised
            if (files->isDir(source))
                return LoadResString(IDS_FOLDER_TYPE);
            break;
        case 3: {
            const QDateTime when = files->lastModified(source);
            if (when.isValid())
                return QLocale().toString(when, QLocale::ShortFormat);
            break;
        }
        default:
            break;
        }
        return QIdentityProxyModel::data(index, role);
    }
};

// A wildcard pattern that matches without regard to case.
QString NoCasePattern(const QString& pattern)
{
    if (pattern == QLatin1String("*.*"))
        return QStringLiteral("*");
    QString out;
    for (QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        else
            out += c;
    }
    return out;
}

} // namespace

void ShowInInterfaceLocale(QFileDialog& dialog)
{
    dialog.setProxyModel(new InterfaceLocaleFileList(&dialog));
}

bool PromptFileName(QWidget* owner, QString& path, const QString& start, const QStringList& filters,
                    const QString& pattern, bool mustExist)
{
    QFileDialog dlg(owner, LoadResString(IDS_OPEN_TITLE));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    ShowInInterfaceLocale(dlg);
    // The dialog shows each text as given; the brackets added below carry
    // the patterns it filters with.
    dlg.setOption(QFileDialog::HideNameFilterDetails);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);

    QStringList texts = filters;
    texts.append(LoadResString(IDS_ALL_FILES_FILTER));
    QStringList qtFilters;
    for (const QString& text : texts) {
        QStringList patterns = FilterPatterns(text);
        if (patterns.isEmpty())
            patterns.append(QStringLiteral("*.*"));
        QStringList noCase;
        for (const QString& p : patterns)
            noCase.append(NoCasePattern(p));
        const QString f = text + QStringLiteral(" (") + noCase.join(QLatin1Char(' ')) + QLatin1Char(')');
        qtFilters.append(f);
    }
    dlg.setNameFilters(qtFilters);
    // "*.*" selects all files, any other pattern the first filter.
    dlg.selectNameFilter(pattern == QLatin1String("*.*") ? qtFilters.last() : qtFilters.first());

    const QFileInfo info(start);
    if (info.isDir()) {
        dlg.setDirectory(start);
    } else {
        dlg.setDirectory(info.absolutePath());
        dlg.selectFile(info.fileName());
    }
    if (dlg.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dlg.selectedFiles();
    if (chosen.isEmpty())
        return false;
    const QFileInfo result(chosen.first());
    if (!result.absoluteDir().exists() || (mustExist && !result.isFile()))
        return false;
    path = result.absoluteFilePath();
    return true;
}

} // namespace ui
