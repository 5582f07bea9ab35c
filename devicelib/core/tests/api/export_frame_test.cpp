// The exported interface in-process: the index frame of every export, opening and closing, argument
// checks, traces, the print routers, and the ordinal table.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "api/ordinal_table.h"
#include "app/dll_app.h"
#include "app/log.h"
#include "device/recording_model.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "qv6/qv6dll.h"

namespace qv6 {
namespace {

using testing::ProbeState;
using testing::RecordingProbe;

std::shared_ptr<ProbeState>& CatalogState() {
  static std::shared_ptr<ProbeState> state;
  return state;
}

std::unique_ptr<SeriesProbe> MakeTestProbe() {
  return std::make_unique<RecordingProbe>(CatalogState());
}

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();  // start-up done, so its log settings do not replace the thresholds set below
    CatalogState() = state_;
    SeriesCatalog::Register(static_cast<int>(SeriesOrder::kQv63x), MakeTestProbe);
    savedThreshold_ = g_Log.threshold();
  }
  void TearDown() override {
    for (int i = 1; i <= 32; ++i) QV6CloseConnection(i);
    SeriesCatalog::Unregister(MakeTestProbe);
    g_Log.SetThreshold(savedThreshold_);
  }
  // An immediate connection to the test model.
  int OpenConnected() {
    int index = QV6OpenConnection(0, 0, 0);
    EXPECT_NE(index, 0);
    state_->script->Clear();
    return index;
  }

  std::shared_ptr<ProbeState> state_ = std::make_shared<ProbeState>();
  unsigned savedThreshold_ = 0;
};

// Every export that takes an index, called through a uniform signature; the result as a number.
struct IndexedExport {
  const char* name;
  std::function<intptr_t(int)> call;
};

std::vector<IndexedExport> IndexedExports() {
  static char buffer[16];
  static int word;
  static QV6EventCallback fn = [](int, intptr_t) {};
  return {
      {"QV6CloseConnection", [](int i) { return QV6CloseConnection(i); }},
      {"QV6InitDeviceFromFile", [](int i) { return QV6InitDeviceFromFile(i, "f.ini", "S"); }},
      {"QV6GetStatus", [](int i) { return QV6GetStatus(i, &word, &word); }},
      {"QV6GetInfo", [](int i) { return QV6GetInfo(i, buffer, sizeof buffer); }},
      {"QV6EnableScan", [](int i) { return QV6EnableScan(i); }},
      {"QV6DisableScan", [](int i) { return QV6DisableScan(i); }},
      {"QV6SetMechConfig", [](int i) { return QV6SetMechConfig(i, "m.ini", 0); }},
      {"QV6GetMechConfig", [](int i) { return QV6GetMechConfig(i, "m.ini", 0); }},
      {"QV6GetFrontImageDIBPtr", [](int i) { return reinterpret_cast<intptr_t>(QV6GetFrontImageDIBPtr(i)); }},
      {"QV6GetRearImageDIBPtr", [](int i) { return reinterpret_cast<intptr_t>(QV6GetRearImageDIBPtr(i)); }},
      {"QV6GetMicrCodelinePtr", [](int i) { return reinterpret_cast<intptr_t>(QV6GetMicrCodelinePtr(i)); }},
      {"QV6SetCfgData", [](int i) { return QV6SetCfgData(i, 1, buffer, 4); }},
      {"QV6GetCfgData", [](int i) { return QV6GetCfgData(i, 1, buffer, 4); }},
      {"QV6EjectDocument", [](int i) { return QV6EjectDocument(i, 0); }},
      {"QV6SetBmpToPrint", [](int i) { return QV6SetBmpToPrint(i, buffer, 8, 1, 2, 0); }},
      {"QV6StringToPrint", [](int i) { return QV6StringToPrint(i, "A", 1, 2, 0); }},
      {"QV6SetEventFunction", [](int i) { return QV6SetEventFunction(i, 2, fn); }},
      {"QV6Rs232Tx", [](int i) { return QV6Rs232Tx(i, buffer, 4, 0); }},
      {"QV6ClearPowerOnFlag", [](int i) { return QV6ClearPowerOnFlag(i); }},
      {"QV6ReadNewImage", [](int i) { return QV6ReadNewImage(i, 1, 2, 3, 4, 5, 6, 7, 8); }},
      {"QV6EnablePartialScan", [](int i) { return QV6EnablePartialScan(i, 1); }},
      {"QV6Rs232Rx", [](int i) { return QV6Rs232Rx(i, buffer, sizeof buffer, &word, 0); }},
      {"QV6SelfCalib", [](int i) { return QV6SelfCalib(i, 1); }},
      {"QV6ClearErrors", [](int i) { return QV6ClearErrors(i, 0); }},
      {"QV6EnableEarlyScan", [](int i) { return QV6EnableEarlyScan(i); }},
      {"QV6SetDestinationPocket", [](int i) { return QV6SetDestinationPocket(i, 1); }},
      {"QV6SetBmpToPrintEX", [](int i) { return QV6SetBmpToPrintEX(i, buffer, 8, 1, 2, 3, 0); }},
      {"QV6StringToPrintEX", [](int i) { return QV6StringToPrintEX(i, "A", 1, 2, 3, 0); }},
      {"QV6GetOperatingMode", [](int i) { return QV6GetOperatingMode(i, &word); }},
      {"QV6MaintenanceMode", [](int i) { return QV6MaintenanceMode(i, 1); }},
      {"QV6SetConfig_MicrGain", [](int i) { return QV6SetConfig_MicrGain(i, 1, 2); }},
      {"QV6SetConfig_MicrAgc", [](int i) { return QV6SetConfig_MicrAgc(i, 1, 2); }},
      {"QV6SetConfig_ScanMode", [](int i) { return QV6SetConfig_ScanMode(i, 1); }},
      {"QV6Frank", [](int i) { return QV6Frank(i, 1, 0, 0); }},
  };
}

