// SSE2 kernels of the frame conversion: the baseline of every x86-64 processor. SSE2 has no
// byte shuffle, so pixels are packed as 32-bit blue, green, red, x words squeezed to 24 bits.
#include <emmintrin.h>

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/frame_conversion_simd.h"

namespace engine {
namespace {

// Every kernel takes 16 pixels (8 chroma samples) a block.
constexpr int kBlock = 16;

// --- Packing: four vectors of four pixels as 32-bit words (blue, green, red, any) into 48
// bytes. Each 64-bit half is squeezed to six bytes and stored with an 8-byte store whose last
// two bytes the next store overwrites; the block that ends the row stores its last six bytes
// exactly.

inline __m128i Squeeze(__m128i q) {
    const __m128i low = _mm_set1_epi64x(0x0000000000FFFFFFll);
    const __m128i high = _mm_set1_epi64x(0x0000FFFFFF000000ll);
    return _mm_or_si128(_mm_and_si128(q, low), _mm_and_si128(_mm_srli_epi64(q, 8), high));
}

inline void StoreLow8(uint8_t* out, __m128i x) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), x);
}

inline void StoreHigh8(uint8_t* out, __m128i x) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_unpackhi_epi64(x, x));
}

template <bool kLast>
inline void StorePixels(uint8_t* out, const __m128i (&q)[4]) {
    for (int i = 0; i < 4; ++i) {
        const __m128i c = Squeeze(q[i]);
        StoreLow8(out + 12 * i, c);
        if (kLast && i == 3) {
            const __m128i h = _mm_srli_si128(c, 8);
            const uint32_t first = uint32_t(_mm_cvtsi128_si32(h));
            const uint16_t rest = uint16_t(_mm_cvtsi128_si32(_mm_srli_si128(h, 4)));
            std::memcpy(out + 12 * i + 6, &first, 4);
            std::memcpy(out + 12 * i + 10, &rest, 2);
        } else {
            StoreHigh8(out + 12 * i + 6, c);
        }
    }
}

// Channel bytes with even pixels in bytes 0..7 and odd pixels in 8..15.
template <bool kLast>
inline void StoreEvenOdd(uint8_t* out, __m128i b, __m128i g, __m128i r) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bgEven = _mm_unpacklo_epi8(b, g), bgOdd = _mm_unpackhi_epi8(b, g);
    const __m128i rEven = _mm_unpacklo_epi8(r, zero), rOdd = _mm_unpackhi_epi8(r, zero);
    const __m128i even0 = _mm_unpacklo_epi16(bgEven, rEven);  // pixels 0, 2, 4, 6
    const __m128i even1 = _mm_unpackhi_epi16(bgEven, rEven);  // pixels 8, 10, 12, 14
    const __m128i odd0 = _mm_unpacklo_epi16(bgOdd, rOdd);
    const __m128i odd1 = _mm_unpackhi_epi16(bgOdd, rOdd);
    const __m128i q[4] = {_mm_unpacklo_epi32(even0, odd0), _mm_unpackhi_epi32(even0, odd0),
                          _mm_unpacklo_epi32(even1, odd1), _mm_unpackhi_epi32(even1, odd1)};
    StorePixels<kLast>(out, q);
}

// One byte per chroma sample for each channel (blue and green in bg, bytes 0..7 and 8..15; red
// in bytes 0..7 of r); each sample covers two pixels.
template <bool kLast>
inline void StorePairs(uint8_t* out, __m128i bg, __m128i r) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i words = _mm_unpacklo_epi8(bg, _mm_srli_si128(bg, 8));
    const __m128i red = _mm_unpacklo_epi8(r, zero);
    const __m128i samples0 = _mm_unpacklo_epi16(words, red);
    const __m128i samples1 = _mm_unpackhi_epi16(words, red);
    const __m128i q[4] = {
        _mm_unpacklo_epi32(samples0, samples0), _mm_unpackhi_epi32(samples0, samples0),
        _mm_unpacklo_epi32(samples1, samples1), _mm_unpackhi_epi32(samples1, samples1)};
    StorePixels<kLast>(out, q);
}

