// Loading: the working image's geometry per resolution and form, the refusals with their codes and
// counters, decoding errors near the bottom of a page, and independent G4 encodings giving the same image.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/ocr/tests/ocr_fixture.h"
#include "imaging/image_writers.h"
#include "testkit/cheque/codeline_cheque.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/pnm.h"
#include "testkit/support/scratch_dir.h"

namespace analysis::ocr::test {
namespace {

zc::testkit::BilevelImage Page(int width, int height, uint32_t seed = 9) {
  return zc::testkit::makePattern(zc::testkit::BilevelPattern::kRandom, width, height, seed);
}

std::vector<uint8_t> Record(int width, int height, int bits, int dpi) {
  std::vector<uint8_t> r(8, 0);
  const int16_t h[4] = {static_cast<int16_t>(width), static_cast<int16_t>(height), static_cast<int16_t>(bits),
                        static_cast<int16_t>(dpi)};
  std::memcpy(r.data(), h, 8);  // the test host is little-endian, as the record is
  const int64_t stride = bits == 1 ? (width + 7) / 8 : static_cast<int64_t>(width) * bits / 8;
  if (stride > 0 && height > 0) r.resize(8 + static_cast<size_t>(stride * height), 0);
  return r;
}

struct Geometry {
  const char* name;
  int width, height, dpi;
  bool tiff;
  int result;
  int workWidth, workHeight;
};

void PrintTo(const Geometry& g, std::ostream* os) { *os << g.name; }

class LoaderGeometry : public OcrTest, public ::testing::WithParamInterface<Geometry> {};

TEST_P(LoaderGeometry, WorkingImage) {
  const Geometry g = GetParam();
  zc::testkit::ScratchDir dir("ocr_loader");
  const auto record = zc::testkit::BilevelRecord(Page(g.width, g.height), g.dpi);
  int result = 0;
  if (g.tiff) {
    ASSERT_GT(zc::imaging::ZARNCompressImage(dir.File("page.tif").c_str(), record), 0);
    result = funcOCRLoadTiff(dir.File("page.tif").c_str(), 1, 0);
  } else {
    result = funcOCRLoadRaw(record.data(), record.size());
  }
  EXPECT_EQ(result, g.result);
  if (g.result != 0) return;
  EXPECT_EQ(OCRWorkImage.width, g.workWidth);
  EXPECT_EQ(OCRWorkImage.height, g.workHeight);
  EXPECT_EQ(OCRWorkImage.yResolution, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, LoaderGeometry,
    ::testing::Values(Geometry{"tiff300", 1800, 840, 300, true, 0, 1216, 576},
                      Geometry{"tiff240", 1440, 672, 240, true, 0, 1216, 576},
                      Geometry{"tiff200", 1700, 600, 200, true, 0, 1712, 616},
                      Geometry{"tiff215", 1700, 600, 215, true, 3, 0, 0},
                      Geometry{"tiff150rows", 1700, 150, 200, true, 3, 0, 0},
                      Geometry{"record300", 1800, 840, 300, false, 0, 1200, 560},
                      Geometry{"record240", 1440, 672, 240, false, 0, 1200, 560},
                      Geometry{"record200oddWidth", 1701, 150, 200, false, 0, 1701, 150},
                      Geometry{"record215", 1700, 600, 215, false, 3, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The reductions are exact: a 300-dpi record whose pixels repeat in threes gives back the 200-dpi one.
TEST_F(OcrTest, RecordReductionsDropTheMiddlePixelAndOrRows) {
  const zc::testkit::BilevelImage small = Page(96, 64);
  zc::testkit::BilevelImage big(144, 96);
  for (int y = 0; y < 96; ++y) {
    for (int x = 0; x < 144; ++x) {
      // Source rows 3k and 3k+1 (ORed) hold row 2k's and 2k+1's content; column 3k+1 is dropped.
      const int sy = (y % 3 == 0) ? 2 * (y / 3) : 2 * (y / 3) + 1;
      const int sx = x % 3 == 1 ? -1 : 2 * (x / 3) + (x % 3 == 2);
      if (sx >= 0 && (y % 3 != 2) && small.black(sx, sy)) big.set(x, y);
    }
  }
  const auto record = zc::testkit::BilevelRecord(big, 300);
  ASSERT_EQ(funcOCRLoadRaw(record.data(), record.size()), 0);
  ASSERT_EQ(OCRWorkImage.width, 96);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 96; ++x) ASSERT_EQ(Ink(x, y), small.black(x, y)) << x << "," << y;
  }
}

struct Refusal {
  const char* name;
  std::vector<uint8_t> record;
  int result;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class RecordRefusal : public OcrTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RecordRefusal, LeavesTheStringsAndCountsTheFailure) {
  const Refusal& r = GetParam();
  char line[128] = "kept", conf[128] = "kept";
  EXPECT_EQ(funcOCRRawImage(r.record.data(), r.record.size(), line, conf), r.result);
  EXPECT_STREQ(line, "kept");
  EXPECT_STREQ(conf, "kept");
  EXPECT_EQ(MICRVerifyCounters.OcrCalls, 1);
  EXPECT_EQ(MICRVerifyCounters.OcrFailures, 1);
  EXPECT_EQ(OCRWorkImage.buffer, nullptr);
}

std::vector<uint8_t> Truncated(std::vector<uint8_t> r) {
  r.resize(r.size() - 1);
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordRefusal,
    ::testing::Values(Refusal{"gray8bit", Record(300, 200, 8, 200), 2},
                      Refusal{"headerOnly", std::vector<uint8_t>(4, 0), 2},
                      Refusal{"negativeWidth", Record(-16, 200, 1, 200), 3},
                      Refusal{"negativeHeight", Record(16, -200, 1, 200), 3},
                      Refusal{"rowsPastBuffer", Truncated(Record(800, 200, 1, 200)), 3},
                      Refusal{"resolution100", Record(800, 200, 1, 100), 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OcrTest, TooFewCharactersEmptiesTheStrings) {
  const auto record = Record(800, 150, 1, 200);
  char line[128] = "kept", conf[128] = "kept";
  EXPECT_EQ(funcOCRRawImage(record.data(), record.size(), line, conf), 6);
  EXPECT_STREQ(line, "");
  EXPECT_STREQ(conf, "");
  EXPECT_EQ(MICRVerifyCounters.OcrFailures, 1);
}

TEST_F(OcrTest, MissingFileAndUnparsableMemoryGiveOne) {
  char line[128] = "kept", conf[128] = "kept";
  EXPECT_EQ(funcOCRTiffImage("/nonexistent/page.tif", 1, 0, line, conf), 1);
  std::vector<uint8_t> junk(600, 0x41);
  const std::string name = "MD:" + std::to_string(reinterpret_cast<uintptr_t>(junk.data())) + ":600";
  EXPECT_EQ(funcOCRTiffImage(name.c_str(), 1, 0, line, conf), 1);
  EXPECT_STREQ(line, "kept");
  EXPECT_EQ(MICRVerifyCounters.OcrCalls, 2);
  EXPECT_EQ(MICRVerifyCounters.OcrFailures, 2);
}

// A strip cut short: the decoder's error some rows above the bottom of a 600-row page. Within the last
// 16 rows the page still loads.
struct CutStrip {
  const char* name;
  int rowsKept;
  int result;
};
void PrintTo(const CutStrip& c, std::ostream* os) { *os << c.name; }
class TruncatedStrip : public OcrTest, public ::testing::WithParamInterface<CutStrip> {};

TEST_P(TruncatedStrip, ErrorNearTheBottomIsAccepted) {
  zc::testkit::ScratchDir dir("ocr_cut");
  const zc::testkit::BilevelImage page = Page(800, 600, 4);
  zc::testkit::BilevelImage head(800, GetParam().rowsKept);
  std::memcpy(head.rows.data(), page.rows.data(), head.rows.size());
  ASSERT_GT(zc::imaging::ZARNCompressImage(dir.File("page.tif").c_str(), zc::testkit::BilevelRecord(page, 200)), 0);
  ASSERT_GT(zc::imaging::ZARNCompressImage(dir.File("head.tif").c_str(), zc::testkit::BilevelRecord(head, 200)), 0);
  struct stat st {};
  ASSERT_EQ(stat(dir.File("head.tif").c_str(), &st), 0);
  // The head's coding is a prefix of the page's; its end-of-block code is left out.
  ASSERT_EQ(truncate(dir.File("page.tif").c_str(), st.st_size - 3), 0);
  EXPECT_EQ(funcOCRLoadTiff(dir.File("page.tif").c_str(), 1, 0), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Rows, TruncatedStrip,
                         ::testing::Values(CutStrip{"tenRowsAboveBottom", 590, 0},
                                           CutStrip{"fortyRowsAboveBottom", 560, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

// ImageMagick's G4 coding of the same page gives the same working image as the project's.
TEST_F(OcrTest, IndependentG4EncodingGivesTheSameWorkingImage) {
  if (!zc::testkit::HaveTool("convert")) GTEST_SKIP() << "ImageMagick not installed";
  zc::testkit::ScratchDir dir("ocr_g4");
  const auto page = zc::testkit::MakeCodeLineBilevel(zc::testkit::ChequeSpec{300, 6.0, 2.75, 2}, ":123456789:");
  ASSERT_TRUE(zc::testkit::WritePnm(dir.File("page.pbm"), zc::testkit::PnmFormat::kBitmap, page.width,
                                    page.height, page.rows));
  const auto run = zc::testkit::RunCommand("convert " + dir.File("page.pbm") +
                                           " -units PixelsPerInch -density 300 -compress Group4 " +
                                           dir.File("magick.tif"));
  ASSERT_TRUE(run.ok()) << run.output;
  ASSERT_GT(zc::imaging::ZARNCompressImage(dir.File("own.tif").c_str(), zc::testkit::BilevelRecord(page, 300)), 0);
  ASSERT_EQ(funcOCRLoadTiff(dir.File("own.tif").c_str(), 1, 0), 0);
  const std::vector<uint8_t> own(OCRWorkImage.buffer, OCRWorkImage.buffer + OCRWorkImage.bytes);
  ASSERT_EQ(funcOCRLoadTiff(dir.File("magick.tif").c_str(), 1, 0), 0);
  const std::vector<uint8_t> magick(OCRWorkImage.buffer, OCRWorkImage.buffer + OCRWorkImage.bytes);
  EXPECT_EQ(own, magick);
}

}  // namespace
}  // namespace analysis::ocr::test
