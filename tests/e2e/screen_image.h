// Pictures for the end-to-end tests: 24-bit BMP files from pixloom-render, XWD screenshots, and
// exact searches of one picture inside another.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Top-down rows of red, green, blue bytes, no padding.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    const uint8_t* Row(int y) const { return rgb.data() + size_t(y) * width * 3; }
    uint8_t* Row(int y) { return rgb.data() + size_t(y) * width * 3; }
    bool operator==(const Image& o) const {
        return width == o.width && height == o.height && rgb == o.rgb;
    }
};

struct Point {
    int x = 0;
    int y = 0;
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};

// An uncompressed 24-bit BMP with bottom-up (or top-down) rows padded to 4 bytes.
bool ReadBmp(const std::string& path, Image& image, std::string& error);
// An XWD file of a TrueColor or DirectColor visual with 24 or 32 bits a pixel.
bool ReadXwd(const std::string& path, Image& image, std::string& error);
// Binary PPM (P6), for a person to look at after a failure.
void WritePpm(const std::string& path, const Image& image);

Image Crop(const Image& image, const Rect& r);
// Every pixel drawn as 2 x 2.
Image Zoom2(const Image& image);

// Whether picture lies in screen with its top-left corner at (x, y), byte for byte.
bool MatchesAt(const Image& screen, const Image& picture, Point at);
// The top-left corner of the first exact occurrence of picture in screen, row by row.
std::optional<Point> Find(const Image& screen, const Image& picture);
// The smallest rectangle holding every pixel that differs between a and b (same size) in the
// rows from top on.
Rect DiffBox(const Image& a, const Image& b, int top);
Rect Union(const Rect& a, const Rect& b);

}  // namespace e2e
