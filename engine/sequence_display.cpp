#include "engine/sequence_display.h"

#include <cctype>
#include <new>

#include "platform/message_box.h"

namespace engine {

std::string FrameSizeMessage(int w, int h) {
    const std::string size = std::to_string(w) + " x " + std::to_string(h);
    if (w <= 0 || h <= 0 || w > kMaxFrameSide || h > kMaxFrameSide) {
        return "Invalid frame size " + size + " (width and height must be 1 to " +
               std::to_string(kMaxFrameSide) + ").";
    }
    return "Frame size " + size + " is too large (a picture may take at most " +
           std::to_string(kMaxPictureBytes >> 30) + " GiB).";
}

bool FrameSizeFits(int w, int h) {
    if (w <= 0 || h <= 0 || w > kMaxFrameSide || h > kMaxFrameSide) {
        return false;
    }
    // The dual picture is the largest buffer: 2 x width x height x 3 bytes.
    return int64_t(w) * h * 6 <= kMaxPictureBytes;
}

CSequenceDisplay::CSequenceDisplay() {
    for (int k = 0; k < 256; ++k) {
        const double d = k - 128;
        tabVR[k] = static_cast<int>(d * 1.1398);
        tabUG[k] = static_cast<int>(d * -0.3983);
        tabVG[k] = static_cast<int>(d * -0.5805);
        tabUB[k] = static_cast<int>(d * 2.0279);
    }
}

CSequenceDisplay::~CSequenceDisplay() {
    if (playbackThread.joinable()) {
        if (stopEvent) {
            stopEvent->Set();
        }
        playbackThread.join();
    }
    CloseRightFile();
}

void CSequenceDisplay::CloseRightFile() {
    if (rightFile != nullptr) {
        rightFile->Close();
        delete rightFile;
        rightFile = nullptr;
    }
}

double CSequenceDisplay::DeltaScale() const {
    return mainFrame != nullptr ? mainFrame->deltaScale.load() : 1.0;
}

namespace {

// The fields SetupGeometry derives, kept so a failed derivation can be undone.
struct Geometry {
    int width, height, isKorva, ySize, cSize, yStride, cStride, uvMultiplexed, frameBytes;
    uint64_t dataStart;
    KorvaHeader header;
};

Geometry Save(const CSequenceDisplay& d) {
    return {d.width,   d.height,        d.isKorva,    d.ySize,     d.cSize, d.yStride,
            d.cStride, d.uvMultiplexed, d.frameBytes, d.dataStart, d.header};
}

void Restore(CSequenceDisplay& d, const Geometry& g) {
    d.width = g.width;
    d.height = g.height;
    d.isKorva = g.isKorva;
    d.ySize = g.ySize;
    d.cSize = g.cSize;
    d.yStride = g.yStride;
    d.cStride = g.cStride;
    d.uvMultiplexed = g.uvMultiplexed;
    d.frameBytes = g.frameBytes;
    d.dataStart = g.dataStart;
    d.header = g.header;
}

bool EndsWithYuv(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return tail == ".yuv";
}

}  // namespace

bool CSequenceDisplay::SetupGeometry() {
    const Geometry before = Save(*this);
    const uint64_t position = leftFile != nullptr ? leftFile->GetPosition() : 0;

    isKorva = 0;
    if (leftFile != nullptr && EndsWithYuv(leftFile->GetFileName())) {
        ProbeKorvaHeader();
    }
    if (isKorva == 0) {
        if (!FrameSizeFits(defaultWidth, defaultHeight)) {
            platform::AfxMessageBox(FrameSizeMessage(defaultWidth, defaultHeight));
            Restore(*this, before);
            if (leftFile != nullptr) {
                leftFile->Seek(int64_t(position), platform::CFile::begin);
            }
            return false;
        }
        width = defaultWidth;
        height = defaultHeight;
        ySize = width * height;
        yStride = width;
        cSize = (width * height) / 4;
        cStride = width / 2;
        if (leftFile != nullptr) {
            leftFile->Seek(0, platform::CFile::begin);
        }
    }
    if (leftFile != nullptr) {
        dataStart = leftFile->GetPosition();
    }
    if (!AllocateBuffers()) {
        Restore(*this, before);
        if (leftFile != nullptr) {
            leftFile->Seek(int64_t(position), platform::CFile::begin);
        }
        return false;
    }
    return true;
}

bool CSequenceDisplay::AllocateBuffers() {
    const int pictureWidth = (dual ? 2 : 1) * width;
    int64_t newFrameBytes = 0;
    if (isKorva == 0) {
        newFrameBytes = int64_t(width) * height * 3 / 2;
    } else if (isKorva == 1) {
        newFrameBytes = (int64_t(ySize) + 2 * int64_t(cSize)) * header.interlaceFactor +
                        int64_t(header.frameHeaderRecords) * kKorvaRecordSize;
    } else {
        platform::AfxMessageBox(msg::kUnknownImageType);
        rgbBuffer.Free();
        platform::ExitProcess(1);
        return false;
    }
    const int64_t pictureBytes = int64_t(pictureWidth) * height * 3;
    if (width <= 0 || height <= 0 || pictureBytes > kMaxPictureBytes ||
        newFrameBytes > kMaxPictureBytes) {
        platform::AfxMessageBox(FrameSizeMessage(width, height));
        return false;
    }

    // New buffers are made before the old ones go, so a failure leaves everything as it was.
    FrameBuffer newRgb, newLeft, newRight;
    if (!newRgb.Allocate(size_t(pictureBytes)) || !newLeft.Allocate(size_t(newFrameBytes)) ||
        (dual && !newRight.Allocate(size_t(newFrameBytes)))) {
        platform::AfxMessageBox("Not enough memory for a " + std::to_string(width) + " x " +
                                std::to_string(height) + " picture.");
        return false;
    }

    bitmapInfo = platform::BITMAPINFOHEADER{};
    bitmapInfo.biSize = 40;
    bitmapInfo.biWidth = pictureWidth;
    bitmapInfo.biHeight = height;
    bitmapInfo.biPlanes = 1;
    bitmapInfo.biBitCount = 24;
    bitmapInfo.biCompression = platform::BI_RGB;
    bitmapInfo.biSizeImage = uint32_t(pictureBytes);
    bitmapInfo.biClrUsed = 0;
    bitmapInfo.biClrImportant = 0;

    rgbBuffer = std::move(newRgb);
    leftFrame = std::move(newLeft);
    if (dual) {
        rightFrame = std::move(newRight);
    }
    frameBytes = int(newFrameBytes);

    // Placeholder: a blue ramp from 70 at the bottom-left corner toward the top-right.
    const int bw = bitmapInfo.biWidth, bh = bitmapInfo.biHeight;
    uint8_t* p = rgbBuffer.data();
    for (int i = 0; i < bh; ++i) {
        const double rowPart = static_cast<double>(i) / bh;
        for (int j = 0; j < bw; ++j) {
            *p++ = static_cast<uint8_t>(
                70 + static_cast<int>(75 * (rowPart + static_cast<double>(j) / bw)));
            *p++ = 0;
            *p++ = 0;
        }
    }

    if (drawDib != nullptr) {
        platform::DrawDibEnd(drawDib);
    }
    platform::DrawDibBegin(drawDib, drawDC, bw, bh, &bitmapInfo, bw, bh, 0);
    platform::DrawDibRealize(drawDib, drawDC, false);
    return true;
}

uint32_t CSequenceDisplay::ReadLeftFrame() {
    if (leftFile == nullptr || !leftFrame) {
        return 0;
    }
    return leftFile->Read(leftFrame.data(), uint32_t(frameBytes));
}

uint32_t CSequenceDisplay::ReadRightFrame() {
    if (rightFile == nullptr || !rightFrame) {
        return 0;
    }
    return rightFile->Read(rightFrame.data(), uint32_t(frameBytes));
}

}  // namespace engine
