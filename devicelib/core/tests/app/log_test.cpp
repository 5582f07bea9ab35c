// The log threshold read from "Qv6ExtendedSetup.ini" and what each setting lets through.
#include "app/log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/debug_output.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "testkit/support/scratch_dir.h"

namespace qv6 {
namespace {

namespace fs = std::filesystem;

class LogSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { plat::SetFolder(plat::Folder::kWindows, dir_.string()); }
  void TearDown() override { plat::ResetFolders(); }
  void WriteIni(const std::string& text) { std::ofstream(dir_ / "Qv6ExtendedSetup.ini") << text; }

  zc::testkit::ScratchDir scratch_{"qv6log"};
  fs::path dir_ = scratch_.Path();
};

TEST_F(LogSettingsTest, LogMessagesSelectsTheVisibleLevels) {
  struct Case {
    std::optional<std::string> value;  // nullopt: no key
    bool shows75, shows80, shows90;
  } cases[] = {
      {std::nullopt, false, false, false}, {"0", false, false, false}, {"10", false, false, true},
      {"20", false, true, true},           {"25", true, true, true},   {"100", true, true, true},
      {"150", false, false, false},        {"-5", true, true, true},   {"abc", false, false, false},
  };
  for (const auto& c : cases) {
    WriteIni(c.value ? "[LOG]\r\nLOG Messages=" + *c.value + "\r\n" : "[LOG]\r\nOther=1\r\n");
    CLog log;
    log.LoadSettings("Qv6ExtendedSetup.ini", "LOG");
    std::string label = c.value.value_or("<missing>");
    plat::DebugOutputCapture capture;
    log.Write(kLogDocument, "75\n");
    log.Write(kLogEvent, "80\n");
    log.WriteFormatted(kLogApi, "%d\n", 90);
    std::string expected =
        std::string(c.shows75 ? "75\n" : "") + (c.shows80 ? "80\n" : "") + (c.shows90 ? "90\n" : "");
    EXPECT_EQ(capture.Text(), expected) << label;
  }
}

TEST_F(LogSettingsTest, IniNameIsLoggedUnderTheOldThreshold) {
  WriteIni("[LOG]\nLOG Messages=100\n");
  CLog log;
  plat::DebugOutputCapture capture;
  log.LoadSettings("Qv6ExtendedSetup.ini", "LOG");  // silent before: nothing logged
  EXPECT_EQ(capture.Text(), "");
  log.LoadSettings("Qv6ExtendedSetup.ini", "LOG");  // now everything shows
  EXPECT_EQ(capture.Text(), "INI used: Qv6ExtendedSetup.ini\n");
}

TEST_F(LogSettingsTest, ThresholdClampAndSave) {
  CLog log;
  EXPECT_EQ(log.threshold(), 100u);
  log.SetThreshold(250);
  EXPECT_EQ(log.threshold(), 100u);
  log.SetThreshold(30);
  ASSERT_TRUE(log.SaveSettings("Qv6ExtendedSetup.ini", "LOG"));
  EXPECT_EQ(plat::GetPrivateProfileIntA("LOG", "LOG Messages", -1, "Qv6ExtendedSetup.ini"), 70);
  ASSERT_TRUE(WriteProfileInt("TIMER POLLING", "T.Poll(msec)", -2147483647 - 1, "Qv6ExtendedSetup.ini"));
  EXPECT_EQ(plat::ReadProfileString("TIMER POLLING", "T.Poll(msec)", "", "Qv6ExtendedSetup.ini"),
            "-2147483648");
}

}  // namespace
}  // namespace qv6
