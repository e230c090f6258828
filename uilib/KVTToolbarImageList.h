#pragma once
// A strip of equally sized button images.  The strip keeps its images in the
// four standard button colours (black, 808080, C0C0C0, white): that is the
// master.  Drawing uses a copy mapped to the user's colour scheme, made again
// when the palette changes.  Images come from toolbar resources (rendered
// from their SVGs), bitmap strips, or a user file ("UsrImgs.bmp").

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <map>
#include <vector>

class QPainter;

// The file of the user's own button images.
inline constexpr char kKvtUserImagesFile[] = "UsrImgs.bmp";

class CKVTToolbarImageList
{
public:
    enum DrawState : uint32_t {
        STATE_NORMAL = 0,
        STATE_HIGHLIGHTED = 0x1,
        STATE_DISABLED = 0x2,
        STATE_INDETERMINATE = 0x4,
    };

    CKVTToolbarImageList();
    CKVTToolbarImageList(const CKVTToolbarImageList&) = delete;
    CKVTToolbarImageList& operator=(const CKVTToolbarImageList&) = delete;

    int GetImageWidth() const { return m_size.width(); }
    int GetImageHeight() const { return m_size.height(); }
    QSize GetImageSize() const { return m_size; }
    // Sets the image size of an empty strip; false when it holds images.
    bool SetImageSize(QSize size);
    int GetImageCount() const { return int(m_images.size()); }
    bool HasImages() const { return !m_images.empty(); }

    // A toolbar resource (the images of its commands) or a bitmap strip
    // folder.  A resource loaded before is not loaded again.  Without append
    // the strip is replaced.  False (strip unchanged) when it is missing.
    bool Load(uint32_t resourceId, bool append = true);
    // The index of the first image of a loaded resource; -1 when not loaded.
    int FirstIndexOf(uint32_t resourceId) const;
    const std::vector<uint32_t>& LoadedResources() const { return m_resources; }

    // A user strip from a BMP file (any format QImage reads).  A name without
    // a folder is looked for in the user's data folder, then in the program's.
    bool LoadUserImages(const QString& fileName);
    // Writes a user strip when it was modified or renamed: a 24-bit BMP of
    // the master; a name without a folder goes to the user's data folder.
    bool Save(const QString& fileName = {});
    bool IsUserImages() const { return m_userImages; }
    // Makes this (empty) strip a new user strip saved under fileName.
    void InitUserImages(const QString& fileName)
    {
        m_userImages = true;
        m_fileName = fileName;
        m_renamed = true;
    }
    bool IsModified() const { return m_modified; }
    void SetModified(bool on = true) { m_modified = on; }
    const QString& FileName() const { return m_fileName; }
    // $XDG_DATA_HOME/ORNA/Strandwork (default ~/.local/share/ORNA/Strandwork).
    static QString UserDataFolder();

    // Editing, with images in the standard colours; the image is scaled to
    // the image size when it differs.
    int AddImage(const QImage& image);
    bool UpdateImage(int index, const QImage& image);
    bool DeleteImage(int index);
    bool CopyImageToClipboard(int index);
    // The master image at an index (standard colours); null when out of range.
    QImage GetImage(int index) const;

    bool PrepareDrawImage(QSize destSize);
    // The size images are drawn at: the prepared size, else the image size.
    QSize GetDrawSize() const { return m_drawSize.isEmpty() ? m_size : m_drawSize; }
    void EndDrawImage();
    bool Draw(QPainter& p, int x, int y, int index, uint32_t state);

    // The scheme colour of a standard colour.
    static QColor MapColor(QRgb standard);

private:
    struct Image
    {
        QImage master;   // ARGB32, standard colours
        QString svgPath; // empty for an image from a file or AddImage
    };
    const std::vector<QImage>& Mapped(QSize size);
    QImage MaskOf(const QImage& mapped) const;

    QSize m_size{16, 15};
    std::vector<Image> m_images;
    std::vector<uint32_t> m_resources;
    std::map<uint32_t, int> m_firstIndex;
    bool m_userImages = false;
    bool m_modified = false;
    bool m_renamed = false;
    QString m_fileName;
    // Drawing state.
    QSize m_drawSize;
    std::vector<QImage> m_mapped;
    QSize m_mappedSize;
    std::vector<QRgb> m_mappedColors;
    uint64_t m_generation = 0;
    uint64_t m_mappedGeneration = ~uint64_t(0);
};
