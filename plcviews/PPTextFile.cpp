#include "plcviews/PPTextFile.h"

#include "editor/settings/EdtTextTypes.h"
#include "platform/ui/App.h"
#include "plcviews/StructuredTextDoc.h"
#include "res/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {
constexpr unsigned IDS_LINE_COUNT = 4052;   // "%d (řádků)"
constexpr unsigned IDS_PROPERTIES = 4283;   // "Vlastnosti"
} // namespace

CPPTextFile::CPPTextFile(CStructuredTextView* view) : ui::PropertyPage(IDD), m_view(view)
{
    auto modified = [this] {
        if (!m_filling)
            SetModified(true);
    };
    if (auto* tab = Item<QLineEdit>(IDC_TABSIZE))
        connect(tab, &QLineEdit::textEdited, this, modified);
    if (auto* syntax = Item<QComboBox>(IDC_SYNTAX)) {
        for (int i = 0; i < GetSourceTypeCount(); ++i)
            if (const TextTypeDef* t = GetTextTypeDef(i))
                syntax->addItem(QString::fromStdU16String(t->name), i);
        connect(syntax, &QComboBox::currentIndexChanged, this, modified);
    }
    for (int id : {int(IDC_UNICODE), int(IDC_READONLY)})
        if (auto* box = Item<QCheckBox>(id))
            connect(box, &QCheckBox::toggled, this, modified);
}

void CPPTextFile::Fill()
{
    if (!m_view)
        return;
    auto* doc = qobject_cast<CStructuredTextDoc*>(m_view->GetDocument());
    m_path = doc ? doc->GetPathName() : QString();
    m_unicode = doc && doc->Buffer().GetUnicode() ? 1 : 0;
    m_readOnly = doc && doc->Buffer().GetReadOnly() ? 1 : 0;
    m_tabSize = m_view->GetTabSize();
    m_lines = FormatResString(IDS_LINE_COUNT, doc ? doc->Buffer().GetLineCount() : 0);
    m_syntax = -1;
    if (auto* syntax = Item<QComboBox>(IDC_SYNTAX))
        for (int i = 0; i < syntax->count(); ++i)
            if (GetTextTypeDef(syntax->itemData(i).toInt()) == m_view->GetCurrentTextType())
                m_syntax = i;
    m_filling = true;
    UpdateData(false);
    m_filling = false;
    m_filled = true;
}

bool CPPTextFile::OnSetActive()
{
    if (!m_filled)
        Fill();
    return ui::PropertyPage::OnSetActive();
}

void CPPTextFile::DoDataExchange(ui::DataExchange& dx)
{
    dx.Text(IDC_PATH, m_path);
    dx.Text(IDC_LINES, m_lines);
    dx.Check(IDC_UNICODE, m_unicode);
    dx.Check(IDC_READONLY, m_readOnly);
    dx.Int(IDC_TABSIZE, m_tabSize, 1, 64);
    dx.ListIndex(IDC_SYNTAX, m_syntax);
}

bool CPPTextFile::OnApply()
{
    if (!m_filled || !m_view)
        return true;
    if (!UpdateData(true))
        return false;
    auto* doc = qobject_cast<CStructuredTextDoc*>(m_view->GetDocument());
    if (doc) {
        const bool unicode = m_unicode != 0;
        if (unicode != doc->Buffer().GetUnicode()) {
            doc->SetModifiedFlag(true);
            doc->Buffer().SetUnicode(unicode);
        }
        const bool readOnly = m_readOnly != 0;
        if (readOnly != doc->Buffer().GetReadOnly())
            doc->SetReadOnly(readOnly);
    }
    // The syntax first, and only when another was chosen: applying a type
    // sets its own tab size, which would undo the one on the page.
    if (auto* syntax = Item<QComboBox>(IDC_SYNTAX); syntax && m_syntax >= 0) {
        const TextTypeDef* type = GetTextTypeDef(syntax->itemData(m_syntax).toInt());
        if (type && type != m_view->GetCurrentTextType())
            m_view->SetTextType(type);
    }
    m_view->SetTabSize(m_tabSize);
    if (doc)
        doc->UpdateAllViews(nullptr);
    SetModified(false);
    return true;
}

void CPPTextFile::OnOK()
{
    if (IsModified())
        OnApply();
    ui::PropertyPage::OnOK();
}

int ShowTextFileProperties(CStructuredTextView* view)
{
    QWidget* owner = ui::Application::Instance() ? ui::Application::Instance()->GetMainWnd() : nullptr;
    ui::PropertySheet sheet(LoadResString(IDS_PROPERTIES), owner ? owner : view);
    sheet.AddPage(new CPPTextFile(view));
    return sheet.DoModal();
}
