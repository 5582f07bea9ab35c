// Processor tests of the JPEG codec: the once-per-process MMX test that sets the descriptors' fast transform
// flag, and the choice of the kernel set. The kernels are chosen by the processor's SIMD features alone;
// since both sets give identical bytes, neither the flag nor the processor's vendor changes any output.
#pragma once

#include "transform_kernels.h"

namespace zc::jpeg {

// 1 when CPUID reports the vendor "GenuineIntel" and the MMX feature bit (leaf 1, EDX bit 23), else 0.
// Evaluated once per process.
int CpuHasMmx();

// Environment variable that forces the scalar kernels when set to a non-empty value other than "0".
inline constexpr const char* kForceScalarEnv = "ZC_JPEG_FORCE_SCALAR";

// The SIMD kernels when the processor has them and the environment does not force scalar; read at each
// compression start, so a test can switch paths between runs.
const TransformKernels& ActiveKernels();

}  // namespace zc::jpeg
