// The QV600 back-end and the API lifecycle against the scripted fake device library.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "fake_qv6_fixture.h"
#include "platform/clock.h"
#include "platform/dynlib.h"
#include "platform/ini.h"
#include "zarn/lifecycle.h"
#include "zarn/qv600.h"
#include "zarn/status.h"
#include "testkit/support/wait.h"

namespace zarn {
namespace {

TEST_F(Qv600Test, InitOnQv630GivesTypeCode200AndModel230ThenRefusesASecondInit) {
  ASSERT_EQ(ZARNInit(), 1);
  EXPECT_EQ(funcGetScannerTypeCode(), 200);
  EXPECT_EQ(Api().scannerModel, 230);
  EXPECT_EQ(Api().scannerFamily, kFamilyQv600);
  EXPECT_EQ(funcTableGetParam(167), 230);
  EXPECT_EQ(funcTableGetParam(101), 4);
  EXPECT_EQ(funcTableGetParam(102), 2);
  EXPECT_EQ(ZARNInit(), kAlreadyInitialised);
  EXPECT_EQ(Count("QV6OpenConnection"), 1u);
  // The descriptor carries upper-cased firmware paths; the driver file was written and loaded.
  char sys[256] = {};
  plat::GetSystemDirectoryA(sys, sizeof sys);
  EXPECT_EQ(plat::ReadProfileString("QV620 DRIVER", "QV630_Firmw", "", ".\\qv8cfg.tmp"),
            Upper(std::string(sys) + "\\drivers\\QV630firmware.bin"));
  EXPECT_EQ(plat::ReadProfileInt("QV600 CONFIG", "FRONT_IMG Resolution", -1, ".\\qv8cfg.tmp"), 200);
  EXPECT_GE(Count("QV6InitDeviceFromFile"), 1u);

  EXPECT_EQ(ZARNExit(), 1);
  EXPECT_EQ(ZARNExit(), kInitScannerError);
  EXPECT_EQ(Count("QV6CloseConnection"), 1u);
}

TEST_F(Qv600Test, KrOnAQv600ReconnectsOnceWithTheCodeLineEvent) {
  control_->SetIdentity(Identity({"QRM Inc ", "Scanner QV600", "", "1", "S1", "0", "0"}));
  ASSERT_EQ(ZARNInit(), 1);
  EXPECT_EQ(Count("QV6OpenConnection"), 2u);
  EXPECT_EQ(Count("QV6CloseConnection"), 1u);
  EXPECT_STREQ(funcTableGetParamString(159), "KWL");
  const std::vector<std::string> registrations = Calls("QV6SetEventFunction");
  // First connection: 0,1,2,6,4,5; exit clears 0..5; second connection: 0,1,2,3,4,5.
  ASSERT_EQ(registrations.size(), 18u);
  EXPECT_NE(registrations[3].find(",6,"), std::string::npos) << registrations[3];
  EXPECT_NE(registrations[15].find(",3,"), std::string::npos) << registrations[15];
  EXPECT_EQ(ZARNExit(), 1);
}

TEST_F(Qv600Test, ExitClosesAfterClearingEventsAndLogsExitAtLevelZero) {
  ASSERT_EQ(ZARNInit(), 1);
  SetApiLogToFile(1);
  SetApiTraceLevel(0);
  control_->ClearCallLog();
  ASSERT_EQ(ZARNExit(), 1);
  const std::vector<std::string> log = control_->CallLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().rfind("QV6CloseConnection", 0), 0u);
  EXPECT_EQ(Count("QV6SetEventFunction"), 6u);
  EXPECT_NE(dir_.Read("zarnapi.log").find("EXIT"), std::string::npos);
}

TEST_F(Qv600Test, ExitSendsAQv840SortingFromItsInputToTheFirstPocket) {
  struct Case {
    const char* name;
    const char* model;
    int sorter;
    int input;
    bool pocket;
  };
  for (const Case& c : {Case{"Qv840SorterAndInput", "Orvisca Scanner Qv840", 1, 1, true},
                        Case{"Qv840NoInput", "Orvisca Scanner Qv840", 1, 0, false},
                        Case{"Qv840NoSorter", "Orvisca Scanner Qv840", 0, 1, false},
                        Case{"Qv630SorterAndInput", "Orvisca Scanner Qv630", 1, 1, false}}) {
    control_->SetIdentity(Identity({"VEK Corporation", c.model, "", "1.00", "AB12100001", "1", "2", "OK"}));
    ASSERT_EQ(ZARNInit(), 1) << c.name;
    funcTableSetParam(32, c.sorter);
    funcTableSetParam(49, c.input);
    SetApiTraceLevel(1);
    SetApiLogToFile(1);
    control_->ClearCallLog();
    ASSERT_EQ(ZARNExit(), 1) << c.name;
    const std::vector<std::string> pockets = Calls("QV6SetDestinationPocket");
    const std::string log = dir_.Read("zarnapi.log");
    if (c.pocket) {
      ASSERT_EQ(pockets.size(), 1u) << c.name;
      EXPECT_NE(pockets[0].find(",0)"), std::string::npos) << pockets[0];
      const size_t before = log.find("Before VEKSetPocket");
      ASSERT_NE(before, std::string::npos) << c.name;
      EXPECT_LT(before, log.find("after VEKSetPocket")) << c.name;
      EXPECT_LT(log.find("after VEKSetPocket"), log.find("before funcQV600Disable()")) << c.name;
    } else {
      EXPECT_TRUE(pockets.empty()) << c.name;
      EXPECT_EQ(log.find("VEKSetPocket"), std::string::npos) << c.name;
    }
    SetApiTraceLevel(0);
    SetApiLogToFile(0);
    dir_.Write("zarnapi.log", "");
    ResetAll();
    ResetBackend();
    funcTableSetParamString(135, "NOINI");
    funcTableSetParamString(158, "200");
  }
}

std::vector<std::pair<std::string, std::string>> g_boxes;
void RecordBox(const char* caption, const char* text) { g_boxes.emplace_back(caption, text); }

TEST_F(Qv600Test, ScannerInfoShowsItsTextsInABoxOnlyWhenAsked) {
  ASSERT_EQ(ZARNInit(), 1);
  g_boxes.clear();
  SetInfoBoxHook(&RecordBox);
  unsigned char adapter = 9, target = 9;
  char vendor[32], product[32], release[32];
  EXPECT_EQ(QV600GetScannerInfo(&adapter, &target, vendor, sizeof vendor, product, sizeof product, release,
                                sizeof release, 0),
            kFamilyQv600);
  EXPECT_TRUE(g_boxes.empty());
  EXPECT_EQ(QV600GetScannerInfo(&adapter, &target, vendor, sizeof vendor, product, sizeof product, release,
                                sizeof release, 1),
            kFamilyQv600);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].first, "SCSI Information");
  EXPECT_EQ(g_boxes[0].second,
            "Host Adapter:  0\nSCSI ID           :  2\nVendor            :  VEK Corporation\nProduct           :  "
            "Orvisca Scanner Qv630\nRelease         :  1.00");
  // The API's call shows the texts cut to its buffers.
  EXPECT_EQ(ZARNDisplayScannerInfo(), 1);
  ASSERT_EQ(g_boxes.size(), 2u);
  EXPECT_EQ(g_boxes[1].second,
            "Host Adapter:  0\nSCSI ID           :  2\nVendor            :  VEK Corp\nProduct           :  "
            "Orvisca Scanner \nRelease         :  1.00");
  SetInfoBoxHook(nullptr);
  EXPECT_EQ(ZARNExit(), 1);
}

