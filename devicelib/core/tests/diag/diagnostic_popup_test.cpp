#include "diag/diagnostic_popup.h"

#include <gtest/gtest.h>

#include "device/qv6_device.h"
#include "device/recording_model.h"
#include "diag/fake_host.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/process_info.h"
#include "testkit/support/scratch_dir.h"

namespace {

using qv6::CDiagnosticPopup;
using Rows = std::vector<std::pair<int, std::string>>;

// The rows under the top-level row `caption`, with their depth below it.
Rows Under(const CDiagnosticPopup& p, const std::string& caption) {
  Rows out;
  bool inside = false;
  for (const auto& [depth, text] : p.Rows()) {
    if (depth == 0) inside = text == caption;
    else if (inside) out.emplace_back(depth, text);
  }
  return out;
}

TEST(DiagnosticPopup, StartsWithTheSevenCategories) {
  CDiagnosticPopup p;
  EXPECT_EQ(p.Rows(), (Rows{{0, "Acquired"}, {0, "Firmware"}, {0, "Application (.EXE)"}, {0, ".DLL"},
                            {0, "Environment INI File"}, {0, "Configuration INI File"}, {0, "Scanner"}}));
  EXPECT_FALSE(p.Shown());
}

TEST(DiagnosticPopup, StatusRowNamesEverySetBit) {
  CDiagnosticPopup p;
  p.AddStatusRow("Initial Status", 0x80000011, 0x40);
  const Rows rows = p.Rows();
  const auto head = std::find(rows.begin(), rows.end(), std::pair<int, std::string>{0, "Initial Status 0x80000011, err 0x40"});
  ASSERT_NE(head, rows.end());
  EXPECT_EQ(Rows(head + 1, rows.end()),
            (Rows{{1, "Command complete"}, {1, "Feed sensor"}, {1, "Connected"}, {1, "Double-feed error"}}));
  p.AddStatusRow("Zero", 0, 0);
  EXPECT_EQ(p.Rows().back(), (std::pair<int, std::string>{0, "Zero 0x0, err 0x0"}));
}

TEST(DiagnosticPopup, IniDumpListsTheSectionOrSaysEmptyOrTruncated) {
  zc::testkit::ScratchDir dir("diag_ini");
  std::string big = "[BIG]\n";
  for (int i = 0; i < 2000; ++i) big += "Key" + std::to_string(i) + "=some value text\n";
  dir.Write("d.ini", "[DEFAULT]\nDIAG_DIALOG_MODE = 1\nA=b\n[EMPTY]\n" + big);
  const std::string ini = dir.File("d.ini");
  CDiagnosticPopup p;
  p.AddDescriptorIniRows(ini, "DEFAULT");
  p.SetIniFiles(ini, "EMPTY");
  EXPECT_EQ(Under(p, "Environment INI File"),
            (Rows{{1, ini + "  [DEFAULT]"}, {2, "DIAG_DIALOG_MODE=1"}, {2, "A=b"}}));
  EXPECT_EQ(Under(p, "Configuration INI File"), (Rows{{1, ini + "  [EMPTY]"}, {2, "(empty)"}}));
  p.SetIniFiles(ini, "BIG");
  const Rows config = Under(p, "Configuration INI File");
  EXPECT_EQ(config.back(), (std::pair<int, std::string>{2, "...(truncated)..."}));
  // A later dump of the category replaces the earlier one.
  EXPECT_EQ(config[0], (std::pair<int, std::string>{1, ini + "  [BIG]"}));
  EXPECT_EQ(config[1], (std::pair<int, std::string>{2, "Key0=some value text"}));
}

TEST(DiagnosticPopup, IdentityRowsCutTheRevisionAndCounterPrefixes) {
  CDiagnosticPopup p;
  const char texts[] = "Maker\0QV630\0Rev. 1.2.3\0SN42\0  00012345\0x0077";
  p.AddIdentityRows(texts, sizeof texts);
  EXPECT_EQ(Under(p, "Scanner"),
            (Rows{{1, "Manufacturer: Maker."}, {1, "Model: QV630."}, {1, "Version: 1.2.3."}, {1, "Serial Number: SN42."},
                  {1, "Total Quantity of Documents Scanned: 12345."}, {1, "Total Scanner Run Time: 77 minutes."}}));
}

TEST(DiagnosticPopup, FirmwareRowsAndExpandReplaceChildren) {
  CDiagnosticPopup p;
  p.AddFirmwareRow({"QV630Firmware.bin", "2.1.0.4", "QV630Firmware.bin", "99.99.99.99", false, true});
  p.AddFirmwareRow({"QV630Firmware.bin", "", "/opt/fw/QV630Firmware_v2.bin", "2.0.0.0", true, false});
  EXPECT_EQ(Under(p, "Firmware"),
            (Rows{{1, " File: QV630Firmware.bin. Version: 2.1.0.4. Already loaded."},
                  {1, "Not found or load error. File: QV630Firmware.bin. Path: /opt/fw/QV630Firmware_v2.bin. "
                      "Scanner version: 2.0.0.0. Download."}}));
  p.AddRow("only", "Firmware", 0, true);
  EXPECT_EQ(Under(p, "Firmware"), (Rows{{1, "only"}}));
  p.AddRow("new top", "");
  EXPECT_EQ(p.Rows().back(), (std::pair<int, std::string>{0, "new top"}));
}

struct ModeCase {
  const char* name;
  const char* ini;  // the DEFAULT section's body
  bool shift;
  bool shown;
};
void PrintTo(const ModeCase& c, std::ostream* os) {
  *os << c.name;
}
class DisplayMode : public ::testing::TestWithParam<ModeCase> {};

TEST_P(DisplayMode, ShowsByTheModeAndTheHostsShiftKey) {
  const auto& c = GetParam();
  zc::testkit::ScratchDir dir("diag_mode");
  dir.Write("d.ini", std::string("[DEFAULT]\n") + c.ini);
  qv6::testing::FakeHost host;
  host.shift = c.shift;
  CDiagnosticPopup p;
  p.ReadDialogMode(dir.File("d.ini"), "DEFAULT");
  EXPECT_EQ(p.Shown(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(Table, DisplayMode,
                         ::testing::Values(ModeCase{"MissingShiftUp", "", false, false},
                                           ModeCase{"MissingShiftDown", "", true, true},
                                           ModeCase{"OneShows", "DIAG_DIALOG_MODE=1\n", false, true},
                                           ModeCase{"TwoShiftDown", "DIAG_DIALOG_MODE=2\n", true, true},
                                           ModeCase{"ZeroHides", "DIAG_DIALOG_MODE=0\n", true, false},
                                           ModeCase{"SevenHides", "DIAG_DIALOG_MODE=7\n", true, false}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(DiagnosticPopup, ModeTwoWithoutAHostStaysHidden) {
  zc::testkit::ScratchDir dir("diag_mode");
  dir.Write("d.ini", "[DEFAULT]\n");
  CDiagnosticPopup p;
  p.ReadDialogMode(dir.File("d.ini"), "DEFAULT");
  EXPECT_FALSE(p.Shown());
}

TEST(DiagnosticPopup, CopyPutsTheRowsWithCrLfOnTheClipboard) {
  CDiagnosticPopup p;
  p.AddStatusRow("S", 0x1, 0);
  p.Show(true);
  p.Press(qv6::kDiagCopy);
  std::string expected;
  for (const auto& [depth, text] : p.Rows()) expected += text + "\r\n";
  EXPECT_EQ(plat::GetClipboardText(), expected);
  EXPECT_EQ(expected.rfind("Acquired\r\nFirmware\r\nApplication (.EXE)\r\nFile: ", 0), 0u) << expected;
  EXPECT_NE(expected.find("\r\nS 0x1, err 0x0\r\nCommand complete\r\n"), std::string::npos) << expected;
  EXPECT_EQ(p.StatusText(), "Copied to clipboard.");
}

// Shown for the first time, the dialog lists the program with its version (none for a test program),
// then a last row with the time and the computer's name; showing it again lists nothing twice.
TEST(DiagnosticPopup, FirstShowListsTheProgramThenTheTimestampOnce) {
  CDiagnosticPopup p;
  EXPECT_TRUE(Under(p, "Application (.EXE)").empty());
  p.Show(true);
  p.Show(false);
  p.Show(true);
  const Rows program = Under(p, "Application (.EXE)");
  ASSERT_EQ(program.size(), 1u);
  EXPECT_EQ(program[0].second.rfind("File: qv6_core_tests. Version (n/a). Path: /", 0), 0u) << program[0].second;
  const Rows rows = p.Rows();
  EXPECT_EQ(rows.back().first, 0);
  EXPECT_EQ(rows.back().second.rfind("Timestamp=", 0), 0u) << rows.back().second;
  const std::string computer = ", Computer=" + plat::GetComputerNameA();
  EXPECT_TRUE(rows.back().second.ends_with(computer)) << rows.back().second;
  EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const auto& r) { return r.second.starts_with("Timestamp="); }), 1);
}

TEST(DiagnosticPopup, StatusTextIsIgnoredWhileHidden) {
  CDiagnosticPopup p;
  p.SetStatusText("Reading scanner info");
  EXPECT_EQ(p.StatusText(), "");
  p.Show(true);
  p.SetStatusText("Download Done");
  EXPECT_EQ(p.StatusText(), "Download Done");
}

// ---- on a connection ---------------------------------------------------------------------------------

class DiagnosticsOnDevice : public ::testing::Test {
 protected:
  std::shared_ptr<qv6::testing::ProbeState> state_ = std::make_shared<qv6::testing::ProbeState>();
};

TEST_F(DiagnosticsOnDevice, ServiceButtonsAreEnabledOnlyWhileConnectedAndReachTheScanner) {
  auto device = std::make_shared<qv6::Qv6Device>(qv6::testing::ProbesFor(state_));
  auto& diag = device->diagnostics();
  for (int id : {qv6::kDiagClean, qv6::kDiagEject, qv6::kDiagClear}) EXPECT_FALSE(diag.ButtonEnabled(id));
  EXPECT_FALSE(diag.ButtonEnabled(qv6::kDiagRealtimeMonitor));
  ASSERT_EQ(device->Connect(), 1);
  for (int id : {qv6::kDiagClean, qv6::kDiagEject, qv6::kDiagClear}) EXPECT_TRUE(diag.ButtonEnabled(id));
  state_->script->Clear();
  diag.Press(qv6::kDiagEject);
  diag.Press(qv6::kDiagClear);
  diag.Press(qv6::kDiagClean);  // this model has no maintenance mode: nothing reaches it
  EXPECT_EQ(state_->script->Calls(),
            (std::vector<std::string>{"EnableScan(0)", "EjectDocument(0)", "ClearPowerOnFlag", "ClearErrors"}));
  device->Disconnect();
  EXPECT_FALSE(diag.ButtonEnabled(qv6::kDiagEject));
  state_->script->Clear();
  diag.Press(qv6::kDiagEject);
  EXPECT_TRUE(state_->script->Calls().empty());
}

TEST_F(DiagnosticsOnDevice, ShownDialogOnConnectListsIdentityAndInitialStatus) {
  zc::testkit::ScratchDir dir("diag_dev");
  dir.Write("d.ini", "[DEFAULT]\nDIAG_DIALOG_MODE=1\n");
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  state_->script->status = static_cast<int>(0x80000011);
  state_->script->identity = std::string("Maker\0QV630\0Rev. 2\0S1\0 7\0 9", 25);
  auto device = std::make_shared<qv6::Qv6Device>(qv6::testing::ProbesFor(state_));
  device->SetDescriptor(dir.File("d.ini"), "DEFAULT");
  ASSERT_EQ(device->Connect(), 1);
  auto& diag = device->diagnostics();
  EXPECT_TRUE(diag.Shown());
  EXPECT_TRUE(diag.WaitForClose());
  EXPECT_EQ(diag.StatusText(), "Download Done");
  EXPECT_EQ(Under(diag, "Scanner").size(), 6u);
  const Rows rows = diag.Rows();
  EXPECT_NE(std::find(rows.begin(), rows.end(), std::pair<int, std::string>{0, "Initial Status 0x80000011, err 0x0"}),
            rows.end());
  diag.Press(qv6::kDiagClose);
  EXPECT_FALSE(diag.Shown());
  EXPECT_FALSE(diag.WaitForClose());
}

TEST_F(DiagnosticsOnDevice, HiddenDialogNeverHoldsTheClosingConnection) {
  qv6::testing::FakeHost host;  // Shift up: mode 2 keeps the dialog hidden
  auto device = std::make_shared<qv6::Qv6Device>(qv6::testing::ProbesFor(state_));
  ASSERT_EQ(device->Connect(), 1);
  EXPECT_TRUE(device->diagnostics().WaitForClose());
  EXPECT_FALSE(device->diagnostics().Shown());
  device.reset();  // would wait for ever if the hidden dialog held it
  EXPECT_EQ(host.pumps.load(), 0);
  EXPECT_EQ(host.detaches.load(), 1);
}

TEST_F(DiagnosticsOnDevice, ShownDialogHoldsTheCloseUntilTheUserClosesIt) {
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  qv6::testing::FakeHost host;
  host.shift = true;
  auto device = std::make_shared<qv6::Qv6Device>(qv6::testing::ProbesFor(state_));
  ASSERT_EQ(device->Connect(), 1);
  ASSERT_TRUE(device->diagnostics().Shown());
  auto* view = &device->diagnostics();
  host.onPump = [&] {
    if (host.pumps == 3) view->Press(qv6::kDiagClose);
  };
  device.reset();
  EXPECT_EQ(host.pumps.load(), 3);
}

TEST(DiagnosticSelfTest, ShowsTheLoadingTextsAndReturnsOne) {
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  qv6::testing::FakeHost host;
  const uint64_t t0 = plat::NowMs();
  EXPECT_EQ(qv6::RunDiagnosticSelfTest(), 1);
  std::vector<std::pair<uint64_t, std::string>> loading;
  for (const auto& [t, text] : host.statuses)
    if (text.rfind("Loading", 0) == 0) loading.emplace_back(t - t0, text);
  EXPECT_EQ(loading, (std::vector<std::pair<uint64_t, std::string>>{
                         {0, "Loading firmware"}, {500, "Loading FPGA"}, {1000, "Loading configuration"}}));
  EXPECT_EQ(host.detaches.load(), 1);
}

}  // namespace
