// Identity block parsing and building, including blocks that end badly (no NUL, no empty text).
#include "identity/identity_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firmware/version_text.h"

namespace qv6 {
namespace {

// A literal with its embedded NULs, without the compiler's own terminator.
template <size_t N>
std::vector<uint8_t> Block(const char (&s)[N]) {
  return {s, s + N - 1};
}

TEST(IdentityBlock, ParsesTheEightFields) {
  auto block = Block("Orvisca\0Orvisca Scanner Qv630\0000\0V2.10.0.7\0SN-42\00017\00042\0Ready\0\0");
  CQv6Info info(block.data(), block.size());
  EXPECT_STREQ(info.manufacturer(), "Orvisca");
  EXPECT_STREQ(info.model(), "Orvisca Scanner Qv630");
  EXPECT_STREQ(info.version(), "V2.10.0.7");
  EXPECT_STREQ(info.serial(), "SN-42");
  EXPECT_EQ(info.documents(), 17);
  EXPECT_EQ(info.minutes(), 42);
  EXPECT_STREQ(info.state(), "Ready");
  EXPECT_EQ(CQv6Info::ParseVersion(info.version()), PackVersion(2, 10, 0, 7));
}

TEST(IdentityBlock, EmptyTextEndsTheBlock) {
  auto block = Block("M\0Model\0000\0V1.0.0.0\0\0SN\0005\0006\0State\0\0");
  CQv6Info info(block.data(), block.size());
  EXPECT_STREQ(info.version(), "V1.0.0.0");
  EXPECT_STREQ(info.serial(), "");
  EXPECT_EQ(info.documents(), 0);
  EXPECT_EQ(info.minutes(), 0);
  EXPECT_STREQ(info.state(), "");
}

TEST(IdentityBlock, GetNumberReadsLowNibbles) {
  struct Case {
    std::vector<uint8_t> block;
    int expected;
  } cases[] = {
      {Block("a\0b\0c\0d\0e\00012a\0"), 121},  // 'a' counts by its low four bits
      {Block("a\0b\0c\0d\0e\0\0"), 0},
      {Block("a\0b\0c\0d\0e\0"
             "99999999999999999999\0"),
       2147483647},  // saturates
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CQv6Info::GetNumber(c.block.data(), 5, c.block.size()), c.expected) << c.expected;
  }
}

// Device replies that never terminate: every field stays inside the given length (ASan checks the reads).
TEST(IdentityBlock, UnterminatedBlocksStayInBounds) {
  std::vector<uint8_t> noNul(256, 'A');
  CQv6Info info(noNul.data(), noNul.size());
  EXPECT_EQ(std::string(info.manufacturer()), std::string(256, 'A'));
  EXPECT_STREQ(info.model(), "");
  EXPECT_EQ(CQv6Info::FindField(noNul.data(), 0, noNul.size()).size(), 256u);

  auto cut = Block("M\0Model\0000\0V1.2");  // last field runs into the end
  CQv6Info partial(cut.data(), cut.size());
  EXPECT_STREQ(partial.model(), "Model");
  EXPECT_STREQ(partial.version(), "V1.2");
  EXPECT_EQ(CQv6Info::FindField(cut.data(), 3, cut.size()), "V1.2");
  EXPECT_EQ(CQv6Info::GetNumber(cut.data(), 7, cut.size()), 0);

  CQv6Info none(nullptr, 100);
  EXPECT_STREQ(none.manufacturer(), "");
}

TEST(IdentityBlock, BuildCountsEveryText) {
  CQv6Info info;
  int length = 0;
  // Texts of 5, 20, 7 and 8 characters, "3", "60", a state of 7.
  const uint8_t* block =
      info.Build(&length, "Maker", "KWL Scanner 602 Plus", "V1.2.34", "SN123456", 3, 60, "Running");
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(length, 61);
  EXPECT_STREQ(info.model(), "KWL Scanner 602 Plus");
  EXPECT_EQ(CQv6Info::FindField(block, 2, static_cast<size_t>(length)), "0");
  EXPECT_EQ(info.documents(), 3);
  EXPECT_EQ(info.minutes(), 60);
  EXPECT_STREQ(info.state(), "Running");
  EXPECT_EQ(block[length - 1], 0);
  EXPECT_EQ(block[length - 2], 0);
  EXPECT_EQ(block[length - 3], 0);
}

TEST(IdentityBlock, BuildRefusesTextsThatDoNotFit) {
  CQv6Info info;
  int length = 5;
  std::string fits(1000 - 17, 'x');  // with the seven 1-character texts, 8 NULs and 2 more: 1000
  EXPECT_NE(info.Build(&length, fits.c_str(), "M", "V", "S", 1, 2, "T"), nullptr);
  EXPECT_EQ(length, 1000);
  std::string tooLong(fits.size() + 1, 'x');
  EXPECT_EQ(info.Build(&length, tooLong.c_str(), "M", "V", "S", 1, 2, "T"), nullptr);
  EXPECT_EQ(length, 0);
  EXPECT_NE(info.Build(&length, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr), nullptr);
  EXPECT_EQ(length, 1 + 1 + 2 + 1 + 1 + 2 + 2 + 1 + 2);
}

}  // namespace
}  // namespace qv6
