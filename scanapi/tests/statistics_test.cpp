// The statistics file: layout checked by an independent python struct reader, the run cycle, the counters,
// the exports and the guards against hostile files.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
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
    documents = this->documents;
    minutes = 12;
    return 0;
  }
  int documents = 77;
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
  std::string ConfiguredFolder() override { return configured; }
  std::string serial = "SN1234";
  std::string vendor = "Vendor";
  std::string configured;
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

// The counters one code hits, in the order noFeed, doubleFeed, paperJam, imageTooLong, other.
struct ErrorCase {
  int code;
  std::array<int32_t, 5> counters;
};

TEST_F(StatisticsTest, EachErrorCodeCountsOnlyItsOwnCounter) {
  for (const ErrorCase& c : {ErrorCase{-216, {1, 0, 0, 0, 0}}, ErrorCase{-217, {0, 1, 0, 0, 0}},
                             ErrorCase{-220, {0, 0, 1, 0, 0}}, ErrorCase{-607, {0, 0, 0, 1, 0}},
                             ErrorCase{-300, {0, 0, 0, 0, 1}}, ErrorCase{-212, {0, 0, 0, 0, 0}},
                             ErrorCase{0, {0, 0, 0, 0, 0}}, ErrorCase{5, {0, 0, 0, 0, 0}}}) {
    SCOPED_TRACE(c.code);
    StatisticsFile stats(&device_);
    ASSERT_EQ(stats.Init(kFamilyQv600), 0);
    stats.Error(c.code);
    const StatRecord& run = stats.Run();
    EXPECT_EQ(run.noFeedErrors, c.counters[0]);
    EXPECT_EQ(run.doubleFeedErrors, c.counters[1]);
    EXPECT_EQ(run.paperJamErrors, c.counters[2]);
    EXPECT_EQ(run.imageTooLongErrors, c.counters[3]);
    EXPECT_EQ(run.otherErrors, c.counters[4]);
    EXPECT_EQ(run.errorRing[0], c.counters[4] != 0 ? c.code : 0);
  }
}

TEST_F(StatisticsTest, OtherErrorsFillTheRingAndWrap) {
  StatisticsFile stats(&device_);
  ASSERT_EQ(stats.Init(kFamilyQv600), 0);
  for (int i = 0; i < 32; ++i) stats.Error(-300 - i);
  stats.Error(-999);  // the 33rd other error lands in word 0
  const StatRecord& run = stats.Run();
  EXPECT_EQ(run.otherErrors, 33);
  EXPECT_EQ(run.errorRing[0], -999);
  EXPECT_EQ(run.errorRing[1], -301);
  EXPECT_EQ(run.errorRing[31], -331);
}

// The counters one depth or status hits: colour, gray8, gray4, gray1, total; MICR3, MICR2, MICR1, MICR0.
TEST_F(StatisticsTest, EachImageDepthAndMicrStatusCountsOnlyItsOwnCounter) {
  struct ImageCase {
    int bits;
    std::array<int32_t, 5> counters;
  };
  for (const ImageCase& c : {ImageCase{24, {1, 0, 0, 0, 1}}, ImageCase{8, {0, 1, 0, 0, 1}},
                             ImageCase{4, {0, 0, 1, 0, 1}}, ImageCase{1, {0, 0, 0, 1, 1}},
                             ImageCase{16, {0, 0, 0, 0, 1}}}) {
    SCOPED_TRACE(c.bits);
    StatisticsFile stats(&device_);
    ASSERT_EQ(stats.Init(kFamilyQv600), 0);
    stats.Image(c.bits);
    const StatRecord& run = stats.Run();
    EXPECT_EQ((std::array<int32_t, 5>{run.colorImages, run.gray8Images, run.gray4Images, run.gray1Images,
                                      run.totalImages}),
              c.counters);
  }
  struct MicrCase {
    int status;
    std::array<int32_t, 4> counters;
  };
  for (const MicrCase& c : {MicrCase{3, {1, 0, 0, 0}}, MicrCase{2, {0, 1, 0, 0}}, MicrCase{1, {0, 0, 1, 0}},
                            MicrCase{0, {0, 0, 0, 1}}, MicrCase{7, {0, 0, 0, 0}}, MicrCase{-1, {0, 0, 0, 0}}}) {
    SCOPED_TRACE(c.status);
    StatisticsFile stats(&device_);
    ASSERT_EQ(stats.Init(kFamilyQv600), 0);
    stats.Micr(c.status);
    const StatRecord& run = stats.Run();
    EXPECT_EQ((std::array<int32_t, 4>{run.micr[0], run.micr[1], run.micr[2], run.micr[3]}), c.counters);
  }
  StatisticsFile stats(&device_);
  ASSERT_EQ(stats.Init(kFamilyQv600), 0);
  stats.Density(-1);
  stats.Density(256);
  stats.Density(255);
  stats.Density(0);
  stats.Endorse();
  EXPECT_EQ(stats.Run().density[255], 1);
  EXPECT_EQ(stats.Run().density[0], 1);
  EXPECT_EQ(stats.Run().endorsePrints, 1);
}

