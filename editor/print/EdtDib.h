#pragma once
// A device-independent bitmap (the BMP file format): the info block (header
// and colour table) and the bits as byte vectors, and the palette built
// from the colour table.  Read validates every field it relies on before it
// keeps anything.  See docs/editor-printing.md.

#include <QRect>
#include <QRgb>

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <vector>

class QIODevice;
class QPainter;
class QString;

namespace ui {
class Archive;
}

namespace edt {
// Reads at most maxBytes from the start of a regular file (checked with
// stat before opening; opened non-blocking, so a FIFO or device never
// blocks).  False when the file is not a regular file or cannot be read.
[[nodiscard]] bool ReadRegularFile(const QString& path, size_t maxBytes, std::vector<uint8_t>& data);
} // namespace edt

class CDib
{
public:
    CDib() = default;

    // The bytes read (the whole file), or 0 with the object empty when the
    // data are not a bitmap this class can hold.
    size_t Read(const uint8_t* data, size_t size);
    // The rest of the device.
    size_t Read(QIODevice& device);
    // A regular file only (see edt::ReadRegularFile).
    size_t ReadFile(const QString& path);
    // The bytes written; 0 without a bitmap.
    size_t Save(QIODevice& device) const;
    size_t Save(std::vector<uint8_t>& out) const;
    // Save when the archive is storing, else Read, on the archive's device.
    void Serialize(ui::Archive& ar);
    // The bitmap as a block of bytes (a BMP file), empty without a bitmap.
    std::vector<uint8_t> CopyToBlock() const;
    size_t ReadFromBlock(const std::vector<uint8_t>& block) { return Read(block.data(), block.size()); }

    void Free();
    bool IsEmpty() const { return m_info.empty(); }
    int Width() const;
    int Height() const;  // negative for a top-down bitmap
    int BitCount() const;
    // The colours-used field, or 2, 16, 256 for 1, 4, 8 bits per pixel, else 0.
    int NumColors() const;
    int PaletteSize() const { return IsEmpty() ? 0 : NumColors() * 4; }
    const std::vector<uint8_t>& Info() const { return m_info; }
    const std::vector<uint8_t>& Bits() const { return m_bits; }
    // One entry per colour of the table; empty without one.
    bool CreatePalette();
    const std::vector<QRgb>& Palette() const { return m_palette; }

    // Draws the source rectangle (the picture's top-down coordinates) into
    // dest: an unscaled copy when both have the same size, else scaled with
    // fast transformation.  False without a bitmap or when it cannot be
    // decoded.
    bool Paint(QPainter& painter, const QRect& dest, const QRect& src) const;

private:
    uint32_t HeaderSize() const;
    uint32_t Field32(size_t offset) const;
    std::vector<uint8_t> m_info;  // header and colour table
    std::vector<uint8_t> m_bits;
    std::vector<QRgb> m_palette;
    mutable QImage m_image;        // decoded on the first paint
};
