#pragma once
// The buttons of a toolbar in their order, the overflow (customize) button
// kept last, the indices that follow them (pressed, hot, selected, dropped
// down) and the mnemonics of their texts.  No widget: the bar owns one and
// draws, lays out and stores what it holds; callers reach it through the
// bar's Items() (the bar's InsertButton, SetButtons and SetHotButton do what
// the list alone does not: the command check, the button's bar, repaints).

#include "uilib/KVTToolbarButton.h"

#include <QChar>

#include <map>
#include <memory>
#include <vector>

class CCustomizeButton;

class CKVTToolbarItems
{
public:
    using List = std::vector<std::unique_ptr<CKVTToolbarButton>>;

    int Count() const { return int(m_list.size()); }
    size_t size() const { return m_list.size(); }
    bool empty() const { return m_list.empty(); }
    const std::unique_ptr<CKVTToolbarButton>& operator[](size_t i) const { return m_list[i]; }
    List::const_iterator begin() const { return m_list.begin(); }
    List::const_iterator end() const { return m_list.end(); }
    // The button at an index; null outside the list.
    CKVTToolbarButton* At(int index) const;
    int IndexOf(const CKVTToolbarButton* button) const;
    int CommandToIndex(uint32_t id) const;
    // What the button at an index has: 0, 0, an empty text and image -1 outside the list.
    uint32_t ItemID(int index) const;
    uint32_t Style(int index) const;
    QString Text(int index) const;
    bool SetText(int index, const QString& text);
    void Info(int index, uint32_t& id, uint32_t& style, int& image) const;

    // Inserts at an index of the list (the caller has checked it); the
    // pressed, hot and selected indices at or after it move on.
    void Insert(std::unique_ptr<CKVTToolbarButton> button, int index);
    // Inserts before the customize button (or at the end).
    void InsertBeforeCustomize(std::unique_ptr<CKVTToolbarButton> button);
    // FALSE for an index outside the list and for the customize button; an
    // index that pointed at the button becomes -1, later ones move back.
    bool Remove(int index);
    // Takes every button but the customize button out (the indices become -1).
    List TakeAll();
    // The customize button: set appends it, null removes the current one.
    void SetCustomize(std::unique_ptr<CCustomizeButton> button);
    CCustomizeButton* Customize() const { return m_customize; }

    // The upper-case mnemonic after a single '&' of each text.
    void RebuildMnemonics();
    // The button that the key c reaches (null for none); several is set
    // to whether more buttons share the key.  Then the key never acts: it
    // moves on from `after` (the hot button) to the next button of the key,
    // round the list, and the user chooses with Enter.
    CKVTToolbarButton* FindMnemonic(QChar c, const CKVTToolbarButton* after = nullptr,
                                    bool* several = nullptr) const;

    int pressed = -1;
    int hot = -1;
    int selected = -1;
    int droppedDown = -1;

private:
    List m_list;
    CCustomizeButton* m_customize = nullptr;
    std::map<QChar, std::vector<CKVTToolbarButton*>> m_mnemonics;
};