// The file layout written down by hand, byte offsets as the file has them, apart from the writer's field
// list: every field gets its own value, and each must sit at its offset (and decode from there).
struct IntAt {
  size_t offset;
  int32_t value;
};
struct TextAt {
  size_t offset;
  size_t size;
  std::string text;
};

TEST_F(StatisticsTest, HeaderFieldsSitAtTheirOffsets) {
  StatHeader h;
  h.statisticsLength = 0x01020304;
  h.currentStatistics = 0x05060708;
  h.scannerType = 0x090A0B0C;
  h.apiVersion = -2;
  std::snprintf(h.apiDate, sizeof h.apiDate, "2009:07:11");
  std::snprintf(h.vendor, sizeof h.vendor, "%s", std::string(31, 'V').c_str());
  std::snprintf(h.product, sizeof h.product, "PRODUCT");
  std::snprintf(h.release, sizeof h.release, "REL");
  std::snprintf(h.initDate, sizeof h.initDate, "2026:12:11 10:09:08");
  std::snprintf(h.serialNumber, sizeof h.serialNumber, "%s", std::string(67, 'S').c_str());
  h.documentNumber = 0x11223344;
  h.runTime = 0x55667788;
  const IntAt ints[] = {{0, 0x01020304}, {4, 0x05060708}, {8, 0x090A0B0C}, {12, -2},
                        {211, 0x11223344}, {215, 0x55667788}, {219, 0}, {223, 0}};
  const TextAt texts[] = {{16, 11, "2009:07:11"}, {27, 32, std::string(31, 'V')}, {59, 32, "PRODUCT"},
                          {91, 32, "REL"}, {123, 20, "2026:12:11 10:09:08"}, {143, 68, std::string(67, 'S')}};
  std::vector<uint8_t> bytes(kStatHeaderSize + 8, 0xEE);
  EncodeStatHeader(h, bytes.data());
  EXPECT_EQ(bytes[kStatHeaderSize], 0xEE);  // nothing written past the header
  for (const IntAt& f : ints) EXPECT_EQ(static_cast<int32_t>(plat::bytes::GetLe32(&bytes[f.offset])), f.value) << f.offset;
  for (const TextAt& f : texts) {
    std::string field(reinterpret_cast<const char*>(&bytes[f.offset]), f.size);
    EXPECT_EQ(field, f.text + std::string(f.size - f.text.size(), '\0')) << f.offset;
  }
  const StatHeader back = DecodeStatHeader(bytes.data());
  EXPECT_EQ(back.statisticsLength, 0x01020304);
  EXPECT_EQ(back.scannerType, 0x090A0B0C);
  EXPECT_EQ(back.documentNumber, 0x11223344);
  EXPECT_EQ(back.runTime, 0x55667788);
  EXPECT_EQ(std::string(back.serialNumber), std::string(67, 'S'));
  EXPECT_STREQ(back.initDate, "2026:12:11 10:09:08");
}

