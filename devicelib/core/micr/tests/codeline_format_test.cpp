// Code-line formatting and the reject check.
#include "devicelib/core/micr/codeline_format.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace micr {
namespace {

std::string Formatted(const std::string& line, int format, char reject) {
  std::array<char, 200> out{};
  const std::size_t n = FormatCodeline(line, format, reject, out);
  EXPECT_EQ(out[n], '\0');
  return std::string(out.data(), n);
}

TEST(MicrCodelineFormat, BlankFormatsAndRejectCharacter) {
  struct Case {
    std::string line;
    int format;
    std::string expected;
  };
  const Case cases[] = {
      {"12  @ 3", 0, "12?3"},
      {"12  @ 3", 1, "12 ? 3"},
      {"12  @ 3", 2, "12  ? 3"},
      {"  1  2   ", 0, "12"},
      {"  1  2   ", 1, " 1 2"},
      {"  1  2   ", 2, "  1  2"},
      {"", 1, ""},
      {"   ", 2, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Formatted(c.line, c.format, '?'), c.expected) << c.line << " / " << c.format;
}

TEST(MicrCodelineFormat, LongLinesAndSmallBuffersAreBounded) {
  const std::string longLine(300, '1');
  EXPECT_EQ(Formatted(longLine, 2, '@').size(), kMaxCodelineChars);
  std::array<char, 4> small{};
  EXPECT_EQ(FormatCodeline("123456", 2, '@', small), 3u);
  EXPECT_STREQ(small.data(), "123");
  EXPECT_EQ(FormatCodeline("123", 2, '@', std::span<char>()), 0u);
}

TEST(MicrCheckRejects, CountsAgainstTheAllowance) {
  EXPECT_TRUE(CheckRejects("1@2@3", 2));
  EXPECT_FALSE(CheckRejects("1@2@3@", 2));
  EXPECT_TRUE(CheckRejects("123", 0));
  EXPECT_FALSE(CheckRejects("", 5));
  EXPECT_FALSE(CheckRejects(nullptr, 5));
  EXPECT_FALSE(CheckRejects("@", 256));  // the allowance is taken modulo 256
  EXPECT_TRUE(CheckRejects("@", 257));
}

}  // namespace
}  // namespace micr
