// AVX2 kernels of the frame conversion. This file alone is compiled with -mavx2; nothing here
// may run before DetectCpuLevel has reported AVX2, and everything but the kernel tables has
// internal linkage so that no AVX2 copy of a shared inline function can leak into other code.
#include <immintrin.h>

#include <cstdint>

#include "engine/frame_conversion_simd.h"

namespace engine {
namespace {

// Raw kernels take 32 pixels (16 chroma samples) a block, KORVA kernels 16 pixels.
constexpr int kBlock = 32;
constexpr int kKorvaBlock = 16;

// --- Packing 16 pixels per 128-bit lane into 48 bytes blue, green, red.

struct alignas(32) LaneMask {
    uint8_t bytes[32];
};

// Channel bytes of even pixels 2k and odd pixels 2k + 1 (k = 0..7 in a lane) arrive packed in
// three registers as (Be, Ge), (Re, Bo), (Go, Ro): bytes k and 8 + k. The output is the 16-bit
// words (Be, Ge), (Re, Bo), (Go, Ro) of k = 0, 1, ... in turn, so each register is shuffled
// once into the word slots where its words land, and three blends of the three make each
// 16-byte part.
constexpr int WordSource(int part, int slot) {
    return (8 * part + slot) % 3;
}

constexpr LaneMask WordMask(int source) {
    LaneMask mask{};
    for (int slot = 0; slot < 8; ++slot) {
        for (int part = 0; part < 3; ++part) {
            if (WordSource(part, slot) == source) {
                const int k = (8 * part + slot) / 3;
                for (int lane = 0; lane < 2; ++lane) {
                    mask.bytes[16 * lane + 2 * slot] = uint8_t(k);
                    mask.bytes[16 * lane + 2 * slot + 1] = uint8_t(8 + k);
                }
            }
        }
    }
    return mask;
}

// Blend immediates: word slots of part that come from source.
constexpr int BlendBits(int part, int source) {
    int bits = 0;
    for (int slot = 0; slot < 8; ++slot) {
        bits |= WordSource(part, slot) == source ? 1 << slot : 0;
    }
    return bits;
}

constexpr LaneMask kWordMasks[3] = {WordMask(0), WordMask(1), WordMask(2)};

template <int kPart, typename V, typename Blend>
inline V Part(V w0, V w1, V w2, Blend blend) {
    return blend.template operator()<BlendBits(kPart, 2)>(
        blend.template operator()<BlendBits(kPart, 1)>(w0, w1), w2);
}

struct Blend256 {
    template <int kBits>
    __m256i operator()(__m256i a, __m256i b) const {
        return _mm256_blend_epi16(a, b, kBits);
    }
};

struct Blend128 {
    template <int kBits>
    __m128i operator()(__m128i a, __m128i b) const {
        return _mm_blend_epi16(a, b, kBits);
    }
};

inline __m256i WordShuffle(__m256i v, int source) {
    return _mm256_shuffle_epi8(
        v, _mm256_load_si256(reinterpret_cast<const __m256i*>(kWordMasks[source].bytes)));
}

// Parts o0 = bytes 0..15 | 48..63, o1 = 16..31 | 64..79, o2 = 32..47 | 80..95 of 32 pixels,
// stored in order. Streaming stores need out on a 32-byte boundary and bypass the cache.
template <bool kStream>
inline void Store96(uint8_t* out, __m256i o0, __m256i o1, __m256i o2) {
    auto* p = reinterpret_cast<__m256i*>(out);
    const __m256i a = _mm256_permute2x128_si256(o0, o1, 0x20);
    const __m256i b = _mm256_permute2x128_si256(o2, o0, 0x30);
    const __m256i c = _mm256_permute2x128_si256(o1, o2, 0x31);
    if constexpr (kStream) {
        _mm256_stream_si256(p, a);
        _mm256_stream_si256(p + 1, b);
        _mm256_stream_si256(p + 2, c);
    } else {
        _mm256_storeu_si256(p, a);
        _mm256_storeu_si256(p + 1, b);
        _mm256_storeu_si256(p + 2, c);
    }
}

// 32 pixels: lane 0 of the registers holds pixels 0..15, lane 1 pixels 16..31; 96 bytes out.
template <bool kStream>
inline void StoreEvenOdd32(uint8_t* out, __m256i beGe, __m256i reBo, __m256i goRo) {
    const __m256i w0 = WordShuffle(beGe, 0), w1 = WordShuffle(reBo, 1), w2 = WordShuffle(goRo, 2);
    Store96<kStream>(out, Part<0>(w0, w1, w2, Blend256{}), Part<1>(w0, w1, w2, Blend256{}),
                     Part<2>(w0, w1, w2, Blend256{}));
}

// 16 pixels of one lane: 48 bytes out.
inline void StoreEvenOdd16(uint8_t* out, __m128i beGe, __m128i reBo, __m128i goRo) {
    auto shuffle = [](__m128i v, int source) {
        return _mm_shuffle_epi8(
            v, _mm_load_si128(reinterpret_cast<const __m128i*>(kWordMasks[source].bytes)));
    };
    const __m128i w0 = shuffle(beGe, 0), w1 = shuffle(reBo, 1), w2 = shuffle(goRo, 2);
    auto* p = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(p, Part<0>(w0, w1, w2, Blend128{}));
    _mm_storeu_si128(p + 1, Part<1>(w0, w1, w2, Blend128{}));
    _mm_storeu_si128(p + 2, Part<2>(w0, w1, w2, Blend128{}));
}

// Pixels that take all three channels from one register, or, for chroma, two bytes a sample:
// each 16-byte part gathered by byte shuffles.
enum class Layout {
    kEvenOdd1,  // one register for all channels, even pixels in bytes 0..7, odd in 8..15
    kPlain1,    // one register for all channels, pixels in order
    kPairs2,    // per chroma sample k: blue at k and green at 8 + k of register 0, red at k of 1
};

struct Source {
    int reg;
    int byte;
};

constexpr Source Find(Layout layout, int p, int c) {
    switch (layout) {
        case Layout::kEvenOdd1:
            return {0, (p & 1) * 8 + (p >> 1)};
        case Layout::kPlain1:
            return {0, p};
        case Layout::kPairs2:
            return c == 2 ? Source{1, p >> 1} : Source{0, c * 8 + (p >> 1)};
    }
    return {0, 0};
}

constexpr int Registers(Layout layout) {
    return layout == Layout::kPairs2 ? 2 : 1;
}

// Masks[part][reg]: output bytes 16 x part .. 16 x part + 15 of a lane taken from reg; 0x80
// zeroes the bytes that come from another register. Both lanes use the same mask.
struct Masks {
    LaneMask m[3][2];
};

constexpr Masks MakeMasks(Layout layout) {
    Masks masks{};
    for (int part = 0; part < 3; ++part) {
        for (int reg = 0; reg < 2; ++reg) {
            for (int i = 0; i < 16; ++i) {
                const int o = 16 * part + i;
                const Source s = Find(layout, o / 3, o % 3);
                const uint8_t b = s.reg == reg ? uint8_t(s.byte) : uint8_t(0x80);
                masks.m[part][reg].bytes[i] = b;
                masks.m[part][reg].bytes[16 + i] = b;
            }
        }
    }
    return masks;
}

constexpr Masks kEvenOdd1Masks = MakeMasks(Layout::kEvenOdd1);
constexpr Masks kPlain1Masks = MakeMasks(Layout::kPlain1);
constexpr Masks kPairs2Masks = MakeMasks(Layout::kPairs2);

constexpr const Masks& MasksOf(Layout layout) {
    return layout == Layout::kEvenOdd1 ? kEvenOdd1Masks
           : layout == Layout::kPlain1 ? kPlain1Masks
                                       : kPairs2Masks;
}

template <Layout kLayout>
inline __m256i Gather(const __m256i* src, int part) {
    const Masks& masks = MasksOf(kLayout);
    __m256i o = _mm256_shuffle_epi8(
        src[0], _mm256_load_si256(reinterpret_cast<const __m256i*>(masks.m[part][0].bytes)));
    for (int reg = 1; reg < Registers(kLayout); ++reg) {
        o = _mm256_or_si256(
            o, _mm256_shuffle_epi8(src[reg], _mm256_load_si256(reinterpret_cast<const __m256i*>(
                                                 masks.m[part][reg].bytes))));
    }
    return o;
}

template <Layout kLayout, bool kStream>
inline void StoreBgr32(uint8_t* out, const __m256i* src) {
    Store96<kStream>(out, Gather<kLayout>(src, 0), Gather<kLayout>(src, 1),
                     Gather<kLayout>(src, 2));
}

// --- Raw paths.

inline __m256i Set16(int x) {
    return _mm256_set1_epi16(int16_t(x));
}

// 16 chroma samples as d = sample - 128, one per 16-bit lane in sample order.
inline __m256i LoadChroma(const uint8_t* p) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return _mm256_sub_epi16(_mm256_cvtepu8_epi16(bytes), Set16(128));
}

// The table terms of 16 chroma samples: blue = Y + ub, green = Y - gp, red = Y + vr.
struct Terms {
    __m256i ub, gp, vr;
};

inline Terms ChromaTerms(const uint8_t* u, const uint8_t* v) {
    const __m256i du = LoadChroma(u), dv = LoadChroma(v);
    const __m256i su = _mm256_srai_epi16(du, 15), sv = _mm256_srai_epi16(dv, 15);
    const __m256i dv4 = _mm256_slli_epi16(dv, simd::kVG.shift);
    static_assert(simd::kVG.shift == simd::kVR.shift && simd::kUG.shift == 0);
    Terms t;
    t.ub = _mm256_sub_epi16(
        _mm256_mulhi_epi16(_mm256_slli_epi16(du, simd::kUB.shift), Set16(simd::kUB.mul)), su);
    t.gp = _mm256_sub_epi16(_mm256_add_epi16(_mm256_mulhi_epi16(du, Set16(simd::kUG.mul)),
                                             _mm256_mulhi_epi16(dv4, Set16(simd::kVG.mul))),
                            _mm256_add_epi16(su, sv));
    t.vr = _mm256_sub_epi16(_mm256_mulhi_epi16(dv4, Set16(simd::kVR.mul)), sv);
    return t;
}

// 32 luma samples as even and odd pixels, one per 16-bit lane: lane k holds pixels 2k, 2k + 1.
struct Luma {
    __m256i even, odd;
};

inline Luma LoadLuma(const uint8_t* y) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y));
    return {_mm256_and_si256(bytes, Set16(0xFF)), _mm256_srli_epi16(bytes, 8)};
}

