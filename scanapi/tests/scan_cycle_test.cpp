// Scan calls, the QV600 document cycle, device services and endorsement printing on the scripted fake
// device library.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "fake_qv6_fixture.h"
#include "platform/byte_order.h"
#include "platform/clock.h"
#include "platform/ini.h"
#include "platform/thread.h"
#include "scripted_analysis.h"
#include "testkit/support/external_tool.h"
#include "zarn/expect_table.h"
#include "zarn/qv600_services.h"
#include "zarn/scan.h"
#include "zarn/statistics.h"
#include "zarn/status.h"

namespace zarn {
namespace {

using plat::bytes::PutLe16;
using plat::bytes::PutLe32;

// An 8-bit gray packed DIB: a white document with a dark band.
std::vector<uint8_t> GrayDib(int width, int height) {
  const size_t stride = (static_cast<size_t>(width) + 3) & ~size_t{3};
  std::vector<uint8_t> dib(40 + 1024 + stride * static_cast<size_t>(height), 0xFF);
  PutLe32(dib.data(), 40);
  PutLe32(dib.data() + 4, static_cast<uint32_t>(width));
  PutLe32(dib.data() + 8, static_cast<uint32_t>(height));
  PutLe16(dib.data() + 12, 1);
  PutLe16(dib.data() + 14, 8);
  std::fill(dib.begin() + 16, dib.begin() + 40, 0);
  for (int i = 0; i < 256; ++i) {
    uint8_t* e = dib.data() + 40 + 4 * i;
    e[0] = e[1] = e[2] = static_cast<uint8_t>(i);
    e[3] = 0;
  }
  uint8_t* pixels = dib.data() + 40 + 1024;
  for (int y = height / 3; y < height / 2; ++y) std::fill_n(pixels + stride * static_cast<size_t>(y), width / 2, 0x10);
  return dib;
}

// Documents arrive a little after scanning is enabled, as a fed document does.
fake::FakeDocument Document(const std::string& codeLine, uint32_t delayMs = 30) {
  fake::FakeDocument d;
  d.codeLine = codeLine;
  d.frontDib = GrayDib(400, 200);
  d.rearDib = GrayDib(400, 200);
  d.statusWords = {{kStConnected | kStMicrReady | kStFrontReady | kStRearReady, 0}};
  d.delayMs = delayMs;
  return d;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

class ScanTest : public Qv600Test {
 protected:
  void SetUp() override {
    Qv600Test::SetUp();
    funcTableSetParamString(159, "KWL");
    ASSERT_EQ(ZARNInit(), 1);
    funcTableSetParam(109, 2000);
    funcTableSetParam(36, 0);  // no cropping: the fake's images are the documents
    control_->ClearCallLog();
  }
  void TearDown() override {
    plat::SetMessagePump(nullptr);
    if (Api().zarnInitialised) ZARNExit();
    InstallAnalysisServices(nullptr);
    ResetEndorsementForTests();
    Qv600Test::TearDown();
  }
  // Scans one document to G4 files in the scratch folder.
  int ScanFiles(int mode, std::string* codeLine = nullptr) {
    char fs[12] = {}, rs[12] = {}, line[kScanCodeLineBuffer] = {}, len[12] = {};
    const int r = ZARNScan(mode, "front.tif", fs, "rear.tif", rs, line, len);
    frontSize_ = std::atoi(fs);
    rearSize_ = std::atoi(rs);
    if (codeLine != nullptr) *codeLine = line;
    return r;
  }
  int frontSize_ = 0;
  int rearSize_ = 0;
};

TEST_F(ScanTest, ModesOutsideTheJobTableAreRefusedWithoutADeviceCall) {
  struct Case {
    int mode;
    int result;
  };
  for (const Case c : {Case{0, kBadJob}, Case{8, kBadJob}, Case{-1, kBadJob}, Case{2, kBadParameter},
                       Case{4, kBadParameter}, Case{6, kBadParameter}}) {
    SCOPED_TRACE(c.mode);
    EXPECT_EQ(ScanFiles(c.mode), c.result);
    EXPECT_EQ(frontSize_, 0);
  }
  EXPECT_EQ(Count("QV6EnableScan"), 0u);
  EXPECT_EQ(Count("QV6InitDeviceFromFile"), 0u);
  EXPECT_EQ(ZARNReservedCall(), kUnsupportedFunction);
}

TEST_F(ScanTest, GoodDocumentWritesBothSidesAndTheCodeLine) {
  control_->QueueDocument(Document("T123456789T 12345678U"));
  std::string line;
  ASSERT_EQ(ScanFiles(7, &line), 0);
  EXPECT_EQ(line, "T123456789T 12345678U");
  const std::string front = ReadFile(dir_.Path() + "/front.tif");
  ASSERT_GT(front.size(), 8u);
  EXPECT_EQ(front.substr(0, 4), std::string("II*\0", 4));
  EXPECT_EQ(static_cast<int>(front.size()), frontSize_);
  EXPECT_EQ(static_cast<int>(ReadFile(dir_.Path() + "/rear.tif").size()), rearSize_);
  // "Enable Scan" (on by default) leaves the scanner enabled for the next document.
  EXPECT_EQ(Qv600().enableScan.load(), 1);
  EXPECT_EQ(Qv600().getImageBusy.load(), 0);
}

TEST_F(ScanTest, AModeChangeReachesTheDeviceBeforeTheNextDocument) {
  // Scanning ends disabled, so the next document is fed only after the reload.
  funcTableSetParam(111, 0);
  fake::FakeDocument frontOnly = Document("");
  frontOnly.rearDib.clear();
  control_->QueueDocument(frontOnly);
  ASSERT_EQ(ScanFiles(1), 0);
  EXPECT_EQ(rearSize_, 0);
  control_->QueueDocument(Document("T111111111T"));
  std::string line;
  ASSERT_EQ(ScanFiles(7, &line), 0);
  EXPECT_EQ(line, "T111111111T");
  EXPECT_GT(rearSize_, 0);
  // The reload read a driver file that already named the new sides.
  EXPECT_GE(Count("QV6InitDeviceFromFile"), 1u);
  EXPECT_EQ(plat::ReadProfileInt("QV600 CONFIG", "MICR Enable", -1, Qv600DriverFileName()) != 0 ||
                funcTableGetParam(1) == 1,
            true);
}

TEST_F(ScanTest, TimeOutFollowsTheDeadlineFormulaAndDisablesScanning) {
  plat::ScopedClock fast(50.0);
  funcTableSetParam(109, 1000);
  funcTableSetParam(111, 0);
  SetApiTraceLevel(2);
  SetApiLogToFile(1);
  struct Case {
    const char* name;
    uint32_t status;
    long extra;
  };
  for (const Case c : {Case{"EmptyFeeder", kStConnected, 0}, Case{"DocumentAtTheFeeder", kStConnected | kStFeedSensor, 2000}}) {
    SCOPED_TRACE(c.name);
    control_->SetStatusWords(c.status, 0);
    const uint32_t t0 = plat::GetTickCount();
    EXPECT_EQ(ScanFiles(5), kFeederEmpty);
    EXPECT_GE(plat::TicksElapsed(t0, plat::GetTickCount()), static_cast<uint32_t>(1000 + c.extra));
    EXPECT_EQ(Qv600().enableScan.load(), 0);
    const std::string log = ReadFile(dir_.Path() + "/zarnapi.log");
    long base = 0, now = 0;
    const size_t at = log.rfind("1dwClockBeginTime = ");
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(std::sscanf(log.c_str() + at, "1dwClockBeginTime = %ld, CurrentTime = %ld", &base, &now), 2);
    EXPECT_EQ(static_cast<uint32_t>(base - now), static_cast<uint32_t>(c.extra));
  }
  EXPECT_GE(Count("QV6DisableScan"), 2u);
}

TEST_F(ScanTest, ANestedScanFromThePumpGivesNoDocumentAndTheOuterDocumentStands) {
  std::atomic<int> nested{1};
  plat::SetMessagePump([&] {
    if (nested.load() == 1) {
      char fs[12], rs[12], line[kScanCodeLineBuffer], len[12];
      nested = ZARNScan(7, "nested.tif", fs, "nested_rear.tif", rs, line, len);
    }
  });
  control_->QueueDocument(Document("T222222222T", 50));
  std::string line;
  EXPECT_EQ(ScanFiles(7, &line), 0);
  EXPECT_EQ(nested.load(), kFeederEmpty);
  EXPECT_EQ(line, "T222222222T");
  EXPECT_GT(frontSize_, 0);
}

TEST_F(ScanTest, ExitFromAPumpedHandlerEndsTheScanWithoutTouchingTheImages) {
  funcTableSetParam(109, 300);
  std::atomic<int> exitResult{0};
  plat::SetMessagePump([&] {
    if (exitResult.load() == 0) exitResult = ZARNExit();
  });
  control_->QueueDocument(Document("T333333333T", 100));
  EXPECT_EQ(ScanFiles(7), kFeederEmpty);
  EXPECT_EQ(exitResult.load(), 1);
  EXPECT_EQ(frontSize_, 0);
  EXPECT_FALSE(std::ifstream(dir_.Path() + "/front.tif").good());
}

struct ErrorCase {
  const char* name;
  std::function<void(fake::FakeDocument&)> script;
  int result;
};

class ScanErrors : public ScanTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ScanErrors, GiveTheirCodeAndTheNextDocumentWorks) {
  fake::FakeDocument bad = Document("T444444444T");
  GetParam().script(bad);
  control_->QueueDocument(bad);
  EXPECT_EQ(ScanFiles(7), GetParam().result);
  EXPECT_EQ(frontSize_, 0);
  control_->SetStatusWords(kStConnected, 0);
  control_->QueueDocument(Document("T555555555T"));
  std::string line;
  EXPECT_EQ(ScanFiles(7, &line), 0);
  EXPECT_EQ(line, "T555555555T");
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ScanErrors,
    ::testing::Values(
        ErrorCase{"DoubleFeed", [](fake::FakeDocument& d) { d.statusWords = {{kStConnected, kErDoubleFeed}}; },
                  kDoubleFeed},
        ErrorCase{"Jam", [](fake::FakeDocument& d) { d.statusWords = {{kStConnected, kErJam}}; }, kDocumentJam},
        ErrorCase{"FrontTooNarrow", [](fake::FakeDocument& d) { d.frontDib = GrayDib(199, 500); },
                  kDocumentTooLong},
        ErrorCase{"ParseErrorTest",
                  [](fake::FakeDocument& d) {
                    d.codeLine = "T1:2:3:4T";
                    funcTableSetParam(180, 1);
                  },
                  kMicrParsingError},
        ErrorCase{"FrontFetchFailed", [](fake::FakeDocument& d) { d.frontDib.clear(); }, kFeederEmpty}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

TEST_F(ScanTest, StatisticsCountImagesErrorsAndTheVerificationStatus) {
  funcTableSetParam(134, 1);
  const StatRecord before = StatisticsService().Run();
  control_->QueueDocument(Document("T123123123T"));
  ASSERT_EQ(ScanFiles(7), 0);
  fake::FakeDocument jam = Document("T1T");
  jam.statusWords = {{kStConnected, kErJam}};
  control_->QueueDocument(jam);
  ASSERT_EQ(ScanFiles(7), kDocumentJam);
  control_->SetStatusWords(kStConnected, 0);
  control_->QueueDocument(Document("T456456456T"));
  char fs[12], rs[12], line[kScanCodeLineBuffer], len[12];
  ASSERT_EQ(ZARNScanGray(7, "f.jpg", fs, "r.jpg", rs, line, len, 4), 0);
  const StatRecord after = StatisticsService().Run();
  EXPECT_EQ(after.gray1Images - before.gray1Images, 2);
  EXPECT_EQ(after.gray8Images + after.gray4Images - before.gray8Images - before.gray4Images, 2);
  EXPECT_EQ(after.paperJamErrors - before.paperJamErrors, 1);
  int micr = 0;
  for (int i = 0; i < 4; ++i) micr += after.micr[i] - before.micr[i];
  EXPECT_EQ(micr, 2);
}

TEST_F(ScanTest, RearImageOfTheSmallSizeIsStillConverted) {
  fake::FakeDocument d = Document("T666666666T");
  d.rearDib = GrayDib(199, 500);
  control_->QueueDocument(d);
  EXPECT_EQ(ScanFiles(7), 0);
  EXPECT_GT(rearSize_, 0);
}

TEST_F(ScanTest, MemoryScanFillsTheCallersRecordsWithinTheirSize) {
  control_->QueueDocument(Document("T777777777T"));
  std::vector<uint8_t> front(64 * 1024), rear(64 * 1024);
  int32_t fs = 0, rs = 0, len = 0;
  char line[kScanCodeLineBuffer] = {};
  ASSERT_EQ(ZARNScanMemory(7, front, &fs, rear, &rs, line, &len), 0);
  EXPECT_EQ(plat::bytes::GetLe16(front.data()), 400);
  EXPECT_EQ(plat::bytes::GetLe16(front.data() + 2), 200);
  EXPECT_EQ(plat::bytes::GetLe16(front.data() + 4), 1);
  EXPECT_EQ(fs, 8 + 200 * 50);
  EXPECT_EQ(len, 11);
  // An area too small for the record is refused, never overrun.
  control_->QueueDocument(Document("T888888888T"));
  std::vector<uint8_t> small(100);
  EXPECT_LT(ZARNScanMemory(7, small, &fs, rear, &rs, line, &len), 0);
}

TEST_F(ScanTest, LongCodeLinesAreCutForTheCallerAndTheLengthSaysSo) {
  // The cycle's own buffer holds 69 characters; the caller's copy is capped at 97.
  control_->QueueDocument(Document(std::string(120, '1')));
  char fs[12], rs[12], len[12];
  char line[kScanCodeLineBuffer + 8];
  std::memset(line, 'x', sizeof line);
  ASSERT_EQ(ZARNScan(7, "f.tif", fs, "r.tif", rs, line, len), 0);
  EXPECT_EQ(std::atoi(len), 69);
  EXPECT_EQ(std::strlen(line), 69u);
}

// A double feed in the no-stop mode: the images arrive and the document check decides.
struct NoStopCase {
  const char* name;
  const char* codeLine;
  int expectOptions;  // -1: no list entry
  int combTopEdge;
  int result;
};

class NoStopDoubleFeed : public ScanTest, public ::testing::WithParamInterface<NoStopCase> {
 protected:
  testing::ScriptedAnalysis analysis_;
};

TEST_P(NoStopDoubleFeed, KeepsTheImagesAndDecides) {
  const NoStopCase& c = GetParam();
  InstallAnalysisServices(&analysis_);
  analysis_.combTopEdge = c.combTopEdge;
  if (c.expectOptions >= 0) {
    VEKScanExpectEntry e{};
    e.Options = c.expectOptions;
    VEKScanExpectTable().Replace({e});
    analysis_.expectFind = 0;
  }
  funcTableSetParam(7, 2);
  fake::FakeDocument d = Document(c.codeLine);
  d.statusWords = {{kStConnected | kStFrontReady | kStRearReady, kErDoubleFeed}};
  control_->QueueDocument(d);
  EXPECT_EQ(ScanFiles(7), c.result);
  EXPECT_GT(frontSize_, 0);
  EXPECT_GT(rearSize_, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, NoStopDoubleFeed,
    ::testing::Values(NoStopCase{"ExpectedListAccepts", "T1@@3T", kExpectAccept, 1, 0},
                      NoStopCase{"ExpectedListRejects", "T123T", kExpectReject, 0, kDoubleFeed},
                      NoStopCase{"QualityCheckPasses", "T123456789T", -1, 0, 0},
                      NoStopCase{"QualityCheckFails", "T123456789T", -1, 5, kDoubleFeed},
                      NoStopCase{"TwoRejects", "T12@@56789T", -1, 0, kDoubleFeed}),
    [](const ::testing::TestParamInfo<NoStopCase>& info) { return std::string(info.param.name); });

// ---- Device services -----------------------------------------------------------------------------------

TEST_F(ScanTest, MaintenanceModeChecksTheModeBeforeTheModel) {
  EXPECT_EQ(funcQV600MaintenanceMode(2), kBadParameter);
  EXPECT_EQ(funcQV600MaintenanceMode(1), 1);
  Api().scannerModel = 220;
  EXPECT_EQ(funcQV600MaintenanceMode(1), kBadParameter552);
  EXPECT_EQ(Count("QV6MaintenanceMode"), 1u);
}

TEST_F(ScanTest, EjectOnAQv630WaitsAfterClearingAndModeThreeNeedsTheRm70ScanMode) {
  plat::ScopedClock fast(100.0);
  const uint32_t t0 = plat::GetTickCount();
  EXPECT_EQ(ZARNEjectDocument(), 0);
  EXPECT_GE(plat::TicksElapsed(t0, plat::GetTickCount()), 3000u);
  EXPECT_EQ(Count("QV6ClearErrors"), 2u);
  Api().scannerModel = 30;
  control_->ClearCallLog();
  EXPECT_EQ(funcQV600EjectDocument(3), kBadParameter);
  EXPECT_EQ(Count("QV6EjectDocument"), 0u);
  EXPECT_EQ(Count("QV6EnableScan"), 0u);
}

TEST_F(ScanTest, ClearWhileACycleRunsGivesNoDocumentAndKeepsEarlyScan) {
  funcTableSetParam(160, 1);
  Qv600().getImageBusy = 1;
  EXPECT_EQ(ZARNClearDocument(), kFeederEmpty);
  EXPECT_EQ(funcTableGetParam(160), 1);
  Qv600().getImageBusy = 0;
}

TEST_F(ScanTest, CleanClearRunsTheDocumentThroughAndReturnsZero) {
  control_->SetStatusWords(kStConnected | kStMicrReady, 0);
  control_->QueueDocument(Document("T999999999T"));
  funcTableSetParam(1, 1);
  funcTableSetParam(43, 1);
  EXPECT_EQ(ZARNClearDocument(), 0);
  EXPECT_EQ(Qv600().getImageBusy.load(), 0);
  EXPECT_EQ(Qv600CodeLine(), "");
}

TEST_F(ScanTest, PocketWithTheSorterOffStillReportsAJam) {
  control_->SetStatusWords(kStConnected, kErJam);
  EXPECT_EQ(VEKSetPocket(1), kDocumentJam);
  EXPECT_EQ(Count("QV6SetDestinationPocket"), 0u);
  control_->SetStatusWords(kStConnected, 0);
  funcTableSetParam(32, 1);
  EXPECT_EQ(VEKSetPocket(1), 1);
  EXPECT_EQ(Count("QV6SetDestinationPocket"), 1u);
}

TEST_F(ScanTest, FrankerRunsOnlyInItsModeAndAFailingCallIsAnError) {
  EXPECT_EQ(funcQV600Frank(1, 2, 3), 1);
  EXPECT_EQ(Count("QV6Frank"), 0u);
  funcTableSetParam(196, 3);
  EXPECT_EQ(funcQV600Frank(0x12345, 2, 3), 1);
  EXPECT_EQ(Calls("QV6Frank").back(), "QV6Frank(1,9029,2,3)");
  control_->FailExport("QV6Frank", 7);
  EXPECT_LT(funcQV600Frank(1, 2, 3), 0);
}

TEST_F(ScanTest, MagneticSettingsGoToTheDeviceAndTheCurrentFile) {
  const std::string first = dir_.Path() + "/first.cfg";
  EXPECT_EQ(funcQV600SetMicrConfig(first.c_str(), 193, 150), 1);
  EXPECT_EQ(plat::ReadProfileInt("QV600 CONFIG", "MICR Gain (x0.01)", 0, first.c_str()), 150);
  // An overlong name is ignored in favour of the current file.
  const std::string longName = dir_.Path() + "/" + std::string(300, 'n');
  EXPECT_EQ(funcQV600SetMicrConfig(longName.c_str(), 194, 3), 1);
  EXPECT_EQ(plat::ReadProfileInt("QV600 CONFIG", "MICR AGC", 0, first.c_str()), 3);
  EXPECT_EQ(funcQV600SetMicrConfig(nullptr, 191, 2), 1);
  EXPECT_EQ(plat::ReadProfileInt("QV600 CONFIG", "SCAN Mode", 0, first.c_str()), 2);
  EXPECT_EQ(Count("QV6SetConfig_MicrGain"), 1u);
  EXPECT_EQ(Count("QV6SetConfig_ScanMode"), 1u);
}

// ---- Endorsement ----------------------------------------------------------------------------------------

TEST_F(ScanTest, BatchCounterPrintsTheValueBeforeTheStepAndWraps) {
  ASSERT_EQ(funcQV600BatchPrintString("  BATCH%04d", 800, 0, 1, 1), 1);
  EXPECT_EQ(Calls("QV6StringToPrint").back(), "QV6StringToPrint(1,\"  BATCH0001\",11,800,0)");
  EXPECT_EQ(funcGetBatchPrintCounter(), 1);
  EXPECT_EQ(BatchPrintString(1), 1);
  EXPECT_EQ(funcGetBatchPrintCounter(), 2);

  struct Case {
    const char* name;
    int start, step, limit, restart;
    std::vector<int> printed;
  };
  for (const Case& c : {Case{"UpToTheLimit", 8, 1, 10, 1, {8, 9, 1, 2}},
                        Case{"DownToTheLimit", 2, -1, 0, 100, {2, 1, 100, 99}},
                        Case{"WrapOff", 9, 1, 5, 5, {9, 10, 11, 12}}}) {
    SCOPED_TRACE(c.name);
    funcSetBatchPrintWrap(c.limit, c.restart);
    ASSERT_EQ(funcQV600BatchPrintString("%d", 0, 0, c.start, c.step), 1);
    std::vector<int> printed{funcGetBatchPrintCounter()};
    for (int i = 0; i < 3; ++i) {
      BatchPrintString(1);
      printed.push_back(funcGetBatchPrintCounter());
    }
    EXPECT_EQ(printed, c.printed);
  }
}

TEST_F(ScanTest, BatchTemplatesAreCheckedAndNeverChanged) {
  struct Case {
    const char* name;
    std::string templ;
    int result;
  };
  for (const Case& c : {Case{"TwoCounters", "%d-%d", kBadParameter}, Case{"TextConversion", "%s", kBadParameter},
                        Case{"LongModifier", "%ld", kBadParameter}, Case{"TooLong", std::string(130, 'B'), kStringTooLong},
                        Case{"PercentSign", "100%% %05d", 1}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(funcQV600BatchPrintString(c.templ.c_str(), 0, 0, 7, 1), c.result);
  }
  EXPECT_EQ(Calls("QV6StringToPrint").back(), "QV6StringToPrint(1,\"100% 00007\",10,0,0)");
  // The bitmap form cuts a long template in its own copy.
  std::string caller(150, 'C');
  const std::string before = caller;
  EXPECT_EQ(VEKBatchPrintBMP(caller.c_str(), 0, 0, 1, 1, 20, 0, 0, 0, 0, nullptr), 1);
  EXPECT_EQ(caller, before);
  EXPECT_EQ(Calls("QV6StringToPrint").back(), "QV6StringToPrint(1,\"" + std::string(99, 'C') + "\",99,0,0)");
}

TEST_F(ScanTest, AStartTheScannerRefusesKeepsTheTemplateInUse) {
  ASSERT_EQ(funcQV600BatchPrintString("OLD%d", 0, 0, 1, 1), 1);
  control_->SetStatusWords(kStConnected, kErSelfTest);
  EXPECT_EQ(funcQV600BatchPrintString("NEW%d", 0, 0, 5, 1), kSelfTestFault);
  control_->SetStatusWords(kStConnected, 0);
  EXPECT_EQ(BatchPrintString(1), 1);
  EXPECT_EQ(Calls("QV6StringToPrint").back(), "QV6StringToPrint(1,\"OLD5\",4,0,0)");
}

TEST_F(ScanTest, BitmapModeRendersOnTheCanvasAndPrintsIt) {
  ASSERT_EQ(VEKBatchPrintBMP("NO %d", 10, 0, 5, 1, 16, 0, 0, 0, 0, "DejaVu Sans"), 1);
  EXPECT_EQ(Qv600().batchPrintActive.load(), 2);
  ASSERT_EQ(Count("QV6SetBmpToPrint"), 1u);
  EXPECT_NE(Calls("QV6SetBmpToPrint").back().find(",10,0)"), std::string::npos);
  EXPECT_EQ(funcQV600BatchPrintString(nullptr, 0, 0, 0, 0), 0);
  EXPECT_EQ(Qv600().batchPrintActive.load(), 0);
}

TEST_F(ScanTest, PrintStringSendsNothingForAnEmptyText) {
  EXPECT_EQ(funcQV600PrintString("", 5, 0), 0);
  EXPECT_EQ(Count("QV6StringToPrint"), 0u);
  EXPECT_EQ(funcQV600PrintString("PAID", 5, 0), 1);
  EXPECT_EQ(Calls("QV6StringToPrint").back(), "QV6StringToPrint(1,\"PAID\",4,205,1)");
}

// BMP files from netpbm in both header forms hand the library their own pixels and size.
struct BmpCase {
  const char* name;
  const char* option;
  size_t bitsOffset;
};

class EndorsementBmpFiles : public ScanTest, public ::testing::WithParamInterface<BmpCase> {};

TEST_P(EndorsementBmpFiles, HandTheirBitsAndSize) {
  if (!zc::testkit::HaveTool("ppmtobmp")) GTEST_SKIP() << "netpbm missing";
  // A 16 x 4 bitmap whose first row (last in the file) is 0xA5 0x5A.
  const std::string pbm = dir_.Path() + "/print.pbm";
  {
    std::ofstream f(pbm, std::ios::binary);
    f << "P4\n16 4\n";
    const unsigned char rows[] = {0x5A, 0xA5, 0x00, 0xFF, 0x00, 0xFF, 0x0F, 0xF0};
    f.write(reinterpret_cast<const char*>(rows), sizeof rows);
  }
  const std::string bmp = dir_.Path() + "/print.bmp";
  ASSERT_TRUE(zc::testkit::RunCommand("ppmtobmp " + std::string(GetParam().option) + " -bpp 1 " + pbm + " > " + bmp).ok());
  const std::string bytes = ReadFile(bmp);
  ASSERT_GT(bytes.size(), GetParam().bitsOffset + 1);
  char expected[16];
  std::snprintf(expected, sizeof expected, "bits:%02x%02x", static_cast<uint8_t>(bytes[GetParam().bitsOffset]),
                static_cast<uint8_t>(bytes[GetParam().bitsOffset + 1]));
  EXPECT_EQ(funcQV600PrintBMP("print.bmp", 100, 2), 1);
  EXPECT_EQ(Calls("QV6SetBmpToPrint").back(), "QV6SetBmpToPrint(1," + std::string(expected) + ",16,4,300,3)");
}

INSTANTIATE_TEST_SUITE_P(Headers, EndorsementBmpFiles,
                         ::testing::Values(BmpCase{"InfoHeader", "-windows", 62}, BmpCase{"CoreHeader", "-os2", 32}),
                         [](const ::testing::TestParamInfo<BmpCase>& info) { return std::string(info.param.name); });

TEST(EndorsementBmpParse, RefusesWhatTheLibraryCannotPrint) {
  auto header = [](uint32_t width, uint32_t height, uint16_t bits, size_t total) {
    std::vector<uint8_t> b(total, 0);
    b[0] = 'B';
    b[1] = 'M';
    PutLe32(&b[14], 40);
    PutLe32(&b[18], width);
    PutLe32(&b[22], height);
    PutLe16(&b[28], bits);
    return b;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int result;
  };
  const std::vector<Case> cases = {
      {"Empty", {}, kFileIoError},
      {"NotBmp", std::vector<uint8_t>(60, 'x'), kOpenBmpError},
      {"DeepPixels", header(8, 8, 24, 2000), kOpenBmpError},
      {"ZeroWidth", header(0, 8, 1, 2000), kOpenBmpError},
      {"ZeroHeight", header(8, 0, 1, 2000), kOpenBmpError},
      {"RowsBeyondTheRead", header(1000, 1000, 1, 8196), kOpenBmpError},
      {"SixteenBitPaletteBeyondTheRead", header(2, 2, 16, 8196), kOpenBmpError},
      {"Fits", header(32, 8, 1, 62 + 32), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EndorsementBmp out;
    EXPECT_EQ(ParseEndorsementBmp(c.bytes, &out), c.result);
  }
}

}  // namespace
}  // namespace zarn