TEST_F(ExportTest, BadIndexAndEmptySlot) {
  struct Case {
    int index;
    int error;
  } cases[] = {{0, -2}, {33, -2}, {-1, -2}, {-2147483647 - 1, -2}, {7, -5}};
  for (const auto& e : IndexedExports()) {
    for (const auto& c : cases) {
      EXPECT_EQ(e.call(c.index), 0) << e.name << " " << c.index;
      EXPECT_EQ(QV6GetLastError(), c.error) << e.name << " " << c.index;
    }
  }
}

TEST_F(ExportTest, OpeningAndClosing) {
  state_->attached = false;
  EXPECT_EQ(QV6OpenConnection(0, 0, 0), 0);
  EXPECT_EQ(QV6GetLastError(), -4);
  state_->attached = true;
  EXPECT_EQ(QV6OpenConnection(0, 0, 0), 1);  // the failed open left slot 1 free
  EXPECT_EQ(QV6GetLastError(), 0);
  EXPECT_EQ(QV6OpenConnection(5, 0, 0), 2);  // any mode but 1 and 2 connects at once
  EXPECT_EQ(QV6CloseConnection(1), 1);
  EXPECT_EQ(QV6GetLastError(), 0);
  EXPECT_EQ(QV6OpenConnection(0, 0, 0), 1);  // the lowest free slot is taken first
  EXPECT_EQ(QV6CloseConnection(1), 1);
  EXPECT_EQ(QV6CloseConnection(1), 0);
  EXPECT_EQ(QV6GetLastError(), -5);
}

TEST_F(ExportTest, DeviceResultsAndLastError) {
  int i = OpenConnected();
  EXPECT_EQ(QV6EnableScan(i), 1);
  EXPECT_EQ(QV6GetLastError(), 0);
  state_->script->result = 0;
  EXPECT_EQ(QV6EnableScan(i), 0);
  EXPECT_EQ(QV6GetLastError(), -1);  // a failed device call leaves the entry's -1
  EXPECT_EQ(QV6InitDeviceFromFile(i, "x", "y"), 0);
  EXPECT_EQ(QV6GetLastError(), -5);     // except here
  EXPECT_EQ(QV6EnableEarlyScan(i), 1);  // no such operation: success
  EXPECT_EQ(QV6GetLastError(), 0);
  EXPECT_EQ(QV6Frank(i, 1, 0, 0), -1);  // no franker: -1, which counts as success
  EXPECT_EQ(QV6GetLastError(), 0);
  EXPECT_EQ(QV6SetEventFunction(i, 7, nullptr), 0);
  EXPECT_EQ(QV6GetLastError(), -1);

  state_->script->status = static_cast<int>(QV6_STATUS_CONNECTED | 0x11);
  int status = 0;
  EXPECT_EQ(QV6GetStatus(i, &status, nullptr), 1);  // 1 whatever the device answered
  EXPECT_EQ(QV6GetLastError(), 0);
  EXPECT_EQ(static_cast<uint32_t>(status), QV6_STATUS_CONNECTED | 0x11);
  EXPECT_EQ(QV6GetStatus(i, nullptr, nullptr), 1);  // no output words at all: still safe
}