// One block of 32 colour pixels.
template <bool kStream>
inline void ColourBlock(uint8_t* out, const Terms& t, const Luma& l) {
    StoreEvenOdd32<kStream>(
        out, _mm256_packus_epi16(_mm256_add_epi16(l.even, t.ub), _mm256_sub_epi16(l.even, t.gp)),
        _mm256_packus_epi16(_mm256_add_epi16(l.even, t.vr), _mm256_add_epi16(l.odd, t.ub)),
        _mm256_packus_epi16(_mm256_sub_epi16(l.odd, t.gp), _mm256_add_epi16(l.odd, t.vr)));
}

template <bool kStream>
void ColourBlocks(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out, int width,
                  const ColourTables&) {
    for (int j = 0; j < width; j += kBlock) {
        ColourBlock<kStream>(out + 3 * j, ChromaTerms(u + j / 2, v + j / 2), LoadLuma(y + j));
    }
}

template <bool kStream>
void LumaBlocks(const uint8_t* y, uint8_t* out, int width) {
    for (int j = 0; j < width; j += kBlock) {
        const __m256i src[1] = {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(y + j))};
        StoreBgr32<Layout::kPlain1, kStream>(out + 3 * j, src);
    }
}

// One block of 32 chroma-only pixels.
template <bool kStream>
inline void ChromaBlock(uint8_t* out, const Terms& t) {
    const __m256i mid = Set16(128);
    const __m256i b = _mm256_add_epi16(mid, t.ub);
    const __m256i g = _mm256_sub_epi16(mid, t.gp);
    const __m256i r = _mm256_add_epi16(mid, t.vr);
    const __m256i src[2] = {_mm256_packus_epi16(b, g), _mm256_packus_epi16(r, r)};
    StoreBgr32<Layout::kPairs2, kStream>(out, src);
}

