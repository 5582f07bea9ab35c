// The status entry points: the result table, records, gray files with contrast and focus, and the
// top-edge check of scanned fronts.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "analysis/iqa/iqa_status.h"
#include "imaging/image_record.h"
#include "imaging/image_writers.h"
#include "iqa_fixture.h"
#include "testkit/cheque/defect_image.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/pnm.h"
#include "testkit/support/scratch_dir.h"
#include "zarn/trace.h"

namespace analysis::iqa::testing {
namespace {

using zc::testkit::DefectSpec;

std::vector<uint8_t> GrayRecord(const zc::testkit::GrayImage& g, int dpi) {
  std::vector<uint8_t> r(8 + g.pixels.size());
  zc::imaging::WriteRecordHeader(r.data(), {g.width, g.height, 8, dpi});
  std::copy(g.pixels.begin(), g.pixels.end(), r.begin() + 8);
  return r;
}

class StatusTest : public IqaTest {};

TEST_F(StatusTest, ResultTableHoldsTheLastStatus) {
  EXPECT_EQ(IQAGetResult(32), -1);
  EXPECT_EQ(IQAGetResult(-1), -1);
  zc::testkit::ScratchDir dir("iqa");
  auto record = Record(800, 400, 1, 200, 0);
  for (int y = 0; y < 400; ++y)
    record[8 + y * 100] = 0xFF, record[8 + y * 100 + 1] = 0xF0;  // 12 px of ground
  const std::string path = dir / "front.tif";
  ASSERT_EQ(zc::imaging::ZARNCompressImage(path.c_str(), record), 1);
  IqaTestArgs args;
  args.mask = kIqaAutoCrop;
  EXPECT_EQ(IQAStatus(path.c_str(), 1, 0, nullptr, args), kIqaAutoCrop);
  EXPECT_EQ(IQAGetResult(0), 8);
  EXPECT_EQ(IQAStatus((dir / "missing.tif").c_str(), 1, 0, nullptr, args), kIqaNotLoadable);
}

TEST_F(StatusTest, StatusExWritesTheResultFileWhenAsked) {
  zc::testkit::ScratchDir dir("iqa");
  auto record = Record(800, 400, 1, 200, 0);
  const std::string in = dir / "in.tif", out = dir / "out.tif";
  ASSERT_EQ(zc::imaging::ZARNCompressImage(in.c_str(), record), 1);
  IqaTestArgs args;
  args.mask = kIqaCompressedSize;
  int32_t r[kIqaTableSlots] = {};
  EXPECT_EQ(IQAStatusEx(in.c_str(), 1, 1, out.c_str(), args, r), 0);
  EXPECT_TRUE(std::filesystem::exists(out));
  EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(out)), 512 + r[kSlotCompressedSize]);
  EXPECT_EQ(IQAStatusEx(in.c_str(), 1, 0, (dir / "none.tif").c_str(), args, r), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "none.tif"));
}

TEST_F(StatusTest, StatusMemReplacesTheRecordWithItsBilevelImage) {
  services.params[118] = 128;
  auto record = Record(800, 400, 8, 200, 255);
  for (int x = 100; x < 300; ++x) record[8 + 800 * 200 + x] = 0;
  IqaTestArgs args;
  int32_t r[kIqaTableSlots] = {};
  EXPECT_EQ(IQAStatusMem(record, 1, args, r), 0);
  EXPECT_EQ(record[4], 1);
  EXPECT_EQ(record[8 + 100 * 200 + 13], 0xFF);
  auto refused = Record(800, 100, 8, 200, 255);
  EXPECT_EQ(IQAStatusMem(refused, 1, args, r), kIqaNotLoadable);
}

TEST_F(StatusTest, ContrastOnlyFillsItsSlots) {
  const auto pair = zc::testkit::makeContrastPair(400, 300, 200, 50, false);
  auto record = GrayRecord(pair, 200);
  IqaTestArgs args;
  args.mask = kIqaContrast;
  int32_t r[kIqaTableSlots];
  std::fill(std::begin(r), std::end(r), 77);
  EXPECT_EQ(IQAStatusGray(nullptr, record, args, r), 0);
  for (int s = 0; s <= 20; ++s) EXPECT_EQ(r[s], 0) << s;
  EXPECT_EQ(r[kSlotCompressedSize], 0);
  // Two levels: lo one past the ink, hi one below the paper; the sharpest step is the whole difference.
  EXPECT_EQ(r[kSlotContrast], 200 - 50 - 2);
  EXPECT_EQ(r[kSlotFocus], 150 * 200 / 148);
}

