#pragma once
// The code-page conversion dialog of the edit view: source and target code
// page (the 14 names), letters only, a sample and "&Převést", which shows
// the sample converted.  The source chosen last is remembered for the
// rest of the run.

#include "platform/ui/Dialog.h"

#include <string>

class QComboBox;

class CCodePageDlg : public ui::Dialog
{
    Q_OBJECT
public:
    static constexpr uint32_t IDD = 8604;
    explicit CCodePageDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    void OnOK() override;
    void SetSample(const std::u16string& sample) { m_sample = sample; }
    int Source() const { return m_source; }
    int Target() const { return m_target; }
    bool LettersOnly() const { return m_letters; }
    // The remembered source row (1 at start).
    static int RememberedSource();

private:
    void UpdateButtons();
    void OnConvert();
    void Read();
    QComboBox* m_sourceCombo = nullptr;
    QComboBox* m_targetCombo = nullptr;
    std::u16string m_sample;
    int m_source = 1, m_target = 1;
    bool m_letters = false;
};
