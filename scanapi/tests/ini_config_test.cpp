// The API INI reader and writer and the QV800 device configuration file: key chains and sentinels, the
// defaults of an empty file, clamps, the expected-document list, round trips, the device file as an outside
// INI parser sees it, and write failures.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "api_fixture.h"
#include "param_catalogue.h"
#include "recording_backend.h"
#include "testkit/support/external_tool.h"
#include "zarn/expect_table.h"
#include "zarn/ini_config.h"
#include "zarn/params.h"
#include "zarn/status.h"

namespace zarn {
namespace {

using catalogue::Entries;
using catalogue::Entry;

// Every numeric parameter in API form.
std::map<uint32_t, int> Snapshot() {
  std::map<uint32_t, int> out;
  for (const Entry& e : Entries()) out[e.id] = ZARNGetParam(static_cast<int>(e.id));
  return out;
}

class IniConfigTest : public testing::ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    InstallBackendHooks(&backend_);
    Start(200);
  }
  // Reads `text` as the API INI file "zarnscan.ini" in the Windows folder.
  int ReadIni(const std::string& text) {
    dir_.Write("zarnscan.ini", text);
    return funcQV800GetIniFile("zarnscan.ini", nullptr, nullptr);
  }
  void Restart() {
    ResetAll();
    InstallBackendHooks(&backend_);
    Start(200);
  }
  testing::RecordingBackend backend_;
};

TEST_F(IniConfigTest, EmptyFileGivesTheCatalogueDefaults) {
  EXPECT_EQ(ReadIni(""), 2);
  for (const Entry& e : Entries()) {
    if (e.ChainLength() == 0) continue;
    int expected = e.iniDefault;
    if (e.iniDefault == catalogue::kDefTrace) expected = 2;
    if (e.iniDefault == catalogue::kDefSwitch) expected = 0;
    if (e.iniDefault == catalogue::kDefMode) expected = 100;
    EXPECT_EQ(ZARNGetParam(static_cast<int>(e.id)), expected) << e.id;
  }
  EXPECT_EQ(ZARNGetParam(92), 4);
  EXPECT_EQ(VEKScanExpectTable().Count(), 0);
  EXPECT_EQ(backend_.Count("rewrite"), 1);  // the QV600 driver file once, after the last key
  EXPECT_TRUE(DriverWriteThrough());
}

TEST_F(IniConfigTest, SetupKeysReadLikeAcqSetupKeys) {
  std::ostringstream acq, setup;
  acq << "[ACQ. SETUP]\r\n";
  setup << "[Setup]\r\n";
  int keys = 0;
  for (const Entry& e : Entries()) {
    const catalogue::IniKey* a = nullptr;
    const catalogue::IniKey* s = nullptr;
    for (int i = 0; i < e.ChainLength(); ++i) {
      const catalogue::IniKey& k = e.chain[static_cast<size_t>(i)];
      if (k.section == 'A' && a == nullptr) a = &k;
      if (k.section == 'S') s = &k;
    }
    if (a == nullptr || s == nullptr) continue;
    const int value = static_cast<int>(e.id % 4) + 1;
    acq << a->key << "=" << value << "\r\n";
    setup << s->key << "=" << value << "\r\n";
    ++keys;
  }
  ASSERT_GT(keys, 50);
  EXPECT_EQ(ReadIni(acq.str()), 1);
  const auto fromAcq = Snapshot();
  Restart();
  EXPECT_EQ(ReadIni(setup.str()), 1);
  EXPECT_EQ(Snapshot(), fromAcq);
  Restart();
  ReadIni("");
  EXPECT_NE(Snapshot(), fromAcq);  // the keys were really read
}

TEST_F(IniConfigTest, SentinelValuesCountAsMissing) {
  EXPECT_EQ(ReadIni("[ACQ. SETUP]\r\nAcq: Front B/W threshold=65535\r\nAcq: Resolution=65535\r\n"
                    "Image: Crop=4095\r\nFileNamesTerminated=4096\r\n"
                    "[Setup]\r\nFrontThreshold=3\r\nImage: Crop=0\r\nFileNamesTerminated=0\r\n"),
            2);
  EXPECT_EQ(ZARNGetParam(11), 3);
  EXPECT_EQ(ZARNGetParam(6), 1);
  EXPECT_EQ(ZARNGetParam(36), 0);
  EXPECT_EQ(ZARNGetParam(104), 0);
}

