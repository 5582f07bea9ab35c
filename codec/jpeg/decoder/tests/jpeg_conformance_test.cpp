// Decoder output against libjpeg-turbo's djpeg (-dct fast -nosmooth) over files made by cjpeg: baseline
// and progressive, gray and colour, the usual samplings, restart intervals and custom scan scripts; scaled
// decodes against the decimated full decode; refusals and truncation. Skips when the tools are absent.
#include <gtest/gtest.h>

#include <fstream>
#include <utility>

#include "jpeg_test_util.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/scratch_dir.h"

namespace zc::jpegdec::test {
namespace {

class JpegConformance : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testkit::HaveTool("cjpeg") || !testkit::HaveTool("djpeg"))
      GTEST_SKIP() << "libjpeg-turbo-progs not installed";
    colour_ = dir_.File("colour.ppm");
    gray_ = dir_.File("gray.pgm");
    WritePnm(colour_, MakePicture(203, 157, 3));
    WritePnm(gray_, MakePicture(181, 133, 1, 7));
  }

  // Runs cjpeg with `args` on the colour or gray source; returns the file's bytes.
  std::vector<uint8_t> Make(const std::string& args, bool gray, const std::string& name = "t.jpg") {
    std::string out = dir_.File(name);
    EXPECT_EQ(
        testkit::RunCommand("cjpeg " + args + " -outfile " + out + " " + (gray ? gray_ : colour_)).status, 0)
        << args;
    return testkit::ReadFileBytes(out);
  }

  Image Reference(const std::vector<uint8_t>& jpeg, const std::string& extra = "") {
    std::string in = dir_.File("ref.jpg"), out = dir_.File("ref.pnm");
    testkit::WriteFileBytes(in, jpeg);
    EXPECT_EQ(
        testkit::RunCommand("djpeg -dct fast -nosmooth " + extra + " -outfile " + out + " " + in).status, 0);
    return ReadPnm(out);
  }

  void ExpectMatchesReference(const std::string& args, bool gray, const std::string& script = "") {
    std::string full = args;
    if (!script.empty()) {
      std::string path = dir_.File("scans.txt");
      std::ofstream(path) << script;
      full += " -scans " + path;
    }
    std::vector<uint8_t> jpeg = Make(full, gray);
    ASSERT_FALSE(jpeg.empty()) << full;
    // Sample planes: the luma (or gray) plane within 2 levels. The transform rounds its result
    // ((x + 16) >> 5) where the reference's fast transform truncates, so ours sits about half a level
    // higher on average.
    OutputRequest gray_req;
    gray_req.kind = kKindGray;
    DecodeResult luma = DecodeAll(jpeg, gray_req);
    ASSERT_EQ(luma.error, 0) << full;
    EXPECT_TRUE(luma.band_order_ok) << full;
    DiffStats d = Compare(luma.image, Reference(jpeg, "-grayscale"));
    ASSERT_TRUE(d.same_shape) << full;
    EXPECT_LE(d.max, 2) << full;
    EXPECT_LT(d.mean, 0.6) << full;
    if (gray) return;
    // RGB: the half-level offset of each plane reaches red and blue amplified by the 1.402 and 1.772
    // chroma weights (about +1.2 and +1.4 on average), so the colour channels are allowed 3 levels more.
    OutputRequest req;
    req.kind = kKindRgb;
    DecodeResult got = DecodeAll(jpeg, req);
    ASSERT_EQ(got.error, 0) << full;
    EXPECT_TRUE(got.band_order_ok) << full;
    d = Compare(got.image, Reference(jpeg));
    ASSERT_TRUE(d.same_shape) << full;
    EXPECT_LE(d.max, 5) << full;
    EXPECT_LT(d.mean, 1.1) << full;
  }

  testkit::ScratchDir dir_{"zc_jpegdec"};
  std::string colour_, gray_;
};

