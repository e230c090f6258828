#pragma once
// For the tests of the text view's drawing: runs drawn as text only, to
// compare with runs drawn as cell glyphs; the check of a font's glyph
// substitutions.

#include <QByteArray>

namespace edt {

void SetCellGlyphsEnabled(bool on);
// Whether a "GSUB" table joins or swaps glyphs of the Latin or default
// script by a feature that is on by default (damaged tables answer safely).
bool GsubJoinsLatinGlyphs(const QByteArray& gsub);

} // namespace edt
