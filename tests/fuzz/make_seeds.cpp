// Writes the seed corpus of the fuzz targets into <dir>/seeds/<target> and empties
// <dir>/work/<target>, where the fuzzers keep what they find.
//   make_seeds <dir>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/sequence_files.h"

namespace fs = std::filesystem;
using testing_support::KorvaLayout;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// A KORVA header followed by frames of pattern bytes, with the default-size bytes at the end.
std::vector<uint8_t> KorvaFile(const KorvaLayout& k, size_t frameBytes, int frames) {
    std::vector<uint8_t> out = testing_support::KorvaHeaderBytes(k);
    for (int i = 0; i < frames; ++i) {
        auto f = testing_support::PatternFrame(frameBytes, i);
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}

void SequenceSeeds(const fs::path& dir) {
    auto put = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        testing_support::WriteBytes((dir / name).string(), bytes);
    };
    // Raw frames; the last two bytes pick the default size (width = b - 2, height = a - 2, mod).
    for (auto [w, h] : {std::pair{8, 6}, {4, 4}, {5, 3}, {1, 1}, {7, 9}, {16, 2}}) {
        auto raw = testing_support::RawSequence(w, h, 2);
        raw.push_back(uint8_t(h + 2));
        raw.push_back(uint8_t(w + 2));
        put("raw_" + std::to_string(w) + "x" + std::to_string(h), raw);
    }
    put("raw_zero_size", {1, 2, 3, 2, 2});
    put("empty", {});

    // KORVA: the two supported layouts, luma only, 4:4:4, extra and frame header records.
    const int w = 16, h = 8;
    KorvaLayout progressive = testing_support::KorvaProgressive(w, h);
    put("korva_progressive", KorvaFile(progressive, size_t(w) * h * 3 / 2, 2));
    KorvaLayout interlaced = testing_support::KorvaInterlaced(w, h / 2);
    put("korva_interlaced", KorvaFile(interlaced, 2 * size_t(w) * h + 64, 2));
    KorvaLayout interlacedCvf2 = interlaced;
    interlacedCvf2.frameHeaderRecords = 0;
    interlacedCvf2.components[1] = {h / 4, w, 2, 2, "u/v"};
    put("korva_interlaced_cvf2", KorvaFile(interlacedCvf2, 2 * size_t(w) * h * 3 / 4 + 64, 2));
    KorvaLayout luma;
    luma.frameHeaderRecords = 1;
    luma.components = {{h, w, 1, 1, " y   "}};
    put("korva_luma", KorvaFile(luma, size_t(w) * h + 64, 2));
    KorvaLayout full = progressive;
    full.extraHeaderRecords = 2;
    full.components = {{h, w, 1, 1, "Y"}, {h, w / 2, 1, 2, "U"}, {h, w / 2, 1, 2, "V"}};
    put("korva_444_extra", KorvaFile(full, size_t(w) * h * 2, 1));
    KorvaLayout yLast = progressive;
    yLast.components = {{h / 2, w / 2, 2, 2, "U"}, {h, w, 1, 1, "Y"}, {h / 2, w / 2, 2, 2, "V"}};
    put("korva_y_not_first", KorvaFile(yLast, size_t(w) * h * 3 / 2, 1));
    // Headers the probe refuses: bad interlace, mux without interlace, truncated.
    KorvaLayout muxProgressive = interlaced;
    muxProgressive.interlaceFactor = 1;
    put("korva_mux_progressive", KorvaFile(muxProgressive, size_t(w) * h + 64, 1));
    KorvaLayout separateInterlaced = progressive;
    separateInterlaced.interlaceFactor = 2;
    put("korva_separate_interlaced", KorvaFile(separateInterlaced, size_t(w) * h * 3, 1));
    auto header = testing_support::KorvaHeaderBytes(progressive);
    put("korva_truncated", std::vector<uint8_t>(header.begin(), header.begin() + 200));
    KorvaLayout huge = progressive;
    huge.components[0] = {100000, 100000, 1, 1, "Y"};
    put("korva_huge", KorvaFile(huge, 64, 1));
    KorvaLayout negative = progressive;
    negative.extraHeaderRecords = -1;
    put("korva_negative", testing_support::KorvaHeaderBytes(negative));

    // Files of other tools with a ".yuv" name.
    put("png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'});
    auto riff = Bytes("RIFF\x24\x08\x00\x00WAVEfmt ");
    riff.resize(300, 0x80);
    put("riff", riff);
}

void CommandLineSeeds(const fs::path& dir) {
    const char* lines[] = {
        "",
        "clip.yuv",
        "352",
        "clip.yuv -x",
        "352 288",
        "352 288 25",
        "352 288 25 left.yuv",
        "352 288 25 left.yuv right.yuv",
        "352 288 25 left.yuv right.yuv extra",
        "-f 352 -g 288 /x 25 a b",
        "0 144 -5 a",
        "  -352x 2e3 nan inf 0x10",
        "99999999999 -99999999999 1e999 a b",
    };
    int n = 0;
    for (const char* line : lines) {
        testing_support::WriteBytes((dir / ("cmd_" + std::to_string(n++))).string(), Bytes(line));
    }
}

void SettingsSeeds(const fs::path& dir) {
    const char* texts[] = {
        "",         "10.0", "25.000000",  "0",           "500",     "499.9",
        "750",      "-3.5", " \t+7",      "1e308",       "1e309",   "1e-400",
        "4.9e-324", "nan",  "-inf",       "infinity",    "0x1p4",   "0x",
        ".5e",      "+-1",  "2147483648", "-2147483649", "  12abc", "\n\v\f\r 9",
    };
    int n = 0;
    for (const char* text : texts) {
        testing_support::WriteBytes((dir / ("text_" + std::to_string(n++))).string(), Bytes(text));
    }
    std::string record(64, ' ');
    record.replace(7, 5, "    3");
    record.replace(47, 7, "     64");
    testing_support::WriteBytes((dir / "record").string(), Bytes(record));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <dir>\n");
        return 2;
    }
    const fs::path root = argv[1];
    const struct {
        const char* name;
        void (*make)(const fs::path&);
    } targets[] = {
        {"sequence_file", SequenceSeeds},
        {"command_line", CommandLineSeeds},
        {"settings", SettingsSeeds},
    };
    for (const auto& t : targets) {
        const fs::path seeds = root / "seeds" / t.name, work = root / "work" / t.name;
        fs::remove_all(seeds);
        fs::remove_all(work);
        fs::create_directories(seeds);
        fs::create_directories(work);
        t.make(seeds);
    }
    return 0;
}
