#include "tests/e2e/screen_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace e2e {

namespace {

bool ReadAll(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[0]) << 24;
}

// Right shift and width of a contiguous channel mask.
void MaskShape(uint32_t mask, int& shift, int& bits) {
    shift = 0;
    bits = 0;
    if (mask == 0) {
        return;
    }
    while (((mask >> shift) & 1) == 0) {
        ++shift;
    }
    while (shift + bits < 32 && ((mask >> (shift + bits)) & 1) != 0) {
        ++bits;
    }
}

uint8_t Channel(uint32_t pixel, int shift, int bits) {
    const uint32_t v = (pixel >> shift) & ((1u << bits) - 1);
    return bits >= 8 ? uint8_t(v >> (bits - 8)) : uint8_t(v * 255 / ((1u << bits) - 1));
}

}  // namespace

bool ReadBmp(const std::string& path, Image& image, std::string& error) {
    std::vector<uint8_t> b;
    if (!ReadAll(path, b, error)) {
        return false;
    }
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') {
        error = path + ": not a BMP file";
        return false;
    }
    const uint32_t offset = Le32(&b[10]);
    const int32_t w = int32_t(Le32(&b[18]));
    const int32_t h = int32_t(Le32(&b[22]));
    if (Le32(&b[14]) < 40 || Le16(&b[26]) != 1 || Le16(&b[28]) != 24 || Le32(&b[30]) != 0 ||
        w <= 0 || h == 0 || w > 65536 || h > 65536 || h < -65536) {
        error = path + ": not an uncompressed 24-bit BMP";
        return false;
    }
    const int rows = h < 0 ? -h : h;
    const size_t stride = (size_t(w) * 3 + 3) / 4 * 4;
    if (offset > b.size() || b.size() - offset < stride * rows) {
        error = path + ": pixel data cut short";
        return false;
    }
    image.width = w;
    image.height = rows;
    image.rgb.assign(size_t(w) * rows * 3, 0);
    for (int y = 0; y < rows; ++y) {
        // Positive heights store the bottom row first.
        const int stored = h > 0 ? rows - 1 - y : y;
        const uint8_t* src = &b[offset + stride * stored];
        uint8_t* dst = image.Row(y);
        for (int x = 0; x < w; ++x) {
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
    return true;
}

bool ReadXwd(const std::string& path, Image& image, std::string& error) {
    std::vector<uint8_t> b;
    if (!ReadAll(path, b, error)) {
        return false;
    }
    // The header is 25 big-endian 32-bit fields, then the window name up to header_size.
    if (b.size() < 100) {
        error = path + ": XWD header cut short";
        return false;
    }
    uint32_t f[25];
    for (int i = 0; i < 25; ++i) {
        f[i] = Be32(&b[4 * i]);
    }
    const uint32_t headerSize = f[0], version = f[1], format = f[2];
    const uint32_t width = f[4], height = f[5], byteOrder = f[7];
    const uint32_t bitsPerPixel = f[11], bytesPerLine = f[12], visualClass = f[13];
    const uint32_t redMask = f[14], greenMask = f[15], blueMask = f[16], colours = f[19];
    // Format 2 is ZPixmap; visual classes 4 and 5 are TrueColor and DirectColor.
    if (version != 7 || format != 2 || (visualClass != 4 && visualClass != 5) ||
        (bitsPerPixel != 24 && bitsPerPixel != 32) || width == 0 || height == 0 || width > 16384 ||
        height > 16384 || bytesPerLine < width * bitsPerPixel / 8) {
        error = path + ": unsupported XWD layout";
        return false;
    }
    const size_t data = size_t(headerSize) + size_t(colours) * 12;
    if (data > b.size() || (b.size() - data) / bytesPerLine < height) {
        error = path + ": XWD pixels cut short";
        return false;
    }
    int rs, rb, gs, gb, bs, bb;
    MaskShape(redMask, rs, rb);
    MaskShape(greenMask, gs, gb);
    MaskShape(blueMask, bs, bb);
    if (rb == 0 || gb == 0 || bb == 0) {
        error = path + ": XWD without colour masks";
        return false;
    }
    const int bytes = int(bitsPerPixel / 8);
    image.width = int(width);
    image.height = int(height);
    image.rgb.assign(size_t(width) * height * 3, 0);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* src = &b[data + size_t(y) * bytesPerLine];
        uint8_t* dst = image.Row(int(y));
        for (uint32_t x = 0; x < width; ++x, src += bytes) {
            uint32_t p = 0;
            for (int k = 0; k < bytes; ++k) {
                // Byte order 0 is least significant byte first.
                const int byte = byteOrder == 0 ? k : bytes - 1 - k;
                p |= uint32_t(src[byte]) << (8 * k);
            }
            dst[3 * x] = Channel(p, rs, rb);
            dst[3 * x + 1] = Channel(p, gs, gb);
            dst[3 * x + 2] = Channel(p, bs, bb);
        }
    }
    return true;
}

