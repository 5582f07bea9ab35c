// Helpers of the bilevel codec tests.
#include "codec/tests/bilevel_test_support.h"

#include <cstring>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "codec/bilevel/fax_decoder.h"
#include "codec/bilevel/fax_encoder.h"
#include "codec/bilevel/view_transform.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/pnm.h"

namespace zc::codec::test {

std::vector<uint8_t> encodeToMemory(const BilevelImage& img, const EncodeOptions& opt) {
  std::vector<uint8_t> out(static_cast<size_t>(img.width + 64) * (img.height + 2) + 65536);
  FaxEncodeCtx ctx{};
  std::strcpy(ctx.outputName, "MEMORYDIRECT");
  ctx.mode = opt.mode;
  ctx.width = img.width;
  ctx.outputStart = reinterpret_cast<uintptr_t>(out.data());
  ctx.outputLimit = reinterpret_cast<uintptr_t>(out.data() + out.size());
  ctx.fillOrder = opt.fillOrder;
  ctx.k = opt.k;
  ctx.minLineBits = opt.minLineBits;
  if (funcFaxEncodeOpen(&ctx) != 0) throw std::runtime_error("encoder did not open");
  for (int y = 0; y < img.height; ++y) funcFaxEncodeLine(&ctx, img.row(y));
  if (funcFaxEncodeClose(&ctx) != 0) throw std::runtime_error("encoder output did not fit");
  out.resize(ctx.bytesDelivered);
  return out;
}

DecodeResult decodeView(ImageView& v) {
  DecodeResult result;
  const int ww = v.windowWidth;
  const int wh = v.windowHeight - (v.rotation != 0 ? v.windowHeight % 8 : 0);
  std::vector<uint8_t> window(static_cast<size_t>(ww / 8) * wh);
  v.optionFlags |= kViewOptStart;
  for (;;) {
    const int r = funcFaxDecodeLines(&v);
    if (r != kFaxStripReady) {
      if (r != kFaxAllDelivered) result.errorCode = -r;
      break;
    }
    ++result.strips;
    ViewStripPlacement p{};
    funcViewGetState(&v, &p);
    if (p.x < 0 || p.y < 0 || p.x + p.width > ww || p.y + p.height > wh || p.x % 8 != 0) {
      throw std::runtime_error("strip placed outside the window");
    }
    const int stripStride = p.width / 8;
    for (int row = 0; row < p.height; ++row) {
      std::memcpy(window.data() + static_cast<size_t>(p.y + row) * (ww / 8) + p.x / 8,
                  v.stripBuffer + static_cast<size_t>(row) * stripStride, static_cast<size_t>(stripStride));
    }
    if (v.errorCode != 0) {
      result.errorCode = v.errorCode;
      result.errorLine = v.errorLine;
    }
  }
  if (v.errorCode != 0 && result.errorCode == 0) {
    result.errorCode = v.errorCode;
    result.errorLine = v.errorLine;
  }
  result.image = BilevelImage(ww, wh);
  for (int y = 0; y < wh; ++y) {
    std::memcpy(result.image.row(y), window.data() + static_cast<size_t>(y) * (ww / 8),
                static_cast<size_t>(ww / 8));
  }
  return result;
}

DecodeResult decodePage(const std::vector<uint8_t>& data, int width, int height, int decoderMode,
                        int fillOrder) {
  // A copy of exactly the data's size, so a read past it shows under the sanitizers.
  std::vector<uint8_t> exact(data);
  ImageView v{};
  v.fileHandle = -1;
  v.stripOffset = reinterpret_cast<uintptr_t>(exact.data());
  v.stripByteCount = static_cast<uint32_t>(exact.size());
  v.width = width;
  v.length = height;
  v.windowWidth = (width + 7) / 8 * 8;
  v.windowHeight = (height + 7) / 8 * 8;
  v.zoomX = v.zoomY = 2048;
  v.decoderMode = decoderMode;
  v.fillOrder = fillOrder;
  DecodeResult r = decodeView(v);
  BilevelImage cropped(width, height);
  for (int y = 0; y < height; ++y) {
    std::memcpy(cropped.row(y), r.image.row(y), static_cast<size_t>(cropped.stride));
    // Bits past the width belong to the window, not the image.
    if (width % 8 != 0) cropped.row(y)[cropped.stride - 1] &= static_cast<uint8_t>(0xFF00 >> (width % 8));
  }
  r.image = std::move(cropped);
  return r;
}

void writePbm(const std::filesystem::path& path, const BilevelImage& img) {
  testkit::WritePnm(path, testkit::PnmFormat::kBitmap, img.width, img.height, img.rows);
}

BilevelImage readPbm(const std::filesystem::path& path) {
  const std::optional<testkit::PnmImage> pnm = testkit::ReadPnm(path);
  if (!pnm || pnm->format != testkit::PnmFormat::kBitmap)
    throw std::runtime_error("not a raw PBM: " + path.string());
  BilevelImage img(pnm->width, pnm->height);
  img.rows = pnm->raster;
  return img;
}

namespace {
void put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
}  // namespace

void writeTiff(const std::filesystem::path& path, int width, int height, int compression,
               const std::vector<uint8_t>& data) {
  std::vector<uint8_t> b = {'I', 'I', 42, 0};
  const uint32_t dataOffset = 8;
  put32(b, dataOffset + static_cast<uint32_t>(data.size()) + (data.size() & 1));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() & 1) b.push_back(0);
  struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t value;
  };
  const Entry entries[] = {
      {256, 4, static_cast<uint32_t>(width)},
      {257, 4, static_cast<uint32_t>(height)},
      {258, 3, 1},
      {259, 3, static_cast<uint32_t>(compression)},
      {262, 3, 0},
      {273, 4, dataOffset},
      {277, 3, 1},
      {278, 4, static_cast<uint32_t>(height)},
      {279, 4, static_cast<uint32_t>(data.size())},
  };
  put16(b, static_cast<uint32_t>(std::size(entries)));
  for (const Entry& e : entries) {
    put16(b, e.tag);
    put16(b, e.type);
    put32(b, 1);
    if (e.type == 3) {
      put16(b, e.value);
      put16(b, 0);
    } else {
      put32(b, e.value);
    }
  }
  put32(b, 0);
  testkit::WriteFileBytes(path, b);
}

