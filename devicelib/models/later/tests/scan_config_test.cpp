// The scan configuration INI: clamping as the key table says, checked through the written-back file,
// and the mechanical INI written and read back through the same bindings.
#include "qv6/later/scan_config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/ini.h"
#include "qv6/later/later_blocks.h"
#include "qv6/later/mech_ini.h"
#include "testkit/support/scratch_dir.h"

namespace qv6::later {
namespace {

class ScanConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  void TearDown() override { std::filesystem::current_path(old_); }
  void Write(const std::string& text) { std::ofstream(dir_ / "scan.ini") << text; }
  std::string Read(const char* key) {
    return plat::ReadProfileString("QV600 CONFIG", key, "<none>", ".\\scan.ini");
  }

  zc::testkit::ScratchDir scratch_{"scancfg"};
  std::filesystem::path dir_ = scratch_.Path();
  std::filesystem::path old_;
};

TEST_F(ScanConfigTest, ValuesAreClampedAndWrittenBack) {
  struct Case {
    const char* key;
    const char* given;  // nullptr: missing
    const char* written;
  } cases[] = {
      {"FRONT_IMG GrayLevels", "16", "16"},
      {"REAR_IMG GrayLevels", "2", "256"},  // rear follows the front
      {"FRONT_IMG Color", "7", "2"},
      {"FRONT_IMG RED Intensity", "101", "100"},
      {"FRONT_IMG BLU Intensity", "-1", "100"},
      {"FRONT_IMG BW Threshold", "16", "8"},
      {"FRONT_IMG Resolution", "150", "200"},
      {"REAR_IMG Resolution", "100", "200"},
      {"FRONT_IMG Bottom", "2201", "0"},
      {"FRONT_IMG Top", "-5", "2200"},
      {"REAR_IMG Top", "100", "2200"},
      {"FRONT_IMG Contrast", "49", "100"},
      {"REAR_IMG Contrast", "150", "150"},
      {"MICR Font", "3", "2"},
      {"MICR Spaces", "0", "0"},
      {"PRINTER Intensity", "8", "4"},
      {"PRINTER Density", "7", "7"},
      {"RS232 BaudeRate", "14400", "9600"},
      {"RS232 BaudeRate", nullptr, "38400"},
      {"RS232 Parity", "5", "0"},
      {"RS232 CharLen", "6", "8"},
      {"RS232 StopBits", "3", "1"},
      {"DOUBLE FEED Enable", "3", "2"},
      {"DOUBLE FEED Delay", "5000", "1000"},
      {"Feed Solenoid Mode", "257", "1"},
      {"SORTER Enable", "9", "1"},
      {"CROP_IMAGE Enable", nullptr, "1"},
      {"MICR Save Samples", "1", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + (c.given ? c.given : "(missing)"));
    std::string text = "[QV600 CONFIG]\r\n";
    if (c.given) text += std::string(c.key) + "=" + c.given + "\r\n";
    // The rear follows the front's levels; give the front its default where the rear is the subject.
    Write(text);
    ScanConfig config;
    ASSERT_TRUE(LoadScanConfig("scan.ini", nullptr, &config));
    ASSERT_TRUE(SaveScanConfig("scan.ini", nullptr, config));
    EXPECT_EQ(Read(c.key), c.written);
  }
  // REAR_IMG GrayLevels 2 is overridden by the front's default 256.
  Write("[QV600 CONFIG]\r\nREAR_IMG GrayLevels=2\r\nFRONT_IMG GrayLevels=2\r\n");
  ScanConfig config;
  ASSERT_TRUE(LoadScanConfig("scan.ini", nullptr, &config));
  EXPECT_EQ(config.rear.greyCode, 0);
  EXPECT_FALSE(LoadScanConfig("missing.ini", nullptr, &config));
}

TEST_F(ScanConfigTest, MechanicalIniRoundTripKeepsEveryField) {
  struct Series {
    const char* name;
    const std::vector<MechIniBinding>& bindings;
    const BlockTable& table;
  } series[] = {{"QV63x", Qv63xMechIniBindings(), Qv63xBlockTable()},
                {"QV64x", Qv64xMechIniBindings(), Qv64xBlockTable()}};
  for (const Series& sr : series) {
    SCOPED_TRACE(sr.name);
    BlockValues original(sr.table);
    for (const MechIniBinding& b : sr.bindings) {
      // Distinct values within each key's bits; the signed offsets negative.
      int64_t v = static_cast<int64_t>(b.field * 13 + b.type);
      if (b.bits) v = b.bits == 1 ? 1 : 5;
      if (b.key.rfind("Offset", 0) == 0) v = -v;
      int64_t mask = b.bits ? (((int64_t{1} << b.bits) - 1) << b.shift) : -1;
      int64_t old = original.Get(b.type, b.field);
      original.Set(b.type, b.field, b.bits ? (old & ~mask) | (v << b.shift) : v);
    }
    ASSERT_TRUE(SaveMechIni("mech.ini", sr.bindings, original));
    BlockValues loaded(sr.table);
    ASSERT_TRUE(LoadMechIni("mech.ini", sr.bindings, loaded));
    for (uint16_t type = kBlockImageModule; type <= kBlockRamp1; ++type) {
      EXPECT_EQ(loaded.Fields(type), original.Fields(type)) << type;
    }
    EXPECT_EQ(plat::ReadProfileString("MICR HEAD", "Offset", "", ".\\mech.ini"),
              "-" + std::to_string(2 * 13 + 67));
    EXPECT_EQ(plat::ReadProfileString("REAR IMG SENSOR", "PelsDirTopDown", "", ".\\mech.ini"), "1");
    EXPECT_FALSE(LoadMechIni(nullptr, sr.bindings, loaded));
    std::filesystem::remove(dir_ / "mech.ini");
  }
}

TEST_F(ScanConfigTest, MissingMechanicalKeysTakeTheSeriesDefaults) {
  std::ofstream(dir_ / "empty.ini") << "";
  struct Case {
    const char* what;
    const std::vector<MechIniBinding>& bindings;
    const BlockTable& table;
    uint16_t type;
    size_t field;
    int64_t value;
  } cases[] = {
      {"QV63x rear sensor top-down", Qv63xMechIniBindings(), Qv63xBlockTable(), kBlockImageModule,
       kImRearSensor, 2 | 8},
      {"QV63x sample frequency", Qv63xMechIniBindings(), Qv63xBlockTable(), kBlockMicrHead, kMhFrequency,
       31248},
      {"QV63x PWM", Qv63xMechIniBindings(), Qv63xBlockTable(), kBlockImageModule, kImFrontPwmR, 100},
      {"QV9120 sample frequency", Qv9120MechIniBindings(), Qv63xBlockTable(), kBlockMicrHead, kMhFrequency,
       34254},
      {"QV64x rear sensor bottom-up", Qv64xMechIniBindings(), Qv64xBlockTable(), kBlockImageModule,
       kImRearSensor, 2},
      {"QV64x PWM", Qv64xMechIniBindings(), Qv64xBlockTable(), kBlockImageModule, kImRearPwmB, 123},
      {"QV64x franker position", Qv64xMechIniBindings(), Qv64xBlockTable(), kBlockTransport, kTsFrankPosition,
       563},
      {"QV64x re-energise delay", Qv64xMechIniBindings(), Qv64xBlockTable(), kBlockTransport,
       kTsFeedReEnergizeDelay, 1000},
      {"QV64x franking margin", Qv64xMechIniBindings(), Qv64xBlockTable(), kBlockTransport,
       kTsFrankDefaultMargin, 17},
      {"QV64x gain calibration factor", Qv64xMechIniBindings(), Qv64xBlockTable(), kBlockMicrHead,
       kMhGainCalib, 128},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BlockValues values(c.table);
    ASSERT_TRUE(LoadMechIni("empty.ini", c.bindings, values));
    EXPECT_EQ(values.Get(c.type, c.field), c.value);
  }
}

TEST_F(ScanConfigTest, SeriesRulesForResolutionAndFranker) {
  struct Case {
    const char* what;
    ScanConfigRules rules;
    const char* resolution;  // given; nullptr: missing
    int read;
    bool frankerRead;
    bool frankerWritten;
  } cases[] = {
      {"QV63x default", {}, nullptr, 200, false, false},
      {"QV63x 300", {}, "300", 200, false, false},
      {"QV9120 franker read only", {false, true, false}, "100", 100, true, false},
      {"QV64x default", {true, true, true}, nullptr, 300, true, true},
      {"QV64x 150", {true, true, true}, "150", 300, true, true},
      {"QV64x 200", {true, true, true}, "200", 200, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string text = "[QV600 CONFIG]\r\nFrankerMode=258\r\nFrankerSmartModeBadQtyAllowed=3\r\n";
    if (c.resolution) text += std::string("FRONT_IMG Resolution=") + c.resolution + "\r\n";
    Write(text);
    ScanConfig config;
    ASSERT_TRUE(LoadScanConfig("scan.ini", nullptr, &config, c.rules));
    EXPECT_EQ(config.front.resolution, c.read);
    EXPECT_EQ(config.rear.resolution, c.read);
    // Eight bits each, unchecked.
    EXPECT_EQ(config.franker.mode, c.frankerRead ? 2 : 0);
    EXPECT_EQ(config.franker.allowance, c.frankerRead ? 3 : 0);
    Write("[QV600 CONFIG]\r\n");
    ASSERT_TRUE(SaveScanConfig("scan.ini", nullptr, config, c.rules));
    EXPECT_EQ(Read("FrankerSmartModeBadQtyAllowed"), c.frankerWritten ? "3" : "<none>");
    EXPECT_EQ(Read("FrankerComment") != "<none>", c.frankerWritten);
  }
}

}  // namespace
}  // namespace qv6::later
