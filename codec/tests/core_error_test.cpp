// The error table: every numbered text, and the catch-all for codes without one.
#include <gtest/gtest.h>

#include <cstring>

#include "codec/core/img_error.h"

namespace zc::codec {
namespace {

constexpr const char* kUnknown = "Error code does not match known errors.";

TEST(ImgErrorText, KnownCodesHaveTheirTexts) {
  EXPECT_STREQ(funcImgErrorText(1), "File handle appears corrupt.");
  EXPECT_STREQ(funcImgErrorText(19), "Error was returned by BIOS while writing an image file.");
  EXPECT_STREQ(funcImgErrorText(57), "Error - Unsupported Rotation Value.");
  EXPECT_STREQ(funcImgErrorText(64), "Start of Scan paramaters invalid or unsupported.");
  EXPECT_STREQ(funcImgErrorText(73), "Value to color multiply exceeds allowable values.");
  int withText = 0;
  for (int code = 1; code <= 73; ++code) {
    if (std::strcmp(funcImgErrorText(code), kUnknown) != 0) ++withText;
  }
  EXPECT_EQ(withText, 64);  // 1-15, 19-57 and 64-73
}

TEST(ImgErrorText, CodesWithoutTextGiveTheCatchAll) {
  for (int code : {0, 16, 17, 18, 58, 60, 63, 74, -1, 1000}) {
    EXPECT_STREQ(funcImgErrorText(code), kUnknown) << code;
  }
}

TEST(ImgError, FailureStoresTheCode) {
  iImgError = 0;
  EXPECT_EQ(imgFail(kImgErrSeek), -1);
  EXPECT_EQ(funcGetImgError(), 3);
}

}  // namespace
}  // namespace zc::codec