TEST_F(Qv600Test, ScannerNeverOnLineGivesMissingAfterTheWaitClosedOnlyWhenItsStatusFails) {
  control_->SetConnectDelay(-1);
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  // Silent device: the status check fails, the connection is closed.
  const uint64_t start = plat::NowMs();
  EXPECT_EQ(funcQV600Init("NOINI", ".\\"), kScannerMissing);
  EXPECT_GE(plat::NowMs() - start, 15000u);
  EXPECT_EQ(Count("QV6CloseConnection"), 1u);
  // A device that answers but never reports itself connected: the connection stays open ...
  control_->SetStatusWords(kStFeedSensor, 0);
  control_->ClearCallLog();
  EXPECT_EQ(funcQV600Init("NOINI", ".\\"), kScannerMissing);
  EXPECT_EQ(Count("QV6CloseConnection"), 0u);
  // ... and the next start closes it before it opens another.
  EXPECT_EQ(funcQV600Init("NOINI", ".\\"), kScannerMissing);
  EXPECT_EQ(Count("QV6CloseConnection"), 1u);
  EXPECT_EQ(Count("QV6OpenConnection"), 2u);
}

TEST_F(Qv600Test, FailedStartWithoutQv800LibraryLeavesNoExtraConnection) {
  control_->SetConnectDelay(-1);
  control_->SetStatusWords(kStFeedSensor, 0);
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  SetApiTraceLevel(1);
  SetApiLogToFile(1);
  EXPECT_EQ(ZARNInit(), kScannerMissing);
  EXPECT_EQ(Api().scannerFamily, kScannerMissing);
  EXPECT_EQ(Count("QV6OpenConnection"), 2u);
  EXPECT_EQ(Count("QV6CloseConnection"), 1u);  // the first, before the fallback opened the second
  EXPECT_FALSE(Api().zarnInitialised);
  EXPECT_NE(dir_.Read("zarnapi.log").find("Mid iScannerType -125"), std::string::npos);
}

