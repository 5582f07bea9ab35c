// The "MD:" memory target names.
#include <gtest/gtest.h>

#include <string>

#include "imaging/memory_target.h"

namespace zc::imaging {
namespace {

struct TargetCase {
  const char* name;
  const char* text;
  bool parsed;
  uintptr_t address;
  size_t size;
};

class MemoryTargetTest : public ::testing::TestWithParam<TargetCase> {};

TEST_P(MemoryTargetTest, Parses) {
  const TargetCase& c = GetParam();
  const auto t = ParseMemoryTarget(c.text);
  ASSERT_EQ(t.has_value(), c.parsed);
  if (!t) return;
  EXPECT_EQ(t->address, c.address);
  EXPECT_EQ(t->size, c.size);
}

INSTANTIATE_TEST_SUITE_P(
    Names, MemoryTargetTest,
    ::testing::Values(TargetCase{"plain", "MD:123456", true, 123456, 0},
                      TargetCase{"blanks_skipped", "MD:   42", true, 42, 0},
                      TargetCase{"lower_case_prefix", "md:7", true, 7, 0},
                      TargetCase{"stops_at_first_other_character", "MD:12ab", true, 12, 0},
                      TargetCase{"sign_is_not_a_digit", "MD:-5", true, 0, 0},
                      TargetCase{"size_suffix", "MD:4096:512", true, 4096, 512},
                      TargetCase{"empty_size_ignored", "MD:4096:", true, 4096, 0},
                      TargetCase{"pointer_sized_address", "MD:18446744073709551615", true, UINTPTR_MAX, 0},
                      TargetCase{"address_overflow", "MD:18446744073709551616", false, 0, 0},
                      TargetCase{"size_past_address_space", "MD:18446744073709551000:1000", false, 0, 0},
                      TargetCase{"file_name", "c:\\images\\f.tif", false, 0, 0},
                      TargetCase{"short_name", "M", false, 0, 0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(MemoryTargetLimitTest, SizeBecomesTheCodecLimits) {
  const MemoryTarget bounded{1000, 24};
  EXPECT_EQ(OutputLimit(bounded), 1024u);
  EXPECT_EQ(DescriptorMemorySize(bounded), 24);
  const MemoryTarget open{1000, 0};
  EXPECT_EQ(OutputLimit(open), 0u);
  EXPECT_EQ(DescriptorMemorySize(open), INT32_MAX);
  EXPECT_EQ(DescriptorMemorySize(MemoryTarget{0, size_t{1} << 40}), INT32_MAX);
}

}  // namespace
}  // namespace zc::imaging
