// Scaled geometry, band planes and band delivery for the JPEG decoders.
#include "codec/jpeg/decoder/jpeg_output.h"

#include <algorithm>
#include <cstring>

#include "codec/jpeg/decoder/jpeg_error.h"
#include "codec/jpeg/decoder/jpeg_gray_map.h"

namespace zc::jpegdec {
namespace {

// Output size of n input pixels at scale s (1/2048), rounded up.
int64_t Scaled(int64_t n, uint32_t s) {
  return (n * s + 2047) >> 11;
}

// Bounds for what one band may occupy; larger requests are refused rather than allocated.
constexpr int64_t kMaxOutputSide = 65535;
constexpr int64_t kMaxPlaneBytes = int64_t{1} << 26;

}  // namespace

Geometry ComputeGeometry(const JpegHeaders& hdr, const OutputRequest& req) {
  Geometry g;
  const int nc = hdr.ncomp;
  for (int c = 0; c < nc; ++c) {
    g.hmax = std::max<int>(g.hmax, hdr.comp[c].h);
    g.vmax = std::max<int>(g.vmax, hdr.comp[c].v);
  }
  g.mcu_w = 8 * g.hmax;
  g.mcu_h = 8 * g.vmax;
  g.mcus_x = (hdr.width + g.mcu_w - 1) / g.mcu_w;
  g.mcus_y = (hdr.height + g.mcu_h - 1) / g.mcu_h;
  g.total_mcus = static_cast<uint32_t>(g.mcus_x) * static_cast<uint32_t>(g.mcus_y);
  for (int c = 0; c < nc; ++c) {
    const JpegComponent& comp = hdr.comp[c];
    g.comp_h[c] = comp.h;
    g.comp_v[c] = comp.v;
    g.mcu_offset[c] = g.blocks_per_mcu;
    g.blocks_per_mcu += comp.h * comp.v;
    int cw = (hdr.width * comp.h + g.hmax - 1) / g.hmax;
    int ch = (hdr.height * comp.v + g.vmax - 1) / g.vmax;
    g.blocks_x[c] = (cw + 7) / 8;
    g.blocks_y[c] = (ch + 7) / 8;
  }

  g.kind = nc == 1 ? uint8_t{kKindGray} : (req.kind > kKindRgbSwap ? uint8_t{kKindMapped} : req.kind);
  uint32_t xs = req.xscale ? req.xscale : 2048;
  uint32_t ys = req.yscale ? req.yscale : 2048;
  int eff_w = 0, eff_h = 0;
  for (int c = 0; c < nc; ++c) {
    g.hs[c] = ChooseAxisStore(xs * g.hmax / hdr.comp[c].h, kErrScaleX);
    g.vs[c] = ChooseAxisStore(ys * g.vmax / hdr.comp[c].v, kErrScaleY);
    eff_w = std::max(eff_w, hdr.comp[c].h * g.hs[c].OutSize());
    eff_h = std::max(eff_h, hdr.comp[c].v * g.vs[c].OutSize());
  }
  // The planes hold what the block stores actually write, which for scales that are not exact powers of
  // two can be wider than the nominal scaled size.
  int64_t stride = std::max<int64_t>(Scaled(int64_t{g.mcus_x} * g.mcu_w, xs), int64_t{g.mcus_x} * eff_w);
  int64_t band_h = std::max<int64_t>(Scaled(g.mcu_h, ys), eff_h);
  if (stride > kMaxOutputSide * 8 || stride * band_h > kMaxPlaneBytes) Fail(kErrTooLarge);
  g.stride = static_cast<int>(stride);
  g.band_h = static_cast<int>(band_h);

  if (req.top >= hdr.height || req.left >= hdr.width) Fail(kErrWindow);
  g.win_top = static_cast<int>(Scaled(req.top, ys));
  g.win_left = static_cast<int>(Scaled(req.left, xs));
  int64_t max_w = std::min<int64_t>(Scaled(hdr.width - req.left, xs), stride - g.win_left);
  int64_t max_h = std::min<int64_t>(Scaled(hdr.height - req.top, ys), int64_t{g.mcus_y} * band_h - g.win_top);
  int64_t out_w = req.width ? std::min<int64_t>(req.width, max_w) : max_w;
  int64_t out_h = req.height ? std::min<int64_t>(req.height, max_h) : max_h;
  if (out_w > kMaxOutputSide || out_h > kMaxOutputSide) Fail(kErrTooLarge);
  g.out_w = static_cast<int>(std::max<int64_t>(out_w, 0));
  g.out_h = static_cast<int>(std::max<int64_t>(out_h, 0));
  return g;
}

BandOutput::BandOutput(const JpegHeaders& hdr, const Geometry& geo, const OutputRequest& req,
                       BandMapper* mapper, DisplaySink sink)
    : geo_(geo), sink_(std::move(sink)) {
  used_components_ = geo.kind == kKindGray ? 1 : hdr.ncomp;
  const size_t plane = static_cast<size_t>(geo.stride) * geo.band_h + 32;
  for (int c = 0; c < used_components_; ++c) {
    const uint8_t tq = hdr.comp[c].tq;
    if (tq > 3 || !hdr.quant[tq]) Fail(kErrNoQuantTable);
    planes_[c].assign(plane, 0);
    quant_[c] = PrepareQuant(hdr.quant[hdr.comp[c].tq]->q);
  }
  hs_ = geo.hs;
  vs_ = geo.vs;
  if (used_components_ == 3) {
    chroma_h2_ = geo.hs[1].mode == StoreMode::kDouble && geo.hs[2].mode == StoreMode::kDouble;
    chroma_v2_ = geo.vs[1].mode == StoreMode::kDouble && geo.vs[2].mode == StoreMode::kDouble;
    for (int c = 1; c < 3; ++c) {
      if (chroma_h2_) hs_[c] = AxisStore{};
      if (chroma_v2_) vs_[c] = AxisStore{};
    }
  }
  for (int c = 0; c < used_components_; ++c) {
    const AxisStore& h = hs_[c];
    const AxisStore& v = vs_[c];
    BlockPlace& p = place_[c];
    if (h.mode == StoreMode::kReduce && v.mode == StoreMode::kReduce && h.factor == v.factor) {
      p.path = BlockPath::kReduced;
    } else if (h.mode == StoreMode::kCopy && v.mode == StoreMode::kCopy) {
      p.path = BlockPath::kDirect;
    } else {
      p.path = BlockPath::kStored;
    }
    p.side = h.OutSize();
    p.row_step = static_cast<size_t>(v.OutSize()) * geo.stride;
    p.block_step = static_cast<size_t>(h.OutSize());
    p.mcu_step = static_cast<size_t>(geo.comp_h[c]) * p.block_step;
  }
  const size_t pixels = static_cast<size_t>(geo.out_w) * geo.band_h;
  rgb_.assign(pixels * 3 + 32, 0);
  if (geo.kind != kKindRgb && geo.kind != kKindRgbSwap) mapped_.assign(pixels + 32, 0);
  color_.Setup(static_cast<JpegOutputKind>(geo.kind), req.adjust);
  if (geo.kind == kKindMapped || geo.kind == kKindMappedSwap) {
    if (!mapper) Fail(kErrColors);
    mapper_ = mapper;
  } else if (geo.kind == kKindGray && req.colors < 256) {
    // A gray ramp of 256 levels is the samples themselves; fewer levels are mapped (and dithered).
    if (req.colors < 2) Fail(kErrColors);
    gray_mapper_ = std::make_unique<GrayMapper>(req.colors, req.dither, geo.out_w);
    mapper_ = gray_mapper_.get();
  }
}

void BandOutput::PutBlock(int c, int mcu_x, int bx, int by, const int16_t coef[64], int last) {
  const BlockPlace& p = place_[c];
  uint8_t* dst = planes_[c].data() + static_cast<size_t>(by) * p.row_step +
                 static_cast<size_t>(mcu_x) * p.mcu_step + static_cast<size_t>(bx) * p.block_step;
  // Flat blocks (only a DC term) are common in document backgrounds and need no transform.
  int ac = last;
  if (last < 0) {
    ac = 0;
    for (int i = 1; i < 64; ++i) ac |= coef[i];
  }
  switch (p.path) {
    case BlockPath::kDirect:
      if (ac == 0) {
        InverseDctDcOnly(coef[0], quant_[c], dst, geo_.stride);
      } else {
        InverseDct(coef, quant_[c], dst, geo_.stride);
      }
      return;
    case BlockPath::kReduced:
      // Reduced scales keep every n-th sample: only those are computed, straight into the plane.
      if (ac == 0) {
        InverseDctDcOnly(coef[0], quant_[c], dst, geo_.stride, p.side);
      } else {
        InverseDctReduced(coef, quant_[c], 8 / p.side, dst, geo_.stride);
      }
      return;
    case BlockPath::kStored:
      break;
  }
  uint8_t block[64];
  if (ac == 0) {
    InverseDctDcOnly(coef[0], quant_[c], block, 8);
  } else {
    InverseDct(coef, quant_[c], block, 8);
  }
  StoreBlock(hs_[c], vs_[c], block, dst, geo_.stride);
}

void BandOutput::Deliver(int mcu_row) {
  const int band_start = mcu_row * geo_.band_h;
  const int first = std::max(band_start, geo_.win_top);
  const int end = std::min(band_start + geo_.band_h, geo_.win_top + geo_.out_h);
  if (first >= end || geo_.out_w == 0) return;
  const int rows = end - first;
  const size_t offset = static_cast<size_t>(first - band_start) * geo_.stride + geo_.win_left;
  const uint8_t* out = nullptr;
  if (geo_.kind == kKindGray && !mapper_ && color_.plain_gray()) {
    // Plain gray levels: the luma rows as they are.
    for (int r = 0; r < rows; ++r) {
      std::memcpy(mapped_.data() + static_cast<size_t>(r) * geo_.out_w,
                  planes_[0].data() + offset + static_cast<size_t>(r) * geo_.stride, geo_.out_w);
    }
    out = mapped_.data();
  } else {
    if (used_components_ == 3) {
      // Chroma kept at its coded resolution is read at half the row and column.
      const int row0 = first - band_start;
      const int cx = chroma_h2_ ? geo_.win_left >> 1 : geo_.win_left;
      for (int r = 0; r < rows; ++r) {
        const size_t yoff = static_cast<size_t>(row0 + r) * geo_.stride + geo_.win_left;
        const size_t coff = static_cast<size_t>(chroma_v2_ ? (row0 + r) >> 1 : row0 + r) * geo_.stride + cx;
        uint8_t* dst = rgb_.data() + static_cast<size_t>(r) * geo_.out_w * 3;
        if (chroma_v2_ && chroma_h2_ && !((row0 + r) & 1) && r + 1 < rows) {
          // Both rows of a chroma row at once.
          color_.ConvertRowPair(planes_[0].data() + yoff, planes_[0].data() + yoff + geo_.stride,
                                planes_[1].data() + coff, planes_[2].data() + coff, geo_.out_w,
                                geo_.win_left & 1, dst, dst + static_cast<size_t>(geo_.out_w) * 3);
          ++r;
          continue;
        }
        color_.ConvertRow(planes_[0].data() + yoff, planes_[1].data() + coff, planes_[2].data() + coff,
                          geo_.out_w, chroma_h2_, geo_.win_left & 1, dst);
      }
    } else {
      const uint8_t* p1 = planes_[0].data() + offset;
      const uint8_t* p2 = used_components_ > 1 ? planes_[1].data() + offset : p1;
      color_.Convert(p1, p2, p1, geo_.stride, geo_.out_w, rows, rgb_.data());
    }
    if (geo_.kind == kKindRgb || geo_.kind == kKindRgbSwap) {
      out = rgb_.data();
    } else {
      // Colour offsets and gains on gray output, or mapped output: the converted rows are mapped.
      if (mapper_) {
        mapper_->Map(rgb_.data(), geo_.out_w, rows, mapped_.data());
      } else {
        for (size_t i = 0, n = static_cast<size_t>(rows) * geo_.out_w; i < n; ++i) mapped_[i] = rgb_[3 * i];
      }
      out = mapped_.data();
    }
  }
  if (sink_(0, first - geo_.win_top, geo_.out_w, end - geo_.win_top, out) != 0) Fail(kErrDisplay);
}

}  // namespace zc::jpegdec
