// The decoder's fast paths against what they must reproduce exactly. Decoded output of fixed streams is
// pinned by checksum: the entropy decoder, the bit reader and the output stages are tuned for speed, and
// every sample they deliver must stay what it was. The streams cover long Huffman codes and large
// coefficients (quality 97-99), restart intervals, 4:2:0 / 4:2:2 / 4:4:4 sampling, optimised tables,
// progressive and non-interleaved scans; damaged copies (truncated, bytes overwritten) pin the error code
// and the bands delivered before it as well. The bit reader, which takes whole words where it can, is
// held to a byte-by-byte model of T.81 F.2.2.5 and B.1.1.5 over streams dense in 0xFF bytes and markers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "codec/jpeg/decoder/jpeg_bit_reader.h"
#include "codec/jpeg/decoder/jpeg_decode.h"
#include "codec/jpeg/decoder/jpeg_error.h"

namespace zc::jpegdec {
namespace {

// The build names this folder: __FILE__ may be relative when a compiler cache rewrites paths.
const std::filesystem::path kHere = ZC_JPEGDEC_TEST_DIR;

std::vector<uint8_t> ReadFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// FNV-1a over every band (its rectangle and bytes) and the final error code.
class Checksum {
 public:
  void Add(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) h_ = (h_ ^ p[i]) * 0x100000001B3ull;
  }
  void Add(uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      const uint8_t b = static_cast<uint8_t>(v >> (8 * i));
      Add(&b, 1);
    }
  }
  void Add(int v) { Add(static_cast<uint32_t>(v), 4); }
  uint64_t value() const { return h_; }

 private:
  uint64_t h_ = 0xCBF29CE484222325ull;
};

uint64_t DecodeChecksum(const std::vector<uint8_t>& jpeg, uint8_t kind, uint16_t scale) {
  OutputRequest req;
  req.kind = kind;
  req.xscale = req.yscale = scale;
  Checksum sum;
  int channels = 1;
  int error = 0;
  DisplaySink sink = [&](int c0, int r0, int c1, int r1, const uint8_t* rows) {
    sum.Add(c0);
    sum.Add(r0);
    sum.Add(c1);
    sum.Add(r1);
    sum.Add(rows, static_cast<size_t>(c1 - c0) * (r1 - r0) * channels);
    return 0;
  };
  try {
    MemorySource info_src(jpeg.data(), jpeg.size());
    channels = ReadJpegInfo(info_src).components > 1 && kind == kKindRgb ? 3 : 1;
    MemorySource src(jpeg.data(), jpeg.size());
    DecodeJpeg(src, req, nullptr, sink);
  } catch (const JpegError& e) {
    error = e.code;
  }
  sum.Add(error);
  return sum.value();
}

struct Request {
  uint8_t kind;
  uint16_t scale;
};

// Every stream decoded as RGB at full size, as gray, and at 1/2, 1/8 and 2x, folded into one value.
constexpr Request kScales[] = {
    {kKindRgb, 2048}, {kKindGray, 2048}, {kKindRgb, 1024}, {kKindRgb, 256}, {kKindRgb, 4096}};
// Quarter scale, RGB and gray, pinned on its own (it has a reduced transform of its own).
constexpr Request kQuarter[] = {{kKindRgb, 512}, {kKindGray, 512}};

uint64_t StreamChecksum(const std::vector<uint8_t>& jpeg, std::span<const Request> requests = kScales) {
  Checksum all;
  for (const auto& r : requests) {
    const uint64_t v = DecodeChecksum(jpeg, r.kind, r.scale);
    all.Add(v, 8);
  }
  return all.value();
}

// Damaged copies: cut at a few points of the entropy data, and runs of bytes overwritten with values that
// are or imitate markers.
uint64_t DamagedChecksum(const std::vector<uint8_t>& jpeg, std::span<const Request> requests = kScales) {
  Checksum all;
  for (int cut = 1; cut <= 4; ++cut) {
    std::vector<uint8_t> t(jpeg.begin(),
                           jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() * (4 + cut) / 9));
    const uint64_t v = StreamChecksum(t, requests);
    all.Add(v, 8);
  }
  const uint8_t patterns[][2] = {{0xFF, 0xD3}, {0xFF, 0xD9}, {0xFF, 0xFF}, {0x00, 0xFF}, {0xA5, 0x3C}};
  uint32_t seed = 99;
  for (const auto& p : patterns) {
    std::vector<uint8_t> t = jpeg;
    for (int k = 0; k < 3; ++k) {
      seed = seed * 1103515245u + 12345u;
      const size_t at = t.size() / 2 + (seed >> 8) % (t.size() / 2 - 2);
      t[at] = p[0];
      t[at + 1] = p[1];
    }
    const uint64_t v = StreamChecksum(t, requests);
    all.Add(v, 8);
  }
  return all.value();
}

struct Pinned {
  const char* file;
  uint64_t intact;
  uint64_t damaged;
};