// Runs block(j, last) for j = 0, 16, ... < width; last is set for the block that ends the row.
template <typename Block>
inline void ForBlocks(int width, Block block) {
    int j = 0;
    for (; j + kBlock < width; j += kBlock) {
        block(j, std::false_type{});
    }
    block(j, std::true_type{});
}

// --- Raw paths.

inline __m128i Set16(int x) {
    return _mm_set1_epi16(int16_t(x));
}

// Eight chroma samples as d = sample - 128, one per 16-bit lane.
inline __m128i LoadChroma(const uint8_t* p) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    return _mm_sub_epi16(_mm_unpacklo_epi8(bytes, _mm_setzero_si128()), Set16(128));
}

// Blue = Y + ub, green = Y - gp, red = Y + vr.
struct Terms {
    __m128i ub, gp, vr;
};

inline Terms ChromaTerms(const uint8_t* u, const uint8_t* v) {
    const __m128i du = LoadChroma(u), dv = LoadChroma(v);
    const __m128i su = _mm_srai_epi16(du, 15), sv = _mm_srai_epi16(dv, 15);
    const __m128i dv4 = _mm_slli_epi16(dv, simd::kVG.shift);
    static_assert(simd::kVG.shift == simd::kVR.shift && simd::kUG.shift == 0);
    Terms t;
    t.ub = _mm_sub_epi16(_mm_mulhi_epi16(_mm_slli_epi16(du, simd::kUB.shift), Set16(simd::kUB.mul)),
                         su);
    t.gp = _mm_sub_epi16(_mm_add_epi16(_mm_mulhi_epi16(du, Set16(simd::kUG.mul)),
                                       _mm_mulhi_epi16(dv4, Set16(simd::kVG.mul))),
                         _mm_add_epi16(su, sv));
    t.vr = _mm_sub_epi16(_mm_mulhi_epi16(dv4, Set16(simd::kVR.mul)), sv);
    return t;
}

struct Luma {
    __m128i even, odd;
};

inline Luma LoadLuma(const uint8_t* y) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
    return {_mm_and_si128(bytes, Set16(0xFF)), _mm_srli_epi16(bytes, 8)};
}

void ColourBlocks(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out, int width,
                  const ColourTables&) {
    ForBlocks(width, [&](int j, auto last) {
        const Terms t = ChromaTerms(u + j / 2, v + j / 2);
        const Luma l = LoadLuma(y + j);
        StoreEvenOdd<decltype(last)::value>(
            out + 3 * j, _mm_packus_epi16(_mm_add_epi16(l.even, t.ub), _mm_add_epi16(l.odd, t.ub)),
            _mm_packus_epi16(_mm_sub_epi16(l.even, t.gp), _mm_sub_epi16(l.odd, t.gp)),
            _mm_packus_epi16(_mm_add_epi16(l.even, t.vr), _mm_add_epi16(l.odd, t.vr)));
    });
}

void LumaBlocks(const uint8_t* y, uint8_t* out, int width) {
    ForBlocks(width, [&](int j, auto last) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + j));
        const __m128i twice0 = _mm_unpacklo_epi8(bytes, bytes);
        const __m128i twice1 = _mm_unpackhi_epi8(bytes, bytes);
        const __m128i q[4] = {
            _mm_unpacklo_epi16(twice0, twice0), _mm_unpackhi_epi16(twice0, twice0),
            _mm_unpacklo_epi16(twice1, twice1), _mm_unpackhi_epi16(twice1, twice1)};
        StorePixels<decltype(last)::value>(out + 3 * j, q);
    });
}

void ChromaBlocks(const uint8_t* u, const uint8_t* v, uint8_t* out, int width,
                  const ColourTables&) {
    const __m128i mid = Set16(128);
    ForBlocks(width, [&](int j, auto last) {
        const Terms t = ChromaTerms(u + j / 2, v + j / 2);
        const __m128i r = _mm_add_epi16(mid, t.vr);
        StorePairs<decltype(last)::value>(
            out + 3 * j, _mm_packus_epi16(_mm_add_epi16(mid, t.ub), _mm_sub_epi16(mid, t.gp)),
            _mm_packus_epi16(r, r));
    });
}