template <bool kStream>
void ChromaBlocks(const uint8_t* u, const uint8_t* v, uint8_t* out, int width,
                  const ColourTables&) {
    for (int j = 0; j < width; j += kBlock) {
        ChromaBlock<kStream>(out + 3 * j, ChromaTerms(u + j / 2, v + j / 2));
    }
}

// --- Delta paths: the DeltaFixedPoint steps on 16 differences at a time.

using simd::DeltaSteps;

struct DeltaConstants {
    __m256i mul, mulHigh, limit;
    __m128i preShift, shift;
    __m256i at[DeltaFixedPoint::kMaxExceptions];
    __m256i fix[DeltaFixedPoint::kMaxExceptions];

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

    // t for 16 differences, as a signed 16-bit value.
    template <DeltaSteps kSteps>
    __m256i Map(__m256i d) const {
        if constexpr (kSteps == DeltaSteps::kLinear) {
            return _mm256_mullo_epi16(d, mul);
        }
        __m256i a = _mm256_abs_epi16(d), r;
        if constexpr (kSteps == DeltaSteps::kShiftBefore) {
            r = _mm256_mulhi_epu16(_mm256_sll_epi16(a, preShift), mul);
        } else if constexpr (kSteps == DeltaSteps::kShiftAfter) {
            r = _mm256_srl_epi16(_mm256_mulhi_epu16(a, mul), shift);
        } else {
            a = _mm256_min_epi16(a, limit);
            r = _mm256_srl_epi16(
                _mm256_add_epi16(_mm256_mullo_epi16(a, mulHigh), _mm256_mulhi_epu16(a, mul)),
                shift);
            if constexpr (kSteps == DeltaSteps::kTwoPartExceptions) {
                for (int i = 0; i < DeltaFixedPoint::kMaxExceptions; ++i) {
                    r = _mm256_add_epi16(r, _mm256_and_si256(_mm256_cmpeq_epi16(a, at[i]), fix[i]));
                }
            }
        }
        return _mm256_sign_epi16(r, d);
    }
};

