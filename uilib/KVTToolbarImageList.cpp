#include "uilib/KVTToolbarImageList.h"

#include "platform/ui/Prompt.h"
#include "platform/ui/ToolbarResource.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarButton.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QPalette>

namespace {
constexpr QRgb kBlack = 0x000000, kDark = 0x808080, kFace = 0xC0C0C0, kWhite = 0xFFFFFF;

std::vector<QRgb> SchemeColors()
{
    return {CKVTToolbarImageList::MapColor(kBlack).rgb(), CKVTToolbarImageList::MapColor(kDark).rgb(),
            CKVTToolbarImageList::MapColor(kFace).rgb(), CKVTToolbarImageList::MapColor(kWhite).rgb()};
}

QImage MapImage(const QImage& master, const std::vector<QRgb>& scheme)
{
    QImage out = master.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb px = line[x];
            const QRgb rgb = px & 0xFFFFFF;
            int k = -1;
            if (rgb == kBlack)
                k = 0;
            else if (rgb == kDark)
                k = 1;
            else if (rgb == kFace)
                k = 2;
            else if (rgb == kWhite)
                k = 3;
            if (k >= 0)
                line[x] = (px & 0xFF000000) | (scheme[k] & 0xFFFFFF);
        }
    }
    return out;
}

QImage Fit(const QImage& image, QSize size)
{
    QImage img = image.convertToFormat(QImage::Format_ARGB32);
    if (img.size() != size)
        img = img.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return img;
}

bool HasFolder(const QString& name)
{
    return name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'));
}
} // namespace

CKVTToolbarImageList::CKVTToolbarImageList() = default;

QColor CKVTToolbarImageList::MapColor(QRgb standard)
{
    const QPalette pal = QApplication::palette();
    switch (standard & 0xFFFFFF) {
    case kBlack: return pal.color(QPalette::ButtonText);
    case kDark: return pal.color(QPalette::Dark);
    case kFace: return pal.color(QPalette::Button);
    case kWhite: return pal.color(QPalette::Light);
    default: return QColor::fromRgb(standard);
    }
}

bool CKVTToolbarImageList::SetImageSize(QSize size)
{
    if (!m_images.empty() || size.isEmpty())
        return false;
    m_size = size;
    ++m_generation;
    return true;
}

bool CKVTToolbarImageList::Load(uint32_t resourceId, bool append)
{
    if (append && m_firstIndex.count(resourceId))
        return true;
    std::vector<Image> fresh;
    if (auto tb = ui::ToolbarResource::Load(resourceId)) {
        if (QSize(tb->width, tb->height) != m_size && !(m_images.empty() || !append))
            return false;
        const QSize size(tb->width, tb->height);
        for (uint32_t id : tb->ids) {
            if (!id)
                continue;
            const QString path = ui::CommandImagePath(id);
            fresh.push_back({ui::RenderSvgResource(path, size), path});
        }
        if (!append || m_images.empty())
            m_size = size;
    } else {
        const std::vector<QString> paths = ui::BitmapStripPaths(resourceId);
        if (paths.empty())
            return false;
        for (const QString& path : paths) {
            if (res::Path(path).isEmpty()) {
                QImage empty(m_size, QImage::Format_ARGB32);
                empty.fill(Qt::transparent);
                fresh.push_back({empty, QString()});
            } else {
                fresh.push_back({ui::RenderSvgResource(path, m_size), path});
            }
        }
    }
    if (!append) {
        m_images.clear();
        m_resources.clear();
        m_firstIndex.clear();
        m_userImages = false;
    }
    m_firstIndex[resourceId] = int(m_images.size());
    m_resources.push_back(resourceId);
    for (auto& img : fresh)
        m_images.push_back(std::move(img));
    ++m_generation;
    return true;
}

int CKVTToolbarImageList::FirstIndexOf(uint32_t resourceId) const
{
    auto it = m_firstIndex.find(resourceId);
    return it == m_firstIndex.end() ? -1 : it->second;
}

QString CKVTToolbarImageList::UserDataFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/ORNA/Strandwork");
}

bool CKVTToolbarImageList::LoadUserImages(const QString& fileName)
{
    QString path = fileName;
    if (!HasFolder(fileName)) {
        path = UserDataFolder() + QLatin1Char('/') + fileName;
        if (!QFileInfo::exists(path))
            path = QCoreApplication::applicationDirPath() + QLatin1Char('/') + fileName;
    }
    QImage bmp(path);
    if (bmp.isNull() || bmp.width() < 16)
        return false;
    bmp = bmp.convertToFormat(QImage::Format_ARGB32);
    std::vector<Image> fresh;
    const int count = bmp.width() / 16;
    for (int i = 0; i < count; ++i)
        fresh.push_back({bmp.copy(i * 16, 0, 16, bmp.height()), QString()});
    m_images = std::move(fresh);
    m_size = QSize(16, bmp.height());
    m_resources.clear();
    m_firstIndex.clear();
    m_userImages = true;
    m_modified = false;
    m_renamed = false;
    m_fileName = fileName;
    ++m_generation;
    return true;
}

bool CKVTToolbarImageList::Save(const QString& fileName)
{
    if (!m_userImages || m_images.empty())
        return false;
    const bool renamed = !fileName.isEmpty() && fileName != m_fileName;
    if (!m_modified && !renamed && !m_renamed)
        return true;
    const QString name = fileName.isEmpty() ? m_fileName : fileName;
    QString path = name;
    if (!HasFolder(name)) {
        const QString folder = UserDataFolder();
        QDir().mkpath(folder);
        path = folder + QLatin1Char('/') + name;
    }
    QImage out(m_size.width() * GetImageCount(), m_size.height(), QImage::Format_RGB32);
    for (int i = 0; i < GetImageCount(); ++i) {
        const QImage& img = m_images[size_t(i)].master;
        for (int y = 0; y < m_size.height(); ++y)
            for (int x = 0; x < m_size.width(); ++x) {
                const QRgb px = img.pixel(x, y);
                out.setPixel(i * m_size.width() + x, y, qAlpha(px) < 128 ? 0xFFC0C0C0 : (px | 0xFF000000));
            }
    }
    if (!out.save(path, "BMP"))
        return false;
    m_fileName = name;
    m_modified = false;
    m_renamed = false;
    return true;
}

