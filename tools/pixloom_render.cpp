// pixloom-render: the viewer's engine without a window. Converts one frame of a sequence (or of
// a pair, side by side or as their difference) into a 24-bit BMP file, or prints the geometry
// the viewer derives for a sequence file.
//
// Exit status: 0 success; 1 for the KORVA layouts the conversion does not support; 2 for a usage
// error; 3 for a file that cannot be read or written, or a frame past the end of a file.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/frame_values.h"
#include "engine/sequence_display.h"
#include "platform/file_access.h"
#include "platform/message_box.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFile = 3;

constexpr const char* kUsage =
    "usage: pixloom-render [--size WxH] [--frame N] [--view color|y|uv] [--delta]\n"
    "                      [--delta-scale S] -o OUT.bmp FILE1 [FILE2]\n"
    "       pixloom-render --info [--size WxH] FILE1\n";

enum class View { kColour, kLuma, kChroma };

struct Options {
    bool info = false;
    int width = 176;
    int height = 144;
    int64_t frame = 1;
    View view = View::kColour;
    bool delta = false;
    double deltaScale = 1.0;
    std::string out;
    std::vector<std::string> files;
    // Options given that only rendering takes.
    bool renderOptions = false;
};

int UsageError(const std::string& why) {
    std::fprintf(stderr, "pixloom-render: %s\n%s", why.c_str(), kUsage);
    return kExitUsage;
}

int FileError(const std::string& text) {
    std::fprintf(stderr, "pixloom-render: %s\n", text.c_str());
    return kExitFile;
}

// A whole decimal number without sign or anything after it.
bool ParseCount(const std::string& text, int64_t max, int64_t& value) {
    if (text.empty() || text.size() > 18) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return value <= max;
}

bool ParseSize(const std::string& text, int& w, int& h) {
    const size_t x = text.find_first_of("xX");
    int64_t a = 0, b = 0;
    if (x == std::string::npos || !ParseCount(text.substr(0, x), INT32_MAX, a) ||
        !ParseCount(text.substr(x + 1), INT32_MAX, b)) {
        return false;
    }
    w = int(a);
    h = int(b);
    return true;
}

bool ParseScale(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && errno == 0 && std::isfinite(value);
}

// Parses argv into options; returns 0 to go on, or the exit status.
int ParseArguments(int argc, char** argv, Options& o) {
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            o.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return -1;
        }
        if (arg == "--info") {
            o.info = true;
            continue;
        }
        if (arg == "--delta") {
            o.delta = true;
            o.renderOptions = true;
            continue;
        }
        // Options with a value: "--opt VALUE" or "--opt=VALUE".
        std::string name = arg, value;
        bool hasValue = false;
        const size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        if (name != "--size" && name != "--frame" && name != "--view" && name != "--delta-scale" &&
            name != "-o") {
            return UsageError("unknown option " + arg);
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                return UsageError(name + " needs a value");
            }
            value = argv[++i];
        }
        if (name == "--size") {
            if (!ParseSize(value, o.width, o.height)) {
                return UsageError("--size takes WxH, for example 352x288");
            }
            if (!engine::FrameSizeFits(o.width, o.height)) {
                return UsageError(engine::FrameSizeMessage(o.width, o.height));
            }
        } else if (name == "--frame") {
            if (!ParseCount(value, INT64_MAX / 2, o.frame) || o.frame < 1) {
                return UsageError("--frame takes a frame number from 1");
            }
            o.renderOptions = true;
        } else if (name == "--view") {
            if (value == "color") {
                o.view = View::kColour;
            } else if (value == "y") {
                o.view = View::kLuma;
            } else if (value == "uv") {
                o.view = View::kChroma;
            } else {
                return UsageError("--view takes color, y or uv");
            }
            o.renderOptions = true;
        } else if (name == "--delta-scale") {
            if (!ParseScale(value, o.deltaScale)) {
                return UsageError("--delta-scale takes a number");
            }
            o.renderOptions = true;
        } else {
            if (value.empty()) {
                return UsageError("-o needs a file name");
            }
            o.out = value;
        }
    }
    if (o.info) {
        if (o.renderOptions || !o.out.empty()) {
            return UsageError("--info takes only --size and one file");
        }
        if (o.files.size() != 1) {
            return UsageError("--info takes one file");
        }
        return 0;
    }
    if (o.out.empty()) {
        return UsageError("no output file (-o OUT.bmp)");
    }
    if (o.files.empty() || o.files.size() > 2) {
        return UsageError("give one or two sequence files");
    }
    if (o.delta && o.files.size() != 2) {
        return UsageError("--delta needs a second file");
    }
    for (const std::string& f : o.files) {
        std::error_code ec;
        if (std::filesystem::equivalent(o.out, f, ec)) {
            return UsageError("the output would overwrite the sequence file " + f);
        }
    }
    return 0;
}

// Whole frames in a file whose frames start at dataStart.
int64_t WholeFrames(const platform::CFile& file, uint64_t dataStart, int frameBytes) {
    const uint64_t length = file.GetLength();
    return length > dataStart ? int64_t((length - dataStart) / uint64_t(frameBytes)) : 0;
}

