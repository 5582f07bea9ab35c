// The verified scan's steps, options and scoring, through a fake that records every conversion and answers
// the readers and the image-quality grading from the test's table.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "analysis/vekscan/vekscan.h"
#include "imaging/image_record.h"

namespace analysis::vekscan {
namespace {

constexpr char kLine[] = "T111000025T 12345678U 0100";

class RecordingCalls : public ScanCalls {
 public:
  std::map<int, int32_t> params = {{147, 450}, {148, 1000}, {149, 150}, {2, 1}, {6, 0}, {153, 100}};
  std::vector<std::string> log;            // conversions, writes and reports in order
  std::function<void(int, int32_t*)> grade;  // fills the slots for a contrast (threshold: -value)
  int scanResult = 0;
  int secondScanResult = 0;
  int scans = 0;
  std::string magnetic = kLine;
  int failAllocation = 0;  // 1-based, 0 none
  int allocations = 0;
  int ocrResult = 0;
  std::string ocrLine = kLine;
  int rotatedResult = 1;
  int frontWidth = 400, frontHeight = 150, frontDpi = 200;
  int lastContrast = 0;
  uint8_t firstFrontPixel = 0;
  int edgeResult = 0;
  bool kept = true;        // with automatic font: the magnetic line is the template decoder's
  bool keptByScan = true;  // the flag as the scan leaves it

  std::unique_ptr<uint8_t[]> Allocate(size_t bytes) override {
    if (++allocations == failAllocation) return nullptr;
    return ScanCalls::Allocate(bytes);
  }
  int32_t GetParam(int id) override {
    auto it = params.find(id);
    return it == params.end() ? 0 : it->second;
  }
  int SetParam(int id, int32_t value) override {
    params[id] = value;
    return 0;
  }
  int TraceLevel() override { return 0; }
  void Log(const std::string&) override {}
  bool bKRDecodeKept() override { return kept; }
  int ScanMemoryGray(std::span<uint8_t> front, std::span<uint8_t> rear, char* line) override {
    ++scans;
    log.push_back("scan");
    kept = keptByScan;  // the API's magnetic callback sets the flag for the document it reads
    if (scans > 1 && secondScanResult < 0) return secondScanResult;
    for (auto area : {front, rear}) {
      const auto view = zc::imaging::StartRecord(area, {frontWidth, frontHeight, 8, frontDpi});
      EXPECT_TRUE(view.has_value());
      if (view->PixelBytes() == 0) continue;
      std::memset(view->pixels, 200, view->PixelBytes());
      view->pixels[0] = 10;
    }
    std::strncpy(line, magnetic.c_str(), kTextRoom - 1);
    return scans > 1 ? 0 : scanResult;
  }
  int ConvGrayImageEdgeDetectBW(std::span<const uint8_t> source, const char*, int contrast, unsigned mode,
                                std::span<uint8_t> output) override {
    log.push_back("edge " + std::to_string(contrast) + " mode " + std::to_string(mode));
    lastContrast = contrast;
    firstFrontPixel = source[8];
    if (edgeResult < 0) return edgeResult;
    return Bilevel(output);
  }
  int EdgeDetectBW(std::span<const uint8_t>, const char*, int contrast, unsigned mode) override {
    log.push_back("edge-file " + std::to_string(contrast) + " mode " + std::to_string(mode));
    lastContrast = contrast;
    return 1;
  }
  int ConvGrayToBW(std::span<uint8_t>, int threshold, std::span<uint8_t> output) override {
    log.push_back("threshold " + std::to_string(threshold));
    lastContrast = -threshold;
    return Bilevel(output);
  }
  int ConvImageToFile(std::span<const uint8_t>, int threshold, const char*) override {
    log.push_back("to-file " + std::to_string(threshold));
    return 1;
  }
  int ConvGrayArea(std::span<const uint8_t>, const char*, unsigned mode) override {
    log.push_back("area " + std::to_string(mode));
    return 1;
  }
  int GetHistogram(std::span<const uint8_t>, std::array<uint32_t, 16>& bins) override {
    bins.fill(0);
    bins[15] = 50;
    bins[12] = 30;
    bins[4] = 20;
    return 1;
  }
  int Scale(Scaling kind, std::span<const uint8_t>, std::span<uint8_t>) override {
    static const char* const kNames[] = {"300To240", "300To200", "300To100", "300To120", "200To100", "200To120"};
    log.push_back(std::string("scale ") + kNames[static_cast<int>(kind)]);
    return 0;
  }
  int VirtualEndorsement(std::span<uint8_t>, const char* text, const VEKScanEndorsement&) override {
    log.push_back(std::string("endorse ") + text);
    return 0;
  }
  int CompressImage(const char*, std::span<const uint8_t>) override {
    log.push_back("write-bw");
    return 1;
  }
  int CompressImageGray(const char*, std::span<const uint8_t>, int format) override {
    log.push_back("write-gray " + std::to_string(format));
    return 1;
  }
  int OcrRawImage(std::span<const uint8_t>, char* line, char* confidence) override {
    std::strncpy(line, ocrLine.c_str(), kTextRoom - 1);
    std::memset(confidence, '4', ocrLine.size());
    return ocrResult;
  }
  int OcrRawImageRotated(std::span<const uint8_t> r, char* line, char* confidence) override {
    return OcrRawImage(r, line, confidence) == 0 ? rotatedResult : 1;
  }
  int OcrTiffImage(const char*, char* line, char* confidence) override { return OcrRawImage({}, line, confidence); }
  int Cmc7ReadCodeLine(std::span<const uint8_t>, char* line, char*) override {
    log.push_back("cmc7-read");
    std::strcpy(line, "cmc7");
    return 0;
  }
  int Cmc7Combine(const char* magnetic, const char*, const char*, char* out) override {
    std::strcpy(out, magnetic);
    return 0;
  }
  int CombineMICR(const char*, const char* optical, const char*, char* out, int) override {
    std::strcpy(out, optical);
    return 0;
  }
  int ChooseMICRPass(const char* first, const char*, char* out) override {
    std::strcpy(out, first);
    return 0;
  }
  int VerifyMICRQuality(const char*, const char*, const char*) override { return 0; }
  int IQAStatusMem(std::span<uint8_t>, int, const iqa::IqaTestArgs&, int32_t* results) override {
    if (grade) grade(lastContrast, results);
    return 0;
  }
  int IQAStatusEx(const char* name, int, const iqa::IqaTestArgs& args, int32_t* results) override {
    if (args.mask == 0xC00) {
      results[10] = rearDensity;
      results[27] = 1;
    } else if (grade) {
      grade(lastContrast, results);
    }
    (void)name;
    return 0;
  }
  int FerloReportError(int code, const char*) override {
    log.push_back("report-error " + std::to_string(code));
    return 0;
  }
  int FerloReportDocument(const int32_t*, int quality, int, const char*, const char*, const char*,
                          const char*) override {
    log.push_back("report " + std::to_string(quality));
    return 0;
  }
  int32_t rearDensity = 0;

