// Sequence files that fight back: captures cut short, files another program truncates or
// extends between steps and during playback, files of other tools with a ".yuv" name, and
// absurd frame sizes from the user or from a KORVA header. None of them may crash the engine,
// and no sequence file is ever written.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/sequence_display.h"
#include "platform/queued_window.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/sequence_files.h"

namespace {

using engine::CSequenceDisplay;
using engine::WM_PLAYBACK_DONE;
using engine::WM_REDRAW_FRAME;
using engine_test::Recorder;
using platform::CFile;
using testing_support::TempDir;

constexpr int kW = 16, kH = 8;
constexpr uint64_t kFrame = kW * kH * 3 / 2;

uint64_t Hash(const std::vector<uint8_t>& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes) {
        h = (h ^ b) * 1099511628211ull;
    }
    return h;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// What a write would change: size, modification time and contents.
struct FileState {
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    uint64_t hash = 0;
    bool operator==(const FileState&) const = default;
};

FileState StateOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return {uint64_t(st.st_size), int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            Hash(ReadAll(path))};
}

// The access mode of every descriptor this process holds on path.
std::vector<int> AccessModesOf(const std::string& path) {
    std::vector<int> modes;
    const auto target = std::filesystem::canonical(path);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const auto link = std::filesystem::read_symlink(entry.path(), ec);
        if (ec || link != target) {
            continue;
        }
        std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
        std::string key;
        while (info >> key) {
            if (key == "flags:") {
                std::string octal;
                info >> octal;
                modes.push_back(int(std::stol(octal, nullptr, 8)) & O_ACCMODE);
            }
        }
    }
    return modes;
}

// One redraw as the view saw it.
struct Shown {
    int counter;
    int frame;  // from 1, read from the frame's first byte
    bool operator==(const Shown&) const = default;
};

void PrintTo(const Shown& s, std::ostream* os) {
    *os << s.counter << ":" << s.frame;
}

class HostileFiles : public ::testing::Test {
protected:
    HostileFiles()
        : view_([this](unsigned m, platform::WPARAM, platform::LPARAM) { return OnMessage(m); }) {
        d.viewWindow = &view_;
        d.stopEvent = platform::CreateEvent();
        d.threadDoneEvent = platform::CreateEvent();
        // A period of 0 ms: frames follow as fast as they are made, no sleeping.
        d.Values().frameRate = 1e6;
    }
    ~HostileFiles() override {
        d.EndPlayback();
        // Every sequence file the test made is as it was written.
        for (const auto& [path, state] : written_) {
            if (std::filesystem::exists(path)) {
                EXPECT_EQ(StateOf(path), state) << path << " was changed";
            }
        }
    }

    platform::LRESULT OnMessage(unsigned message) {
        if (message == WM_REDRAW_FRAME) {
            std::lock_guard<std::mutex> lock(d.frameLock);
            shown.push_back({d.Values().frameCounter.load(), d.leftFrame.data()[0] + 1});
        } else if (message == WM_PLAYBACK_DONE) {
            ++done;
            d.PlaybackEnded();
        }
        if (onMessage) {
            onMessage(message);
        }
        return 0;
    }

