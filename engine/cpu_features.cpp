#include "engine/cpu_features.h"

#include <cstring>

namespace engine {

CpuLevel DetectCpuLevel() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    // libgcc reports avx2 only when the operating system saves the ymm registers.
    if (__builtin_cpu_supports("avx2")) {
        return CpuLevel::kAvx2;
    }
    if (__builtin_cpu_supports("sse2")) {
        return CpuLevel::kSse2;
    }
#endif
    return CpuLevel::kC;
}

CpuLevel ChooseCpuLevel(CpuLevel detected, const char* pixloomCpu) {
    if (pixloomCpu == nullptr) {
        return detected;
    }
    CpuLevel wanted = detected;
    if (std::strcmp(pixloomCpu, "c") == 0) {
        wanted = CpuLevel::kC;
    } else if (std::strcmp(pixloomCpu, "sse2") == 0) {
        wanted = CpuLevel::kSse2;
    } else if (std::strcmp(pixloomCpu, "avx2") == 0) {
        wanted = CpuLevel::kAvx2;
    }
    return wanted < detected ? wanted : detected;
}

const char* CpuLevelName(CpuLevel level) {
    switch (level) {
        case CpuLevel::kSse2:
            return "sse2";
        case CpuLevel::kAvx2:
            return "avx2";
        case CpuLevel::kC:
            break;
    }
    return "c";
}

}  // namespace engine
