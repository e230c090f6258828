#include "uilib/KVTToolbarButton.h"

#include "uilib/KVTArchiveClasses.h"
#include "uilib/KVTDrawingData.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarImageList.h"
#include "uilib/KVTFrameHooks.h"

#include <QFontMetrics>
#include <QMimeData>
#include <QPainter>

namespace {
void Frame3D(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight)
{
    p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
}
} // namespace

QString StripMnemonic(const QString& text)
{
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
                out += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

// --- the command-image map ---------------------------------------------------

CKVTCommandImageMap& CKVTCommandImageMap::Instance()
{
    static CKVTCommandImageMap map;
    return map;
}

void CKVTCommandImageMap::SetImage(uint32_t command, int image, bool user)
{
    if (command == 0 || command == 0xFFFFFFFF)
        return;
    auto& mine = user ? m_user : m_default;
    const auto& other = user ? m_default : m_user;
    auto it = other.find(command);
    if (it != other.end() && it->second >= 0)
        return;
    mine[command] = image;
}

int CKVTCommandImageMap::GetImage(uint32_t command, bool user) const
{
    const auto& m = user ? m_user : m_default;
    auto it = m.find(command);
    return it == m.end() ? -1 : it->second;
}

void CKVTCommandImageMap::RemoveAll()
{
    m_default.clear();
    m_user.clear();
}

void CKVTCommandImageMap::OnUserImageDeleted(int index)
{
    for (auto it = m_user.begin(); it != m_user.end();) {
        if (it->second == index) {
            it = m_user.erase(it);
            continue;
        }
        if (it->second > index)
            --it->second;
        ++it;
    }
}

// --- the button --------------------------------------------------------------

CKVTToolbarButton::CKVTToolbarButton() { RegisterKVTArchiveClasses(); }

CKVTToolbarButton::CKVTToolbarButton(uint32_t command, int image, const QString& text, bool userImage,
                                     bool locked)
    : m_userImage(userImage), m_id(command), m_text(text), m_locked(locked)
{
    RegisterKVTArchiveClasses();
    SetImage(image);
}

CKVTToolbarButton::~CKVTToolbarButton() = default;

void CKVTToolbarButton::Serialize(sys::ObjectArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteU32(m_id);
        ar.WriteU32(m_style & ~TBBS_STATE);
        ar.WriteI32(GetImage());
        ar.WriteString(m_text.toStdU16String());
        ar.WriteU32(m_userImage);
        ar.WriteU32(m_extra);
        ar.WriteU32(m_showText);
        ar.WriteU32(m_showImage);
    } else {
        m_id = ar.ReadU32();
        m_style = ar.ReadU32();
        const int image = ar.ReadI32();
        m_text = QString::fromStdU16String(ar.ReadString());
        m_userImage = ar.ReadU32() != 0;
        m_extra = ar.ReadU32() != 0;
        m_showText = ar.ReadU32() != 0;
        m_showImage = ar.ReadU32() != 0;
        SetImage(image);
    }
}

std::unique_ptr<CKVTToolbarButton> CKVTToolbarButton::Clone() const
{
    std::unique_ptr<CKVTToolbarButton> copy;
    try {
        sys::ObjectArchive ar;
        ar.WriteObject(this);
        const std::vector<uint8_t> bytes = ar.TakeBytes();
        sys::ObjectArchive in(bytes);
        copy = in.ReadObjectOf<CKVTToolbarButton>();
    } catch (const sys::ArchiveError&) {
    }
    if (!copy)
        copy = std::make_unique<CKVTToolbarButton>();
    copy->CopyFrom(*this);
    return copy;
}

bool CKVTToolbarButton::CanBeDropped(CKVTToolBar*) const { return true; }

void CKVTToolbarButton::CopyFrom(const CKVTToolbarButton& src)
{
    m_id = src.m_id;
    m_locked = src.m_locked;
    m_userImage = src.m_userImage;
    m_style = src.m_style;
    SetImage(src.GetImage());
    m_text = src.m_text;
    m_showText = src.m_showText;
    m_showImage = src.m_showImage;
    m_wrap = src.m_wrap;
    m_extra = false;
}

bool CKVTToolbarButton::OnClick(CKVTToolBar*, bool) { return false; }
void CKVTToolbarButton::OnParentChanged(CKVTToolBar*) {}

bool CKVTToolbarButton::IsEditable() const
{
    const uint32_t id = m_id;
    if ((id >= 0xE110 && id <= 0xE11F) || (id >= 0xF000 && id <= 0xF1EF) || (id >= 0xE210 && id <= 0xE21F) ||
        id >= 0xFF00)
        return false;
    return true;
}