    // Writes a sequence file and remembers its state; a test that changes the file itself
    // (as another program would) calls Remember again.
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = dir.File(name);
        testing_support::WriteBytes(path, bytes);
        Remember(path);
        return path;
    }
    std::string WriteRaw(const std::string& name, int frames, size_t extra = 0) {
        return Write(name, testing_support::RawSequence(kW, kH, frames, 1, extra));
    }
    void Remember(const std::string& path) { written_[path] = StateOf(path); }
    void Truncate(const std::string& path, uint64_t bytes) {
        ASSERT_EQ(::truncate(path.c_str(), off_t(bytes)), 0);
        Remember(path);
    }
    void AppendFrames(const std::string& path, int first, int count, size_t extra = 0) {
        for (int i = 0; i < count; ++i) {
            testing_support::AppendBytes(path, testing_support::PatternFrame(kFrame, first + i));
        }
        testing_support::AppendBytes(path, std::vector<uint8_t>(extra, 0x77));
        Remember(path);
    }

    // Opens as the document does: geometry, the first frame, counter 1, ready to play.
    bool Open(const std::string& path, int w = kW, int h = kH) {
        d.defaultWidth = w;
        d.defaultHeight = h;
        if (!left.Open(path)) {
            return false;
        }
        d.leftFile = &left;
        if (!d.SetupGeometry()) {
            return false;
        }
        d.ReadLeftFrame();
        d.Values().frameCounter = 1;
        d.ConvertFrame();
        d.readyToPlay = 1;
        return true;
    }
    void OpenRight(const std::string& path) {
        auto* file = new CFile;
        ASSERT_TRUE(file->Open(path));
        d.CloseRightFile();
        d.rightFile = file;
        d.dual = 1;
        ASSERT_TRUE(d.SetupGeometry());
        left.Seek(int64_t(d.dataStart), CFile::begin);
        d.rightFile->Seek(int64_t(d.dataStart), CFile::begin);
        d.ReadLeftFrame();
        d.ReadRightFrame();
        d.Values().frameCounter = 1;
        d.ConvertFrame();
    }

    // Plays until the thread reports its end; fails instead of hanging.
    void PlayToEnd() {
        const int before = done;
        d.Play();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (done == before && std::chrono::steady_clock::now() < end) {
            view_.ProcessOne(5);
        }
        ASSERT_GT(done, before) << "playback did not end";
        d.EndPlayback();
    }

    // The picture of the frames in the buffers, converted afresh (as a view toggle does).
    std::vector<uint8_t> CurrentPicture() {
        std::lock_guard<std::mutex> lock(d.frameLock);
        d.ConvertFrame();
        return std::vector<uint8_t>(d.rgbBuffer.data(), d.rgbBuffer.data() + d.rgbBuffer.size());
    }
    // The picture of frame n (from 0) of path, made by a second engine.
    std::vector<uint8_t> PictureOf(const std::string& path, int n) {
        engine_test::Sequence s;
        EXPECT_TRUE(s.Open(path, kW, kH));
        EXPECT_TRUE(s.ReadFrame(n));
        s.display.ConvertFrame();
        return s.Picture();
    }

    uint64_t At(int frames) const { return d.dataStart + uint64_t(frames) * d.frameBytes; }

    Recorder rec;
    TempDir dir;
    CFile left;  // before d: the engine may still use it while it is destroyed
    CSequenceDisplay d;
    std::vector<Shown> shown;
    int done = 0;
    std::function<void(unsigned)> onMessage;

private:
    platform::QueuedMessageWindow view_;
    std::map<std::string, FileState> written_;
};

std::vector<Shown> Frames(int first, int last) {
    std::vector<Shown> v;
    for (int k = first; k <= last; ++k) {
        v.push_back({k, k});
    }
    return v;
}

// A capture cut inside its fourth frame: the partial frame is never shown, by steps or by play.
TEST_F(HostileFiles, TruncatedCaptureStopsAtTheLastWholeFrame) {
    const std::string path = WriteRaw("cut.yuv", 3, kFrame / 2 + 1);
    ASSERT_TRUE(Open(path));
    d.StepForward();
    d.StepForward();
    d.StepForward();
    d.StepForward();
    EXPECT_EQ(shown, Frames(2, 3));
    EXPECT_EQ(left.GetPosition(), At(3));
    EXPECT_EQ(CurrentPicture(), PictureOf(path, 2));

    shown.clear();
    d.Rewind();
    d.loop = 0;
    PlayToEnd();
    EXPECT_EQ(shown, (std::vector<Shown>{{1, 1}, {2, 2}, {3, 3}}));
    EXPECT_EQ(left.GetPosition(), At(3));
    EXPECT_EQ(d.Values().frameCounter, 3);
    EXPECT_EQ(CurrentPicture(), PictureOf(path, 2));
}

// Shorter than one frame: opens, and every transport command and playback (with and without
// loop) ends at once without drawing.
TEST_F(HostileFiles, FileShorterThanOneFrame) {
    for (uint64_t bytes : {uint64_t(0), uint64_t(1), kFrame - 1}) {
        SCOPED_TRACE(bytes);
        shown.clear();
        const std::string path =
            Write("short" + std::to_string(bytes) + ".yuv", std::vector<uint8_t>(bytes, 0x40));
        ASSERT_TRUE(Open(path));
        d.StepForward();
        d.StepBackward();
        EXPECT_EQ(left.GetPosition(), bytes);
        for (int loop : {0, 1}) {
            d.loop = loop;
            PlayToEnd();
        }
        EXPECT_TRUE(shown.empty());
        EXPECT_EQ(d.Values().frameCounter, 1);
        d.Rewind();
        EXPECT_EQ(left.GetPosition(), bytes);
        EXPECT_EQ(d.readyToPlay, 1);
        left.Close();
    }
}

