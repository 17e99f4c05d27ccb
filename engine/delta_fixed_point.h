// The delta mapping of DeltaTable as integer steps on 16-bit lanes, for the vector kernels.
// For a difference d (|d| <= kRange), with e = -d when negate is set and d otherwise:
//   a = min(|e|, limit)
//   r = ((a x mulHigh) mod 2^16 + (a x mulLow) / 2^16) mod 2^16, shifted right by shift
//   r += fix[i] for the exception i with at[i] == a, if any
//   byte = clamp(sign(e) x r, -128, 127) + 128, with r read as a signed 16-bit value
// that is, a x (mulHigh x 2^16 + mulLow) / 2^(16 + shift) truncated, cut off past the first
// difference that saturates. The exceptions mend the few differences whose double product lies
// within rounding of an integer (a scale such as 0.7 makes 0.7 x 10 exactly 7 but 0.7 x 90 just
// below 63). A form is kept only when it reproduces the table's byte for every difference; for
// a scale where none does, exact stays false and the kernels use the table.
#pragma once

#include <cstdint>

namespace engine {

struct DeltaFixedPoint {
    // Channel differences of the raw paths lie within +-kRange.
    static constexpr int kRange = 1023;
    static constexpr int kMaxExceptions = 4;
    // Marks an unused exception slot: no |d| reaches it.
    static constexpr uint16_t kNoException = 0x7FFF;

    bool exact = false;
    bool negate = false;
    uint16_t limit = 0;
    uint16_t mulHigh = 0;
    uint16_t mulLow = 0;
    int shift = 0;
    int exceptions = 0;
    uint16_t at[kMaxExceptions] = {kNoException, kNoException, kNoException, kNoException};
    int16_t fix[kMaxExceptions] = {};

    // The byte for difference d, by the steps above.
    uint8_t Evaluate(int d) const;

    // The form for map, where map[d + offset] is the byte for d (offset > kRange).
    static DeltaFixedPoint Derive(const uint8_t* map, int offset);
};

}  // namespace engine
