// Shared set-up of the optical E13B reader's tests: fake API services, a clean reader state and helpers
// that place hand-drawn ink in a fresh working image.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "analysis/micr/tests/fake_services.h"
#include "analysis/micr/verify_state.h"
#include "analysis/ocr/codeline_ocr.h"
#include "analysis/ocr/ocr_state.h"

namespace analysis::ocr::test {

class OcrTest : public ::testing::Test {
 public:
  void SetUp() override {
    ResetMicrVerifyStateForTesting();
    funcSetOCRBand(0, 0);
    funcOCRFreeImage();
    OCRBoxTable = BoxTable{};
  }
  void TearDown() override { funcOCRFreeImage(); }

  // A white working image of the given size and resolution.
  static void Blank(int width, int height, int dpi = 200) {
    ASSERT_TRUE(AllocateWorkImage(width, height, 64));
    OCRWorkImage.xResolution = OCRWorkImage.yResolution = dpi;
  }
  static void SetPixel(int x, int y) { Set(x, y); }
  static void Set(int x, int y) {
    OCRWorkImage.buffer[static_cast<size_t>(y) * OCRWorkImage.rowBytes + x / 8] |=
        static_cast<uint8_t>(0x80 >> (x % 8));
  }
  static void Fill(int x0, int y0, int x1, int y1) {  // inclusive
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) Set(x, y);
    }
  }
  static OCRCharBox Box(char ch, int left, int top, int right, int bottom, int confidence) {
    return OCRCharBox{ch, left, top, right, bottom, confidence};
  }
  static void Table(std::initializer_list<OCRCharBox> boxes) {
    OCRBoxTable = BoxTable{};
    for (const OCRCharBox& b : boxes) OCRBoxTable.boxes[static_cast<size_t>(OCRBoxTable.count++)] = b;
  }
  static std::string Chars() {
    std::string s;
    for (int i = 0; i < OCRBoxTable.count; ++i) s += OCRBoxTable.boxes[static_cast<size_t>(i)].ch;
    return s;
  }
  analysis::testing::FakeServices services;
  ScopedServices scoped{services};
};

}  // namespace analysis::ocr::test