TEST_F(HostileFiles, FileShrinksBetweenSteps) {
    const std::string path = WriteRaw("shrink.yuv", 6);
    ASSERT_TRUE(Open(path));
    d.StepForward();
    d.StepForward();  // frame 3 on screen
    const auto frame3 = CurrentPicture();

    // Cut inside the fourth frame: the step meets the end and nothing changes.
    Truncate(path, 3 * kFrame + kFrame / 3);
    shown.clear();
    d.StepForward();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(left.GetPosition(), At(3));
    EXPECT_EQ(d.Values().frameCounter, 3);
    EXPECT_EQ(CurrentPicture(), frame3);

    // Cut before the frame on screen: back still works from the position.
    Truncate(path, 2 * kFrame);
    d.StepForward();
    EXPECT_TRUE(shown.empty());
    d.StepBackward();
    EXPECT_EQ(shown, (std::vector<Shown>{{2, 2}}));
    EXPECT_EQ(left.GetPosition(), At(2));

    // Emptied: a step back reads nothing and shows the bytes it still has; no fault.
    Truncate(path, 0);
    d.StepBackward();
    EXPECT_EQ(left.GetPosition(), 0u);
    EXPECT_EQ(d.Values().frameCounter, 1);
    d.StepForward();
    d.Rewind();
    EXPECT_EQ(left.GetPosition(), 0u);
    for (int loop : {0, 1}) {
        d.loop = loop;
        PlayToEnd();
    }
    EXPECT_EQ(d.readyToPlay, 1);
}

TEST_F(HostileFiles, FileGrowsBetweenSteps) {
    const std::string path = WriteRaw("grow.yuv", 2);
    ASSERT_TRUE(Open(path));
    d.StepForward();
    d.StepForward();
    EXPECT_EQ(shown, Frames(2, 2));

    // Half a frame more: still the end, and the frame on screen stays in the buffers.
    AppendFrames(path, 2, 0, kFrame / 2);
    d.StepForward();
    EXPECT_EQ(shown, Frames(2, 2));
    EXPECT_EQ(left.GetPosition(), At(2));
    EXPECT_EQ(CurrentPicture(), PictureOf(path, 1));

    // The rest of the third frame and a fourth: both can be stepped to.
    ASSERT_EQ(::truncate(path.c_str(), off_t(2 * kFrame)), 0);
    AppendFrames(path, 2, 2);
    d.StepForward();
    d.StepForward();
    d.StepForward();
    EXPECT_EQ(shown, Frames(2, 4));
    EXPECT_EQ(left.GetPosition(), At(4));
    EXPECT_EQ(CurrentPicture(), PictureOf(path, 3));
}

TEST_F(HostileFiles, FileGrowsDuringPlayback) {
    const std::string path = WriteRaw("live.yuv", 3);
    ASSERT_TRUE(Open(path));
    d.loop = 0;
    // The capture keeps writing: two more frames arrive while frame 3 is drawn.
    onMessage = [&](unsigned m) {
        if (m == WM_REDRAW_FRAME && shown.back().counter == 3) {
            AppendFrames(path, 3, 2, kFrame / 4);
        }
    };
    PlayToEnd();
    EXPECT_EQ(shown, Frames(2, 5));
    EXPECT_EQ(left.GetPosition(), At(5));
    EXPECT_EQ(CurrentPicture(), PictureOf(path, 4));
}

TEST_F(HostileFiles, FileShrinksDuringPlayback) {
    const std::string path = WriteRaw("cut_live.yuv", 8);
    ASSERT_TRUE(Open(path));
    d.loop = 0;
    onMessage = [&](unsigned m) {
        if (m == WM_REDRAW_FRAME && shown.back().counter == 3) {
            Truncate(path, 4 * kFrame + kFrame / 2);
        }
    };
    PlayToEnd();
    EXPECT_EQ(shown, Frames(2, 4));
    EXPECT_EQ(left.GetPosition(), At(4));
    EXPECT_EQ(d.Values().frameCounter, 4);
    EXPECT_EQ(CurrentPicture(), PictureOf(path, 3));
}

