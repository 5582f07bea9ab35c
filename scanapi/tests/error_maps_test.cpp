// The two error maps: every pair, the end markers, the family dispatch and the trace.
#include <gtest/gtest.h>

#include <utility>

#include "api_fixture.h"
#include "platform/debug_output.h"
#include "zarn/error_maps.h"

namespace zarn {
namespace {

class ErrorMapTest : public testing::ApiTest {};

constexpr std::pair<int, int> kQv6Pairs[] = {
    {-1, -615},  {-2, -616},  {-3, -617},  {-4, -618},  {-5, -619},  {1, -620},    {2, -621},
    {5, -622},   {6, -623},   {8, -624},   {12, -625},  {13, -626},  {20, -627},   {21, -628},
    {22, -629},  {24, -630},  {29, -631},  {30, -632},  {31, -633},  {87, -634},   {1114, -635},
    {1117, -636}, {1154, -637}, {1157, -638}, {1164, -639}, {1167, -640}, {1247, -641}, {1248, -642}};

constexpr std::pair<int, int> kQv800Pairs[] = {
    {62000, -212}, {62001, -217}, {62002, -216}, {62003, -521}, {62004, -219}, {62005, -215},
    {62006, -522}, {62007, -550}, {62008, -551}, {62009, -521}, {62010, -613}, {62020, -125},
    {62021, -523}, {62022, -223}, {62023, -224}, {62024, -524}, {62025, -105}, {62026, -606},
    {62027, -102}, {62028, -607}, {62029, -601}, {62030, -609}, {62031, -610}, {62040, -611},
    {62041, -612}, {62042, -518}, {62043, -519}, {62044, -520}, {62100, -548}, {62101, -203},
    {62102, -543}, {62103, -545}, {62104, -516}, {62105, -546}, {62106, -547}, {62107, -544},
    {62108, -205}, {62109, -542}, {62110, -541}, {62111, -540}, {62112, -529}, {62113, -528},
    {62114, -527}, {62115, -526}, {62116, -207}, {62117, -517}, {62118, -206}, {62119, -602}};

TEST_F(ErrorMapTest, TablesHoldTheirPairsThenEndMarkers) {
  auto qv6 = QV6ErrorMap();
  ASSERT_EQ(qv6.size(), 36u);
  for (size_t i = 28; i < qv6.size(); ++i) EXPECT_EQ(qv6[i].api, -1);
  auto qv800 = QV800ErrorMap();
  ASSERT_EQ(qv800.size(), 100u);
  EXPECT_EQ(qv800[3].device, 62003);
  EXPECT_EQ(qv800[4].device, 62003);
  for (size_t i = 49; i < qv800.size(); ++i) EXPECT_EQ(qv800[i].device, -1);
}

TEST_F(ErrorMapTest, EveryDeviceLibraryPairConvertsOnBothQv600Families) {
  for (int family : {200, 30}) {
    Start(family);
    for (auto [device, api] : kQv6Pairs) {
      EXPECT_EQ(funcQV6ConvertKRStatus(device), api) << device;
      EXPECT_EQ(funcConvertStatus(device), api) << device << " family " << family;
    }
  }
}

TEST_F(ErrorMapTest, EveryQv800PairConvertsOnTheQv800Families) {
  for (int family : {400, 300, 314}) {
    Start(family);
    for (auto [device, api] : kQv800Pairs) EXPECT_EQ(funcConvertStatus(device), api) << device;
  }
}

TEST_F(ErrorMapTest, UnknownValuesGiveTheDefaults) {
  for (int v : {0, 3, 1168, 62003}) EXPECT_EQ(funcQV6ConvertKRStatus(v), -213) << v;
  Start(400);
  EXPECT_EQ(funcConvertStatus(-1), -211);  // the end marker stops the walk
  EXPECT_EQ(funcConvertStatus(0), -211);
  Start(200);
  EXPECT_EQ(funcConvertStatus(62003), -213);
  for (int family : {-1, 0, 2, 3, 100}) {
    Start(family);
    EXPECT_EQ(funcConvertStatus(-1), -211) << family;
  }
}

TEST_F(ErrorMapTest, ConversionTracesOnlyAtLevelOneAndAbove) {
  plat::DebugOutputCapture capture;
  SetApiTraceLevel(0);
  funcQV6ConvertKRStatus(-1);
  EXPECT_EQ(capture.Text(), "");
  SetApiTraceLevel(1);
  funcQV6ConvertKRStatus(-1);
  funcQV6ConvertKRStatus(3);
  const std::string text = capture.Text();
  EXPECT_NE(text.find("funcQV6ConvertKRStatus#0: iStatus = -1, iReturn = -615"), std::string::npos);
  EXPECT_NE(text.find("funcQV6ConvertKRStatus#1: iStatus = 3, iReturn = -213"), std::string::npos);
}

}  // namespace
}  // namespace zarn
