// The status table: its size and order, the sentinel, severities, the demonstration's table and the lookup.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "zarn/status.h"

namespace zarn {
namespace {

TEST(ZarnStatusTexts, HoldsNinetyOneRowsThenTheSentinel) {
  auto rows = ZarnStatusTexts();
  ASSERT_EQ(rows.size(), kStatusTextRows + 1);
  EXPECT_EQ(rows.front().code, -1);
  EXPECT_EQ(rows[90].code, 0);
  EXPECT_STREQ(rows[90].text, "Error Unknown Error");
  EXPECT_EQ(rows[91].code, 0);
  EXPECT_EQ(rows[91].severity, 0);
  EXPECT_STREQ(rows[91].text, "");
  std::set<int32_t> codes;
  for (size_t i = 0; i < kStatusTextRows; ++i) EXPECT_TRUE(codes.insert(rows[i].code).second) << rows[i].code;
}

TEST(ZarnStatusTexts, OnlyFeedingAndDocumentFaultsWeighLessThanAnError) {
  for (size_t i = 0; i < kStatusTextRows; ++i) {
    const ZarnStatusTextRow& r = ZarnStatusTexts()[i];
    int expected = 10;
    if (r.code == -212) expected = 1;
    if (r.code == -216) expected = 3;
    if (r.code == -217 || r.code == -220 || r.code == -227) expected = 5;
    EXPECT_EQ(r.severity, expected) << r.code;
  }
}

TEST(ZarnStatusTexts, LookupFindsRowsAndFallsToTheSentinel) {
  struct Case {
    int32_t code;
    size_t index;
    const char* text;
  } cases[] = {
      {-1, 0, "General Zarn Error"},
      {-104, 9, "Error Unsupported Image Type -- Incompatiable DPI and Image Format"},
      {-230, 48, "Error GrayScale Image Format Not Support to Current File"},
      {-211, 34, "Error during SCSI communication"},
      {-233, 51, "Error Disk Read/Write"},
      {-552, 65, "Error Bad Parameter"},
      {-620, 89, "Error Too Many Callback Functions"},
      {0, 90, "Error Unknown Error"},
      {-608, 91, ""},
      {-643, 91, ""},
      {5, 91, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ZarnStatusIndex(c.code), c.index) << c.code;
    EXPECT_STREQ(ZarnStatusText(c.code), c.text) << c.code;
  }
  EXPECT_EQ(ZarnStatusLookup(-608).severity, 0);
}

TEST(ZarnStatusTexts, DemonstrationTableIsTheSameRowsWithoutMicrParsingAndCatchAll) {
  auto codes = DemoStatusCodes();
  auto texts = DemoStatusTexts();
  ASSERT_EQ(codes.size(), kDemoStatusRows);
  ASSERT_EQ(texts.size(), kDemoStatusRows);
  size_t d = 0;
  for (size_t i = 0; i < kStatusTextRows; ++i) {
    const ZarnStatusTextRow& r = ZarnStatusTexts()[i];
    if (r.code == kMicrParsingError || r.code == kUnknownError) continue;
    ASSERT_LT(d, kDemoStatusRows);
    EXPECT_EQ(codes[d], r.code);
    EXPECT_STREQ(texts[d], r.text);
    ++d;
  }
  EXPECT_EQ(d, kDemoStatusRows);
}

}  // namespace
}  // namespace zarn