TEST_F(StatisticsTest, RecordFieldsSitAtTheirOffsets) {
  StatRecord r;
  std::snprintf(r.initTime, sizeof r.initTime, "2026:01:02 03:04:05");
  std::snprintf(r.exitTime, sizeof r.exitTime, "2026:06:07 08:09:10");
  r.colorImages = 101;
  r.gray8Images = 102;
  r.gray4Images = 103;
  r.gray1Images = 104;
  r.totalImages = 105;
  r.endorsePrints = 106;
  r.noFeedErrors = 107;
  r.doubleFeedErrors = 108;
  r.paperJamErrors = 109;
  r.imageTooLongErrors = 110;
  r.otherErrors = 111;
  for (int i = 0; i < 32; ++i) r.errorRing[i] = -1000 - i;
  for (int i = 0; i < 4; ++i) r.micr[i] = 200 + i;
  for (int i = 0; i < 256; ++i) r.density[i] = 3000 + i;
  for (int i = 0; i < 64; ++i) r.imageQual[i] = -4000 - i;
  const IntAt ints[] = {{48, 101},    {52, 102},    {56, 103},    {60, 104},    {64, 105},    {68, 106},
                        {72, 0},      {76, 0},      {80, 107},    {84, 108},    {88, 109},    {92, 110},
                        {96, 111},    {100, -1000}, {104, -1001}, {224, -1031}, {228, 0},     {232, 0},
                        {236, 0},     {240, 200},   {244, 201},   {248, 202},   {252, 203},   {256, 0},
                        {268, 0},     {272, 3000},  {276, 3001},  {1292, 3255}, {1296, -4000}, {1548, -4063}};
  std::vector<uint8_t> bytes(kStatRecordSize + 8, 0xEE);
  EncodeStatRecord(r, bytes.data());
  EXPECT_EQ(bytes[kStatRecordSize], 0xEE);
  for (const IntAt& f : ints) EXPECT_EQ(static_cast<int32_t>(plat::bytes::GetLe32(&bytes[f.offset])), f.value) << f.offset;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[0]), 24), std::string("2026:01:02 03:04:05") + std::string(5, '\0'));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[24]), 24), std::string("2026:06:07 08:09:10") + std::string(5, '\0'));
  // Decoding reads each field from its own offset too.
  std::vector<uint8_t> hand(kStatRecordSize, 0);
  for (const IntAt& f : ints) plat::bytes::PutLe32(&hand[f.offset], static_cast<uint32_t>(f.value));
  const StatRecord back = DecodeStatRecord(hand.data());
  EXPECT_EQ((std::array<int32_t, 11>{back.colorImages, back.gray8Images, back.gray4Images, back.gray1Images,
                                     back.totalImages, back.endorsePrints, back.noFeedErrors, back.doubleFeedErrors,
                                     back.paperJamErrors, back.imageTooLongErrors, back.otherErrors}),
            (std::array<int32_t, 11>{101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111}));
  EXPECT_EQ(back.errorRing[1], -1001);
  EXPECT_EQ(back.errorRing[31], -1031);
  EXPECT_EQ((std::array<int32_t, 4>{back.micr[0], back.micr[1], back.micr[2], back.micr[3]}),
            (std::array<int32_t, 4>{200, 201, 202, 203}));
  EXPECT_EQ(back.density[1], 3001);
  EXPECT_EQ(back.density[255], 3255);
  EXPECT_EQ(back.imageQual[63], -4063);
}

