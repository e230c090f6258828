#include "editor/print/EdtDib.h"

#include "platform/ui/Document.h"

#include <QBuffer>
#include "platform/ui/LocalPath.h"
#include <QImageReader>
#include <QPainter>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr size_t FILE_HEADER = 14;
constexpr size_t INFO_HEADER = 40;
constexpr size_t MAX_DIB_FILE = size_t(512) << 20;

uint32_t Get32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Get16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}
void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

uint64_t RowBytes(uint64_t bpp, uint64_t width)
{
    return (bpp * width + 31) / 32 * 4;
}

} // namespace

bool edt::ReadRegularFile(const QString& path, size_t maxBytes, std::vector<uint8_t>& data)
{
    data.clear();
    const std::optional<std::string> native = ui::NativeOfLocalPath(path);
    struct stat st {};
    if (!native || native->empty() || ::stat(native->c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int fd = ::open(native->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        const size_t want = std::min(maxBytes, size_t(st.st_size));
        data.resize(want);
        size_t got = 0;
        while (got < want) {
            const ssize_t n = ::read(fd, data.data() + got, want - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            got += size_t(n);
        }
        data.resize(got);
    }
    ::close(fd);
    if (!ok)
        data.clear();
    return ok;
}

void CDib::Free()
{
    m_info.clear();
    m_bits.clear();
    m_palette.clear();
    m_image = QImage();
}

uint32_t CDib::Field32(size_t offset) const
{
    return offset + 4 <= m_info.size() ? Get32(m_info.data() + offset) : 0;
}

uint32_t CDib::HeaderSize() const
{
    return Field32(0);
}

int CDib::Width() const
{
    return int(Field32(4));
}

int CDib::Height() const
{
    return int(Field32(8));
}

int CDib::BitCount() const
{
    return m_info.size() >= 16 ? Get16(m_info.data() + 14) : 0;
}

int CDib::NumColors() const
{
    if (IsEmpty())
        return 0;
    const uint32_t used = Field32(32);
    if (used != 0)
        return int(used);
    switch (BitCount()) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

size_t CDib::Read(const uint8_t* data, size_t size)
{
    Free();
    if (!data || size < FILE_HEADER + INFO_HEADER || size > MAX_DIB_FILE)
        return 0;
    if (data[0] != 'B' || data[1] != 'M')
        return 0;
    const uint64_t offBits = Get32(data + 10);
    const uint8_t* h = data + FILE_HEADER;
    const uint64_t headerSize = Get32(h);
    if (headerSize < INFO_HEADER || FILE_HEADER + headerSize > size)
        return 0;
    const int32_t width = int32_t(Get32(h + 4));
    const int32_t height = int32_t(Get32(h + 8));
    const uint16_t bpp = Get16(h + 14);
    const uint32_t compression = Get32(h + 16);
    const uint32_t used = Get32(h + 32);
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return 0;
    if (bpp <= 8 && used > (1u << bpp))
        return 0;
    if (width < 1 || width > 32768 || height == 0 || height < -32768 || height > 32768)
        return 0;
    if (compression > 3)
        return 0;
    const uint64_t colors = used ? used : (bpp <= 8 ? (1u << bpp) : 0);
    if (FILE_HEADER + headerSize + colors * 4 > offBits || offBits > size)
        return 0;
    if (compression == 0 || compression == 3) {
        const uint64_t need = uint64_t(height < 0 ? -int64_t(height) : height) * RowBytes(bpp, uint64_t(width));
        if (size - offBits < need)
            return 0;
    }
    m_info.assign(data + FILE_HEADER, data + offBits);
    m_bits.assign(data + offBits, data + size);
    CreatePalette();
    return size;
}

size_t CDib::Read(QIODevice& device)
{
    const QByteArray all = device.read(qint64(MAX_DIB_FILE) + 1);
    return Read(reinterpret_cast<const uint8_t*>(all.constData()), size_t(all.size()));
}

size_t CDib::ReadFile(const QString& path)
{
    std::vector<uint8_t> data;
    if (!edt::ReadRegularFile(path, MAX_DIB_FILE + 1, data)) {
        Free();
        return 0;
    }
    return Read(data.data(), data.size());
}

bool CDib::CreatePalette()
{
    m_palette.clear();
    const size_t n = size_t(NumColors());
    const size_t at = HeaderSize();
    if (n == 0 || at + n * 4 > m_info.size())
        return true;
    m_palette.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* q = m_info.data() + at + i * 4;  // blue, green, red, reserved
        m_palette.push_back(qRgb(q[2], q[1], q[0]));
    }
    return true;
}

size_t CDib::Save(std::vector<uint8_t>& out) const
{
    out.clear();
    if (IsEmpty())
        return 0;
    const uint32_t headerSize = HeaderSize();
    const uint32_t compression = Field32(16);
    size_t infoBytes = headerSize + size_t(PaletteSize());
    if (compression == 3 && headerSize == INFO_HEADER)
        infoBytes += 12;  // the three colour masks
    infoBytes = std::min(infoBytes, m_info.size());
    std::vector<uint8_t> info(m_info.begin(), m_info.begin() + std::ptrdiff_t(infoBytes));
    const int32_t height = Height();
    uint64_t image;
    if (compression != 1 && compression != 2)
        image = RowBytes(uint64_t(BitCount()), uint64_t(Width())) * uint64_t(height < 0 ? -int64_t(height) : height);
    else
        image = std::min<uint64_t>(Field32(20), m_bits.size());
    image = std::min<uint64_t>(image, m_bits.size());
    Put32(info.data() + 20, uint32_t(image));
    const uint32_t offset = uint32_t(FILE_HEADER + infoBytes);
    out.resize(FILE_HEADER);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out.data() + 2, uint32_t(offset + image));
    Put32(out.data() + 6, 0);
    Put32(out.data() + 10, offset);
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), m_bits.begin(), m_bits.begin() + std::ptrdiff_t(image));
    return out.size();
}

size_t CDib::Save(QIODevice& device) const
{
    std::vector<uint8_t> out;
    if (Save(out) == 0)
        return 0;
    return device.write(reinterpret_cast<const char*>(out.data()), qint64(out.size())) == qint64(out.size())
               ? out.size()
               : 0;
}

void CDib::Serialize(ui::Archive& ar)
{
    if (ar.IsStoring())
        Save(ar.Device());
    else
        Read(ar.Device());
}

std::vector<uint8_t> CDib::CopyToBlock() const
{
    std::vector<uint8_t> out;
    Save(out);
    return out;
}

bool CDib::Paint(QPainter& painter, const QRect& dest, const QRect& src) const
{
    if (IsEmpty())
        return false;
    if (m_image.isNull()) {
        std::vector<uint8_t> file;
        if (Save(file) == 0)
            return false;
        QByteArray bytes(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "bmp");
        m_image = reader.read();
        if (m_image.isNull())
            return false;
    }
    if (dest.size() == src.size())
        painter.drawImage(dest.topLeft(), m_image, src);
    else
        painter.drawImage(dest, m_image.copy(src).scaled(dest.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
    return true;
}
