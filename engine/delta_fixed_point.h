// The delta mapping of DeltaTable as integer steps on 16-bit lanes, for the vector kernels.
// For a difference d (|d| <= kRange), with e = -d when negate is set and d otherwise, the byte
// is clamp(t, -128, 127) + 128 where t is, by kind:
//   kLinear:  e x mul, in 16 bits (an integer scale)
//   kOnePart: sign(e) x (((|e| << preShift) x mul) / 2^16 >> shift)
//   kTwoPart: sign(e) x r with a = min(|e|, limit) and
//             r = ((a x mulHigh) mod 2^16 + (a x mul) / 2^16) mod 2^16, shifted right by shift,
//             plus fix[i] where a == at[i]
// with products truncated and r read as a signed 16-bit value: a x M / 2^n truncated for one
// multiplier M, cut off past the first difference that saturates. The exceptions mend the few
// differences whose double product lies within rounding of an integer (0.7 x 10 is exactly 7 in
// double, 0.7 x 90 just below 63). A form is kept only when it reproduces the table's byte for
// every difference; for a scale where none does, exact stays false and the kernels use the
// table.
#pragma once

#include <cstdint>

namespace engine {

struct DeltaFixedPoint {
    // Channel differences of the raw paths lie within +-kRange.
    static constexpr int kRange = 1023;
    static constexpr int kMaxExceptions = 4;
    // Marks an unused exception slot: no |d| reaches it.
    static constexpr uint16_t kNoException = 0x7FFF;

    enum class Kind : uint8_t { kLinear, kOnePart, kTwoPart };

    bool exact = false;
    bool negate = false;
    Kind kind = Kind::kTwoPart;
    uint16_t mul = 0;
    uint16_t mulHigh = 0;
    uint16_t limit = 0;
    int preShift = 0;
    int shift = 0;
    int exceptions = 0;
    uint16_t at[kMaxExceptions] = {kNoException, kNoException, kNoException, kNoException};
    int16_t fix[kMaxExceptions] = {};

    // The byte for difference d, by the steps above.
    uint8_t Evaluate(int d) const;

    // The cheapest form for map, where map[d + offset] is the byte for d (offset > kRange).
    static DeltaFixedPoint Derive(const uint8_t* map, int offset);
};

}  // namespace engine