void CKVTToolbarButton::SetImage(int image)
{
    if (IsSeparator()) {
        m_imageIndex = image;
        return;
    }
    if (m_userImage)
        m_userImageIndex = image;
    else
        m_imageIndex = image;
    if (m_locked || m_id == 0)
        return;
    auto& map = CKVTCommandImageMap::Instance();
    if (image == -1) {
        const int d = map.GetImage(m_id, false);
        const int u = map.GetImage(m_id, true);
        m_imageIndex = d;
        m_userImageIndex = u;
        m_userImage = d < 0 && u >= 0;
    } else if (image >= 0) {
        map.SetImage(m_id, image, m_userImage);
    }
}

void CKVTToolbarButton::SetRect(const QRect& r)
{
    if (r == m_rect)
        return;
    m_rect = r;
    OnRectChanged();
}

QSize CKVTToolbarButton::CalculateSize(QSize def, bool horz)
{
    if (IsSeparator()) {
        const int w = m_imageIndex >= 1 ? m_imageIndex : 8;
        return horz ? QSize(w, def.height()) : QSize(def.width(), 8);
    }
    QSize size = def;
    if (!m_showImage || !HasImage()) {
        if (horz)
            size.setWidth(0);
        else
            size.setHeight(0);
    }
    m_textWidth = 0;
    m_textHeight = 0;
    if (m_text.isEmpty())
        return size;
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const QString plain = StripMnemonic(m_text);
    if (m_textBelow && horz) {
        const QFontMetrics fm(dd.HorzFont());
        const QRect box = fm.boundingRect(QRect(0, 0, def.width() * 3, 10000),
                                          Qt::TextWordWrap | Qt::AlignHCenter, plain);
        m_textWidth = box.width() + 6;
        m_textHeight = box.height();
        return QSize(std::max(def.width(), m_textWidth) + 12, m_textHeight + def.height() + 6);
    }
    if (m_showText) {
        const int w = QFontMetrics(horz ? dd.HorzFont() : dd.VertFont()).horizontalAdvance(plain);
        if (horz)
            size.rwidth() += w + 12;
        else
            size.rheight() += w + 12;
    }
    return size;
}

void CKVTToolbarButton::Draw(QPainter& p, const QRect& rect, CKVTToolbarImageList* images, bool horz,
                             bool customizeMode, bool highlighted, bool drawBorder, bool grayDisabled)
{
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const bool checked = (m_style & TBBS_CHECKED) != 0;
    const bool indeterminate = (m_style & TBBS_INDETERMINATE) != 0;
    const bool pressed = (m_style & TBBS_PRESSED) != 0;

    // 1. The checked dither.
    if (!customizeMode && !highlighted && (checked || indeterminate)) {
        const QRect in = rect.adjusted(2, 2, -2, -2);
        p.fillRect(in, dd.Face());
        p.fillRect(in, QBrush(dd.Highlight(), Qt::Dense4Pattern));
    }

    // 2. Where the image and the text go.
    const bool textBelow = m_textBelow && horz && !m_text.isEmpty();
    const bool visibleText = HasText() && !(m_textBelow && horz);
    const QSize isz = images ? images->GetDrawSize() : QSize(16, 15);
    QRect imageArea = rect;
    QRect textArea;
    const QString plainWidthText = StripMnemonic(m_text);
    if (visibleText) {
        const QFont& f = horz ? dd.HorzFont() : dd.VertFont();
        const int tw = QFontMetrics(f).horizontalAdvance(plainWidthText) + 6;
        if (horz) {
            textArea = QRect(rect.right() + 1 - tw, rect.top(), tw, rect.height());
            imageArea.setRight(textArea.left() - 1);
        } else {
            textArea = QRect(rect.left(), rect.bottom() + 1 - tw, rect.width(), tw);
            imageArea.setBottom(textArea.top() - 1);
        }
    }
    int ix = imageArea.left() + (imageArea.width() - isz.width() - 1) / 2;
    int iy = imageArea.top() + (imageArea.height() - isz.height() + 1) / 2;
    if (textBelow)
        iy = rect.top() + 3;

    // 3. The pressed offset.
    int dx = 0, dy = 0;
    if ((pressed || checked) && !customizeMode) {
        dx = 1;
        dy = horz ? 1 : -1;
    }

    // 4. The image.
    const bool disabledLook = customizeMode ? !IsEditable() : (m_style & TBBS_DISABLED) != 0;
    if (images && m_showImage && HasImage()) {
        uint32_t state = CKVTToolbarImageList::STATE_NORMAL;
        if (!customizeMode && !pressed) {
            if ((checked || indeterminate) && !highlighted)
                state |= CKVTToolbarImageList::STATE_INDETERMINATE;
            if (disabledLook && grayDisabled)
                state = CKVTToolbarImageList::STATE_DISABLED;
        }
        if (highlighted)
            state |= CKVTToolbarImageList::STATE_HIGHLIGHTED;
        images->Draw(p, ix + dx, iy + (horz ? dy : 1), GetImage(), state);
    }

    // 5. The text.
    if (visibleText || textBelow) {
        QColor color = disabledLook ? dd.Color(CKVTDrawingData::COLOR_GRAYTEXT)
                                    : highlighted ? dd.Color(CKVTDrawingData::COLOR_HIGHLIGHT)
                                                  : dd.Text();
        p.save();
        p.setPen(color);
        if (textBelow) {
            p.setFont(dd.HorzFont());
            const QRect tr(rect.left() + dx, iy + isz.height() + 3 + dy, rect.width(), m_textHeight + 2);
            p.drawText(tr, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic, m_text);
        } else if (horz) {
            p.setFont(dd.HorzFont());
            p.drawText(textArea.adjusted(3 + dx, dy, 0, dy), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                       m_text);
        } else {
            p.setFont(dd.VertFont());
            // Turned by 90 degrees: the text runs downwards.
            p.translate(textArea.left() + textArea.width() / 2 + dx, textArea.top() + 3 + dy);
            p.rotate(90);
            const int h = QFontMetrics(dd.VertFont()).height();
            p.drawText(QRect(0, -h / 2, textArea.height(), h), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                       m_text);
        }
        p.restore();
    }

    // 6. The border.
    if (!customizeMode && HaveHotBorder() && drawBorder) {
        if (pressed || checked)
            Frame3D(p, rect, dd.Shadow(), dd.Highlight());
        else if (highlighted && !indeterminate)
            Frame3D(p, rect, dd.Highlight(), dd.Shadow());
    }
}

