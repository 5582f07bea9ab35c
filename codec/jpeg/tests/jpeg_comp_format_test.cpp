// The JPEG formats through the codec interface: tag dispatch, memory and file targets, the caller's
// coefficient-store callbacks and the internal store, and the codes a caller sees.
#include "codec/jpeg/jpeg_comp_format.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/core/img_dispatch.h"
#include "codec/core/img_error.h"
#include "codec/jpeg/cpu_features.h"
#include "codec/jpeg/tests/jpeg_test_support.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/scratch_dir.h"

namespace zc::codec {
namespace {

using jpeg::testing::Image;
using jpeg::testing::MakeCheque;

// A small MCU store like the image layer's: count x size + 4 bytes, zeroed; counts its calls.
struct FakeStore {
  static inline int allocs = 0, gets = 0, frees = 0;
  static inline bool fail_get = false;
  static void* Alloc(uint16_t count, uint16_t size) {
    ++allocs;
    return std::calloc(static_cast<size_t>(count) * size + 4, 1);
  }
  static void* Get(uint16_t count, uint16_t size, void* block, uint16_t index) {
    ++gets;
    if (fail_get || index >= count) return nullptr;
    return static_cast<uint8_t*>(block) + 4 + static_cast<size_t>(index) * size;
  }
  static int Free(uint16_t, uint16_t, void* block) {
    ++frees;
    std::free(block);
    return 1;
  }
  static void Reset() { allocs = gets = frees = 0, fail_get = false; }
};

struct CompRun {
  int start = 0, band = 0, end = 0;
  std::vector<uint8_t> bytes;
};

CompRun Compress(const Image& image, const char* tag, std::vector<uint8_t>* memory,
                 ImgCompDesc* preset = nullptr, int band_rows = 16) {
  ImgCompDesc desc;
  funcInitCompDesc(&desc);
  if (preset != nullptr) desc = *preset;
  std::strncpy(desc.tag, tag, sizeof desc.tag - 1);
  desc.memAddress = memory->data();
  desc.memSize = static_cast<int32_t>(memory->size());
  desc.width = static_cast<uint16_t>(image.width);
  desc.height = static_cast<uint16_t>(image.height);
  desc.bitsPerPixel = image.channels == 3 ? 24 : 8;
  desc.palette = image.channels == 3 ? nullptr : jpeg::testing::GrayRamp();
  desc.quality = 75;
  desc.jfifFlag = 1;
  desc.fastTransform = 1;
  CompRun run;
  run.start = initCompWith(&desc, jpegCompFormats());
  const size_t row = static_cast<size_t>(image.width) * image.channels;
  for (int y = 0; run.start == 0 && run.band == 0 && y < image.height; y += band_rows) {
    const int end = std::min(image.height, y + band_rows);
    run.band = desc.lineWriter(0, y, image.width, end, image.pixels.data() + row * y);
  }
  run.end = endCompWith(&desc, jpegCompFormats());
  if (desc.handle == -1) run.bytes.assign(memory->begin(), memory->begin() + desc.position);
  EXPECT_EQ(desc.jpegState, nullptr);
  if (run.start == 0 && desc.fastTransform != 0) {
    EXPECT_EQ(desc.fastTransform, jpeg::CpuHasMmx());
  }
  return run;
}

TEST(JpegCompFormat, EveryTagThroughTheBandWriterIntoMemory) {
  const Image gray = MakeCheque(120, 50, 1);
  const Image colour = MakeCheque(120, 50, 3);
  struct Case {
    const char* tag;
    const Image* image;
    uint8_t sof;
    int components;
  } cases[] = {{"JPEGG", &gray, 0xC0, 1},  {"JPEG", &colour, 0xC0, 3}, {"PROGG", &gray, 0xC2, 1},
               {"PROG", &colour, 0xC2, 3}, {"JPEG", &gray, 0xC0, 3},   {"JPEGG", &colour, 0xC0, 1}};
  for (const Case& c : cases) {
    std::vector<uint8_t> memory(1 << 20);
    const CompRun run = Compress(*c.image, c.tag, &memory);
    ASSERT_EQ(run.start, 0) << c.tag;
    ASSERT_EQ(run.band, 0) << c.tag;
    ASSERT_EQ(run.end, 0) << c.tag;
    bool found = false;
    for (const auto& seg : jpeg::testing::WalkMarkers(run.bytes)) {
      if (seg.marker == c.sof) {
        found = true;
        EXPECT_EQ(seg.payload[5], c.components) << c.tag;
      }
    }
    EXPECT_TRUE(found) << c.tag;
    EXPECT_EQ(run.bytes.back(), 0xD9);
  }
}

TEST(JpegCompFormat, MemoryTargetStoresExactlyItsSizeThenFails) {
  const Image image = MakeCheque(640, 200, 3);
  for (const char* tag : {"JPEG", "PROG"}) {
    std::vector<uint8_t> full(1 << 20);
    const CompRun whole = Compress(image, tag, &full);
    ASSERT_EQ(whole.end, 0);
    std::vector<uint8_t> memory(whole.bytes.size() - 100);
    const CompRun cut = Compress(image, tag, &memory);
    EXPECT_EQ(cut.end, -1) << tag;
    EXPECT_EQ(funcGetImgError(), kImgErrWrite) << tag;
    ASSERT_EQ(cut.bytes.size(), memory.size()) << tag;
    EXPECT_TRUE(std::equal(cut.bytes.begin(), cut.bytes.end(), whole.bytes.begin())) << tag;
  }
}

TEST(JpegCompFormat, FileTargetAtAnOffset) {
  const Image image = MakeCheque(64, 40, 1);
  std::vector<uint8_t> memory(1 << 16);
  const CompRun ref = Compress(image, "JPEGG", &memory);
  testkit::ScratchDir dir("zc_jpeg");
  const std::string path = dir.File("out.jpg");
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ImgCompDesc preset;
  funcInitCompDesc(&preset);
  preset.handle = fd;
  preset.startOffset = 100;
  std::vector<uint8_t> unused(1);
  const CompRun run = Compress(image, "JPEGG", &unused, &preset);
  ::close(fd);
  EXPECT_EQ(run.end, 0);
  const std::vector<uint8_t> file = testkit::ReadFileBytes(path);
  ASSERT_EQ(file.size(), 100 + ref.bytes.size());
  EXPECT_TRUE(std::equal(ref.bytes.begin(), ref.bytes.end(), file.begin() + 100));
}

TEST(JpegCompFormat, ProgressiveStoreCallbacksOrTheInternalStore) {
  const Image image = MakeCheque(100, 60, 3);
  std::vector<uint8_t> memory(1 << 20);
  const CompRun internal = Compress(image, "PROG", &memory);
  ASSERT_EQ(internal.end, 0);

  ImgCompDesc preset;
  funcInitCompDesc(&preset);
  preset.mcuAlloc = FakeStore::Alloc;
  preset.mcuGetPtr = FakeStore::Get;
  preset.mcuFree = FakeStore::Free;
  FakeStore::Reset();
  const CompRun callbacks = Compress(image, "PROG", &memory, &preset);
  EXPECT_EQ(callbacks.end, 0);
  EXPECT_EQ(callbacks.bytes, internal.bytes);
  EXPECT_EQ(FakeStore::allocs, 1);
  EXPECT_EQ(FakeStore::frees, 1);
  EXPECT_GT(FakeStore::gets, 0);

  FakeStore::Reset();
  FakeStore::fail_get = true;
  const CompRun failing = Compress(image, "PROG", &memory, &preset);
  EXPECT_EQ(failing.band, 55);
  EXPECT_EQ(failing.end, -1);
  EXPECT_EQ(FakeStore::frees, 1);  // freed on the failure path too

  // 65536 MCUs or more: 2 at the start, with or without callbacks, nothing allocated.
  Image big;
  big.width = big.height = 2048;
  big.pixels.assign(2048 * 2048, 200);
  FakeStore::Reset();
  const CompRun too_big = Compress(big, "PROGG", &memory, &preset);
  EXPECT_EQ(too_big.start, -1);
  EXPECT_EQ(FakeStore::allocs, 0);
  const CompRun too_big_internal = Compress(big, "PROGG", &memory);
  EXPECT_EQ(too_big_internal.start, -1);
}

TEST(JpegCompFormat, StartRefusals) {
  const Image image = MakeCheque(16, 16, 1);
  std::vector<uint8_t> memory(4096);
  ImgCompDesc preset;
  funcInitCompDesc(&preset);
  preset.handle = 0;
  const CompRun handle0 = Compress(image, "JPEGG", &memory, &preset);
  EXPECT_EQ(handle0.start, -1);
  EXPECT_EQ(iImgError, 0);  // cleared again by the end, which has nothing to free
  ImgCompDesc desc;
  funcInitCompDesc(&desc);
  std::strcpy(desc.tag, "JPEGG");
  desc.memAddress = memory.data();
  desc.memSize = 4096;
  desc.handle = 0;
  EXPECT_EQ(funcJpegGrayStartComp(&desc), -1);
  EXPECT_EQ(funcGetImgError(), kImgErrFileHandle);
  desc.handle = -1;
  desc.width = desc.height = 16;
  desc.bitsPerPixel = 8;  // no palette
  EXPECT_EQ(funcJpegGrayStartComp(&desc), -1);
  EXPECT_EQ(funcGetImgError(), 51);
  EXPECT_EQ(funcJpegEndComp(&desc), -1);
  EXPECT_EQ(desc.jpegState, nullptr);
}

}  // namespace
}  // namespace zc::codec