TEST_F(StatusTest, UniformImageHasNoContrastOrFocus) {
  auto record = Record(400, 300, 8, 200, 128);
  IqaTestArgs args;
  args.mask = kIqaContrast;
  int32_t r[kIqaTableSlots] = {};
  EXPECT_EQ(IQAStatusGray(nullptr, record, args, r), 0);
  EXPECT_EQ(r[kSlotContrast], 0);
  EXPECT_EQ(r[kSlotFocus], 0);
}

TEST_F(StatusTest, BlurLowersFocusAndLowContrastLowersContrast) {
  IqaTestArgs args;
  args.mask = kIqaContrast;
  int32_t sharp[kIqaTableSlots] = {}, blurred[kIqaTableSlots] = {}, low[kIqaTableSlots] = {};
  auto a = GrayRecord(zc::testkit::makeContrastPair(400, 300, 220, 30, false), 200);
  auto b = GrayRecord(zc::testkit::makeContrastPair(400, 300, 220, 30, true), 200);
  auto c = GrayRecord(zc::testkit::makeContrastPair(400, 300, 180, 120, false), 200);
  IQAStatusGray(nullptr, a, args, sharp);
  IQAStatusGray(nullptr, b, args, blurred);
  IQAStatusGray(nullptr, c, args, low);
  EXPECT_LT(blurred[kSlotFocus], sharp[kSlotFocus]);
  EXPECT_EQ(low[kSlotContrast], 180 - 120 - 2);
  EXPECT_LT(low[kSlotContrast], sharp[kSlotContrast]);
}

// The gray measure of a PGM decoded by an outside tool.
int ContrastOf(const zc::testkit::PnmImage& p) {
  std::vector<uint8_t> r(8 + p.raster.size());
  zc::imaging::WriteRecordHeader(r.data(), {p.width, p.height, 8, 200});
  std::copy(p.raster.begin(), p.raster.end(), r.begin() + 8);
  IqaTestArgs args;
  args.mask = kIqaContrast;
  int32_t out[kIqaTableSlots] = {};
  IQAStatusGray(nullptr, r, args, out);
  return out[kSlotContrast];
}

TEST_F(StatusTest, JpegContrastAgreesWithAnOutsideDecoder) {
  if (!zc::testkit::HaveTool("cjpeg") || !zc::testkit::HaveTool("djpeg"))
    GTEST_SKIP() << "libjpeg tools missing";
  zc::testkit::ScratchDir dir("iqa");
  zc::testkit::ChequeSpec spec;
  const auto pair = zc::testkit::makeChequeGray(spec);
  ASSERT_TRUE(zc::testkit::WritePnm(dir / "in.pgm", zc::testkit::PnmFormat::kGray, pair.width, pair.height,
                                    pair.pixels));
  ASSERT_TRUE(zc::testkit::RunCommand("cjpeg -grayscale -quality 85 '" + dir / "in.pgm" + "' > '" +
                                      dir / "tool.jpg" + "'")
                  .ok());
  auto record = GrayRecord(pair, 200);
  const std::string own = dir / "own.jpg";
  ASSERT_EQ(zc::imaging::ZARNCompressImageGray(own.c_str(), record, 4), 1);
  for (const std::string name : {"tool.jpg", "own.jpg"}) {
    IqaTestArgs args;
    args.mask = kIqaContrast;
    int32_t r[kIqaTableSlots] = {};
    ASSERT_EQ(IQAStatusGray((dir / name).c_str(), {}, args, r), 0) << name;
    EXPECT_EQ(r[kSlotCompressedSize], static_cast<int32_t>(std::filesystem::file_size(dir / name)));
    ASSERT_TRUE(
        zc::testkit::RunCommand("djpeg -grayscale -pnm '" + dir / name + "' > '" + dir / "out.pgm" + "'")
            .ok());
    const auto decoded = zc::testkit::ReadPnm(dir / "out.pgm");
    ASSERT_TRUE(decoded);
    EXPECT_NEAR(r[kSlotContrast], ContrastOf(*decoded), 2) << name;
  }
}

