// pixloom-make-demo: writes a raw planar YUV 4:2:0 sequence of moving colour, for a first look at
// the viewer and for tests that need a sequence file whose frames all differ.
//
//   pixloom-make-demo [--size WxH] [--frames N] [--variant K] OUT
//
// Frame layout as the viewer reads raw files: Y plane (W x H bytes), then U and V planes of
// (W x H) / 4 bytes each, rows of W / 2 samples. Variants give different sequences of the same
// size (for dual display and delta mode). Exit status: 0 success, 2 usage error, 3 write error.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: pixloom-make-demo [--size WxH] [--frames N] [--variant K] OUT\n";
constexpr double kPi = 3.14159265358979323846;

struct Options {
    int width = 176;
    int height = 144;
    int frames = 75;
    int variant = 0;
    std::string out;
};

bool ParseInt(const char* text, int min, int max, int& value) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || v < min || v > max) {
        return false;
    }
    value = int(v);
    return true;
}

bool ParseSize(const char* text, int& w, int& h) {
    const char* x = std::strchr(text, 'x');
    if (x == nullptr) {
        return false;
    }
    const std::string left(text, x);
    return ParseInt(left.c_str(), 2, 4096, w) && ParseInt(x + 1, 2, 4096, h);
}

bool ParseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--size" && hasValue) {
            if (!ParseSize(argv[++i], o.width, o.height)) {
                return false;
            }
        } else if (a == "--frames" && hasValue) {
            if (!ParseInt(argv[++i], 1, 100000, o.frames)) {
                return false;
            }
        } else if (a == "--variant" && hasValue) {
            if (!ParseInt(argv[++i], 0, 1000, o.variant)) {
                return false;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            return false;
        } else if (o.out.empty()) {
            o.out = a;
        } else {
            return false;
        }
    }
    return !o.out.empty();
}

uint8_t Clamp(double v) {
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : int(v));
}

// Frame t of the sequence: a drifting diagonal luma ramp with a fine texture, a bright disc on a
// Lissajous path, and chroma waves whose phase turns with time. The texture makes neighbouring
// samples differ, so a picture shifted by one pixel never matches.
void MakeFrame(const Options& o, int t, std::vector<uint8_t>& frame) {
    const int w = o.width, h = o.height;
    const int cw = w / 2;
    const int64_t ySize = int64_t(w) * h, cSize = ySize / 4;
    frame.assign(size_t(ySize + 2 * cSize), 0);
    const double phase = 2 * kPi * t / 75.0 + 1.7 * o.variant;
    const double cx = w * (0.5 + 0.33 * std::sin(phase * 2 + 0.3 * o.variant));
    const double cy = h * (0.5 + 0.3 * std::sin(phase * 3));
    const double r = std::max(4.0, std::min(w, h) * 0.18);
    uint8_t* y = frame.data();
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            const double dx = i - cx, dy = j - cy;
            double v = 24 + std::fmod(i * 1.3 + j * 0.7 + t * 3.0 + 37.0 * o.variant, 180.0);
            if (dx * dx + dy * dy < r * r) {
                v = 230 - std::sqrt(dx * dx + dy * dy) * 40 / r;
            }
            v += ((i * 7 + j * 13 + t * 5 + o.variant) % 11) - 5;
            y[int64_t(j) * w + i] = Clamp(v);
        }
    }
    uint8_t* u = y + ySize;
    uint8_t* vplane = u + cSize;
    for (int64_t k = 0; k < cSize; ++k) {
        const int i = cw > 0 ? int(k % cw) : 0;
        const int j = cw > 0 ? int(k / cw) : 0;
        const double a = phase + i * 2 * kPi / std::max(cw, 1);
        const double b = phase * 1.5 + j * 2 * kPi / std::max(h / 2, 1);
        u[k] = Clamp(128 + 80 * std::sin(a) + ((i + j + t) % 5) - 2);
        vplane[k] = Clamp(128 + 80 * std::cos(b + 0.5 * o.variant) + ((i * 3 + j + t) % 7) - 3);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseArgs(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::FILE* f = std::fopen(o.out.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "pixloom-make-demo: cannot write %s: %s\n", o.out.c_str(),
                     std::strerror(errno));
        return 3;
    }
    std::vector<uint8_t> frame;
    bool ok = true;
    for (int t = 0; t < o.frames && ok; ++t) {
        MakeFrame(o, t, frame);
        ok = std::fwrite(frame.data(), 1, frame.size(), f) == frame.size();
    }
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "pixloom-make-demo: cannot write %s\n", o.out.c_str());
        return 3;
    }
    return 0;
}
