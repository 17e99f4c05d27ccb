// The instruction sets the conversion kernels may use, detected once per process.
#pragma once

namespace engine {

enum class CpuLevel { kC, kSse2, kAvx2 };

// What the processor (and the operating system's saved vector state) supports.
CpuLevel DetectCpuLevel();

// The level to use: the detected one, lowered by a PIXLOOM_CPU value of "c" (scalar kernels)
// or "sse2". A value naming more than the processor has, or an unknown value, changes nothing.
CpuLevel ChooseCpuLevel(CpuLevel detected, const char* pixloomCpu);

const char* CpuLevelName(CpuLevel level);

}  // namespace engine
