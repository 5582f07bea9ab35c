// The API against the real device library and a simulated QV630 with documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "testkit/support/external_tool.h"

#include "api_fixture.h"
#include "driver/device_registry.h"
#include "platform/clock.h"
#include "sim/catalog.h"
#include "sim/firmware_package_builder.h"
#include "sim/qv63x_device.h"
#include "sim/qv63x_document_feeder.h"
#include "zarn/lifecycle.h"
#include "zarn/optical_codeline.h"
#include "zarn/qv600.h"
#include "zarn/scan.h"
#include "zarn/statistics.h"
#include "zarn/status.h"

namespace zarn {
namespace {

std::atomic<int> g_ready{0};
void OnImagesReady(uint32_t) { g_ready.fetch_add(1); }

class Qv600SimTest : public testing::ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    std::ofstream(dir_.Path() + "/Qv6ExtendedSetup.ini") << "[TIMER POLLING]\nT.Check(msec)=20\nT.Poll(msec)=5\n";
    drv::DeviceRegistry::Instance().Reset();
    device_ = std::static_pointer_cast<sim::Qv63xDevice>(sim::AttachScanner(sim::Model::kQv630));
    std::filesystem::create_directories(dir_.Path() + "/drivers");
    // The package holds the firmware the scanner runs, so connecting sends no download.
    sim::WritePackage(dir_.Path() + "/drivers/QV630Firmware.bin", sim::StandardPackage("VEK Corporation", "1.0.0.0"));
    ResetQv600ForTests();
    ResetDriverFileForTests();
    ResetLifecycleForTests();
    SetQv6LibraryFile(ZC_REAL_DEVICE_LIBRARY);
    SetCodeLineFormatter(&funcAssembleMICR);
    funcTableSetParamString(135, "NOINI");
    funcTableSetParamString(158, "200");
    g_ready = 0;
  }
  void TearDown() override {
    if (Api().zarnInitialised) ZARNExit();
    SetCodeLineFormatter(nullptr);
    UnloadQv6Library();
    ResetQv600ForTests();
    drv::DeviceRegistry::Instance().Reset();
    ApiTest::TearDown();
  }
  std::shared_ptr<sim::Qv63xDevice> device_;
};

TEST_F(Qv600SimTest, InitIdentifiesTheQv630AndExitClosesOnce) {
  ASSERT_EQ(ZARNInit(), 1);
  EXPECT_EQ(funcGetScannerTypeCode(), 200);
  EXPECT_EQ(Api().scannerModel, 230);
  EXPECT_EQ(ZARNInit(), kAlreadyInitialised);
  SetApiTraceLevel(0);
  SetApiLogToFile(1);
  EXPECT_EQ(ZARNExit(), 1);
  EXPECT_EQ(ZARNExit(), kInitScannerError);
  EXPECT_NE(dir_.Read("zarnapi.log").find("EXIT"), std::string::npos);
}

TEST_F(Qv600SimTest, StatisticsOnKeepsOneRunPerInitAndExit) {
  std::ofstream(dir_.Path() + "/zarnstat.ini") << "[ACQ. SETUP]\nStatistics=1\n";
  funcTableSetParamString(135, "zarnstat.ini");
  ASSERT_EQ(ZARNInit(), 1);
  EXPECT_EQ(funcTableGetParam(134), 1);
  const std::string path = plat::ToPosixPath(StatisticsService().Path());
  ASSERT_FALSE(path.empty());
  funcStatisticsImage(1);
  funcStatisticsError(-217);
  EXPECT_EQ(ZARNExit(), 1);
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), {}};
  ASSERT_EQ(bytes.size(), static_cast<size_t>(kStatBlockSize));
  const StatHeader h = DecodeStatHeader(bytes.data());
  EXPECT_EQ(h.scannerType, 200);
  EXPECT_NE(h.serialNumber[0], '\0');
  const StatRecord totals = DecodeStatRecord(bytes.data() + kStatHeaderSize);
  const StatRecord run = DecodeStatRecord(bytes.data() + kStatHeaderSize + kStatRecordSize);
  EXPECT_EQ(totals.gray1Images, 1);
  EXPECT_EQ(totals.doubleFeedErrors, 1);
  EXPECT_NE(run.initTime[0], '\0');
  EXPECT_NE(run.exitTime[0], '\0');
}