// --- Delta paths: the DeltaFixedPoint steps on 8 differences at a time.

using simd::DeltaSteps;

struct DeltaConstants {
    __m128i mul, mulHigh, limit, preShift, shift;
    __m128i at[DeltaFixedPoint::kMaxExceptions];
    __m128i fix[DeltaFixedPoint::kMaxExceptions];

    explicit DeltaConstants(const DeltaFixedPoint& f)
        : mul(Set16(f.mul)),
          mulHigh(Set16(f.mulHigh)),
          limit(Set16(f.limit)),
          preShift(_mm_cvtsi32_si128(f.preShift)),
          shift(_mm_cvtsi32_si128(f.shift)) {
        for (int i = 0; i < DeltaFixedPoint::kMaxExceptions; ++i) {
            at[i] = Set16(f.at[i]);
            fix[i] = Set16(f.fix[i]);
        }
    }

    // t for 8 differences, as a signed 16-bit value.
    template <DeltaSteps kSteps>
    __m128i Map(__m128i d) const {
        if constexpr (kSteps == DeltaSteps::kLinear) {
            return _mm_mullo_epi16(d, mul);
        }
        const __m128i sign = _mm_srai_epi16(d, 15);
        __m128i a = _mm_sub_epi16(_mm_xor_si128(d, sign), sign), r;
        if constexpr (kSteps == DeltaSteps::kShiftBefore) {
            r = _mm_mulhi_epu16(_mm_sll_epi16(a, preShift), mul);
        } else if constexpr (kSteps == DeltaSteps::kShiftAfter) {
            r = _mm_srl_epi16(_mm_mulhi_epu16(a, mul), shift);
        } else {
            a = _mm_min_epi16(a, limit);
            r = _mm_srl_epi16(_mm_add_epi16(_mm_mullo_epi16(a, mulHigh), _mm_mulhi_epu16(a, mul)),
                              shift);
            if constexpr (kSteps == DeltaSteps::kTwoPartExceptions) {
                for (int i = 0; i < DeltaFixedPoint::kMaxExceptions; ++i) {
                    r = _mm_add_epi16(r, _mm_and_si128(_mm_cmpeq_epi16(a, at[i]), fix[i]));
                }
            }
        }
        return _mm_sub_epi16(_mm_xor_si128(r, sign), sign);
    }
};

// clamp(t, -128, 127) + 128 for two vectors of mapped values.
inline __m128i DeltaBytes(__m128i t0, __m128i t1) {
    return _mm_xor_si128(_mm_packs_epi16(t0, t1), _mm_set1_epi8(int8_t(0x80)));
}

template <DeltaSteps kSteps>
void ColourDeltaBlocks(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl, const uint8_t* yr,
                       const uint8_t* ur, const uint8_t* vr, uint8_t* out, int width,
                       const ColourTables&, const DeltaTable& delta) {
    const DeltaConstants steps(delta.fixed);
    ForBlocks(width, [&](int j, auto last) {
        const Terms tl = ChromaTerms(ul + j / 2, vl + j / 2);
        const Terms tr = ChromaTerms(ur + j / 2, vr + j / 2);
        const Luma ll = LoadLuma(yl + j), lr = LoadLuma(yr + j);
        const __m128i dyEven = _mm_sub_epi16(ll.even, lr.even);
        const __m128i dyOdd = _mm_sub_epi16(ll.odd, lr.odd);
        const __m128i db = _mm_sub_epi16(tl.ub, tr.ub);
        const __m128i dg = _mm_sub_epi16(tr.gp, tl.gp);
        const __m128i dr = _mm_sub_epi16(tl.vr, tr.vr);
        StoreEvenOdd<decltype(last)::value>(
            out + 3 * j,
            DeltaBytes(steps.Map<kSteps>(_mm_add_epi16(dyEven, db)),
                       steps.Map<kSteps>(_mm_add_epi16(dyOdd, db))),
            DeltaBytes(steps.Map<kSteps>(_mm_add_epi16(dyEven, dg)),
                       steps.Map<kSteps>(_mm_add_epi16(dyOdd, dg))),
            DeltaBytes(steps.Map<kSteps>(_mm_add_epi16(dyEven, dr)),
                       steps.Map<kSteps>(_mm_add_epi16(dyOdd, dr))));
    });
}

