// The analysis install point: the placeholder, forwarding to installed services, per-connection decoder
// state, and whole per-document results while another thread decodes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "scripted_analysis.h"
#include "zarn/analysis.h"
#include "zarn/status.h"

namespace zarn {
namespace {

class AnalysisTest : public ::testing::Test {
 protected:
  void TearDown() override { InstallAnalysisServices(nullptr); }
};

TEST_F(AnalysisTest, PlaceholderDecodesAndFindsNothing) {
  auto state = OpenAnalysisState();
  const uint16_t samples[4] = {1, 2, 3, 4};
  char line[kCodeLineRoom] = "stale";
  char confidence[kCodeLineRoom] = "stale";
  funcDecodeMagneticMICR(*state, samples, sizeof samples, line, confidence);
  EXPECT_STREQ(line, "");
  EXPECT_STREQ(confidence, "");
  EXPECT_EQ(funcGetMagneticMICRResults(*state, line, confidence, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(VEKScanExpectFind("T123456789T"), -1);
  EXPECT_EQ(funcOCRTiffImage("x.tif", 0, 0, line, confidence, sizeof line), 6);
  char merged[kCodeLineRoom];
  EXPECT_EQ(funcCombineMICR("T12T", "T13T", "0000", merged, sizeof merged, -4), 0);
  EXPECT_STREQ(merged, "T12T");
  EXPECT_EQ(funcCombineMICR(nullptr, "x", "0", merged, sizeof merged, 0), 1);
  EXPECT_EQ(VEKScan(VEKScanRequest{}), kUnsupportedFunction);
  VEKScanReleaseMemory();
}

TEST_F(AnalysisTest, InstalledServicesReceiveTheCalls) {
  testing::ScriptedAnalysis scripted;
  scripted.expectFind = 4;
  scripted.ocrLine = "T0123T";
  scripted.verifyStatus = 3;
  InstallAnalysisServices(&scripted);
  EXPECT_EQ(VEKScanExpectFind("line"), 4);
  char line[8];
  char confidence[8];
  EXPECT_EQ(funcOCRRawImage(nullptr, 16, line, confidence, sizeof line), 0);
  EXPECT_STREQ(line, "T0123T");
  EXPECT_EQ(funcGetMICRVerifyStatus(), 3);
  EXPECT_EQ(IQAStatusCombTopEdge(nullptr, "line"), 0);
  const std::vector<std::string> expected = {"expect find line", "ocr raw 16", "verify status",
                                             "comb top edge line"};
  EXPECT_EQ(scripted.Calls(), expected);
}

TEST_F(AnalysisTest, EachConnectionHasItsOwnDecoderAndResults) {
  testing::ScriptedAnalysis scripted;
  InstallAnalysisServices(&scripted);
  auto first = OpenAnalysisState();
  auto second = OpenAnalysisState();
  EXPECT_EQ(scripted.DecodersOpened(), 2);
  scripted.QueueMagnetic(testing::ScriptedAnalysis::Magnetic("A111A", "00000"));
  const uint16_t samples[2] = {};
  funcDecodeMagneticMICR(*first, samples, sizeof samples, nullptr, nullptr);
  char line[kCodeLineRoom];
  char confidence[kCodeLineRoom];
  int32_t positions[kMicrCharacterPositions];
  EXPECT_EQ(funcGetMagneticMICRResults(*first, line, confidence, positions, nullptr, nullptr), 5);
  EXPECT_STREQ(line, "A111A");
  EXPECT_EQ(positions[4], 500);
  EXPECT_EQ(funcGetMagneticMICRResults(*second, line, confidence, positions, nullptr, nullptr), 0);
}

// A decoder that writes a full 100-byte line with no terminator.
class UnterminatedDecoder : public MagneticDecoder {
 public:
  void Decode(const uint16_t*, size_t, MagneticMicrResults& out) override {
    std::memset(out.line, '7', sizeof out.line);
  }
};

TEST_F(AnalysisTest, PublishedLinesAreTerminatedWithinTheirRoom) {
  AnalysisState state(std::make_unique<UnterminatedDecoder>());
  const uint16_t samples[1] = {};
  char line[kCodeLineRoom];
  funcDecodeMagneticMICR(state, samples, sizeof samples, line, nullptr);
  EXPECT_EQ(std::strlen(line), kCodeLineRoom - 1);
}

TEST_F(AnalysisTest, ReadersSeeWholeDocumentsWhileTheNextDecodes) {
  testing::ScriptedAnalysis scripted;
  InstallAnalysisServices(&scripted);
  auto state = OpenAnalysisState();
  constexpr int kDocuments = 2000;
  for (int i = 0; i < kDocuments; ++i) {
    scripted.QueueMagnetic(i % 2 == 0 ? testing::ScriptedAnalysis::Magnetic("T11111T", "0000000")
                                      : testing::ScriptedAnalysis::Magnetic("T222T", "99999"));
  }
  std::atomic<bool> done{false};
  std::thread poller([&] {
    const uint16_t samples[1] = {};
    for (int i = 0; i < kDocuments; ++i) funcDecodeMagneticMICR(*state, samples, sizeof samples, nullptr, nullptr);
    done = true;
  });
  while (!done) {
    const MagneticMicrResults r = state->Results();
    const std::string line = r.line;
    const std::string confidence = r.confidence;
    if (line.empty()) continue;
    ASSERT_TRUE((line == "T11111T" && confidence == "0000000") || (line == "T222T" && confidence == "99999"))
        << line << " / " << confidence;
  }
  poller.join();
}

}  // namespace
}  // namespace zarn