TEST_F(Qv600SimTest, FirstDocumentsEventsReachTheCallbacks) {
  ASSERT_EQ(ZARNInit(), 1);
  sim::documents::DocumentStack stack(9);
  stack.AddCheques(1);
  device_->SetDocumentSource(std::make_shared<sim::Qv63xDocumentFeeder>(std::move(stack)));
  // Registering an image callback enables scanning.
  ASSERT_EQ(funcSetUpCallBack(kStFrontReady | kStRearReady, OnImagesReady), 1);
  uint32_t bits = 0;
  for (int i = 0; i < 5000 && (bits & (kDocCodeLine | kDocFront | kDocRear)) != 7; ++i) {
    bits = Qv600().documentStatus.load(std::memory_order_acquire);
    plat::Sleep(1);
  }
  EXPECT_EQ(bits & 7u, 7u);
  EXPECT_NE(Qv600().dibFront.load(), nullptr);
  EXPECT_NE(Qv600().dibBack.load(), nullptr);
}


// A source that refuses the image transfers of chosen documents, as a failed side transfer in the driver.
class RefusingFeeder : public sim::Qv63xDocumentSource {
 public:
  RefusingFeeder(sim::documents::DocumentStack stack, std::vector<size_t> refused)
      : feeder_(std::move(stack)), refused_(std::move(refused)) {}
  std::optional<sim::FedDocument> Feed(uint8_t sequence, std::span<const uint8_t> acquisition) override {
    auto fed = feeder_.Feed(sequence, acquisition);
    if (fed) current_ = fed_++;
    return fed;
  }
  std::vector<uint8_t> Samples(uint8_t sequence) override { return feeder_.Samples(sequence); }
  std::vector<uint8_t> Image(std::span<const uint8_t> transfer) override {
    if (std::find(refused_.begin(), refused_.end(), current_) != refused_.end()) return {};
    return feeder_.Image(transfer);
  }
  sim::Qv63xDocumentFeeder& feeder() { return feeder_; }

 private:
  sim::Qv63xDocumentFeeder feeder_;
  std::vector<size_t> refused_;
  size_t fed_ = 0;
  size_t current_ = 0;
};

std::string Without(std::string text, char drop) {
  text.erase(std::remove(text.begin(), text.end(), drop), text.end());
  return text;
}

// How long a scan call waits for the simulated document (parameter 109): far above what the simulator needs,
// as sanitizer builds on a loaded machine take seconds per document.
constexpr int kFeedWaitMs = 30000;
// The wait of a scan whose images never come.
constexpr int kRefusedWaitMs = 2000;

class Qv600ScanSimTest : public Qv600SimTest {
 protected:
  void Feed(sim::documents::DocumentStack stack, std::vector<size_t> refused = {}) {
    source_ = std::make_shared<RefusingFeeder>(std::move(stack), std::move(refused));
    device_->SetDocumentSource(source_);
  }
  std::string Expected(size_t index) const {
    auto record = source_->feeder().feeder().RecordOf(index);
    return record ? record->codeLine : std::string("?");
  }
  std::string Tool(const std::string& command) { return zc::testkit::RunCommand(command).output; }
  std::shared_ptr<RefusingFeeder> source_;
};