template <DeltaSteps kSteps>
void LumaDeltaBlocks(const uint8_t* yl, const uint8_t* yr, uint8_t* out, int width,
                     const DeltaTable& delta) {
    const DeltaConstants steps(delta.fixed);
    ForBlocks(width, [&](int j, auto last) {
        const Luma ll = LoadLuma(yl + j), lr = LoadLuma(yr + j);
        const __m128i grey = DeltaBytes(steps.Map<kSteps>(_mm_sub_epi16(ll.even, lr.even)),
                                        steps.Map<kSteps>(_mm_sub_epi16(ll.odd, lr.odd)));
        StoreEvenOdd<decltype(last)::value>(out + 3 * j, grey, grey, grey);
    });
}

template <DeltaSteps kSteps>
void ChromaDeltaBlocks(const uint8_t* ul, const uint8_t* vl, const uint8_t* ur, const uint8_t* vr,
                       uint8_t* out, int width, const ColourTables&, const DeltaTable& delta) {
    const DeltaConstants steps(delta.fixed);
    ForBlocks(width, [&](int j, auto last) {
        const Terms tl = ChromaTerms(ul + j / 2, vl + j / 2);
        const Terms tr = ChromaTerms(ur + j / 2, vr + j / 2);
        const __m128i b = steps.Map<kSteps>(_mm_sub_epi16(tl.ub, tr.ub));
        const __m128i g = steps.Map<kSteps>(_mm_sub_epi16(tr.gp, tl.gp));
        const __m128i r = steps.Map<kSteps>(_mm_sub_epi16(tl.vr, tr.vr));
        StorePairs<decltype(last)::value>(out + 3 * j, DeltaBytes(b, g), DeltaBytes(r, r));
    });
}

constexpr simd::DeltaVersions<RowColourDeltaFn> kColourDelta = {
    ColourDeltaBlocks<DeltaSteps::kLinear>, ColourDeltaBlocks<DeltaSteps::kShiftBefore>,
    ColourDeltaBlocks<DeltaSteps::kShiftAfter>, ColourDeltaBlocks<DeltaSteps::kTwoPart>,
    ColourDeltaBlocks<DeltaSteps::kTwoPartExceptions>};
constexpr simd::DeltaVersions<RowLumaDeltaFn> kLumaDelta = {
    LumaDeltaBlocks<DeltaSteps::kLinear>, LumaDeltaBlocks<DeltaSteps::kShiftBefore>,
    LumaDeltaBlocks<DeltaSteps::kShiftAfter>, LumaDeltaBlocks<DeltaSteps::kTwoPart>,
    LumaDeltaBlocks<DeltaSteps::kTwoPartExceptions>};
constexpr simd::DeltaVersions<RowChromaDeltaFn> kChromaDelta = {
    ChromaDeltaBlocks<DeltaSteps::kLinear>, ChromaDeltaBlocks<DeltaSteps::kShiftBefore>,
    ChromaDeltaBlocks<DeltaSteps::kShiftAfter>, ChromaDeltaBlocks<DeltaSteps::kTwoPart>,
    ChromaDeltaBlocks<DeltaSteps::kTwoPartExceptions>};

// --- KORVA paths: double precision, each product and sum rounded on its own as in the scalar
// kernel. The limit to 0..255 and truncation are cvttpd followed by saturating packs: the
// values lie within -300..600, where both give the same byte.

// Eight chroma samples as doubles u - 128 and v - 128, two per vector.
struct KorvaChroma {
    __m128d u[4], v[4];
};

// Four doubles from the 32-bit lanes of x.
inline void Doubles(__m128i x, __m128d* out) {
    out[0] = _mm_cvtepi32_pd(x);
    out[1] = _mm_cvtepi32_pd(_mm_srli_si128(x, 8));
}

