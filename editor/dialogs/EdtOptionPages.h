#pragma once
// The editor's option pages: the general page (the general flags word and
// folder), the options page for source types with its embedded sheet of
// three pages, and the font page with the face combo box; and the sheet that
// holds them.  See docs/editor-printing.md.

#include "editor/settings/EdtSettings.h"
#include "platform/ui/Dialog.h"
#include "res/CommandIds.h"

#include <QComboBox>
#include <QFont>
#include <QPointer>
#include <QStyledItemDelegate>

#include <array>
#include <cstdint>
#include <memory>

class CEdtTextView;
class QCheckBox;
class QRadioButton;
class QTabWidget;
struct TextTypeDef;

constexpr uint32_t IDS_EDT_OPTIONS_CAPTION = 8700;
constexpr uint32_t IDS_EDT_RESTART_NOTE = 4613;
constexpr uint32_t IDS_EDT_NO_RECODING = 4614;
// The window-options command of the editor windows.

// Builds the sheet "Možnosti" with CGeneralPage, CEditorOptionsPage(view) and
// CFontPage(view), runs it modally and returns its result.  view may be
// null.
int ShowEditorOptionsSheet(CEdtTextView* view, QWidget* parent);

namespace edt {
// The size text of a LOGFONT height at dpi: "%d" of -MulDiv(height, 72, dpi)
// rounded half away from zero.
QString FontSizeText(int32_t height, int dpi);
// The height of a size at dpi: -MulDiv(size, dpi, 72).
int32_t FontHeightOfSize(int size, int dpi);
// The size text read like atoi.
int AtoI(const QString& text);
// The script name of a character set ("Western" for one not listed), and
// the character set of a name (0 for an unknown one).
QString ScriptNameOfCharSet(uint8_t charSet);
uint8_t CharSetOfScriptName(const QString& name);
// The fixed-pitch families of the font database, once each, in alphabetical
// order, without names longer than 31 characters; smooth marks the
// scalable ones.
struct FaceEntry
{
    QString name;
    bool scalable = false;
};
std::vector<FaceEntry> FixedPitchFaces();
} // namespace edt

// The face combo box: an editable combo whose items carry the scalable mark
// (item data nonzero), drawn with the mark image at the left.
class CFontComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit CFontComboBox(QWidget* parent = nullptr);
    void Fill(const std::vector<edt::FaceEntry>& faces);
};

// The general page: the general flags word and the general folder.
class CGeneralPage : public ui::PropertyPage
{
    Q_OBJECT
public:
    CGeneralPage();
    bool OnInitDialog() override;
    void OnOK() override;
    // The flags word the controls give (bits 0x3FFF; the higher bits of the
    // stored word are kept).
    uint32_t FlagsOfControls() const;

private:
    void OnBrowse();
    uint32_t m_initialFlags = 0;
};

class CEditorOptionsPage;

// The state the options page shares with its embedded pages.
struct EditorOptionsState
{
    CEdtTextView* view = nullptr;
    TextTypeDef* selected = nullptr;
    int checkedCount = 0;
    bool viewTypeChecked = false;
    // True when the view's own type is the selected one: the view's live
    // values are shown.
    bool ShowsView() const;
};

// The common part of the three embedded pages.
class CEditorPageBase : public ui::PropertyPage
{
    Q_OBJECT
public:
    CEditorPageBase(uint32_t templateId, const QString& caption, CEditorOptionsPage* owner);
    // Loads the controls from the selected record or the view (step 2 and 3
    // of a refresh) and enables them.
    virtual void Refresh() = 0;
    // The bits the controls set and the bits they leave alone.
    virtual void BuildMasks(uint32_t& set, uint32_t& keep) const = 0;
    // Applies the controls to the view (its type checked).
    virtual void ApplyToView(CEdtTextView& view) const = 0;
    // Stores the single selected record's own values.
    virtual void ApplyToRecord(TextTypeDef&) const {}
    // False (with the message shown) when a value is refused.
    virtual bool Validate() { return true; }

protected:
    const EditorOptionsState& State() const;
    void MarkModified();
    // Check boxes: 0, 1 or 2 (indeterminate).
    void SetCheck(int id, int state, bool tristate);
    int GetCheck(int id) const;
    // Radio groups (the buttons in the container of the first): -1 none.
    void SetRadio(int firstId, int index);
    int GetRadio(int firstId) const;
    QList<QRadioButton*> RadioGroup(int firstId) const;
    void Enable(int id, bool on);
    void ConnectChanges();
    CEditorOptionsPage* m_owner;
};

class CEditorPage1 : public CEditorPageBase
{
    Q_OBJECT
public:
    explicit CEditorPage1(CEditorOptionsPage* owner);
    void Refresh() override;
    void BuildMasks(uint32_t& set, uint32_t& keep) const override;
    void ApplyToView(CEdtTextView& view) const override;
    void ApplyToRecord(TextTypeDef& row) const override;
    bool Validate() override;
};

class CEditorPage2 : public CEditorPageBase
{
    Q_OBJECT
public:
    explicit CEditorPage2(CEditorOptionsPage* owner);
    void Refresh() override;
    void BuildMasks(uint32_t& set, uint32_t& keep) const override;
    void ApplyToView(CEdtTextView& view) const override;
};

class CEditorPage3 : public CEditorPageBase
{
    Q_OBJECT
public:
    explicit CEditorPage3(CEditorOptionsPage* owner);
    void Refresh() override;
    void BuildMasks(uint32_t&, uint32_t&) const override {}
    void ApplyToView(CEdtTextView&) const override {}
    void ApplyToRecord(TextTypeDef& row) const override;
};

// The options page for source types (template 102).
class CEditorOptionsPage : public ui::PropertyPage
{
    Q_OBJECT
public:
    explicit CEditorOptionsPage(CEdtTextView* view);
    ~CEditorOptionsPage() override;
    bool OnInitDialog() override;
    bool OnKillActive() override;
    void OnOK() override;

    const EditorOptionsState& State() const { return m_state; }
    // The embedded sheet (CPropertySheet2) and its pages.
    QTabWidget* Sheet2() const { return m_sheet2; }
    CEditorPageBase* InnerPage(int index) const { return m_pages[size_t(index)]; }
    // The box of a source type (types 0-22), else null.
    QCheckBox* TypeBox(int typeId) const;
    // Counts the boxes and reloads the embedded pages.
    void RefreshPages();
    void InnerChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    bool TakeMnemonic(int key);
    EditorOptionsState m_state;
    QTabWidget* m_sheet2 = nullptr;
    std::array<CEditorPageBase*, 3> m_pages{};
    bool m_eatKey = false;
};

// The font page (template 1543).
class CFontPage : public ui::PropertyPage
{
    Q_OBJECT
public:
    explicit CFontPage(CEdtTextView* view);
    bool OnInitDialog() override;
    void OnOK() override;
    const EdtLogFont& PreviewLogFont() const { return m_preview; }
    int PixelsPerInch() const { return m_dpi; }

private:
    void RebuildPreview();
    CEdtTextView* m_view;
    EdtLogFont m_preview{};
    int m_dpi = 96;
};