int CKVTToolbarImageList::AddImage(const QImage& image)
{
    if (image.isNull())
        return -1;
    m_images.push_back({Fit(image, m_size), QString()});
    ++m_generation;
    return int(m_images.size()) - 1;
}

bool CKVTToolbarImageList::UpdateImage(int index, const QImage& image)
{
    if (index < 0 || index >= GetImageCount() || image.isNull())
        return false;
    m_images[size_t(index)] = {Fit(image, m_size), QString()};
    ++m_generation;
    return true;
}

bool CKVTToolbarImageList::DeleteImage(int index)
{
    if (index < 0 || index >= GetImageCount())
        return false;
    m_images.erase(m_images.begin() + index);
    for (auto& [id, first] : m_firstIndex)
        if (first > index)
            --first;
    ++m_generation;
    if (this == CKVTToolbarShared::GetUserImages())
        CKVTCommandImageMap::Instance().OnUserImageDeleted(index);
    return true;
}

bool CKVTToolbarImageList::CopyImageToClipboard(int index)
{
    QClipboard* cb = QGuiApplication::clipboard();
    const QImage img = GetImage(index);
    bool ok = false;
    if (cb && !img.isNull()) {
        cb->setImage(MapImage(img, SchemeColors()));
        const QMimeData* md = cb->mimeData();
        ok = md && md->hasImage();
    }
    if (!ok)
        ui::Prompt(LoadResString(16010), {}, ui::MB_OK | ui::MB_ICONEXCLAMATION);
    return ok;
}

QImage CKVTToolbarImageList::GetImage(int index) const
{
    if (index < 0 || index >= GetImageCount())
        return {};
    return m_images[size_t(index)].master;
}

const std::vector<QImage>& CKVTToolbarImageList::Mapped(QSize size)
{
    const std::vector<QRgb> scheme = SchemeColors();
    if (m_mappedGeneration == m_generation && m_mappedSize == size && m_mappedColors == scheme)
        return m_mapped;
    m_mapped.clear();
    m_mapped.reserve(m_images.size());
    for (const Image& img : m_images) {
        QImage src = img.master;
        if (size != m_size) {
            // Resource images are rendered again; file images are doubled
            // pixel for pixel.
            src = !img.svgPath.isEmpty() ? ui::RenderSvgResource(img.svgPath, size)
                                         : img.master.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        }
        m_mapped.push_back(MapImage(src, scheme));
    }
    m_mappedSize = size;
    m_mappedColors = scheme;
    m_mappedGeneration = m_generation;
    return m_mapped;
}

bool CKVTToolbarImageList::PrepareDrawImage(QSize destSize)
{
    if (destSize.isEmpty())
        return false;
    m_drawSize = destSize;
    Mapped(destSize);
    return true;
}

void CKVTToolbarImageList::EndDrawImage() { m_drawSize = QSize(); }

QImage CKVTToolbarImageList::MaskOf(const QImage& mapped) const
{
    const QRgb face = MapColor(kFace).rgb() & 0xFFFFFF;
    const QRgb hi = MapColor(kWhite).rgb() & 0xFFFFFF;
    QImage mask(mapped.size(), QImage::Format_ARGB32);
    for (int y = 0; y < mapped.height(); ++y)
        for (int x = 0; x < mapped.width(); ++x) {
            const QRgb px = mapped.pixel(x, y);
            const QRgb rgb = px & 0xFFFFFF;
            mask.setPixel(x, y, (qAlpha(px) >= 128 && rgb != face && rgb != hi) ? 0xFF000000 : 0);
        }
    return mask;
}

namespace {
QImage Colored(const QImage& mask, QColor c)
{
    QImage out = mask;
    const QRgb rgb = c.rgb() & 0xFFFFFF;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if (qAlpha(line[x]))
                line[x] = 0xFF000000 | rgb;
    }
    return out;
}
} // namespace

bool CKVTToolbarImageList::Draw(QPainter& p, int x, int y, int index, uint32_t state)
{
    if (index < 0 || index >= GetImageCount())
        return false;
    const QSize size = m_drawSize.isEmpty() ? m_size : m_drawSize;
    const QImage& img = Mapped(size)[size_t(index)];
    if (state & STATE_DISABLED) {
        const QImage mask = MaskOf(img);
        p.drawImage(x + 1, y + 1, Colored(mask, MapColor(kWhite)));
        p.drawImage(x, y, Colored(mask, MapColor(kDark)));
        return true;
    }
    if (state & STATE_INDETERMINATE) {
        const QImage mask = MaskOf(img);
        const QColor face = MapColor(kFace), hi = MapColor(kWhite);
        QImage fill(size, QImage::Format_ARGB32);
        for (int yy = 0; yy < size.height(); ++yy)
            for (int xx = 0; xx < size.width(); ++xx) {
                // The halftone pattern 0x5555AAAA/0xAAAA5555, aligned to the device.
                const bool on = ((x + xx) + (y + yy)) % 2 == 0;
                fill.setPixel(xx, yy, qAlpha(mask.pixel(xx, yy)) ? 0 : (on ? hi : face).rgb());
            }
        p.drawImage(x, y, fill);
    }
    p.drawImage(x, y, img);
    return true;
}