void WritePpm(const std::string& path, const Image& image) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "P6\n" << image.width << " " << image.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(image.rgb.data()), std::streamsize(image.rgb.size()));
}

Image Crop(const Image& image, const Rect& r) {
    Image out;
    const int x0 = std::clamp(r.x, 0, image.width), y0 = std::clamp(r.y, 0, image.height);
    const int x1 = std::clamp(r.x + r.width, x0, image.width);
    const int y1 = std::clamp(r.y + r.height, y0, image.height);
    out.width = x1 - x0;
    out.height = y1 - y0;
    out.rgb.resize(size_t(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y) {
        std::memcpy(out.Row(y), image.Row(y0 + y) + 3 * x0, size_t(out.width) * 3);
    }
    return out;
}

Image Zoom2(const Image& image) {
    Image out;
    out.width = 2 * image.width;
    out.height = 2 * image.height;
    out.rgb.resize(size_t(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y) {
        const uint8_t* src = image.Row(y / 2);
        uint8_t* dst = out.Row(y);
        for (int x = 0; x < out.width; ++x) {
            std::memcpy(dst + 3 * x, src + 3 * (x / 2), 3);
        }
    }
    return out;
}

bool MatchesAt(const Image& screen, const Image& picture, Point at) {
    if (at.x < 0 || at.y < 0 || at.x + picture.width > screen.width ||
        at.y + picture.height > screen.height) {
        return false;
    }
    const size_t rowBytes = size_t(picture.width) * 3;
    for (int y = 0; y < picture.height; ++y) {
        if (std::memcmp(screen.Row(at.y + y) + 3 * at.x, picture.Row(y), rowBytes) != 0) {
            return false;
        }
    }
    return true;
}

std::optional<Point> Find(const Image& screen, const Image& picture) {
    if (picture.width == 0 || picture.height == 0) {
        return std::nullopt;
    }
    const uint8_t* first = picture.Row(0);
    for (int y = 0; y + picture.height <= screen.height; ++y) {
        const uint8_t* row = screen.Row(y);
        for (int x = 0; x + picture.width <= screen.width; ++x) {
            if (std::memcmp(row + 3 * x, first, 3) == 0 && MatchesAt(screen, picture, {x, y})) {
                return Point{x, y};
            }
        }
    }
    return std::nullopt;
}

Rect DiffBox(const Image& a, const Image& b, int top) {
    int x0 = a.width, y0 = a.height, x1 = -1, y1 = -1;
    if (a.width != b.width || a.height != b.height) {
        return {};
    }
    for (int y = std::max(top, 0); y < a.height; ++y) {
        const uint8_t* ra = a.Row(y);
        const uint8_t* rb = b.Row(y);
        for (int x = 0; x < a.width; ++x) {
            if (std::memcmp(ra + 3 * x, rb + 3 * x, 3) != 0) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        }
    }
    if (x1 < 0) {
        return {};
    }
    return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

Rect Union(const Rect& a, const Rect& b) {
    if (a.empty()) {
        return b;
    }
    if (b.empty()) {
        return a;
    }
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.x + a.width, b.x + b.width);
    const int y1 = std::max(a.y + a.height, b.y + b.height);
    return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace e2e