// clamp(t, -128, 127) + 128 for two vectors of mapped values, packed as by packus.
inline __m256i DeltaBytes(__m256i t0, __m256i t1) {
    return _mm256_xor_si256(_mm256_packs_epi16(t0, t1), _mm256_set1_epi8(int8_t(0x80)));
}

// One block of 32 delta pixels from both sides' terms and luma.
template <DeltaSteps kSteps, bool kStream>
inline void ColourDeltaBlock(uint8_t* out, const DeltaConstants& steps, const Terms& tl,
                             const Luma& ll, const Terms& tr, const Luma& lr) {
    auto map = [&](__m256i d) { return steps.Map<kSteps>(d); };
    const __m256i dyEven = _mm256_sub_epi16(ll.even, lr.even);
    const __m256i dyOdd = _mm256_sub_epi16(ll.odd, lr.odd);
    const __m256i db = _mm256_sub_epi16(tl.ub, tr.ub);
    const __m256i dg = _mm256_sub_epi16(tr.gp, tl.gp);
    const __m256i dr = _mm256_sub_epi16(tl.vr, tr.vr);
    StoreEvenOdd32<kStream>(
        out, DeltaBytes(map(_mm256_add_epi16(dyEven, db)), map(_mm256_add_epi16(dyEven, dg))),
        DeltaBytes(map(_mm256_add_epi16(dyEven, dr)), map(_mm256_add_epi16(dyOdd, db))),
        DeltaBytes(map(_mm256_add_epi16(dyOdd, dg)), map(_mm256_add_epi16(dyOdd, dr))));
}

template <DeltaSteps kSteps, bool kStream>
void ColourDeltaBlocks(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl, const uint8_t* yr,
                       const uint8_t* ur, const uint8_t* vr, uint8_t* out, int width,
                       const ColourTables&, const DeltaTable& delta) {
    const DeltaConstants steps(delta.fixed);
    for (int j = 0; j < width; j += kBlock) {
        const int c = j / 2;
        ColourDeltaBlock<kSteps, kStream>(out + 3 * j, steps, ChromaTerms(ul + c, vl + c),
                                          LoadLuma(yl + j), ChromaTerms(ur + c, vr + c),
                                          LoadLuma(yr + j));
    }
}

// Both halves of a dual delta row: the left sequence's terms and luma serve both.
template <DeltaSteps kSteps, bool kStream>
void ColourWithDeltaBlocks(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl,
                           const uint8_t* yr, const uint8_t* ur, const uint8_t* vr, uint8_t* left,
                           uint8_t* right, int width, const ColourTables&,
                           const DeltaTable& delta) {
    const DeltaConstants steps(delta.fixed);
    for (int j = 0; j < width; j += kBlock) {
        const int c = j / 2;
        const Terms tl = ChromaTerms(ul + c, vl + c);
        const Luma ll = LoadLuma(yl + j);
        ColourBlock<kStream>(left + 3 * j, tl, ll);
        ColourDeltaBlock<kSteps, kStream>(right + 3 * j, steps, tl, ll, ChromaTerms(ur + c, vr + c),
                                          LoadLuma(yr + j));
    }
}

template <DeltaSteps kSteps, bool kStream>
void LumaDeltaBlocks(const uint8_t* yl, const uint8_t* yr, uint8_t* out, int width,
                     const DeltaTable& delta) {
    const DeltaConstants steps(delta.fixed);
    auto map = [&](__m256i d) { return steps.Map<kSteps>(d); };
    for (int j = 0; j < width; j += kBlock) {
        const Luma ll = LoadLuma(yl + j), lr = LoadLuma(yr + j);
        const __m256i src[1] = {DeltaBytes(map(_mm256_sub_epi16(ll.even, lr.even)),
                                           map(_mm256_sub_epi16(ll.odd, lr.odd)))};
        StoreBgr32<Layout::kEvenOdd1, kStream>(out + 3 * j, src);
    }
}

