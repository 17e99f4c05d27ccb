#include "engine/delta_fixed_point.h"

#include <algorithm>
#include <vector>

namespace engine {

namespace {

using Kind = DeltaFixedPoint::Kind;

// r before the sign and the exceptions, by the kernels' 16-bit steps.
uint16_t Magnitude(const DeltaFixedPoint& f, uint32_t a) {
    if (f.kind == Kind::kOnePart) {
        const uint32_t shifted = (a << f.preShift) & 0xFFFFu;
        return uint16_t(((shifted * f.mul) >> 16) >> f.shift);
    }
    const uint32_t high = (a * f.mulHigh) & 0xFFFFu;
    const uint32_t low = (a * f.mul) >> 16;
    return uint16_t(((high + low) & 0xFFFFu) >> f.shift);
}

bool Reproduces(const DeltaFixedPoint& f, const uint8_t* map, int offset) {
    for (int d = -DeltaFixedPoint::kRange; d <= DeltaFixedPoint::kRange; ++d) {
        if (f.Evaluate(d) != map[d + offset]) {
            return false;
        }
    }
    return true;
}

uint64_t CeilDiv(uint64_t n, uint64_t d) {
    return (n + d - 1) / d;
}

}  // namespace

uint8_t DeltaFixedPoint::Evaluate(int d) const {
    const int e = negate ? -d : d;
    int t = 0;
    if (kind == Kind::kLinear) {
        t = int16_t(uint16_t(uint32_t(e) * mul));
    } else {
        const uint32_t magnitude = uint32_t(e < 0 ? -e : e);
        const uint32_t a = kind == Kind::kTwoPart && magnitude > limit ? limit : magnitude;
        uint16_t r = Magnitude(*this, a);
        for (int i = 0; i < kMaxExceptions; ++i) {
            if (a == at[i]) {
                r = uint16_t(r + fix[i]);
            }
        }
        t = int16_t(r);
        if (e < 0) {
            t = int16_t(uint16_t(-t));
        }
    }
    t = t < -128 ? -128 : (t > 127 ? 127 : t);
    return uint8_t(t + 128);
}

DeltaFixedPoint DeltaFixedPoint::Derive(const uint8_t* map, int offset) {
    DeltaFixedPoint f;
    // Orientation: a positive scale sends positive differences above 128.
    for (int a = 1; a <= kRange; ++a) {
        const int up = map[offset + a], down = map[offset - a];
        if (up != 128 || down != 128) {
            f.negate = up < 128 || down > 128;
            break;
        }
    }
    // want[a] = trunc(|s| x a) while below 128. The first a whose negative side reaches 0
    // saturates both sides, and so does every larger a.
    int saturatesAt = 0;
    std::vector<int> want(kRange + 1, 0);
    for (int a = 1; a <= kRange; ++a) {
        const int down = map[offset + (f.negate ? a : -a)];
        if (down == 0) {
            saturatesAt = a;
            break;
        }
        want[a] = 128 - down;
    }
    const int exactBelow = saturatesAt != 0 ? saturatesAt : kRange + 1;

    // An integer scale: one 16-bit product, exact while |d| x scale stays within 16 bits.
    if (saturatesAt != 1 && want[1] <= 31) {
        DeltaFixedPoint c = f;
        c.kind = Kind::kLinear;
        c.mul = uint16_t(want[1]);
        c.exact = true;
        if (Reproduces(c, map, offset)) {
            return c;
        }
    }

    // The smallest multiplier M with floor(a x M / 2^bits) >= want[a] for every a below the
    // saturating difference, and >= 128 there; floors[i] is that bound for the i-th a.
    auto bounds = [&](int bits) {
        std::vector<uint64_t> floors;
        for (int a = 1; a < exactBelow; ++a) {
            floors.push_back(CeilDiv(uint64_t(want[a]) << bits, uint64_t(a)));
        }
        const uint64_t saturating =
            saturatesAt != 0 ? CeilDiv(uint64_t(128) << bits, uint64_t(saturatesAt)) : 0;
        return std::pair{floors, saturating};
    };

    // One 16-bit multiply, M < 2^16, over every |d| with no cut-off: bits = 16 - preShift +
    // shift.
    for (int preShift = 6; preShift >= 0; --preShift) {
        for (int shift = preShift > 0 ? 0 : 15; shift >= 0; --shift) {
            auto [floors, saturating] = bounds(16 - preShift + shift);
            uint64_t m = saturating;
            for (uint64_t x : floors) {
                m = std::max(m, x);
            }
            if (m >= (uint64_t(1) << 16)) {
                continue;
            }
            DeltaFixedPoint c = f;
            c.kind = Kind::kOnePart;
            c.mul = uint16_t(m);
            c.preShift = preShift;
            c.shift = shift;
            c.exact = true;
            if (Reproduces(c, map, offset)) {
                return c;
            }
        }
    }

    // Two 16-bit multiplies for a 32-bit M, with a cut-off and exceptions; the fewest
    // exceptions win.
    f.kind = Kind::kTwoPart;
    f.limit = uint16_t(saturatesAt != 0 ? saturatesAt : kRange);
    DeltaFixedPoint best;
    for (int shift = 15; shift >= 0; --shift) {
        auto [floors, saturating] = bounds(16 + shift);
        std::sort(floors.begin(), floors.end());
        floors.erase(std::unique(floors.begin(), floors.end()), floors.end());
        // The M that meets every floor, then ones that leave the highest floors to exceptions.
        for (int dropped = 0; dropped <= kMaxExceptions; ++dropped) {
            uint64_t m = saturating;
            if (int(floors.size()) > dropped) {
                m = std::max(m, floors[floors.size() - 1 - size_t(dropped)]);
            } else if (dropped > 0) {
                break;
            }
            if (m >= (uint64_t(1) << 32)) {
                continue;
            }
            DeltaFixedPoint c = f;
            c.mulHigh = uint16_t(m >> 16);
            c.mul = uint16_t(m & 0xFFFFu);
            c.shift = shift;
            bool fits = true;
            for (int a = 1; a < exactBelow; ++a) {
                const int r = Magnitude(c, uint32_t(a));
                if (r != want[a]) {
                    if (c.exceptions == kMaxExceptions) {
                        fits = false;
                        break;
                    }
                    c.at[c.exceptions] = uint16_t(a);
                    c.fix[c.exceptions] = int16_t(want[a] - r);
                    ++c.exceptions;
                }
            }
            c.exact = true;
            if (fits && Reproduces(c, map, offset) &&
                (!best.exact || c.exceptions < best.exceptions)) {
                best = c;
                if (best.exceptions == 0) {
                    return best;
                }
            }
        }
    }
    if (best.exact) {
        return best;
    }
    f.exact = false;
    return f;
}

}  // namespace engine
