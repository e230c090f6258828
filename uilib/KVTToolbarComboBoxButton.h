#pragma once
// A toolbar button that hosts a combo box and keeps its items, their data,
// the selection, the current text and its width in the stored bar state.
// Stored as the archive class "CKVTToolbarComboBoxButton" (schema 1).
//
// The combo is a QComboBox child of the bar, made when the button is placed
// in a bar and deleted with the button.  In a vertical bar, or while the
// button is in the overflow, it is hidden and the button is a plain button.

#include "uilib/KVTToolbarButton.h"

#include <QPointer>
#include <QStringList>

#include <vector>

#include <QComboBox>

// The combo's kind: the low bits of its style.
constexpr uint32_t CBS_SIMPLE = 0x1;
constexpr uint32_t CBS_DROPDOWN = 0x2;
constexpr uint32_t CBS_DROPDOWNLIST = 0x3;
// The notifications that reach NotifyCommand.
constexpr int CBN_KILLFOCUS = 4;
constexpr int CBN_EDITCHANGE = 5;
constexpr int CBN_EDITUPDATE = 6;
constexpr int CBN_SELENDOK = 9;

class CKVTToolbarComboBoxButton : public CKVTToolbarButton
{
public:
    static constexpr uint32_t Schema = 1;
    static constexpr uint32_t DefaultStyle = 0x50200403;

    CKVTToolbarComboBoxButton();
    CKVTToolbarComboBoxButton(uint32_t command, int image, uint32_t comboStyle = DefaultStyle, int width = 150);
    ~CKVTToolbarComboBoxButton() override;

    const char* ArchiveClassName() const override { return "CKVTToolbarComboBoxButton"; }
    void Serialize(sys::ObjectArchive& ar) override;
    void CopyFrom(const CKVTToolbarButton& src) override;
    void Draw(QPainter& p, const QRect& rect, CKVTToolbarImageList* images, bool horz, bool customizeMode,
              bool highlighted, bool drawBorder, bool grayDisabled) override;
    QSize CalculateSize(QSize defaultSize, bool horz) override;
    bool OnClick(CKVTToolBar* bar, bool delay = true) override;
    void OnParentChanged(CKVTToolBar* bar) override;
    void OnRectChanged() override;
    void OnWidthChanged(int width) override;
    QWidget* GetHwnd() const override;
    bool CanBeStretched() const override { return true; }
    bool NotifyCommand(int code) override;
    void OnAddToCustomizePage() override;
    bool OnCtlColor(QPalette& palette) override;
    bool HaveHotBorder() const override { return !IsComboVisible(); }
    void OnShow(bool show) override;
    QRect GetButtonRect() const override;

    // Makes the combo in parent at a rectangle; null when it cannot.
    virtual QComboBox* CreateCombo(QWidget* parent, const QRect& rect);
    // After a load, before the stored selection is chosen.
    virtual void OnAfterLoad() {}

    // Adds an item (a text already there is not added again); its index.
    int AddItem(const QString& text, uint32_t data = 0);
    // FALSE outside 0..count - 1 (nothing changes).
    bool SelectItem(int index);
    bool SelectItemByData(uint32_t data);
    bool SelectItem(const QString& text);
    // The data of an item; -1: the current selection (0xFFFFFFFF when none).
    uint32_t GetItemData(int index = -1) const;
    int GetCount() const { return int(m_items.size()); }
    QString GetItem(int index) const { return index >= 0 && index < GetCount() ? m_items[index] : QString(); }
    int GetCurSel() const { return m_selection; }
    const QString& GetText() const { return m_comboText; }
    // The text of the combo and of the button (the edit of an editable combo).
    void SetText(const QString& text);
    uint32_t GetComboStyle() const { return m_comboStyle; }
    int GetWidth() const { return m_width; }
    bool IsHorizontal() const { return m_horz; }
    QComboBox* GetComboBox() const { return m_combo; }
    bool IsComboVisible() const;

private:
    void FillCombo();
    void ReadFromCombo();
    void UpdateComboPlace();
    void Notify(int code);
    template <class F> void ForEachTwin(F f);

    uint32_t m_comboStyle = DefaultStyle;
    QPointer<QComboBox> m_combo;
    QStringList m_items;
    std::vector<uint32_t> m_data;
    int m_width = 150;
    int m_selection = -1;
    bool m_horz = true;
    QString m_comboText;
    QObject* m_watch = nullptr;
};
