// Conformance with libtiff both ways, through its command-line tools in a temporary folder:
// our T.6, T.4 1D/2D and modified Huffman data decode with fax2tiff/tifftopnm to the source
// bitmap, and strips that tiffcp writes in every CCITT variant, PackBits and raw decode
// through our decoder to the source bitmap; so do PIL's group4, group3 and tiff_ccitt files
// (PIL uses libtiff's coder). netpbm's g3topbm reads our T.4 1D data as a second opinion.
// Skips when the tools are absent.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "codec/bilevel/image_view.h"
#include "codec/tests/bilevel_test_support.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/scratch_dir.h"

namespace zc::codec {
namespace {

using test::BilevelImage;
using testkit::BilevelPattern;

struct Sample {
  std::string name;
  BilevelImage image;
};

std::vector<Sample> samples() {
  std::vector<Sample> out;
  for (int dpi : {200, 240, 300}) {
    testkit::ChequeSpec params;
    params.dpi = dpi;
    params.seed = static_cast<uint32_t>(dpi);
    const testkit::GrayImage gray = testkit::makeChequeGray(params);
    out.push_back({"cheque" + std::to_string(dpi) + "-threshold", testkit::thresholdImage(gray)});
    out.push_back({"cheque" + std::to_string(dpi) + "-dither", testkit::ditherImage(gray)});
  }
  testkit::ChequeSpec business;
  business.dpi = 300;
  business.widthInches = 8.75;
  business.heightInches = 3.75;
  out.push_back({"business300-threshold", testkit::thresholdImage(testkit::makeChequeGray(business))});
  const std::pair<BilevelPattern, const char*> patterns[] = {
      {BilevelPattern::kWhite, "white"},     {BilevelPattern::kBlack, "black"},
      {BilevelPattern::kAlternating, "alt"}, {BilevelPattern::kChecker, "checker"},
      {BilevelPattern::kRandom, "random"},
  };
  for (int width : {1, 2, 7, 8, 9, 31, 1728, 2550, 8193}) {
    for (const auto& [pattern, name] : patterns) {
      // libtiff keeps room for a row's runs rounded up to 32 pixels: a checker row that starts
      // black has width + 1 runs, which it refuses when the width is a multiple of 32.
      if (pattern == BilevelPattern::kChecker && width % 32 == 0) continue;
      out.push_back({std::string(name) + std::to_string(width), testkit::makePattern(pattern, width, 6)});
    }
  }
  return out;
}

bool haveTools() {
  return testkit::HaveTool("fax2tiff") && testkit::HaveTool("tiffcp") && testkit::HaveTool("tifftopnm");
}

// The rows fax2tiff decodes: the source rows, then at most the rows it makes of the end codes
// (EOFB, RTC), which must be white.
::testing::AssertionResult matchesSource(const BilevelImage& source, const BilevelImage& decoded) {
  if (decoded.width != source.width || decoded.height < source.height || decoded.height > source.height + 6) {
    return ::testing::AssertionFailure() << "decoded " << decoded.width << "x" << decoded.height;
  }
  BilevelImage top(source.width, source.height);
  std::copy(decoded.rows.begin(), decoded.rows.begin() + static_cast<std::ptrdiff_t>(top.rows.size()),
            top.rows.begin());
  for (int y = source.height; y < decoded.height; ++y) {
    for (int x = 0; x < decoded.width; ++x) {
      if (decoded.black(x, y)) return ::testing::AssertionFailure() << "ink in end-code row " << y;
    }
  }
  if (!(top == source)) return ::testing::AssertionFailure() << test::firstDifference(source, top);
  return ::testing::AssertionSuccess();
}

TEST(LibtiffConformance, OurStreamsDecodeWithLibtiff) {
  if (!haveTools()) GTEST_SKIP() << "libtiff-tools (fax2tiff, tifftopnm) not installed";
  testkit::ScratchDir dir("zc_codec");
  const std::string raw = dir / "data.raw";
  const std::string tif = dir / "out.tif";
  const std::string pbm = dir / "out.pbm";
  const std::string log = dir / "tool.log";
  struct Variant {
    int mode;
    int fillOrder;
    const char* flags;
  };
  const Variant variants[] = {
      {1, 0, "-4 -M"}, {1, 1, "-4 -L"}, {0, 0, "-1 -M"}, {2, 0, "-2 -M"}, {0, 1, "-1 -L"},
  };
  for (const Sample& s : samples()) {
    SCOPED_TRACE(s.name);
    for (const Variant& v : variants) {
      SCOPED_TRACE(std::string("fax2tiff ") + v.flags);
      testkit::WriteFileBytes(raw, test::encodeToMemory(s.image, {v.mode, v.fillOrder}));
      const std::string cmd = "timeout 60 fax2tiff " + std::string(v.flags) + " -X " +
                              std::to_string(s.image.width) + " -m -o " + tif + " " + raw + " >" + log +
                              " 2>&1 && tifftopnm -quiet " + tif + " >" + pbm + " 2>>" + log;
      ASSERT_EQ(testkit::RunCommand(cmd).status, 0) << cmd;
      EXPECT_TRUE(matchesSource(s.image, test::readPbm(pbm)));
      // Nothing but tifftopnm's own progress note.
      const auto messages = testkit::ReadFileBytes(log);
      const std::string text(messages.begin(), messages.end());
      EXPECT_EQ(text.find("Fax3"), std::string::npos) << text;
    }
    // Modified Huffman lines (TIFF Compression 2), wrapped in a one-strip TIFF.
    test::writeTiff(tif, s.image.width, s.image.height, 2, test::encodeToMemory(s.image, {5}));
    ASSERT_EQ(testkit::RunCommand("tifftopnm -quiet " + tif + " >" + pbm + " 2>" + log).status, 0);
    EXPECT_EQ(test::readPbm(pbm), s.image);
  }
}

TEST(NetpbmConformance, OneDimensionalStreamsDecodeWithG3topbm) {
  if (!testkit::HaveTool("g3topbm")) GTEST_SKIP() << "netpbm (g3topbm) not installed";
  testkit::ScratchDir dir("zc_codec");
  const std::string raw = dir / "data.raw";
  const std::string pbm = dir / "out.pbm";
  for (const Sample& s : samples()) {
    SCOPED_TRACE(s.name);
    testkit::WriteFileBytes(raw, test::encodeToMemory(s.image, {0}));
    ASSERT_EQ(testkit::RunCommand("g3topbm -width=" + std::to_string(s.image.width) + " " + raw + " >" + pbm +
                                  " 2>/dev/null")
                  .status,
              0);
    EXPECT_TRUE(matchesSource(s.image, test::readPbm(pbm)));
  }
}

// Decoder mode for a TIFF's compression (T4Options bit 0: two-dimensional coding).
int decoderModeFor(const test::TiffStrips& t) {
  switch (t.compression) {
    case 1:
      return 3;
    case 2:
      return 5;
    case 3:
      return (t.t4Options & 1) != 0 ? 2 : 0;
    case 4:
      return 1;
    case 32773:
      return 10;
    default:
      return -1;
  }
}

BilevelImage decodeTiff(const std::vector<uint8_t>& file, int* errorCode) {
  const test::TiffStrips t = test::readTiffStrips(file);
  std::vector<uintptr_t> offsets;
  for (size_t i = 0; i < t.offsets.size(); ++i) {
    if (static_cast<size_t>(t.offsets[i]) + t.counts.at(i) > file.size())
      throw std::runtime_error("strip outside file");
    offsets.push_back(reinterpret_cast<uintptr_t>(file.data() + t.offsets[i]));
  }
  FaxStripTable table{};
  table.rowsPerStrip = t.rowsPerStrip;
  table.lastStrip = static_cast<int32_t>(offsets.size()) - 1;
  table.currentStrip = -1;
  table.offsets = offsets.data();
  table.byteCounts = t.counts.data();
  table.sourceKind = 1;
  ImageView v{};
  v.fileHandle = -1;
  if (offsets.size() == 1) {
    v.stripOffset = offsets[0];
    v.stripByteCount = t.counts[0];
    v.decoderMode = decoderModeFor(t);
  } else {
    v.stripOffset = reinterpret_cast<uintptr_t>(&table);
    v.decoderMode = 256 + decoderModeFor(t);
  }
  v.width = t.width;
  v.length = t.height;
  v.windowWidth = (t.width + 7) / 8 * 8;
  v.windowHeight = t.height;
  v.zoomX = v.zoomY = 2048;
  v.fillOrder = t.fillOrder == 2 ? 1 : 0;
  test::DecodeResult r = test::decodeView(v);
  *errorCode = r.errorCode;
  BilevelImage out(t.width, t.height);
  for (int y = 0; y < t.height; ++y) {
    for (int x = 0; x < t.width; ++x) {
      if (r.image.black(x, y)) out.set(x, y);
    }
  }
  return out;
}

TEST(LibtiffConformance, LibtiffStripsDecodeWithOurDecoder) {
  if (!haveTools()) GTEST_SKIP() << "libtiff-tools (tiffcp) not installed";
  testkit::ScratchDir dir("zc_codec");
  const std::string src = dir / "src.tif";
  const std::string out = dir / "out.tif";
  const char* variants[] = {
      "-c g4",
      "-c g3:1d",
      "-c g3:2d",
      "-c g3:1d:fill",
      "-c g3:2d:fill",
      "-c packbits",
      "-c none",
      "-c g4 -f lsb2msb",
      "-c g3:2d -f lsb2msb",
      "-c g4 -r 16",
      "-c g3:2d -r 16",
      "-c g3:1d:fill -r 5",
      "-c packbits -r 3",
  };
  for (const Sample& s : samples()) {
    SCOPED_TRACE(s.name);
    test::writeTiff(src, s.image.width, s.image.height, 1, s.image.rows);
    for (const char* variant : variants) {
      SCOPED_TRACE(variant);
      ASSERT_EQ(testkit::RunCommand(std::string("tiffcp ") + variant + " " + src + " " + out + " 2>/dev/null")
                    .status,
                0);
      int errorCode = 0;
      const BilevelImage decoded = decodeTiff(testkit::ReadFileBytes(out), &errorCode);
      EXPECT_EQ(errorCode, 0);
      EXPECT_EQ(decoded, s.image) << test::firstDifference(s.image, decoded);
    }
  }
}

TEST(LibtiffConformance, PilFilesDecodeWithOurDecoder) {
  if (testkit::RunCommand("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1").status != 0)
    GTEST_SKIP() << "python3-pil not installed";
  testkit::ScratchDir dir("zc_codec");
  const std::string pbm = dir / "src.pbm";
  const std::string out = dir / "out.tif";
  const auto all = samples();
  for (const Sample& s : all) {
    if (s.name.rfind("cheque", 0) != 0 && s.name != "random2550" && s.name != "checker8193") continue;
    SCOPED_TRACE(s.name);
    test::writePbm(pbm, s.image);
    for (const char* compression : {"group4", "group3", "tiff_ccitt"}) {
      SCOPED_TRACE(compression);
      const std::string script = "from PIL import Image; Image.open('" + pbm + "').save('" + out +
                                 "', compression='" + compression + "')";
      ASSERT_EQ(testkit::RunCommand("/usr/bin/python3 -c \"" + script + "\"").status, 0);
      const auto file = testkit::ReadFileBytes(out);
      int errorCode = 0;
      BilevelImage decoded = decodeTiff(file, &errorCode);
      EXPECT_EQ(errorCode, 0);
      // PIL stores mode-1 images MinIsBlack: the coded bits are the source's inverse.
      if (test::readTiffStrips(file).photometric == 1) {
        for (int y = 0; y < decoded.height; ++y) {
          for (int x = 0; x < decoded.width; ++x)
            decoded.row(y)[x / 8] ^= static_cast<uint8_t>(0x80 >> (x % 8));
        }
      }
      EXPECT_EQ(decoded, s.image) << test::firstDifference(s.image, decoded);
    }
  }
}

}  // namespace
}  // namespace zc::codec