  std::vector<std::string> Conversions() const {
    std::vector<std::string> out;
    for (const auto& s : log) {
      if (s.rfind("edge", 0) == 0 || s.rfind("threshold", 0) == 0) out.push_back(s);
    }
    return out;
  }

 private:
  int Bilevel(std::span<uint8_t> output) {
    const auto view = zc::imaging::StartRecord(output, {frontWidth, frontHeight, 1, frontDpi});
    if (!view) return -552;
    std::memset(view->pixels, 0, view->PixelBytes());
    return 0;
  }
};

class VEKScanTest : public ::testing::Test {
 protected:
  void TearDown() override {
    VEKScanReleaseMemory();
    zarn::VEKScanExpectTable().Clear();
  }
  int Run(const char* frontBw = "front.tif", const char* rearBw = nullptr, const char* frontGray = nullptr) {
    zarn::VEKScanRequest r;
    r.frontBwTiff = frontBw;
    r.rearBwTiff = rearBw;
    r.frontImage = frontGray;
    r.codeLine = line;
    r.codeLineSize = sizeof line;
    r.iqaStatus = &status;
    r.contrast = &contrast;
    r.documentStatus = doc;
    return VEKScan(calls, r);
  }
  // Speckles by contrast give each try its score (speckles / 20 with MaxSpeckles 0).
  void Scores(std::map<int, int> byContrast) {
    calls.grade = [byContrast](int c, int32_t* r) {
      auto it = byContrast.find(c);
      r[1] = it == byContrast.end() ? 20 * 50 : 20 * it->second;
    };
  }
  RecordingCalls calls;
  char line[100] = {};
  int32_t status = 0, contrast = 0;
  int32_t doc[32] = {};
};

// With automatic font the scanned document's own line decides: the flag as the scan leaves it, not as
// the previous document left it.
TEST_F(VEKScanTest, AutomaticFontFollowsTheScannedDocumentsDecoder) {
  struct Case {
    bool before, after, cmc7;
  };
  for (const Case c : {Case{true, false, true}, Case{false, true, false}}) {
    SCOPED_TRACE(c.before);
    calls.params[2] = 2;
    calls.params[6] = 4;
    calls.frontDpi = 300;
    calls.kept = c.before;
    calls.keptByScan = c.after;
    calls.log.clear();
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(std::count(calls.log.begin(), calls.log.end(), "cmc7-read"), c.cmc7 ? 1 : 0);
    VEKScanReleaseMemory();
  }
}

using Log = std::vector<std::string>;

TEST_F(VEKScanTest, WithoutTheSweepOptionOneConversionAtTheStartContrast) {
  Scores({{600, 9}});
  calls.params[147] = 600;
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(calls.Conversions(), (Log{"edge 600 mode 83"}));
  EXPECT_EQ(status, 9);
  EXPECT_EQ(contrast, 600);
  EXPECT_STREQ(line, kLine);
}

TEST_F(VEKScanTest, OutOfRangeStartAndSmallStepAreCorrectedAndTheBestIsRunAgain) {
  Scores({{450, 5}, {600, 2}, {750, 3}, {900, 4}});
  calls.params[156] = 0x1 | 0x10 | 0x40;
  calls.params[147] = 150;
  calls.params[149] = 20;
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(calls.Conversions(), (Log{"edge 450 mode 1619", "edge 600 mode 1619", "edge 750 mode 1619",
                                      "edge 900 mode 1619", "edge 600 mode 1619"}));
  EXPECT_EQ(status, 2);
  EXPECT_EQ(contrast, 600);
}

// A start above the end still renders the document once, at the start: without a try the front file
// would receive whatever the work buffer held from the document before.
TEST_F(VEKScanTest, AStartAboveTheEndConvertsOnceAtTheStart) {
  Scores({{900, 3}});
  calls.params[156] = 0x1;
  calls.params[147] = 900;
  calls.params[148] = 750;
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(calls.Conversions(), (Log{"edge 900 mode 83"}));
  EXPECT_EQ(status, 3);
  EXPECT_EQ(contrast, 900);
}

TEST_F(VEKScanTest, TheSweepStopsAtTheFirstScoreZero) {
  Scores({{450, 5}, {600, 0}});
  calls.params[156] = 0x1;
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(calls.Conversions(), (Log{"edge 450 mode 83", "edge 600 mode 83"}));
  EXPECT_EQ(status, 0);
}

TEST_F(VEKScanTest, SimpleThresholdTriedAfterTheSweepAndKeptWhenBest) {
  Scores({{450, 5}, {600, 4}, {750, 3}, {900, 4}, {-144, 1}});
  calls.params[156] = 0x1 | 0x2;
  calls.params[11] = 7;
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(calls.Conversions(), (Log{"edge 450 mode 83", "edge 600 mode 83", "edge 750 mode 83",
                                      "edge 900 mode 83", "threshold 144"}));
  EXPECT_EQ(contrast, 7);
  EXPECT_EQ(status, 1);
}

struct StatusCase {
  const char* name;
  std::function<void(int32_t*)> slots;
  std::map<int, int32_t> params;
  int status;
};
class VEKScanStatusTest : public VEKScanTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(VEKScanStatusTest, AddsUpScoreAndDefects) {
  for (const auto& [id, v] : GetParam().params) calls.params[id] = v;
  calls.params[151] = 1000;
  calls.params[153] = 100;
  calls.params[154] = 50;
  auto slots = GetParam().slots;
  calls.grade = [slots](int, int32_t* r) {
    r[4] = r[5] = r[6] = r[7] = 10;
    r[10] = 20;
    r[9] = 100;
    slots(r);
  };
  calls.rearDensity = 60;
  ASSERT_EQ(Run("front.tif", calls.params.count(99) ? "rear.tif" : nullptr), 0);
  EXPECT_EQ(status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VEKScanStatusTest,
    ::testing::Values(
        StatusCase{"Clean", [](int32_t*) {}, {}, 0},
        StatusCase{"AutoCropAndSpeckles", [](int32_t* r) { r[0] = 1; r[1] = 600; }, {}, 256 + 30},
        StatusCase{"SizeSkewSolidLine", [](int32_t* r) { r[2] = -1; r[3] = 1; r[8] = 1; }, {}, 128 + 256 + 256},
        StatusCase{"BentCornerScaledByResolution", [](int32_t* r) { r[5] = 140; r[24] = 300; }, {}, 0},
        StatusCase{"BentCornerAtLimit", [](int32_t* r) { r[5] = 150; r[24] = 300; }, {}, 256},
        StatusCase{"WeakMicrCountedWhenTested", [](int32_t* r) { r[9] = 10; }, {{146, 0x200}, {152, 50}}, 256},
        StatusCase{"WeakMicrIgnoredUntested", [](int32_t* r) { r[9] = 10; }, {{152, 50}}, 0},
        StatusCase{"TooDense", [](int32_t* r) { r[10] = 51; }, {}, 512},
        StatusCase{"TooLightWhenTested", [](int32_t* r) { r[10] = 2; }, {{146, 0x800}}, 256},
        StatusCase{"LineAnalysis", [](int32_t* r) { r[20] = 1; }, {}, 256},
        StatusCase{"ShortDocument", [](int32_t*) {}, {{192, 21}, {99, 1}}, 256},
        StatusCase{"DenseRearGradedWithOption", [](int32_t*) {}, {{156, 0x100}, {99, 1}}, 1024}),
    [](const auto& p) { return std::string(p.param.name); });

struct GrayOutputCase {
  const char* name;
  int jpegResolution;
  bool dpi300;
  int32_t options;
  std::vector<std::string> steps;  // scalings and gray writes in order
};
class VEKScanGrayOutputTest : public VEKScanTest, public ::testing::WithParamInterface<GrayOutputCase> {};

TEST_P(VEKScanGrayOutputTest, ScalesByJpegEndResolution) {
  const GrayOutputCase& c = GetParam();
  calls.params[150] = c.jpegResolution;
  calls.params[6] = c.dpi300 ? 4 : 0;
  calls.params[156] = c.options;
  ASSERT_EQ(Run("front.tif", nullptr, "front.jpg"), 0);
  std::vector<std::string> steps;
  for (const auto& s : calls.log) {
    if (s.rfind("scale", 0) == 0 || s.rfind("write-gray", 0) == 0) steps.push_back(s);
  }
  EXPECT_EQ(steps, c.steps);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VEKScanGrayOutputTest,
    ::testing::Values(
        GrayOutputCase{"To100From300With200Option", 100, true, 0x1000,
                       {"scale 300To200", "scale 300To200", "scale 300To100", "write-gray 4"}},
        GrayOutputCase{"To100From200", 100, false, 0, {"scale 200To100", "write-gray 4"}},
        GrayOutputCase{"To120From200", 120, false, 0, {"scale 200To120", "write-gray 4"}},
        GrayOutputCase{"To120From300With240Option", 120, true, 0x200,
                       {"scale 300To240", "scale 300To240", "scale 200To100", "write-gray 4"}},
        GrayOutputCase{"To120From300", 120, true, 0, {"scale 300To120", "write-gray 4"}},
        GrayOutputCase{"To200From300", 200, true, 0x8, {"scale 300To200", "write-gray 3"}},
        GrayOutputCase{"To200From300With200Option", 200, true, 0x1000,
                       {"scale 300To200", "scale 300To200", "write-gray 4"}},
        GrayOutputCase{"To300Unscaled", 300, true, 0, {"write-gray 4"}},
        GrayOutputCase{"OtherResolutionWritesNothing", 150, false, 0, {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(VEKScanTest, DocumentStatusCarriesTheRearAndUpsideDownSlots) {
  calls.params[156] = 0x100;
  calls.rearDensity = 7;
  calls.grade = [](int, int32_t* r) { r[9] = 33; };
  ASSERT_EQ(Run("front.tif", "rear.tif"), 0);
  EXPECT_EQ(doc[9], 33);
  EXPECT_EQ(doc[27], 1);
  EXPECT_EQ(doc[30], 0);
  EXPECT_EQ(doc[31], 7);
}

TEST_F(VEKScanTest, AFailedOpticalReadingScoresAndKeepsTheMagneticLine) {
  calls.ocrResult = 6;
  calls.ocrLine = "other";
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(status, 8192);
  EXPECT_STREQ(line, kLine);
}

TEST_F(VEKScanTest, UpsideDownGivesTheOpticalLineAndTwoHundredFiftySixMore) {
  calls.params[156] = 0x400;
  calls.magnetic = "@@@@@@@ @@";
  calls.rotatedResult = 0;
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(status, 256);
  EXPECT_STREQ(line, kLine);
  EXPECT_EQ(doc[30], 1);
  // The front was turned before the sweep: its first pixel is the last one scanned.
  EXPECT_EQ(calls.firstFrontPixel, 200);
  EXPECT_EQ(calls.Conversions().front(), "edge 600 mode 83");
}

TEST_F(VEKScanTest, ADoubleFeedInNoStopModeStillWritesTheImages) {
  calls.scanResult = -217;
  calls.params[7] = 2;
  calls.params[150] = 300;
  EXPECT_EQ(Run("front.tif", nullptr, "front.jpg"), -217);
  EXPECT_EQ(calls.log, (Log{"scan", "write-gray 4", "edge 450 mode 83", "write-bw", "report-error -217"}));
  EXPECT_EQ(status, 256);
}

TEST_F(VEKScanTest, ADoubleFeedWithoutImagesStopsAtTheScan) {
  calls.scanResult = -217;
  calls.params[7] = 2;
  calls.frontWidth = 0;  // nothing arrived
  EXPECT_EQ(Run("front.tif", nullptr, "front.jpg"), -217);
  EXPECT_EQ(calls.log, (Log{"scan", "report-error -217"}));
}

TEST_F(VEKScanTest, ADoubleFeedOtherwiseStopsAtTheScan) {
  calls.scanResult = -217;
  EXPECT_EQ(Run("front.tif", nullptr, "front.jpg"), -217);
  EXPECT_EQ(calls.log, (Log{"scan", "report-error -217"}));
}

TEST_F(VEKScanTest, AnExpectedEntrySetsTheConversionInsteadOfTheSweep) {
  ASSERT_EQ(VEKScanExpectSet(1, 1, "111000025", "", 2, 60, 0, 0), 0);
  calls.params[156] = 0x1;
  ASSERT_EQ(Run(), 0);
  // 60 % of 100 is reached at bin 12: threshold (16 - 12) x 16.
  EXPECT_EQ(calls.Conversions(), Log{});
  EXPECT_NE(std::find(calls.log.begin(), calls.log.end(), "to-file 64"), calls.log.end());
  EXPECT_EQ(contrast, 10);
}

TEST_F(VEKScanTest, EndorsementCounterAdvancesPerDocument) {
  calls.params[170] = 1;
  const int32_t values[10] = {};
  InstallScanCalls(&calls);
  VEKScanSetVirtualEndorsement("No %04d", nullptr, 1, 7, 3, values, "Sans");
  ASSERT_EQ(Run(), 0);
  ASSERT_EQ(Run(), 0);
  std::vector<std::string> texts;
  for (const auto& s : calls.log) {
    if (s.rfind("endorse", 0) == 0) texts.push_back(s);
  }
  EXPECT_EQ(texts, (Log{"endorse No 0007", "endorse No 0010"}));
  VEKScanSetVirtualEndorsement(nullptr, nullptr, 0, 0, 0, nullptr, nullptr);
  EXPECT_EQ(calls.params[170], 0);
  InstallScanCalls(nullptr);
}

class VEKScanAllocationTest : public VEKScanTest, public ::testing::WithParamInterface<int> {};

TEST_P(VEKScanAllocationTest, NoMemoryFreesEveryBuffer) {
  // The fifth block is the work buffer grown for a front larger than its first size.
  calls.frontWidth = 2550;
  calls.frontHeight = 1100;
  calls.frontDpi = 300;
  calls.failAllocation = GetParam();
  EXPECT_EQ(Run(), -106);
  const BufferSizes held = HeldBuffers();
  EXPECT_EQ(held.front + held.rear + held.third + held.work, 0u);
  // The next call allocates again.
  calls.failAllocation = 0;
  EXPECT_EQ(Run(), 0);
  EXPECT_GE(HeldBuffers().work, 8u + 319 * 1100);
}

INSTANTIATE_TEST_SUITE_P(EachBlock, VEKScanAllocationTest, ::testing::Values(1, 2, 3, 4, 5));

TEST_F(VEKScanTest, ColourSidesGetBuffersLargeEnoughForAColourCheque) {
  calls.params[119] = 1;
  ASSERT_EQ(Run(nullptr), 0);
  EXPECT_GE(HeldBuffers().front, 8u + 3 * 2550 * 1101);
}

TEST_F(VEKScanTest, TwoPassRestoresScanModeAndGainWhenTheSecondScanFails) {
  calls.params[156] = 0x800;
  calls.params[167] = 30;
  calls.params[191] = 0;
  calls.params[194] = 5;
  calls.secondScanResult = -210;
  EXPECT_EQ(Run(), -210);
  EXPECT_EQ(calls.scans, 2);
  EXPECT_EQ(calls.params[191], 1);
  EXPECT_EQ(calls.params[193], 100);
  EXPECT_EQ(calls.params[194], 0);
}

TEST_F(VEKScanTest, TwoPassRestoresWhenAConversionFails) {
  calls.params[156] = 0x800;
  calls.params[167] = 30;
  calls.edgeResult = -552;
  EXPECT_EQ(Run(), -552);
  EXPECT_EQ(calls.log.back(), "report-error -552");
  EXPECT_EQ(calls.params[191], 1);
  EXPECT_EQ(calls.params[193], 100);
}

}  // namespace
}  // namespace analysis::vekscan