template <DeltaSteps kSteps, bool kStream>
inline void ChromaDeltaBlock(uint8_t* out, const DeltaConstants& steps, const Terms& tl,
                             const Terms& tr) {
    const __m256i b = steps.Map<kSteps>(_mm256_sub_epi16(tl.ub, tr.ub));
    const __m256i g = steps.Map<kSteps>(_mm256_sub_epi16(tr.gp, tl.gp));
    const __m256i r = steps.Map<kSteps>(_mm256_sub_epi16(tl.vr, tr.vr));
    const __m256i src[2] = {DeltaBytes(b, g), DeltaBytes(r, r)};
    StoreBgr32<Layout::kPairs2, kStream>(out, src);
}

template <DeltaSteps kSteps, bool kStream>
void ChromaDeltaBlocks(const uint8_t* ul, const uint8_t* vl, const uint8_t* ur, const uint8_t* vr,
                       uint8_t* out, int width, const ColourTables&, const DeltaTable& delta) {
    const DeltaConstants steps(delta.fixed);
    for (int j = 0; j < width; j += kBlock) {
        const int c = j / 2;
        ChromaDeltaBlock<kSteps, kStream>(out + 3 * j, steps, ChromaTerms(ul + c, vl + c),
                                          ChromaTerms(ur + c, vr + c));
    }
}

template <DeltaSteps kSteps, bool kStream>
void ChromaWithDeltaBlocks(const uint8_t* ul, const uint8_t* vl, const uint8_t* ur,
                           const uint8_t* vr, uint8_t* left, uint8_t* right, int width,
                           const ColourTables&, const DeltaTable& delta) {
    const DeltaConstants steps(delta.fixed);
    for (int j = 0; j < width; j += kBlock) {
        const int c = j / 2;
        const Terms tl = ChromaTerms(ul + c, vl + c);
        ChromaBlock<kStream>(left + 3 * j, tl);
        ChromaDeltaBlock<kSteps, kStream>(right + 3 * j, steps, tl, ChromaTerms(ur + c, vr + c));
    }
}

template <bool kStream>
constexpr simd::DeltaVersions<RowColourDeltaFn> kColourDelta = {
    ColourDeltaBlocks<DeltaSteps::kLinear, kStream>,
    ColourDeltaBlocks<DeltaSteps::kShiftBefore, kStream>,
    ColourDeltaBlocks<DeltaSteps::kShiftAfter, kStream>,
    ColourDeltaBlocks<DeltaSteps::kTwoPart, kStream>,
    ColourDeltaBlocks<DeltaSteps::kTwoPartExceptions, kStream>};
template <bool kStream>
constexpr simd::DeltaVersions<RowLumaDeltaFn> kLumaDelta = {
    LumaDeltaBlocks<DeltaSteps::kLinear, kStream>,
    LumaDeltaBlocks<DeltaSteps::kShiftBefore, kStream>,
    LumaDeltaBlocks<DeltaSteps::kShiftAfter, kStream>,
    LumaDeltaBlocks<DeltaSteps::kTwoPart, kStream>,
    LumaDeltaBlocks<DeltaSteps::kTwoPartExceptions, kStream>};
template <bool kStream>
constexpr simd::DeltaVersions<RowChromaDeltaFn> kChromaDelta = {
    ChromaDeltaBlocks<DeltaSteps::kLinear, kStream>,
    ChromaDeltaBlocks<DeltaSteps::kShiftBefore, kStream>,
    ChromaDeltaBlocks<DeltaSteps::kShiftAfter, kStream>,
    ChromaDeltaBlocks<DeltaSteps::kTwoPart, kStream>,
    ChromaDeltaBlocks<DeltaSteps::kTwoPartExceptions, kStream>};

template <bool kStream>
constexpr simd::DeltaVersions<RowColourWithDeltaFn> kColourWithDelta = {
    ColourWithDeltaBlocks<DeltaSteps::kLinear, kStream>,
    ColourWithDeltaBlocks<DeltaSteps::kShiftBefore, kStream>,
    ColourWithDeltaBlocks<DeltaSteps::kShiftAfter, kStream>,
    ColourWithDeltaBlocks<DeltaSteps::kTwoPart, kStream>,
    ColourWithDeltaBlocks<DeltaSteps::kTwoPartExceptions, kStream>};
template <bool kStream>
constexpr simd::DeltaVersions<RowChromaWithDeltaFn> kChromaWithDelta = {
    ChromaWithDeltaBlocks<DeltaSteps::kLinear, kStream>,
    ChromaWithDeltaBlocks<DeltaSteps::kShiftBefore, kStream>,
    ChromaWithDeltaBlocks<DeltaSteps::kShiftAfter, kStream>,
    ChromaWithDeltaBlocks<DeltaSteps::kTwoPart, kStream>,
    ChromaWithDeltaBlocks<DeltaSteps::kTwoPartExceptions, kStream>};

// --- KORVA paths: double precision, each product and sum rounded on its own as in the scalar
// kernel. The limit to 0..255 and truncation are cvttpd followed by saturating packs: the
// values lie within -300..600, where both give the same byte.