TEST_F(Qv600ScanSimTest, StackScansToG4JpegAndMemoryWithTheSimulatorsCodeLines) {
  constexpr int kPerCall = 3;
  funcTableSetParamString(159, "KWL");
  ASSERT_EQ(ZARNInit(), 1);
  funcTableSetParam(109, kFeedWaitMs);
  sim::documents::DocumentStack stack(21);
  stack.AddCheques(3 * kPerCall);
  Feed(std::move(stack));
  const bool haveTiff = zc::testkit::HaveTool("tiffinfo");
  size_t fed = 0;
  for (int i = 0; i < kPerCall; ++i, ++fed) {
    SCOPED_TRACE("G4 document " + std::to_string(i));
    char fs[12], rs[12], line[kScanCodeLineBuffer], len[12];
    const std::string front = "Images\\F" + std::to_string(i) + ".tif";
    std::filesystem::create_directories(dir_.Path() + "/images");
    ASSERT_EQ(ZARNScan(7, front.c_str(), fs, "images\\r.tif", rs, line, len), 0);
    EXPECT_EQ(Without(line, ' '), Without(Expected(fed), ' '));
    EXPECT_GT(std::strlen(line), 10u);
    EXPECT_EQ(std::atoi(len), static_cast<int>(std::strlen(line)));
    const std::string path = dir_.Path() + "/images/F" + std::to_string(i) + ".tif";
    EXPECT_EQ(static_cast<int>(std::filesystem::file_size(path)), std::atoi(fs));
    if (haveTiff) {
      const std::string info = Tool("tiffinfo " + path + " 2>&1");
      EXPECT_NE(info.find("CCITT Group 4"), std::string::npos) << info;
      EXPECT_NE(info.find("Bits/Sample: 1"), std::string::npos) << info;
      EXPECT_NE(info.find("Resolution: 200, 200"), std::string::npos) << info;
      EXPECT_EQ(info.find("Error"), std::string::npos) << info;
    }
  }
  const bool havePil = zc::testkit::HavePythonModule("PIL");
  for (int i = 0; i < kPerCall; ++i, ++fed) {
    SCOPED_TRACE("JPEG document " + std::to_string(i));
    char fs[12], rs[12], line[kScanCodeLineBuffer], len[12];
    ASSERT_EQ(ZARNScanGray(7, "front.jpg", fs, "rear.jpg", rs, line, len, 4), 0);
    EXPECT_EQ(Without(line, ' '), Without(Expected(fed), ' '));
    if (havePil) {
      const std::string out = Tool("/usr/bin/python3 -c \"from PIL import Image; im=Image.open('" + dir_.Path() +
                                   "/front.jpg'); print(im.format, im.mode, im.size[0] > 800, im.size[1] > 300, "
                                   "im.info.get('dpi'))\" 2>&1");
      EXPECT_EQ(out, "JPEG L True True (200, 200)\n");
    }
  }
  for (int i = 0; i < kPerCall; ++i, ++fed) {
    SCOPED_TRACE("memory document " + std::to_string(i));
    std::vector<uint8_t> front(2 << 20), rear(2 << 20);
    int32_t fs = 0, rs = 0, len = 0;
    char line[kScanCodeLineBuffer];
    ASSERT_EQ(ZARNScanMemory(7, front, &fs, rear, &rs, line, &len), 0);
    EXPECT_EQ(Without(line, ' '), Without(Expected(fed), ' '));
    const int width = front[0] | front[1] << 8, height = front[2] | front[3] << 8;
    EXPECT_EQ(fs, 8 + ((width + 7) / 8) * height);
    EXPECT_GT(rs, 8);
  }
  EXPECT_EQ(ZARNExit(), 1);
}

