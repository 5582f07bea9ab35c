// The QV800 back-end against the stand-ins of its device library and ASPI layer: binding variants, the
// start through ZARNInit, identification, status decoding, print set-up and the scan loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "api_fixture.h"
#include "imaging/image_record.h"
#include "platform/clock.h"
#include "platform/dynlib.h"
#include "platform/paths.h"
#include "qv8_standin/qv8_standin_control.h"
#include "scripted_analysis.h"
#include "testkit/support/external_tool.h"
#include "zarn/lifecycle.h"
#include "zarn/qv800.h"
#include "zarn/scan.h"
#include "zarn/statistics.h"
#include "zarn/status.h"

namespace zarn {
namespace {

using qv8sim::Qv8SimControl;

std::string VariantDir(const char* variant) { return std::string(ZC_QV8_DIR) + "/qv8_" + variant; }

class Qv800Test : public testing::ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    ResetQv800ForTests();
    ResetLifecycleForTests();
    module_ = plat::LoadLibraryA((VariantDir("full") + "/QV8DLL.DLL").c_str());
    ASSERT_NE(module_, nullptr);
    auto get = reinterpret_cast<Qv8SimControl* (*)()>(plat::GetProcAddress(module_, "QV8SimGetControl"));
    ASSERT_NE(get, nullptr);
    sim_ = get();
    sim_->Reset();
    UseVariant("full");
    funcTableSetParamString(135, "NOINI");
    funcTableSetParamString(136, dir_.Path().c_str());
    funcTableSetParamString(158, "400");
  }
  void TearDown() override {
    if (Api().zarnInitialised) ZARNExit();
    ResetQv800ForTests();
    ResetLifecycleForTests();
    plat::FreeLibrary(module_);
    ApiTest::TearDown();
  }
  // The ASPI layer is found in the System folder, the device library in the DLL folder (string 137).
  void UseVariant(const char* variant) {
    plat::SetFolder(plat::Folder::kSystem, VariantDir(variant));
    funcTableSetParamString(137, VariantDir(variant).c_str());
  }
  int Count(const std::string& prefix) const {
    const auto log = sim_->CallLog();
    return static_cast<int>(std::count_if(log.begin(), log.end(),
                                          [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
  }
  bool Logged(const std::string& line) const {
    const auto log = sim_->CallLog();
    return std::find(log.begin(), log.end(), line) != log.end();
  }
  // A started QV800 with the scan settings of the start.
  void Started() {
    ASSERT_EQ(ZARNInit(), 1);
    ASSERT_EQ(Api().scannerFamily, kFamilyQv800);
  }

  plat::ModuleHandle module_ = nullptr;
  Qv8SimControl* sim_ = nullptr;
};

// ---- Binding ---------------------------------------------------------------------------------------------------

struct BindingCase {
  const char* name;
  const char* variant;
  int result;
  bool aspiBound;
};

class Qv800BindingTest : public Qv800Test, public ::testing::WithParamInterface<BindingCase> {};

TEST_P(Qv800BindingTest, LoadGivesItsResultAndReleasesWhatItMust) {
  const BindingCase& c = GetParam();
  UseVariant(c.variant);
  EXPECT_EQ(funcLoadQV8DLL(400, VariantDir(c.variant).c_str()), c.result);
  EXPECT_EQ(Qv8AspiBound(), c.aspiBound);
  EXPECT_EQ(Qv8DeviceBound(), c.result == 1);
  if (c.result == 1) {
    EXPECT_EQ(funcLoadQV8DLL(400, ""), 1);  // bound already: nothing reloaded
    EXPECT_EQ(qv8::GetASPI32SupportInfo(), 0x101u);
    EXPECT_EQ(funcUnLoadQV8DLL(2), 1);
    EXPECT_TRUE(Qv8DeviceBound());
  }
  funcUnLoadQV8DLL(3);
  EXPECT_EQ(qv8::QVOpenScan(), kQv8NotBound);
}

INSTANTIATE_TEST_SUITE_P(Variants, Qv800BindingTest,
                         ::testing::Values(BindingCase{"BothComplete", "full", 1, true},
                                           BindingCase{"DeviceLibraryMissing", "aspi_only", kQv800LibraryMissing, false},
                                           BindingCase{"DeviceEntryPointMissing", "missing_symbol", kQv800LibraryMissing,
                                                       false},
                                           BindingCase{"AspiWithoutCommandEntry", "aspi_no_send", kNoAspiManager, false},
                                           BindingCase{"NoLibraries", "none", kNoAspiManager, false}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(Qv800Test, MissingLibraryIsTracedAndTheStartFallsBackToTheQv600Line) {
  UseVariant("aspi_only");
  SetApiTraceLevel(1);
  SetApiLogToFile(1);
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  EXPECT_EQ(ZARNInit(), kScannerMissing);
  const std::string log = dir_.Read("zarnapi.log");
  EXPECT_NE(log.find("Cound Not Find QV8DLL.DLL"), std::string::npos);
  EXPECT_NE(log.find("Mid iScannerType -125"), std::string::npos);
  EXPECT_FALSE(Qv8AspiBound());
}

// ---- Start, identification and shut-down --------------------------------------------------------------------------

TEST_F(Qv800Test, InitSearchesTheBusFindsTheQv800AndExitUnloads) {
  Started();
  EXPECT_EQ(funcGetScannerTypeCode(), 400);
  EXPECT_EQ(funcTableGetParam(103), 0);
  EXPECT_EQ(funcTableGetParam(102), 4);
  EXPECT_GE(Count("QVInit"), 1);
  EXPECT_TRUE(Logged("QVSetConfig 1"));
  EXPECT_STREQ(ZARNGetParamString(159), "KWL");

  unsigned char adapter = 9, target = 9;
  char vendor[9], product[17], release[7];
  EXPECT_EQ(ZARNGetScannerInfo(&adapter, &target, vendor, product, release, 0), kFamilyQv800);
  EXPECT_EQ(target, 4);
  EXPECT_STREQ(vendor, "QRM Inc ");
  EXPECT_STREQ(product, "Scanner QV800");
  char serial[kSerialRoom];
  int32_t documents = 0, minutes = 0;
  EXPECT_EQ(ZARNGetScannerSerialNumber(serial, &documents, &minutes), 0);
  EXPECT_STREQ(serial, "QV8SIM00042");
  EXPECT_EQ(documents, 567);
  EXPECT_EQ(minutes, 1234);

  EXPECT_EQ(ZARNExit(), 1);
  EXPECT_FALSE(Qv8DeviceBound());
  EXPECT_FALSE(Qv8AspiBound());
  // The family stays; every call into the library now answers "not initialised".
  EXPECT_EQ(ZarnStatus(), kQv800NotInitialised);
  EXPECT_EQ(ZARNGetScannerInfo(&adapter, &target, vendor, product, release, 0), kQv800NotInitialised);
  EXPECT_EQ(ZARNGetScannerSerialNumber(serial, &documents, &minutes), kQv800NotInitialised);
  EXPECT_EQ(funcDownLoadFirmWare("fw.bin"), kQv800NotInitialised);
  EXPECT_EQ(ZARNEjectDocument(), kQv800NotInitialised);
}

TEST_F(Qv800Test, AnEsRowAnsweringOneStartsFamily314) {
  sim_->ClearBus();
  sim_->SetDevice(1, 6, "QRM Inc ", "Scanner QV700", "2.00");
  sim_->SetParam0(1);
  ASSERT_EQ(ZARNInit(), 1);
  EXPECT_EQ(Api().scannerFamily, kFamilyQv800c);
  EXPECT_EQ(funcGetScannerTypeCode(), 314);
  EXPECT_EQ(funcTableGetParam(103), 1);
  EXPECT_EQ(funcTableGetParam(102), 6);
}

TEST_F(Qv800Test, TheSearchKeepsAnOtherScsiScannerWhenNothingBetterAnswers) {
  sim_->ClearBus();
  sim_->SetDevice(0, 1, "ZUF Inc ", "Scanner Tq68", "1.00");
  ASSERT_EQ(ZARNInit(), 1);
  EXPECT_EQ(Api().scannerFamily, 3);
  EXPECT_EQ(funcTableGetParam(103), 0);
  EXPECT_EQ(funcTableGetParam(102), 1);
}

TEST_F(Qv800Test, AConfiguredPairThatAnswersIsStoredAndProbedAgain) {
  sim_->ClearBus();
  sim_->SetDevice(0, 2, "QRM Inc ", "Scanner QV800", "1.07");
  SetApiTraceLevel(2);
  SetApiLogToFile(1);
  ASSERT_EQ(ZARNInit(), 1);
  EXPECT_EQ(Api().scannerFamily, kFamilyQv800);
  // The configured pair, then its second probe after the pair is stored; no search.
  const std::vector<std::string> calls = sim_->CallLog();
  const auto init =
      std::find_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("QVInit", 0) == 0; });
  EXPECT_EQ(std::vector<std::string>(calls.begin(), init),
            (std::vector<std::string>{"QVScsiIdGetInfo 0 2", "QVScsiIdGetInfo 0 2"}));
  const std::string log = dir_.Read("zarnapi.log");
  EXPECT_EQ(log.find("UnknownScanner Type"), std::string::npos);
  const size_t stored = log.find("Before funcZARNSetAdapterTarget");
  ASSERT_NE(stored, std::string::npos);
  EXPECT_NE(log.find("After funcGetSCSIInfo\r\n", stored), std::string::npos);
}

// ---- Statistics and the scanner-manager client on the QV800 line --------------------------------------------

class Qv800StatisticsTest : public Qv800Test {
 protected:
  void SetUp() override {
    Qv800Test::SetUp();
    std::filesystem::create_directories(dir_.Path() + "/stats");
    dir_.Write("zarnscan.ini", "[SCANNER]\nType=400\n[ACQ. SETUP]\nStatistics=1\nStatistics File=" + dir_.Path() +
                                   "/stats\nRemote Monitor Log=1\n");
    funcTableSetParamString(135, (dir_.Path() + "/zarnscan.ini").c_str());
    funcTableSetParamString(158, "");
  }
  std::string StatsFile() const { return dir_.Path() + "/stats/QV8SIM00042.VEK"; }
  std::vector<uint8_t> Stats() const {
    std::ifstream f(StatsFile(), std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }
};

TEST_F(Qv800StatisticsTest, StartWritesTheScannersFileInTheConfiguredFolderAndItsStartRecord) {
  ASSERT_EQ(ZARNInit(), 1);
  EXPECT_EQ(funcTableGetParam(134), 1);
  const std::vector<uint8_t> file = Stats();
  ASSERT_EQ(file.size(), static_cast<size_t>(kStatBlockSize));
  const StatHeader h = DecodeStatHeader(file.data());
  EXPECT_STREQ(h.serialNumber, "QV8SIM00042");
  EXPECT_EQ(h.scannerType, kFamilyQv800);
  EXPECT_STREQ(h.vendor, "QRM Inc ");
  EXPECT_STREQ(h.product, "Scanner QV800");
  EXPECT_STREQ(h.release, "1.07");
  // The QV800 line keeps no counters in the file.
  EXPECT_EQ(h.documentNumber, 0);
  EXPECT_EQ(h.runTime, 0);
  EXPECT_FALSE(std::filesystem::exists(VariantDir("full") + "/QV8SIM00042.VEK"));

  // The record file's start line: serial, ..., firmware text and the lifetime document count.
  const std::string records = dir_.Read("zarnapi.txt");
  ASSERT_EQ(records.rfind("IQV8SIM00042|", 0), 0u) << records;
  EXPECT_NE(records.find("|1.07|567|\r\n"), std::string::npos) << records;
}

TEST_F(Qv800StatisticsTest, AScannerGoneBeforeTheEndStillEndsTheRunAndTheApi) {
  ASSERT_EQ(ZARNInit(), 1);
  sim_->FailCall("QVReadSN", 5);
  EXPECT_EQ(ZARNExit(), 1);
  EXPECT_FALSE(Api().zarnInitialised);
  EXPECT_FALSE(Qv8DeviceBound());
  const std::vector<uint8_t> file = Stats();
  ASSERT_EQ(file.size(), static_cast<size_t>(kStatBlockSize));
  const StatRecord run = DecodeStatRecord(file.data() + kStatHeaderSize + kStatRecordSize);
  EXPECT_NE(run.initTime[0], '\0');
  EXPECT_NE(run.exitTime[0], '\0');
}

// ---- The second search --------------------------------------------------------------------------------------

TEST_F(Qv800Test, FindScsiScannerProbesTheGivenPairAndKeepsItsIdentity) {
  ASSERT_EQ(funcLoadQV8DLL(400, VariantDir("full").c_str()), 1);
  funcTableSetParam(101, 4);
  uint8_t adapter = 0, target = 4;
  EXPECT_EQ(funcFindSCSIScanner(0, &adapter, &target), kFamilyQv800);
  EXPECT_EQ(Api().scannerFamily, kFamilyQv800);
  const ScsiIdentity& id = FoundScsiScanner();
  EXPECT_EQ(id.family, kFamilyQv800);
  EXPECT_EQ(id.target, 4);
  EXPECT_EQ(std::string(id.vendor, sizeof id.vendor), "QRM Inc ");
  EXPECT_EQ(std::string(id.product, strnlen(id.product, sizeof id.product)), "Scanner QV800");

  struct Case {
    uint8_t adapter, target;
  };
  // Nothing there, a target beyond 7, an adapter beyond parameter 101: no family, nothing written back.
  for (const Case c : {Case{0, 3}, Case{0, 8}, Case{4, 4}}) {
    adapter = c.adapter;
    target = c.target;
    EXPECT_EQ(funcFindSCSIScanner(0, &adapter, &target), kScannerMissing);
    EXPECT_LT(Api().scannerFamily, 0);
    EXPECT_EQ(adapter, c.adapter);
    EXPECT_EQ(target, c.target);
  }
  sim_->FailCall("QVScsiIdGetInfo", 0x104);
  adapter = 0;
  target = 4;
  EXPECT_LT(funcFindSCSIScanner(0, &adapter, &target), 0);
  funcUnLoadQV8DLL(3);
}

// ---- Information box ------------------------------------------------------------------------------------------

std::vector<std::pair<std::string, std::string>> g_boxes;
void RecordBox(const char* caption, const char* text) { g_boxes.emplace_back(caption, text); }

TEST_F(Qv800Test, ScannerInfoShowsTheQv800sTextsInABox) {
  EXPECT_EQ(ZARNDisplayScannerInfo(), kInitScannerError);
  Started();
  g_boxes.clear();
  SetInfoBoxHook(&RecordBox);
  EXPECT_EQ(ZARNDisplayScannerInfo(), 1);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].first, "SCSI Information");
  EXPECT_EQ(g_boxes[0].second,
            "Host Adapter:  0\nSCSI ID           :  4\nVendor            :  QRM Inc \n"
            "Product           :  Scanner QV800\nRelease         :  1.07");
  // A device that no longer answers says so in the same kind of box, and the call still gives 1.
  sim_->FailCall("QVScsiIdGetInfo", 0x104);
  EXPECT_EQ(ZARNDisplayScannerInfo(), 1);
  ASSERT_EQ(g_boxes.size(), 2u);
  EXPECT_EQ(g_boxes[1].second, "Unable to initialize Scanner\n at Adapter = 0, Target = 4");
  SetInfoBoxHook(nullptr);
}

struct IdCase {
  const char* name;
  const char* vendor;
  const char* product;
  int param0;
  int family;
  int typeCode;
  const char* release = "1.00";
};

class Qv800IdentificationTest : public Qv800Test, public ::testing::WithParamInterface<IdCase> {};

TEST_P(Qv800IdentificationTest, InquiryTextsGiveFamilyAndTypeCode) {
  const IdCase& c = GetParam();
  sim_->SetDevice(2, 3, c.vendor, c.product, c.release);
  sim_->SetParam0(c.param0);
  ASSERT_EQ(funcLoadQV8DLL(400, VariantDir("full").c_str()), 1);
  SetScannerTypeCode(-1);
  EXPECT_EQ(funcGetSCSIInfo(2, 3), c.family);
  EXPECT_EQ(funcGetScannerTypeCode(), c.typeCode);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Qv800IdentificationTest,
    ::testing::Values(IdCase{"Tq62", "ZARN Inc", "Scanner Tq62", 0, 2, 2},
                      IdCase{"Tq68", "ZUF Inc ", "Scanner Tq68", 0, 3, 3},
                      IdCase{"Rm70", "VEK Corp.", "Orvisca Scanner RM 70", 0, 30, 30},
                      IdCase{"Qv800Qrm", "QRM Inc ", "Scanner QV800", 0, 400, 400},
                      IdCase{"Qv800Kwl", "KWL Ltd ", "Scanner QV800", 0, 400, 400},
                      IdCase{"Qv600Qrm", "QRM Inc ", "Scanner QV600", 0, 200, 200},
                      IdCase{"Qv600Kwl", "KWL Ltd ", "Scanner Qv600", 0, 200, 200},
                      IdCase{"Qv605", "VEK", "Orvisca Scanner Qv605", 0, 200, 200},
                      IdCase{"Qv630LowerCase", "vek corporation", "orvisca scanner qv630", 0, 200, 230},
                      IdCase{"Qv840", "VEK Corporation", "Orvisca Scanner Qv840", 0, 200, 440},
                      IdCase{"Qv810", "QRM Inc ", "Scanner QV810", 0, 400, 300},
                      IdCase{"Qv700Es", "QRM Inc ", "Scanner QV700", 1, 314, 314},
                      IdCase{"Qv700", "QRM Inc ", "Scanner QV700", 0, 400, 300},
                      IdCase{"Qv750QrmEs", "QRM Inc ", "QV700/750/800ES", 1, 314, 314},
                      IdCase{"Qv750Vek", "VEK Corp.", "QV700/750/800ES", 2, 400, 300},
                      IdCase{"FirstRowWins", "QRM Inc ", "Scanner QV800 Scanner QV600", 0, 400, 400},
                      IdCase{"NoMatch", "ACME", "Scanner", 0, kScannerMissing, -1},
                      // A product field of 32 bytes without a NUL: the match stays inside it and does not
                      // run on into the release text behind it.
                      IdCase{"UnterminatedProduct", "QRM Inc ", "xxxxxxxxxxxxxxxxxxxxxScanner QV8", 0, kScannerMissing,
                             -1, "00"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(Qv800Test, AnEmptyTargetIsNoDeviceAndLeavesNoEarlierTexts) {
  ASSERT_EQ(funcLoadQV8DLL(400, VariantDir("full").c_str()), 1);
  EXPECT_EQ(funcGetSCSIInfo(0, 4), kFamilyQv800);
  EXPECT_EQ(funcGetSCSIInfo(0, 5), kInitScannerError);
}

// ---- Status decoding -------------------------------------------------------------------------------------------------

struct StatusCase {
  const char* name;
  uint32_t status;
  uint32_t error;
  int doubleFeed;  // setting 7
  int inkJet;      // setting 31
  int code;
};

class Qv800StatusTest : public Qv800Test, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(Qv800StatusTest, BitsGiveTheirCodeAndClearErrorsOnce) {
  const StatusCase& c = GetParam();
  Started();
  sim_->AddCheques(1);
  funcTableSetParam(7, c.doubleFeed);
  funcTableSetParam(31, c.inkJet);
  sim_->SetStatusBits(c.status);
  sim_->SetErrorBits(c.error);
  sim_->ClearCallLog();
  EXPECT_EQ(funcQV800Status(), c.code);
  EXPECT_EQ(Count("QVClearErrors"), c.code < 0 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Bits, Qv800StatusTest,
    ::testing::Values(StatusCase{"DocumentsPresent", 0, 0, 0, 0, 1},
                      StatusCase{"DoubleFeed", 0, 0x1, 1, 0, kDoubleFeed},
                      StatusCase{"DoubleFeedOffThenFeedError", 0, 0x1 | 0x2, 0, 0, kFeedError},
                      StatusCase{"InkJetHead", 0x80, 0, 0, 1, kNoInkJetHead},
                      StatusCase{"InkJetHeadWithoutPrinter", 0x80, 0, 0, 0, 1},
                      StatusCase{"DocumentInTrack", 0, 0x4, 0, 0, kDocumentInTrack},
                      StatusCase{"Micr", 0, 0x8, 0, 0, kMicrRead},
                      StatusCase{"NoDevice", 0, 0x40, 0, 0, kNoDeviceFound},
                      StatusCase{"Pocket", 0, 0x80, 0, 0, kPocketTimeout}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(Qv800Test, ConfigurationNeededAfterResendIsNotInitialised) {
  Started();
  sim_->SetRefuseConfig(true);
  funcQV800SendCfgFile(nullptr, nullptr);
  EXPECT_EQ(funcQV800Status(), kZarnNotInitialised);
  EXPECT_EQ(ZarnStatus(), kZarnNotInitialised);
}

TEST_F(Qv800Test, EjectAndPocketResultsAreChecked) {
  Started();
  sim_->ClearCallLog();
  EXPECT_EQ(ZARNEjectDocumentEx(0, 5), 0);
  EXPECT_TRUE(Logged("QVEject 0 0"));
  // The library's error numbers are positive: a failed eject is a failure.
  sim_->FailCall("QVEject", 62109);
  EXPECT_EQ(ZARNEjectDocument(), -542);
  sim_->FailCall("QVSetDestinationPocket", 62102);
  EXPECT_EQ(QV800SetPocket(1), -543);
}

// ---- Print set-up ------------------------------------------------------------------------------------------------

TEST_F(Qv800Test, PrintSetUpCases) {
  Started();
  // A long text keeps 255 characters, each byte widened without sign.
  std::string text(300, 'A');
  text[0] = static_cast<char>(0xE9);
  EXPECT_EQ(funcQV800SetPrint(34, 7, text.c_str()), 1);
  const Qv800State& st = Qv8State();
  EXPECT_EQ(st.endorsement[0], 0xE9);
  EXPECT_EQ(st.endorsement[254], u'A');
  EXPECT_EQ(st.endorsement[255], 0);
  EXPECT_TRUE(st.printPending);
  EXPECT_EQ(funcQV800SetPrint(34, 0, nullptr), kBadParameter);
  EXPECT_EQ(funcQV800SetPrint(61, 0, "x"), kBadParameter);

  // A bitmap switches to bitmap printing, goes to the device and re-initialises it.
  std::vector<char> bmp(1000, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  bmp[2] = static_cast<char>(1000 & 0xFF);
  bmp[3] = static_cast<char>(1000 >> 8);
  dir_.Write("logo.bmp", std::string(bmp.begin(), bmp.end()));
  sim_->ClearCallLog();
  EXPECT_EQ(funcQV800SetPrint(35, 3, "logo.bmp"), 0);
  EXPECT_EQ(funcTableGetParam(33), 1);
  EXPECT_TRUE(Logged("QVUpdPrtBitmap 0 1000"));
  EXPECT_EQ(Count("QVInit"), 1);
  // Over 64000 bytes: refused whole, nothing handed over.
  dir_.Write("big.bmp", std::string(64001, 'B'));
  sim_->ClearCallLog();
  EXPECT_EQ(funcQV800SetPrint(35, 3, "big.bmp"), kOpenBmpError);
  EXPECT_EQ(Count("QVUpdPrtBitmap"), 0);
  EXPECT_EQ(funcQV800SetPrint(35, 3, "missing.bmp"), kOpenBmpError);

  // Ink-jet text: stored for the scan loop; printed only once a font is loaded.
  EXPECT_EQ(funcQV800SetPrint(60, 2, "PAID"), 1);
  EXPECT_TRUE(Qv8State().inkJetPending);
  EXPECT_EQ(funcQV800PrintStringIJ(2, "PAID", 0), kReadFontError);
  EXPECT_EQ(funcQV800PrintStringIJ(2, "", 0), 1);
  dir_.Write("font.bin", std::string(100, 'F'));
  sim_->FailCall("QVDwlPrinterFont", 62029);
  EXPECT_EQ(funcQV800LoadPrinterFont("font.bin"), kReadFontError);
  EXPECT_FALSE(Qv8State().fontLoaded);
  sim_->FailCall("QVDwlPrinterFont", 0);
  EXPECT_EQ(funcQV800LoadPrinterFont("font.bin"), 0);
  EXPECT_EQ(funcQV800PrintStringIJ(2, "PAID", 0), 0);
  EXPECT_TRUE(Logged("QVStringIJ 2 PAID 4 0"));

  EXPECT_EQ(funcQV800SetSorter(10, "a", "b"), kBadParameter);
  Api().scannerFamily = 300;
  EXPECT_EQ(funcQV800SetPrint(60, 2, "X"), 1);
}

TEST_F(Qv800Test, SendCfgFileNamesTheFiles) {
  Started();
  const std::string tmp = Api().qv8TmpFile, cfg = Api().qv8CfgFile;
  struct Case {
    const char* first;
    const char* second;
    std::string want;
  };
  for (const Case& c : {Case{nullptr, nullptr, tmp + " " + cfg}, Case{"", "b.cfg", tmp + " " + cfg},
                        Case{"a.tmp", "", "a.tmp " + cfg}, Case{"a.tmp", "b.cfg", "a.tmp b.cfg"}}) {
    sim_->ClearCallLog();
    EXPECT_EQ(funcQV800SendCfgFile(c.first, c.second), 0);
    EXPECT_TRUE(Logged("QVInit " + c.want + " 4 0")) << c.want;
  }
}

// ---- Scan loop ---------------------------------------------------------------------------------------------------

TEST_F(Qv800Test, ScansGiveValidFilesAndRecordsWithTheDevicesCodeLines) {
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  Started();
  sim_->AddCheques(3, 5);
  char code[kScanCodeLineBuffer], frontSize[12], rearSize[12], length[12];
  ASSERT_EQ(ZARNScan(7, "f1.tif", frontSize, "b1.tif", rearSize, code, length), 0);
  ASSERT_EQ(sim_->CodeLinesDelivered().size(), 1u);
  const std::string want = sim_->CodeLinesDelivered()[0];
  EXPECT_FALSE(want.empty());
  EXPECT_EQ(code, want);
  EXPECT_GT(std::atoi(frontSize), 0);
  EXPECT_GT(std::atoi(rearSize), 0);
  if (zc::testkit::HaveTool("tiffinfo")) {
    for (const char* f : {"f1.tif", "b1.tif"}) {
      const auto r = zc::testkit::RunCommand("tiffinfo " + dir_.File(f));
      EXPECT_TRUE(r.ok()) << r.output;
      EXPECT_NE(r.output.find("CCITT Group 4"), std::string::npos) << r.output;
    }
  }

  ASSERT_EQ(ZARNScanGray(7, "f2.bmp", frontSize, "b2.bmp", rearSize, code, length, 3), 0);
  if (zc::testkit::HavePythonModule("PIL")) {
    const auto r = zc::testkit::RunCommand("/usr/bin/python3 -c \"from PIL import Image; im=Image.open('" +
                                           dir_.File("f2.bmp") + "'); im.load(); print(im.size, im.mode)\"");
    EXPECT_TRUE(r.ok()) << r.output;
    EXPECT_NE(r.output.find("(1200, 550)"), std::string::npos) << r.output;
  }

  std::vector<uint8_t> front(kQv8MemoryBufferSize), rear(kQv8MemoryBufferSize);
  int32_t fs = 0, rs = 0, len = 0;
  ASSERT_EQ(ZARNScanMemory(7, front, &fs, rear, &rs, code, &len), 0);
  for (const auto& area : {front, rear}) {
    const zc::imaging::RecordHeader h = zc::imaging::ReadRecordHeader(area.data());
    EXPECT_EQ(h.width, 1200);
    EXPECT_EQ(h.height, 550);
    EXPECT_EQ(h.bits, 1);
    EXPECT_EQ(h.dpi, 200);
  }
  EXPECT_EQ(fs, 8 + 150 * 550);
  EXPECT_EQ(sim_->CodeLinesDelivered().size(), 3u);
  // Feeder empty: the open scan reports -212 without a read.
  sim_->ClearCallLog();
  EXPECT_EQ(ZARNScanMemory(7, front, &fs, rear, &rs, code, &len), kFeederEmpty);
  EXPECT_EQ(Count("QVScanDocToMem"), 0);
  EXPECT_FALSE(Qv8State().scanFailed);
}

TEST_F(Qv800Test, TheFrontConversionTraceNamesTheHeaderItAdds) {
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  Started();
  sim_->AddCheques(2, 5);
  SetApiTraceLevel(2);
  SetApiLogToFile(1);
  char code[kScanCodeLineBuffer], frontSize[12], rearSize[12], length[12];
  // Gray BMP files take the BMP header, black-and-white TIFF files the TIFF one.
  ASSERT_EQ(ZARNScanGray(7, "f.bmp", frontSize, "b.bmp", rearSize, code, length, 3), 0);
  ASSERT_EQ(ZARNScan(7, "f.tif", frontSize, "b.tif", rearSize, code, length), 0);
  const std::string log = dir_.Read("zarnapi.log");
  const size_t bmp = log.find("funcAddMemHeaderToBMP, iStatus = ");
  ASSERT_NE(bmp, std::string::npos);
  EXPECT_NE(log.find("funcAddMemHeaderToTIFF, iStatus = ", bmp), std::string::npos);
}

// The optical check of a black-and-white file the API writes reads the record it wrote, and only when it
// was written.
TEST_F(Qv800Test, OpticalCheckReadsTheWrittenFrontOnly) {
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  testing::ScriptedAnalysis scripted;
  InstallAnalysisServices(&scripted);
  Started();
  funcTableSetParam(116, 1);
  funcTableSetParam(2, 1);
  sim_->AddCheques(2, 7);
  char code[kScanCodeLineBuffer], frontSize[12], rearSize[12], length[12];
  const auto opticalReads = [&] {
    const auto calls = scripted.Calls();
    return std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("ocr ", 0) == 0; });
  };
  ASSERT_EQ(ZARNScan(7, "f1.tif", frontSize, "b1.tif", rearSize, code, length), 0);
  EXPECT_EQ(opticalReads(), 1);
  // A front name that is a folder cannot be written.
  std::filesystem::create_directories(dir_.File("folder.tif"));
  EXPECT_LT(ZARNScan(7, "folder.tif", frontSize, "b2.tif", rearSize, code, length), 0);
  EXPECT_EQ(opticalReads(), 1);
  InstallAnalysisServices(nullptr);
}

TEST_F(Qv800Test, FrontOnlyLeavesTheRearUntouched) {
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  Started();
  sim_->AddCheques(1);
  std::vector<uint8_t> front(kQv8MemoryBufferSize), rear(16, 0xAB);
  int32_t fs = 0, rs = -7, len = 0;
  char code[kScanCodeLineBuffer];
  ASSERT_EQ(ZARNScanMemoryGray(5, front, &fs, rear, &rs, code, &len, 3), 0);
  EXPECT_EQ(rs, 0);
  EXPECT_EQ(rear[8], 0xAB);
  EXPECT_EQ(zc::imaging::ReadRecordHeader(front.data()).bits, 8);
  EXPECT_TRUE(Logged("QVScanDocToMem front - " + std::to_string(kQv8MemoryBufferSize) + " 70 0"));
}

TEST_F(Qv800Test, AResolutionChangeReopensAfterTwoSeconds) {
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  Started();
  sim_->AddCheques(3);
  std::vector<uint8_t> front(kQv8MemoryBufferSize), rear(kQv8MemoryBufferSize);
  int32_t fs = 0, rs = 0, len = 0;
  char code[kScanCodeLineBuffer];
  ASSERT_EQ(ZARNScanMemory(7, front, &fs, rear, &rs, code, &len), 0);
  uint64_t before = plat::NowMs();
  ASSERT_EQ(ZARNScanMemory(7, front, &fs, rear, &rs, code, &len), 0);
  EXPECT_EQ(plat::NowMs() - before, 0u);  // same settings: the open scan goes on
  ASSERT_GE(ZARNSetParam(6, 4), 0);
  sim_->ClearCallLog();
  before = plat::NowMs();
  ASSERT_EQ(ZARNScanMemory(7, front, &fs, rear, &rs, code, &len), 0);
  EXPECT_EQ(plat::NowMs() - before, 2000u);
  EXPECT_EQ(Count("QVCloseScan"), 1);
  EXPECT_EQ(Count("QVOpenScan"), 1);
  EXPECT_EQ(zc::imaging::ReadRecordHeader(front.data()).dpi, 300);
}

TEST_F(Qv800Test, DoubleFeedSeenByTheStatusIsReportedAsItself) {
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  Started();
  funcTableSetParam(7, 1);
  sim_->AddCheques(2);
  std::vector<uint8_t> front(kQv8MemoryBufferSize), rear(kQv8MemoryBufferSize);
  int32_t fs = 0, rs = 0, len = 0;
  char code[kScanCodeLineBuffer];
  ASSERT_EQ(ZARNScanMemory(7, front, &fs, rear, &rs, code, &len), 0);
  sim_->SetErrorBits(0x1);
  EXPECT_EQ(ZARNScanMemory(7, front, &fs, rear, &rs, code, &len), kDoubleFeed);
}

TEST_F(Qv800Test, AFailedReadEjectsToThePocketSettingAndClosesTheScan) {
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  Started();
  funcTableSetParam(82, 2);
  sim_->AddFailingDocument(62001);
  std::vector<uint8_t> front(kQv8MemoryBufferSize), rear(kQv8MemoryBufferSize);
  int32_t fs = 0, rs = 0, len = 0;
  char code[kScanCodeLineBuffer];
  sim_->ClearCallLog();
  EXPECT_EQ(ZARNScanMemory(7, front, &fs, rear, &rs, code, &len), kDoubleFeed);
  EXPECT_TRUE(Logged("QVCloseScan"));
  EXPECT_TRUE(Logged("QVEject 0 2"));
  EXPECT_FALSE(sim_->ScanOpen());
  EXPECT_FALSE(Qv8State().scanOpen);
}

TEST_F(Qv800Test, ImageLargerThanTheCallersAreaIsRefusedByTheDevice) {
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  Started();
  sim_->AddCheques(1);
  std::vector<uint8_t> front(4096), rear(4096);
  int32_t fs = 0, rs = 0, len = 0;
  char code[kScanCodeLineBuffer];
  EXPECT_EQ(ZARNScanMemory(7, front, &fs, rear, &rs, code, &len), kFormatError);
  EXPECT_TRUE(Logged("QVScanDocToMem front rear 4096 70 0"));
}

}  // namespace
}  // namespace zarn
