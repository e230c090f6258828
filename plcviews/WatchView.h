#pragma once
// The variable watch view of the project: named pages of watched variables
// ("plaques"), the selected plaque's variables with the values that the
// control system pushes, and the PLC's RLO and DR registers.  The list is
// an owner-drawn table whose texts come from the view.  See
// docs/plcviews.md.

#include "fontcolor/FontColorPage.h"
#include "platform/ui/Command.h"
#include "platform/ui/Document.h"
#include "plcviews/WatchLogic.h"
#include "res/CommandIds.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QStyledItemDelegate>
#include <QTableView>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CStrandworkDoc;
class COlnkLink;
class QComboBox;
class QLineEdit;
class QAbstractButton;
class QMimeData;
struct LinkResultRecord;
namespace linkui {
class LinkWindow;
}

// The list of the watch view (control 2060): a table over a model whose
// texts come from callbacks, painted with the marker runs of the texts.
class CWatchListCtrl : public QTableView, public ui::CommandTarget
{
    Q_OBJECT
public:
    // What the list asks of its owner.
    struct Owner
    {
        std::function<int()> rowCount;
        std::function<QString(int row, int column)> text;
        std::function<bool()> canEdit;                         // false: beep, no edit
        std::function<void(int row, const QString& text)> endLabelEdit;
        std::function<void(int row)> deleteRow;
        std::function<void()> copy, cut, paste;
        std::function<bool(const QMimeData*)> dragEnter;
        std::function<void(const QMimeData*)> drop;
    };
    struct Colors
    {
        QColor text, back, selText, selBack, value;
    };

    explicit CWatchListCtrl(QWidget* parent = nullptr);
    void SetOwner(Owner owner);
    void SetLook(const QFont& normal, const QFont& bold, const Colors& colors);
    const QFont& NormalFont() const { return m_normal; }
    const QFont& BoldFont() const { return m_bold; }
    const Colors& GetColors() const { return m_colors; }
    // The rows changed in number or all their texts changed.
    void Reset();
    // Only the value column changed.
    void ValuesChanged();
    // Starts label editing of a row with a text in its edit box.
    void EditRow(int row, const QString& text);
    // The rows selected (ascending), the last, empty row left out.
    std::vector<int> SelectedRows() const;
    int FocusedRow() const;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    class Model;
    class Delegate;
    Owner m_owner;
    Model* m_model;
    QFont m_normal, m_bold;
    Colors m_colors;
};

class CKXPWatchView : public ui::View, public CFontColorListener
{
    Q_OBJECT
public:
    static constexpr int kListId = 2060;
    static constexpr int kComboId = 2061;
    static constexpr int kNewId = 2062;
    static constexpr int kDeleteId = 2063;
    static constexpr int kRloId = 2065;
    static constexpr int kDrId = 2067;
    static constexpr int kWriteId = 2068;

    explicit CKXPWatchView(QWidget* parent = nullptr);
    ~CKXPWatchView() override;

    // The category "WatchWindow" (font and items "Text", "SelText", "Value").
    static bool RegisterFontItems(const QString& category, const QString& displayName, CFontColorPage* registry);
    // Joins the registry as listener 0 and copies the category's font and
    // items into the view.
    void ApplyFontsAndColors(CFontColorPage* registry, const QString& category);
    void OnFontColorChange(uint32_t id) override;

    void OnInitialUpdate() override;
    void OnUpdate(ui::View* sender, long hint, QObject* object) override;

    // Handlers (public for the tests and the demo).
    void OnSelchangePlaque(int index);
    void OnEditchangePlaque(const QString& text);
    void OnDropdownPlaque();
    void OnNewPlaque();
    void OnDeletePlaque();
    void OnWriteRegisters();
    void OnEndlabeleditList(int row, const QString& text);
    void OnKeydownDelete(int row);
    void OnHexDisplay();
    void OnEditCopy();
    void OnEditCut();
    void OnEditPaste();
    bool OnDragEnter(const QMimeData* data);
    void OnDrop(const QMimeData* data);
    void OnLinkNotify(intptr_t kind);
    void OnLinkState();
    void OnLinkResult(const LinkResultRecord& r);

    // ---- state for tests, the demo and the benchmark
    CWatchListCtrl* List() const { return m_list; }
    QComboBox* Combo() const { return m_combo; }
    QLineEdit* RloEdit() const { return m_rlo; }
    QLineEdit* DrEdit() const { return m_dr; }
    QAbstractButton* WriteButton() const { return m_write; }
    uint32_t LinkHandle() const;
    int RowCount() const { return int(m_rows.size()) + 1; }
    // The text of a cell, markers included.
    QString CellText(int row, int column) const;
    // Reads and formats every row's value (what a kind-1 notice does).
    void RefreshValues();
    watchview::WatchLayout CurrentLayout() const;
    // The pushed-value notices handled (kinds 1 and 5).
    int Refreshes() const { return m_refreshes; }

protected:
    void resizeEvent(QResizeEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct Row
    {
        std::u16string name;
        bool found = false;
        uint32_t type = 0;
        uint16_t area = 0;
        uint32_t address = 0;
        uint8_t bitNumber = 0;
        bool negate = false;
        std::array<std::u16string, 8> bitNames;
        bool watched = false;  // added to the link by this row
        QString value;         // the value column's text
    };

    CStrandworkDoc* Project() const;
    bool Debugging() const;
    void Output(unsigned id, int status = 0, bool withStatus = false);
    intptr_t OnLinkMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam);
    void Resolve(Row& row);
    // Adds or removes a row's watch; true when a request changed a list
    // (*mech tells which).
    bool Watch(Row& row, bool* mech);
    bool Unwatch(Row& row, bool* mech);
    void RebuildRows();
    void FillCombo();
    void SetRegisterControls(bool enabled);
    QString FormatValue(const Row& row) const;
    bool PlaqueSelected() const;
    void AppendNames(const std::vector<std::u16string>& names);
    void ApplyLayout();
    void LoadLook();

    QWidget* m_form = nullptr;
    CWatchListCtrl* m_list = nullptr;
    QComboBox* m_combo = nullptr;
    QLineEdit* m_rlo = nullptr;
    QLineEdit* m_dr = nullptr;
    QAbstractButton* m_new = nullptr;
    QAbstractButton* m_delete = nullptr;
    QAbstractButton* m_write = nullptr;
    std::unique_ptr<linkui::LinkWindow> m_link;
    COlnkLink* m_registeredLink = nullptr;
    std::vector<Row> m_rows;
    bool m_statusActed = false;
    uint64_t m_lastStatus = 0;  // flags << 32 | position of the last kind-0 notice acted on
    CFontColorPage* m_registry = nullptr;
    QString m_category;
    int m_refreshes = 0;
};
