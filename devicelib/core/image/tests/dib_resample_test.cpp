// CDib resolution changes: the examples of each rule, sizes and written resolutions, partial blocks at
// the right and top edges, and the 24-bit path checked channel by channel against the 8-bit one.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "qv6/image/dib.h"

namespace qv6 {
namespace {

using Op = int (CDib::*)();

// An 8-bit image from rows given in storage order.
void Make8(CDib& dib, const std::vector<std::vector<int>>& rows) {
  ASSERT_EQ(dib.Create(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), 8, 300), 1);
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x)
      dib.GetBits()[y * dib.GetBytesPerLine() + x] = static_cast<uint8_t>(rows[y][x]);
}

std::vector<std::vector<int>> Rows8(const CDib& dib) {
  std::vector<std::vector<int>> rows(dib.GetHeight());
  for (int y = 0; y < dib.GetHeight(); ++y)
    for (int x = 0; x < dib.GetWidth(); ++x) rows[y].push_back(dib.GetBits()[y * dib.GetBytesPerLine() + x]);
  return rows;
}

TEST(DibResample, RuleExamples) {
  struct Case {
    std::string name;
    Op op;
    std::vector<std::vector<int>> in, out;
  };
  const std::vector<Case> cases = {
      // 5 x 5 halves to 2 x 2 from the first 4 x 4 of storage order.
      {"HalveSize",
       &CDib::HalveSize,
       {{0, 4, 8, 12, 99},
        {4, 8, 12, 16, 99},
        {20, 24, 28, 32, 99},
        {24, 28, 32, 37, 99},
        {99, 99, 99, 99, 99}},
       {{4, 12}, {24, 32}}},
      {"HalveWidthThirdHeight", &CDib::HalveWidthThirdHeight, {{0, 6, 1}, {6, 12, 1}, {12, 1, 1}}, {{6}}},
      {"ThirdSize", &CDib::ThirdSize, {{9, 9, 9, 1}, {9, 9, 9, 1}, {9, 9, 8, 1}}, {{8}}},
      {"ThirdHeight", &CDib::ThirdHeight, {{3, 30}, {3, 30}, {4, 31}, {200, 200}}, {{3, 30}}},
      {"TripleWidth", &CDib::TripleWidth, {{0, 30}}, {{0, 10, 20, 30, 30, 30}}},
      {"ThreeHalvesWidth", &CDib::ThreeHalvesWidth, {{0, 10, 40, 50}}, {{0, 5, 10, 40, 45, 50}}},
      // An odd width ends in one pixel from the lone last pixel.
      {"ThreeHalvesWidthOdd", &CDib::ThreeHalvesWidth, {{0, 10, 40}}, {{0, 5, 10, 40}}},
      {"TwoThirdsHeight", &CDib::TwoThirdsHeight, {{1, 2}, {10, 20}, {30, 41}}, {{1, 2}, {20, 30}}},
      // Row 0 of a group from r0, row 1 from r1 and r2; pixel pairs p, mean of p+1 and p+2.
      {"TwoThirdsSize", &CDib::TwoThirdsSize, {{10, 20, 40}, {0, 4, 8}, {2, 6, 10}}, {{10, 30}, {1, 7}}},
      // Width and height 3k + 2: the partial block's single column and row follow the first rule.
      {"TwoThirdsSizePartial",
       &CDib::TwoThirdsSize,
       {{10, 20, 40, 50, 60}, {0, 4, 8, 12, 16}, {2, 6, 10, 14, 18}, {70, 80, 90, 100, 110}, {1, 1, 1, 1, 1}},
       {{10, 30, 50}, {1, 7, 13}, {70, 85, 100}}},
      // The last pixel of a row is its own right neighbour.
      {"DoubleWidthTwoThirdsHeight",
       &CDib::DoubleWidthTwoThirdsHeight,
       {{10, 20}, {0, 40}, {20, 60}},
       {{10, 15, 20, 20}, {10, 30, 50, 50}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CDib dib;
    Make8(dib, c.in);
    ASSERT_EQ((dib.*c.op)(), 1);
    EXPECT_EQ(Rows8(dib), c.out);
  }
}

TEST(DibResample, SizesAndWrittenResolution) {
  struct Case {
    Op op;
    int width, height, dpi;
  };
  // From an 8 x 7 image.
  const Case cases[] = {
      {&CDib::HalveSize, 4, 3, 100},
      {&CDib::HalveWidthThirdHeight, 4, 2, 100},
      {&CDib::ThirdSize, 2, 2, 100},
      {&CDib::ThirdHeight, 8, 2, 100},
      {&CDib::DoubleWidthTwoThirdsHeight, 16, 4, 200},
      {&CDib::TwoThirdsSize, 5, 4, 200},
      {&CDib::TwoThirdsHeight, 8, 4, 200},
      {&CDib::TripleWidth, 24, 7, 200},
      {&CDib::ThreeHalvesWidth, 12, 7, 200},
  };
  for (const auto& c : cases) {
    for (int bits : {8, 24}) {
      CDib dib;
      ASSERT_EQ(dib.Create(8, 7, bits, 300), 1);
      std::memset(dib.GetBits(), 0x5A, dib.GetImageSize());
      ASSERT_EQ((dib.*c.op)(), 1);
      EXPECT_EQ(dib.GetWidth(), c.width);
      EXPECT_EQ(dib.GetHeight(), c.height);
      EXPECT_EQ(dib.GetBitCount(), bits);
      EXPECT_EQ(DpiFromPixelsPerMetre(static_cast<int32_t>(LoadLe32(dib.GetDibPtr() + 24))), c.dpi);
      EXPECT_EQ(DpiFromPixelsPerMetre(static_cast<int32_t>(LoadLe32(dib.GetDibPtr() + 28))), c.dpi);
    }
  }
  for (int bits : {1, 4}) {
    CDib dib;
    ASSERT_EQ(dib.Create(8, 7, bits, 300), 1);
    for (const auto& c : cases) EXPECT_EQ((dib.*c.op)(), 0);
    EXPECT_EQ(dib.GetWidth(), 8);
  }
}

// Each channel of a 24-bit result equals the 8-bit result of that channel alone.
TEST(DibResample, ColourEqualsGreyPerChannel) {
  const Op ops[] = {&CDib::HalveSize,
                    &CDib::HalveWidthThirdHeight,
                    &CDib::ThirdSize,
                    &CDib::ThirdHeight,
                    &CDib::DoubleWidthTwoThirdsHeight,
                    &CDib::TwoThirdsSize,
                    &CDib::TwoThirdsHeight,
                    &CDib::TripleWidth,
                    &CDib::ThreeHalvesWidth};
  const int w = 11, h = 8;
  auto sample = [](int x, int y, int c) { return (x * 37 + y * 91 + c * 53 + x * y * 7) & 0xFF; };
  for (Op op : ops) {
    CDib colour;
    ASSERT_EQ(colour.Create(w, h, 24, 300), 1);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c)
          colour.GetBits()[y * colour.GetBytesPerLine() + 3 * x + c] = static_cast<uint8_t>(sample(x, y, c));
    ASSERT_EQ((colour.*op)(), 1);
    for (int c = 0; c < 3; ++c) {
      CDib grey;
      ASSERT_EQ(grey.Create(w, h, 8, 300), 1);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          grey.GetBits()[y * grey.GetBytesPerLine() + x] = static_cast<uint8_t>(sample(x, y, c));
      ASSERT_EQ((grey.*op)(), 1);
      ASSERT_EQ(grey.GetWidth(), colour.GetWidth());
      ASSERT_EQ(grey.GetHeight(), colour.GetHeight());
      for (int y = 0; y < grey.GetHeight(); ++y)
        for (int x = 0; x < grey.GetWidth(); ++x)
          ASSERT_EQ(colour.GetBits()[y * colour.GetBytesPerLine() + 3 * x + c],
                    grey.GetBits()[y * grey.GetBytesPerLine() + x])
              << x << "," << y << " channel " << c;
    }
  }
}

}  // namespace
}  // namespace qv6
