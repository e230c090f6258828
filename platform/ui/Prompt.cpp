#include "platform/ui/Prompt.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <cstdio>

namespace ui {

namespace {
bool g_unattended = false;
PromptHandler g_handler;

int ShowMessageBox(const PromptQuestion& q)
{
    QMessageBox box(q.owner);
    box.setText(q.text);
    box.setWindowTitle(q.caption);
    switch (q.style & MB_ICONMASK) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    struct B
    {
        QMessageBox::StandardButton button;
        int answer;
    };
    std::vector<B> buttons;
    switch (q.style & MB_TYPEMASK) {
    case MB_OKCANCEL: buttons = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}}; break;
    case MB_YESNO: buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}}; break;
    case MB_YESNOCANCEL:
        buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    default: buttons = {{QMessageBox::Ok, IDOK}}; break;
    }
    QMessageBox::StandardButtons set;
    for (const B& b : buttons)
        set |= b.button;
    box.setStandardButtons(set);
    size_t def = (q.style & MB_DEFMASK) >> 8;
    if (def < buttons.size())
        box.setDefaultButton(buttons[def].button);
    int r = box.exec();
    for (const B& b : buttons)
        if (r == b.button)
            return b.answer;
    // Closed by the window's close button: Cancel where there is one.
    for (const B& b : buttons)
        if (b.answer == IDCANCEL)
            return IDCANCEL;
    return buttons.size() == 1 ? IDOK : IDNO;
}
} // namespace

int DefaultAnswer(uint32_t style)
{
    size_t def = (style & MB_DEFMASK) >> 8;
    std::vector<int> answers;
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL: answers = {IDOK, IDCANCEL}; break;
    case MB_YESNO: answers = {IDYES, IDNO}; break;
    case MB_YESNOCANCEL: answers = {IDYES, IDNO, IDCANCEL}; break;
    default: answers = {IDOK}; break;
    }
    return def < answers.size() ? answers[def] : answers.front();
}

int Prompt(const QString& text, const QString& caption, uint32_t style, QWidget* owner)
{
    PromptQuestion q{text, caption, style, owner};
    if (q.caption.isEmpty())
        q.caption = QCoreApplication::applicationName();
    if (g_handler)
        return g_handler(q);
    if (g_unattended) {
        int answer = DefaultAnswer(style);
        std::fprintf(stderr, "%s: %s [%d]\n", q.caption.toLocal8Bit().constData(), q.text.toLocal8Bit().constData(),
                     answer);
        std::fflush(stderr);
        return answer;
    }
    return ShowMessageBox(q);
}

void SetUnattended(bool on) { g_unattended = on; }
bool Unattended() { return g_unattended; }

void SetPromptHandler(PromptHandler handler) { g_handler = std::move(handler); }

ScriptedPrompts::ScriptedPrompts(std::vector<int> answers)
    : m_answers(answers.begin(), answers.end()), m_previous(g_handler)
{
    g_handler = [this](const PromptQuestion& q) {
        m_asked.push_back(q);
        if (m_answers.empty())
            return DefaultAnswer(q.style);
        int a = m_answers.front();
        m_answers.pop_front();
        return a;
    };
}

ScriptedPrompts::~ScriptedPrompts() { g_handler = m_previous; }

} // namespace ui
