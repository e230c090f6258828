#include "uilib/KVTButtonAppearanceDlg.h"

#include "platform/ui/Prompt.h"
#include "res/StringTable.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarButton.h"
#include "uilib/KVTToolbarImageList.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

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
} // namespace

CKVTButtonAppearanceDlg::CKVTButtonAppearanceDlg(CKVTToolbarButton* button, CKVTToolbarImageList* userImages,
                                                 CKVTToolBar* bar, QWidget* parent)
    : ui::Dialog(IDD, parent ? parent : static_cast<QWidget*>(bar)), m_button(button), m_userImages(userImages),
      m_bar(bar), m_menuMode(bar && bar->IsMenuMode())
{
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
    auto* list = Item<QListWidget>(IDC_USER_LIST);
    const bool haveUser = m_userImages && m_userImages->HasImages();
    if (list && haveUser) {
        const QSize size = m_userImages->GetImageSize();
        list->setIconSize(size);
        m_userImages->PrepareDrawImage(size);
        for (int i = 0; i < m_userImages->GetImageCount(); ++i) {
            QPixmap pm(size);
            pm.fill(Qt::transparent);
            {
                QPainter p(&pm);
                m_userImages->Draw(p, 0, 0, i, CKVTToolbarImageList::STATE_NORMAL);
            }
            auto* item = new QListWidgetItem(QIcon(pm), QString(), list);
            item->setData(Qt::UserRole, i);
        }
        m_userImages->EndDrawImage();
        if (m_button->m_userImage && m_button->m_userImageIndex >= 0 && m_button->m_userImageIndex < list->count())
            list->setCurrentRow(m_button->m_userImageIndex);
    }
    if (list)
        list->setEnabled(haveUser);
    // The image editor is not reachable from here yet.
    for (int id : {IDC_NEW_IMAGE, IDC_EDIT_IMAGE})
        if (auto* b = Item<QPushButton>(id))
            b->setEnabled(false);
    const bool hasImage = m_button->HasImage();
    if (!haveUser && !hasImage)
        for (int id : {IDC_DEFAULT_IMAGE, IDC_USER_IMAGE})
            if (auto* r = radio(id))
                r->setEnabled(false);
    if (auto* r = radio(haveUser && m_button->m_userImage ? IDC_USER_IMAGE : IDC_DEFAULT_IMAGE))
        r->setChecked(true);
    if (list && haveUser)
        connect(list, &QListWidget::currentRowChanged, this, [radio](int row) {
            if (row >= 0)
                if (auto* r = radio(IDC_USER_IMAGE))
                    r->setChecked(true);
        });

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
        auto* list = Item<QListWidget>(IDC_USER_LIST);
        if (list && list->currentItem())
            image = list->currentItem()->data(Qt::UserRole).toInt();
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
