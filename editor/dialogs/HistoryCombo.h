#pragma once
// A combo box that remembers what the user typed into it.  Every combo box
// with the same list name shows and extends the same history list (at most
// 64 texts, the newest first) for the rest of the program's run; the lists
// live in memory only and belong to the user-interface thread.  It
// completes nothing: the field shows exactly what was typed, Down and Up
// walk the list, and Enter and leaving the field keep the text shown.

#include <QComboBox>
#include <QString>
#include <QStringList>

class CHistoryCombo : public QComboBox
{
    Q_OBJECT

public:
    static constexpr int kMaxEntries = 64;

    explicit CHistoryCombo(QWidget* parent = nullptr);
    ~CHistoryCombo() override; // stores the edit text

    // An empty name: no history list (the combo keeps what it has).
    void SetHistoryName(const QString& name);
    QString HistoryName() const { return m_name; }

    // Once per combo: puts the named list into the drop-down, keeping the
    // edit text when it is not empty.
    void FillFromHistory();
    // An empty text is ignored; an equal entry moves to the top.
    void AddToHistory(const QString& text);
    // Takes the current edit text into the history.
    void StoreText();

    // The named list, newest first; empty when unknown.
    static QStringList GetHistory(const QString& name);

    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void AdjustDropDown();

    bool m_needsFill = true;
    QString m_name;
};
