// Expansion of "%NAME%" references.
#include "platform/environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace plat {
namespace {

TEST(PlatformEnvironmentTest, Expansion) {
  ::setenv("ZC_TEST_FOLDER", "/opt/ferlo", 1);
  ::unsetenv("ZC_TEST_UNSET");
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"%ZC_TEST_FOLDER%\\FerloScannerDLL.dll", "/opt/ferlo\\FerloScannerDLL.dll"},
      {"%ZC_TEST_UNSET%", "%ZC_TEST_UNSET%"},
      {"%ZC_TEST_UNSET%ZC_TEST_FOLDER%", "%ZC_TEST_UNSET%ZC_TEST_FOLDER%"},
      {"%ZC_TEST_UNSET%%ZC_TEST_FOLDER%", "%ZC_TEST_UNSET%/opt/ferlo"},
      {"100% sure", "100% sure"},
      {"%%", "%%"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ExpandEnvironmentStrings(c.text), c.expected) << c.text;

  char buf[16];
  std::strcpy(buf, "keep");
  EXPECT_EQ(ExpandEnvironmentStringsA("%ZC_TEST_FOLDER%/x", buf, 8), 13u);  // too small: size needed
  EXPECT_STREQ(buf, "keep");
  EXPECT_EQ(ExpandEnvironmentStringsA("%ZC_TEST_FOLDER%/x", buf, sizeof buf), 13u);
  EXPECT_STREQ(buf, "/opt/ferlo/x");
  EXPECT_EQ(ExpandEnvironmentStringsA(nullptr, buf, sizeof buf), 0u);
  ::unsetenv("ZC_TEST_FOLDER");
}

}  // namespace
}  // namespace plat