TEST_F(Qv600ScanSimTest, JamDoubleFeedAndAFailedTransferGiveErrorsAndTheNextDocumentWorks) {
  funcTableSetParamString(159, "KWL");
  ASSERT_EQ(ZARNInit(), 1);
  funcTableSetParam(109, kFeedWaitMs);
  sim::documents::DocumentStack stack(33);
  stack.AddCheque();
  stack.AddCheque({.jam = true});
  stack.AddCheque();
  stack.AddCheque({.doubleFeed = true});
  stack.AddCheque();
  stack.AddCheque();
  stack.AddCheque();
  Feed(std::move(stack), {5});
  struct Step {
    int result;
    bool image;
  };
  const std::vector<Step> steps = {{0, true},           {kDocumentJam, false}, {0, true}, {kDoubleFeed, false},
                                   {0, true},           {-1, false},           {0, true}};
  for (size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE("document " + std::to_string(i));
    const std::string name = "doc" + std::to_string(i) + ".tif";
    char fs[12] = {}, rs[12] = {}, line[kScanCodeLineBuffer] = {}, len[12] = {};
    // A refused transfer shows only when the wait for its images runs out, so that scan waits briefly.
    funcTableSetParam(109, steps[i].result == -1 ? kRefusedWaitMs : kFeedWaitMs);
    const int r = ZARNScan(7, name.c_str(), fs, "rear.tif", rs, line, len);
    if (steps[i].result == -1) {
      EXPECT_LT(r, 0);
    } else {
      EXPECT_EQ(r, steps[i].result);
    }
    const bool written = std::filesystem::exists(dir_.Path() + "/" + name);
    EXPECT_EQ(written, steps[i].image);
    if (r != 0) {
      EXPECT_EQ(std::atoi(fs), 0);
    }
  }
  EXPECT_EQ(ZARNExit(), 1);
}


TEST_F(Qv600ScanSimTest, StatisticsCountTheDocumentsAndErrorsMet) {
  std::ofstream(dir_.Path() + "/zarnstat.ini") << "[ACQ. SETUP]\nStatistics=1\n";
  funcTableSetParamString(135, "zarnstat.ini");
  funcTableSetParamString(159, "KWL");
  ASSERT_EQ(ZARNInit(), 1);
  funcTableSetParam(109, kFeedWaitMs);
  sim::documents::DocumentStack stack(44);
  stack.AddCheque();
  stack.AddCheque({.jam = true});
  stack.AddCheque();
  stack.AddCheque();
  Feed(std::move(stack));
  const std::string path = plat::ToPosixPath(StatisticsService().Path());
  int good = 0, jams = 0, empty = 0;
  for (int i = 0; i < 5; ++i) {
    char fs[12], rs[12], line[kScanCodeLineBuffer], len[12];
    if (i == 4) funcTableSetParam(109, 500);  // the stack is empty: no need to wait long for nothing
    const int r = ZARNScan(7, "f.tif", fs, "r.tif", rs, line, len);
    good += r == 0;
    jams += r == kDocumentJam;
    empty += r == kFeederEmpty;
  }
  EXPECT_EQ(good, 3);
  EXPECT_EQ(jams, 1);
  EXPECT_EQ(empty, 1);
  ASSERT_EQ(ZARNExit(), 1);
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), {}};
  ASSERT_EQ(bytes.size(), static_cast<size_t>(kStatBlockSize));
  const StatRecord totals = DecodeStatRecord(bytes.data() + kStatHeaderSize);
  EXPECT_EQ(totals.gray1Images, 2 * good);
  EXPECT_EQ(totals.paperJamErrors, jams);
  // An empty feeder is no error of the scanner.
  EXPECT_EQ(totals.noFeedErrors + totals.otherErrors, 0);
  EXPECT_EQ(totals.micr[0] + totals.micr[1] + totals.micr[2] + totals.micr[3], good);
}

std::atomic<int> g_beeps{0};
void CountBeep(uint32_t type) {
  if (type == 1) g_beeps.fetch_add(1);
}

