// Output stage shared by the baseline and progressive decoders: geometry of the scaled picture, the band
// planes the blocks are stored into, colour conversion, mapping and delivery of the caller's window.
//
// One band is one MCU row at output scale. Blocks of the band are transformed and stored (scaled) into
// one plane per component; the window's part of the band is converted to RGB, mapped to one byte a pixel
// when the output kind asks for it, and handed to the display sink.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "codec/jpeg/decoder/jpeg_block_store.h"
#include "codec/jpeg/decoder/jpeg_color.h"
#include "codec/jpeg/decoder/jpeg_headers.h"
#include "codec/jpeg/decoder/jpeg_idct.h"

namespace zc::jpegdec {

struct OutputRequest {
  uint16_t top = 0;     // first image row of the window (input pixels)
  uint16_t left = 0;    // first image column of the window (input pixels)
  uint16_t width = 0;   // output pixels; 0 = to the image's right edge
  uint16_t height = 0;  // output pixels; 0 = to the image's bottom edge
  uint16_t xscale = 0;  // 1/2048; 0 = 2048
  uint16_t yscale = 0;
  uint8_t kind = kKindRgb;
  uint8_t dither = 0;     // gray output below 256 levels: 0 direct, 1 ordered, 2 error diffusion
  uint16_t colors = 256;  // gray output levels (2..256)
  ColorAdjust adjust;
};

// Turns RGB rows into one byte a pixel (palette index or gray level) for kinds 0, 1 and 2.
class BandMapper {
 public:
  virtual ~BandMapper() = default;
  virtual void Map(const uint8_t* rgb, int width, int rows, uint8_t* out) = 0;
};

// Receives each band: columns [c0, c1), window rows [r0, r1), rows packed at the window width.
using DisplaySink = std::function<int(int c0, int r0, int c1, int r1, const uint8_t* rows)>;

struct Geometry {
  int hmax = 1, vmax = 1;
  int mcu_w = 8, mcu_h = 8;  // input pixels
  int mcus_x = 0, mcus_y = 0;
  uint32_t total_mcus = 0;
  int blocks_per_mcu = 0;
  std::array<int, kMaxComponents> comp_h{}, comp_v{};  // sampling factors
  std::array<int, kMaxComponents> mcu_offset{};        // first block of each component within an MCU
  std::array<int, kMaxComponents> blocks_x{};          // component blocks per row (non-interleaved coding)
  std::array<int, kMaxComponents> blocks_y{};
  std::array<AxisStore, kMaxComponents> hs{}, vs{};
  int stride = 0;                 // plane bytes per row (output pixels)
  int band_h = 0;                 // output rows per MCU row
  int win_top = 0, win_left = 0;  // output pixels
  int out_w = 0, out_h = 0;
  uint8_t kind = kKindRgb;
};

// Sampling, MCU grid, store modes and the output window. Throws 39, 40, 8 or 41.
Geometry ComputeGeometry(const JpegHeaders& hdr, const OutputRequest& req);

class BandOutput {
 public:
  // `mapper` maps the RGB rows of kinds 0 and 2 (mapped colour; 31 without one) and is not used for the
  // other kinds; gray output below 256 levels has its own mapping. Prepares the quantisation tables of
  // the components it uses (36 when one is missing).
  BandOutput(const JpegHeaders& hdr, const Geometry& geo, const OutputRequest& req, BandMapper* mapper,
             DisplaySink sink);

  // MCU rows from this one on lie below the window.
  bool PastWindow(int mcu_row) const { return mcu_row * geo_.band_h >= geo_.win_top + geo_.out_h; }
  // The MCU row reaches into the window, so its blocks must be transformed and stored.
  bool Needed(int mcu_row) const {
    return (mcu_row + 1) * geo_.band_h > geo_.win_top && !PastWindow(mcu_row);
  }
  // Whether component c contributes to the output at all (gray output of a colour picture reads only Y).
  bool Uses(int c) const { return c < used_components_; }

  // Transforms one block of component c, at block (bx, by) of MCU column mcu_x, into the band plane.
  // `last` is what the entropy decoder returned for the block (0 = DC only), or -1 when unknown.
  void PutBlock(int c, int mcu_x, int bx, int by, const int16_t coef[64], int last = -1);

  // Converts, maps and delivers the window's part of the band of MCU row `mcu_row`; throws 14 when the
  // sink refuses it.
  void Deliver(int mcu_row);

 private:
  const Geometry& geo_;
  BandMapper* mapper_ = nullptr;
  DisplaySink sink_;
  int used_components_ = 1;
  std::array<std::vector<uint8_t>, kMaxComponents> planes_;
  std::array<PreparedQuant, kMaxComponents> quant_{};
  // The stores the blocks are written with: the geometry's, except that chroma replicated 2:1 along an
  // axis is kept at its coded resolution there and replicated by the colour conversion instead.
  std::array<AxisStore, kMaxComponents> hs_{}, vs_{};
  bool chroma_h2_ = false, chroma_v2_ = false;
  // Per component, worked out once: how a block is written and where (offsets in the band plane).
  enum class BlockPath : uint8_t { kDirect, kReduced, kStored };
  struct BlockPlace {
    BlockPath path = BlockPath::kDirect;
    int side = 8;           // samples per block side when reduced
    size_t row_step = 0;    // plane bytes from one block row of the MCU to the next
    size_t mcu_step = 0;    // plane bytes from one MCU column to the next
    size_t block_step = 0;  // plane bytes from one block of the MCU to the next along a row
  };
  std::array<BlockPlace, kMaxComponents> place_{};
  std::unique_ptr<BandMapper> gray_mapper_;
  std::vector<uint8_t> rgb_;
  std::vector<uint8_t> mapped_;
  ColorConverter color_;
};

}  // namespace zc::jpegdec
