#pragma once
// The application options sheet (command ID_TOOLS_OPTIONS) and its own pages: the tool
// folders ("Cesty", dialog 2040), the link settings of the file manager
// without a project, and the page shown when an item has no properties.

#include "core/common/AppSettings.h"
#include "link/ui/OlnkPropPage.h"
#include "platform/ui/Dialog.h"

#include <array>

class CFontColorPage;

// The five tool folders of the settings.  The edits are filled on the first
// activation and again on Cancel; OK copies them into the settings, every
// folder ending with a separator.
class CPPPaths : public ui::PropertyPage
{
    Q_OBJECT
public:
    enum : int { IDD = 2040 };
    // The edits and their browse buttons, in the order of the fields.
    static constexpr std::array<int, 5> kEdits = {2080, 2082, 2084, 2086, 2088};
    static constexpr std::array<int, 5> kBrowse = {2081, 2083, 2085, 2087, 2089};

    explicit CPPPaths(core::AppSettings* settings);

    bool OnSetActive() override;
    void OnOK() override;
    void OnCancel() override;
    void DoDataExchange(ui::DataExchange& dx) override;

    // The value of edit i (as typed, or as the last browse set it).
    const QString& Value(int i) const { return m_values[size_t(i)]; }
    // A browse of edit i that chose folder: the value it leads to (the same
    // value when nothing changes).  Templates (i 0) holding several folders
    // separated by ";" get the folder appended unless it is listed already.
    static QString BrowseResult(int i, const QString& current, const QString& folder);
    // A typed folder value as OK stores it: a separator appended to each
    // folder that ends with neither "/" nor "\".
    static QString WithSeparator(const QString& value);

private:
    void Fill();
    void OnBrowse(int i);
    std::u16string* Field(int i) const;

    core::AppSettings* m_settings;
    std::array<QString, 5> m_values;
    bool m_filled = false;
    bool m_updating = false;
};

// The link settings page bound to the settings' connection string.
class CPPAppLink : public linkui::COlnkPropPage
{
    Q_OBJECT
public:
    explicit CPPAppLink(std::u16string* connectionString) { ConstructBound(connectionString); }
};

// "Žádné vlastnosti nejsou k dispozici.": a page without logic.
class CPPNoProperties : public ui::PropertyPage
{
    Q_OBJECT
public:
    enum : int { IDD = 2132 };
    CPPNoProperties() : ui::PropertyPage(IDD) {}
};

// Shows the options sheet modally (caption 4036; the paths, the link and
// the registry's "Formát" page) and saves the settings under "Options"
// after it closed, whatever the result.  Returns the sheet's result.
int RunOptionsSheet(QWidget* parent, core::AppSettings& settings, CFontColorPage* fontColors);

// Writes the settings this instance changed into the settings file now;
// when that fails, says so with the cause in a box owned by owner.
bool WriteSettingsNow(QWidget* owner);
