#pragma once
// Helpers of the file dialogs.

#include <QString>

namespace ui {

// A filter in the program's pipe form ("Soubory *.knf|*.knf|Všechny
// soubory|*.*|": pairs of a description and patterns separated by ";") in
// Qt's syntax ("Soubory *.knf (*.knf);;Všechny soubory (*)"): the patterns
// become a list separated by blanks, and "*.*" becomes "*".
QString ConvertFileFilter(const QString& pipeFilter);

} // namespace ui
