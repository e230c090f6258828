#pragma once
// The names of the code pages and encodings as the dialogs, the option
// pages and the status pane show them (the tables and conversions are in
// editor/buffer/EdtCodePages.h).  See docs/editor-buffer.md.

#include <QStringList>

class QComboBox;

void FillCodePageCombo(QComboBox* combo, const QStringList& names);
QStringList GetCodePageNames();              // the 14 names, index = code page
// The names of the encodings a file is read in (File > Open, the default
// encodings of the option pages): the 14 code-page names and "UTF-8".
QStringList GetEncodingNames();
// The status pane's name of an encoding (an index of GetEncodingNames(),
// -1 code page 1250 alone): "CP1250", a row's short name, "UTF-16",
// "UTF-8", or "UTF-8 s BOM" with the mark (string 4740); empty otherwise.
QString GetEncodingStatusText(int encoding, bool utf8Mark);
// The widest of those texts (the pane's width).
QString GetEncodingStatusSample();
