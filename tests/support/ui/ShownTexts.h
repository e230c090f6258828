#pragma once
// The texts a window shows, for the tests that check the program speaks
// one language: labels, buttons (push, check, radio, tool), group box
// titles, tab titles, window titles, the headers of lists and tables and
// the items of combo boxes, each with whether an "&" in it is drawn
// literally (a label without a buddy, a window title, a header or a combo
// item) or marks a mnemonic (a label with a buddy, buttons, group boxes,
// tabs).

#include <QString>
#include <QStringList>

#include <vector>

class QWidget;

namespace testsupport::ui {

struct ShownText
{
    QString where; // class and object name of the widget, and what part
    QString text;  // as the widget holds it
    bool literalAmpersand = false;
};

// The texts of root (its window title when it is a window) and of every
// descendant widget, hidden ones included.
std::vector<ShownText> ShownTexts(QWidget* root);

// The text as drawn: for a mnemonic text single marks go and "&&" is one "&".
QString DrawnText(const ShownText& t);

// English texts the program must never show in its Czech interface (Qt's
// own defaults among them); compared with the drawn text, ignoring case.
const QStringList& KnownEnglishTexts();

// One line for each text of root that shows an "&" literally or is a known
// English text; empty when there is none.
QStringList TextProblems(QWidget* root);

} // namespace testsupport::ui
