#include "editor/dialogs/EditFileOpenDlg.h"

#include "editor/buffer/EdtCodePages.h"
#include "editor/settings/EdtCodePageNames.h"
#include "editor/buffer/EdtTextTypeHook.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/Utf8Stream.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/LocalPath.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QAbstractItemView>
#include <QGridLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
constexpr unsigned IDS_PICTURE_INFO = 4611;    // "Šířka:\t%d\nVýška:\t%d\nBarvy:\t%d"
constexpr unsigned IDS_SELECT_DIRECTORY = 4612;
constexpr unsigned IDS_OPEN_AUTOMATIC = 4615;
constexpr unsigned IDS_OPEN_TEXT = 4616;
constexpr uint32_t IDD_FILE_OPEN_PANEL = 101;
constexpr int FOLDER_STATUS_CHARS = 35;
// The size the dialog opens at, or its size hint when that is larger.
constexpr int kDefaultWidth = 1000, kDefaultHeight = 560;
} // namespace

// ------------------------------------------------------------ pure rules

bool edt::IsPicturePath(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    const QString ext = name.mid(dot + 1);
    return ext.compare(QLatin1String("bmp"), Qt::CaseInsensitive) == 0 ||
           ext.compare(QLatin1String("dib"), Qt::CaseInsensitive) == 0;
}

namespace {
bool HasUtf8Mark(const std::vector<uint8_t>& head)
{
    return head.size() >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF;
}

// Whether the head is all of the file (shorter than what the preview reads).
bool IsWholeFile(const std::vector<uint8_t>& head)
{
    return head.size() < edt::PREVIEW_BYTES;
}

// Valid UTF-8 with a character of several bytes.  When the file goes on, a
// character cut off at the end of the head is left out.
bool LooksLikeUtf8(const std::vector<uint8_t>& head)
{
    size_t n = head.size();
    if (!IsWholeFile(head)) {
        size_t k = n;
        while (n - k < 3 && k > 0 && (head[k - 1] & 0xC0) == 0x80)
            --k;
        if (k > 0 && head[k - 1] >= 0xC0)
            n = k - 1;
    }
    sys::Utf8Check check;
    check.Feed(head.data(), n);
    return check.Valid() && check.HasMultiByte();
}

std::u16string DecodeUtf8Head(const std::vector<uint8_t>& head)
{
    const size_t skip = HasUtf8Mark(head) ? 3 : 0;
    sys::Utf8StreamDecoder decoder;
    std::u16string s(sys::Utf8StreamDecoder::Room(head.size() - skip), u'\0');
    s.resize(decoder.Decode(head.data() + skip, head.size() - skip, IsWholeFile(head), s.data()));
    for (size_t i = 0; i < s.size(); ++i)
        if (sys::IsUtf8ByteEscapeAt(s, i))
            s[i] = u'\uFFFD';
    return s;
}
} // namespace

edt::PreviewCharset edt::PreviewCharsetFor(const QString& path, int codePage)
{
    if (codePage == EDT_CODEPAGE_UTF8)
        return PreviewCharset::Utf8;
    if (codePage >= 0)
        return PreviewCharset::Ansi;
    const EdtTextTypeInfo info = LookupEdtTextType(path.toStdU16String());
    if (info.defaultEncoding == EDT_CODEPAGE_UTF8)
        return PreviewCharset::Detect;
    if (info.defaultEncoding >= 0 || info.ansiOnly)
        return PreviewCharset::Ansi;
    return PreviewCharset::Detect;
}