// Looping over a file that another program empties: the restart finds no frame and playback
// ends instead of spinning.
TEST_F(HostileFiles, FileEmptiedDuringLoopedPlayback) {
    const std::string path = WriteRaw("gone.yuv", 5);
    ASSERT_TRUE(Open(path));
    d.loop = 1;
    onMessage = [&](unsigned m) {
        if (m == WM_REDRAW_FRAME && shown.size() == 7) {
            Truncate(path, 0);
        }
    };
    PlayToEnd();
    ASSERT_EQ(shown.size(), 7u);
    EXPECT_EQ(shown, (std::vector<Shown>{{2, 2}, {3, 3}, {4, 4}, {5, 5}, {1, 1}, {2, 2}, {3, 3}}));
    EXPECT_EQ(d.readyToPlay, 1);
    EXPECT_EQ(d.playing, 0);
}

// The right file of a dual display is cut during looped playback: both restart from the first
// frame while the right file still holds one, and playback ends once it holds none.
TEST_F(HostileFiles, RightFileShrinksDuringDualPlayback) {
    const std::string leftPath = WriteRaw("l.yuv", 6);
    const std::string rightPath = WriteRaw("r.yuv", 6);
    ASSERT_TRUE(Open(leftPath));
    OpenRight(rightPath);
    d.loop = 1;
    d.deltaMode = 1;
    onMessage = [&](unsigned m) {
        if (m != WM_REDRAW_FRAME) {
            return;
        }
        if (shown.size() == 2) {
            Truncate(rightPath, 2 * kFrame + 5);
        } else if (shown.size() == 6) {
            Truncate(rightPath, kFrame - 1);
        }
    };
    PlayToEnd();
    EXPECT_EQ(shown, (std::vector<Shown>{{2, 2}, {3, 3}, {1, 1}, {2, 2}, {1, 1}, {2, 2}}));
    EXPECT_EQ(left.GetPosition(), At(2));
    EXPECT_EQ(d.rightFile->GetPosition(), At(2));
}

// A named pipe given as a sequence has no frames to seek in: the open is refused at once
// instead of waiting for a writer (which would freeze the viewer).
TEST_F(HostileFiles, NamedPipeIsRefusedWithoutWaiting) {
    const std::string path = dir.File("pipe.yuv");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    CFile file;
    auto opened = std::async(std::launch::async, [&] { return file.Open(path); });
    if (opened.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Give the waiting open a writer so the test ends, then fail.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        opened.wait();
        ::close(fd);
        FAIL() << "opening a named pipe waited for a writer";
    }
    EXPECT_FALSE(opened.get());
    EXPECT_FALSE(file.IsOpen());
}

