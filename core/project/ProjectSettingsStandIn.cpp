#include "core/project/StrandworkDoc.h"

void CStrandworkDoc::EditProjectSettings(QWidget* /*parent*/)
{
    // replaced by the project settings sheet
}