// Eight chroma samples (four per half) as doubles u - 128 and v - 128.
struct KorvaChroma {
    __m256d u[2], v[2];
};

inline __m256d Doubles(__m128i int32s) {
    return _mm256_cvtepi32_pd(int32s);
}

inline KorvaChroma ChromaFromWords(__m128i u16, __m128i v16) {
    const __m256i mid = _mm256_set1_epi32(128);
    const __m256i u32 = _mm256_sub_epi32(_mm256_cvtepu16_epi32(u16), mid);
    const __m256i v32 = _mm256_sub_epi32(_mm256_cvtepu16_epi32(v16), mid);
    return {{Doubles(_mm256_castsi256_si128(u32)), Doubles(_mm256_extracti128_si256(u32, 1))},
            {Doubles(_mm256_castsi256_si128(v32)), Doubles(_mm256_extracti128_si256(v32, 1))}};
}

inline KorvaChroma SeparateChroma(const uint8_t* u, const uint8_t* v) {
    const __m128i u8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(u));
    const __m128i v8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v));
    return ChromaFromWords(_mm_cvtepu8_epi16(u8), _mm_cvtepu8_epi16(v8));
}

// u points at 16 bytes U, V, U, V, ...
inline KorvaChroma MultiplexedChroma(const uint8_t* u) {
    const __m128i uv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u));
    return ChromaFromWords(_mm_and_si128(uv, _mm_set1_epi16(0xFF)), _mm_srli_epi16(uv, 8));
}

// Channel values of 16 pixels: [channel][parity][half], four samples per vector.
struct KorvaValues {
    __m256d c[3][2][2];
};

inline KorvaValues KorvaPixels(const uint8_t* y, const KorvaChroma& ch) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
    const __m128i words[2] = {_mm_and_si128(bytes, _mm_set1_epi16(0xFF)), _mm_srli_epi16(bytes, 8)};
    const __m256d kUb = _mm256_set1_pd(2.0279), kUg = _mm256_set1_pd(0.3938);
    const __m256d kVg = _mm256_set1_pd(0.5805), kVr = _mm256_set1_pd(1.1398);
    KorvaValues out;
    for (int h = 0; h < 2; ++h) {
        const __m256d bu = _mm256_mul_pd(kUb, ch.u[h]);
        const __m256d gu = _mm256_mul_pd(kUg, ch.u[h]);
        const __m256d gv = _mm256_mul_pd(kVg, ch.v[h]);
        const __m256d rv = _mm256_mul_pd(kVr, ch.v[h]);
        for (int parity = 0; parity < 2; ++parity) {
            const __m128i w = h == 0 ? words[parity] : _mm_srli_si128(words[parity], 8);
            const __m256d yd = Doubles(_mm_cvtepu16_epi32(w));
            out.c[0][parity][h] = _mm256_add_pd(yd, bu);
            out.c[1][parity][h] = _mm256_sub_pd(_mm256_sub_pd(yd, gu), gv);
            out.c[2][parity][h] = _mm256_add_pd(yd, rv);
        }
    }
    return out;
}

// Eight words (samples 0..7) from two vectors of four doubles, truncated.
inline __m128i TruncatedWords(__m256d lo, __m256d hi) {
    return _mm_packs_epi32(_mm256_cvttpd_epi32(lo), _mm256_cvttpd_epi32(hi));
}

// Words w[channel][parity], clamped to bytes and stored.
inline void StoreKorvaWords(uint8_t* out, const __m128i (&w)[3][2]) {
    StoreEvenOdd16(out, _mm_packus_epi16(w[0][0], w[1][0]), _mm_packus_epi16(w[2][0], w[0][1]),
                   _mm_packus_epi16(w[1][1], w[2][1]));
}

inline void StoreKorva(uint8_t* out, const KorvaValues& p) {
    __m128i w[3][2];
    for (int c = 0; c < 3; ++c) {
        for (int parity = 0; parity < 2; ++parity) {
            w[c][parity] = TruncatedWords(p.c[c][parity][0], p.c[c][parity][1]);
        }
    }
    StoreKorvaWords(out, w);
}

void KorvaSeparateBlocks(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out,
                         int width) {
    for (int j = 0; j < width; j += kKorvaBlock) {
        StoreKorva(out + 3 * j, KorvaPixels(y + j, SeparateChroma(u + j / 2, v + j / 2)));
    }
}

void KorvaMultiplexedBlocks(const uint8_t* y, const uint8_t* u, const uint8_t*, uint8_t* out,
                            int width) {
    for (int j = 0; j < width; j += kKorvaBlock) {
        StoreKorva(out + 3 * j, KorvaPixels(y + j, MultiplexedChroma(u + j)));
    }
}

