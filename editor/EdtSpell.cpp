// The edit view: the spelling check and the code-page conversion of the
// selection.

#include "editor/EdtEditView.h"

void CEdtEditView::OnToolsSpelling() {}

void CEdtEditView::OnEditChangeCodePage() {}