TEST_F(StatusTest, GrayFileErrors) {
  IqaTestArgs args;
  args.mask = kIqaContrast;
  int32_t r[kIqaTableSlots] = {};
  EXPECT_EQ(IQAStatusGray("/nonexistent.jpg", {}, args, r), -1);
  zc::testkit::ScratchDir dir("iqa");
  dir.Write("junk.jpg", "not an image at all");
  EXPECT_EQ(IQAStatusGray((dir / "junk.jpg").c_str(), {}, args, r), 3);
  if (!zc::testkit::HaveTool("cjpeg")) return;
  // 32768 columns do not fit the record's 16-bit width.
  std::vector<uint8_t> wide(32768 * 8, 200);
  ASSERT_TRUE(zc::testkit::WritePnm(dir / "wide.pgm", zc::testkit::PnmFormat::kGray, 32768, 8, wide));
  ASSERT_TRUE(
      zc::testkit::RunCommand("cjpeg -grayscale '" + dir / "wide.pgm" + "' > '" + dir / "wide.jpg" + "'")
          .ok());
  EXPECT_EQ(IQAStatusGray((dir / "wide.jpg").c_str(), {}, args, r), -2);
}

TEST_F(StatusTest, CopyRowsStaysInsideItsBlock) {
  // The block of a 4 x 3 image: header and 12 pixel bytes; bands of other widths or past the end are dropped.
  struct Block {
    std::vector<uint8_t> bytes;
    int width, height;
  } block{std::vector<uint8_t>(8 + 12), 4, 3};
  const uint8_t rows[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const auto user = reinterpret_cast<uintptr_t>(&block);
  EXPECT_EQ(IQACopyRows(0, 1, 4, 3, rows, user), 0);
  EXPECT_EQ(block.bytes[8 + 4], 1);
  EXPECT_EQ(block.bytes[8 + 11], 8);
  EXPECT_EQ(IQACopyRows(0, 2, 4, 4, rows, user), 0);  // past the last row
  EXPECT_EQ(block.bytes[8 + 8], 5);
  EXPECT_EQ(IQACopyRows(0, 0, 8, 1, rows, user), 0);  // wider than the image
  EXPECT_EQ(block.bytes[8], 0);
}

// Stand-in readers: a scripted optical line and combination outcome.
class FakeReaders : public TopEdgeReaders {
 public:
  int OcrTiffImage(const char* name, int, char* line, char* confidence, size_t room) override {
    ++reads;
    readName = name;
    std::snprintf(line, room, "%s", "T123456789T");
    std::snprintf(confidence, room, "%s", "99999999999");
    return ocrResult;
  }
  void CombineMicr(const char*, const char*, const char*, int maxErrors, uint32_t* flags,
                   int* errors) override {
    EXPECT_EQ(maxErrors, -3);
    *flags = verifyFlags;
    *errors = errorCount;
  }
  int ocrResult = 0;
  uint32_t verifyFlags = 0;
  int errorCount = 0;
  int reads = 0;
  std::string readName;
};

class TopEdgeTest : public IqaTest {
 protected:
  void SetUp() override {
    IqaTest::SetUp();
    SetTopEdgeReaders(&readers);
    setenv("TMPDIR", dir.Path().c_str(), 1);
    zarn::SetScannerTypeCode(1);  // the black-and-white conversion runs for a known scanner
  }
  void TearDown() override {
    SetTopEdgeReaders(nullptr);
    zarn::SetScannerTypeCode(-1);
    if (oldTmp.empty()) {
      unsetenv("TMPDIR");
    } else {
      setenv("TMPDIR", oldTmp.c_str(), 1);
    }
    IqaTest::TearDown();
  }
  int Check(const DefectSpec& spec, const char* line) {
    const auto front = zc::testkit::makeDefectImage(spec);
    auto dib = zc::testkit::grayToPackedDib(front.gray);
    return IQAStatusCombTopEdge(dib, line);
  }
  std::string oldTmp = getenv("TMPDIR") != nullptr ? getenv("TMPDIR") : "";
  zc::testkit::ScratchDir dir{"iqa"};
  FakeReaders readers;
};

struct FrontCase {
  const char* name;
  void (*edit)(DefectSpec&);
  int result;
};
class TopEdgeFrontTest : public TopEdgeTest, public ::testing::WithParamInterface<FrontCase> {};
TEST_P(TopEdgeFrontTest, EmptyCodeLine) {
  DefectSpec spec;
  GetParam().edit(spec);
  EXPECT_EQ(Check(spec, ""), GetParam().result);
  EXPECT_EQ(readers.reads, 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "PVNXMICR.tif"));
}
INSTANTIATE_TEST_SUITE_P(
    Fronts, TopEdgeFrontTest,
    ::testing::Values(FrontCase{"clean", [](DefectSpec&) {}, 0},
                      FrontCase{"skew2_9", [](DefectSpec& s) { s.skewDegrees = 2.9; }, 0},
                      FrontCase{"skew3_0", [](DefectSpec& s) { s.skewDegrees = 3.0; }, 0},
                      FrontCase{"skew3_1", [](DefectSpec& s) { s.skewDegrees = 3.1; }, 0},
                      FrontCase{"skew3_3", [](DefectSpec& s) { s.skewDegrees = 3.3; }, 1},
                      FrontCase{"tornCorner",
                                [](DefectSpec& s) {
                                  s.cornerLeg = 170, s.corner = zc::testkit::Corner::kTopRight,
                                  s.tornCorner = true;
                                },
                                1},
                      FrontCase{"piggyback",
                                [](DefectSpec& s) { s.piggybackRows = 60, s.piggybackRight = 400; }, 1}),
    [](const auto& i) { return std::string(i.param.name); });

