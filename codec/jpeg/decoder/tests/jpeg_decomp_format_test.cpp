// The "JPEG" decompression format over the codec interface: header fields, memory and file sources, the
// caller's display function and user value, the coefficient-store callbacks and their failures, error
// codes in iImgError, and streams written by the codec's own JPEG compressor.
#include "codec/jpeg/decoder/jpeg_decomp_format.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "codec/core/img_dispatch.h"
#include "codec/core/img_error.h"
#include "codec/jpeg/jpeg_comp_format.h"
#include "jpeg_test_util.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/scratch_dir.h"

namespace zc::codec {
namespace {

using jpegdec::test::Image;
using jpegdec::test::MakePicture;

std::span<const ImgDecompFormat> Formats() {
  return {&jpegDecompFormat(), 1};
}

// Compresses `img` with the codec's own compressor into memory under `tag`.
std::vector<uint8_t> Compress(const Image& img, const char* tag, int quality = 75) {
  static uint8_t ramp[768];
  for (int i = 0; i < 256; ++i) ramp[3 * i] = ramp[3 * i + 1] = ramp[3 * i + 2] = static_cast<uint8_t>(i);
  std::vector<uint8_t> out(1 << 20);
  ImgCompDesc d;
  funcInitCompDesc(&d);
  d.memAddress = out.data();
  d.memSize = static_cast<int32_t>(out.size());
  std::strncpy(d.tag, tag, sizeof(d.tag) - 1);
  d.colorModel = img.channels == 1 ? 1 : 0;
  d.width = static_cast<uint16_t>(img.width);
  d.height = static_cast<uint16_t>(img.height);
  d.rowsPerBand = 16;
  d.bitsPerPixel = img.channels == 1 ? 8 : 24;
  d.palette = ramp;
  d.quality = static_cast<uint16_t>(quality);
  d.jfifFlag = 1;
  d.densityUnits = 1;
  d.densityX = d.densityY = 300;
  if (initCompWith(&d, jpegCompFormats()) != 0) return {};
  const size_t row = static_cast<size_t>(img.width) * img.channels;
  for (int y = 0; y < img.height; y += 16) {
    int end = std::min(img.height, y + 16);
    if (d.lineWriter(0, y, img.width, end, img.pixels.data() + row * y) != 0) break;
  }
  if (endCompWith(&d, jpegCompFormats()) != 0) return {};
  out.resize(d.position);
  return out;
}

struct Collected {
  std::vector<uint8_t> pixels;
  int width = 0, rows = 0, bands = 0;
  int fail_at = -1;
  int bytes_per_pixel = 3;
};

int Collect(int c0, int r0, int c1, int r1, const uint8_t* rows, uintptr_t user) {
  auto* c = reinterpret_cast<Collected*>(user);
  if (c->bands == c->fail_at) return 5;
  EXPECT_EQ(c0, 0);
  EXPECT_EQ(r0, c->rows);
  c->width = c1;
  c->rows = r1;
  ++c->bands;
  c->pixels.insert(c->pixels.end(), rows, rows + static_cast<size_t>(c1) * (r1 - r0) * c->bytes_per_pixel);
  return 0;
}

void SetUpMemory(ImgDecompDesc& d, const std::vector<uint8_t>& jpeg) {
  funcInitDecompDesc(&d);
  d.memAddress = jpeg.data();
  d.memSize = static_cast<int32_t>(jpeg.size());
}

int DecodeTo(ImgDecompDesc& d, Collected& c, uint8_t mode = 3) {
  d.outputColorMode = mode;
  d.display = Collect;
  d.userValue = reinterpret_cast<uintptr_t>(&c);
  return decompWith(&d, Formats());
}

// The decoder's own request on the same bytes, for comparison.
jpegdec::test::DecodeResult Direct(const std::vector<uint8_t>& jpeg) {
  return jpegdec::test::DecodeAll(jpeg, jpegdec::OutputRequest{});
}

TEST(JpegDecompFormat, OwnCompressorStreamsDecodeThroughTheInterface) {
  const struct {
    const char* tag;
    int channels;
    bool progressive;
  } cases[] = {{"JPEGG", 1, false}, {"JPEG", 3, false}, {"PROGG", 1, true}, {"PROG", 3, true}};
  for (const auto& c : cases) {
    Image img = MakePicture(150, 70, c.channels, 3);
    std::vector<uint8_t> jpeg = Compress(img, c.tag, 90);
    ASSERT_FALSE(jpeg.empty()) << c.tag;
    ImgDecompDesc d;
    SetUpMemory(d, jpeg);
    uint8_t palette[768] = {};
    d.palette = palette;
    ASSERT_EQ(initDecompWith(&d, Formats()), 1) << c.tag;
    EXPECT_STREQ(d.tag, "JPEG");
    EXPECT_EQ(d.width, 150);
    EXPECT_EQ(d.height, 70);
    EXPECT_EQ(d.components, c.channels);
    EXPECT_EQ(d.progressive, c.progressive ? 1 : 0);
    EXPECT_EQ(d.xResolution, 300);
    EXPECT_EQ(d.bitsPerPixel, c.channels == 1 ? 8 : 24);
    if (c.channels == 1) {
      EXPECT_EQ(d.paletteFilled, 1);
      EXPECT_EQ(palette[3 * 200 + 1], 200);
    }
    Collected got;
    got.bytes_per_pixel = c.channels;  // gray pictures come one byte a pixel whatever RGB mode asks for
    ASSERT_EQ(DecodeTo(d, got), 0) << c.tag << " error " << iImgError;
    jpegdec::test::DecodeResult ref = Direct(jpeg);
    ASSERT_EQ(ref.error, 0);
    EXPECT_EQ(got.pixels, ref.image.pixels) << c.tag;
    // An independent decoder on the compressor's bytes.
    if (!testkit::HaveTool("djpeg")) continue;
    testkit::ScratchDir dir("zc_jpegdec");
    testkit::WriteFileBytes(dir.File("a.jpg"), jpeg);
    ASSERT_EQ(testkit::RunCommand("djpeg -dct fast -nosmooth -outfile " + dir.File("a.pnm") + " " +
                                  dir.File("a.jpg"))
                  .status,
              0);
    Image djpeg = jpegdec::test::ReadPnm(dir.File("a.pnm"));
    jpegdec::test::Image ours{got.width, got.rows, c.channels, got.pixels};
    jpegdec::test::DiffStats diff = jpegdec::test::Compare(ours, djpeg);
    ASSERT_TRUE(diff.same_shape) << c.tag;
    EXPECT_LE(diff.max, c.channels == 1 ? 2 : 5) << c.tag;
    EXPECT_LT(diff.mean, c.channels == 1 ? 0.6 : 1.1) << c.tag;
  }
}

TEST(JpegDecompFormat, GrayOutputWithFewerLevelsIndexesTheRamp) {
  Image img = MakePicture(96, 40, 3, 9);
  std::vector<uint8_t> jpeg = Compress(img, "JPEG", 90);
  ASSERT_FALSE(jpeg.empty());
  ImgDecompDesc d;
  SetUpMemory(d, jpeg);
  uint8_t palette[768] = {};
  d.palette = palette;
  d.colors = 16;
  d.outputColorMode = 1;
  ASSERT_EQ(initDecompWith(&d, Formats()), 1);
  EXPECT_EQ(d.paletteFilled, 1);
  EXPECT_EQ(palette[3 * 15], 255);
  EXPECT_EQ(palette[3 * 1], 17);
  Collected got;
  got.bytes_per_pixel = 1;
  ASSERT_EQ(DecodeTo(d, got, 1), 0);
  jpegdec::OutputRequest gray;
  gray.kind = jpegdec::kKindGray;
  jpegdec::test::DecodeResult full = jpegdec::test::DecodeAll(jpeg, gray);
  ASSERT_EQ(full.image.pixels.size(), got.pixels.size());
  for (size_t i = 0; i < got.pixels.size(); ++i) {
    ASSERT_LT(got.pixels[i], 16);
    ASSERT_LE(std::abs(int{palette[3 * got.pixels[i]]} - int{full.image.pixels[i]}), 9) << i;
  }
}

TEST(JpegDecompFormat, MappedColourOutputIndexesTheCube) {
  Image img = MakePicture(80, 48, 3, 4);
  std::vector<uint8_t> jpeg = Compress(img, "JPEG", 90);
  ASSERT_FALSE(jpeg.empty());
  const std::vector<uint8_t> rgb = Direct(jpeg).image.pixels;
  for (uint8_t dither : {0, 1, 2}) {
    ImgDecompDesc d;
    SetUpMemory(d, jpeg);
    uint8_t palette[768] = {};
    d.palette = palette;
    d.outputColorMode = 0;
    d.ditherMode = dither;
    ASSERT_EQ(initDecompWith(&d, Formats()), 1);
    EXPECT_EQ(d.colors, 216);  // six levels a component
    EXPECT_EQ(d.paletteFilled, 1);
    Collected got;
    got.bytes_per_pixel = 1;
    ASSERT_EQ(DecodeTo(d, got, 0), 0) << int{dither} << " error " << iImgError;
    ASSERT_EQ(got.pixels.size() * 3, rgb.size());
    double err = 0;
    for (size_t i = 0; i < got.pixels.size(); ++i) {
      ASSERT_LT(got.pixels[i], 216);
      for (int c = 0; c < 3; ++c) err += std::abs(int{palette[3 * got.pixels[i] + c]} - int{rgb[3 * i + c]});
      if (dither == 0) {
        for (int c = 0; c < 3; ++c) {
          ASSERT_LE(std::abs(int{palette[3 * got.pixels[i] + c]} - int{rgb[3 * i + c]}), 26) << i;
        }
      }
    }
    EXPECT_LT(err / static_cast<double>(rgb.size()), 20.0) << int{dither};
  }
}

TEST(JpegDecompFormat, FileSourceAtAnOffsetDecodesLikeMemory) {
  Image img = MakePicture(64, 48, 3);
  std::vector<uint8_t> jpeg = Compress(img, "JPEG");
  ASSERT_FALSE(jpeg.empty());
  testkit::ScratchDir dir("zc_jpegdec");
  std::string path = dir.File("x.bin");
  std::vector<uint8_t> file(100, 0x55);
  file.insert(file.end(), jpeg.begin(), jpeg.end());
  testkit::WriteFileBytes(path, file);
  int fd = open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ImgDecompDesc d;
  funcInitDecompDesc(&d);
  d.handle = fd;
  d.startOffset = 100;
  ASSERT_EQ(initDecompWith(&d, Formats()), 1);
  Collected got;
  EXPECT_EQ(DecodeTo(d, got), 0);
  close(fd);
  EXPECT_EQ(got.pixels, Direct(jpeg).image.pixels);
}

// Coefficient-store callbacks of the image layer's form: count x size + 4 zeroed bytes.
struct StoreLog {
  int allocs = 0, frees = 0;
  bool null_alloc = false, null_ptr = false, refuse_free = false;
};
StoreLog g_store;

void* Alloc(uint16_t count, uint16_t size) {
  ++g_store.allocs;
  return g_store.null_alloc ? nullptr : std::calloc(static_cast<size_t>(count) * size + 4, 1);
}
void* GetPtr(uint16_t count, uint16_t size, void* block, uint16_t index) {
  if (g_store.null_ptr || index >= count) return nullptr;
  return static_cast<uint8_t*>(block) + static_cast<size_t>(size) * index;
}
int Free(uint16_t, uint16_t, void* block) {
  ++g_store.frees;
  std::free(block);
  return block != nullptr && !g_store.refuse_free;
}

TEST(JpegDecompFormat, ProgressiveStoreCallbacksAndTheirFailures) {
  Image img = MakePicture(120, 90, 3);
  std::vector<uint8_t> jpeg = Compress(img, "PROG", 95);
  ASSERT_FALSE(jpeg.empty());
  const std::vector<uint8_t> expected = Direct(jpeg).image.pixels;
  const struct {
    bool null_alloc, null_ptr, refuse_free;
    int result, code;
  } cases[] = {
      {false, false, false, 0, 0},
      {true, false, false, -1, 54},
      {false, true, false, -1, 55},
      {false, false, true, -1, 2},
  };
  for (const auto& c : cases) {
    g_store = StoreLog{};
    g_store.null_alloc = c.null_alloc;
    g_store.null_ptr = c.null_ptr;
    g_store.refuse_free = c.refuse_free;
    ImgDecompDesc d;
    SetUpMemory(d, jpeg);
    d.mcuAlloc = Alloc;
    d.mcuGetPtr = GetPtr;
    d.mcuFree = Free;
    ASSERT_EQ(initDecompWith(&d, Formats()), 1);
    Collected got;
    EXPECT_EQ(DecodeTo(d, got), c.result);
    EXPECT_EQ(funcGetImgError(), c.code);
    EXPECT_EQ(g_store.allocs, 1);
    // The store is released on success and on every failure after it was allocated.
    EXPECT_EQ(g_store.frees, c.null_alloc ? 0 : 1);
    if (c.result == 0) {
      EXPECT_EQ(got.pixels, expected);
    }
  }
}

TEST(JpegDecompFormat, FailuresSetTheErrorCode) {
  Image img = MakePicture(64, 64, 3);
  std::vector<uint8_t> jpeg = Compress(img, "JPEG");
  ASSERT_FALSE(jpeg.empty());
  {
    ImgDecompDesc d;
    SetUpMemory(d, jpeg);
    ASSERT_EQ(initDecompWith(&d, Formats()), 1);
    Collected got;
    got.fail_at = 1;
    EXPECT_EQ(DecodeTo(d, got), -1);
    EXPECT_EQ(funcGetImgError(), 14);
    EXPECT_EQ(d.displayResult, 5u);
    EXPECT_EQ(got.bands, 1);
  }
  {
    ImgDecompDesc d;
    SetUpMemory(d, jpeg);
    ASSERT_EQ(initDecompWith(&d, Formats()), 1);
    d.windowTop = 64;  // below the last row
    Collected got;
    EXPECT_EQ(DecodeTo(d, got), -1);
    EXPECT_EQ(funcGetImgError(), 8);
  }
  {
    std::vector<uint8_t> no_frame = {0xFF, 0xD8, 0xFF, 0xD9, 0, 0, 0, 0};
    ImgDecompDesc d;
    SetUpMemory(d, no_frame);
    EXPECT_EQ(initDecompWith(&d, Formats()), -1);
    EXPECT_EQ(funcGetImgError(), 21);
  }
  EXPECT_EQ(funcJpegDecomp(nullptr), -1);
  EXPECT_EQ(funcGetImgError(), 12);
}

}  // namespace
}  // namespace zc::codec