// clamp(trunc(s x (l - r)) + 128) for a finite s: the product is cut to +-1000 first.
inline void StoreKorvaDelta(uint8_t* out, const KorvaValues& l, const KorvaValues& r,
                            double scale) {
    const __m256d s = _mm256_set1_pd(scale);
    const __m256d lo = _mm256_set1_pd(-1000.0), hi = _mm256_set1_pd(1000.0);
    __m128i words[3][2];
    for (int c = 0; c < 3; ++c) {
        for (int parity = 0; parity < 2; ++parity) {
            __m256d p[2];
            for (int h = 0; h < 2; ++h) {
                p[h] = _mm256_mul_pd(s, _mm256_sub_pd(l.c[c][parity][h], r.c[c][parity][h]));
                p[h] = _mm256_min_pd(_mm256_max_pd(p[h], lo), hi);
            }
            words[c][parity] = _mm_add_epi16(TruncatedWords(p[0], p[1]), _mm_set1_epi16(128));
        }
    }
    StoreKorvaWords(out, words);
}

const KorvaChroma kNoChroma = {};

void KorvaDeltaNoChromaBlocks(const uint8_t* yl, const uint8_t*, const uint8_t*, const uint8_t* yr,
                              const uint8_t*, const uint8_t*, uint8_t* out, int width,
                              double scale) {
    for (int j = 0; j < width; j += kKorvaBlock) {
        StoreKorvaDelta(out + 3 * j, KorvaPixels(yl + j, kNoChroma), KorvaPixels(yr + j, kNoChroma),
                        scale);
    }
}

void KorvaDeltaSeparateBlocks(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl,
                              const uint8_t* yr, const uint8_t* ur, const uint8_t* vr, uint8_t* out,
                              int width, double scale) {
    for (int j = 0; j < width; j += kKorvaBlock) {
        const int c = j / 2;
        StoreKorvaDelta(out + 3 * j, KorvaPixels(yl + j, SeparateChroma(ul + c, vl + c)),
                        KorvaPixels(yr + j, SeparateChroma(ur + c, vr + c)), scale);
    }
}

void KorvaDeltaMultiplexedBlocks(const uint8_t* yl, const uint8_t* ul, const uint8_t*,
                                 const uint8_t* yr, const uint8_t* ur, const uint8_t*, uint8_t* out,
                                 int width, double scale) {
    for (int j = 0; j < width; j += kKorvaBlock) {
        StoreKorvaDelta(out + 3 * j, KorvaPixels(yl + j, MultiplexedChroma(ul + j)),
                        KorvaPixels(yr + j, MultiplexedChroma(ur + j)), scale);
    }
}

// --- Streaming: rows that start on a 32-byte boundary are written with non-temporal stores and
// fenced, so that the row is in memory before the conversion reports back; other rows take the
// regular kernels.

inline bool Aligned32(const uint8_t* p) {
    return (reinterpret_cast<uintptr_t>(p) & 31) == 0;
}

template <RowColourFn kRegular, RowColourFn kStreaming>
void StreamColour(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out, int width,
                  const ColourTables& t) {
    (Aligned32(out) ? kStreaming : kRegular)(y, u, v, out, width, t);
    _mm_sfence();
}

template <RowLumaFn kRegular, RowLumaFn kStreaming>
void StreamLuma(const uint8_t* y, uint8_t* out, int width) {
    (Aligned32(out) ? kStreaming : kRegular)(y, out, width);
    _mm_sfence();
}

template <RowChromaFn kRegular, RowChromaFn kStreaming>
void StreamChroma(const uint8_t* u, const uint8_t* v, uint8_t* out, int width,
                  const ColourTables& t) {
    (Aligned32(out) ? kStreaming : kRegular)(u, v, out, width, t);
    _mm_sfence();
}

template <RowColourDeltaFn kRegular, RowColourDeltaFn kStreaming>
void StreamColourDelta(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl, const uint8_t* yr,
                       const uint8_t* ur, const uint8_t* vr, uint8_t* out, int width,
                       const ColourTables& t, const DeltaTable& delta) {
    (Aligned32(out) ? kStreaming : kRegular)(yl, ul, vl, yr, ur, vr, out, width, t, delta);
    _mm_sfence();
}

template <RowLumaDeltaFn kRegular, RowLumaDeltaFn kStreaming>
void StreamLumaDelta(const uint8_t* yl, const uint8_t* yr, uint8_t* out, int width,
                     const DeltaTable& delta) {
    (Aligned32(out) ? kStreaming : kRegular)(yl, yr, out, width, delta);
    _mm_sfence();
}

