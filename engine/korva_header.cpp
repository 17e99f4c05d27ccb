#include "engine/korva_header.h"

#include <climits>
#include <cstring>

#include "engine/c_numbers.h"
#include "engine/sequence_display.h"
#include "platform/message_box.h"

namespace engine {

namespace {

// The text of a field: its characters, ending early at a zero byte.
std::string_view FieldText(const char* record, int offset, int width) {
    const char* field = record + offset;
    const void* zero = std::memchr(field, 0, static_cast<size_t>(width));
    size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - field)
                         : static_cast<size_t>(width);
    return std::string_view(field, length);
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y) {
            return false;
        }
    }
    return true;
}

}  // namespace

int KorvaNumberField(const char* record, int offset, int width) {
    return CAtoi(FieldText(record, offset, width));
}

double KorvaRealField(const char* record, int offset, int width) {
    return CAtof(FieldText(record, offset, width));
}

std::string_view KorvaFirstWord(const char* field, int width) {
    std::string_view text = FieldText(field, 0, width);
    size_t start = 0;
    while (start < text.size() && IsSpace(text[start])) {
        ++start;
    }
    size_t end = start;
    while (end < text.size() && !IsSpace(text[end])) {
        ++end;
    }
    return text.substr(start, end - start);
}

void KorvaHeader::ParseMainRecord1(const char* record) {
    componentCount = KorvaNumberField(record, 7, 5);
    extraHeaderRecords = KorvaNumberField(record, 12, 5);
    frameHeaderRecords = KorvaNumberField(record, 17, 5);
    recordSize = KorvaNumberField(record, 47, 7);
}

void KorvaHeader::ParseMainRecord2(const char* record) {
    interlaceFactor = KorvaNumberField(record, 48, 2);
}

void KorvaHeader::ParseComponentRecordA(int entry, const char* record) {
    components[entry].lines = KorvaNumberField(record, 0, 6);
    components[entry].pixelsPerLine = KorvaNumberField(record, 6, 6);
}

void KorvaHeader::ParseComponentRecordB(int entry, const char* record) {
    KorvaComponent& c = components[entry];
    c.verticalFactor = KorvaNumberField(record, 2, 2);
    c.horizontalFactor = KorvaNumberField(record, 4, 2);
    std::memcpy(c.name, record + 12, sizeof c.name);
}

namespace {

// Walks the rows of a supported KORVA layout as the conversion does and checks that every
// byte it reads lies inside one frame. Positions are 64-bit so absurd headers cannot wrap.
bool KorvaWalkFits(const CSequenceDisplay& d, bool hasChroma) {
    // The last chroma sample of an odd width (a U, V pair when multiplexed) lies just past the
    // frame, inside the buffer's slack.
    const int64_t limit = int64_t(d.frameBytes) + (d.uvMultiplexed ? 2 : 1);
    const int64_t h = int64_t(d.header.frameHeaderRecords) * kKorvaRecordSize;
    const int64_t w = d.width, ys = d.ySize, cs = d.cSize, yst = d.yStride, cst = d.cStride;
    const int64_t cvf = d.header.chromaVerticalFactor();
    auto inside = [&](int64_t start, int64_t bytes) {
        return bytes <= 0 || (start >= 0 && start + bytes <= limit);
    };
    if (d.uvMultiplexed) {
        if (cvf == 0) {
            return false;
        }
        const int64_t f2 = h + ys + 2 * cs;
        int64_t y1 = h + ys - yst, y2 = f2 + ys - yst;
        int64_t c1 = h + ys + 2 * cs - 2 * cst, c2 = f2 + ys + 2 * cs - 2 * cst;
        const int64_t chromaBytes = 2 * ((w - 1) / 2) + 2;
        for (int64_t i = 0; i < d.height / 2; ++i) {
            if (!inside(y1, w) || !inside(y2, w) || !inside(c1, chromaBytes) ||
                !inside(c2, chromaBytes)) {
                return false;
            }
            y1 -= w;
            y2 -= w;
            const int64_t back = (i & 1) ? 4 * cst : (4 / cvf) * cst;
            c1 += 2 * (w / 2) - back;
            c2 += 2 * (w / 2) - back;
        }
        return true;
    }
    if (hasChroma && cvf == 0) {
        return false;
    }
    int64_t y = h + ys - yst;
    int64_t u = h + ys + cs - cst, v = h + ys + 2 * cs - cst;
    const int64_t chromaBytes = (w - 1) / 2 + 1;
    for (int64_t r = 0; r < d.height; ++r) {
        if (!inside(y, w)) {
            return false;
        }
        if (hasChroma && (!inside(u, chromaBytes) || !inside(v, chromaBytes))) {
            return false;
        }
        y -= w;
        if (hasChroma) {
            const int64_t back = (r & 1) ? 2 * cst : (2 / cvf) * cst;
            u += w / 2 - back;
            v += w / 2 - back;
        }
    }
    return true;
}

}  // namespace

