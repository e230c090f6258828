#pragma once
// The "Formát" page (dialog 2) over a font and colour registry: category and
// item lists, font, size and charset, the two colour swatches, the four
// style boxes, the sample and "Výchozí nastavení pro vše".  It edits a copy
// of the registry's current list and applies it on OK and Apply.

#include "fontcolor/FontColorPage.h"
#include "platform/ui/Dialog.h"

#include <QPointer>

class CColorEdit;
class CFormatSampleStatic;
class QCheckBox;
class QComboBox;
class QListWidget;

class CFontColorPageDlg : public ui::PropertyPage
{
    Q_OBJECT
public:
    // Control ids of dialog 2.
    enum : int {
        IDC_CATEGORY = 1007, IDC_ITEM = 1008, IDC_FONT = 1009, IDC_SIZE = 1010, IDC_CHARSET = 1011,
        IDC_SAMPLE = 1013, IDC_DEFAULTS = 1014, IDC_TEXTCOLOR = 1015, IDC_BOLD = 1016, IDC_ITALIC = 1017,
        IDC_UNDERLINE = 1018, IDC_STRIKEOUT = 1019, IDC_BACKCOLOR = 1022,
    };
    static constexpr int kMinSize = 1;
    static constexpr int kMaxSize = 1638;

    explicit CFontColorPageDlg(CFontColorPage* registry);

    bool OnSetActive() override;
    void OnOK() override;
    bool OnApply() override;

    // The page's working copy (filled on the first activation).
    const std::vector<FontColorCategory>& EditList() const { return m_edit; }
    // The charset combo's entries of a face: (value, string id) pairs, the
    // default entry first.
    static std::vector<std::pair<int, unsigned>> CharsetsOf(const QString& face);
    // The string id of a charset's name (12020 "Neznámý" for others).
    static unsigned CharsetNameId(int charSet);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RunApply();
    void FillCategories();
    void OnCategoryChanged();
    void OnItemChanged();
    void FillCharsets();
    void OnSizeText(const QString& text, bool final);
    void OnStyle(int which, bool on);
    void OnColor(int controlId);
    void OnDefaults();
    void Changed();
    void UpdateSample();
    FontColorCategory* CurCategory();
    FontColorItem* CurItem();

    QPointer<CFontColorPage> m_registry;
    std::vector<FontColorCategory> m_edit;
    int m_category = -1, m_item = -1;
    bool m_filling = false;
    QListWidget* m_categories;
    QListWidget* m_items;
    QComboBox* m_font;
    QComboBox* m_size;
    QComboBox* m_charset;
    QCheckBox* m_styles[4];
    CColorEdit* m_textColor;
    CColorEdit* m_backColor;
    CFormatSampleStatic* m_sample;
};