TEST_F(Qv600Test, OpenFailureGivesTheMappedErrorAndNoRegistration) {
  control_->SetOpenFailure(-3);
  const int r = funcQV600Init("NOINI", ".\\");
  EXPECT_LT(r, 0);
  EXPECT_NE(r, kScannerMissing);
  EXPECT_EQ(Count("QV6SetEventFunction"), 0u);
}

TEST_F(Qv600Test, RegistrationFailureIsReportedThoughOnLine) {
  control_->FailExport("QV6SetEventFunction", -5);
  EXPECT_LT(funcQV600Init("NOINI", ".\\"), 0);
  EXPECT_EQ(Qv600().deviceOnLine.load(), 1);
}

TEST_F(Qv600Test, MissingLibraryOrExportGivesScannerMissing) {
  SetQv6LibraryFile("NoSuchQv6.dll");
  EXPECT_EQ(ZARNInit(), kScannerMissing);
  SetQv6LibraryFile(ZC_PLATFORM_LIBRARY);
  EXPECT_EQ(ZARNInit(), kScannerMissing);
}

struct IdentityCase {
  const char* name;
  const char* manufacturer;
  const char* model;
  int operatingMode;
  const char* serial;
  int expectedModel;
  int expectedSpeed;
  int expectedFast;
};

