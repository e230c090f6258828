#pragma once
// The editor's option pages in a real property sheet, shown and not modal.

#include "EditViewTest.h"

#include "editor/dialogs/EdtOptionPages.h"
#include "editor/settings/EdtRegistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>

struct OptionsSheet
{
    ui::PropertySheet sheet{QStringLiteral("Možnosti")};
    CGeneralPage* general = new CGeneralPage;
    CEditorOptionsPage* editor;
    CFontPage* font;
    explicit OptionsSheet(CEdtTextView* view, int start = 1)
        : editor(new CEditorOptionsPage(view)), font(new CFontPage(view))
    {
        sheet.AddPage(general);
        sheet.AddPage(editor);
        sheet.AddPage(font);
        sheet.SetActivePage(start);
        sheet.resize(640, 560);
        sheet.show();
        testsupport::ui::PumpEvents();
    }
    ~OptionsSheet() { sheet.hide(); }
    CEditorPageBase* Inner(int i) const { return editor->InnerPage(i); }
    template <class T> T* InnerItem(int page, int id) const { return Inner(page)->Item<T>(id); }
};

// The flags word a source-type row has in the store ("Flags" of its key).
inline uint32_t StoredFlags(const std::u16string& row)
{
    CRegistryKey key;
    uint32_t v = 0xDEADBEEF;
    if (key.Open(HKEY_CURRENT_USER, std::u16string(EDT_SETTINGS_KEY) + u"\\" + row))
        key.LoadNumber(u"Flags", v);
    return v;
}
