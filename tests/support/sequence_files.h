// Small generators of sequence files for the tests: raw planar YUV 4:2:0 and KORVA files,
// written into a temporary folder that is removed with the object.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace testing_support {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pixloom-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        path_ = mkdtemp(buf.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline void AppendBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// One raw 4:2:0 frame: Y plane, then U, then V, sizes as the viewer derives them.
inline size_t RawFrameBytes(int w, int h) {
    return size_t(w) * h * 3 / 2;
}

// A frame whose every byte is a function of the frame number and position, so that each frame
// of a sequence differs from every other and from its neighbours' bytes.
inline std::vector<uint8_t> PatternFrame(size_t bytes, int frame, uint32_t seed = 1) {
    std::vector<uint8_t> f(bytes);
    std::mt19937 rng(seed * 7919u + uint32_t(frame) * 104729u);
    for (auto& b : f) {
        b = uint8_t(rng());
    }
    if (!f.empty()) {
        f[0] = uint8_t(frame);
    }
    return f;
}

// A raw sequence of count pattern frames; extra bytes make a partial last frame.
inline std::vector<uint8_t> RawSequence(int w, int h, int count, uint32_t seed = 1,
                                        size_t extra = 0) {
    std::vector<uint8_t> all;
    for (int i = 0; i < count; ++i) {
        auto f = PatternFrame(RawFrameBytes(w, h), i, seed);
        all.insert(all.end(), f.begin(), f.end());
    }
    all.resize(all.size() + extra, 0x5a);
    return all;
}

// A raw frame of uniform Y, U and V.
inline std::vector<uint8_t> UniformFrame(int w, int h, uint8_t y, uint8_t u, uint8_t v) {
    const size_t ys = size_t(w) * h, cs = ys / 4;
    std::vector<uint8_t> f(RawFrameBytes(w, h), v);
    std::fill(f.begin(), f.begin() + ys, y);
    std::fill(f.begin() + ys, f.begin() + ys + cs, u);
    return f;
}

// KORVA header records, built field by field.
struct KorvaComponentLayout {
    int lines, pixelsPerLine, verticalFactor, horizontalFactor;
    std::string name;
};

struct KorvaLayout {
    int componentCount = -1;  // -1: the number of components given
    int extraHeaderRecords = 0;
    int frameHeaderRecords = 0;
    int recordSize = 64;
    int interlaceFactor = 1;
    std::vector<KorvaComponentLayout> components;
};

inline void PutField(std::vector<uint8_t>& rec, int offset, int width, const std::string& text) {
    for (int i = 0; i < width && i < int(text.size()); ++i) {
        rec[size_t(offset + i)] = uint8_t(text[size_t(i)]);
    }
}

inline std::string RightAligned(long value, int width) {
    std::string s = std::to_string(value);
    return s.size() >= size_t(width) ? s : std::string(size_t(width) - s.size(), ' ') + s;
}

// The header records: main records 1 and 2, the extra records, two records per component.
inline std::vector<uint8_t> KorvaHeaderBytes(const KorvaLayout& k) {
    const int count = k.componentCount >= 0 ? k.componentCount : int(k.components.size());
    const size_t extra = size_t(k.extraHeaderRecords > 0 ? k.extraHeaderRecords : 0);
    std::vector<uint8_t> out(64 * (2 + extra + 2 * k.components.size()), ' ');
    std::vector<uint8_t> rec(64, ' ');
    auto place = [&](size_t record) {
        std::copy(rec.begin(), rec.end(), out.begin() + long(record * 64));
        std::fill(rec.begin(), rec.end(), uint8_t(' '));
    };
    PutField(rec, 7, 5, RightAligned(count, 5));
    PutField(rec, 12, 5, RightAligned(k.extraHeaderRecords, 5));
    PutField(rec, 17, 5, RightAligned(k.frameHeaderRecords, 5));
    PutField(rec, 47, 7, RightAligned(k.recordSize, 7));
    place(0);
    PutField(rec, 48, 2, RightAligned(k.interlaceFactor, 2));
    place(1);
    std::fill(out.begin() + 128, out.begin() + long(128 + 64 * extra), uint8_t('x'));
    size_t next = 2 + extra;
    for (const auto& c : k.components) {
        PutField(rec, 0, 6, RightAligned(c.lines, 6));
        PutField(rec, 6, 6, RightAligned(c.pixelsPerLine, 6));
        place(next++);
        PutField(rec, 2, 2, RightAligned(c.verticalFactor, 2));
        PutField(rec, 4, 2, RightAligned(c.horizontalFactor, 2));
        PutField(rec, 12, 5, c.name);
        place(next++);
    }
    return out;
}

// The two supported layouts, as in the worked examples.
inline KorvaLayout KorvaProgressive(int w, int h) {
    KorvaLayout k;
    k.interlaceFactor = 1;
    k.components = {{h, w, 1, 1, "Y"}, {h / 2, w / 2, 2, 2, "U"}, {h / 2, w / 2, 2, 2, "V"}};
    return k;
}

inline KorvaLayout KorvaInterlaced(int w, int fieldLines, int frameHeaderRecords = 1) {
    KorvaLayout k;
    k.interlaceFactor = 2;
    k.frameHeaderRecords = frameHeaderRecords;
    k.components = {{fieldLines, w, 1, 1, "Y"}, {fieldLines, w, 1, 2, "U/V"}};
    return k;
}

}  // namespace testing_support