TEST_F(IniConfigTest, FoundSidesOrResolutionMakeTheResultOne) {
  EXPECT_EQ(ReadIni("[Setup]\r\nBack=0\r\n"), 1);
  EXPECT_EQ(ZARNGetParam(43), 0);
  Restart();
  EXPECT_EQ(ReadIni("[ACQ. SETUP]\r\nAcq: Resolution=4\r\n"), 1);
  EXPECT_EQ(ZARNGetParam(6), 4);
}

TEST_F(IniConfigTest, ClampsApply) {
  struct Case {
    const char* text;
    int id;
    int expected;
  } cases[] = {
      {"[ACQ. SETUP]\r\nJPEG Quality=3\r\n", 110, 75},
      {"[ACQ. SETUP]\r\nJPEG Quality=96\r\n", 110, 75},
      {"[ACQ. SETUP]\r\nJPEG Quality=95\r\n", 110, 95},
      {"[VEKSCAN]\r\nRear Threshold=150\r\n", 200, 0},
      {"[VEKSCAN]\r\nRear Threshold=900\r\n", 200, 900},
      {"[ACQ. SETUP]\r\nDelay QV600=3\r\n", 165, 3},
  };
  for (const Case& c : cases) {
    Restart();
    ReadIni(c.text);
    EXPECT_EQ(ZARNGetParam(c.id), c.expected) << c.text;
  }
  EXPECT_EQ(ApiTraceLevel(), 3);
}

TEST_F(IniConfigTest, ExpectedDocumentListIsBoundedAndClamped) {
  std::ostringstream ini;
  ini << "[VEKSCAN EXCEPTION]\r\nCount=100\r\n";
  for (int n = 1; n <= 100; ++n) {
    ini << n << "Routing=R" << n << "-0123456789ABCDEF\r\n" << n << "Accout=A" << n << "\r\n";
  }
  ini << "1Threshold=1\r\n1Contrast=100\r\n2Threshold=2\r\n2Contrast=20\r\n3Threshold=4\r\n3Min=300\r\n"
      << "4Threshold=3\r\n4Contrast=13\r\n4Min=255\r\n4Options=160\r\n";
  ReadIni(ini.str());
  const ExpectTable& t = VEKScanExpectTable();
  ASSERT_EQ(t.Count(), 100);
  auto e = t.Entries();
  EXPECT_STREQ(e[0].Routing, "R1-0123456789AB");  // 15 characters
  EXPECT_STREQ(e[99].Accout, "A100");
  EXPECT_EQ(e[0].Contrast, 600);
  EXPECT_EQ(e[1].Contrast, 10);
  EXPECT_EQ(e[2].Threshold, 1);
  EXPECT_EQ(e[2].Min, 0);
  EXPECT_EQ(e[3].Threshold, 3);
  EXPECT_EQ(e[3].Contrast, 13);
  EXPECT_EQ(e[3].Min, 255);
  EXPECT_EQ(e[3].Options, 160);
  EXPECT_EQ(e[5].Contrast, 600);  // default with Threshold 1

  ReadIni("[VEKSCAN EXCEPTION]\r\nCount=101\r\n1Routing=x\r\n");
  EXPECT_EQ(VEKScanExpectTable().Count(), 0);
  ReadIni("[VEKSCAN EXCEPTION]\r\nCount=1\r\n");
  ASSERT_EQ(VEKScanExpectTable().Count(), 1);
  EXPECT_STREQ(VEKScanExpectTable().Entries()[0].Routing, "=========");
}