// Eight 16-bit values as eight doubles, less bias.
inline void WordsToDoubles(__m128i words, int bias, __m128d* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i b = _mm_set1_epi32(bias);
    Doubles(_mm_sub_epi32(_mm_unpacklo_epi16(words, zero), b), out);
    Doubles(_mm_sub_epi32(_mm_unpackhi_epi16(words, zero), b), out + 2);
}

inline KorvaChroma SeparateChroma(const uint8_t* u, const uint8_t* v) {
    const __m128i zero = _mm_setzero_si128();
    KorvaChroma c;
    WordsToDoubles(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u)), zero),
                   128, c.u);
    WordsToDoubles(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v)), zero),
                   128, c.v);
    return c;
}

// u points at 16 bytes U, V, U, V, ...
inline KorvaChroma MultiplexedChroma(const uint8_t* u) {
    const __m128i uv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u));
    KorvaChroma c;
    WordsToDoubles(_mm_and_si128(uv, Set16(0xFF)), 128, c.u);
    WordsToDoubles(_mm_srli_epi16(uv, 8), 128, c.v);
    return c;
}

// Channel values of 16 pixels: [channel][parity][quarter], two samples per vector.
struct KorvaValues {
    __m128d c[3][2][4];
};

inline KorvaValues KorvaPixels(const uint8_t* y, const KorvaChroma& ch) {
    const Luma l = LoadLuma(y);
    __m128d yd[2][4];
    WordsToDoubles(l.even, 0, yd[0]);
    WordsToDoubles(l.odd, 0, yd[1]);
    const __m128d kUb = _mm_set1_pd(2.0279), kUg = _mm_set1_pd(0.3938);
    const __m128d kVg = _mm_set1_pd(0.5805), kVr = _mm_set1_pd(1.1398);
    KorvaValues out;
    for (int q = 0; q < 4; ++q) {
        const __m128d bu = _mm_mul_pd(kUb, ch.u[q]);
        const __m128d gu = _mm_mul_pd(kUg, ch.u[q]);
        const __m128d gv = _mm_mul_pd(kVg, ch.v[q]);
        const __m128d rv = _mm_mul_pd(kVr, ch.v[q]);
        for (int parity = 0; parity < 2; ++parity) {
            out.c[0][parity][q] = _mm_add_pd(yd[parity][q], bu);
            out.c[1][parity][q] = _mm_sub_pd(_mm_sub_pd(yd[parity][q], gu), gv);
            out.c[2][parity][q] = _mm_add_pd(yd[parity][q], rv);
        }
    }
    return out;
}

// Eight words from four vectors of two doubles, truncated.
inline __m128i TruncatedWords(const __m128d* v) {
    const __m128i lo = _mm_unpacklo_epi64(_mm_cvttpd_epi32(v[0]), _mm_cvttpd_epi32(v[1]));
    const __m128i hi = _mm_unpacklo_epi64(_mm_cvttpd_epi32(v[2]), _mm_cvttpd_epi32(v[3]));
    return _mm_packs_epi32(lo, hi);
}

template <bool kLast>
inline void StoreKorva(uint8_t* out, const KorvaValues& p) {
    __m128i bgr[3];
    for (int c = 0; c < 3; ++c) {
        bgr[c] = _mm_packus_epi16(TruncatedWords(p.c[c][0]), TruncatedWords(p.c[c][1]));
    }
    StoreEvenOdd<kLast>(out, bgr[0], bgr[1], bgr[2]);
}

void KorvaSeparateBlocks(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out,
                         int width) {
    ForBlocks(width, [&](int j, auto last) {
        StoreKorva<decltype(last)::value>(out + 3 * j,
                                          KorvaPixels(y + j, SeparateChroma(u + j / 2, v + j / 2)));
    });
}

void KorvaMultiplexedBlocks(const uint8_t* y, const uint8_t* u, const uint8_t*, uint8_t* out,
                            int width) {
    ForBlocks(width, [&](int j, auto last) {
        StoreKorva<decltype(last)::value>(out + 3 * j,
                                          KorvaPixels(y + j, MultiplexedChroma(u + j)));
    });
}

