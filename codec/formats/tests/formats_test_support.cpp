// Test helpers of the raster formats.
#include "codec/formats/tests/formats_test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "codec/core/img_dispatch.h"
#include "codec/core/img_error.h"
#include "codec/formats/raster_formats.h"
#include "codec/jpeg/decoder/jpeg_decomp_format.h"
#include "testkit/support/pnm.h"

namespace zc::codec::test {
namespace {

std::vector<ImgDecompFormat> decompRows() {
  return {bmpDecompFormat(),  gifDecompFormat(),  pcxDecompFormat(),
          jpegDecompFormat(), tiffDecompFormat(), lzwDecompFormat()};
}

DecodeResult* gResult = nullptr;
int gChannels = 1;
bool gRefuse = false;

int collect(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows, uintptr_t) {
  DecodeResult& r = *gResult;
  r.bands.push_back({firstRow, endRow, endCol});
  Picture& p = r.picture;
  const size_t rowBytes = static_cast<size_t>(endCol - firstCol) * gChannels;
  for (int y = firstRow; y < endRow; ++y) {
    if (y < 0 || y >= p.height || endCol != p.width) continue;
    std::memcpy(&p.pixels[static_cast<size_t>(y) * rowBytes], rows + (y - firstRow) * rowBytes, rowBytes);
  }
  return gRefuse ? 1 : 0;
}

DecodeResult runDecode(ImgDecompDesc& d, const DecodeOptions& o) {
  DecodeResult r;
  std::vector<uint8_t> palette(768, o.paletteFill);
  d.palette = o.palette ? palette.data() : nullptr;
  d.outputColorMode = o.outputColorMode;
  d.ditherMode = o.ditherMode;
  d.tiffPage = o.tiffPage;
  d.colors = o.colors;
  const auto rows = decompRows();
  r.initResult = initDecompWith(&d, rows);
  r.error = iImgError;
  r.tag = std::string(d.tag, strnlen(d.tag, sizeof(d.tag)));
  r.width = d.width;
  r.height = d.height;
  r.bits = d.bitsPerPixel;
  if (r.initResult < 0) return r;
  d.windowTop = o.top;
  d.windowLeft = o.left;
  d.windowWidth = o.width;
  d.windowHeight = o.height;
  d.display = collect;
  const bool rgb = (d.bitsPerPixel == 24 && (o.outputColorMode == 3 || o.outputColorMode == 4));
  gChannels = rgb ? 3 : 1;
  const int w = o.width ? o.width : d.width - o.left;
  const int h = o.height ? o.height : d.height - o.top;
  r.picture = {std::max(w, 0), std::max(h, 0), gChannels,
               std::vector<uint8_t>(static_cast<size_t>(std::max(w, 0)) * std::max(h, 0) * gChannels)};
  gResult = &r;
  gRefuse = o.refuseDisplay;
  r.decodeResult = decompWith(&d, rows);
  gResult = nullptr;
  r.error = iImgError;
  r.palette = palette;
  r.paletteFilled = d.paletteFilled != 0;
  return r;
}

}  // namespace

Picture makePicture(int width, int height, int channels, int bits, uint32_t seed) {
  Picture p{width, height, channels, std::vector<uint8_t>(static_cast<size_t>(width) * height * channels)};
  uint32_t s = seed * 2654435761u + 7;
  const int mask = channels == 3 ? 255 : (1 << bits) - 1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      s = s * 1103515245u + 12345u;
      const bool stroke = (x / 3 + y / 5) % 11 == 0 || y % 13 == 3;
      for (int c = 0; c < channels; ++c) {
        int v = (x * (3 + c) + y * (5 + 2 * c)) / 4;
        if ((s >> 20) % 7 == 0) v = static_cast<int>(s >> 8);
        if (stroke) v = c * 77;
        p.pixels[(static_cast<size_t>(y) * width + x) * channels + c] = static_cast<uint8_t>(v & mask);
      }
    }
  }
  return p;
}

