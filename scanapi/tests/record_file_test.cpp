// The record file's trim, line form and file handling, and the device library version reader.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "api_fixture.h"
#include "zarn/params.h"
#include "zarn/record_file.h"

namespace zarn {
namespace {

struct TrimCase {
  const char* name;
  const char* tail;
  bool startsLine;
  const char* kept;
};

class RecordTrimTest : public ::testing::TestWithParam<TrimCase> {};

TEST_P(RecordTrimTest, KeepsFromTheFirstRecordStart) {
  EXPECT_EQ(RecordTrimKeep(GetParam().tail, GetParam().startsLine), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(
    Tails, RecordTrimTest,
    ::testing::Values(TrimCase{"IAtStartAfterLineEnd", "I1|\r\nD2|\r\n", true, "I1|\r\nD2|\r\n"},
                      TrimCase{"IAtStartMidLine", "IX|\r\nI2|\r\n", false, "I2|\r\n"},
                      TrimCase{"IInsideATextSkipped", "D SN-I7|\r\nI3|\r\n", false, "I3|\r\n"},
                      TrimCase{"NoRecordStartLeavesNothing", "D1|\r\nE2|\r\n", true, ""},
                      TrimCase{"Empty", "", true, ""}),
    [](const ::testing::TestParamInfo<TrimCase>& p) { return std::string(p.param.name); });

class RecordFileTest : public testing::ApiTest {
 protected:
  void TearDown() override {
    FerloWriteRecord("EXIT");
    ApiTest::TearDown();
  }
};

TEST_F(RecordFileTest, LinesEndInCrLfAndAreCutAt510) {
  FerloWriteRecord("I1|");
  FerloWriteRecord(std::string(600, 'x').c_str());
  FerloWriteRecord("EXIT");
  EXPECT_EQ(dir_.Read("zarnapi.txt"), "I1|\r\n" + std::string(510, 'x') + "\r\n");
}

TEST_F(RecordFileTest, OpenTrimsToTheSizeLimit) {
  // 5000 bytes of 100-byte records; the limit of 1000 cuts mid-record, so the kept part starts at the next I.
  std::string file;
  for (int i = 0; i < 50; ++i) file += (i % 5 == 0 ? "I" : "D") + std::string(97, 'a' + i % 26) + "\r\n";
  dir_.Write("zarnapi.txt", file);
  funcTableSetParam(188, 1050);
  FerloWriteRecord("E1|");
  FerloWriteRecord("EXIT");
  const std::string tail = file.substr(file.size() - 1050);
  EXPECT_EQ(dir_.Read("zarnapi.txt"), tail.substr(tail.find("\nI") + 1) + "E1|\r\n");
}

TEST_F(RecordFileTest, HugeLimitKeepsTheFile) {
  dir_.Write("zarnapi.txt", "D1|\r\n");
  funcTableSetParam(188, 0x7fffffff);
  FerloWriteRecord("E1|");
  FerloWriteRecord("EXIT");
  EXPECT_EQ(dir_.Read("zarnapi.txt"), "D1|\r\nE1|\r\n");
}

std::vector<uint8_t> Utf16(const std::string& s) {
  std::vector<uint8_t> out;
  for (char c : s) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
  }
  return out;
}

struct VersionCase {
  const char* name;
  std::vector<uint8_t> bytes;
  int version;
};

std::vector<VersionCase> VersionCases() {
  auto block = [](const std::string& value, size_t cut = 0) {
    std::vector<uint8_t> b = {'M', 'Z', 0, 0};
    auto key = Utf16("FileVersion");
    b.insert(b.end(), key.begin(), key.end());
    b.insert(b.end(), {0, 0, 0, 0});
    auto v = Utf16(value);
    b.insert(b.end(), v.begin(), v.end());
    if (cut != 0) b.resize(cut);
    return b;
  };
  return {
      {"FullVersion", block("1.2.3.4"), 12304},
      {"NoBlock", Utf16("ProductVersion 1.2.3.4"), 0},
      {"CutAtTheKey", block("1.2.3.4", 20), 0},
      {"CutAfterTwoDigits", block("1.2.3.4", 4 + 26 + 6), 1200},
      {"Empty", {}, 0},
  };
}

class Qv6VersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(Qv6VersionTest, ReadsTheFileVersionBlock) {
  const auto& c = GetParam();
  EXPECT_EQ(Qv6VersionFromBytes(c.bytes.data(), c.bytes.size()), c.version);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, Qv6VersionTest, ::testing::ValuesIn(VersionCases()),
                         [](const ::testing::TestParamInfo<VersionCase>& p) { return std::string(p.param.name); });

TEST_F(RecordFileTest, MissingDeviceLibraryGivesVersionZero) { EXPECT_EQ(funcGetQv6DllVersion(), 0); }

}  // namespace
}  // namespace zarn
