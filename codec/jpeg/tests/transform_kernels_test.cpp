// Pixel arithmetic of the compressor: colour conversion values, DCT and quantisation of known blocks, the
// reciprocal quantiser against plain division, and the SIMD kernels against the scalar reference.
#include "codec/jpeg/transform_kernels.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "codec/jpeg/color_convert.h"
#include "codec/jpeg/cpu_features.h"
#include "codec/jpeg/jpeg_tables.h"
#include "codec/jpeg/quantize.h"

namespace zc::jpeg {
namespace {

TEST(JpegColour, KnownPixelsAndPalettes) {
  struct Case {
    uint8_t r, g, b, y, cb, cr;
  } cases[] = {{255, 255, 255, 255, 128, 128},
               {0, 0, 0, 0, 128, 128},
               {255, 0, 0, 76, 85, 255},
               {0, 0, 255, 29, 255, 107}};
  for (const Case& c : cases) {
    const uint8_t rgb[3] = {c.r, c.g, c.b};
    uint8_t y, cb, cr;
    RgbToYccScalar(rgb, 1, &y, &cb, &cr);
    EXPECT_EQ(y, c.y);
    EXPECT_EQ(cb, c.cb);
    EXPECT_EQ(cr, c.cr);
  }
  std::vector<uint8_t> palette(768, 200);
  const PaletteLookup lut = MakePaletteLookup(palette.data(), 16);
  EXPECT_EQ(lut.y[15], 200);
  for (int i = 16; i < 256; ++i) EXPECT_EQ(lut.y[i] | lut.cb[i] | lut.cr[i], 0) << i;
  // A gray ramp gives Y equal to the index.
  for (int i = 0; i < 256; ++i) EXPECT_EQ(LumaOf(i, i, i), i);
}

std::vector<const TransformKernels*> AllKernels() {
  std::vector<const TransformKernels*> all = SupportedSimdKernels();
  all.insert(all.begin(), &ScalarKernels());
  return all;
}

TEST(JpegTransform, UniformBlocks) {
  for (const TransformKernels* k : AllKernels()) {
    std::vector<uint8_t> plane(64, 128);
    int16_t block[64];
    k->fetch_1x1(plane.data(), 8, block);
    k->forward_dct(block);
    for (int16_t v : block) EXPECT_EQ(v, 0) << k->name;

    std::fill(plane.begin(), plane.end(), 255);
    k->fetch_1x1(plane.data(), 8, block);
    k->forward_dct(block);
    EXPECT_EQ(block[0], 8128) << k->name;  // 64 x 127
    for (int i = 1; i < 64; ++i) EXPECT_EQ(block[i], 0) << k->name;
    int16_t q[64];
    k->quantize(block, MakeQuantDivisors(ScaleQuantTable(kLuminanceQuantBase, 75)), q);
    EXPECT_EQ(q[0], 127) << k->name;
  }
}

TEST(JpegTransform, ReciprocalQuantisationEqualsDivision) {
  // Every divisor the 8-bit tables can produce, every magnitude a 16-bit coefficient can have.
  QuantDivisors d;
  int16_t in[64], out[64];
  for (int base = 1; base <= 2830; base += 1) {
    for (int k = 0; k < 64; ++k) {
      const uint16_t div = static_cast<uint16_t>(base + k < 2900 ? base + k : base);
      d.divisor[k] = div;
      d.half[k] = static_cast<uint16_t>(div >> 1);
      d.reciprocal[k] = static_cast<uint16_t>(div == 1 ? 65535 : 65536 / div);
    }
    for (int x : {0, 1, -1, base / 2, base / 2 + 1, -(base / 2), base, -base, 3 * base - 1, 32767, -32767,
                  -32768, 12345, -20001}) {
      for (int k = 0; k < 64; ++k) in[k] = static_cast<int16_t>(x + k);
      QuantizeScalar(in, d, out);
      for (int k = 0; k < 64; ++k)
        ASSERT_EQ(out[k], QuantizeReference(in[k], d.divisor[k])) << in[k] << "/" << d.divisor[k];
      for (const TransformKernels* simd : SupportedSimdKernels()) {
        int16_t simd_out[64];
        simd->quantize(in, d, simd_out);
        for (int k = 0; k < 64; ++k) ASSERT_EQ(simd_out[k], out[k]) << in[k] << "/" << d.divisor[k];
      }
    }
  }
}

void CompareWithScalar(const TransformKernels& simd_kernels) {
  const TransformKernels* simd = &simd_kernels;
  const TransformKernels& ref = ScalarKernels();
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> byte(0, 255);
  const QuantDivisors divs[2] = {MakeQuantDivisors(ScaleQuantTable(kLuminanceQuantBase, 90)),
                                 MakeQuantDivisors(ScaleQuantTable(kChrominanceQuantBase, 20))};
  std::vector<uint8_t> plane(16 * 16);
  for (int iter = 0; iter < 20000; ++iter) {
    // Random, extreme (0/255 checkerboards) and smooth planes.
    const int kind = iter % 3;
    for (size_t i = 0; i < plane.size(); ++i) {
      plane[i] = kind == 0   ? byte(rng)
                 : kind == 1 ? (((i + i / 16 + iter) & 1) ? 255 : 0)
                             : (i * 3 + iter) & 0xFF;
    }
    int16_t a[64], b[64], qa[64], qb[64];
    ref.fetch_1x1(plane.data(), 16, a);
    simd->fetch_1x1(plane.data(), 16, b);
    ASSERT_EQ(0, memcmp(a, b, sizeof a));
    ref.fetch_2x2(plane.data(), 16, a);
    simd->fetch_2x2(plane.data(), 16, b);
    ASSERT_EQ(0, memcmp(a, b, sizeof a));
    ref.forward_dct(a);
    simd->forward_dct(b);
    ASSERT_EQ(0, memcmp(a, b, sizeof a)) << iter;
    ref.quantize(a, divs[iter & 1], qa);
    simd->quantize(b, divs[iter & 1], qb);
    ASSERT_EQ(0, memcmp(qa, qb, sizeof qa)) << iter;
    simd->encode_block_2x2(plane.data(), 16, divs[iter & 1], qb);
    ASSERT_EQ(0, memcmp(qa, qb, sizeof qa)) << iter;
    ref.encode_block_1x1(plane.data() + 8 * 16 + 8, 16, divs[iter & 1], qa);
    simd->encode_block_1x1(plane.data() + 8 * 16 + 8, 16, divs[iter & 1], qb);
    ASSERT_EQ(0, memcmp(qa, qb, sizeof qa)) << iter;
    if (simd->encode_pair_1x1 && simd->encode_pair_2x2) {
      // Two blocks at once: each as the scalar kernel gives it alone (the second block is the first
      // plane's mirror image, so the two differ).
      std::vector<uint8_t> mirror(plane.rbegin(), plane.rend());
      int16_t pa[64], pb[64], ra[64], rb[64];
      ref.encode_block_1x1(plane.data() + 8, 16, divs[iter & 1], ra);
      ref.encode_block_1x1(mirror.data() + 8 * 16, 16, divs[iter & 1], rb);
      simd->encode_pair_1x1(plane.data() + 8, mirror.data() + 8 * 16, 16, divs[iter & 1], pa, pb);
      ASSERT_EQ(0, memcmp(ra, pa, sizeof ra)) << iter;
      ASSERT_EQ(0, memcmp(rb, pb, sizeof rb)) << iter;
      ref.encode_block_2x2(plane.data(), 16, divs[iter & 1], ra);
      ref.encode_block_2x2(mirror.data(), 16, divs[iter & 1], rb);
      simd->encode_pair_2x2(plane.data(), mirror.data(), 16, divs[iter & 1], pa, pb);
      ASSERT_EQ(0, memcmp(ra, pa, sizeof ra)) << iter;
      ASSERT_EQ(0, memcmp(rb, pb, sizeof rb)) << iter;
    }
    alignas(16) int16_t sparse[64];
    for (int k = 0; k < 64; ++k) sparse[k] = (byte(rng) < 40) ? static_cast<int16_t>(qa[k] | 1) : 0;
    ASSERT_EQ(ref.nonzero_mask(sparse), simd->nonzero_mask(sparse)) << iter;
  }
  // The zig-zag store of random blocks, at an odd address: each value at its zig-zag place.
  std::uniform_int_distribution<int> any16(-32768, 32767);
  for (int iter = 0; iter < 2000; ++iter) {
    int16_t natural[64];
    for (int16_t& v : natural) v = static_cast<int16_t>(any16(rng));
    uint8_t a_out[1 + 128] = {}, b_out[1 + 128] = {};
    ref.zigzag_store(natural, a_out + 1);
    simd->zigzag_store(natural, b_out + 1);
    ASSERT_EQ(0, memcmp(a_out, b_out, sizeof a_out)) << iter;
    for (int k = 0; k < 64; ++k) {
      int16_t v;
      std::memcpy(&v, a_out + 1 + 2 * k, sizeof v);
      ASSERT_EQ(v, natural[kZigzagToNatural[k]]) << k;
    }
  }
  // Point masks of blocks at odd addresses, with values around every power of two and the 16-bit ends.
  const int16_t edges[] = {0, 1,  -1,  2,    -2,   3,     -3,    4,      -5,    7,
                           8, -8, 255, -256, 2047, -2048, 32767, -32767, -32768};
  std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(edges)) - 1);
  std::uniform_int_distribution<int> wide(-32768, 32767);
  uint8_t stored[1 + 128];
  for (int iter = 0; iter < 20000; ++iter) {
    for (int k = 0; k < 64; ++k) {
      const int16_t v = iter % 2 ? edges[pick(rng)] : static_cast<int16_t>(wide(rng) >> (iter % 16));
      std::memcpy(stored + 1 + 2 * k, &v, sizeof v);
    }
    for (int al = 0; al <= 13; ++al) {
      uint64_t nz_ref, one_ref, nz, one;
      ref.point_masks(stored + 1, al, &nz_ref, &one_ref);
      simd->point_masks(stored + 1, al, &nz, &one);
      ASSERT_EQ(nz_ref, nz) << iter << " al " << al;
      ASSERT_EQ(one_ref, one) << iter << " al " << al;
    }
  }
  // Colour conversion over rows of every length up to 40 (vector body and scalar tail).
  for (int n = 0; n <= 40; ++n) {
    std::vector<uint8_t> rgb(3 * n);
    for (int rep = 0; rep < 200; ++rep) {
      for (auto& v : rgb) v = static_cast<uint8_t>(byte(rng));
      std::vector<uint8_t> y1(n), cb1(n), cr1(n), y2(n), cb2(n), cr2(n), g1(n), g2(n);
      ref.rgb_to_ycc(rgb.data(), n, y1.data(), cb1.data(), cr1.data());
      simd->rgb_to_ycc(rgb.data(), n, y2.data(), cb2.data(), cr2.data());
      ref.rgb_to_y(rgb.data(), n, g1.data());
      simd->rgb_to_y(rgb.data(), n, g2.data());
      ASSERT_EQ(y1, y2);
      ASSERT_EQ(cb1, cb2);
      ASSERT_EQ(cr1, cr2);
      ASSERT_EQ(g1, g2);
    }
  }
  // Every 8-bit combination of a channel against the closed formulas.
  for (int v = 0; v < 256; ++v) {
    for (int w = 0; w < 256; w += 5) {
      const uint8_t px[24] = {static_cast<uint8_t>(v),
                              static_cast<uint8_t>(w),
                              255,
                              0,
                              static_cast<uint8_t>(v),
                              static_cast<uint8_t>(w),
                              static_cast<uint8_t>(w),
                              0,
                              static_cast<uint8_t>(v)};
      uint8_t y[8], cb[8], cr[8];
      simd->rgb_to_ycc(px, 8, y, cb, cr);
      for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(y[i], LumaOf(px[3 * i], px[3 * i + 1], px[3 * i + 2]));
        ASSERT_EQ(cb[i], CbOf(px[3 * i], px[3 * i + 1], px[3 * i + 2]));
        ASSERT_EQ(cr[i], CrOf(px[3 * i], px[3 * i + 1], px[3 * i + 2]));
      }
    }
  }
}

