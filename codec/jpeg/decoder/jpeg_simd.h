// Function multi-versioning for the decoder's vector loops: on x86-64 the marked functions are built for
// the baseline instruction set and for AVX2, and the loader picks the best the processor has. Both
// versions come from the same integer source, so they give identical results. Elsewhere the attribute
// is empty.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#define ZC_JPEGDEC_MULTIVERSION __attribute__((target_clones("avx2", "default")))
#else
#define ZC_JPEGDEC_MULTIVERSION
#endif
