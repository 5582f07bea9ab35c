// The statistics file: layout checked by an independent python struct reader, the run cycle, the counters,
// the exports and the guards against hostile files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "api_fixture.h"
#include "platform/byte_order.h"
#include "zarn/statistics.h"

namespace zarn {
namespace {

class FakeDevice : public StatisticsDevice {
 public:
  int Serial(int, std::string& serial, int& documents, int& minutes) override {
    if (fail) return -1;
    serial = this->serial;
    documents = 77;
    minutes = 12;
    return 0;
  }
  int Info(std::string& v, std::string& p, std::string& r) override {
    v = vendor;
    p = "QV630";
    r = "1.07";
    return 0;
  }
  // Every call one second later, so runs order by their InitTime.
  std::string Now() override {
    char buf[32];
    std::snprintf(buf, sizeof buf, "2026:01:01 00:%02d:%02d", tick / 60, tick % 60);
    ++tick;
    return buf;
  }
  std::string serial = "SN1234";
  std::string vendor = "Vendor";
  bool fail = false;
  int tick = 0;
};

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

int Python(const std::string& args) {
  const std::string cmd = std::string("python3 ") + ZC_STAT_LAYOUT_SCRIPT + " " + args;
  return std::system(cmd.c_str());
}

class StatisticsTest : public testing::ApiTest {
 protected:
  std::string File() const { return dir_.Path() + "/SN1234.VEK"; }
  FakeDevice device_;
};

TEST_F(StatisticsTest, NewScannerCreatesOneBlockWithItsFieldsInPlace) {
  StatisticsFile stats(&device_);
  ASSERT_EQ(stats.Init(kFamilyQv600), 0);
  EXPECT_EQ(Python("new " + File() + " SN1234"), 0);
  const auto bytes = ReadAll(File());
  ASSERT_EQ(bytes.size(), 7987u);
  EXPECT_EQ(plat::bytes::GetLe32(&bytes[8]), static_cast<uint32_t>(kFamilyQv600));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[27])), "Vendor");
  EXPECT_EQ(plat::bytes::GetLe32(&bytes[211]), 77u);
}

TEST_F(StatisticsTest, FiveRunsFillTheSlotsThenReplaceTheOldest) {
  std::vector<std::string> runs;
  for (int i = 0; i < 5; ++i) {
    StatisticsFile stats(&device_);
    ASSERT_EQ(stats.Init(kFamilyQv600), 0);
    runs.push_back(stats.Run().initTime);
    stats.Image(1);
    stats.Image(24);
    ASSERT_EQ(stats.Save(kFamilyQv600), 0);
  }
  EXPECT_EQ(Python("runs " + File() + " '" + runs[4] + "' '" + runs[1] + "' '" + runs[2] + "' '" + runs[3] + "'"),
            0);
  const StatRecord totals = DecodeStatRecord(ReadAll(File()).data() + kStatHeaderSize);
  EXPECT_EQ(totals.gray1Images, 5);
  EXPECT_EQ(totals.colorImages, 5);
  EXPECT_EQ(totals.totalImages, 10);
}

TEST_F(StatisticsTest, ForeignVersionFileMovesBehindAFreshBlock) {
  // An older version's file: a valid block with another version number.
  std::vector<uint8_t> old(kStatBlockSize, 0);
  StatHeader h;
  h.statisticsLength = kStatBlockSize;
  h.currentStatistics = 4;
  h.apiVersion = 900;
  std::snprintf(h.serialNumber, sizeof h.serialNumber, "SN1234");
  EncodeStatHeader(h, old.data());
  StatRecord r;
  std::snprintf(r.initTime, sizeof r.initTime, "2001:02:03 04:05:06");
  r.gray1Images = 9;
  EncodeStatRecord(r, old.data() + kStatHeaderSize);
  const std::string oldFile = dir_.Path() + "/old.bin";
  std::ofstream(oldFile, std::ios::binary).write(reinterpret_cast<const char*>(old.data()), old.size());
  std::ofstream(File(), std::ios::binary).write(reinterpret_cast<const char*>(old.data()), old.size());

  StatisticsFile stats(&device_);
  ASSERT_EQ(stats.Init(kFamilyQv600), 0);
  EXPECT_EQ(Python("foreign " + File() + " " + oldFile), 0);

  const std::string log = dir_.Path() + "/old.log";
  EXPECT_EQ(funcStatisticsToText(File().c_str(), kStatBlockSize, log.c_str()), 2 * kStatBlockSize);
  const std::string listing = Slurp(log);
  EXPECT_NE(listing.find("      VEKAPIVersion     =      900\n"), std::string::npos);
  EXPECT_NE(listing.find("      InitTime          = 2001:02:03 04:05:06\n"), std::string::npos);
  EXPECT_NE(listing.find("      Gray1Images       =        9\n"), std::string::npos);
}

