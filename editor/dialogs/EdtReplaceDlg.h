#pragma once
// The "Nahradit" dialog of the edit view: find next, replace and replace
// all in the selected lines or the whole file.  The searching and
// replacing loops are the view's (CEdtEditView::ReplaceFindNext,
// ReplaceCurrent, ReplaceAll); the dialog reads its controls and calls
// them.

#include "platform/ui/Dialog.h"

class CEdtEditView;
class CHistoryCombo;

class CEditReplaceDlg : public ui::Dialog
{
    Q_OBJECT
public:
    static constexpr uint32_t IDD = 8602;
    explicit CEditReplaceDlg(CEdtEditView* view);
    ~CEditReplaceDlg() override;
    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    void OnOK() override;  // Enter: the default button's action
    void OnCancel() override;
    void OnFindNext();
    void OnReplace();
    void OnReplaceAll();

    void SetFlags(uint32_t flags);
    uint32_t Flags() const;

    QString m_findText, m_replaceText;
    int m_wholeWord = 0, m_matchCase = 0, m_regExp = 0;
    int m_scope = -1;  // 0 in the selection, 1 the whole file
    bool m_selectionAvailable = false;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void UpdateControls();
    void SetDefaultButton(int id);
    CEdtEditView* m_view;
    CHistoryCombo* m_find = nullptr;
    CHistoryCombo* m_replace = nullptr;
};
