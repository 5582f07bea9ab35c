// Two threads compressing and decoding different images at once through the codec interface get the
// same bytes, pixels and error codes as one thread doing the same runs alone: the band writers find
// their own run's descriptor, and each thread reads its own last error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "codec/core/img_dispatch.h"
#include "codec/core/img_error.h"

namespace zc::codec {
namespace {

struct Picture {
  int width = 0;
  int height = 0;
  int channels = 1;
  std::vector<uint8_t> pixels;
};

// Gradients, strokes and noise, different for every seed.
Picture MakePicture(int width, int height, int channels, uint32_t seed) {
  Picture p{width, height, channels, std::vector<uint8_t>(static_cast<size_t>(width) * height * channels)};
  uint32_t s = seed * 2654435761u + 1;
  for (size_t i = 0; i < p.pixels.size(); ++i) {
    s = s * 1103515245u + 12345u;
    const int x = static_cast<int>(i / channels) % width;
    const int y = static_cast<int>(i / channels) / width;
    const bool stroke = (x / 4 + y / 3 + static_cast<int>(seed)) % 9 == 0;
    p.pixels[i] =
        stroke ? 20 : static_cast<uint8_t>((x * 3 + y * 2 + static_cast<int>(seed) * 40 + (s >> 28)));
  }
  return p;
}

const uint8_t* GrayRamp() {
  static const std::vector<uint8_t> ramp = [] {
    std::vector<uint8_t> r(768);
    for (size_t i = 0; i < r.size(); ++i) r[i] = static_cast<uint8_t>(i / 3);
    return r;
  }();
  return ramp.data();
}

// What one job gives: the compressed bytes, then the decoded bands (row range and bytes) and the
// codes each step left in the thread's last error.
struct Outcome {
  int compressError = 0;
  std::vector<uint8_t> file;
  int decodeError = 0;
  std::vector<uint8_t> decoded;
  bool operator==(const Outcome&) const = default;
};

struct Job {
  const char* name;
  const char* tag;
  Picture picture;
  size_t keepBytes = 0;  // when not 0, only this much of the file is decoded (a truncated file)
};

int Collect(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows, uintptr_t user) {
  auto* run = reinterpret_cast<std::pair<std::vector<uint8_t>*, int>*>(user);
  const size_t bytes = static_cast<size_t>(endCol - firstCol) * static_cast<size_t>(endRow - firstRow) *
                       static_cast<size_t>(run->second);
  for (int v : {firstCol, firstRow, endCol, endRow}) run->first->push_back(static_cast<uint8_t>(v));
  run->first->insert(run->first->end(), rows, rows + bytes);
  return 0;
}

Outcome RunJob(const Job& job) {
  Outcome out;
  const Picture& p = job.picture;
  std::vector<uint8_t> memory(static_cast<size_t>(p.width) * p.height * 4 + 8192);
  ImgCompDesc c;
  funcInitCompDesc(&c);
  std::strncpy(c.tag, job.tag, sizeof c.tag - 1);
  c.memAddress = memory.data();
  c.memSize = static_cast<int32_t>(memory.size());
  c.colorModel = p.channels == 1 ? 1 : 0;
  c.width = static_cast<uint16_t>(p.width);
  c.height = static_cast<uint16_t>(p.height);
  c.rowsPerBand = 8;
  c.bitsPerPixel = static_cast<uint16_t>(8 * p.channels);
  c.palette = p.channels == 1 ? GrayRamp() : nullptr;
  c.quality = 80;
  c.jfifFlag = 1;
  // Small bands, each yielding the processor, so the two threads' runs interleave band by band.
  bool ok = funcInitComp(&c) == 0;
  const size_t row = static_cast<size_t>(p.width) * p.channels;
  for (int y = 0; ok && y < p.height; y += 8) {
    const int end = std::min(p.height, y + 8);
    ok = c.lineWriter(0, y, p.width, end, p.pixels.data() + row * y) == 0;
    std::this_thread::yield();
  }
  ok = funcEndComp(&c) == 0 && ok;
  out.compressError = iImgError;
  if (!ok) return out;
  out.file.assign(memory.begin(), memory.begin() + c.position);

  const size_t size = job.keepBytes != 0 ? job.keepBytes : out.file.size();
  std::vector<uint8_t> palette(768, 0);
  ImgDecompDesc d;
  funcInitDecompDesc(&d);
  d.memAddress = out.file.data();
  d.memSize = static_cast<int32_t>(size);
  d.palette = palette.data();
  d.outputColorMode = p.channels == 3 ? 3 : 0;
  std::pair<std::vector<uint8_t>*, int> sink{&out.decoded, p.channels};
  d.userValue = reinterpret_cast<uintptr_t>(&sink);
  d.display = Collect;
  if (funcInitDecomp(&d) >= 0) funcDecomp(&d);
  out.decodeError = iImgError;
  return out;
}

TEST(CodecThreads, TwoThreadsCompressingAndDecodingAtOnceGetWhatOneThreadGets) {
  // Different images and formats per thread; the second thread ends on a truncated file, whose error
  // must stay its own.
  const std::vector<Job> first = {
      {"colour baseline", "JPEG", MakePicture(96, 64, 3, 1)},
      {"gray GIF", "GIF", MakePicture(120, 40, 1, 2)},
      {"gray progressive", "PROGG", MakePicture(80, 72, 1, 3)},
  };
  const std::vector<Job> second = {
      {"gray BMP", "BMP", MakePicture(64, 90, 1, 4)},
      {"gray baseline", "JPEGG", MakePicture(112, 48, 1, 5)},
      {"gray PCX", "PCX", MakePicture(72, 56, 1, 6)},
      {"truncated colour progressive", "PROG", MakePicture(64, 64, 3, 7), 300},
  };
  auto runAll = [](const std::vector<Job>& jobs) {
    std::vector<Outcome> out;
    for (const Job& job : jobs) out.push_back(RunJob(job));
    return out;
  };
  const std::vector<Outcome> alone1 = runAll(first);
  const std::vector<Outcome> alone2 = runAll(second);
  for (size_t i = 0; i < alone1.size(); ++i) {
    ASSERT_EQ(alone1[i].compressError, 0) << first[i].name;
    ASSERT_EQ(alone1[i].decodeError, 0) << first[i].name;
    ASSERT_FALSE(alone1[i].decoded.empty()) << first[i].name;
  }
  ASSERT_NE(alone2.back().decodeError, 0) << "the truncated file must fail";

  constexpr int kRounds = 40;
  std::vector<std::string> mismatches1, mismatches2;
  auto repeat = [&](const std::vector<Job>& jobs, const std::vector<Outcome>& alone,
                    std::vector<std::string>* mismatches) {
    for (int round = 0; round < kRounds; ++round) {
      for (size_t i = 0; i < jobs.size(); ++i) {
        if (!(RunJob(jobs[i]) == alone[i])) mismatches->push_back(jobs[i].name);
      }
    }
  };
  std::thread t1(repeat, std::cref(first), std::cref(alone1), &mismatches1);
  std::thread t2(repeat, std::cref(second), std::cref(alone2), &mismatches2);
  t1.join();
  t2.join();
  EXPECT_TRUE(mismatches1.empty()) << mismatches1.size() << " runs differ, first: " << mismatches1.front();
  EXPECT_TRUE(mismatches2.empty()) << mismatches2.size() << " runs differ, first: " << mismatches2.front();
}

}  // namespace
}  // namespace zc::codec
