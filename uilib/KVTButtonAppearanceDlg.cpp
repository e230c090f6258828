#include "uilib/KVTButtonAppearanceDlg.h"

#include "platform/ui/Prompt.h"
#include "res/StringTable.h"
#include "uilib/KVTButtonImageList.h"
#include "uilib/KVTImageEditDlg.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarButton.h"
#include "uilib/KVTToolbarImageList.h"
#include "uilib/KVTFormPlaceholder.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include <algorithm>
#include <memory>

namespace {
constexpr int IDC_IMAGE_ONLY = 16505;
constexpr int IDC_TEXT_ONLY = 16506;
constexpr int IDC_IMAGE_TEXT = 16507;
constexpr int IDC_NAME = 16500;
constexpr int IDC_DEFAULT_IMAGE = 16530;
constexpr int IDC_USER_IMAGE = 16529;
constexpr int IDC_USER_LIST = 16508;
constexpr int IDC_NEW_IMAGE = 16509;
constexpr int IDC_EDIT_IMAGE = 16510;
constexpr uint32_t IDS_CHOOSE_IMAGE = 16001;
constexpr uint32_t IDS_ENTER_TEXT = 16002;

std::unique_ptr<CKVTToolbarImageList>& OwnUserImages()
{
    static std::unique_ptr<CKVTToolbarImageList> strip;
    return strip;
}
} // namespace

CKVTButtonAppearanceDlg::CKVTButtonAppearanceDlg(CKVTToolbarButton* button, CKVTToolbarImageList* userImages,
                                                 CKVTToolBar* bar, QWidget* parent)
    : ui::Dialog(IDD, parent ? parent : static_cast<QWidget*>(bar)), m_button(button), m_userImages(userImages),
      m_bar(bar), m_menuMode(bar && bar->IsMenuMode())
{
    m_grid = KvtReplacePlaceholder(GetDlgItem(IDC_USER_LIST), new CKVTButtonImageList, this);
    m_grid->setMinimumHeight(std::max(m_grid->minimumHeight(), 80));
    connect(m_grid, &CKVTButtonImageList::selectionChanged, this, [this](int image) {
        if (image >= 0)
            if (auto* r = Item<QRadioButton>(IDC_USER_IMAGE))
                r->setChecked(true);
        UpdateImageControls();
    });
    if (auto* b = Item<QPushButton>(IDC_NEW_IMAGE))
        connect(b, &QPushButton::clicked, this, [this] { OnNewImage(); });
    if (auto* b = Item<QPushButton>(IDC_EDIT_IMAGE))
        connect(b, &QPushButton::clicked, this, [this] { OnEditImage(); });
}

CKVTToolbarImageList* CKVTButtonAppearanceDlg::CreatedUserImages() { return OwnUserImages().get(); }

void CKVTButtonAppearanceDlg::FillImages()
{
    const bool haveUser = m_userImages && m_userImages->HasImages();
    m_grid->SetImages(haveUser ? m_userImages : nullptr);
    if (haveUser)
        for (int i = 0; i < m_userImages->GetImageCount(); ++i)
            m_grid->AddButton(std::make_unique<CKVTToolbarButton>(0, i, QString(), true));
    m_grid->setEnabled(haveUser);
}

void CKVTButtonAppearanceDlg::UpdateImageControls()
{
    const bool haveUser = m_userImages && m_userImages->HasImages();
    // "Nový..." stays usable without a strip: its first image makes one.
    if (auto* b = Item<QPushButton>(IDC_NEW_IMAGE))
        b->setEnabled(true);
    if (auto* b = Item<QPushButton>(IDC_EDIT_IMAGE))
        b->setEnabled(haveUser && m_grid->GetSelectedImage() >= 0);
    if (auto* r = Item<QRadioButton>(IDC_USER_IMAGE))
        r->setEnabled(haveUser || (m_button && m_button->HasImage()));
}

namespace {
void RepaintBars()
{
    for (CKVTToolBar* bar : CKVTToolbarShared::AllBars())
        if (bar)
            bar->update();
}
} // namespace

void CKVTButtonAppearanceDlg::OnEditImage()
{
    const int index = m_grid->GetSelectedImage();
    if (!m_userImages || index < 0)
        return;
    CKVTImageEditDlg editor(m_userImages->GetImage(index), this);
    if (editor.DoModal() != QDialog::Accepted)
        return;
    m_userImages->UpdateImage(index, editor.GetImage());
    m_userImages->SetModified(true);
    m_grid->update();
    RepaintBars();
}

