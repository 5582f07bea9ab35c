// CPUID-based processor tests.
#include "cpu_features.h"

#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace zc::jpeg {

int CpuHasMmx() {
  static const int has_mmx = [] {
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx)) return 0;
    char vendor[13];
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
    vendor[12] = '\0';
    if (std::strcmp(vendor, "GenuineIntel") != 0 || eax < 1) return 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return 0;
    return (edx >> 23) & 1 ? 1 : 0;
#else
    return 0;
#endif
  }();
  return has_mmx;
}

const TransformKernels& ActiveKernels() {
  const char* force = std::getenv(kForceScalarEnv);
  const bool scalar = force != nullptr && force[0] != '\0' && std::strcmp(force, "0") != 0;
  const TransformKernels* simd = SimdKernels();
  return (scalar || simd == nullptr) ? ScalarKernels() : *simd;
}

}  // namespace zc::jpeg
