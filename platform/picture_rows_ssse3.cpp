// SSSE3 twins of the drawing path's row kernels: 16 pixels (48 bytes) per step, four byte
// shuffles of four pixels each. Reads exactly the 3 n bytes of the pixels asked for.
#include <tmmintrin.h>

#include "platform/picture_rows.h"

namespace platform {

namespace {

// Four blue-green-red pixels in bytes 0..11 of each block to 0xffRRGGBB words.
struct FourPixels {
    __m128i shuffle = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    __m128i alpha = _mm_set1_epi32(int(0xff000000u));
    __m128i operator()(__m128i bytes) const {
        return _mm_or_si128(_mm_shuffle_epi8(bytes, shuffle), alpha);
    }
};

// The 16 pixels at src, as four groups of four, each in bytes 0..11.
inline void LoadSixteen(const uint8_t* src, __m128i group[4]) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
    group[0] = a;
    group[1] = _mm_alignr_epi8(b, a, 12);
    group[2] = _mm_alignr_epi8(c, b, 8);
    group[3] = _mm_srli_si128(c, 4);
}

}  // namespace

void DrawRowBgrToXrgb_SSSE3(const uint8_t* src, uint32_t* dst, int n) {
    const FourPixels convert;
    for (int i = 0; i < n; i += kRowBlock, src += 3 * kRowBlock, dst += kRowBlock) {
        __m128i group[4];
        LoadSixteen(src, group);
        for (int g = 0; g < 4; ++g) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * g), convert(group[g]));
        }
    }
}

void DrawRowBgrToXrgbDoubled_SSSE3(const uint8_t* src, uint32_t* dst, int n) {
    const FourPixels convert;
    for (int i = 0; i < n; i += kRowBlock, src += 3 * kRowBlock, dst += 2 * kRowBlock) {
        __m128i group[4];
        LoadSixteen(src, group);
        for (int g = 0; g < 4; ++g) {
            const __m128i p = convert(group[g]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 8 * g), _mm_unpacklo_epi32(p, p));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 8 * g + 4), _mm_unpackhi_epi32(p, p));
        }
    }
}

}  // namespace platform