void CKVTButtonAppearanceDlg::OnNewImage()
{
    const QSize size = m_userImages ? m_userImages->GetImageSize() : CKVTToolbarShared::GetDefaultImageSize();
    QImage blank(size, QImage::Format_ARGB32);
    blank.fill(KvtImageEdit::kFaceColor);
    CKVTImageEditDlg editor(blank, this);
    if (editor.DoModal() != QDialog::Accepted)
        return;
    CKVTToolbarImageList* strip = m_userImages;
    const bool fresh = !strip;
    if (fresh) {
        // The first user image: a user strip at the toolbars' image size.
        OwnUserImages() = std::make_unique<CKVTToolbarImageList>();
        strip = OwnUserImages().get();
        strip->SetImageSize(CKVTToolbarShared::GetDefaultImageSize());
        strip->InitUserImages(QString::fromLatin1(kKvtUserImagesFile));
    }
    const int index = strip->AddImage(editor.GetImage());
    if (index < 0)
        return;
    strip->SetModified(true);
    if (fresh || !CKVTToolbarShared::GetUserImages())
        CKVTToolbarShared::SetUserImages(strip);
    m_userImages = strip;
    FillImages();
    m_grid->SelectButton(index);
    if (auto* r = Item<QRadioButton>(IDC_USER_IMAGE)) {
        r->setEnabled(true);
        r->setChecked(true);
    }
    UpdateImageControls();
    RepaintBars();
}

bool CKVTButtonAppearanceDlg::OnInitDialog()
{
    ui::Dialog::OnInitDialog();
    if (!m_button)
        return false;
    auto radio = [this](int id) { return Item<QRadioButton>(id); };
    // The name and the kept shortcut part.
    const QString text = m_button->m_text;
    const int tab = text.indexOf(QLatin1Char('\t'));
    m_hadAccel = tab >= 0;
    m_accel = m_hadAccel ? text.mid(tab + 1) : QString();
    if (auto* name = Item<QLineEdit>(IDC_NAME))
        name->setText(m_hadAccel ? text.left(tab) : text);

    // The user images.
    const bool haveUser = m_userImages && m_userImages->HasImages();
    {
        const QSignalBlocker block(m_grid);
        FillImages();
        if (haveUser && m_button->m_userImage && m_button->m_userImageIndex >= 0)
            m_grid->SelectButton(m_button->m_userImageIndex);
    }
    const bool hasImage = m_button->HasImage();
    if (!haveUser && !hasImage)
        for (int id : {IDC_DEFAULT_IMAGE, IDC_USER_IMAGE})
            if (auto* r = radio(id))
                r->setEnabled(false);
    if (auto* r = radio(haveUser && m_button->m_userImage ? IDC_USER_IMAGE : IDC_DEFAULT_IMAGE))
        r->setChecked(true);
    UpdateImageControls();
    if (!haveUser && !hasImage)
        if (auto* r = radio(IDC_USER_IMAGE))
            r->setEnabled(false);

    // The mode.
    const bool showsImage = m_button->m_showImage && hasImage;
    int mode = IDC_IMAGE_ONLY;
    if (!showsImage)
        mode = IDC_TEXT_ONLY;
    else if (m_button->m_showText)
        mode = IDC_IMAGE_TEXT;
    if (auto* r = radio(mode))
        r->setChecked(true);
    if (m_menuMode)
        for (int id : {IDC_IMAGE_ONLY, IDC_TEXT_ONLY, IDC_IMAGE_TEXT})
            if (auto* r = radio(id))
                r->setEnabled(false);
    if (m_button->m_textBelow)
        if (auto* r = radio(IDC_IMAGE_ONLY))
            r->setEnabled(false);
    return true;
}

void CKVTButtonAppearanceDlg::OnOK()
{
    auto checked = [this](int id) {
        auto* r = Item<QRadioButton>(id);
        return r && r->isChecked();
    };
    const bool showImage = checked(IDC_IMAGE_ONLY) || checked(IDC_IMAGE_TEXT);
    const bool showText = checked(IDC_TEXT_ONLY) || checked(IDC_IMAGE_TEXT);
    const bool user = checked(IDC_USER_IMAGE);
    int image = -1;
    if (user) {
        image = m_grid->GetSelectedImage();
    } else {
        image = CKVTCommandImageMap::Instance().GetImage(m_button->m_id, false);
    }
    if (showImage && image < 0) {
        ui::Prompt(LoadResString(IDS_CHOOSE_IMAGE), {}, ui::MB_OK | ui::MB_ICONEXCLAMATION, this);
        return;
    }
    auto* name = Item<QLineEdit>(IDC_NAME);
    const QString text = name ? name->text() : QString();
    if (showText && text.isEmpty()) {
        ui::Prompt(LoadResString(IDS_ENTER_TEXT), {}, ui::MB_OK | ui::MB_ICONEXCLAMATION, this);
        if (name)
            name->setFocus();
        return;
    }
    if (!m_button->m_textBelow)
        m_button->m_showText = showText;
    m_button->m_showImage = showImage;
    m_button->m_userImage = user;
    if (image >= 0)
        m_button->SetImage(image);
    else if (user)
        m_button->m_userImageIndex = -1;
    else
        m_button->m_imageIndex = -1;
    m_button->m_text = m_hadAccel ? text + QLatin1Char('\t') + m_accel : text;
    ui::Dialog::OnOK();
}