// Totals read back from a file may be anywhere in their 32 bits; adding the run must not wrap them.
TEST_F(StatisticsTest, TotalsFromTheFileStopAtTheEndsOfTheirCounters) {
  constexpr int32_t kMax = INT32_MAX, kMin = INT32_MIN;
  {
    StatisticsFile stats(&device_);
    ASSERT_EQ(stats.Init(kFamilyQv600), 0);
  }
  auto bytes = ReadAll(File());
  uint8_t* totals = bytes.data() + kStatHeaderSize;
  const IntAt stored[] = {{48, kMax}, {52, kMax - 1}, {56, kMin}, {60, 808466992}, {88, kMax}, {96, kMax},
                          {240, kMax}, {272 + 4 * 7, kMax}};
  for (const IntAt& f : stored) plat::bytes::PutLe32(totals + f.offset, static_cast<uint32_t>(f.value));
  std::ofstream(File(), std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

  StatisticsFile stats(&device_);
  ASSERT_EQ(stats.Init(kFamilyQv600), 0);
  for (int bits : {24, 24, 8, 8, 8, 4, 1}) stats.Image(bits);
  stats.Error(-220);
  stats.Error(-300);
  stats.Micr(3);
  stats.Density(7);
  ASSERT_EQ(stats.Save(kFamilyQv600), 0);
  const StatRecord t = DecodeStatRecord(ReadAll(File()).data() + kStatHeaderSize);
  EXPECT_EQ(t.colorImages, kMax);
  EXPECT_EQ(t.gray8Images, kMax);
  EXPECT_EQ(t.gray4Images, kMin + 1);
  EXPECT_EQ(t.gray1Images, 808466993);
  EXPECT_EQ(t.paperJamErrors, kMax);
  EXPECT_EQ(t.otherErrors, kMax);
  EXPECT_EQ(t.micr[0], kMax);
  EXPECT_EQ(t.density[7], kMax);
  // MAX + MAX + (MIN + 1) + 808466993, added in that order, each step held within 32 bits.
  EXPECT_EQ(t.totalImages, static_cast<int32_t>(int64_t{kMax} + (kMin + 1) + 808466993));
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

TEST_F(StatisticsTest, TheConfiguredFolderHoldsTheFileForInitAndSave) {
  struct Case {
    const char* name;
    const char* folder;  // under the scratch folder; empty: none configured
    bool made;
    const char* expected;  // where the file ends up
  };
  for (const Case& c : {Case{"Configured", "stats", true, "stats/SN1234.VEK"},
                        Case{"ConfiguredWithSeparator", "stats\\", true, "stats/SN1234.VEK"},
                        Case{"MissingFolderFallsBack", "none", false, "SN1234.VEK"},
                        Case{"NoneConfigured", "", false, "SN1234.VEK"}}) {
    std::filesystem::remove_all(dir_.Path() + "/stats");
    std::filesystem::remove(dir_.Path() + "/SN1234.VEK");
    if (c.made) std::filesystem::create_directories(dir_.Path() + "/stats");
    device_.configured = c.folder[0] != '\0' ? dir_.Path() + "/" + c.folder : "";
    StatisticsFile stats(&device_);
    ASSERT_EQ(stats.Init(kFamilyQv600), 0) << c.name;
    stats.Image(8);
    ASSERT_EQ(stats.Save(kFamilyQv600), 0) << c.name;
    const std::vector<uint8_t> file = ReadAll(dir_.Path() + "/" + c.expected);
    ASSERT_EQ(file.size(), static_cast<size_t>(kStatBlockSize)) << c.name;
    EXPECT_EQ(DecodeStatRecord(file.data() + kStatHeaderSize + kStatRecordSize).gray8Images, 1) << c.name;
    EXPECT_EQ(std::filesystem::exists(dir_.Path() + "/SN1234.VEK"), std::string(c.expected) == "SN1234.VEK")
        << c.name;
  }
}

TEST_F(StatisticsTest, SaveKeepsTheStartsSerialWhenTheScannerNoLongerAnswers) {
  StatisticsFile stats(&device_);
  ASSERT_EQ(stats.Init(kFamilyQv600), 0);
  stats.Image(1);
  device_.fail = true;
  ASSERT_EQ(stats.Save(kFamilyQv600), 0);
  const std::vector<uint8_t> file = ReadAll(File());
  ASSERT_EQ(file.size(), static_cast<size_t>(kStatBlockSize));
  EXPECT_EQ(DecodeStatHeader(file.data()).documentNumber, 77);
  EXPECT_EQ(DecodeStatRecord(file.data() + kStatHeaderSize + kStatRecordSize).gray1Images, 1);
}

TEST_F(StatisticsTest, SaveTakesTheCountersOfTheSameScannerOnly) {
  for (const bool same : {true, false}) {
    std::filesystem::remove(File());
    device_.serial = "SN1234";
    device_.documents = 77;
    StatisticsFile stats(&device_);
    ASSERT_EQ(stats.Init(kFamilyQv600), 0);
    device_.documents = 90;
    if (!same) device_.serial = "OTHER";
    ASSERT_EQ(stats.Save(kFamilyQv600), 0);
    EXPECT_EQ(DecodeStatHeader(ReadAll(File()).data()).documentNumber, same ? 90 : 77);
  }
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