template <RowChromaDeltaFn kRegular, RowChromaDeltaFn kStreaming>
void StreamChromaDelta(const uint8_t* ul, const uint8_t* vl, const uint8_t* ur, const uint8_t* vr,
                       uint8_t* out, int width, const ColourTables& t, const DeltaTable& delta) {
    (Aligned32(out) ? kStreaming : kRegular)(ul, vl, ur, vr, out, width, t, delta);
    _mm_sfence();
}

template <RowColourWithDeltaFn kRegular, RowColourWithDeltaFn kStreaming>
void StreamColourWithDelta(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl,
                           const uint8_t* yr, const uint8_t* ur, const uint8_t* vr, uint8_t* left,
                           uint8_t* right, int width, const ColourTables& t,
                           const DeltaTable& delta) {
    (Aligned32(left) && Aligned32(right) ? kStreaming : kRegular)(yl, ul, vl, yr, ur, vr, left,
                                                                  right, width, t, delta);
    _mm_sfence();
}

template <RowChromaWithDeltaFn kRegular, RowChromaWithDeltaFn kStreaming>
void StreamChromaWithDelta(const uint8_t* ul, const uint8_t* vl, const uint8_t* ur,
                           const uint8_t* vr, uint8_t* left, uint8_t* right, int width,
                           const ColourTables& t, const DeltaTable& delta) {
    (Aligned32(left) && Aligned32(right) ? kStreaming : kRegular)(ul, vl, ur, vr, left, right,
                                                                  width, t, delta);
    _mm_sfence();
}

template <bool kStream>
constexpr RowColourFn kColour = simd::ColourAny<kBlock, ColourBlocks<kStream>>;
template <bool kStream>
constexpr RowLumaFn kLuma = simd::LumaAny<kBlock, LumaBlocks<kStream>>;
template <bool kStream>
constexpr RowChromaFn kChroma = simd::ChromaAny<kBlock, ChromaBlocks<kStream>>;
template <bool kStream>
constexpr RowColourDeltaFn kColourDeltaAny = simd::ColourDeltaAny<kBlock, kColourDelta<kStream>>;
template <bool kStream>
constexpr RowLumaDeltaFn kLumaDeltaAny = simd::LumaDeltaAny<kBlock, kLumaDelta<kStream>>;
template <bool kStream>
constexpr RowChromaDeltaFn kChromaDeltaAny = simd::ChromaDeltaAny<kBlock, kChromaDelta<kStream>>;

template <bool kStream>
constexpr RowColourWithDeltaFn kColourWithDeltaAny =
    simd::ColourWithDeltaAny<kBlock, kColour<kStream>, kColourDeltaAny<kStream>,
                             kColourWithDelta<kStream>>;
template <bool kStream>
constexpr RowChromaWithDeltaFn kChromaWithDeltaAny =
    simd::ChromaWithDeltaAny<kBlock, kChroma<kStream>, kChromaDeltaAny<kStream>,
                             kChromaWithDelta<kStream>>;

constexpr RowKorvaFn kKorva =
    simd::KorvaAny<kKorvaBlock, KorvaSeparateBlocks, KorvaMultiplexedBlocks, kLuma<false>>;
constexpr RowKorvaDeltaFn kKorvaDelta =
    simd::KorvaDeltaAny<kKorvaBlock, KorvaDeltaSeparateBlocks, KorvaDeltaMultiplexedBlocks,
                        KorvaDeltaNoChromaBlocks>;

}  // namespace

constinit const ConversionKernels kAvx2Kernels = {
    "avx2",
    kColour<false>,
    kLuma<false>,
    kChroma<false>,
    kColourDeltaAny<false>,
    kLumaDeltaAny<false>,
    kChromaDeltaAny<false>,
    kKorva,
    kKorvaDelta,
    kColourWithDeltaAny<false>,
    kChromaWithDeltaAny<false>,
};

constinit const ConversionKernels kAvx2StreamingKernels = {
    "avx2",
    StreamColour<kColour<false>, kColour<true>>,
    StreamLuma<kLuma<false>, kLuma<true>>,
    StreamChroma<kChroma<false>, kChroma<true>>,
    StreamColourDelta<kColourDeltaAny<false>, kColourDeltaAny<true>>,
    StreamLumaDelta<kLumaDeltaAny<false>, kLumaDeltaAny<true>>,
    StreamChromaDelta<kChromaDeltaAny<false>, kChromaDeltaAny<true>>,
    kKorva,
    kKorvaDelta,
    StreamColourWithDelta<kColourWithDeltaAny<false>, kColourWithDeltaAny<true>>,
    StreamChromaWithDelta<kChromaWithDeltaAny<false>, kChromaWithDeltaAny<true>>,
};

}  // namespace engine