QString edt::PreviewTextOf(const std::vector<uint8_t>& head, PreviewCharset charset)
{
    QString text;
    const bool utf8 = charset == PreviewCharset::Utf8 ||
                      (charset == PreviewCharset::Detect && (HasUtf8Mark(head) || LooksLikeUtf8(head)));
    if (head.size() >= 2 && head[0] == 0xFF && head[1] == 0xFE && charset != PreviewCharset::Utf8) {
        const size_t units = (head.size() - 2) / 2;
        std::u16string s(units, u'\0');
        for (size_t i = 0; i < units; ++i)
            s[i] = char16_t(head[2 + 2 * i] | head[3 + 2 * i] << 8);
        if (!s.empty() && s.back() >= 0xD800 && s.back() <= 0xDBFF)
            s.pop_back();
        text = QString::fromStdU16String(s);
    } else if (utf8) {
        text = QString::fromStdU16String(DecodeUtf8Head(head));
    } else {
        text = QString::fromStdU16String(
            sys::AnsiToWide(std::string_view(reinterpret_cast<const char*>(head.data()), head.size())));
    }
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            out += QLatin1Char('\n');
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

QRect edt::PicturePlacement(const QSize& area, const QSize& picture)
{
    if (picture.isEmpty() || area.isEmpty())
        return {};
    QSize size = picture;
    if (picture.width() > area.width() || picture.height() > area.height())
        size = picture.scaled(area, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return QRect(QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2), size);
}

QString edt::FolderStatusText(const QString& path)
{
    if (path.size() <= FOLDER_STATUS_CHARS)
        return path;
    return path.left(FOLDER_STATUS_CHARS) + QLatin1String("...");
}

// ------------------------------------------------------------ CPicturePreview

CPicturePreview::CPicturePreview(QWidget* parent) : QWidget(parent) {}

void CPicturePreview::Clear()
{
    m_dib.Free();
    update();
}

void CPicturePreview::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (m_dib.IsEmpty())
        return;
    const QSize picture(m_dib.Width(), std::abs(m_dib.Height()));
    const QRect dest = edt::PicturePlacement(size(), picture);
    if (!dest.isEmpty())
        m_dib.Paint(p, dest, QRect(QPoint(0, 0), picture));
}

// ------------------------------------------------------------ CEditFileOpenDlg