TEST_F(IniConfigTest, WriteThenReadRoundTripsEveryWrittenParameter) {
  Start(200, 230);
  for (const Entry& e : Entries()) {
    const int id = static_cast<int>(e.id);
    if (id == 160 || id == 163 || id == 166 || id == 169 || id == 178) continue;
    ZARNSetParam(id, id == 6 ? 4 : id == 110 ? 50 : id == 165 ? 3 : 5 + id % 7);
  }
  funcTableSetParamString(40, "sorter one");
  funcTableSetParamString(41, "sorter two");
  funcTableSetParamString(35, "Stamp.bmp");
  funcTableSetParamString(83, "font.fnt");
  funcTableSetParamString(34, "PAID");
  const auto before = Snapshot();
  ASSERT_EQ(funcQV800WriteIniFile("written.ini"), 1);

  Restart();
  Api().scannerModel = 230;
  // A fresh table holds MICR end 0, which pushes the start read before it to 1; a second read of the
  // same file, as a running API does, settles both.
  ASSERT_GE(funcQV800GetIniFile("written.ini", nullptr, nullptr), 1);
  ASSERT_GE(funcQV800GetIniFile("written.ini", nullptr, nullptr), 1);
  const auto after = Snapshot();
  const std::vector<int> notWritten = {82, 93, 105, 115, 117, 134, 139, 142, 143, 144, 145, 157, 161, 162, 163,
                                       164, 171, 181, 182, 183, 185, 186, 187, 188, 189, 190, 191, 193, 194,
                                       195, 196, 197, 198, 199, 200, 92, 99, 100, 101, 102, 103, 114, 167,
                                       170, 172, 173, 174, 175, 176, 178};
  for (const Entry& e : Entries()) {
    const bool skip = std::find(notWritten.begin(), notWritten.end(), static_cast<int>(e.id)) != notWritten.end();
    if (!skip) {
      EXPECT_EQ(after.at(e.id), before.at(e.id)) << e.id;
    }
  }
  EXPECT_EQ(ApiTraceLevel(), 3);
  EXPECT_STREQ(funcTableGetParamString(40), "sorter one");
  EXPECT_STREQ(funcTableGetParamString(41), "sorter two");
  EXPECT_STREQ(funcTableGetParamString(35), "Stamp.bmp");
  EXPECT_STREQ(funcTableGetParamString(112), "Stamp.bmp");
  EXPECT_EQ(backend_.calls.back(), "setprint 34 PAID");
  const std::string text = dir_.Read("written.ini");
  EXPECT_NE(text.find("BMP filename:=Stamp.bmp\r\n"), std::string::npos);
  EXPECT_NE(text.find("Log Messages=0\r\n"), std::string::npos);
}

TEST_F(IniConfigTest, WriterResetsAnInvertedMicrWindow) {
  funcTableSetParam(71, 100);
  funcTableSetParam(14, 50);
  for (ZarnParamRecord& r : ZarnParamTable()) {
    if (r.id == 71) r.value = 10;  // an inverted window, as a device-file load can leave it
  }
  ASSERT_EQ(funcQV800WriteIniFile("w.ini"), 1);
  EXPECT_EQ(ZARNGetParam(14), 0);
  EXPECT_EQ(ZARNGetParam(71), 1000);
}

TEST_F(IniConfigTest, QvSectionOnlyOnTheQv600Line) {
  ASSERT_EQ(funcQV800WriteIniFile("a.ini"), 1);
  EXPECT_NE(dir_.Read("a.ini").find("[QV600 CONFIG]"), std::string::npos);
  Start(400);
  ASSERT_EQ(funcQV800WriteIniFile("b.ini"), 1);
  EXPECT_EQ(dir_.Read("b.ini").find("[QV600 CONFIG]"), std::string::npos);
}

TEST_F(IniConfigTest, DeviceFileHoldsEverySectionedRecordInOrder) {
  if (!zc::testkit::HaveTool("python3")) GTEST_SKIP() << "python3 missing";
  funcTableSetParam(166, 1);  // the switch, not the table: 162 and 166 share one key holding 0
  funcTableSetParam(162, 7);
  funcTableSetParam(98, 12);
  funcTableSetParamString(35, "Logo.bmp");
  ASSERT_EQ(funcWriteQV800CfgFile(dir_.File("dev.cfg").c_str()), 1);
  // Expected sections and keys in first-appearance order, later writes of one key replacing its value.
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> expected;
  auto add = [&](std::string section, std::string key, std::string value) {
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto s = std::find_if(expected.begin(), expected.end(), [&](auto& x) { return x.first == section; });
    if (s == expected.end()) s = expected.insert(expected.end(), {section, {}});
    auto k = std::find_if(s->second.begin(), s->second.end(), [&](auto& x) { return x.first == key; });
    if (k == s->second.end()) {
      s->second.push_back({key, value});
    } else {
      k->second = value;
    }
  };
  for (const ZarnParamRecord& r : ZarnParamTable()) {
    if (r.id == kEndOfTable) break;
    if (r.section[0] == '\0' || r.key[0] == '\0') continue;
    add(r.section, r.key, std::to_string(r.value));
  }
  for (const ZarnStringParamRecord& r : ZarnStringParamTable()) {
    if (r.id == kEndOfTable) break;
    if (r.section[0] != '\0') add(r.section, r.key, r.value);
  }
  add("MISCELLANEOUS", "Double feed lenght", "12");
  std::string want;
  for (auto& [section, keys] : expected)
    for (auto& [key, value] : keys) want += section + "\t" + key + "\t" + value + "\n";

  dir_.Write("check.py",
             "import configparser, sys\n"
             "lines = open(sys.argv[1], newline='').read().split('\\r\\n')\n"
             "empty = [l for l in lines if l.startswith('=')]\n"
             "assert empty == ['=0'], empty\n"
             "cp = configparser.ConfigParser(delimiters=('=',), interpolation=None, strict=False)\n"
             "cp.read_string('\\n'.join(l for l in lines if not l.startswith('=')))\n"
             "for s in cp.sections():\n"
             "    for k, v in cp.items(s, raw=True):\n"
             "        print(s + '\\t' + k + '\\t' + v)\n");
  auto result = zc::testkit::RunCommand("python3 " + dir_.File("check.py") + " " + dir_.File("dev.cfg"));
  ASSERT_TRUE(result.ok()) << result.output;
  EXPECT_EQ(result.output, want);
}

