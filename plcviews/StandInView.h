#pragma once
// Pieces shared by the read-only stand-in documents and views.

#include "platform/ui/Document.h"

#include <QByteArray>

class QPlainTextEdit;

// Reads the whole file at path into bytes; reports a file that cannot be
// opened through the document and returns false.
bool ReadStandInFile(ui::Document& doc, const QString& path, QByteArray& bytes);

// Fills view with a read-only, unwrapped, monospaced text box that takes
// the view's focus, and returns it.
QPlainTextEdit* MakeStandInEdit(ui::View* view);
