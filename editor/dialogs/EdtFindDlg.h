#pragma once
// The "Najít" dialog of the text view: the text with its "FindText"
// history, whole word, match case, regular expression and the direction.
// "&Další" searches from the current position with wrap-around and closes
// the dialog on a match.

#include "editor/buffer/EdtTextBuffer.h"
#include "platform/ui/Dialog.h"

class CEdtTextView;
class CHistoryCombo;
class QCheckBox;
class QPushButton;
class QRadioButton;

// Replaces the plain combo box of a dialog form by a history combo box in
// place (same object name, same position); returns it.
CHistoryCombo* ReplaceWithHistoryCombo(ui::Dialog& dialog, int id, const QString& listName);
// The search boxes' shared rules: a regular expression turns "whole word"
// off and disables it; the search text starts focused and selected.
void SyncWholeWordWithRegExp(ui::Dialog& dialog);
void FocusSearchText(CHistoryCombo* combo);

class CFindTextDlg : public ui::Dialog
{
    Q_OBJECT
public:
    static constexpr uint32_t IDD = 8601;
    explicit CFindTextDlg(CEdtTextView* view);
    ~CFindTextDlg() override;
    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    void OnOK() override;
    void OnCancel() override;

    void SetFlags(uint32_t flags);
    uint32_t Flags() const;

    QString m_text;
    int m_wholeWord = 0, m_matchCase = 0, m_regExp = 0;
    int m_direction = 1;  // 0 up, 1 down
    EdtPoint m_current;

private:
    void UpdateControls();
    CEdtTextView* m_view;
    CHistoryCombo* m_combo = nullptr;
};
