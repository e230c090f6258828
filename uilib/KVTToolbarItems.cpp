#include "uilib/KVTToolbarItems.h"

#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarMenuButton.h"

#include <QMdiSubWindow>

#include <algorithm>

CKVTToolbarButton* CKVTToolbarItems::At(int index) const
{
    return index >= 0 && index < Count() ? m_list[size_t(index)].get() : nullptr;
}

int CKVTToolbarItems::IndexOf(const CKVTToolbarButton* button) const
{
    for (int i = 0; i < Count(); ++i)
        if (m_list[size_t(i)].get() == button)
            return i;
    return -1;
}

int CKVTToolbarItems::CommandToIndex(uint32_t id) const
{
    for (int i = 0; i < Count(); ++i)
        if (m_list[size_t(i)]->m_id == id)
            return i;
    return -1;
}

uint32_t CKVTToolbarItems::ItemID(int index) const
{
    const CKVTToolbarButton* b = At(index);
    return b ? b->m_id : 0;
}

uint32_t CKVTToolbarItems::Style(int index) const
{
    const CKVTToolbarButton* b = At(index);
    return b ? b->m_style : 0;
}

QString CKVTToolbarItems::Text(int index) const
{
    const CKVTToolbarButton* b = At(index);
    return b ? b->m_text : QString();
}

bool CKVTToolbarItems::SetText(int index, const QString& text)
{
    CKVTToolbarButton* b = At(index);
    if (!b)
        return false;
    b->m_text = text;
    return true;
}

void CKVTToolbarItems::Info(int index, uint32_t& id, uint32_t& style, int& image) const
{
    const CKVTToolbarButton* b = At(index);
    id = b ? b->m_id : 0;
    style = b ? b->m_style : 0;
    image = b ? b->GetImage() : -1;
}

void CKVTToolbarItems::Insert(std::unique_ptr<CKVTToolbarButton> button, int index)
{
    m_list.insert(m_list.begin() + index, std::move(button));
    auto shift = [index](int& i) {
        if (i >= index)
            ++i;
    };
    shift(pressed);
    shift(hot);
    shift(selected);
}

void CKVTToolbarItems::InsertBeforeCustomize(std::unique_ptr<CKVTToolbarButton> button)
{
    m_list.insert(m_customize ? m_list.end() - 1 : m_list.end(), std::move(button));
}

bool CKVTToolbarItems::Remove(int index)
{
    if (index < 0 || index >= Count() || m_list[size_t(index)].get() == m_customize)
        return false;
    m_list.erase(m_list.begin() + index);
    auto fix = [index](int& i) {
        if (i == index)
            i = -1;
        else if (i > index)
            --i;
    };
    fix(selected);
    fix(pressed);
    fix(hot);
    fix(droppedDown);
    return true;
}

CKVTToolbarItems::List CKVTToolbarItems::TakeAll()
{
    pressed = hot = selected = -1;
    droppedDown = -1;
    List old;
    old.swap(m_list);
    // The customize button stays, last.
    for (auto& b : old)
        if (b.get() == m_customize) {
            m_list.push_back(std::move(b));
            break;
        }
    return old;
}

void CKVTToolbarItems::SetCustomize(std::unique_ptr<CCustomizeButton> button)
{
    if (m_customize) {
        CCustomizeButton* old = m_customize;
        m_customize = nullptr;
        Remove(IndexOf(old));
    }
    if (button) {
        m_customize = button.get();
        m_list.push_back(std::move(button));
    }
}

void CKVTToolbarItems::RebuildMnemonics()
{
    m_mnemonics.clear();
    for (auto& b : m_list) {
        if (b->IsSeparator())
            continue;
        const QString& t = b->m_text;
        for (int i = 0; i + 1 < t.size(); ++i) {
            if (t[i] == QLatin1Char('&')) {
                if (t[i + 1] != QLatin1Char('&')) {
                    m_mnemonics[t[i + 1].toUpper()].push_back(b.get());
                    break;
                }
                ++i;
            }
        }
    }
}

CKVTToolbarButton* CKVTToolbarItems::FindMnemonic(QChar c, const CKVTToolbarButton* after,
                                                  bool* several) const
{
    auto it = m_mnemonics.find(c.toUpper());
    if (several)
        *several = it != m_mnemonics.end() && it->second.size() > 1;
    if (it == m_mnemonics.end())
        return nullptr;
    const std::vector<CKVTToolbarButton*>& buttons = it->second;
    const auto at = std::find(buttons.begin(), buttons.end(), after);
    return at == buttons.end() || at + 1 == buttons.end() ? buttons.front() : *(at + 1);
}