TEST_F(ExportTest, CallerArgumentsAreChecked) {
  int i = OpenConnected();
  char buffer[8];
  int received = -1;
  struct Case {
    const char* what;
    std::function<int()> call;
  } cases[] = {
      {"info NULL buffer", [&] { return QV6GetInfo(i, nullptr, 8); }},
      {"info negative size", [&] { return QV6GetInfo(i, buffer, -1); }},
      {"rx NULL count", [&] { return QV6Rs232Rx(i, buffer, 8, nullptr, 0); }},
      {"rx negative capacity", [&] { return QV6Rs232Rx(i, buffer, -8, &received, 0); }},
      {"rx NULL buffer", [&] { return QV6Rs232Rx(i, nullptr, 8, &received, 0); }},
      {"tx negative length", [&] { return QV6Rs232Tx(i, buffer, -1, 0); }},
      {"cfg NULL data", [&] { return QV6SetCfgData(i, 1, nullptr, 4); }},
      {"cfg negative length", [&] { return QV6GetCfgData(i, 1, buffer, -4); }},
      {"mode NULL", [&] { return QV6GetOperatingMode(i, nullptr); }},
      {"bitmap NULL", [&] { return QV6SetBmpToPrintEX(i, nullptr, 8, 8, 1, 2, 0); }},
      {"text negative length", [&] { return QV6StringToPrintEX(i, "abc", -3, 1, 2, 0); }},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.call(), 0) << c.what;
    EXPECT_EQ(QV6GetLastError(), -1) << c.what;
  }
  EXPECT_TRUE(state_->script->Calls().empty());
}

TEST_F(ExportTest, CopiesAreBoundedByTheCallersBuffer) {
  state_->script->identity = std::string("Maker\0Model\0\0", 13);
  int i = OpenConnected();
  char info[32];
  std::memset(info, 'x', sizeof info);
  EXPECT_EQ(QV6GetInfo(i, info, 4), 1);
  EXPECT_EQ(std::string(info, 5), "Makex");  // 4 bytes copied, nothing behind them touched
  EXPECT_EQ(QV6GetInfo(i, info, sizeof info), 1);
  EXPECT_EQ(std::string(info, 13), std::string("Maker\0Model\0\0", 13));
  EXPECT_EQ(info[20], 0);  // the whole size is zeroed first

  char rx[5] = {};
  int received = -1;
  EXPECT_EQ(QV6Rs232Rx(i, rx, sizeof rx, &received, 0), 1);
  EXPECT_EQ(received, 5);  // the model claimed more than fits
  EXPECT_EQ(std::string(rx, 5), "seria");
}

TEST_F(ExportTest, PrintRoutersRepeatThePosition) {
  int i = OpenConnected();
  const char bits[8] = {};
  EXPECT_EQ(QV6SetBmpToPrint(i, bits, 1, 2, 3, 4), 1);
  EXPECT_EQ(QV6StringToPrint(i, "TEXT", 4, 5, 6), 1);
  EXPECT_EQ(state_->script->Calls(),
            (std::vector<std::string>{"SetBmpToPrint(1,2,3,3,4)", "StringToPrint(TEXT,5,5,6)"}));
}