// Files of other tools given a ".yuv" name are probed, found not KORVA and read as raw.
TEST_F(HostileFiles, OtherFormatsNamedYuvAreRaw) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H',
                                'D',  'R', 0,   0,   1,    0,    0,    0,    0, 1, 8, 2,  0,   0};
    std::vector<uint8_t> riff = {'R', 'I', 'F', 'F', 0x24, 0x08, 0, 0, 'W', 'A', 'V', 'E',
                                 'f', 'm', 't', ' ', 16,   0,    0, 0, 1,   0,   2,   0};
    std::vector<uint8_t> text(600, ' ');
    const std::string words = "          64 is not a record size here    64";
    std::copy(words.begin(), words.end(), text.begin() + 20);
    const struct {
        const char* name;
        std::vector<uint8_t> head;
    } cases[] = {
        {"png.yuv", png},
        {"riff.YUV", riff},
        {"random.yuv", engine_test::RandomBytes(1000, 7)},
        {"text.Yuv", text},
        {".yuv", engine_test::RandomBytes(64, 8)},
        {"zeros.yuv", std::vector<uint8_t>(200, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = c.head;
        bytes.resize(std::max<size_t>(bytes.size(), 2 * kFrame + 3), 0x31);
        const std::string path = Write(c.name, bytes);
        rec.messages.clear();
        ASSERT_TRUE(Open(path));
        EXPECT_EQ(d.isKorva, 0);
        EXPECT_EQ(d.width, kW);
        EXPECT_EQ(d.height, kH);
        EXPECT_EQ(d.dataStart, 0u);
        EXPECT_EQ(left.GetPosition(), kFrame);
        EXPECT_TRUE(rec.messages.empty());
        EXPECT_EQ(CurrentPicture(), PictureOf(path, 0));
        left.Close();
    }
    EXPECT_TRUE(rec.exits.empty());
}

// KORVA headers of random small values over random bodies: each is refused with a message or
// taken, and whatever is taken converts in every mode, single and dual, inside its buffers.
TEST_F(HostileFiles, RandomKorvaHeadersAreRefusedOrConverted) {
    std::mt19937 rng(2024);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char* names[] = {"Y", "y", "U", "V", "U/V", "u/v", "", "YY"};
    int taken = 0, refused = 0;
    for (int round = 0; round < 400; ++round) {
        testing_support::KorvaLayout k;
        k.extraHeaderRecords = pick(0, 2);
        k.frameHeaderRecords = pick(0, 2);
        k.interlaceFactor = pick(0, 3);
        const int count = pick(1, 3);
        for (int i = 0; i < count; ++i) {
            k.components.push_back(
                {pick(-1, 12), pick(-1, 24), pick(-1, 3), pick(-1, 3), names[pick(0, 7)]});
        }
        if (pick(0, 1)) {  // most headers get as far as the geometry
            k.components[0] = {pick(1, 12), pick(1, 24), 1, 1, "Y"};
        }
        auto bytes = testing_support::KorvaHeaderBytes(k);
        const auto body = engine_test::RandomBytes(size_t(pick(0, 2000)), uint32_t(round));
        bytes.insert(bytes.end(), body.begin(), body.end());
        const std::string path = Write("random.yuv", bytes);

        ASSERT_TRUE(left.Open(path));
        d.leftFile = &left;
        d.dual = 0;
        if (!d.SetupGeometry() || d.isKorva == 0) {
            ++refused;
            continue;
        }
        ++taken;
        for (int dual : {0, 1}) {
            if (dual) {
                OpenRight(path);
            }
            left.Seek(int64_t(d.dataStart), CFile::begin);
            d.ReadLeftFrame();
            for (int delta : {0, 1}) {
                d.deltaMode = delta;
                d.ConvertFrame();
            }
        }
        d.deltaMode = 0;
        d.CloseRightFile();
    }
    EXPECT_GT(taken, 10);
    EXPECT_GT(refused, 10);
}

// Sizes the viewer refuses from the user (command line, settings, presets): a message, and
// geometry, buffers, picture and file position as before.
TEST_F(HostileFiles, AbsurdDefaultSizesKeepTheEarlierGeometry) {
    const std::string path = WriteRaw("ok.yuv", 3);
    ASSERT_TRUE(Open(path));
    d.StepForward();
    const struct {
        int w, h;
    } sizes[] = {
        {0, 144},       {176, 0},           {0, 0},         {-176, 144},    {176, -1},
        {INT_MIN, -1},  {100000, 100000},   {16385, 2},     {2, 16385},     {46341, 46341},
        {65536, 32768}, {INT_MAX, INT_MAX}, {16384, 16384}, {16384, 10923},
    };
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s.w) + " x " + std::to_string(s.h));
        const auto picture = CurrentPicture();
        const uint8_t* rgb = d.rgbBuffer.data();
        const uint8_t* frame = d.leftFrame.data();
        rec.messages.clear();
        d.defaultWidth = s.w;
        d.defaultHeight = s.h;
        EXPECT_FALSE(d.SetupGeometry());
        ASSERT_EQ(rec.messages.size(), 1u);
        EXPECT_EQ(rec.messages[0], engine::FrameSizeMessage(s.w, s.h));
        EXPECT_EQ(d.width, kW);
        EXPECT_EQ(d.height, kH);
        EXPECT_EQ(d.frameBytes, int(kFrame));
        EXPECT_EQ(d.bitmapInfo.biWidth, kW);
        EXPECT_EQ(d.bitmapInfo.biHeight, kH);
        EXPECT_EQ(d.rgbBuffer.data(), rgb);
        EXPECT_EQ(d.leftFrame.data(), frame);
        EXPECT_EQ(left.GetPosition(), At(2));
        EXPECT_EQ(CurrentPicture(), picture);
    }
    // Sizes that fit are taken again; the limits hold for the dual picture as well.
    d.defaultWidth = 4096;
    d.defaultHeight = 2;
    EXPECT_TRUE(d.SetupGeometry());
    EXPECT_EQ(d.frameBytes, 4096 * 3);
    EXPECT_TRUE(engine::FrameSizeFits(16384, 10922));
    EXPECT_FALSE(engine::FrameSizeFits(16384, 10923));
    EXPECT_TRUE(engine::FrameSizeFits(1, 16384));
    EXPECT_FALSE(engine::FrameSizeFits(1, 16385));
}

