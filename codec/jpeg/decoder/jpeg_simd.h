// Function multi-versioning for the decoder's vector loops: on x86-64 the marked functions are built for
// the baseline instruction set and for AVX2, and the loader picks the best the processor has. Both
// versions come from the same integer source, so they give identical results. Elsewhere the attribute
// is empty. ThreadSanitizer builds take the baseline only: the loader runs the version resolver before
// the sanitizer's runtime is up, and an instrumented resolver crashes there.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define ZC_JPEGDEC_NO_MULTIVERSION 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZC_JPEGDEC_NO_MULTIVERSION 1
#endif
#endif

#if defined(__x86_64__) && defined(__GNUC__) && !defined(ZC_JPEGDEC_NO_MULTIVERSION)
#define ZC_JPEGDEC_MULTIVERSION __attribute__((target_clones("avx2", "default")))
#else
#define ZC_JPEGDEC_MULTIVERSION
#endif

#if defined(__x86_64__) && defined(__GNUC__)
namespace zc::jpegdec {
// Whether the processor runs AVX2, asked once; for loops written with intrinsics, which the multi-versioning
// above cannot pick.
inline bool CpuHasAvx2() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}
}  // namespace zc::jpegdec
#endif