TEST(JpegTransform, PointMasksOfKnownValues) {
  // Zig-zag positions 0..7 hold 0, 1, -1, 2, -3, 4, -32768, 32767; Al 1 halves the magnitudes.
  const int16_t values[64] = {0, 1, -1, 2, -3, 4, -32768, 32767};
  uint64_t nonzero = 0, one = 0;
  ScalarKernels().point_masks(reinterpret_cast<const uint8_t*>(values), 0, &nonzero, &one);
  EXPECT_EQ(nonzero, 0xFEu);
  EXPECT_EQ(one, 0x06u);
  ScalarKernels().point_masks(reinterpret_cast<const uint8_t*>(values), 1, &nonzero, &one);
  EXPECT_EQ(nonzero, 0xF8u);  // |1| >> 1 = 0
  EXPECT_EQ(one, 0x18u);      // 2 >> 1 and 3 >> 1
  ScalarKernels().point_masks(reinterpret_cast<const uint8_t*>(values), 13, &nonzero, &one);
  EXPECT_EQ(nonzero, 0xC0u);  // 32768 >> 13 = 4, 32767 >> 13 = 3
  EXPECT_EQ(one, 0u);
}

TEST(JpegTransform, SimdKernelsAreBitIdenticalToScalar) {
  if (SupportedSimdKernels().empty()) GTEST_SKIP() << "no SIMD kernels on this processor";
  for (const TransformKernels* simd : SupportedSimdKernels()) {
    SCOPED_TRACE(simd->name);
    CompareWithScalar(*simd);
  }
}

