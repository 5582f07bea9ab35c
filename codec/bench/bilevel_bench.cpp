// G4 coding speed beside libtiff's CCITT coder (in memory, same pages, same binary):
// encode into memory, full-page decode at 1:1 paired with libtiff in every iteration
// (bench/paired_timing.h; "speed" is the median of libtiff's time / ours), plus the display
// cases of the decoder (fit-to-window zoom and a quarter turn). Counters: Mpx/s and output bytes.
//
// Both encoders are timed on the strip alone: libtiff's file is opened and its directory written
// outside the timed loop, which rewrites the same strip in place, as ours writes raw strips.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/paired_timing.h"
#include "codec/bilevel/fax_decoder.h"
#include "codec/bilevel/fax_encoder.h"
#include "codec/bilevel/view_transform.h"
#include "testkit/cheque/cheque_image.h"

namespace {

using zc::testkit::BilevelImage;

// Thresholds a page at the level that makes about `fraction` of it black.
BilevelImage thresholdToFraction(const zc::testkit::GrayImage& gray, double fraction) {
  size_t histogram[256] = {};
  for (uint8_t v : gray.pixels) ++histogram[v];
  size_t black = 0;
  int level = 0;
  for (; level < 255; ++level) {
    black += histogram[level];
    if (static_cast<double>(black) >= fraction * static_cast<double>(gray.pixels.size())) break;
  }
  return zc::testkit::thresholdImage(gray, level);
}

// Page index: 0 business 300 dpi thresholded, 1 business 300 dpi dithered, 2 personal 200 dpi thresholded,
// 3 business 300 dpi thresholded dark (about 9 % black, a dense real page).
const BilevelImage& page(int index) {
  static std::map<int, BilevelImage> pages;
  auto it = pages.find(index);
  if (it != pages.end()) return it->second;
  zc::testkit::ChequeSpec params;
  if (index < 2 || index == 3) {
    params.dpi = 300;
    params.widthInches = 8.75;
    params.heightInches = 3.75;
  }
  const auto gray = zc::testkit::makeChequeGray(params);
  if (index == 3) return pages[index] = thresholdToFraction(gray, 0.09);
  return pages[index] = index == 1 ? zc::testkit::ditherImage(gray) : zc::testkit::thresholdImage(gray);
}

// Encodes into `out`; the bytes written.
size_t ourEncodeInto(const BilevelImage& img, std::vector<uint8_t>& out) {
  zc::codec::FaxEncodeCtx ctx{};
  std::strcpy(ctx.outputName, zc::codec::kFaxMemoryOutputName);
  ctx.mode = 1;
  ctx.width = img.width;
  ctx.outputStart = reinterpret_cast<uintptr_t>(out.data());
  ctx.outputLimit = reinterpret_cast<uintptr_t>(out.data() + out.size());
  zc::codec::funcFaxEncodeOpen(&ctx);
  for (int y = 0; y < img.height; ++y) zc::codec::funcFaxEncodeLine(&ctx, img.row(y));
  zc::codec::funcFaxEncodeClose(&ctx);
  return ctx.bytesDelivered;
}

std::vector<uint8_t> ourEncode(const BilevelImage& img, std::vector<uint8_t>& out) {
  const size_t n = ourEncodeInto(img, out);
  return std::vector<uint8_t>(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
}

// libtiff over a growable memory buffer.
struct MemFile {
  std::vector<uint8_t> data;
  toff_t pos = 0;
};
tsize_t memRead(thandle_t h, tdata_t buf, tsize_t n) {
  auto* f = static_cast<MemFile*>(h);
  const tsize_t avail = static_cast<tsize_t>(f->data.size()) - static_cast<tsize_t>(f->pos);
  const tsize_t k = std::max<tsize_t>(0, std::min(n, avail));
  std::memcpy(buf, f->data.data() + f->pos, static_cast<size_t>(k));
  f->pos += static_cast<toff_t>(k);
  return k;
}
tsize_t memWrite(thandle_t h, tdata_t buf, tsize_t n) {
  auto* f = static_cast<MemFile*>(h);
  if (f->pos + static_cast<toff_t>(n) > f->data.size()) f->data.resize(f->pos + static_cast<toff_t>(n));
  std::memcpy(f->data.data() + f->pos, buf, static_cast<size_t>(n));
  f->pos += static_cast<toff_t>(n);
  return n;
}
toff_t memSeek(thandle_t h, toff_t off, int whence) {
  auto* f = static_cast<MemFile*>(h);
  if (whence == SEEK_SET) f->pos = off;
  if (whence == SEEK_CUR) f->pos += off;
  if (whence == SEEK_END) f->pos = f->data.size() + off;
  return f->pos;
}
int memClose(thandle_t) {
  return 0;
}
toff_t memSize(thandle_t h) {
  return static_cast<MemFile*>(h)->data.size();
}
int memMap(thandle_t, tdata_t*, toff_t*) {
  return 0;
}
void memUnmap(thandle_t, tdata_t, toff_t) {}

TIFF* openMem(MemFile& f, const char* mode) {
  return TIFFClientOpen("mem", mode, &f, memRead, memWrite, memSeek, memClose, memSize, memMap, memUnmap);
}

TIFF* tiffOpenForStrip(const BilevelImage& img, MemFile& f) {
  f.data.clear();
  f.pos = 0;
  TIFF* t = openMem(f, "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, img.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, img.height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, img.height);
  return t;
}

tmsize_t tiffWriteStrip(TIFF* t, const BilevelImage& img) {
  return TIFFWriteEncodedStrip(t, 0, const_cast<uint8_t*>(img.rows.data()), static_cast<tmsize_t>(img.rows.size()));
}

void tiffEncode(const BilevelImage& img, MemFile& f) {
  TIFF* t = tiffOpenForStrip(img, f);
  tiffWriteStrip(t, img);
  TIFFClose(t);
}

void setCounters(benchmark::State& state, const BilevelImage& img, size_t bytes) {
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(img.width) * img.height * 1e-6,
                                               benchmark::Counter::kIsIterationInvariantRate);
  state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_G4EncodeOurs(benchmark::State& state) {
  const BilevelImage& img = page(static_cast<int>(state.range(0)));
  std::vector<uint8_t> out(img.rows.size() * 4 + 65536);
  size_t bytes = 0;
  for (auto _ : state) bytes = ourEncodeInto(img, out);
  setCounters(state, img, bytes);
}

void BM_G4EncodeLibtiff(benchmark::State& state) {
  const BilevelImage& img = page(static_cast<int>(state.range(0)));
  MemFile f;
  f.data.reserve(img.rows.size() * 4);
  TIFFSetWarningHandler(nullptr);
  TIFF* t = tiffOpenForStrip(img, f);
  for (auto _ : state) {
    if (tiffWriteStrip(t, img) < 0) {
      state.SkipWithError("libtiff refused the strip");
      break;
    }
  }
  TIFFClose(t);
  setCounters(state, img, f.data.size());  // the whole file: the strip, its header and directory
}

// Full-page decode at 1:1 into a page buffer, strips placed as the page loaders place them.
size_t ourDecode(const std::vector<uint8_t>& data, const BilevelImage& img, std::vector<uint8_t>& pageBuf,
                 int windowWidth, int windowHeight, int zoom, int rotation) {
  zc::codec::ImageView v{};
  v.fileHandle = -1;
  v.stripOffset = reinterpret_cast<uintptr_t>(data.data());
  v.stripByteCount = static_cast<uint32_t>(data.size());
  v.width = img.width;
  v.length = img.height;
  v.windowWidth = windowWidth;
  v.windowHeight = windowHeight;
  v.zoomX = v.zoomY = zoom;
  v.rotation = rotation;
  v.decoderMode = 1;
  v.optionFlags = zc::codec::kViewOptStart;
  const size_t stride = static_cast<size_t>(windowWidth) / 8;
  size_t strips = 0;
  while (zc::codec::funcFaxDecodeLines(&v) == zc::codec::kFaxStripReady) {
    zc::codec::ViewStripPlacement p{};
    zc::codec::funcViewGetState(&v, &p);
    const size_t rowBytes = static_cast<size_t>(p.width) / 8;
    for (int r = 0; r < p.height; ++r) {
      std::memcpy(pageBuf.data() + (p.y + r) * stride + p.x / 8, v.stripBuffer + r * rowBytes, rowBytes);
    }
    ++strips;
  }
  return strips;
}

// Full-page decode at 1:1 paired with libtiff (bench/paired_timing.h): ours delivers strips that are
// placed in a page buffer, libtiff decodes its strip into one; both pages must equal the image.
void BM_G4DecodePaired(benchmark::State& state) {
  const BilevelImage& img = page(static_cast<int>(state.range(0)));
  std::vector<uint8_t> scratch(img.rows.size() * 4 + 65536);
  const std::vector<uint8_t> data = ourEncode(img, scratch);
  const int ww = (img.width + 7) / 8 * 8;
  const int wh = (img.height + 7) / 8 * 8;
  std::vector<uint8_t> ourPage(static_cast<size_t>(ww / 8) * wh);
  MemFile f;
  tiffEncode(img, f);
  std::vector<uint8_t> peerPage(img.rows.size());
  // Opened once, as ours decodes a strip it has been handed; each pass decodes the strip again.
  f.pos = 0;
  TIFFSetWarningHandler(nullptr);
  TIFF* t = openMem(f, "r");
  size_t strips = 0;
  tmsize_t peerBytes = 0;
  // Each check clears the page after it, so the next pass must write the whole page again (libtiff
  // leaves the bits past the width as they are: its page is cleared to 0).
  const auto checkAndClear = [&img](std::vector<uint8_t>& p, uint8_t fill) {
    const bool same = std::equal(img.rows.begin(), img.rows.end(), p.begin());
    std::memset(p.data(), fill, p.size());
    return same;
  };
  std::memset(ourPage.data(), 0xA5, ourPage.size());
  zc::bench::RunPaired(
      state, [&] { strips = ourDecode(data, img, ourPage, ww, wh, 2048, 0); },
      [&] { return strips > 0 && checkAndClear(ourPage, 0xA5); },
      [&] {
        peerBytes = TIFFReadEncodedStrip(t, 0, peerPage.data(), static_cast<tmsize_t>(peerPage.size()));
      },
      [&] { return peerBytes == static_cast<tmsize_t>(peerPage.size()) && checkAndClear(peerPage, 0); });
  TIFFClose(t);
  setCounters(state, img, data.size());
}

void BM_G4DecodeFitWindow(benchmark::State& state) {
  const BilevelImage& img = page(static_cast<int>(state.range(0)));
  std::vector<uint8_t> scratch(img.rows.size() * 4 + 65536);
  const std::vector<uint8_t> data = ourEncode(img, scratch);
  const int ww = (img.width / 4 + 7) / 8 * 8;
  const int wh = img.height / 4;
  std::vector<uint8_t> pageBuf(static_cast<size_t>(ww / 8) * wh + 64);
  for (auto _ : state) benchmark::DoNotOptimize(ourDecode(data, img, pageBuf, ww, wh, 512, 0));
  setCounters(state, img, data.size());
}

void BM_G4DecodeRotated(benchmark::State& state) {
  const BilevelImage& img = page(static_cast<int>(state.range(0)));
  std::vector<uint8_t> scratch(img.rows.size() * 4 + 65536);
  const std::vector<uint8_t> data = ourEncode(img, scratch);
  const int ww = img.height / 8 * 8;  // rotated: the window width runs along the image's y axis
  const int wh = img.width / 8 * 8;
  std::vector<uint8_t> pageBuf(static_cast<size_t>(ww / 8) * wh + 64);
  for (auto _ : state) benchmark::DoNotOptimize(ourDecode(data, img, pageBuf, ww, wh, 2048, 1));
  setCounters(state, img, data.size());
}

BENCHMARK(BM_G4EncodeOurs)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_G4EncodeLibtiff)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_G4DecodePaired)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_G4DecodeFitWindow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_G4DecodeRotated)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
