#pragma once
// Bitmaps written byte by byte for the bitmap and file-open tests.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dibtest {

inline void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v[at + size_t(i)] = uint8_t(x >> (8 * i));
}
inline void Put16(std::vector<uint8_t>& v, size_t at, uint16_t x)
{
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
}

// A BMP file of w x h pixels: 4 bits with 16 colours (vertical colour bars
// and a frame), or 24 bits (a gradient).
inline std::vector<uint8_t> MakeBmp(int w, int h, int bpp)
{
    const uint32_t colors = bpp == 4 ? 16 : 0;
    const uint32_t row = uint32_t((bpp * w + 31) / 32 * 4);
    const uint32_t offset = 14 + 40 + colors * 4;
    const uint32_t image = row * uint32_t(h);
    std::vector<uint8_t> v(offset + image, 0);
    v[0] = 'B';
    v[1] = 'M';
    Put32(v, 2, offset + image);
    Put32(v, 10, offset);
    Put32(v, 14, 40);
    Put32(v, 18, uint32_t(w));
    Put32(v, 22, uint32_t(h));
    Put16(v, 26, 1);
    Put16(v, 28, uint16_t(bpp));
    Put32(v, 34, image);
    Put32(v, 46, colors);
    static const uint8_t pal[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                       {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                       {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                       {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    for (uint32_t i = 0; i < colors; ++i) {
        v[54 + i * 4] = pal[i][2];
        v[54 + i * 4 + 1] = pal[i][1];
        v[54 + i * 4 + 2] = pal[i][0];
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = v.data() + offset + uint32_t(y) * row;
            if (bpp == 4) {
                const bool frame = x == 0 || y == 0 || x == w - 1 || y == h - 1;
                const int c = frame ? 0 : 1 + (x * 14 / w);
                p[x / 2] |= uint8_t(x % 2 ? c : c << 4);
            } else {
                p[x * 3] = uint8_t(x * 255 / w);
                p[x * 3 + 1] = uint8_t(y * 255 / h);
                p[x * 3 + 2] = 0x40;
            }
        }
    return v;
}

} // namespace dibtest
