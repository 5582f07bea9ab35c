// Drawing helpers for the IQA tests: a held image of a given size filled white or black, rectangles set
// or cleared, and a 1-bit ImageRecord built from it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "analysis/iqa/iqa_image.h"
#include "analysis/iqa/iqa_tests.h"
#include "analysis/micr/tests/fake_services.h"

namespace analysis::iqa::testing {

// Fills columns [x0, x1) and rows [y0, y1) of the held image.
inline void Fill(int x0, int y0, int x1, int y1, bool black = true) {
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) black ? IQASetPixel(x, y) : IQAClearPixel(x, y);
  }
}

// A white document on the scanner's black ground: `border` black pixels on every side.
inline void Document(int width, int height, int border, int dpi = 200) {
  ASSERT_TRUE(AllocateImage(width, height));
  Image().xDpi = Image().yDpi = dpi;
  Fill(0, 0, Image().width, Image().height);
  Fill(border, border, Image().width - border, Image().height - border, false);
}

inline void Blank(int width, int height, int dpi = 200) {
  ASSERT_TRUE(AllocateImage(width, height));
  Image().xDpi = Image().yDpi = dpi;
}

// An 8-byte little-endian ImageRecord header and rows.
inline std::vector<uint8_t> Record(int width, int height, int bits, int dpi, uint8_t fill) {
  const size_t rowBytes = bits == 1   ? (width + 7) / 8
                          : bits == 4 ? (width + 1) / 2
                          : bits == 8 ? width
                                      : 3 * width;
  std::vector<uint8_t> r(8 + rowBytes * height, fill);
  const int v[4] = {width, height, bits, dpi};
  for (int i = 0; i < 4; ++i) {
    r[2 * i] = static_cast<uint8_t>(v[i] & 0xFF);
    r[2 * i + 1] = static_cast<uint8_t>((v[i] >> 8) & 0xFF);
  }
  return r;
}

class IqaTest : public ::testing::Test {
 protected:
  void SetUp() override { FreeImage(); }
  void TearDown() override { FreeImage(); }
  ::analysis::testing::FakeServices services;
  ScopedServices scope{services};
};

}  // namespace analysis::iqa::testing