bool CSequenceDisplay::ProbeKorvaHeader() {
    platform::CFile* file = leftFile;
    char record[kKorvaRecordSize];
    auto readRecord = [&]() {
        std::memset(record, 0, sizeof record);
        return file->Read(record, sizeof record) == sizeof record;
    };
    auto reject = [&](const char* text) {
        if (text != nullptr) {
            platform::AfxMessageBox(text);
        }
        isKorva = 0;
        return false;
    };

    file->Seek(0, platform::CFile::begin);
    // A file too short for the two main records is no KORVA file at all.
    if (!readRecord()) {
        return reject(nullptr);
    }
    header.ParseMainRecord1(record);
    const bool haveRecord2 = readRecord();
    if (haveRecord2) {
        header.ParseMainRecord2(record);
    }
    if (header.recordSize != kKorvaRecordSize) {
        return reject(nullptr);
    }
    isKorva = 1;
    if (!haveRecord2) {
        return reject(msg::kKorvaTruncated);
    }
    if (header.componentCount <= 0) {
        return reject(msg::kKorvaNoY);
    }
    if (header.componentCount > kKorvaMaxComponents) {
        return reject(msg::kKorvaComponentCount);
    }
    if (header.extraHeaderRecords < 0 || header.frameHeaderRecords < 0) {
        return reject(msg::kKorvaNegativeCount);
    }
    if (header.interlaceFactor < 1) {
        return reject(msg::kKorvaInterlace);
    }
    file->Seek(int64_t(header.extraHeaderRecords) * kKorvaRecordSize, platform::CFile::current);

    int newWidth = 0, newHeight = 0;
    int multiplexed = 0;
    for (int i = 0; i < header.componentCount; ++i) {
        if (!readRecord()) {
            return reject(msg::kKorvaTruncated);
        }
        header.ParseComponentRecordA(i, record);
        if (!readRecord()) {
            return reject(msg::kKorvaTruncated);
        }
        header.ParseComponentRecordB(i, record);
        std::string_view word = KorvaFirstWord(header.components[i].name, 5);
        if (EqualsNoCase(word, "y")) {
            if (i != 0) {
                platform::AfxMessageBox(msg::kKorvaYNotFirst);
            }
            newWidth = header.components[i].pixelsPerLine;
            newHeight = int(std::min<int64_t>(
                INT_MAX, int64_t(header.interlaceFactor) * header.components[i].lines));
        }
        if (EqualsNoCase(word, "u/v")) {
            multiplexed = 1;
        }
    }
    if (newWidth == 0) {
        return reject(msg::kKorvaNoY);
    }

    const KorvaComponent& c0 = header.components[0];
    const KorvaComponent& c1 = header.components[1];
    const bool hasChroma = header.componentCount >= 2;
    if (c0.horizontalFactor == 0 || c0.verticalFactor == 0 ||
        (hasChroma && (c1.horizontalFactor == 0 || c1.verticalFactor == 0))) {
        return reject(msg::kKorvaZeroFactor);
    }
    // Products first, then the division, truncating toward zero.
    const int64_t newYStride = int64_t(c0.pixelsPerLine) / c0.horizontalFactor;
    const int64_t newYSize = int64_t(c0.lines) * newYStride / c0.verticalFactor;
    int64_t newCStride = 0, newCSize = 0;
    if (hasChroma) {
        const int64_t s = int64_t(c1.pixelsPerLine) / c1.horizontalFactor;
        const int64_t c = int64_t(c1.lines) * s / c1.verticalFactor;
        if (multiplexed) {
            newCStride = s;
            newCSize = c;
        } else {
            newCStride = s * c1.horizontalFactor;
            newCSize = 2 * c * c1.verticalFactor;
        }
    }
    const int64_t newFrameBytes = (newYSize + 2 * newCSize) * header.interlaceFactor +
                                  int64_t(header.frameHeaderRecords) * kKorvaRecordSize;
    if (!FrameSizeFits(newWidth, newHeight) || newYStride <= 0 || newYSize <= 0 || newCStride < 0 ||
        newCSize < 0 || newFrameBytes > kMaxPictureBytes) {
        return reject(msg::kKorvaSize);
    }
    width = newWidth;
    height = newHeight;
    yStride = int(newYStride);
    ySize = int(newYSize);
    cStride = int(newCStride);
    cSize = int(newCSize);
    uvMultiplexed = multiplexed;
    frameBytes = int(newFrameBytes);

    // Only the two layouts the conversion supports are walked; the others end at conversion.
    const bool supported = (multiplexed == 1) == (header.interlaceFactor == 2);
    if (supported && !KorvaWalkFits(*this, hasChroma)) {
        return reject(msg::kKorvaPlanes);
    }
    return true;
}

}  // namespace engine