TEST_F(ExportTest, TraceLines) {
  int i = OpenConnected();
  g_Log.SetThreshold(0);
  plat::DebugOutputCapture capture;
  QV6EnableScan(i);
  QV6InitDeviceFromFile(i, nullptr, "SECTION");
  std::string longText(300, 'T');
  QV6StringToPrintEX(i, longText.c_str(), 300, 1, 2, 0x10);
  QV6StringToPrintEX(i, "abc", -1, 1, 2, 0);
  QV6StringToPrintEX(i, nullptr, 4, 1, 2, 0);
  QV6SetBmpToPrint(i, reinterpret_cast<const void*>(0x1234), 8, 1, 2, 0);
  QV6GetStatus(i, nullptr, nullptr);  // status 0 as before: no change line
  state_->script->status = 0x11;
  QV6GetStatus(i, nullptr, nullptr);
  QV6GetStatus(i, nullptr, nullptr);
  auto calls = capture.Calls();
  std::vector<std::string> expected = {
      "IN QV6EnableScan(" + std::to_string(i) + ")\n",
      "OUT QV6EnableScan=1\n",
      "IN QV6InitDeviceFromFile(" + std::to_string(i) + ", <NULL>, SECTION)\n",
      "OUT QV6InitDeviceFromFile=1\n",
      "IN QV6StringToPrintEX(" + std::to_string(i) + ", " + std::string(199, 'T') + ", 300, 1, 2, 0x10)\n",
      "OUT QV6StringToPrintEX=1\n",
      "IN QV6StringToPrintEX(" + std::to_string(i) + ", , -1, 1, 2, 0x0)\n",
      "OUT QV6StringToPrintEX=0\n",
      "IN QV6StringToPrintEX(" + std::to_string(i) + ", <NULL>, 4, 1, 2, 0x0)\n",
      "OUT QV6StringToPrintEX=0\n",
      "Route QV6SetBmpToPrint to QV6SetBmpToPrintEX",
      "IN QV6SetBmpToPrintEX(" + std::to_string(i) + ", 0x1234, 8, 1, 2, 2, 0x0)\n",
      "OUT QV6SetBmpToPrintEX=1\n",
      "QV6GetStatus, OnNew:0x00000011, OffNew:0x00000000, Status:0x00000011, Prev:0x00000000\n",
  };
  EXPECT_EQ(calls, expected);
}

TEST_F(ExportTest, ExceptionsEndTheExportWithoutOutLine) {
  int i = OpenConnected();
  state_->script->throws = true;
  g_Log.SetThreshold(0);
  plat::DebugOutputCapture capture;
  EXPECT_EQ(QV6InitDeviceFromFile(i, "a", "b"), 0);
  EXPECT_EQ(QV6GetLastError(), -1);
  EXPECT_EQ(capture.Calls(),
            (std::vector<std::string>{"IN QV6InitDeviceFromFile(1, a, b)\n", "EXCEPTION\n"}));
}

TEST_F(ExportTest, ReleaseTextWithoutVersionRecord) {
  g_Log.SetThreshold(0);
  plat::DebugOutputCapture capture;
  EXPECT_STREQ(QV6GetDllRelease(), "Rev. 0.0.0.0");  // this test program carries no record
  EXPECT_EQ(capture.Text(), "QV6GetDllRelease\n");
}

TEST_F(ExportTest, FirmwareUpdateFromFile) {
  EXPECT_EQ(QV6UpdateFirmw(3, "/nonexistent/fw.bin"), 0);
  EXPECT_EQ(QV6GetLastError(), 2);
  EXPECT_EQ(QV6UpdateFirmw(3, nullptr), 0);
  EXPECT_EQ(QV6GetLastError(), 2);

  char path[] = "/tmp/qv6fwimgXXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "\xFF\x01", 2), 2);
  close(fd);
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});  // the 4000 ms retry pause passes at once
  EXPECT_EQ(QV6UpdateFirmw(0, path), 0);                         // the index is not looked at
  EXPECT_EQ(QV6GetLastError(), -1);
  EXPECT_EQ(state_->updates.load(), 2);  // one retry
  state_->updateResult = 1;
  EXPECT_EQ(QV6UpdateFirmw(0, path), 1);
  EXPECT_EQ(QV6GetLastError(), 0);
  unlink(path);
}

