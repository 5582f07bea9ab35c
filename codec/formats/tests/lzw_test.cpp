// LZW coder tests: GIF-rule round trips over band splits and table resets, the TIFF rule's early
// width change on a hand-built stream, and the decoder's refusals.
#include <gtest/gtest.h>

#include <vector>

#include "codec/formats/lzw_decoder.h"
#include "codec/formats/lzw_encoder.h"

namespace zc::codec::fmt {
namespace {

class VectorSource : public LzwByteSource {
 public:
  explicit VectorSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  int next() override { return pos_ < bytes_.size() ? bytes_[pos_++] : -1; }

 private:
  std::vector<uint8_t> bytes_;
  size_t pos_ = 0;
};

// Packs codes least or most significant bit first.
class Packer : public LzwCodeSink {
 public:
  explicit Packer(LzwBitOrder order) : order_(order) {}
  void put(int code, int width) override {
    widths.push_back(width);
    for (int i = 0; i < width; ++i) {
      const int bit = order_ == LzwBitOrder::kLsbFirst ? (code >> i) & 1 : (code >> (width - 1 - i)) & 1;
      if (count_ % 8 == 0) bytes.push_back(0);
      if (bit) bytes.back() |= order_ == LzwBitOrder::kLsbFirst ? 1 << (count_ % 8) : 0x80 >> (count_ % 8);
      ++count_;
    }
  }
  std::vector<uint8_t> bytes;
  std::vector<int> widths;

 private:
  LzwBitOrder order_;
  size_t count_ = 0;
};

std::vector<uint8_t> noise(size_t n, int bits, uint32_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    v[i] = static_cast<uint8_t>(((seed >> 24) % 3 == 0 ? (seed >> 8) : i / 7) & ((1 << bits) - 1));
  }
  return v;
}

TEST(LzwGif, RoundTripsAcrossBandsAndTableResets) {
  struct Case {
    int bits;
    size_t size;
    size_t chunk;
    size_t maxString;
  };
  // 8-bit noise of 60000 bytes fills the 4096-entry table many times.
  const Case cases[] = {
      {2, 5000, 7, 100}, {4, 20000, 333, 1000}, {8, 60000, 4096, 5000}, {8, 1, 1, 1}, {2, 300, 300, 3}};
  for (const Case& c : cases) {
    const std::vector<uint8_t> data = noise(c.size, c.bits, static_cast<uint32_t>(c.size));
    Packer packer(LzwBitOrder::kLsbFirst);
    LzwEncoder encoder(c.bits, c.maxString);
    encoder.begin(packer);
    for (size_t i = 0; i < data.size(); i += c.chunk) {
      encoder.encode(data.data() + i, std::min(c.chunk, data.size() - i), packer);
    }
    encoder.finish(packer);
    VectorSource source(packer.bytes);
    LzwDecoder decoder(c.bits, kGifLzwRule);
    std::vector<uint8_t> out(data.size() + 1);
    size_t produced = 0;
    EXPECT_EQ(decoder.read(source, out.data(), out.size(), &produced), LzwStatus::kEnd) << c.size;
    out.resize(produced);
    EXPECT_EQ(out, data) << c.bits << " " << c.size;
  }
}

TEST(LzwGif, OneBitDepthUsesThreeBitCodes) {
  Packer packer(LzwBitOrder::kLsbFirst);
  LzwEncoder encoder(2, 100);
  encoder.begin(packer);
  const uint8_t px[] = {0, 1, 1, 0};
  encoder.encode(px, 4, packer);
  encoder.finish(packer);
  EXPECT_EQ(packer.widths.front(), 3);  // clear code 4 at 3 bits
}

// Literal codes only, 5000 of them: the TIFF rule widens after code 510 enters the table, the GIF
// rule one code later; past 4096 entries the table stays full (no clear code comes) and the width
// stays at 12 bits.
TEST(LzwRules, WidthChangesOneCodeApart) {
  for (const LzwRule rule : {kTiffLzwRule, kGifLzwRule}) {
    Packer packer(rule.order);
    packer.put(256, 9);
    std::vector<uint8_t> expected;
    int next = 258;
    int width = 9;
    // Each literal adds one entry; count entries as the decoder sees them.
    for (int i = 0; i < 5000; ++i) {
      const int code = i % 256;
      packer.put(code, width);
      expected.push_back(static_cast<uint8_t>(code));
      if (i > 0) ++next;
      if (next > 4096) next = 4096;
      if (next + rule.earlyChange >= (1 << width) && width < 12) ++width;
    }
    packer.put(257, width);
    VectorSource source(packer.bytes);
    LzwDecoder decoder(8, rule);
    std::vector<uint8_t> out(6000);
    size_t produced = 0;
    EXPECT_EQ(decoder.read(source, out.data(), out.size(), &produced), LzwStatus::kEnd);
    out.resize(produced);
    EXPECT_EQ(out, expected);
    // With the wrong rule the same bytes do not decode to the same pixels.
    const LzwRule other = rule.earlyChange ? LzwRule{rule.order, 0} : LzwRule{rule.order, 1};
    VectorSource again(packer.bytes);
    LzwDecoder wrong(8, other);
    std::vector<uint8_t> bad(6000);
    wrong.read(again, bad.data(), bad.size(), &produced);
    bad.resize(produced);
    EXPECT_NE(bad, expected);
  }
}

TEST(LzwDecoder, RefusesBadCodesAndReportsTruncation) {
  struct Case {
    std::vector<int> codes;
    LzwStatus status;
  };
  const Case cases[] = {
      {{4, 7}, LzwStatus::kBadCode},       // a string code right after the clear
      {{4, 1, 7}, LzwStatus::kBadCode},    // beyond the next free code (6)
      {{4, 1, 6, 5}, LzwStatus::kEnd},     // KwKwK code is accepted
      {{4, 1, 2}, LzwStatus::kTruncated},  // no end code
  };
  for (const Case& c : cases) {
    Packer packer(LzwBitOrder::kLsbFirst);
    for (int code : c.codes) packer.put(code, 3);
    VectorSource source(packer.bytes);
    LzwDecoder decoder(2, kGifLzwRule);
    std::vector<uint8_t> out(64);
    size_t produced = 0;
    EXPECT_EQ(decoder.read(source, out.data(), out.size(), &produced), c.status);
  }
}

}  // namespace
}  // namespace zc::codec::fmt
