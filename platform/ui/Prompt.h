#pragma once
// The prompt service: every message box of the program goes through
// Prompt().  The program shows a QMessageBox; tests install scripted
// answers and read what was asked; in unattended mode (the "Build" and
// "Make" switches) nothing blocks: the default button answers and the
// question goes to standard error.

#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

class QWidget;

namespace ui {

// Style bits (the Windows message-box values).
enum PromptStyle : uint32_t {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONSTOP = MB_ICONERROR,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONEXCLAMATION = MB_ICONWARNING,
    MB_ICONINFORMATION = 0x40,
    MB_DEFBUTTON1 = 0x000,
    MB_DEFBUTTON2 = 0x100,
    MB_DEFBUTTON3 = 0x200,
    MB_TYPEMASK = 0xF,
    MB_ICONMASK = 0xF0,
    MB_DEFMASK = 0xF00,
};

// Answers.
enum PromptAnswer : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct PromptQuestion
{
    QString text;
    QString caption;
    uint32_t style = 0;
    QWidget* owner = nullptr;
};

// Shows the question and returns the button chosen.  An empty caption is
// the application's name.
int Prompt(const QString& text, const QString& caption = {}, uint32_t style = MB_OK, QWidget* owner = nullptr);
// The default button of a style (the answer of unattended mode).
int DefaultAnswer(uint32_t style);

// Unattended mode: no prompt blocks.
void SetUnattended(bool on);
bool Unattended();

// Replaces the way questions are answered (null restores the message box).
using PromptHandler = std::function<int(const PromptQuestion&)>;
void SetPromptHandler(PromptHandler handler);

// For tests: answers from a script, in order; when the script runs out the
// default button answers.  Records every question.  Restores the previous
// handler when it goes.
class ScriptedPrompts
{
public:
    explicit ScriptedPrompts(std::vector<int> answers = {});
    ~ScriptedPrompts();
    ScriptedPrompts(const ScriptedPrompts&) = delete;
    ScriptedPrompts& operator=(const ScriptedPrompts&) = delete;

    void Add(int answer) { m_answers.push_back(answer); }
    const std::vector<PromptQuestion>& Asked() const { return m_asked; }

private:
    std::deque<int> m_answers;
    std::vector<PromptQuestion> m_asked;
    PromptHandler m_previous;
};

} // namespace ui