class Qv600Identity : public Qv600Test, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(Qv600Identity, SetsModelAndSpeedClass) {
  const IdentityCase& c = GetParam();
  control_->SetIdentity(Identity({c.manufacturer, c.model, "", "2.0", c.serial, "99999999999", "-5"}));
  control_->SetOperatingMode(c.operatingMode);
  Start(kFamilyQv600);
  ASSERT_GE(funcQV600Init("NOINI", ".\\"), 0);
  char serial[9];
  int documents = 0, minutes = 0;
  const int r = QV600GetScannerSerialNumber(serial, sizeof serial, &documents, &minutes);
  EXPECT_EQ(r, c.expectedModel == 200 && std::string(c.model) == "Unknown" ? -5 : 200);
  EXPECT_EQ(Api().scannerModel, c.expectedModel);
  EXPECT_EQ(funcTableGetParam(167), c.expectedModel);
  EXPECT_EQ(Qv600().qv630Speed.load(), c.expectedSpeed);
  EXPECT_EQ(Qv600().qv630Fast.load(), c.expectedFast);
  EXPECT_EQ(std::string(serial), std::string(c.serial).substr(0, 8));  // cut to the buffer
  EXPECT_EQ(documents, 2147483647);                                    // saturated
  EXPECT_EQ(minutes, -5);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Qv600Identity,
    ::testing::Values(
        IdentityCase{"Qv600LowerCase", "qrm inc ", "scanner qv600", 0, "S", 200, 100, 0},
        IdentityCase{"Rm70", "VEK Corp.", "Orvisca Scanner RM 70", 0, "S", 30, 100, 0},
        IdentityCase{"Qv605", "VEK", "Orvisca Scanner Qv605", 0, "S", 205, 100, 0},
        IdentityCase{"Qv620", "KWL Ltd", "Orvisca Scanner Qv620", 0, "S", 220, 100, 0},
        IdentityCase{"Qv615FromOperatingMode", "VEK Corporation", "Orvisca Scanner Qv630", 1, "AB12100001", 215,
                     100, 0},
        IdentityCase{"Qv630Slow", "VEK Corporation", "Orvisca Scanner Qv630", 0, "AB12200001", 230, 35, 0},
        IdentityCase{"Qv630Medium", "VEK Corporation", "Orvisca Scanner Qv630", 0, "AB12010001", 230, 65, 0},
        IdentityCase{"Qv630Fast", "VEK Corporation", "Orvisca Scanner Qv630", 0, "AB12100001", 230, 100, 1},
        IdentityCase{"Qv840Fast", "VEK Corporation", "Orvisca Scanner Qv840", 0, "AB12900001", 440, 100, 1},
        IdentityCase{"Unknown", "Other", "Unknown", 0, "S", 200, 100, 0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(Qv600Test, Qv620WithoutDoubleFeedKeysKeepsItsSettingAndAQv630TakesTheFallback) {
  Start(kFamilyQv600);
  ASSERT_GE(funcQV600Init("NOINI", ".\\"), 0);
  const int before = funcTableGetParam(7);
  control_->SetIdentity(Identity({"VEK Corporation", "Orvisca Scanner Qv620", "", "1", "S", "0", "0"}));
  char serial[16];
  EXPECT_EQ(QV600GetScannerSerialNumber(serial, sizeof serial, nullptr, nullptr), 200);
  EXPECT_EQ(Api().scannerModel, 220);
  EXPECT_EQ(funcTableGetParam(7), before);
  Api().scannerModel = 200;
  control_->SetIdentity(Qv630Identity());
  EXPECT_EQ(QV600GetScannerSerialNumber(serial, sizeof serial, nullptr, nullptr), 200);
  EXPECT_EQ(ZARNGetParam(7), 1);
}

TEST_F(Qv600Test, ScannerInfoCopiesAreCutToTheirBuffers) {
  ASSERT_GE(funcQV600Init("NOINI", ".\\"), 0);
  char vendor[9], product[17], release[7];
  unsigned char adapter = 9, target = 9;
  EXPECT_EQ(QV600GetScannerInfo(&adapter, &target, vendor, sizeof vendor, product, sizeof product, release,
                                sizeof release, 0),
            200);
  EXPECT_STREQ(vendor, "VEK Corp");
  EXPECT_STREQ(product, "Orvisca Scanner ");
  EXPECT_STREQ(release, "1.00");
}

struct StatusCase {
  const char* name;
  int model;
  uint32_t status;
  uint32_t error;
  int param7;
  int param111;
  int expectedStatus;
  int expectedCheck;
  int clears;  // QV6ClearErrors calls by funcQV600Status
};

class Qv600StatusPoll : public Qv600Test, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(Qv600StatusPoll, ResultsAndClearing) {
  const StatusCase& c = GetParam();
  ASSERT_GE(funcQV600Init("NOINI", ".\\"), 0);
  Api().scannerModel = c.model;
  funcTableSetParam(7, c.param7);
  funcTableSetParam(111, c.param111);
  control_->SetStatusWords(c.status, c.error);
  control_->ClearCallLog();
  EXPECT_EQ(funcQV600Status(), c.expectedStatus);
  EXPECT_EQ(Count("QV6ClearErrors"), static_cast<size_t>(c.clears));
  control_->SetStatusWords(c.status, c.error);
  EXPECT_EQ(funcQV600StatusCheck(), c.expectedCheck);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Qv600StatusPoll,
    ::testing::Values(StatusCase{"Idle", 230, 0, 0, 1, 0, 0, 0, 0},
                      StatusCase{"FeedSensorPresent", 200, kStFeedSensor, 0, 1, 0, 1, 0, 0},
                      StatusCase{"FeedSensorOnlyWithEnableScan", 200, kStFeedSensor, 0, 1, 1, 1, 0, 0},
                      StatusCase{"JamClearedOnQv630", 230, 0, kErJam, 1, 0, kDocumentJam, kDocumentJam, 2},
                      StatusCase{"JamNotClearedOnQv600", 200, 0, kErJam, 1, 0, kDocumentJam, kDocumentJam, 0},
                      StatusCase{"DoubleFeedNoStopNeitherClearedNorReported", 230, 0, kErDoubleFeed, 2, 0, 0, 0, 0},
                      StatusCase{"DoubleFeed", 230, 0, kErDoubleFeed, 1, 0, kDoubleFeed, kDoubleFeed, 2},
                      StatusCase{"SelfTest", 200, 0, kErSelfTest, 1, 0, kSelfTestFault, kSelfTestFault, 0},
                      StatusCase{"TooLong", 200, 0, kErDocTooLong, 1, 0, kDocumentTooLong, kDocumentTooLong, 0},
                      StatusCase{"OtherErrorRecorded", 200, 0, kErOther, 1, 0, 0, 0, 0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(Qv600Test, Qv840CoverOpenWithADocumentAtTheFeederAsksForAReset) {
  ASSERT_GE(funcQV600Init("NOINI", ".\\"), 0);
  Api().scannerModel = 440;
  control_->SetStatusWords(kStCoverOff | kStFeedSensor, 0);
  Qv600().getImageBusy = 1;
  plat::ScopedClock clock(plat::ScopedClock::Virtual{plat::NowMs(), true});
  const uint64_t start = plat::NowMs();
  EXPECT_EQ(funcQV600Status(), kResetScanner);
  EXPECT_GE(plat::NowMs() - start, 400u);
  EXPECT_EQ(Qv600().getImageBusy.load(), 0);
}

TEST_F(Qv600Test, IniSearchFallsBackToTheWindowsFolderAndFailsWithoutAnyFile) {
  funcTableSetParamString(135, "missing.ini");
  EXPECT_EQ(ZARNInit(), kNoIniFile);
  dir_.Write("zarnscan.ini", "[SCANNER]\nType=200\n");
  ASSERT_EQ(ZARNInit(), 1);
  char windows[256] = {};
  plat::GetWindowsDirectoryA(windows, sizeof windows);
  EXPECT_EQ(std::string(funcTableGetParamString(135)), std::string(windows) + "\\zarnscan.ini");
}

TEST_F(Qv600Test, InitPathIgnoresAnOverlongIniPath) {
  const std::string longPath(300, 'a');
  EXPECT_EQ(ZARNInitPath(nullptr, longPath.c_str(), nullptr), 1);
  EXPECT_STREQ(funcTableGetParamString(135), "NOINI");
  EXPECT_EQ(funcGetApiVersion(), 915);
  char date[11];
  EXPECT_EQ(funcGetApiDate(date, sizeof date), 10);
  EXPECT_STREQ(date, "2009:07:11");
}

TEST_F(Qv600Test, ReloadWritesTheDriverFileBeforeTheDeviceLoadsIt) {
  Start(kFamilyQv600);
  ASSERT_GE(funcQV600Init("NOINI", ".\\"), 0);
  ASSERT_GE(ZARNSetParam(1, 1), 0);  // MICR on, as a scan set-up changes it
  control_->ClearCallLog();
  EXPECT_EQ(funcQV600Update(0x102), 1);
  EXPECT_EQ(Count("QV6InitDeviceFromFile"), 1u);
  EXPECT_EQ(plat::ReadProfileInt("QV600 CONFIG", "MICR Enable", -1, Qv600DriverFileName()), 1);
}

TEST_F(Qv600Test, ScanningDuringTheFirstReloadFailsTheStartWithDiskError) {
  control_->SetStatusWords(kStScanning, 0);
  EXPECT_EQ(ZARNInit(), kDiskReadWrite);
  EXPECT_FALSE(Api().zarnInitialised);
}

struct StatusChangeCase {
  const char* name;
  int model;
  uint32_t status;
  uint32_t error;
  int param7;
  int param184;
  int scannerStatus;
  int documentError;
  int clears;
  uint32_t documentBits;
};

class Qv600StatusChange : public Qv600Test, public ::testing::WithParamInterface<StatusChangeCase> {};

TEST_P(Qv600StatusChange, RecordsTheDocumentsCondition) {
  const StatusChangeCase& c = GetParam();
  ASSERT_GE(funcQV600Init("NOINI", ".\\"), 0);
  Api().scannerModel = c.model;
  funcTableSetParam(7, c.param7);
  funcTableSetParam(184, c.param184);
  Qv600().enableOK = 1;
  control_->SetStatusWords(c.status, c.error);
  control_->ClearCallLog();
  cbStatusChange(2, 0);
  EXPECT_EQ(Qv600().scannerStatus.load(), c.scannerStatus);
  EXPECT_EQ(Qv600().documentError.load(), c.documentError);
  EXPECT_EQ(Count("QV6ClearErrors"), static_cast<size_t>(c.clears));
  EXPECT_EQ(Qv600().documentStatus.load(), c.documentBits);
  EXPECT_EQ(Qv600().enableOK.load(), (c.status & kStError) != 0 && c.error == 0 ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, Qv600StatusChange,
    ::testing::Values(
        StatusChangeCase{"ScanningMarksTheDocument", 230, kStScanning, 0, 1, 0, 0, 0, 0, kDocScanning},
        StatusChangeCase{"ErrorBitStopsEarlyScan", 200, kStError, 0, 1, 0, 0, 0, 0, 0},
        StatusChangeCase{"JamClearedOnQv630", 230, 0, kErJam, 1, 0, kDocumentJam, kDocumentJam, 2, 0},
        StatusChangeCase{"JamKeptWithForceEject", 440, 0, kErJam, 1, 1, kDocumentJam, 0, 0, 0},
        StatusChangeCase{"DoubleFeedNoStop", 220, 0, kErDoubleFeed, 2, 0, 0, kDoubleFeed, 0, 0},
        StatusChangeCase{"DoubleFeedStops", 220, 0, kErDoubleFeed, 1, 0, kDoubleFeed, kDocumentJam, 2, 0},
        StatusChangeCase{"JamOnQv600NotCleared", 200, 0, kErJam, 1, 0, kDocumentJam, 0, 0, 0},
        StatusChangeCase{"OtherErrorRecorded", 200, 0, kErOther, 1, 0, kDeviceErrorRecorded, 0, 0, 0}),
    [](const auto& p) { return std::string(p.param.name); });

struct EarlyScanCase {
  const char* name;
  uint32_t status;
  uint32_t error;
  int fast;
  int enableScan;
  int documentError;
  int issuedBefore;
  bool started;
};

class Qv600StatusChangeEarlyScan : public Qv600Test, public ::testing::WithParamInterface<EarlyScanCase> {};

TEST_P(Qv600StatusChangeEarlyScan, StartsTheNextDocumentOnlyWhenEverythingAllows) {
  const EarlyScanCase& c = GetParam();
  ASSERT_GE(funcQV600Init("NOINI", ".\\"), 0);
  Api().scannerModel = 230;
  funcTableSetParam(160, 1);
  Qv600().enableOK = 1;
  Qv600().enableScan = c.enableScan;
  Qv600().qv630Fast = c.fast;
  Qv600().documentError = c.documentError;
  Qv600().earlyScanIssued = c.issuedBefore;
  Qv600().earlyScanUsed = 0;
  control_->SetStatusWords(c.status, c.error);
  control_->ClearCallLog();
  cbStatusChange(2, 0);
  EXPECT_EQ(Count("QV6EnableEarlyScan"), c.started ? 1u : 0u);
  EXPECT_EQ(Qv600().earlyScanIssued.load(), c.issuedBefore + (c.started ? 1 : 0));
}

constexpr uint32_t kWaiting = kStEarlyScan | kStFeedSensor;
INSTANTIATE_TEST_SUITE_P(
    Conditions, Qv600StatusChangeEarlyScan,
    ::testing::Values(EarlyScanCase{"Started", kWaiting, 0, 1, 1, 0, 0, true},
                      EarlyScanCase{"NotTheFastClass", kWaiting, 0, 0, 1, 0, 0, false},
                      EarlyScanCase{"ScanningOff", kWaiting, 0, 1, 0, 0, 0, false},
                      EarlyScanCase{"NoDocumentAtTheFeeder", kStEarlyScan, 0, 1, 1, 0, 0, false},
                      EarlyScanCase{"DoubleFeedShown", kWaiting | kStDoubleFeed, 0, 1, 1, 0, 0, false},
                      EarlyScanCase{"DocumentErrorPending", kWaiting, 0, 1, 1, kDoubleFeed, 0, false},
                      EarlyScanCase{"OneAlreadyOutstanding", kWaiting, 0, 1, 1, 0, 1, false},
                      EarlyScanCase{"ErrorWordSet", kWaiting, kErOther, 1, 1, 0, 0, false},
                      EarlyScanCase{"ErrorStatusClearsEnableOK", kWaiting | kStError, 0, 1, 1, 0, 0, false}),
    [](const auto& p) { return std::string(p.param.name); });

// How many early scans the device had been asked for when each batch print was made.
std::vector<size_t> g_earlyScansAtPrint;
std::function<size_t()> g_countEarlyScans;
int RecordBatchPrint(int mode) {
  if (mode == 1) g_earlyScansAtPrint.push_back(g_countEarlyScans());
  return 1;
}

TEST_F(Qv600Test, BatchEndorsementIsPrintedAheadOfTheStatusChangesEarlyScan) {
  ASSERT_GE(funcQV600Init("NOINI", ".\\"), 0);
  Api().scannerModel = 230;
  funcTableSetParam(160, 1);
  Qv600().enableOK = 1;
  Qv600().enableScan = 1;
  Qv600().qv630Fast = 1;
  Qv600().batchPrintActive = 1;
  g_earlyScansAtPrint.clear();
  g_countEarlyScans = [this] { return Count("QV6EnableEarlyScan"); };
  SetBatchPrinter(&RecordBatchPrint);
  control_->SetStatusWords(kStEarlyScan | kStFeedSensor, 0);
  control_->ClearCallLog();
  cbStatusChange(2, 0);
  SetBatchPrinter(nullptr);
  EXPECT_EQ(g_earlyScansAtPrint, std::vector<size_t>{0});
  EXPECT_EQ(Count("QV6EnableEarlyScan"), 1u);
}

std::atomic<int> g_feederBeeps{0};
void CountFeederBeep(uint32_t type) {
  if (type == 1) g_feederBeeps.fetch_add(1);
}

TEST_F(Qv600Test, FeederBeepsWhenCoveredAfterMoreThan200MsClear) {
  ASSERT_GE(funcQV600Init("NOINI", ".\\"), 0);
  Qv600().feederClearTick = 1;
  g_feederBeeps = 0;
  SetMessageBeepHook(&CountFeederBeep);
  const auto show = [&](uint32_t status) {
    control_->SetStatusWords(status, 0);
    cbStatusChange(2, 0);
  };
  funcTableSetParam(183, 0);
  show(kStFeedSensor);
  EXPECT_EQ(g_feederBeeps.load(), 0);
  funcTableSetParam(183, 1);
  show(kStFeedSensor);  // the first covered feeder after start
  show(kStFeedSensor);
  EXPECT_EQ(g_feederBeeps.load(), 1);
  EXPECT_EQ(Qv600().feederClearTick.load(), 0u);
  // How long the feeder was clear is measured from the first clear status change.
  struct Step {
    uint32_t clearMs;
    int beeps;
  };
  for (const Step& step : {Step{100, 1}, Step{400, 2}, Step{0, 2}, Step{1000, 3}}) {
    SCOPED_TRACE(step.clearMs);
    show(0);
    const uint32_t seen = Qv600().feederClearTick.load();
    EXPECT_NE(seen, 0u);
    show(0);  // still clear: the first clear tick stands
    EXPECT_EQ(Qv600().feederClearTick.load(), seen);
    Qv600().feederClearTick = seen - step.clearMs;
    show(kStFeedSensor);
    EXPECT_EQ(g_feederBeeps.load(), step.beeps);
  }
  SetMessageBeepHook(nullptr);
}

// A jam seen while no cycle collects and scanning was left on belongs to a document fed since the last call:
// it is kept for the next call, and what that document delivered before is dropped.
TEST_F(Qv600Test, AJamBetweenCyclesIsKeptOnlyWhenScanningWasLeftOn) {
  struct Case {
    const char* name;
    bool cycleActive;
    int enableScan;
    bool kept;
  };
  ASSERT_GE(funcQV600Init("NOINI", ".\\"), 0);
  Api().scannerModel = 230;
  for (const Case& c : {Case{"LeftOn", false, 1, true}, Case{"ScanningOff", false, 0, false},
                        Case{"DuringACycle", true, 1, false}}) {
    SCOPED_TRACE(c.name);
    Qv600().cycleActive = c.cycleActive;
    Qv600().enableScan = c.enableScan;
    Qv600().documentStatus = kDocCodeLine | kDocFront;
    control_->SetStatusWords(kStError, kErJam);
    cbStatusChange(2, 0);
    EXPECT_EQ(Qv600().scannerStatus.load(), kDocumentJam);
    EXPECT_EQ(Qv600().errorBetweenCycles, c.kept ? kDocumentJam : 0);
    Qv600().errorBetweenCycles = 0;
    EXPECT_EQ(Qv600().documentStatus.load(), c.kept ? 0u : kDocCodeLine | kDocFront);
  }
  Qv600().cycleActive = false;
}

std::atomic<int> g_imageCalls{0};
void CountImage(uint32_t) { g_imageCalls.fetch_add(1); }
void OtherImage(uint32_t) {}

TEST_F(Qv600Test, ImageCallbackTableFillsToTenAndCallsOnRisingBits) {
  ASSERT_GE(funcQV600Init("NOINI", ".\\"), 0);
  for (uint32_t mask = 1; mask <= 10; ++mask) ASSERT_EQ(funcSetUpCallBack(mask << 8, OtherImage), 1);
  EXPECT_EQ(funcSetUpCallBack(0x10000, CountImage), kCallbackTableFull);
  EXPECT_EQ(funcSetUpCallBack(1u << 8, nullptr), 1);  // removal frees a place
  ASSERT_EQ(funcSetUpCallBack(kStFrontReady, CountImage), 1);
  EXPECT_GE(Count("QV6EnableScan"), 1u);  // registering enables scanning

  g_imageCalls = 0;
  control_->SetStatusWords(kStFrontReady, 0);
  cbStatusChange(2, 0);
  cbStatusChange(2, 0);  // still shown: not called again
  EXPECT_EQ(g_imageCalls.load(), 1);
  control_->SetStatusWords(0, 0);
  cbStatusChange(2, 0);
  control_->SetStatusWords(kStFrontReady, 0);
  cbStatusChange(2, 0);  // rose again
  EXPECT_EQ(g_imageCalls.load(), 2);
}

TEST_F(Qv600Test, DocumentEventsReachTheCallbacksWhilePolling) {
  fake::FakeDocument doc;
  doc.codeLine = "T123456789T";
  doc.frontDib = {40, 0, 0, 0};
  doc.rearDib = {40, 0, 0, 0};
  doc.statusWords = {{kStFrontReady | kStRearReady, 0}};
  funcTableSetParamString(159, "KWL");
  ASSERT_GE(funcQV600Init("NOINI", ".\\"), 0);
  control_->QueueDocument(doc);
  g_imageCalls = 0;
  ASSERT_EQ(funcSetUpCallBack(kStFrontReady | kStRearReady, CountImage), 1);
  // The API thread polls the state while the library's thread delivers.
  uint32_t bits = 0;
  for (int i = 0; i < 4000 && (bits & 7) != 7; ++i) {
    bits = Qv600().documentStatus.load(std::memory_order_acquire);
    funcQV600StatusCheck();
    plat::Sleep(1);
  }
  ASSERT_EQ(bits & 7, 7u);
  EXPECT_EQ(Qv600CodeLine(), "T123456789T");
  EXPECT_NE(Qv600().dibFront.load(), nullptr);
  zc::testkit::WaitUntil([] { return g_imageCalls.load() != 0; });
  EXPECT_EQ(g_imageCalls.load(), 1);
  EXPECT_EQ(funcQV600Exit(), 0);
}

}  // namespace
}  // namespace zarn
