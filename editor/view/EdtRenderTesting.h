#pragma once
// For the tests of the text view's drawing: runs drawn as text only, to
// compare with runs drawn as cell glyphs; the check of a font's glyph
// substitutions; a look at the view before each slice of the idle filler,
// and the length of those slices.

#include <QByteArray>

#include <functional>

class CEdtTextView;

namespace edt {

void SetCellGlyphsEnabled(bool on);
// Whether a "GSUB" table joins or swaps glyphs of the Latin or default
// script by a feature that is on by default (damaged tables answer safely).
bool GsubJoinsLatinGlyphs(const QByteArray& gsub);
// Called before each slice the idle filler runs from the event loop (after
// the paint it lets go first); empty: none.
void SetFillerSliceHook(std::function<void(CEdtTextView&)> hook);
// The time a slice of the idle filler may take, in milliseconds (10 unless
// set; a negative value restores it).  0 makes every slice one step of 256
// lines, as on a machine of any speed.
void SetFillerSliceBudget(int ms);

} // namespace edt
