// Fuzz target: an arbitrary file named x.yuv goes through the KORVA probe and the geometry
// derivation, then one frame (and a short second one) is converted in every view mode, single,
// dual and delta, and stepped through. The last three bytes choose the default raw size and the
// delta scale.
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "engine/sequence_display.h"
#include "platform/file_access.h"
#include "platform/message_box.h"

namespace {

// The invariants every accepted geometry must meet; a breach is a crash for the fuzzer.
void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

const std::string& InputPath() {
    static const std::string path = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "pixloom-fuzz-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        const char* dir = mkdtemp(buf.data());
        Require(dir != nullptr);
        static std::string root = dir;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(root, ec);
        });
        return root + "/x.yuv";
    }();
    return path;
}

void WriteInput(const uint8_t* data, size_t size) {
    int fd = ::open(InputPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Require(fd >= 0);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        Require(n > 0);
        done += size_t(n);
    }
    ::close(fd);
}

constexpr double kScales[] = {1.0,
                              -1.0,
                              0.0,
                              2.5,
                              -0.75,
                              127.9,
                              1e-300,
                              1e300,
                              -1e300,
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()};

struct Recorder {
    int messages = 0;
    int exits = 0;
};

// What SetupGeometry promises about a geometry it accepted.
void CheckAccepted(engine::CSequenceDisplay& d) {
    const int pictureWidth = (d.dual ? 2 : 1) * d.width;
    Require(engine::FrameSizeFits(d.width, d.height));
    Require(d.bitmapInfo.biWidth == pictureWidth && d.bitmapInfo.biHeight == d.height);
    Require(d.rgbBuffer.size() == size_t(pictureWidth) * size_t(d.height) * 3);
    Require(d.frameBytes > 0 && d.leftFrame.size() == size_t(d.frameBytes));
    Require(!d.dual || d.rightFrame.size() == size_t(d.frameBytes));
    if (d.isKorva == 0) {
        Require(d.dataStart == 0 && d.width == d.defaultWidth && d.height == d.defaultHeight);
        Require(d.frameBytes == int(int64_t(d.width) * d.height * 3 / 2));
    } else {
        Require(d.isKorva == 1 && d.dataStart >= 2 * uint64_t(engine::kKorvaRecordSize));
    }
}

// Every view mode of the current single or dual setting.
void ConvertAllModes(engine::CSequenceDisplay& d) {
    for (int deltaMode = 0; deltaMode <= d.dual; ++deltaMode) {
        d.deltaMode = deltaMode;
        for (int mode = 0; mode < 4; ++mode) {
            d.showY = (mode & 1) ? 0 : 1;
            d.showUV = (mode & 2) ? 0 : 1;
            d.ConvertFrame();
        }
    }
    d.deltaMode = 0;
    d.showY = d.showUV = 1;
}

// The transport commands without a playback thread: steps both ways past either end.
void StepAround(engine::CSequenceDisplay& d) {
    d.readyToPlay = 1;
    d.StepForward();
    d.StepForward();
    d.StepBackward();
    d.StepBackward();
    d.StepBackward();
    d.Rewind();
    d.readyToPlay = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Recorder recorder;
    static bool installed = [] {
        platform::SetMessageBoxHandler([](const std::string&) { ++recorder.messages; });
        platform::SetExitHandler([](int) { ++recorder.exits; });
        return true;
    }();
    (void)installed;
    recorder = Recorder{};

    WriteInput(data, size);
    const uint8_t a = size > 0 ? data[size - 1] : 0;
    const uint8_t b = size > 1 ? data[size - 2] : 0;
    const uint8_t c = size > 2 ? data[size - 3] : 0;

    engine::FrameValues values;
    values.deltaScale = kScales[c % std::size(kScales)];
    engine::CSequenceDisplay d;
    d.mainFrame = &values;
    // -2 .. 45 by -2 .. 29: odd, zero and negative sizes as well as ordinary ones.
    d.defaultWidth = int(a % 48) - 2;
    d.defaultHeight = int(b % 32) - 2;

    platform::CFile left;
    Require(left.Open(InputPath()));
    d.leftFile = &left;

    const int messagesBefore = recorder.messages;
    const bool accepted = d.SetupGeometry();
    if (accepted) {
        CheckAccepted(d);
    } else {
        Require(recorder.messages > messagesBefore);
        Require(!d.rgbBuffer && !d.leftFrame && d.width == 0 && d.height == 0);
    }

    // Single: the first frame, then whatever follows it (usually a short read).
    d.ReadLeftFrame();
    ConvertAllModes(d);
    d.ReadLeftFrame();
    ConvertAllModes(d);
    StepAround(d);

    // Dual, as a dual open does: the right file shares the left file's layout. Frames of
    // hundreds of megabytes are legal and only cost memory; a second one adds nothing to test.
    if (d.frameBytes > (64 << 20)) {
        return 0;
    }
    auto* right = new platform::CFile;
    Require(right->Open(InputPath()));
    d.rightFile = right;
    d.dual = 1;
    if (d.SetupGeometry()) {
        CheckAccepted(d);
    }
    d.leftFile->Seek(int64_t(d.dataStart), platform::CFile::begin);
    d.rightFile->Seek(int64_t(d.dataStart), platform::CFile::begin);
    d.ReadLeftFrame();
    d.ReadRightFrame();
    ConvertAllModes(d);
    // The right file one frame behind the left one.
    d.ReadLeftFrame();
    ConvertAllModes(d);
    StepAround(d);

    // Back to single mode with the dual buffers still in place.
    d.dual = 0;
    ConvertAllModes(d);
    return 0;
}