std::vector<uint8_t> makePalette() {
  std::vector<uint8_t> pal(768);
  for (int i = 0; i < 256; ++i) {
    pal[3 * i] = static_cast<uint8_t>(i);
    pal[3 * i + 1] = static_cast<uint8_t>(255 - i);
    pal[3 * i + 2] = static_cast<uint8_t>((i * 7) & 255);
  }
  return pal;
}

bool writePnm(const std::string& path, const Picture& p) {
  return testkit::WritePnm(path, p.channels == 3 ? testkit::PnmFormat::kColor : testkit::PnmFormat::kGray,
                           p.width, p.height, p.pixels);
}

bool readPnm(const std::string& path, Picture* p) {
  const std::optional<testkit::PnmImage> pnm = testkit::ReadPnm(path);
  if (!pnm || (pnm->maxval != 1 && pnm->maxval != 255)) return false;
  p->width = pnm->width;
  p->height = pnm->height;
  p->channels = pnm->channels();
  p->pixels = pnm->format == testkit::PnmFormat::kBitmap ? testkit::UnpackBitmap(*pnm) : pnm->raster;
  return true;
}

Picture expand(const Picture& in, const std::vector<uint8_t>& palette) {
  Picture out{in.width, in.height, 3, std::vector<uint8_t>(in.pixels.size() * 3)};
  for (size_t i = 0; i < in.pixels.size(); ++i)
    std::memcpy(&out.pixels[3 * i], &palette[3 * in.pixels[i]], 3);
  return out;
}

std::vector<uint8_t> encode(const char* tag, const Picture& p, int bits, const uint8_t* palette,
                            int rowsPerBand, uint16_t dpi) {
  std::vector<uint8_t> out(static_cast<size_t>(p.width) * p.height * 4 + 4096);
  ImgCompDesc d;
  funcInitCompDesc(&d);
  d.memAddress = out.data();
  d.memSize = static_cast<int32_t>(out.size());
  std::strncpy(d.tag, tag, sizeof(d.tag) - 1);
  d.colorModel = 1;
  d.width = static_cast<uint16_t>(p.width);
  d.height = static_cast<uint16_t>(p.height);
  d.rowsPerBand = static_cast<uint16_t>(rowsPerBand);
  d.bitsPerPixel = static_cast<uint16_t>(bits);
  d.palette = palette;
  d.densityX = d.densityY = dpi;
  bool ok = initCompWith(&d, rasterCompFormats()) >= 0;
  const size_t rowBytes = static_cast<size_t>(p.width) * p.channels;
  uint32_t end = d.position;  // BMP bands land bottom-up: the file ends at the furthest write
  for (int y = 0; ok && y < p.height; y += rowsPerBand) {
    const int last = std::min(p.height, y + rowsPerBand);
    ok = d.lineWriter(0, y, p.width, last, p.pixels.data() + y * rowBytes) == 0;
    end = std::max(end, d.position);
  }
  const int error = iImgError;
  const bool ended = endCompWith(&d, rasterCompFormats()) >= 0;
  if (!ok || !ended) {
    iImgError = ok ? iImgError : error;
    return {};
  }
  out.resize(std::max(end, d.position));
  return out;
}

DecodeResult decode(const std::vector<uint8_t>& bytes, const DecodeOptions& options) {
  ImgDecompDesc d;
  funcInitDecompDesc(&d);
  d.memAddress = bytes.data();
  d.memSize = static_cast<int32_t>(bytes.size());
  return runDecode(d, options);
}

DecodeResult decodeFile(const std::string& path, const DecodeOptions& options) {
  ImgDecompDesc d;
  funcInitDecompDesc(&d);
  d.handle = ::open(path.c_str(), O_RDONLY);
  DecodeResult r = runDecode(d, options);
  if (d.handle >= 0) ::close(d.handle);
  return r;
}

}  // namespace zc::codec::test
