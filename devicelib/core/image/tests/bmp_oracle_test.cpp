// Assembled images checked by independent readers: the DIB is written as a BMP file (14-byte file header
// and the packed DIB) and read back by python3-pil and ImageMagick, which must see the expected geometry,
// depth, palette, resolution and pixels. The pixel reference is computed by PIL from the raw lines alone
// (window crop, transpose and flips), so it shares no code with the assembly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "qv6/image/dib.h"
#include "qv6/image/pic_scan_lines.h"
#include "qv6/image/scan_lines.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/scratch_dir.h"

namespace qv6 {
namespace {

namespace fs = std::filesystem;

// The BMP file of a packed DIB: "BM", file size, two reserved words, offset of the pixel rows.
void WriteBmp(const fs::path& path, const CDib& dib) {
  const uint32_t dibSize = dib.GetDibSize();
  const uint32_t offset = 14 + 40 + static_cast<uint32_t>(dib.GetPaletteSize());
  uint8_t header[14] = {'B', 'M'};
  StoreLe32(header + 2, 14 + dibSize);
  StoreLe32(header + 10, offset);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(header), sizeof header);
  out.write(reinterpret_cast<const char*>(dib.GetDibPtr()), dibSize);
}

bool HaveIdentify() {
  return zc::testkit::RunCommand("identify -version").ok();
}

// Reads the BMP with PIL and compares it with a reference built from the raw lines.
// raw layout: `lines` lines of `stride` bytes; kind "grey" (one byte a pixel), "planes" (red, green and
// blue planes of ppl bytes one after another) or "nibbles" (two pixels a byte, the first in the high
// nibble). The window (first..last, from 1) is cropped from each line; `ops` are PIL transposes applied in
// order. Prints "mode width height dpi same".
constexpr const char* kPilCheck = R"PY(
import sys
from PIL import Image
bmp, raw, kind, lines, stride, ppl, first, last, ops = sys.argv[1:10]
lines, stride, ppl, first, last = map(int, (lines, stride, ppl, first, last))
data = open(raw, 'rb').read()
def plane(offset):
    return b''.join(data[i * stride + offset:i * stride + offset + ppl] for i in range(lines))
if kind == 'grey':
    ref = Image.frombytes('L', (ppl, lines), plane(0))
elif kind == 'planes':
    ref = Image.merge('RGB', [Image.frombytes('L', (ppl, lines), plane(c * ppl)) for c in range(3)])
else:
    values = bytearray()
    for i in range(lines):
        for q in range(ppl):
            b = data[i * stride + q // 2]
            values.append(b >> 4 if q % 2 == 0 else b & 15)
    ref = Image.frombytes('L', (ppl, lines), bytes(values))
ref = ref.crop((first - 1, 0, last, lines))
for op in filter(None, ops.split(',')):
    ref = ref.transpose(getattr(Image.Transpose, op))
img = Image.open(bmp)
img.load()
got = img if kind != 'nibbles' else Image.frombytes('L', img.size, img.tobytes())
same = got.convert(ref.mode).tobytes() == ref.tobytes()
if kind == 'nibbles':
    pal = img.getpalette()[:48]
    same = same and pal == [17 * (i // 3) for i in range(48)]
print(img.mode, img.size[0], img.size[1], round(img.info['dpi'][0]), int(same))
)PY";

class BmpOracle : public testing::Test {
 protected:
  void SetUp() override {
    if (!zc::testkit::HavePythonModule("PIL")) GTEST_SKIP() << "python3-pil not installed";
    script_ = dir_ / "check.py";
    std::ofstream(script_) << kPilCheck;
  }
  std::string Check(const CDib& dib, const std::vector<uint8_t>& raw, const std::string& kind, int lines,
                    int stride, int ppl, int first, int last, const std::string& ops) {
    const fs::path bmp = dir_ / "image.bmp";
    const fs::path rawPath = dir_ / "raw.bin";
    WriteBmp(bmp, dib);
    zc::testkit::WriteFileBytes(rawPath, raw);
    const zc::testkit::CommandResult run = zc::testkit::RunCommand(
        "/usr/bin/python3 " + script_.string() + " " + bmp.string() + " " + rawPath.string() + " " + kind +
        " " + std::to_string(lines) + " " + std::to_string(stride) + " " + std::to_string(ppl) + " " +
        std::to_string(first) + " " + std::to_string(last) + " '" + ops + "'");
    std::string out = run.output;
    EXPECT_EQ(run.status, 0) << out;
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
  }

  std::string Identify(const CDib& dib) {
    const fs::path bmp = dir_ / "identify.bmp";
    WriteBmp(bmp, dib);
    const zc::testkit::CommandResult run =
        zc::testkit::RunCommand("identify -units PixelsPerInch -format '%w %h %z %x %y' " + bmp.string());
    EXPECT_EQ(run.status, 0) << run.output;
    return run.output;
  }

  zc::testkit::ScratchDir scratch_{"qv6_image_oracle"};
  fs::path dir_ = scratch_.Path();
  fs::path script_;
};

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> v(size);
  for (size_t i = 0; i < size; ++i) v[i] = static_cast<uint8_t>((i * 37 + (i / 23) * 11) & 0xFF);
  return v;
}

// Lines become columns: in the picture (top row first) the window's last pixel is on top, so the image is
// the transposed window flipped top to bottom; 0x400 mirrors it left to right.
TEST_F(BmpOracle, EightBitSideIsTheTransposedWindow) {
  const int lines = 37, ppl = 23, stride = 24;
  for (const auto& [flags, ops] : {std::pair{2, "TRANSPOSE,FLIP_TOP_BOTTOM"},
                                   std::pair{0x402, "TRANSPOSE,FLIP_TOP_BOTTOM,FLIP_LEFT_RIGHT"}}) {
    std::vector<uint8_t> raw = Pattern(size_t{lines} * stride);
    CLoadScanLines s;
    s.SetFormatFlags(flags);
    s.SetBitsPerPixel(8);
    s.SetPixelsPerLine(ppl);
    s.SetBytesPerRawLine(stride);
    s.SetNumberOfLines(lines);
    s.SetResolution(200);
    s.SetLineBuffer(raw.data(), raw.size());
    ASSERT_EQ(s.BuildImage(1, 3, 20), 1);
    EXPECT_EQ(Check(s, raw, "grey", lines, stride, ppl, 3, 20, ops), "L 37 18 200 1") << flags;
    if (HaveIdentify()) {
      EXPECT_EQ(Identify(s), "37 18 8 200 200");
    }
  }
}

TEST_F(BmpOracle, ColourSideFromPlanes) {
  const int lines = 21, ppl = 13, stride = 3 * ppl;
  std::vector<uint8_t> raw = Pattern(size_t{lines} * stride);
  CLoadScanLines s;
  s.SetBitsPerPixel(24);
  s.SetPixelsPerLine(ppl);
  s.SetBytesPerRawLine(stride);
  s.SetNumberOfLines(lines);
  s.SetResolution(300);
  s.SetLineBuffer(raw.data(), raw.size());
  ASSERT_EQ(s.BuildImage(1, 1, 0), 1);
  EXPECT_EQ(Check(s, raw, "planes", lines, stride, ppl, 1, ppl, "TRANSPOSE,FLIP_TOP_BOTTOM"),
            "RGB 21 13 300 1");
  if (HaveIdentify()) {
    EXPECT_EQ(Identify(s), "21 13 8 300 300");
  }
}

// Second path, lines as rows read forwards (0x400): line i is stored as row i, so the picture is the
// window flipped top to bottom. 4 bits with the 16-level grey palette, odd window start and width.
TEST_F(BmpOracle, FourBitRowsOfTheSecondPath) {
  const int lines = 9, ppl = 15, stride = 8;
  std::vector<uint8_t> raw = Pattern(size_t{lines} * stride);
  CPICLoadScanLines s;
  s.SetFormatFlags(0x402);
  s.SetBitsPerPixel(4);
  s.SetPixelsPerLine(ppl);
  s.SetBytesPerRawLine(stride);
  s.SetNumberOfLines(lines);
  s.SetResolution(200);
  s.SetLineBuffer(raw.data(), raw.size());
  for (const auto& [first, last] : {std::pair{1, 15}, std::pair{2, 12}, std::pair{4, 9}}) {
    ASSERT_EQ(s.BuildImage(0, first, last), 1);
    const std::string width = std::to_string(last - first + 1);
    EXPECT_EQ(Check(s, raw, "nibbles", lines, stride, ppl, first, last, "FLIP_TOP_BOTTOM"),
              "P " + width + " 9 200 1")
        << first << ".." << last;
  }
}

// The resolution changes keep a file that other readers accept, with the written resolution.
TEST_F(BmpOracle, ResampledImagesStayReadable) {
  CDib dib;
  ASSERT_EQ(dib.Create(31, 17, 24, 300), 1);
  std::vector<uint8_t> pattern = Pattern(dib.GetImageSize());
  std::copy(pattern.begin(), pattern.end(), dib.GetBits());
  ASSERT_EQ(dib.TwoThirdsSize(), 1);
  if (HaveIdentify()) {
    EXPECT_EQ(Identify(dib), "20 11 8 200 200");
  }
  ASSERT_EQ(dib.HalveSize(), 1);
  ASSERT_EQ(dib.Crop(1, 0, 0, -1), 1);  // drops column 0, keeps every row
  if (HaveIdentify()) {
    EXPECT_EQ(Identify(dib), "9 5 8 100 100");
  }
}

}  // namespace
}  // namespace qv6