TEST_F(JpegConformance, BaselineMatrixMatchesDjpeg) {
  const struct {
    const char* args;
    bool gray;
  } cases[] = {
      {"-baseline -grayscale -quality 75", true},
      {"-baseline -quality 75", false},  // 4:2:0
      {"-baseline -sample 2x1 -quality 80", false},
      {"-baseline -sample 1x1 -quality 60", false},
      {"-baseline -sample 1x2 -quality 75", false},
      {"-baseline -sample 4x1 -quality 75", false},
      {"-baseline -quality 100", false},
      {"-baseline -quality 5", true},
      {"-baseline -optimize -quality 85", false},
      {"-baseline -restart 1 -quality 75", false},
      {"-baseline -restart 5B -quality 75", true},
      {"-baseline -restart 3B -sample 1x1", false},
  };
  for (const auto& c : cases) ExpectMatchesReference(c.args, c.gray);
}

TEST_F(JpegConformance, NonInterleavedScansMatchDjpeg) {
  ExpectMatchesReference("-baseline -quality 75", false, "0;\n1;\n2;\n");
  ExpectMatchesReference("-baseline -sample 1x1 -restart 2", false, "2;\n0;\n1;\n");
  ExpectMatchesReference("-baseline -quality 75", false, "0;\n1 2;\n");
}

TEST_F(JpegConformance, ProgressiveMatrixMatchesDjpeg) {
  const struct {
    const char* args;
    bool gray;
  } cases[] = {
      {"-progressive -quality 50", false},
      {"-progressive -quality 75", false},
      {"-progressive -quality 90", false},
      {"-progressive -quality 100", false},  // coefficients beyond one byte
      {"-progressive -grayscale -quality 95", true},
      {"-progressive -sample 1x1 -restart 1", false},
      {"-progressive -sample 2x1 -restart 7B -quality 85", false},
  };
  for (const auto& c : cases) ExpectMatchesReference(c.args, c.gray);
}

TEST_F(JpegConformance, CustomProgressiveScriptsMatchDjpeg) {
  // Spectral selection only.
  ExpectMatchesReference("-quality 80", false,
                         "0 1 2: 0 0 0 0;\n0: 1 9 0 0;\n0: 10 63 0 0;\n1: 1 63 0 0;\n2: 1 63 0 0;\n");
  // Successive approximation down to Al 3 with separate DC refinements.
  ExpectMatchesReference("-quality 90", false,
                         "0 1 2: 0 0 0 3;\n0: 1 5 0 3;\n0: 6 63 0 3;\n1: 1 63 0 1;\n2: 1 63 0 1;\n"
                         "0 1 2: 0 0 3 2;\n0 1 2: 0 0 2 1;\n0: 1 63 3 2;\n0: 1 63 2 1;\n0 1 2: 0 0 1 0;\n"
                         "0: 1 63 1 0;\n1: 1 63 1 0;\n2: 1 63 1 0;\n");
  // Gray, one DC refinement per component scan.
  ExpectMatchesReference("-grayscale -quality 70", true,
                         "0: 0 0 0 1;\n0: 1 63 0 2;\n0: 1 63 2 1;\n0: 0 0 1 0;\n0: 1 63 1 0;\n");
}

TEST_F(JpegConformance, GrayOutputOfColourMatchesDjpegGrayscale) {
  std::vector<uint8_t> jpeg = Make("-baseline -quality 75", false);
  OutputRequest req;
  req.kind = kKindGray;
  DecodeResult got = DecodeAll(jpeg, req);
  ASSERT_EQ(got.error, 0);
  DiffStats d = Compare(got.image, Reference(jpeg, "-grayscale"));
  ASSERT_TRUE(d.same_shape);
  EXPECT_LE(d.max, 2);
}

TEST_F(JpegConformance, ScaledDecodeEqualsDecimatedFullDecode) {
  for (const char* args : {"-baseline -quality 75", "-baseline -sample 1x1", "-progressive -sample 2x1",
                           "-baseline -grayscale"}) {
    std::vector<uint8_t> jpeg = Make(args, false);
    OutputRequest full_req;
    DecodeResult full = DecodeAll(jpeg, full_req);
    ASSERT_EQ(full.error, 0) << args;
    for (uint16_t scale : {1024, 512, 256}) {
      OutputRequest req;
      req.xscale = req.yscale = scale;
      DecodeResult part = DecodeAll(jpeg, req);
      ASSERT_EQ(part.error, 0) << args << " " << scale;
      const int f = 2048 / scale;
      const int ch = full.image.channels;
      ASSERT_EQ(part.image.width, (full.image.width + f - 1) / f) << args << " " << scale;
      ASSERT_EQ(part.image.height, (full.image.height + f - 1) / f) << args << " " << scale;
      int mismatches = 0;
      for (int y = 0; y < part.image.height; ++y) {
        for (int x = 0; x < part.image.width; ++x) {
          for (int c = 0; c < ch; ++c) {
            uint8_t a = part.image.pixels[(static_cast<size_t>(y) * part.image.width + x) * ch + c];
            uint8_t b = full.image.pixels[(static_cast<size_t>(y) * f * full.image.width + x * f) * ch + c];
            mismatches += a != b;
          }
        }
      }
      EXPECT_EQ(mismatches, 0) << args << " scale " << scale;
    }
  }
}

