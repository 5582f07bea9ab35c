#include "platform/process_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace {

TEST(ProcessInfo, ModulesStartWithTheProgramAndHoldThePlatformLibrary) {
  const auto modules = plat::ListProcessModules();
  ASSERT_FALSE(modules.empty());
  EXPECT_TRUE(modules[0].program);
  EXPECT_EQ(modules[0].name, "platform_dynlib_test");
  EXPECT_TRUE(std::none_of(modules.begin() + 1, modules.end(), [](const auto& m) { return m.program; }));
  const auto platform = std::find_if(modules.begin(), modules.end(), [](const auto& m) {
    return m.name == "libzc_platform.so";
  });
  ASSERT_NE(platform, modules.end());
  EXPECT_EQ(platform->path.front(), '/');
}

TEST(ProcessInfo, ComputerNameIsAWindowsComputerName) {
  const std::string name = plat::GetComputerNameA();
  EXPECT_FALSE(name.empty());
  EXPECT_LE(name.size(), 15u);
  EXPECT_TRUE(std::none_of(name.begin(), name.end(), [](char c) { return c == '.' || std::islower(static_cast<unsigned char>(c)); }))
      << name;
}

TEST(ProcessInfo, LongDateTimeDropsLeadingZeros) {
  struct Case {
    std::tm time;
    const char* text;
  };
  std::tm morning{};
  morning.tm_year = 126, morning.tm_mon = 11, morning.tm_mday = 10, morning.tm_wday = 4;
  morning.tm_hour = 9, morning.tm_min = 5, morning.tm_sec = 3;
  std::tm midnight{};
  midnight.tm_year = 100, midnight.tm_mon = 0, midnight.tm_mday = 1, midnight.tm_wday = 6;
  for (const Case& c : {Case{morning, "Thursday, December 10, 2026, 9:05:03"},
                        Case{midnight, "Saturday, January 1, 2000, 0:00:00"}}) {
    EXPECT_EQ(plat::FormatLongDateTime(c.time), c.text);
  }
}

}  // namespace