CEditFileOpenDlg::CEditFileOpenDlg(bool open, const QString& defaultExt, const QString& fileName,
                                   uint32_t flags, const QString& pipeFilter, QWidget* parent)
    : ui::ExactFileDialog(parent)
{
    ui::ShowInInterfaceLocale(*this);
    setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    if (open)
        setFileMode((flags & ui::OFN_ALLOWMULTISELECT) ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (!defaultExt.isEmpty())
        setDefaultSuffix(defaultExt);
    if (!pipeFilter.isEmpty())
        setNameFilters(ui::ConvertFileFilter(pipeFilter).split(QStringLiteral(";;"), Qt::SkipEmptyParts));
    if (!fileName.isEmpty())
        selectFile(fileName);
    // Czech labels with mnemonics that do not clash with the panel's.
    setLabelText(QFileDialog::LookIn, QStringLiteral("Hledat v:"));
    setLabelText(QFileDialog::FileName, QStringLiteral("&Název souboru:"));
    setLabelText(QFileDialog::FileType, QStringLiteral("Typ souborů:"));
    setLabelText(QFileDialog::Accept, open ? QStringLiteral("Otevřít") : QStringLiteral("Uložit"));
    setLabelText(QFileDialog::Reject, QStringLiteral("Storno"));

    m_codePage = GetEdtDefaultEncoding();
    m_convert = m_codePage != -1;

    m_panel = ui::LoadForm(IDD_FILE_OPEN_PANEL, this);
    if (!m_panel)
        m_panel = new QWidget(this);
    m_panel->setObjectName(QStringLiteral("previewPanel"));
    if (auto* frame = m_panel->findChild<QFrame*>(QStringLiteral("c1002"))) {
        auto* l = new QVBoxLayout(frame);
        l->setContentsMargins(1, 1, 1, 1);
        m_picture = new CPicturePreview(frame);
        l->addWidget(m_picture);
    } else {
        m_picture = new CPicturePreview(m_panel);
    }
    m_text = m_panel->findChild<QLabel*>(QStringLiteral("c1006"));
    m_info = m_panel->findChild<QLabel*>(QStringLiteral("c1003"));
    m_previewBox = m_panel->findChild<QCheckBox*>(QStringLiteral("c1045"));
    m_convertBox = m_panel->findChild<QCheckBox*>(QStringLiteral("c1046"));
    m_readOnlyBox = m_panel->findChild<QCheckBox*>(QStringLiteral("c1040"));
    m_codePageCombo = m_panel->findChild<QComboBox*>(QStringLiteral("c1007"));
    m_openAsCombo = m_panel->findChild<QComboBox*>(QStringLiteral("c1008"));

    // What a preview shows never moves the layout: the text and the picture
    // take the room the panel gives them (a long line is cut at the edge),
    // and the panel keeps the width it has without a preview.
    auto ignoreHint = [](QWidget* w) {
        QSizePolicy policy = w->sizePolicy(); // keeps the form's stretch
        policy.setHorizontalPolicy(QSizePolicy::Ignored);
        policy.setVerticalPolicy(QSizePolicy::Ignored);
        w->setSizePolicy(policy);
    };
    if (m_text) {
        ignoreHint(m_text);
        m_text->setWordWrap(false);
    }
    if (QWidget* frame = m_picture->parentWidget(); frame && frame != m_panel)
        ignoreHint(frame);
    m_panel->setFixedWidth(m_panel->sizeHint().width());
    m_panel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

    // The panel stands right of the file list and takes its height.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int column = grid->columnCount();
        grid->addWidget(m_panel, 1, column, 1, 1);
    }
    // The details list: the name takes the room the other columns leave,
    // which are as wide as their texts.
    if (auto* tree = findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = tree->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }

    if (m_codePageCombo) {
        FillCodePageCombo(m_codePageCombo, GetEncodingNames());
        m_codePageCombo->setCurrentIndex(std::max(m_codePage, 0));
        m_codePageCombo->setEnabled(m_convert);
        connect(m_codePageCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
            if (!m_convert)
                return;
            m_codePage = index;
            RefreshPreview();
        });
    }
    if (m_openAsCombo) {
        m_openAsCombo->addItem(LoadResString(IDS_OPEN_AUTOMATIC));
        m_openAsCombo->addItem(LoadResString(IDS_OPEN_TEXT));
        m_openAsCombo->setCurrentIndex(0);
        connect(m_openAsCombo, &QComboBox::currentIndexChanged, this, [this](int index) { m_openAs = index - 1; });
    }
    if (m_previewBox) {
        m_previewBox->setChecked(m_previewOn);
        connect(m_previewBox, &QCheckBox::toggled, this, &CEditFileOpenDlg::OnPreviewCheck);
    }
    if (m_convertBox) {
        m_convertBox->setChecked(m_convert);
        connect(m_convertBox, &QCheckBox::toggled, this, &CEditFileOpenDlg::OnCodePageCheck);
    }
    if (m_readOnlyBox) {
        m_readOnlyBox->setChecked(flags & ui::OFN_READONLY);
        m_readOnlyBox->setVisible(!(flags & ui::OFN_HIDEREADONLY));
    }
    resize(sizeHint().expandedTo(QSize(kDefaultWidth, kDefaultHeight)));
    connect(this, &QFileDialog::currentChanged, this, &CEditFileOpenDlg::OnCurrentChanged);
    // A selection made without moving the current item (selectFile, the
    // name typed) previews the file too when it is the only one.
    if (auto* list = findChild<QAbstractItemView*>(QStringLiteral("listView")); list && list->selectionModel())
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
            const QStringList files = selectedFiles();
            if (files.size() == 1 && QFileInfo(files.front()).isFile() && files.front() != m_current)
                OnCurrentChanged(files.front());
        });
    connect(this, &QFileDialog::directoryEntered, this, [this](const QString&) {
        m_current.clear();
        ClearPreview();
    });
    ClearPreview();
}

CEditFileOpenDlg::~CEditFileOpenDlg() = default;

void CEditFileOpenDlg::SetInitialFolder(const QString& folder)
{
    if (!folder.isEmpty())
        setDirectory(folder);
}

