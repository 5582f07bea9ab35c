// Conformance of the compressor against libjpeg-turbo's command-line tools: every output of a matrix of
// sizes, qualities, bands and options passes djpeg -strict, with the same bytes from the SIMD and the
// scalar kernels; the quantisation tables equal cjpeg's; the
// quantised coefficients equal those of cjpeg's fast integer DCT without SIMD; progressive outputs carry
// the coefficients of the baseline output. Tests skip when the tools are absent.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "codec/jpeg/cpu_features.h"
#include "codec/jpeg/tests/jpeg_test_support.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/pnm.h"
#include "testkit/support/scratch_dir.h"

namespace zc::jpeg::testing {
namespace {

class JpegConformance : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"djpeg", "cjpeg", "jpegtran"}) {
      if (!testkit::HaveTool(tool)) GTEST_SKIP() << tool << " not installed (libjpeg-turbo-progs)";
    }
    ASSERT_FALSE(dir_.Path().empty());
  }

  // djpeg -strict turns every libjpeg warning (corrupt data, premature end) into a failure.
  void ExpectStrictDecode(const std::vector<uint8_t>& jpeg, const std::string& label) {
    const std::string in = dir_.File("strict.jpg");
    testkit::WriteFileBytes(in, jpeg);
    const testkit::CommandResult run =
        testkit::RunCommand("djpeg -strict -dct fast -pnm -outfile /dev/null '" + in + "'");
    EXPECT_EQ(run.status, 0) << label << ": " << run.output;
  }

  std::vector<uint8_t> Cjpeg(const Image& image, const std::string& options) {
    const std::string in = dir_.File(image.channels == 3 ? "src.ppm" : "src.pgm");
    const std::string out = dir_.File("ref.jpg");
    testkit::WritePnm(in, image.channels == 3 ? testkit::PnmFormat::kColor : testkit::PnmFormat::kGray,
                      image.width, image.height, image.pixels);
    const testkit::CommandResult run = testkit::RunCommand("JSIMD_FORCENONE=1 cjpeg -baseline -dct fast " +
                                                           options + " -outfile '" + out + "' '" + in + "'");
    EXPECT_EQ(run.status, 0) << run.output;
    return testkit::ReadFileBytes(out);
  }

  testkit::ScratchDir dir_{"zc_jpeg"};
};

struct MatrixCase {
  int width, height;
};

// 200, 240 and 300 dpi cheque sizes (8.75" x 3.75" and 6" x 2.75") and small edge sizes.
constexpr MatrixCase kSizes[] = {{1, 1}, {7, 9}, {17, 17}, {33, 21}, {1750, 750}, {1441, 661}, {2625, 1125}};

TEST_F(JpegConformance, EveryOutputOfTheMatrixDecodesStrictly) {
  const int qualities[] = {5, 25, 50, 75, 90, 95, 100};
  const int bands[] = {1, 7, 16};
  int n = 0;
  for (const MatrixCase& size : kSizes) {
    const bool big = size.width > 100;
    for (int channels : {1, 3}) {
      const Image image = MakeCheque(size.width, size.height, channels, 7);
      for (bool gray : {true, false}) {
        for (bool progressive : {false, true}) {
          for (bool restart : {false, true}) {
            if (progressive && restart) continue;  // the restart option applies to sequential streams
            // Big images take one quality and band per combination; small ones the whole range.
            for (int qi = 0; qi < 7; ++qi) {
              if (big && qi != (n % 7)) continue;
              const int band = bands[(n + qi) % 3];
              JpegCompressSettings s = SettingsFor(image, qualities[qi], gray, progressive);
              s.restart_option = restart;
              const EncodeResult r = Encode(image, s, band);
              const std::string label = std::to_string(size.width) + "x" + std::to_string(size.height) +
                                        " ch" + std::to_string(channels) + (gray ? " gray" : " colour") +
                                        (progressive ? " prog" : "") + (restart ? " restart" : "") + " q" +
                                        std::to_string(qualities[qi]) + " band" + std::to_string(band);
              ASSERT_EQ(r.code, 0) << label;
              ExpectStrictDecode(r.bytes, label);
              // The same bytes from the scalar kernels.
              setenv(kForceScalarEnv, "1", 1);
              const EncodeResult scalar = Encode(image, s, band);
              unsetenv(kForceScalarEnv);
              EXPECT_TRUE(scalar.bytes == r.bytes) << label;
            }
            ++n;
          }
        }
      }
    }
  }
}

