// The header of a KORVA sequence file: 64-byte records of fixed-width ASCII fields.
#pragma once

#include <string_view>

namespace engine {

constexpr int kKorvaRecordSize = 64;
// The component table holds at most three components (Y and two chroma planes).
constexpr int kKorvaMaxComponents = 3;

struct KorvaComponent {
    int lines = 0;
    int pixelsPerLine = 0;
    int verticalFactor = 0;
    int horizontalFactor = 0;
    char name[5] = {};  // the name field as stored, not terminated
};

class KorvaHeader {
public:
    virtual ~KorvaHeader() = default;

    // Each parser reads one 64-byte record and nothing outside it; none of them checks values.
    void ParseMainRecord1(const char* record);
    void ParseMainRecord2(const char* record);
    void ParseComponentRecordA(int entry, const char* record);
    void ParseComponentRecordB(int entry, const char* record);

    // The verticalFactor of the second component: how many picture rows share a chroma line.
    int chromaVerticalFactor() const { return components[1].verticalFactor; }

    int componentCount = 0;
    int extraHeaderRecords = 0;
    int frameHeaderRecords = 0;
    int recordSize = 0;
    int interlaceFactor = 0;
    KorvaComponent components[kKorvaMaxComponents];
};

// Field readers: the field's text ends early at a zero byte. A number reads as the C library's
// atoi (leading blanks, optional sign, digits; nothing gives 0), saturating instead of
// overflowing.
int KorvaNumberField(const char* record, int offset, int width);
double KorvaRealField(const char* record, int offset, int width);
// The first word of a text field, without leading white space.
std::string_view KorvaFirstWord(const char* field, int width);

}  // namespace engine