TEST_F(TopEdgeTest, SkewAngleOfTheFrontsAsMeasured) {
  for (const auto& [degrees, angle] : {std::pair{2.9, 27}, {3.0, 30}, {3.1, 30}, {3.3, 32}}) {
    DefectSpec spec;
    spec.skewDegrees = degrees;
    const auto front = zc::testkit::makeDefectImage(spec);
    EXPECT_EQ(front.slots.at(kSlotSkewAngle), angle) << degrees;
    auto dib = zc::testkit::grayToPackedDib(front.gray);
    ASSERT_EQ(IQAConvDIBToBW(dib), 0);
    int32_t r[kIqaTableSlots] = {};
    TestIQADocument(0, nullptr, {}, kIqaSkew, 0, 0, 75, nullptr, nullptr, nullptr, 0, 0, 0, 0, r);
    EXPECT_EQ(r[kSlotSkewAngle], angle) << degrees;
  }
}

TEST_F(TopEdgeTest, OpticalCheckOfTheCodeLine) {
  const DefectSpec clean;
  EXPECT_EQ(Check(clean, "T123456789T"), 0);
  EXPECT_EQ(readers.reads, 1);
  EXPECT_EQ(readers.readName, dir / "PVNXMICR.tif");
  EXPECT_TRUE(std::filesystem::exists(dir / "PVNXMICR.tif"));
  if (zc::testkit::HaveTool("tiffinfo")) {
    EXPECT_TRUE(zc::testkit::RunCommand("tiffinfo '" + dir / "PVNXMICR.tif" + "'").ok());
  }
  readers.ocrResult = 6;
  EXPECT_EQ(Check(clean, "T123456789T"), 3);  // unreadable
  readers.ocrResult = 0;
  readers.errorCount = 4;
  EXPECT_EQ(Check(clean, "T123456789T"), 5);  // the printed line differs
  readers.errorCount = 3;
  EXPECT_EQ(Check(clean, "T123456789T"), 0);
  readers.errorCount = 9;
  readers.verifyFlags = 0x1;  // not verified: not held against the document
  EXPECT_EQ(Check(clean, "T123456789T"), 0);
}

TEST_F(TopEdgeTest, GeometryFailureSkipsTheOpticalReading) {
  DefectSpec skewed;
  skewed.skewDegrees = 3.3;
  EXPECT_EQ(Check(skewed, "T123456789T"), 1);
  EXPECT_EQ(readers.reads, 0);
}

TEST_F(TopEdgeTest, UnloadableDibGivesMinus103) {
  std::vector<uint8_t> dib(30, 0);
  EXPECT_EQ(IQAStatusCombTopEdge(dib, "T1T"), kIqaNotLoadable);
}

TEST_F(TopEdgeTest, LogsGeometryWhenAsked) {
  services.params[117] = 4;
  EXPECT_EQ(Check(DefectSpec{}, ""), 0);
  ASSERT_FALSE(services.localLog.empty());
  EXPECT_EQ(services.localLog.back(), "Skew 0, Corners (0,0,0,0), TopEdge 0");
}

}  // namespace
}  // namespace analysis::iqa::testing