// KORVA headers with sizes no picture can have: a message, then raw with the default size.
TEST_F(HostileFiles, AbsurdKorvaSizesFallBackToRaw) {
    using testing_support::KorvaLayout;
    auto progressive = [](int lines, int pixels) {
        KorvaLayout k = testing_support::KorvaProgressive(16, 8);
        k.components[0].lines = lines;
        k.components[0].pixelsPerLine = pixels;
        return k;
    };
    struct Case {
        const char* name;
        KorvaLayout layout;
    };
    std::vector<Case> cases = {
        {"100000 x 100000", progressive(100000, 100000)},
        {"past 2^31 bytes", progressive(46341, 46341)},
        {"wider than 16384", progressive(2, 16385)},
        {"taller than 16384", progressive(16385, 2)},
        {"largest fields", progressive(999999, 999999)},
        {"negative lines", progressive(-8, 16)},
        {"negative width", progressive(8, -16)},
        {"zero lines", progressive(0, 16)},
    };
    KorvaLayout tall = progressive(8000, 16000);
    tall.interlaceFactor = 99;
    cases.push_back({"interlace factor 99", tall});
    KorvaLayout headers = testing_support::KorvaInterlaced(16, 4);
    headers.frameHeaderRecords = 99999;
    headers.components[0] = {9000, 16000, 1, 1, "Y"};
    cases.push_back({"frame headers beyond the limit", headers});
    KorvaLayout chroma = progressive(8, 16);
    chroma.components[1] = {999999, 999999, 1, 1, "U"};
    cases.push_back({"chroma plane of 10^12 bytes", chroma});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = testing_support::KorvaHeaderBytes(c.layout);
        bytes.resize(bytes.size() + 3 * kFrame, 0x55);
        const std::string path = Write("absurd.yuv", bytes);
        rec.messages.clear();
        ASSERT_TRUE(Open(path));
        ASSERT_EQ(rec.messages.size(), 1u);
        EXPECT_EQ(rec.messages[0].rfind("Invalid korva file (", 0), 0u) << rec.messages[0];
        EXPECT_EQ(d.isKorva, 0);
        EXPECT_EQ(d.width, kW);
        EXPECT_EQ(d.height, kH);
        EXPECT_EQ(d.dataStart, 0u);
        EXPECT_EQ(d.frameBytes, int(kFrame));
        EXPECT_EQ(left.GetPosition(), kFrame);
        left.Close();
    }
    EXPECT_TRUE(rec.exits.empty());
}

// The engine opens sequence files read-only, and nothing above changed one (the fixture
// compares every file's size, time and contents when each test ends).
TEST_F(HostileFiles, SequenceFilesAreOpenedReadOnly) {
    const std::string leftPath = WriteRaw("l.yuv", 4);
    const std::string rightPath = WriteRaw("r.yuv", 4);
    ASSERT_TRUE(Open(leftPath));
    OpenRight(rightPath);
    for (const std::string& path : {leftPath, rightPath}) {
        const auto modes = AccessModesOf(path);
        ASSERT_FALSE(modes.empty()) << path;
        for (int mode : modes) {
            EXPECT_EQ(mode, O_RDONLY) << path;
        }
    }
    d.loop = 0;
    PlayToEnd();
    d.StepBackward();
    d.Rewind();
}

}  // namespace