void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(uint8_t(v >> (8 * i)));
    }
}

// Writes the picture as a 24-bit BMP: its own bottom-up rows, each padded to 4 bytes.
bool WriteBmp(const std::string& path, const engine::CSequenceDisplay& d) {
    const int w = d.bitmapInfo.biWidth, h = d.bitmapInfo.biHeight;
    const size_t rowBytes = size_t(w) * 3;
    const size_t padded = (rowBytes + 3) / 4 * 4;
    const uint32_t imageBytes = uint32_t(padded * size_t(h));
    std::vector<uint8_t> head;
    head.reserve(54);
    head.push_back('B');
    head.push_back('M');
    Put32(head, 54 + imageBytes);  // file size
    Put32(head, 0);                // reserved
    Put32(head, 54);               // offset of the pixels
    Put32(head, 40);
    Put32(head, uint32_t(w));
    Put32(head, uint32_t(h));  // positive: bottom-up
    Put16(head, 1);
    Put16(head, 24);
    Put32(head, 0);  // BI_RGB
    Put32(head, imageBytes);
    Put32(head, 0);
    Put32(head, 0);
    Put32(head, 0);
    Put32(head, 0);

    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size();
    const uint8_t zeros[3] = {0, 0, 0};
    for (int row = 0; ok && row < h; ++row) {
        ok = std::fwrite(d.rgbBuffer.data() + size_t(row) * rowBytes, 1, rowBytes, f) == rowBytes &&
             std::fwrite(zeros, 1, padded - rowBytes, f) == padded - rowBytes;
    }
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

int Run(const Options& o) {
    platform::CFile left;
    if (!left.Open(o.files[0])) {
        return FileError("cannot read " + o.files[0] + ": " + std::strerror(errno));
    }
    engine::CSequenceDisplay d;
    engine::FrameValues values;
    values.deltaScale = o.deltaScale;
    d.mainFrame = &values;
    d.defaultWidth = o.width;
    d.defaultHeight = o.height;
    d.leftFile = &left;
    if (o.files.size() == 2) {
        d.rightFile = new platform::CFile;
        if (!d.rightFile->Open(o.files[1])) {
            return FileError("cannot read " + o.files[1] + ": " + std::strerror(errno));
        }
        d.dual = 1;
        d.deltaMode = o.delta ? 1 : 0;
    }
    if (!d.SetupGeometry()) {
        return FileError("cannot show " + o.files[0]);
    }
    const int64_t frames = WholeFrames(left, d.dataStart, d.frameBytes);

    if (o.info) {
        std::printf("type=%s\n", d.isKorva ? "korva" : "raw");
        std::printf("width=%d\nheight=%d\n", d.width, d.height);
        std::printf("y_size=%d\nc_size=%d\n", d.ySize, d.cSize);
        std::printf("y_stride=%d\nc_stride=%d\n", d.yStride, d.cStride);
        std::printf("frame_bytes=%d\n", d.frameBytes);
        std::printf("data_start=%llu\n", static_cast<unsigned long long>(d.dataStart));
        std::printf("frames=%lld\n", static_cast<long long>(frames));
        return std::fflush(stdout) == 0 ? 0 : kExitFile;
    }

    // Frame N of both files; the right file shares the left file's layout, header included.
    const uint64_t at = d.dataStart + uint64_t(o.frame - 1) * uint64_t(d.frameBytes);
    auto pastEnd = [&](const std::string& name, int64_t count) {
        return FileError(name + ": frame " + std::to_string(o.frame) + " is past the end (" +
                         std::to_string(count) + (count == 1 ? " frame)" : " frames)"));
    };
    if (o.frame > frames) {
        return pastEnd(o.files[0], frames);
    }
    left.Seek(int64_t(at), platform::CFile::begin);
    if (d.ReadLeftFrame() != uint32_t(d.frameBytes)) {
        return pastEnd(o.files[0], WholeFrames(left, d.dataStart, d.frameBytes));
    }
    if (d.dual) {
        const int64_t rightFrames = WholeFrames(*d.rightFile, d.dataStart, d.frameBytes);
        if (o.frame > rightFrames) {
            return pastEnd(o.files[1], rightFrames);
        }
        d.rightFile->Seek(int64_t(at), platform::CFile::begin);
        if (d.ReadRightFrame() != uint32_t(d.frameBytes)) {
            return pastEnd(o.files[1], WholeFrames(*d.rightFile, d.dataStart, d.frameBytes));
        }
    }
    d.showY = o.view != View::kChroma;
    d.showUV = o.view != View::kLuma;
    d.ConvertFrame();  // the unsupported KORVA layouts end the process here, with status 1

    if (!WriteBmp(o.out, d)) {
        return FileError("cannot write " + o.out + ": " + std::strerror(errno));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    platform::SetMessageBoxHandler(
        [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    platform::SetExitHandler([](int status) {
        std::fflush(nullptr);
        std::exit(status);
    });
    Options o;
    const int status = ParseArguments(argc, argv, o);
    if (status != 0) {
        return status < 0 ? 0 : status;
    }
    return Run(o);
}