TiffStrips readTiffStrips(const std::vector<uint8_t>& f) {
  if (f.size() < 8) throw std::runtime_error("short TIFF");
  const bool le = f[0] == 'I';
  auto u16 = [&](size_t o) -> uint32_t {
    if (o + 2 > f.size()) throw std::runtime_error("TIFF offset out of range");
    return le ? f[o] | (f[o + 1] << 8) : (f[o] << 8) | f[o + 1];
  };
  auto u32 = [&](size_t o) -> uint32_t {
    return le ? u16(o) | (u16(o + 2) << 16) : (u16(o) << 16) | u16(o + 2);
  };
  TiffStrips t;
  const size_t ifd = u32(4);
  const uint32_t n = u16(ifd);
  for (uint32_t i = 0; i < n; ++i) {
    const size_t e = ifd + 2 + 12 * i;
    const uint32_t tag = u16(e);
    const uint32_t type = u16(e + 2);
    const uint32_t count = u32(e + 4);
    const size_t size = type == 3 ? 2 : 4;
    const size_t base = count * size > 4 ? u32(e + 8) : e + 8;
    auto value = [&](uint32_t k) { return type == 3 ? u16(base + 2 * k) : u32(base + 4 * k); };
    switch (tag) {
      case 256:
        t.width = static_cast<int>(value(0));
        break;
      case 257:
        t.height = static_cast<int>(value(0));
        break;
      case 259:
        t.compression = static_cast<int>(value(0));
        break;
      case 262:
        t.photometric = static_cast<int>(value(0));
        break;
      case 266:
        t.fillOrder = static_cast<int>(value(0));
        break;
      case 278:
        t.rowsPerStrip = static_cast<int>(value(0));
        break;
      case 292:
        t.t4Options = value(0);
        break;
      case 273:
        for (uint32_t k = 0; k < count; ++k) t.offsets.push_back(value(k));
        break;
      case 279:
        for (uint32_t k = 0; k < count; ++k) t.counts.push_back(value(k));
        break;
      default:
        break;
    }
  }
  if (t.rowsPerStrip == 0) t.rowsPerStrip = t.height;
  return t;
}

std::string firstDifference(const BilevelImage& expected, const BilevelImage& actual) {
  std::ostringstream s;
  if (expected.width != actual.width || expected.height != actual.height) {
    s << "size " << actual.width << "x" << actual.height << ", expected " << expected.width << "x"
      << expected.height;
    return s.str();
  }
  for (int y = 0; y < expected.height; ++y) {
    for (int x = 0; x < expected.width; ++x) {
      if (expected.black(x, y) != actual.black(x, y)) {
        s << "first difference at x=" << x << " y=" << y;
        return s.str();
      }
    }
  }
  return "images equal";
}

}  // namespace zc::codec::test
