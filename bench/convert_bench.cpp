// Frame conversion speed: ConvertFrame per path and picture size, in frames per second
// (items_per_second, wall time). Each path also runs through the scalar kernels with the same
// walk, and the colour path is compared with libyuv's I420ToRGB24 and swscale's
// yuv420p -> bgr24 on the same frame when the build found them (counters vs_libyuv and
// vs_swscale: our frames per second over theirs). ConvertFrame splits large pictures over every
// processor; PIXLOOM_THREADS=1 measures one thread, PIXLOOM_CPU=c|sse2 other kernels.
#include <benchmark/benchmark.h>
#include <emmintrin.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>

#include "engine/frame_conversion.h"
#include "engine/row_bands.h"
#include "engine/sequence_display.h"

#ifdef PIXLOOM_BENCH_LIBYUV
#include <libyuv/convert_argb.h>
#endif
#ifdef PIXLOOM_BENCH_SWSCALE
extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}
#endif

// Counts C++ allocations so that a conversion that allocates per frame shows up.
static std::size_t gAllocations = 0;

void* operator new(std::size_t n) {
    ++gAllocations;
    if (void* p = std::malloc(n == 0 ? 1 : n)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

enum class Path { kColour, kLuma, kChroma, kDual, kDelta, kKorvaProgressive, kKorvaInterlaced };

const char* PathName(Path p) {
    switch (p) {
        case Path::kColour:
            return "colour";
        case Path::kLuma:
            return "y";
        case Path::kChroma:
            return "uv";
        case Path::kDual:
            return "dual";
        case Path::kDelta:
            return "delta";
        case Path::kKorvaProgressive:
            return "korva_progressive";
        case Path::kKorvaInterlaced:
            return "korva_interlaced";
    }
    return "?";
}

void FillRandom(engine::FrameBuffer& b, uint32_t seed) {
    std::mt19937 rng(seed);
    for (size_t i = 0; i < b.size(); ++i) {
        b.data()[i] = uint8_t(rng() >> 24);
    }
}

// An engine set up for one path at w x h, with random frames in its buffers.
bool Prepare(engine::CSequenceDisplay& d, Path path, int w, int h, engine::FrameValues& values) {
    d.mainFrame = &values;
    // PIXLOOM_BENCH_DELTA_SCALE picks the delta scale (default 2): integer scales, most
    // decimal ones and the few that need exceptions take different vector steps.
    const char* scale = std::getenv("PIXLOOM_BENCH_DELTA_SCALE");
    values.deltaScale = scale != nullptr ? std::atof(scale) : 2.0;
    d.dual = path == Path::kDual || path == Path::kDelta;
    d.deltaMode = path == Path::kDelta;
    d.showY = path != Path::kChroma;
    d.showUV = path != Path::kLuma;
    if (path == Path::kKorvaProgressive || path == Path::kKorvaInterlaced) {
        // The two supported KORVA layouts with 4:2:0 chroma.
        const bool interlaced = path == Path::kKorvaInterlaced;
        d.isKorva = 1;
        d.width = w;
        d.height = h;
        d.yStride = w;
        d.cStride = w / 2;
        d.uvMultiplexed = interlaced;
        d.header.componentCount = interlaced ? 2 : 3;
        d.header.interlaceFactor = interlaced ? 2 : 1;
        d.header.frameHeaderRecords = interlaced ? 1 : 0;
        d.header.components[1].verticalFactor = interlaced ? 1 : 2;
        const int lines = interlaced ? h / 2 : h;
        d.ySize = w * lines;
        d.cSize = interlaced ? (w / 2) * lines : (w / 2) * (h / 2);
        if (!d.AllocateBuffers()) {
            return false;
        }
    } else {
        d.defaultWidth = w;
        d.defaultHeight = h;
        if (!d.SetupGeometry()) {
            return false;
        }
    }
    FillRandom(d.leftFrame, 1);
    if (d.dual) {
        FillRandom(d.rightFrame, 2);
    }
    return true;
}

// The conversion's raw and KORVA walks through a given kernel table; used to time the scalar
// kernels while ConvertFrame uses the kernels chosen for the processor.
void ConvertWith(const engine::ConversionKernels& k, engine::CSequenceDisplay& d,
                 engine::DeltaTable& delta) {
    const int w = d.width, h = d.height;
    const size_t rowBytes = size_t(d.dual ? 2 : 1) * size_t(w) * 3, half = size_t(w) * 3;
    const uint8_t* L = d.leftFrame.data();
    const uint8_t* R = d.dual ? d.rightFrame.data() : nullptr;
    uint8_t* out = d.rgbBuffer.data();
    if (d.isKorva) {
        const int H = d.header.frameHeaderRecords * 64;
        const int cvf = d.header.chromaVerticalFactor();
        if (d.uvMultiplexed) {
            const int f2 = H + d.ySize + 2 * d.cSize;
            int y1 = H + d.ySize - d.yStride, y2 = f2 + d.ySize - d.yStride;
            int c1 = H + d.ySize + 2 * d.cSize - 2 * d.cStride;
            int c2 = f2 + d.ySize + 2 * d.cSize - 2 * d.cStride;
            for (int i = 0; i < h / 2; ++i) {
                k.korva(L + y1, L + c1, L + c1 + 1, 2, out + size_t(2 * i) * rowBytes, w);
                k.korva(L + y2, L + c2, L + c2 + 1, 2, out + size_t(2 * i + 1) * rowBytes, w);
                y1 -= w;
                y2 -= w;
                const int back = (i & 1) ? 4 * d.cStride : (4 / cvf) * d.cStride;
                c1 += 2 * (w / 2) - back;
                c2 += 2 * (w / 2) - back;
            }
            return;
        }
        int y = H + d.ySize - d.yStride, u = H + d.ySize + d.cSize - d.cStride,
            v = H + d.ySize + 2 * d.cSize - d.cStride;
        for (int r = 0; r < h; ++r) {
            k.korva(L + y, L + u, L + v, 1, out + size_t(r) * rowBytes, w);
            y -= w;
            const int back = (r & 1) ? 2 * d.cStride : (2 / cvf) * d.cStride;
            u += w / 2 - back;
            v += w / 2 - back;
        }
        return;
    }
    const engine::ColourTables t{d.tabVR, d.tabUG, d.tabVG, d.tabUB};
    if (!delta.valid) {
        delta.Build(d.DeltaScale());
    }
    const bool luma = d.showY && !d.showUV, chroma = !d.showY && d.showUV;
    for (int r = 0; r < h; ++r) {
        const int yPos = d.ySize - d.yStride - r * w;
        const int cPos = d.cSize - d.cStride - (r / 2) * d.cStride;
        const uint8_t *yl = L + yPos, *ul = L + d.ySize + cPos, *vl = L + d.ySize + d.cSize + cPos;
        if (luma) {
            k.luma(yl, out, w);
        } else if (chroma) {
            k.chroma(ul, vl, out, w, t);
        } else {
            k.colour(yl, ul, vl, out, w, t);
        }
        if (R != nullptr) {
            const uint8_t *yr = R + yPos, *ur = R + d.ySize + cPos,
                          *vr = R + d.ySize + d.cSize + cPos;
            if (d.deltaMode) {
                k.colourDelta(yl, ul, vl, yr, ur, vr, out + half, w, t, delta);
            } else {
                k.colour(yr, ur, vr, out + half, w, t);
            }
        }
        out += rowBytes;
    }
}

// C++ allocations per conversion, over a few conversions outside the timed loop.
template <typename Fn>
double AllocationsPerFrame(Fn&& fn) {
    fn();
    const std::size_t before = gAllocations;
    for (int i = 0; i < 4; ++i) {
        fn();
    }
    return double(gAllocations - before) / 4.0;
}

void BM_ConvertFrame(benchmark::State& state, Path path) {
    const int w = int(state.range(0)), h = int(state.range(1));
    engine::CSequenceDisplay d;
    engine::FrameValues values;
    if (!Prepare(d, path, w, h, values)) {
        state.SkipWithError("no buffers");
        return;
    }
    const double allocations = AllocationsPerFrame([&] { d.ConvertFrame(); });
    for (auto _ : state) {
        d.ConvertFrame();
        benchmark::DoNotOptimize(d.rgbBuffer.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.counters["allocs_per_frame"] = allocations;
    state.SetLabel(engine::ActiveKernels().name);
}

void BM_ScalarKernels(benchmark::State& state, Path path) {
    const int w = int(state.range(0)), h = int(state.range(1));
    engine::CSequenceDisplay d;
    engine::FrameValues values;
    engine::DeltaTable delta;
    if (!Prepare(d, path, w, h, values)) {
        state.SkipWithError("no buffers");
        return;
    }
    const engine::ConversionKernels& k = engine::ScalarKernels();
    const double allocations = AllocationsPerFrame([&] { ConvertWith(k, d, delta); });
    for (auto _ : state) {
        ConvertWith(k, d, delta);
        benchmark::DoNotOptimize(d.rgbBuffer.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.counters["allocs_per_frame"] = allocations;
    state.SetLabel(k.name);
}

// Frames per second of fn over at least 0.2 s.
template <typename Fn>
double FramesPerSecond(Fn&& fn) {
    using Clock = std::chrono::steady_clock;
    fn();
    int64_t frames = 0;
    const auto start = Clock::now();
    double seconds = 0.0;
    do {
        fn();
        ++frames;
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    } while (seconds < 0.2);
    return double(frames) / seconds;
}

// The colour path on one frame, against the outside converters where present.
void BM_ColourAgainstOthers(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    engine::CSequenceDisplay d;
    engine::FrameValues values;
    if (!Prepare(d, Path::kColour, w, h, values)) {
        state.SkipWithError("no buffers");
        return;
    }
    const uint8_t* y = d.leftFrame.data();
    const uint8_t* u = y + d.ySize;
    const uint8_t* v = u + d.cSize;
    uint8_t* out = d.rgbBuffer.data();
    const int stride = w * 3;
    // Bottom-up output, as our picture is.
    uint8_t* lastRow = out + size_t(h - 1) * size_t(stride);
    const double ours = FramesPerSecond([&] { d.ConvertFrame(); });
    (void)y, (void)u, (void)v, (void)lastRow, (void)stride;
#ifdef PIXLOOM_BENCH_LIBYUV
    const double yuvFps =
        FramesPerSecond([&] { libyuv::I420ToRGB24(y, w, u, w / 2, v, w / 2, out, stride, w, -h); });
    state.counters["libyuv_fps"] = yuvFps;
    state.counters["vs_libyuv"] = ours / yuvFps;
#endif
#ifdef PIXLOOM_BENCH_SWSCALE
    SwsContext* sws = sws_getContext(w, h, AV_PIX_FMT_YUV420P, w, h, AV_PIX_FMT_BGR24, SWS_POINT,
                                     nullptr, nullptr, nullptr);
    if (sws != nullptr) {
        const uint8_t* src[4] = {y, u, v, nullptr};
        const int srcStride[4] = {w, w / 2, w / 2, 0};
        uint8_t* dst[4] = {lastRow, nullptr, nullptr, nullptr};
        const int dstStride[4] = {-stride, 0, 0, 0};
        const double swsFps =
            FramesPerSecond([&] { sws_scale(sws, src, srcStride, 0, h, dst, dstStride); });
        sws_freeContext(sws);
        state.counters["swscale_fps"] = swsFps;
        state.counters["vs_swscale"] = ours / swsFps;
    }
#endif
    for (auto _ : state) {
        d.ConvertFrame();
        benchmark::DoNotOptimize(d.rgbBuffer.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.counters["ours_fps"] = ours;
}

// The read-input/write-output floor of the colour path: every byte of the frame's planes loaded
// and every byte of the picture stored past the cache (16-byte non-temporal stores), in the same
// row bands and threads as ConvertFrame (every processor unless PIXLOOM_THREADS limits them).
// Counters: the fastest frame of each over 30 taken in turn, and colour_over_floor, their ratio.
void BM_ReadWriteFloor(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    engine::CSequenceDisplay d;
    engine::FrameValues values;
    if (!Prepare(d, Path::kColour, w, h, values)) {
        state.SkipWithError("no buffers");
        return;
    }
    const size_t in = size_t(d.frameBytes), out = d.rgbBuffer.size();
    // Band [begin, end) of h covers the same share of the planes and of the picture, cut at
    // 16-byte boundaries (both buffers are 64-byte aligned).
    auto cut = [&](size_t bytes, int row) {
        return row == h ? bytes / 16 * 16 : bytes * size_t(row) / size_t(h) / 16 * 16;
    };
    auto band = [&](int begin, int end) {
        __m128i sum = _mm_setzero_si128();
        const uint8_t* src = d.leftFrame.data();
        for (size_t i = cut(in, begin), inEnd = cut(in, end); i < inEnd; i += 16) {
            sum = _mm_xor_si128(sum, _mm_load_si128(reinterpret_cast<const __m128i*>(src + i)));
        }
        uint8_t* dst = d.rgbBuffer.data();
        for (size_t o = cut(out, begin), outEnd = cut(out, end); o < outEnd; o += 16) {
            _mm_stream_si128(reinterpret_cast<__m128i*>(dst + o), sum);
        }
        _mm_sfence();
    };
    auto floor = [&] { engine::ConversionBands().Run(h, 2, 1, band); };
    // Fastest single frames of each, taken in turn: steady on a busy machine.
    using Clock = std::chrono::steady_clock;
    auto seconds = [](auto&& fn) {
        const auto start = Clock::now();
        fn();
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    double colourBest = 1e9, floorBest = 1e9;
    for (int i = 0; i < 30; ++i) {
        colourBest = std::min(colourBest, seconds([&] { d.ConvertFrame(); }));
        floorBest = std::min(floorBest, seconds(floor));
    }
    for (auto _ : state) {
        floor();
        benchmark::DoNotOptimize(d.rgbBuffer.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.counters["colour_over_floor"] = colourBest / floorBest;
    state.counters["floor_best_us"] = floorBest * 1e6;
    state.counters["colour_best_us"] = colourBest * 1e6;
    state.counters["threads"] = engine::ConversionBands().workers() + 1;
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({176, 144})->Args({352, 288})->Args({1920, 1080})->Args({3840, 2160});
    b->UseRealTime()->Unit(benchmark::kMicrosecond);
}

const Path kPaths[] = {Path::kColour,         Path::kDual,   Path::kDelta,
                       Path::kLuma,           Path::kChroma, Path::kKorvaProgressive,
                       Path::kKorvaInterlaced};

const bool kRegistered = [] {
    for (Path p : kPaths) {
        const std::string name = PathName(p);
        benchmark::RegisterBenchmark(("ConvertFrame/" + name).c_str(), BM_ConvertFrame, p)
            ->Apply(Sizes);
        benchmark::RegisterBenchmark(("ScalarKernels/" + name).c_str(), BM_ScalarKernels, p)
            ->Apply(Sizes);
    }
    benchmark::RegisterBenchmark("ColourAgainstOthers", BM_ColourAgainstOthers)->Apply(Sizes);
    benchmark::RegisterBenchmark("ReadWriteFloor", BM_ReadWriteFloor)->Apply(Sizes);
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