TEST_F(JpegConformance, TablesEqualCjpegForEveryQuality) {
  const Image image = MakeCheque(16, 16, 3);
  for (int q = 5; q <= 95; q += 5) {
    const std::vector<uint8_t> ref = Cjpeg(image, "-quality " + std::to_string(q) + " -sample 2x2,1x1,1x1");
    const EncodeResult ours = Encode(image, SettingsFor(image, q, false, false));
    ASSERT_EQ(ours.code, 0);
    // DQT and DHT payloads (cjpeg writes the standard Huffman tables without -optimize).
    for (uint8_t marker : {0xDB, 0xC4}) {
      std::vector<std::vector<uint8_t>> ref_tables, our_tables;
      for (const Segment& s : WalkMarkers(ref)) {
        if (s.marker == marker) ref_tables.push_back(s.payload);
      }
      for (const Segment& s : WalkMarkers(ours.bytes)) {
        if (s.marker == marker) our_tables.push_back(s.payload);
      }
      EXPECT_EQ(our_tables, ref_tables) << "quality " << q << " marker " << int{marker};
    }
  }
}

TEST_F(JpegConformance, GrayCoefficientsEqualCjpegFastDct) {
  for (const MatrixCase& size : {MatrixCase{1750, 750}, MatrixCase{1441, 661}, MatrixCase{13, 11}}) {
    const Image image = MakeCheque(size.width, size.height, 1, 3);
    for (int q : {5, 30, 75, 95}) {
      const std::vector<uint8_t> ref = Cjpeg(image, "-grayscale -quality " + std::to_string(q));
      const EncodeResult ours = Encode(image, SettingsFor(image, q, true, false));
      ASSERT_EQ(ours.code, 0);
      const auto a = CanonicalCoefficients(dir_, ours.bytes);
      const auto b = CanonicalCoefficients(dir_, ref);
      ASSERT_TRUE(a && b);
      EXPECT_TRUE(*a == *b) << size.width << "x" << size.height << " quality " << q;
    }
  }
}

TEST_F(JpegConformance, ColourCoefficientsEqualCjpegOnWholeMcus) {
  // With both sizes multiples of 16 no edge padding is involved.
  const Image image = MakeCheque(320, 144, 3, 5);
  for (int q : {20, 75, 95}) {
    const std::vector<uint8_t> ref = Cjpeg(image, "-sample 2x2,1x1,1x1 -quality " + std::to_string(q));
    const EncodeResult ours = Encode(image, SettingsFor(image, q, false, false));
    ASSERT_EQ(ours.code, 0);
    const auto a = CanonicalCoefficients(dir_, ours.bytes);
    const auto b = CanonicalCoefficients(dir_, ref);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(*a == *b) << "quality " << q;
  }
}

TEST_F(JpegConformance, ProgressiveCarriesTheBaselineCoefficients) {
  for (int channels : {1, 3}) {
    const Image image = MakeCheque(1441, 661, channels, 11);
    for (bool gray : {true, false}) {
      for (int q : {5, 50, 77, 90, 95}) {
        const EncodeResult base = Encode(image, SettingsFor(image, q, gray, false));
        const EncodeResult prog = Encode(image, SettingsFor(image, q, gray, true), 7);
        ASSERT_EQ(base.code, 0);
        ASSERT_EQ(prog.code, 0);
        const auto a = CanonicalCoefficients(dir_, base.bytes);
        const auto b = CanonicalCoefficients(dir_, prog.bytes);
        ASSERT_TRUE(a && b);
        EXPECT_TRUE(*a == *b) << "channels " << channels << (gray ? " gray" : " colour") << " quality " << q;
      }
    }
  }
}

TEST_F(JpegConformance, RestartOptionDecodesLikeThePlainStream) {
  const Image image = MakeCheque(1200, 550, 1, 9);
  JpegCompressSettings s = SettingsFor(image, 75, true, false);
  const EncodeResult plain = Encode(image, s);
  s.restart_option = true;
  const EncodeResult restart = Encode(image, s, 1);
  ASSERT_EQ(plain.code, 0);
  ASSERT_EQ(restart.code, 0);
  const std::string a = dir_.File("a.pgm"), b = dir_.File("b.pgm");
  testkit::WriteFileBytes(dir_.File("a.jpg"), plain.bytes);
  testkit::WriteFileBytes(dir_.File("b.jpg"), restart.bytes);
  ASSERT_EQ(testkit::RunCommand("djpeg -strict -outfile '" + a + "' '" + dir_.File("a.jpg") + "'").status, 0);
  ASSERT_EQ(testkit::RunCommand("djpeg -strict -outfile '" + b + "' '" + dir_.File("b.jpg") + "'").status, 0);
  EXPECT_TRUE(testkit::ReadFileBytes(a) == testkit::ReadFileBytes(b));
}

}  // namespace
}  // namespace zc::jpeg::testing
