// Start, end and signature dispatch over explicit format tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "codec/core/img_dispatch.h"
#include "codec/core/img_error.h"

namespace zc::codec {
namespace {

int gStarted = 0;
int gEnded = 0;
int fakeStart(ImgCompDesc*) {
  return ++gStarted, 0;
}
int fakeEnd(ImgCompDesc*) {
  return ++gEnded, 0;
}
int fakeHeader(ImgDecompDesc* d) {
  return d->readFill >= 7 ? 0 : -1;
}
int fakeDecode(ImgDecompDesc*) {
  return 42;
}

constexpr ImgCompFormat kComp[] = {{"JPEG", fakeStart, fakeEnd}, {"JPEGG", fakeStart, fakeEnd}};
constexpr ImgDecompFormat kDecomp[] = {{"TIFF", 4, fakeHeader, fakeDecode},
                                       {"BMP", 3, fakeHeader, fakeDecode}};

TEST(ImgDispatch, CompressionNeedsAHandleOrAMemoryTarget) {
  ImgCompDesc d{};
  funcInitCompDesc(&d);
  std::strcpy(d.tag, "JPEG");
  EXPECT_EQ(initCompWith(&d, kComp), -1);
  EXPECT_EQ(funcGetImgError(), 1);
  EXPECT_EQ(initCompWith(nullptr, kComp), -1);
  EXPECT_EQ(funcGetImgError(), 12);
}

TEST(ImgDispatch, TagsMatchExactly) {
  std::vector<uint8_t> target(64);
  for (const char* tag : {"jpeg", "JPEGX", "JPE", ""}) {
    ImgCompDesc d{};
    funcInitCompDesc(&d);
    d.memAddress = target.data();
    d.memSize = 64;
    std::strcpy(d.tag, tag);
    EXPECT_EQ(initCompWith(&d, kComp), -1) << tag;
    EXPECT_EQ(funcGetImgError(), 5) << tag;
    EXPECT_EQ(endCompWith(&d, kComp), -1);
    EXPECT_EQ(funcGetImgError(), 5);
  }
  gStarted = gEnded = 0;
  ImgCompDesc d{};
  funcInitCompDesc(&d);
  d.memAddress = target.data();
  d.memSize = 64;
  std::strcpy(d.tag, "JPEGG");
  EXPECT_EQ(initCompWith(&d, kComp), 0);
  EXPECT_EQ(ImgCurrentCompDesc, &d);
  EXPECT_EQ(endCompWith(&d, kComp), 0);
  EXPECT_EQ(gStarted, 1);
  EXPECT_EQ(gEnded, 1);
  // A start offset at the memory size cannot be reached.
  d.startOffset = 64;
  EXPECT_EQ(initCompWith(&d, kComp), -1);
  EXPECT_EQ(funcGetImgError(), 3);
}

TEST(ImgDispatch, SignaturesInOrder) {
  struct Case {
    std::vector<uint8_t> bytes;
    const char* tag;
  };
  const Case cases[] = {
      {{'B', 'M', 0, 0, 0, 0, 0}, "BMP"},     {{'G', 'I', 'F', '8', '9', 'a', 0}, "GIF"},
      {{0x0A, 5, 1, 8, 0, 0, 0}, "PCX"},      {{0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0}, "JPEG"},
      {{'I', 'I', '*', 0, 8, 0, 0}, "TIFF"},  {{'M', 'M', 'x', 'y', 0, 0, 0}, "TIFF"},
      {{'I', 'I', 'x', 0, 8, 0, 0}, nullptr}, {{'X', 'Y', 'Z', 0, 0, 0, 0}, nullptr},
  };
  for (const Case& c : cases) {
    const char* tag = imgDetectSignature(c.bytes.data(), c.bytes.size());
    if (c.tag == nullptr) {
      EXPECT_EQ(tag, nullptr);
    } else {
      ASSERT_NE(tag, nullptr);
      EXPECT_STREQ(tag, c.tag);
    }
  }
}

TEST(ImgDispatch, InitDecompReadsTheHeaderAndDispatches) {
  std::vector<uint8_t> source = {'M', 'M', 0, 42, 0, 0, 0, 8};
  ImgDecompDesc d{};
  funcInitDecompDesc(&d);
  d.memAddress = source.data();
  d.memSize = 6;  // six bytes: too short to tell
  EXPECT_EQ(initDecompWith(&d, kDecomp), -1);
  EXPECT_EQ(funcGetImgError(), 4);
  d.memSize = 8;
  EXPECT_EQ(initDecompWith(&d, kDecomp), 0);
  EXPECT_STREQ(d.tag, "TIFF");
  EXPECT_EQ(d.readBuffer, nullptr);  // freed on every path
  EXPECT_EQ(decompWith(&d, kDecomp), 42);
  source[0] = 'X';
  EXPECT_EQ(initDecompWith(&d, kDecomp), -1);
  EXPECT_EQ(funcGetImgError(), 5);
  // A recognised signature whose reader is not in the table.
  source = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0, 0};
  EXPECT_EQ(initDecompWith(&d, kDecomp), -1);
  EXPECT_EQ(funcGetImgError(), 5);
  EXPECT_EQ(initDecompWith(nullptr, kDecomp), -1);
  EXPECT_EQ(funcGetImgError(), 12);
}

TEST(ImgDispatch, BuiltTablesHaveOneRowPerTag) {
  std::vector<std::string> tags;
  for (const ImgCompFormat& f : imgCompFormats()) {
    ASSERT_NE(f.start, nullptr);
    ASSERT_NE(f.end, nullptr);
    tags.push_back(std::string("c:") + f.tag);
  }
  for (const ImgDecompFormat& f : imgDecompFormats()) {
    ASSERT_EQ(std::strlen(f.tag), f.tagLetters);
    tags.push_back(std::string("d:") + f.tag);
  }
  std::vector<std::string> sorted = tags;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}

}  // namespace
}  // namespace zc::codec
