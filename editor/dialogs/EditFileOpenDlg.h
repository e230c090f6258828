#pragma once
// The File > Open dialog with a preview of the selected file (a picture for
// bitmaps, the first lines for other files), the code page of the file and
// the open-as choice; and the folder browser.  See docs/editor-printing.md.

#include "editor/print/EdtDib.h"

#include "platform/ui/FileDialogs.h"

#include <QFileDialog>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;

namespace edt {
// Whether the file is previewed as a picture: the extension after the last
// "." of its name is "bmp" or "dib", in any case.
bool IsPicturePath(const QString& path);
// How the preview reads a file that does not begin with FF FE: UTF-8 when
// it begins with EF BB BF or its bytes are valid UTF-8 with a character of
// several bytes (a character cut off where the preview stops reading aside),
// else code page 1250
// (Detect); always code page 1250 (Ansi); always UTF-8 (Utf8).
enum class PreviewCharset { Detect, Ansi, Utf8 };
// The lines of the first bytes of a file, joined with "\n": UTF-16LE after
// FF FE (an odd last byte and a cut-off high surrogate dropped), else 8-bit
// text as the charset says (the UTF-8 mark dropped, a character cut off at
// the end dropped, an invalid byte shown as U+FFFD); cut at CR LF, CR or LF.
QString PreviewTextOf(const std::vector<uint8_t>& head, PreviewCharset charset = PreviewCharset::Detect);
// The charset of the preview of a file, as loading it with the dialog's
// code page (-1 none, else an index of GetEncodingNames()) would read it:
// UTF-8 forces it, a code page or a source type that names one or is the
// control system's (PLC, NCP) gives code page 1250, anything else Detect.
PreviewCharset PreviewCharsetFor(const QString& path, int codePage);
constexpr size_t PREVIEW_BYTES = 2048;
// Where a picture is drawn in the area: centred at its own size when it
// fits, else scaled down keeping its proportions, centred.
QRect PicturePlacement(const QSize& area, const QSize& picture);
// The status line of the folder browser: the path, or its first 35
// characters and "..." when longer.
QString FolderStatusText(const QString& path);
} // namespace edt

// The picture preview: a bitmap on white.
class CPicturePreview : public QWidget
{
    Q_OBJECT
public:
    explicit CPicturePreview(QWidget* parent = nullptr);
    CDib& Dib() { return m_dib; }
    void Clear();

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    CDib m_dib;
};

class CEditFileOpenDlg : public ui::ExactFileDialog
{
    Q_OBJECT
public:
    // flags: ui::OFN_* of platform/ui/FileDialogs.h; pipeFilter in the
    // program's "description|patterns|" form.
    CEditFileOpenDlg(bool open, const QString& defaultExt, const QString& fileName, uint32_t flags,
                     const QString& pipeFilter, QWidget* parent);
    ~CEditFileOpenDlg() override;

    void SetInitialFolder(const QString& folder);
    int DoModal();  // ui::IDOK or ui::IDCANCEL
    // The paths chosen, each the entry's own name (ui::ExactFileDialog).
    QStringList GetSelectedPaths() const;
    bool GetReadOnly() const;
    // -1 none, else an index of GetEncodingNames(): 0..12 a code page, 13
    // "Unicode", 14 "UTF-8".
    int GetCodePage() const { return m_codePage; }
    int GetOpenAs() const { return m_openAs; }      // -1 automatic, 0 text

    // The preview's state (tests).
    bool IsPreviewOn() const { return m_previewOn; }
    CPicturePreview* PicturePreview() const { return m_picture; }
    QLabel* TextPreview() const { return m_text; }
    QLabel* Information() const { return m_info; }
    QWidget* Panel() const { return m_panel; }
    // Previews path now (the dialog does this when the current file changes).
    void Preview(const QString& path);
    void ClearPreview();

private:
    void OnPreviewCheck(bool on);
    void OnCodePageCheck(bool on);
    void OnCurrentChanged(const QString& path);
    void RefreshPreview();  // the current file again (the code page changed)

    QWidget* m_panel = nullptr;
    CPicturePreview* m_picture = nullptr;
    QLabel* m_text = nullptr;
    QLabel* m_info = nullptr;
    QCheckBox* m_previewBox = nullptr;
    QCheckBox* m_convertBox = nullptr;
    QCheckBox* m_readOnlyBox = nullptr;
    QComboBox* m_codePageCombo = nullptr;
    QComboBox* m_openAsCombo = nullptr;
    bool m_previewOn = true;
    bool m_convert = false;
    int m_codePage = -1;
    int m_openAs = -1;
    QString m_current;
};

// The folder browser: a directory dialog titled title (or "Select a
// directory:") starting at initialFolder, with a status line of the
// selected folder.  True with the chosen folder in result; false with
// result set to the initial folder.
bool BrowseForFolder(QString& result, const QString& initialFolder, const QString& title, QWidget* owner);