// clamp(trunc(s x (l - r)) + 128) for a finite s: the product is cut to +-1000 first.
template <bool kLast>
inline void StoreKorvaDelta(uint8_t* out, const KorvaValues& l, const KorvaValues& r,
                            double scale) {
    const __m128d s = _mm_set1_pd(scale);
    const __m128d lo = _mm_set1_pd(-1000.0), hi = _mm_set1_pd(1000.0);
    __m128i bgr[3];
    for (int c = 0; c < 3; ++c) {
        __m128i words[2];
        for (int parity = 0; parity < 2; ++parity) {
            __m128d p[4];
            for (int q = 0; q < 4; ++q) {
                p[q] = _mm_mul_pd(s, _mm_sub_pd(l.c[c][parity][q], r.c[c][parity][q]));
                p[q] = _mm_min_pd(_mm_max_pd(p[q], lo), hi);
            }
            words[parity] = _mm_add_epi16(TruncatedWords(p), Set16(128));
        }
        bgr[c] = _mm_packus_epi16(words[0], words[1]);
    }
    StoreEvenOdd<kLast>(out, bgr[0], bgr[1], bgr[2]);
}

const KorvaChroma kNoChroma = {};

void KorvaDeltaNoChromaBlocks(const uint8_t* yl, const uint8_t*, const uint8_t*, const uint8_t* yr,
                              const uint8_t*, const uint8_t*, uint8_t* out, int width,
                              double scale) {
    ForBlocks(width, [&](int j, auto last) {
        StoreKorvaDelta<decltype(last)::value>(out + 3 * j, KorvaPixels(yl + j, kNoChroma),
                                               KorvaPixels(yr + j, kNoChroma), scale);
    });
}

void KorvaDeltaSeparateBlocks(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl,
                              const uint8_t* yr, const uint8_t* ur, const uint8_t* vr, uint8_t* out,
                              int width, double scale) {
    ForBlocks(width, [&](int j, auto last) {
        const int c = j / 2;
        StoreKorvaDelta<decltype(last)::value>(
            out + 3 * j, KorvaPixels(yl + j, SeparateChroma(ul + c, vl + c)),
            KorvaPixels(yr + j, SeparateChroma(ur + c, vr + c)), scale);
    });
}

void KorvaDeltaMultiplexedBlocks(const uint8_t* yl, const uint8_t* ul, const uint8_t*,
                                 const uint8_t* yr, const uint8_t* ur, const uint8_t*, uint8_t* out,
                                 int width, double scale) {
    ForBlocks(width, [&](int j, auto last) {
        StoreKorvaDelta<decltype(last)::value>(
            out + 3 * j, KorvaPixels(yl + j, MultiplexedChroma(ul + j)),
            KorvaPixels(yr + j, MultiplexedChroma(ur + j)), scale);
    });
}

constexpr RowColourFn kColour = simd::ColourAny<kBlock, ColourBlocks>;
constexpr RowChromaFn kChroma = simd::ChromaAny<kBlock, ChromaBlocks>;
constexpr RowColourDeltaFn kColourDeltaAny = simd::ColourDeltaAny<kBlock, kColourDelta>;
constexpr RowChromaDeltaFn kChromaDeltaAny = simd::ChromaDeltaAny<kBlock, kChromaDelta>;

}  // namespace

constinit const ConversionKernels kSse2Kernels = {
    "sse2",
    kColour,
    simd::LumaAny<kBlock, LumaBlocks>,
    kChroma,
    kColourDeltaAny,
    simd::LumaDeltaAny<kBlock, kLumaDelta>,
    kChromaDeltaAny,
    simd::KorvaAny<kBlock, KorvaSeparateBlocks, KorvaMultiplexedBlocks,
                   simd::LumaAny<kBlock, LumaBlocks>>,
    simd::KorvaDeltaAny<kBlock, KorvaDeltaSeparateBlocks, KorvaDeltaMultiplexedBlocks,
                        KorvaDeltaNoChromaBlocks>,
    simd::ColourThenDelta<kColour, kColourDeltaAny>,
    simd::ChromaThenDelta<kChroma, kChromaDeltaAny>,
};

}  // namespace engine
