// Shared pieces of the engine tests: a recorder of message boxes and process exits, and an
// engine with its sequence files opened the way the document opens them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/sequence_display.h"
#include "platform/file_access.h"
#include "platform/message_box.h"
#include "tests/support/sequence_files.h"

namespace engine_test {

// Records every message box and exit request instead of showing or ending anything.
class Recorder {
public:
    Recorder() {
        oldBox_ = platform::SetMessageBoxHandler(
            [this](const std::string& text) { messages.push_back(text); });
        oldExit_ = platform::SetExitHandler([this](int status) { exits.push_back(status); });
    }
    ~Recorder() {
        platform::SetMessageBoxHandler(std::move(oldBox_));
        platform::SetExitHandler(std::move(oldExit_));
    }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    std::vector<std::string> messages;
    std::vector<int> exits;

private:
    platform::MessageBoxHandler oldBox_;
    platform::ExitHandler oldExit_;
};

// An engine whose left (and optionally right) file is opened read-only, as the document does.
class Sequence {
public:
    Sequence() {
        display.defaultWidth = 176;
        display.defaultHeight = 144;
    }

    // Opens path as the left file and derives the geometry; raw files take w x h.
    bool Open(const std::string& path, int w = 176, int h = 144) {
        display.defaultWidth = w;
        display.defaultHeight = h;
        if (!left.Open(path)) {
            return false;
        }
        display.leftFile = &left;
        return display.SetupGeometry();
    }
    // Opens path as the right file (dual mode) with the left file's geometry.
    bool OpenRight(const std::string& path) {
        auto* file = new platform::CFile;
        if (!file->Open(path)) {
            delete file;
            return false;
        }
        display.CloseRightFile();
        display.rightFile = file;
        display.dual = 1;
        return display.AllocateBuffers();
    }
    // Reads frame n (from 0) of each open file.
    bool ReadFrame(int n) {
        const int64_t at = int64_t(display.dataStart) + int64_t(n) * display.frameBytes;
        left.Seek(at, platform::CFile::begin);
        bool ok = display.ReadLeftFrame() == uint32_t(display.frameBytes);
        if (display.dual) {
            display.rightFile->Seek(at, platform::CFile::begin);
            ok = display.ReadRightFrame() == uint32_t(display.frameBytes) && ok;
        }
        return ok;
    }
    std::vector<uint8_t> Picture() const {
        const size_t bytes = size_t(display.bitmapInfo.biWidth) * display.bitmapInfo.biHeight * 3;
        return std::vector<uint8_t>(display.rgbBuffer.data(), display.rgbBuffer.data() + bytes);
    }

    // Declared before display: the engine's destructor runs first and may still use left.
    platform::CFile left;
    engine::CSequenceDisplay display;
};

// Copies bytes into a frame buffer of the engine (at most its size).
inline void Fill(engine::FrameBuffer& buffer, const std::vector<uint8_t>& bytes) {
    ASSERT_LE(bytes.size(), buffer.size());
    std::memcpy(buffer.data(), bytes.data(), bytes.size());
}

inline std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) {
        b = uint8_t(rng() >> 24);
    }
    return bytes;
}

}  // namespace engine_test
