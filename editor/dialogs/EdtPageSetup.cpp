#include "editor/dialogs/EdtPageSetup.h"

#include "editor/settings/EdtRegistry.h"
#include "editor/settings/EdtSettings.h"
#include "platform/ui/Print.h"

#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPageSize>
#include <QPrinter>

#include <cmath>

namespace {

bool LoadPageValue(CRegistryKey& key, std::u16string_view name, int& value)
{
    EdtRegValue v;
    if (!key.LoadValue(name, v) || v.type != sys::REG_DWORD || v.data.size() != 4)
        return false;
    const uint32_t n = uint32_t(v.data[0]) | uint32_t(v.data[1]) << 8 | uint32_t(v.data[2]) << 16 |
                       uint32_t(v.data[3]) << 24;
    if (n > uint32_t(EDT_PAGE_VALUE_MAX))
        return false;
    value = int(n);
    return true;
}

int ToHundredths(double mm)
{
    return int(std::lround(mm * 100.0));
}

} // namespace

EdtPageSettings LoadPageSettings()
{
    EdtPageSettings s;
    CRegistryKey key;
    if (!key.Open(HKEY_CURRENT_USER, EDT_SETTINGS_KEY))
        return s;
    LoadPageValue(key, u"PageLeft", s.margins.left);
    LoadPageValue(key, u"PageRight", s.margins.right);
    LoadPageValue(key, u"PageTop", s.margins.top);
    LoadPageValue(key, u"PageBottom", s.margins.bottom);
    int v = 0;
    if (LoadPageValue(key, u"PageWidth", v))
        s.width = v;
    if (LoadPageValue(key, u"PageHeight", v))
        s.height = v;
    return s;
}

bool SavePageSettings(const EdtPageSettings& s)
{
    CRegistryKey key;
    if (!key.Create(HKEY_CURRENT_USER, EDT_SETTINGS_KEY))
        return false;
    bool ok = key.SaveNumber(u"PageLeft", uint32_t(s.margins.left)) &&
              key.SaveNumber(u"PageRight", uint32_t(s.margins.right)) &&
              key.SaveNumber(u"PageTop", uint32_t(s.margins.top)) &&
              key.SaveNumber(u"PageBottom", uint32_t(s.margins.bottom));
    if (s.width)
        ok = key.SaveNumber(u"PageWidth", uint32_t(*s.width)) && ok;
    if (s.height)
        ok = key.SaveNumber(u"PageHeight", uint32_t(*s.height)) && ok;
    return ok;
}

void ApplyPagePaper(QPrinter& printer, const EdtPageSettings& s)
{
    if (!s.width || !s.height || *s.width <= 0 || *s.height <= 0)
        return;
    const double w = *s.width / 100.0, h = *s.height / 100.0;
    const QSizeF portrait(std::min(w, h), std::max(w, h));
    QPageSize size;
    for (int id = 0; id <= int(QPageSize::LastPageSize); ++id) {
        const auto pid = QPageSize::PageSizeId(id);
        if (pid == QPageSize::Custom)
            continue;
        const QSizeF std = QPageSize::size(pid, QPageSize::Millimeter);
        if (std::abs(std.width() - portrait.width()) <= 1.0 && std::abs(std.height() - portrait.height()) <= 1.0) {
            size = QPageSize(pid);
            break;
        }
    }
    if (!size.isValid())
        size = QPageSize(portrait, QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    printer.setPageSize(size);
    printer.setPageOrientation(w > h ? QPageLayout::Landscape : QPageLayout::Portrait);
}

QPrinter& EdtPrinter()
{
    QPrinter& printer = ui::ApplicationPrinter();
    static QPrinter* prepared = nullptr;
    if (prepared != &printer) {
        prepared = &printer;
        ApplyPagePaper(printer, LoadPageSettings());
        ui::ResetPrinterMargins(printer);
    }
    return printer;
}

bool RunPageSetup(QWidget* parent)
{
    QPrinter& printer = EdtPrinter();
    EdtPageSettings s = LoadPageSettings();
    ApplyPagePaper(printer, s);
    printer.setPageMargins(QMarginsF(s.margins.left / 100.0, s.margins.top / 100.0, s.margins.right / 100.0,
                                     s.margins.bottom / 100.0),
                           QPageLayout::Millimeter);
    QPageSetupDialog dialog(&printer, parent);
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (ok) {
        const QPageLayout layout = printer.pageLayout();
        const QMarginsF m = layout.margins(QPageLayout::Millimeter);
        s.margins = {ToHundredths(m.left()), ToHundredths(m.right()), ToHundredths(m.top()),
                     ToHundredths(m.bottom())};
        const QRectF paper = layout.fullRect(QPageLayout::Millimeter);
        s.width = ToHundredths(paper.width());
        s.height = ToHundredths(paper.height());
        // The printer has the layout for this run either way; what the
        // store refuses is only not offered again at the next start.
        (void)SavePageSettings(s);
    }
    // The view draws the editor's margins itself.
    ui::ResetPrinterMargins(printer);
    return ok;
}