// The status change of a fast QV630: a cheque waiting at the feeder while scanning is on starts the next
// document early (parameter 160), and a feeder covered after it was clear beeps (parameter 183).
TEST_F(Qv600ScanSimTest, StatusChangeStartsTheEarlyScanAndBeepsForACoveredFeeder) {
  constexpr uint16_t kFeedSensor = 0x2;  // the QV63x sensor word's feed sensor
  sim::Identity identity = device_->identity();
  identity.serial = "000010";  // a fifth digit of 1: the fast class
  device_->SetIdentity(identity);
  funcTableSetParamString(159, "KWL");
  ASSERT_EQ(ZARNInit(), 1);
  ASSERT_EQ(Qv600().qv630Fast.load(), 1);
  funcTableSetParam(109, kFeedWaitMs);
  funcTableSetParam(111, 1);
  funcTableSetParam(160, 1);
  funcTableSetParam(183, 1);
  g_beeps = 0;
  SetMessageBeepHook(&CountBeep);
  SetApiTraceLevel(1);
  SetApiLogToFile(1);
  sim::documents::DocumentStack stack(66);
  stack.AddCheque();
  Feed(std::move(stack));
  char fs[12], rs[12], line[kScanCodeLineBuffer], len[12];
  ASSERT_EQ(ZARNScan(7, "f.tif", fs, "r.tif", rs, line, len), 0);
  // Scanning stays on; the scanner is idle with its hopper empty until a cheque covers the feeder.
  EXPECT_EQ(Qv600().earlyScanIssued.load(), 0);
  const auto waitFor = [](auto done) {
    for (int i = 0; i < kFeedWaitMs && !done(); ++i) plat::Sleep(1);
    return done();
  };
  device_->SetWords(static_cast<uint16_t>(device_->StateWord() & ~sim::Qv63xDevice::kStateEnabled), kFeedSensor, 0);
  EXPECT_TRUE(waitFor([] { return Qv600().earlyScanIssued.load() == 1; }));
  EXPECT_TRUE(waitFor([] { return g_beeps.load() == 1; }));
  // Still covered: neither again.
  plat::Sleep(100);
  EXPECT_EQ(Qv600().earlyScanIssued.load(), 1);
  EXPECT_EQ(g_beeps.load(), 1);
  // Clear for longer than 200 ms, then covered again: a second beep.
  device_->SetWords(device_->StateWord(), 0, 0);
  plat::Sleep(400);
  device_->SetWords(device_->StateWord(), kFeedSensor, 0);
  EXPECT_TRUE(waitFor([] { return g_beeps.load() == 2; }));
  SetMessageBeepHook(nullptr);
  const std::string log = dir_.Read("zarnapi.log");
  EXPECT_NE(log.find("QV6EnableEarlyScan STChg"), std::string::npos);
}

// Cropping (parameter 36) is the device library's, asked for in the driver file: off, the front keeps the
// whole sensor window the scanner sent (832 rows of good pixels at 200 dpi on the QV630); on, it is cut to
// the cheque, which the simulator's expected image is. Both have the cheque's length as their width.
TEST_F(Qv600ScanSimTest, CroppingOffKeepsTheWholeSensorWindowAndOnCutsToTheCheque) {
  constexpr int kSensorWindowRows = 832;
  funcTableSetParamString(159, "KWL");
  ASSERT_EQ(ZARNInit(), 1);
  funcTableSetParam(109, kFeedWaitMs);
  sim::documents::DocumentStack stack(77);
  stack.AddCheques(2);
  Feed(std::move(stack));
  for (int crop : {0, 1}) {
    SCOPED_TRACE(crop);
    ZARNSetParam(36, crop);
    ASSERT_EQ(funcTableGetParam(36), crop);
    std::vector<uint8_t> front(4 << 20), rear(4 << 20);
    int32_t fs = 0, rs = 0, len = 0;
    char line[kScanCodeLineBuffer];
    ASSERT_EQ(ZARNScanMemory(7, front, &fs, rear, &rs, line, &len), 0);
    const auto expected = source_->feeder().feeder().ExpectedImages(static_cast<size_t>(crop), 200);
    ASSERT_TRUE(expected);
    const int cheque = (*expected)[0].height;
    ASSERT_LT(cheque, kSensorWindowRows - 100);
    for (const std::vector<uint8_t>* side : {&front, &rear}) {
      const int width = (*side)[0] | (*side)[1] << 8, height = (*side)[2] | (*side)[3] << 8;
      EXPECT_EQ(width, (*expected)[0].width);
      if (crop == 0) {
        EXPECT_EQ(height, kSensorWindowRows);
      } else {
        EXPECT_LE(height, cheque);
        EXPECT_GT(height, cheque - 16);
      }
    }
  }
  EXPECT_EQ(ZARNExit(), 1);
}