// The MMX test's answer as the kernel read the processor: an Intel vendor and the "mmx" flag of the first
// processor in /proc/cpuinfo (no vendor line, as on other architectures, gives 0); -1 without the file.
int MmxFromProcCpuinfo() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  if (!cpuinfo) return -1;
  std::string line, vendor;
  bool mmx = false;
  while (std::getline(cpuinfo, line) && !line.empty()) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = line.substr(0, line.find_first_of(" \t"));
    std::istringstream value(line.substr(colon + 1));
    if (key == "vendor_id") value >> vendor;
    if (key == "flags") {
      for (std::string flag; value >> flag;) mmx = mmx || flag == "mmx";
    }
  }
  return vendor == "GenuineIntel" && mmx ? 1 : 0;
}

TEST(JpegCpu, MmxTestAgreesWithTheProcessorAndTheEnvironmentForcesScalar) {
  const int expected = MmxFromProcCpuinfo();
  if (expected >= 0) {
    EXPECT_EQ(CpuHasMmx(), expected);
  }
  setenv(kForceScalarEnv, "1", 1);
  EXPECT_STREQ(ActiveKernels().name, "scalar");
  unsetenv(kForceScalarEnv);
  if (SimdKernels() != nullptr) {
    EXPECT_STRNE(ActiveKernels().name, "scalar");
  }
}

}  // namespace
}  // namespace zc::jpeg