// Callers built against earlier headers compare QV6GetStatus words with these numbers.
TEST(StatusBits, PublicNamesKeepTheWordsValues) {
  const std::pair<uint32_t, uint32_t> status[] = {
      {QV6_STATUS_COMMAND_COMPLETE, 0x1},
      {QV6_STATUS_POWER_ON, 0x2},
      {QV6_STATUS_SCANNING, 0x4},
      {QV6_STATUS_ERROR, 0x8},
      {QV6_STATUS_FEED_SENSOR, 0x10},
      {QV6_STATUS_SYNC_SENSOR, 0x20},
      {QV6_STATUS_INKJET, 0x40},
      {QV6_STATUS_SCAN_ENABLE, 0x80},
      {QV6_STATUS_READ_TRACK, 0x100},
      {QV6_STATUS_BUSY, 0x200},
      {QV6_STATUS_DOUBLE_FEED, 0x400},
      {QV6_STATUS_EXIT_JAM, 0x800},
      {QV6_STATUS_COVER_OFF, 0x1000},
      {QV6_STATUS_MODE_SELECT, 0x2000},
      {QV6_STATUS_POCKET_SENSOR, 0x4000},
      {QV6_STATUS_POCKET0_FULL, 0x8000},
      {QV6_STATUS_POCKET1_FULL, 0x10000},
      {QV6_STATUS_MICR_READY, 0x100000},
      {QV6_STATUS_FRONT_READY, 0x200000},
      {QV6_STATUS_REAR_READY, 0x400000},
      {QV6_STATUS_RS232_READY, 0x800000},
      {QV6_STATUS_EARLY_SCAN, 0x1000000},
      {QV6_STATUS_DOC_IN_BUFFER, 0x2000000},
      {QV6_STATUS_WAIT_FOR_SORT, 0x4000000},
      {QV6_STATUS_CONNECTED, 0x80000000u},
  };
  const std::pair<uint32_t, uint32_t> errors[] = {
      {QV6_ERRORS_SELF_TEST, 0x1},    {QV6_ERRORS_DOC_INSERT, 0x2}, {QV6_ERRORS_DOC_TOO_LONG, 0x4},
      {QV6_ERRORS_DOUBLE_FEED, 0x40}, {QV6_ERRORS_JAM, 0x80},       {QV6_ERRORS_DEVICE, 0x100},
  };
  for (const auto& [name, value] : status) EXPECT_EQ(name, value);
  for (const auto& [name, value] : errors) EXPECT_EQ(name, value);
}

// The published ordinals: 1 to 38, none at 39, then 40 and 41.
constexpr std::pair<int, const char*> kOrdinals[] = {
    {1, "QV6GetDllRelease"},
    {2, "QV6GetLastError"},
    {3, "QV6OpenConnection"},
    {4, "QV6CloseConnection"},
    {5, "QV6InitDeviceFromFile"},
    {6, "QV6GetStatus"},
    {7, "QV6GetInfo"},
    {8, "QV6EnableScan"},
    {9, "QV6DisableScan"},
    {10, "QV6SetMechConfig"},
    {11, "QV6GetMechConfig"},
    {12, "QV6GetFrontImageDIBPtr"},
    {13, "QV6GetRearImageDIBPtr"},
    {14, "QV6GetMicrCodelinePtr"},
    {15, "QV6SetCfgData"},
    {16, "QV6GetCfgData"},
    {17, "QV6UpdateFirmw"},
    {18, "QV6EjectDocument"},
    {19, "QV6SetBmpToPrint"},
    {20, "QV6StringToPrint"},
    {21, "QV6SetEventFunction"},
    {22, "QV6Rs232Tx"},
    {23, "QV6ClearPowerOnFlag"},
    {24, "QV6ReadNewImage"},
    {25, "QV6EnablePartialScan"},
    {26, "QV6Rs232Rx"},
    {27, "QV6SetEnv"},
    {28, "QV6SelfCalib"},
    {29, "QV6ClearErrors"},
    {30, "QV6EnableEarlyScan"},
    {31, "QV6SetDestinationPocket"},
    {32, "QV6SetBmpToPrintEX"},
    {33, "QV6StringToPrintEX"},
    {34, "QV6GetOperatingMode"},
    {35, "QV6MaintenanceMode"},
    {36, "QV6SetConfig_MicrGain"},
    {37, "QV6SetConfig_MicrAgc"},
    {38, "QV6SetConfig_ScanMode"},
    {40, "QvUnitTest"},
    {41, "QV6Frank"},
};

// Every row: its ordinal and name as published, and an address that is the export of that name (the
// test program exports its symbols, so the dynamic linker names each address).
TEST(OrdinalTable, EveryRowHasItsOrdinalNameAndFunction) {
  const auto table = ExportTable();
  ASSERT_EQ(table.size(), std::size(kOrdinals));
  for (size_t i = 0; i < table.size(); ++i) {
    const ExportEntry& e = table[i];
    SCOPED_TRACE(kOrdinals[i].second);
    EXPECT_EQ(e.ordinal, kOrdinals[i].first);
    EXPECT_STREQ(e.name, kOrdinals[i].second);
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(e.address), &info), 0);
    ASSERT_NE(info.dli_sname, nullptr);
    EXPECT_STREQ(info.dli_sname, kOrdinals[i].second);
    EXPECT_EQ(info.dli_saddr, reinterpret_cast<void*>(e.address));
  }
}

}  // namespace
}  // namespace qv6