int CKVTToolbarButton::DrawInCustomizeList(QPainter& p, const QRect& rect, bool selected)
{
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const QSize imageSize = CKVTToolbarShared::GetDefaultImageSize();
    const QRect box(rect.left(), rect.top(), imageSize.width() + 6, rect.height());
    if (HasImage()) {
        CKVTToolbarImageList* list =
            m_userImage ? CKVTToolbarShared::GetUserImages() : CKVTToolbarShared::GetSharedImages(CKVTToolBar::IMAGES_NORMAL);
        if (list) {
            const uint32_t style = m_style;
            const bool showText = m_showText;
            m_style &= ~(TBBS_PRESSED | TBBS_CHECKED);
            m_showText = false;
            list->PrepareDrawImage(imageSize);
            Draw(p, box, list, true, true, selected, false, true);
            list->EndDrawImage();
            m_style = style;
            m_showText = showText;
        }
    }
    const QString plain = StripMnemonic(m_text);
    const QFontMetrics fm(dd.HorzFont());
    QRect tr(box.right() + 1, rect.top(), fm.horizontalAdvance(plain) + 6, rect.height());
    p.save();
    p.setFont(dd.HorzFont());
    if (selected) {
        p.fillRect(tr, dd.Color(CKVTDrawingData::COLOR_HIGHLIGHT));
        p.setPen(dd.Color(CKVTDrawingData::COLOR_HIGHLIGHTTEXT));
    } else {
        p.fillRect(tr, dd.Face());
        p.setPen(dd.Text());
    }
    p.drawText(tr.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, m_text);
    if (selected) {
        p.setPen(QPen(dd.Text(), 1, Qt::DotLine));
        p.drawRect(tr.adjusted(0, 0, -1, -1));
    }
    p.restore();
    return tr.right() + 1;
}

bool CKVTToolbarButton::GetCustomToolTipText(QWidget* owner, QString& text)
{
    KvtFrameHooks* hooks = KvtFrameHooks::FromWidget(owner);
    return hooks ? hooks->OnGetButtonToolTipText(this, text) : false;
}

bool CKVTToolbarButton::CopyToClipboard(QMimeData* data) const
{
    if (!CanBeStored())
        return true;
    if (!data)
        return false;
    try {
        sys::ObjectArchive ar;
        ar.WriteObject(this);
        const auto& b = ar.Bytes();
        data->setData(QString::fromLatin1(kKvtButtonClipboardFormat),
                      QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())));
    } catch (const sys::ArchiveError&) {
        return false;
    }
    return true;
}

std::unique_ptr<CKVTToolbarButton> CKVTToolbarButton::CreateFromClipboard(const QMimeData* data)
{
    const QString format = QString::fromLatin1(kKvtButtonClipboardFormat);
    if (!data || !data->hasFormat(format))
        return nullptr;
    const QByteArray bytes = data->data(format);
    try {
        sys::ObjectArchive ar(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
        return ar.ReadObjectOf<CKVTToolbarButton>();
    } catch (const sys::ArchiveError&) {
        return nullptr;
    }
}