TEST_F(StatisticsTest, CountersFollowTheirCodes) {
  StatisticsFile stats(&device_);
  ASSERT_EQ(stats.Init(kFamilyQv600), 0);
  stats.Error(-212);
  stats.Error(0);
  stats.Error(5);
  EXPECT_EQ(stats.Run().otherErrors, 0);
  stats.Error(-216);
  stats.Error(-217);
  stats.Error(-220);
  stats.Error(-607);
  for (int i = 0; i < 32; ++i) stats.Error(-300 - i);
  stats.Error(-999);  // the 33rd other error lands in word 0
  const StatRecord& run = stats.Run();
  EXPECT_EQ(run.noFeedErrors + run.doubleFeedErrors + run.paperJamErrors + run.imageTooLongErrors, 4);
  EXPECT_EQ(run.otherErrors, 33);
  EXPECT_EQ(run.errorRing[0], -999);
  EXPECT_EQ(run.errorRing[31], -331);
  stats.Image(16);
  EXPECT_EQ(run.totalImages, 1);
  EXPECT_EQ(run.gray1Images + run.gray4Images + run.gray8Images + run.colorImages, 0);
  stats.Micr(3);
  stats.Micr(0);
  stats.Micr(7);
  EXPECT_EQ(run.micr[0], 1);
  EXPECT_EQ(run.micr[3], 1);
  stats.Density(-1);
  stats.Density(256);
  stats.Density(255);
  EXPECT_EQ(run.density[255], 1);
}

TEST_F(StatisticsTest, SecondSaveInOneRunWritesNothing) {
  StatisticsFile stats(&device_);
  ASSERT_EQ(stats.Init(kFamilyQv600), 0);
  stats.Image(8);
  ASSERT_EQ(stats.Save(kFamilyQv600), 0);
  const auto first = ReadAll(File());
  EXPECT_EQ(stats.Save(kFamilyQv600), 0);
  EXPECT_EQ(ReadAll(File()), first);
}

TEST_F(StatisticsTest, SerialBecomesASafeFileName) {
  EXPECT_EQ(StatisticsFileName("A/B\\C:D\x01" "E"), "A_B_C_D_E.VEK");
  EXPECT_EQ(StatisticsFileName(std::string(100, 'x')), std::string(67, 'x') + ".VEK");
  device_.serial = "../" + std::string(200, 'z');
  StatisticsFile stats(&device_);
  ASSERT_EQ(stats.Init(kFamilyQv600), 0);
  EXPECT_EQ(ReadAll(dir_.Path() + "/.._" + std::string(64, 'z') + ".VEK").size(), 7987u);
}

TEST_F(StatisticsTest, FailuresGiveTheirCodes) {
  device_.fail = true;
  StatisticsFile stats(&device_);
  EXPECT_EQ(stats.Init(kFamilyQv600), -126);
  device_.fail = false;
  // Save without a started run has no file to write.
  StatisticsFile unstarted(&device_);
  EXPECT_EQ(unstarted.Save(kFamilyQv600), -707);
  // A short file is a short read.
  std::ofstream(File(), std::ios::binary) << "short";
  EXPECT_EQ(stats.Init(kFamilyQv600), -708);
  EXPECT_EQ(funcStatisticsToText((dir_.Path() + "/none.VEK").c_str(), 0, "x.log"), -1);
}

TEST_F(StatisticsTest, ExportsRejectLengthsThatCannotBeWalked) {
  struct Case {
    const char* name;
    int32_t length;
  };
  for (const Case& c : {Case{"zero", 0}, Case{"negative", -5}, Case{"below header", 226},
                        Case{"past end", kStatBlockSize + 1}, Case{"huge", 0x7fffffff}}) {
    std::vector<uint8_t> block(kStatBlockSize, 0);
    StatHeader h;
    h.statisticsLength = c.length;
    EncodeStatHeader(h, block.data());
    std::ofstream(File(), std::ios::binary).write(reinterpret_cast<const char*>(block.data()), block.size());
    EXPECT_EQ(funcStatisticsToText(File().c_str(), 0, "x.log"), -708) << c.name;
    EXPECT_EQ(funcStatisticsToXML(File().c_str(), "x.xml"), -708) << c.name;
  }
}

TEST_F(StatisticsTest, ExportsMatchGoldenAndXmlIsWellFormed) {
  device_.vendor = "A&B <Co>";
  StatisticsFile stats(&device_);
  ASSERT_EQ(stats.Init(kFamilyQv600), 0);
  stats.Image(1);
  stats.Error(-217);
  stats.Error(-401);
  stats.Density(10);
  ASSERT_EQ(stats.Save(kFamilyQv600), 0);

  const std::string xml = dir_.Path() + "/stats.xml";
  EXPECT_EQ(funcStatisticsToXML(File().c_str(), xml.c_str()), kStatBlockSize);
  EXPECT_EQ(std::system(("xmllint --noout " + xml).c_str()), 0);
  EXPECT_NE(Slurp(xml).find("A&amp;B &lt;Co&gt;"), std::string::npos);

  const std::string log = "stats.log";
  EXPECT_EQ(funcStatisticsToText("SN1234.VEK", 0, log.c_str()), kStatBlockSize);
  EXPECT_EQ(Slurp(log), Slurp(std::string(ZC_STAT_GOLDEN_DIR) + "/stats_text.golden"));
  EXPECT_EQ(Slurp("Stat.log"), Slurp(log));
}

}  // namespace
}  // namespace zarn