const Pinned kPinned[] = {
    {"data/gray_q97_restart.jpg", 0x12148C5914C4FDC3ull, 0xA89AB8B0FB49063Aull},
    {"data/colour_420_q75.jpg", 0xC8A4173877678219ull, 0x400678BE5F7043C6ull},
    {"data/colour_444_q99_restart.jpg", 0xC92BBAAE7D185E97ull, 0xC357BE3DED6992B6ull},
    {"data/colour_422_q60_optimized.jpg", 0x8D4F6CD1CFFE321Dull, 0xEF12DDB53DD1355Full},
    {"../fuzz/corpus/baseline_420.jpg", 0x44354F1924609F71ull, 0xBC45673FB4E6B103ull},
    {"../fuzz/corpus/baseline_422_restart.jpg", 0x708E2E9B5115AB59ull, 0x26B98C17FA880DD6ull},
    {"../fuzz/corpus/noninterleaved.jpg", 0xD04DFCB1ABC2C8C5ull, 0xD49EA4E7FA12A1B0ull},
    {"../fuzz/corpus/progressive_444_restart.jpg", 0xD86515C7F4B9EB72ull, 0xD82357512A64152Cull},
    {"../fuzz/corpus/progressive_gray.jpg", 0xC2DE663194C71E25ull, 0xA31EEBD55524EE86ull},
};

// The entropy-coded bits as T.81 defines them, one byte at a time: FF 00 is a data byte 0xFF, the first
// FF of FF FF is a fill byte, any other FF xx is a marker, after which (and after the data) come one-bits.
std::vector<int> ModelBits(const std::vector<uint8_t>& d, size_t total) {
  std::vector<int> out;
  size_t i = 0;
  while (out.size() < total && i < d.size()) {
    uint8_t b = d[i];
    if (b == 0xFF) {
      if (i + 1 >= d.size()) break;
      if (d[i + 1] == 0xFF) {
        ++i;
        continue;
      }
      if (d[i + 1] != 0x00) break;
      i += 2;
    } else {
      ++i;
    }
    for (int k = 7; k >= 0; --k) out.push_back((b >> k) & 1);
  }
  out.resize(std::max(out.size(), total), 1);
  out.resize(total);
  return out;
}

TEST(JpegFastPath, BitReaderMatchesTheByteModel) {
  uint32_t seed = 5;
  auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 8; };
  for (int round = 0; round < 300; ++round) {
    // Mostly plain bytes, with stuffed 0xFF, fill bytes and (sometimes) a marker at random places.
    std::vector<uint8_t> d(20 + next() % 200);
    const uint32_t ff_rate = 2 + next() % 40;
    for (size_t i = 0; i < d.size(); ++i) {
      d[i] = static_cast<uint8_t>(next() & 0xFF);
      if (d[i] == 0xFF) d[i] = 0xFE;
      if (next() % ff_rate == 0 && i + 1 < d.size()) {
        const uint32_t kind = next() % 8;
        d[i] = 0xFF;
        d[i + 1] = kind < 5 ? 0x00 : (kind < 7 ? 0xFF : static_cast<uint8_t>(0xD0 + next() % 10));
        ++i;
      }
    }
    const size_t total = d.size() * 8 + 100;
    const std::vector<int> model = ModelBits(d, total);
    MemorySource src(d.data(), d.size());
    InputWindow win(src, 16 + next() % 48);  // small windows refill often
    BitReader br(win);
    size_t at = 0;
    while (at + 32 <= total) {
      const int n = 1 + static_cast<int>(next() % 24);
      const uint32_t got = br.Get(n);
      for (int k = 0; k < n; ++k) {
        ASSERT_EQ(static_cast<int>((got >> (n - 1 - k)) & 1), model[at + k])
            << "round " << round << " bit " << at + k;
      }
      at += static_cast<size_t>(n);
      ASSERT_LE(win.pos(), win.fill());
    }
  }
}

TEST(JpegFastPath, DecodedSamplesStayAsPinned) {
  for (const Pinned& p : kPinned) {
    const std::vector<uint8_t> jpeg = ReadFile(kHere / p.file);
    ASSERT_GT(jpeg.size(), 100u) << p.file;
    const uint64_t intact = StreamChecksum(jpeg);
    const uint64_t damaged = DamagedChecksum(jpeg);
    EXPECT_EQ(intact, p.intact) << p.file;
    EXPECT_EQ(damaged, p.damaged) << p.file;
  }
}

// The colour streams at a quarter: every sample there comes from the reduced transform and the blocks of
// whole MCUs decoded in one go.
TEST(JpegFastPath, QuarterScaleSamplesStayAsPinned) {
  const Pinned pinned[] = {
      {"data/colour_420_q75.jpg", 0xD8530C31C53A945Cull, 0x69A89638CCFB96AAull},
      {"data/colour_444_q99_restart.jpg", 0xDB5326A333B1F9BFull, 0x0BE5903C8C695701ull},
      {"data/colour_422_q60_optimized.jpg", 0x1B75A6BB36592057ull, 0xDFA1043FA3B2DD01ull},
      {"../fuzz/corpus/baseline_422_restart.jpg", 0x6D5428251F6AE1C7ull, 0xE16289E2FD974270ull},
      {"../fuzz/corpus/noninterleaved.jpg", 0xED355670171AC705ull, 0x4027A7665D96ED52ull},
  };
  for (const Pinned& p : pinned) {
    const std::vector<uint8_t> jpeg = ReadFile(kHere / p.file);
    ASSERT_GT(jpeg.size(), 100u) << p.file;
    EXPECT_EQ(StreamChecksum(jpeg, kQuarter), p.intact) << p.file;
    EXPECT_EQ(DamagedChecksum(jpeg, kQuarter), p.damaged) << p.file;
  }
}

}  // namespace
}  // namespace zc::jpegdec