TEST_F(IniConfigTest, FailedWritesGiveDiskError) {
  dir_.Write("plainfile", "x");
  EXPECT_EQ(funcWriteQV800CfgFile("plainfile\\dev.tmp"), kDiskReadWrite);
  EXPECT_EQ(funcQV800WriteIniFile("plainfile\\api.ini"), kDiskReadWrite);
  EXPECT_EQ(funcWriteQV800CfgFile(nullptr), kDeviceConfigFile);
  if (::geteuid() != 0) {
    ASSERT_EQ(::mkdir(dir_.File("ro").c_str(), 0555), 0);
    EXPECT_EQ(funcQV800WriteIniFile((dir_.Path() + "/ro/api.ini").c_str()), kDiskReadWrite);
  }
}

TEST_F(IniConfigTest, Qv800ReadWritesTheDeviceFileAndCallsTheLibrary) {
  Start(400);
  dir_.Write("qv8cfg.tmp", "");
  ScsiIds ids;
  EXPECT_EQ(funcQV800GetIniFile("zarnscan.ini", dir_.Path().c_str(), &ids), 2);
  EXPECT_FALSE(Api().reloadPending.load());
  EXPECT_NE(dir_.Read("qv8cfg.tmp").find("Double feed lenght=3"), std::string::npos);
  ASSERT_GE(backend_.calls.size(), 4u);
  EXPECT_EQ(backend_.Count("init"), 1);
  EXPECT_EQ(backend_.Count("clearerrors"), 1);
  EXPECT_EQ(backend_.Count("setconfig 1"), 1);
  EXPECT_EQ(backend_.Count("scsiinfo"), 1);

  backend_.qv800InitResult = 62022;
  EXPECT_EQ(funcQV800GetIniFile("zarnscan.ini", dir_.Path().c_str(), &ids), -223);
  InstallBackendHooks(nullptr);
  EXPECT_EQ(funcQV800GetIniFile("zarnscan.ini", dir_.Path().c_str(), &ids), kQv800NotInitialised);
  EXPECT_EQ(funcQV800GetIniFile("zarnscan.ini", (dir_.Path() + "/missing").c_str(), &ids), kDeviceConfigFile);
}

TEST_F(IniConfigTest, Qv600DriverFileFailureGivesDiskError) {
  backend_.rewriteResult = -622;
  EXPECT_EQ(ReadIni(""), kDiskReadWrite);
  EXPECT_FALSE(DriverWriteThrough());
}

TEST_F(IniConfigTest, ReadAndWriteConfigCheckTheirArguments) {
  Start(-1);
  EXPECT_EQ(ZARNReadConfig(nullptr), kBadFileName);
  EXPECT_EQ(ZARNWriteConfig(nullptr), kBadFileName);
  EXPECT_EQ(ZARNReadConfig("x.ini"), kScannerMissing);
  EXPECT_EQ(ZARNWriteConfig("x.ini"), kScannerMissing);
  Start(200);
  EXPECT_EQ(ZARNWriteConfig("out.ini trailing words"), 1);  // cut at the first blank
  EXPECT_TRUE(dir_.Exists("out.ini"));
  EXPECT_EQ(ZARNReadConfig("out.ini"), 1);
}

}  // namespace
}  // namespace zarn