TEST_F(JpegConformance, WindowIsACropOfTheFullDecode) {
  std::vector<uint8_t> jpeg = Make("-baseline -quality 75", false);
  DecodeResult full = DecodeAll(jpeg, OutputRequest{});
  ASSERT_EQ(full.error, 0);
  // Odd corner: chroma pairs split at both edges; even corner: rows converted two at a time.
  const struct { uint16_t top, left, width, height; } windows[] = {{21, 35, 90, 77}, {20, 34, 90, 77}};
  for (const auto& w : windows) {
    OutputRequest req;
    req.top = w.top;
    req.left = w.left;
    req.width = w.width;
    req.height = w.height;
    DecodeResult win = DecodeAll(jpeg, req);
    ASSERT_EQ(win.error, 0);
    ASSERT_EQ(win.image.width, w.width);
    ASSERT_EQ(win.image.height, w.height);
    for (int y = 0; y < w.height; ++y) {
      for (int x = 0; x < w.width * 3; ++x) {
        ASSERT_EQ(win.image.pixels[static_cast<size_t>(y) * w.width * 3 + x],
                  full.image.pixels[static_cast<size_t>(y + w.top) * full.image.width * 3 + w.left * 3 + x])
            << w.top << "+" << y << "," << x;
      }
    }
  }
}

TEST_F(JpegConformance, RefusedFormatsGiveTheirCodes) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
      {"arithmetic", Make("-arithmetic", false)},
      {"SOF1 with 16-bit tables", Make("-quality 1", false)},
  };
  if (testkit::HaveTool("convert")) {  // ImageMagick writes four-component CMYK frames
    std::string cmyk = dir_.File("cmyk.jpg");
    ASSERT_EQ(testkit::RunCommand("convert " + colour_ + " -colorspace CMYK " + cmyk).status, 0);
    files.emplace_back("CMYK", testkit::ReadFileBytes(cmyk));
  }
  for (const auto& [name, jpeg] : files) {
    ASSERT_FALSE(jpeg.empty()) << name;
    EXPECT_EQ(DecodeAll(jpeg, OutputRequest{}).error, kErrUnsupported) << name;
    MemorySource src(jpeg.data(), jpeg.size());
    try {
      ReadJpegInfo(src);
      ADD_FAILURE() << name << ": info accepted";
    } catch (const JpegError& e) {
      EXPECT_EQ(e.code, kErrUnsupported) << name;
    }
  }
}

TEST_F(JpegConformance, TruncatedStreamsFailWithEndOfDataAfterEarlierBands) {
  for (const char* args : {"-baseline -quality 75", "-baseline -restart 1", "-progressive"}) {
    std::vector<uint8_t> jpeg = Make(args, false);
    jpeg.resize(jpeg.size() * 2 / 3);
    DecodeResult got = DecodeAll(jpeg, OutputRequest{});
    EXPECT_EQ(got.error, kErrTruncated) << args;
    if (std::string(args).find("progressive") == std::string::npos) {
      EXPECT_GT(got.bands, 0) << args;
    }
  }
}

TEST_F(JpegConformance, DisplayRefusalStopsWithFourteen) {
  std::vector<uint8_t> jpeg = Make("-baseline", false);
  DecodeResult got = DecodeAll(jpeg, OutputRequest{}, {}, 2);
  EXPECT_EQ(got.error, kErrDisplay);
  EXPECT_EQ(got.bands, 2);
}

}  // namespace
}  // namespace zc::jpegdec::test