// Scanning left enabled between calls (parameter 111): the scanner feeds the next cheque as soon as a call
// returns. A cheque that jams must be that cheque's result whether the jam comes while a call waits or
// before the next call starts, and the statistics must count it.
struct LeftEnabledCase {
  const char* name;
  bool jamDuringCall;
};

class Qv600LeftEnabledSimTest : public Qv600ScanSimTest, public ::testing::WithParamInterface<LeftEnabledCase> {};

TEST_P(Qv600LeftEnabledSimTest, AJammedChequeIsReportedAndCountedAndTheNextOneScans) {
  const bool during = GetParam().jamDuringCall;
  std::ofstream(dir_.Path() + "/zarnstat.ini") << "[ACQ. SETUP]\nStatistics=1\n";
  funcTableSetParamString(135, "zarnstat.ini");
  funcTableSetParamString(159, "KWL");
  ASSERT_EQ(ZARNInit(), 1);
  funcTableSetParam(109, kFeedWaitMs);
  funcTableSetParam(111, 1);
  sim::documents::DocumentStack first(55);
  first.AddCheque();
  sim::documents::DocumentStack later(56);
  later.AddCheque({.jam = true});
  later.AddCheque();
  auto jammed = later.Pop();
  auto after = later.Pop();
  ASSERT_TRUE(jammed && after);
  Feed(std::move(first));
  const std::string path = plat::ToPosixPath(StatisticsService().Path());
  char fs[12], rs[12], line[kScanCodeLineBuffer], len[12];

  ASSERT_EQ(ZARNScan(7, "f.tif", fs, "r.tif", rs, line, len), 0);
  EXPECT_EQ(Without(line, ' '), Without(Expected(0), ' '));
  std::thread pusher;
  if (during) {
    // The jammed cheque reaches the feeder only once the next call waits for its document.
    pusher = std::thread([&] {
      for (int i = 0; i < 20000 && Qv600().getImageBusy.load() == 0; ++i) plat::Sleep(1);
      source_->feeder().Push(std::move(*jammed));
    });
  } else {
    // Scanning is still on: the jammed cheque is fed and fails before the next call.
    source_->feeder().Push(std::move(*jammed));
    for (int i = 0; i < kFeedWaitMs && Qv600().scannerStatus.load() != kDocumentJam; ++i) plat::Sleep(1);
    ASSERT_EQ(Qv600().scannerStatus.load(), kDocumentJam);
    ASSERT_EQ(Qv600().getImageBusy.load(), 0);
  }
  EXPECT_EQ(ZARNScan(7, "f.tif", fs, "r.tif", rs, line, len), kDocumentJam);
  if (pusher.joinable()) pusher.join();
  source_->feeder().Push(std::move(*after));
  ASSERT_EQ(ZARNScan(7, "f.tif", fs, "r.tif", rs, line, len), 0);
  EXPECT_EQ(Without(line, ' '), Without(Expected(2), ' '));
  funcTableSetParam(109, 500);
  EXPECT_EQ(ZARNScan(7, "f.tif", fs, "r.tif", rs, line, len), kFeederEmpty);

  ASSERT_EQ(ZARNExit(), 1);
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), {}};
  ASSERT_EQ(bytes.size(), static_cast<size_t>(kStatBlockSize));
  const StatRecord totals = DecodeStatRecord(bytes.data() + kStatHeaderSize);
  EXPECT_EQ(totals.paperJamErrors, 1);
  EXPECT_EQ(totals.gray1Images, 4);
}

INSTANTIATE_TEST_SUITE_P(Race, Qv600LeftEnabledSimTest,
                         ::testing::Values(LeftEnabledCase{"JamWhileTheCallWaits", true},
                                           LeftEnabledCase{"JamBetweenCalls", false}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace zarn
