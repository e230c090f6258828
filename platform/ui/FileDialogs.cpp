#include "platform/ui/FileDialogs.h"
#include "platform/ui/LocalPath.h"

#include "platform/sys/LocalFiles.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/Utf8Stream.h"
#include "platform/ui/Document.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QHash>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

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

    void setSourceModel(QAbstractItemModel* model) override
    {
        QIdentityProxyModel::setSourceModel(model);
        m_shownNames.clear();
        if (!model)
            return;
        // What the names stand for may change with every change of the list.
        auto forget = [this] { m_shownNames.clear(); };
        connect(model, &QAbstractItemModel::rowsInserted, this, forget);
        connect(model, &QAbstractItemModel::rowsRemoved, this, forget);
        connect(model, &QAbstractItemModel::dataChanged, this, forget);
        connect(model, &QAbstractItemModel::layoutChanged, this, forget);
        connect(model, &QAbstractItemModel::modelReset, this, forget);
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (role == Qt::ToolTipRole && files && index.column() == 0)
            return SeveralNames(files, mapToSource(index));
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

private:
    // Qt lists a name whose bytes are no UTF-8 only where its look-alike
    // is ("caf\xE9.txt" beside "caf\xEF\xBF\xBD.txt"), as one row: its tip
    // names every entry the row stands for.
    QVariant SeveralNames(QFileSystemModel* files, const QModelIndex& source) const
    {
        const QVariant name = files->data(source, Qt::DisplayRole);
        if (!name.toString().contains(QChar(0xFFFD)))
            return QIdentityProxyModel::data(mapFromSource(source), Qt::ToolTipRole);
        const QString path = files->filePath(source);
        // Looked at again after a while: another entry of that name may
        // have come or gone without the list noticing a change.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (const auto it = m_shownNames.constFind(path); it != m_shownNames.cend() && now - it->second < 1000)
            return it->first;
        const QString shown = ChosenPathCandidates(path).join(QLatin1Char('\n'));
        m_shownNames.insert(path, {shown, now});
        return shown;
    }

    // The shown name of a path and when it was made.
    mutable QHash<QString, std::pair<QString, qint64>> m_shownNames;
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

ExactFileDialog::ExactFileDialog(QWidget* parent, const QString& caption, const QString& directory,
                                 const QString& filter)
    : QFileDialog(parent, caption, directory, filter)
{
    setOption(QFileDialog::DontUseNativeDialog);
    // Qt's list leaves out a name whose bytes are no UTF-8 (or merges it
    // with its look-alike): a line below the list names them, as they are
    // shown and may be typed.
    m_undecodable = new QLabel(this);
    m_undecodable->setObjectName(QStringLiteral("undecodableNames"));
    m_undecodable->setWordWrap(true);
    m_undecodable->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_undecodable->hide();
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(m_undecodable, grid->rowCount(), 0, 1, grid->columnCount());
    if (auto* files = findChild<QFileSystemModel*>()) {
        connect(files, &QFileSystemModel::rootPathChanged, this, [this] { ShowUndecodableNames(); });
        connect(files, &QFileSystemModel::directoryLoaded, this, [this] { ShowUndecodableNames(); });
    }
    connect(this, &QFileDialog::directoryEntered, this, [this] { ShowUndecodableNames(); });
    ShowUndecodableNames();
}

void ExactFileDialog::ShowUndecodableNames()
{
    QStringList names;
    QString folder;
    std::vector<sys::LocalEntry> entries;
    const std::optional<std::string> native =
        ExactChosenPath(directory().absolutePath(), folder) ? NativeOfLocalPath(folder) : std::nullopt;
    if (native && sys::ListLocalFolder(*native, entries))
        for (const sys::LocalEntry& e : entries)
            if (const std::u16string text = sys::NativeToText(e.name); sys::HasNativeByteEscape(text))
                names << QString::fromStdU16String(sys::ShownNativeText(text));
    names.sort();
    m_undecodable->setText(names.isEmpty() ? QString() : FormatResString(IDS_UNDECODABLE_NAMES, names.join(QStringLiteral(", "))));
    m_undecodable->setVisible(!names.isEmpty());
}

void ExactFileDialog::accept()
{
    m_exact.clear();
    const QStringList chosen = selectedFiles();
    // A name Qt could not decode, and a name typed as the program shows it
    // ("caf\xE9.txt") that is no entry itself but names one that way.
    bool undecoded = false, marked = false;
    QStringList typed = chosen;
    for (QString& c : typed) {
        undecoded = undecoded || c.contains(QChar(0xFFFD));
        if (!c.contains(QLatin1String("\\x")))
            continue;
        const QString unmarked =
            QString::fromStdU16String(sys::UnmarkedNativeText(c.toStdU16String()));
        if (unmarked == c || !LocalPathExists(unmarked))
            continue;
        if (LocalPathExists(c)) {
            // Both are files: the user says which, nothing is taken before.
            QStringList bytes;
            const std::u16string text = unmarked.toStdU16String();
            for (size_t i = 0; i < text.size(); ++i)
                if (sys::IsUtf8ByteEscapeAt(text, i))
                    bytes << QString::number(text[i] - 0xDC00, 16).toUpper();
            const int answer =
                Prompt(FormatResString(IDS_MARKED_OR_LITERAL, ShownLocalPath(c),
                                       bytes.join(QLatin1Char(' '))),
                       windowTitle(), MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON3, this);
            if (answer == IDYES)
                continue; // the literal name, through the checks below
            if (answer != IDNO)
                return;
        }
        c = unmarked;
        marked = true;
    }
    if (!undecoded && !marked) {
        // Qt's own checks (a folder typed is entered, a missing file told).
        setResult(QDialog::Rejected);
        QFileDialog::accept();
        if (result() == QDialog::Accepted)
            m_exact = chosen;
        return;
    }
    QStringList exact = typed;
    if (undecoded && !ExactChosenPaths(exact, this))
        return; // said why; the dialog stays open for another choice
    for (const QString& path : exact) {
        const bool there = fileMode() == QFileDialog::Directory ? IsLocalFolder(path) : IsLocalFile(path);
        const bool mustExist = fileMode() == QFileDialog::ExistingFile ||
                               fileMode() == QFileDialog::ExistingFiles || fileMode() == QFileDialog::Directory;
        if (!there && (mustExist || !IsLocalFolder(path.left(std::max<qsizetype>(path.lastIndexOf(QLatin1Char('/')), 1))))) {
            Prompt(FrameworkText(IDS_FILE_NOT_FOUND).arg(ShownLocalPath(path)), windowTitle(), MB_OK | MB_ICONWARNING,
                   this);
            return;
        }
        if (there && acceptMode() == QFileDialog::AcceptSave && fileMode() != QFileDialog::Directory &&
            !testOption(QFileDialog::DontConfirmOverwrite) &&
            Prompt(FormatResString(IDS_REPLACE_EXISTING, ShownLocalPath(path)), windowTitle(),
                   MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, this) != IDYES)
            return;
    }
    m_exact = exact;
    QDialog::accept();
}

bool PromptFileName(QWidget* owner, QString& path, const QString& start, const QStringList& filters,
                    const QString& pattern, bool mustExist)
{
    ExactFileDialog dlg(owner, LoadResString(IDS_OPEN_TITLE));
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
    const QStringList chosen = dlg.ExactFiles();
    if (chosen.isEmpty())
        return false;
    const QString result = AbsoluteLocalPath(chosen.first());
    if (!IsLocalFolder(result.left(std::max<qsizetype>(result.lastIndexOf(QLatin1Char('/')), 1))) ||
        (mustExist && !IsLocalFile(result)))
        return false;
    path = result;
    return true;
}

} // namespace ui