int CEditFileOpenDlg::DoModal()
{
    return exec() == QDialog::Accepted ? ui::IDOK : ui::IDCANCEL;
}

QStringList CEditFileOpenDlg::GetSelectedPaths() const
{
    return ExactFiles();
}

bool CEditFileOpenDlg::GetReadOnly() const
{
    return m_readOnlyBox && m_readOnlyBox->isChecked();
}

void CEditFileOpenDlg::OnPreviewCheck(bool on)
{
    m_previewOn = on;
    if (on && !m_current.isEmpty())
        Preview(m_current);
    else
        ClearPreview();
}

void CEditFileOpenDlg::OnCodePageCheck(bool on)
{
    m_convert = on;
    m_codePage = on && m_codePageCombo ? m_codePageCombo->currentIndex() : -1;
    if (m_codePageCombo)
        m_codePageCombo->setEnabled(on);
    RefreshPreview();
}

void CEditFileOpenDlg::RefreshPreview()
{
    if (m_previewOn && !m_current.isEmpty())
        Preview(m_current);
}

void CEditFileOpenDlg::OnCurrentChanged(const QString& path)
{
    // The list gives the name as Qt decodes it: the preview shows the
    // entry it stands for, and nothing when it stands for several.
    QString exact;
    m_current = ui::ExactChosenPath(path, exact) ? exact : QString();
    if (m_current.isEmpty())
        ClearPreview();
    else if (m_previewOn)
        Preview(m_current);
}

void CEditFileOpenDlg::ClearPreview()
{
    m_picture->Clear();
    if (QWidget* frame = m_picture->parentWidget(); frame && frame != m_panel)
        frame->hide();
    else
        m_picture->hide();
    if (m_text) {
        m_text->clear();
        m_text->show();
    }
    if (m_info)
        m_info->clear();
}

void CEditFileOpenDlg::Preview(const QString& path)
{
    m_current = path;
    ClearPreview();
    if (path.isEmpty())
        return;
    if (edt::IsPicturePath(path)) {
        if (!m_picture->Dib().ReadFile(path))
            return;
        if (QWidget* frame = m_picture->parentWidget(); frame && frame != m_panel)
            frame->show();
        m_picture->show();
        m_picture->update();
        if (m_text)
            m_text->hide();
        if (m_info)
            m_info->setText(FormatResString(IDS_PICTURE_INFO, m_picture->Dib().Width(),
                                            std::abs(m_picture->Dib().Height()), m_picture->Dib().NumColors()));
        return;
    }
    std::vector<uint8_t> head;
    if (!edt::ReadRegularFile(path, edt::PREVIEW_BYTES, head))
        return;
    if (m_text)
        m_text->setText(edt::PreviewTextOf(head, edt::PreviewCharsetFor(path, m_codePage)));
}

// ------------------------------------------------------------ BrowseForFolder

bool BrowseForFolder(QString& result, const QString& initialFolder, const QString& title, QWidget* owner)
{
    ui::ExactFileDialog dialog(owner);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    ui::ShowInInterfaceLocale(dialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setWindowTitle(title.isEmpty() ? LoadResString(IDS_SELECT_DIRECTORY) : title);
    if (!initialFolder.isEmpty())
        dialog.setDirectory(initialFolder);
    auto* status = new QLabel(&dialog);
    status->setObjectName(QStringLiteral("folderStatus"));
    status->setText(edt::FolderStatusText(initialFolder));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(status, grid->rowCount(), 0, 1, grid->columnCount());
    QObject::connect(&dialog, &QFileDialog::currentChanged, status,
                     [status](const QString& path) { status->setText(edt::FolderStatusText(path)); });
    QObject::connect(&dialog, &QFileDialog::directoryEntered, status,
                     [status](const QString& path) { status->setText(edt::FolderStatusText(path)); });
    if (dialog.exec() == QDialog::Accepted) {
        const QStringList chosen = dialog.ExactFiles();
        if (!chosen.isEmpty() && !chosen.front().isEmpty()) {
            result = chosen.front();
            return true;
        }
    }
    result = initialFolder;
    return false;
}
