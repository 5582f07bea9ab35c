// JPEG compression control: turns bands of caller rows into a JFIF stream, sequential (baseline) or
// progressive, one or three components. It buffers rows into MCU rows with edge replication, runs the
// colour conversion, transform and quantisation kernels per block, codes blocks as they complete
// (sequential) or keeps them in a coefficient store and codes the scans at the end (progressive).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "bit_writer.h"
#include "coefficient_store.h"
#include "color_convert.h"
#include "huffman_code.h"
#include "marker_writer.h"
#include "output_stage.h"
#include "transform_kernels.h"

namespace zc::jpeg {

struct JpegCompressSettings {
  bool gray = false;         // one component (luminance) instead of Y, Cb, Cr 4:2:0
  bool progressive = false;  // SOF2 with the scan script instead of SOF0
  uint16_t width = 0;
  uint16_t height = 0;
  int bits_per_pixel = 24;           // 2..8: palette indices, one byte a pixel; 24: R, G, B
  const uint8_t* palette = nullptr;  // 256 x (R, G, B), required below 24 bits
  int palette_entries = 0;           // valid entries, 0 = 256
  int quality = 75;                  // 5..95, anything else is 75
  bool restart_option = false;       // sequential: DRI of one gray MCU row, aligned entropy data
  bool jfif = true;                  // keep the densities below (with both non-zero)
  uint16_t x_density = 0, y_density = 0;
  uint8_t density_units = 0;
  std::vector<std::string_view> comments;  // one COM segment each
};

class JpegCompressor {
 public:
  JpegCompressor();
  ~JpegCompressor();
  JpegCompressor(const JpegCompressor&) = delete;
  JpegCompressor& operator=(const JpegCompressor&) = delete;

  // Writes the stream header. `store` holds a progressive image's coefficients; null uses the heap.
  // Returns 0 or a JpegResult code.
  int Start(const JpegCompressSettings& settings, ByteSink sink,
            std::unique_ptr<CoefficientStore> store = {});

  // Takes rows first_row..end_row-1 (end exclusive), each end_col - first_col pixels, packed. Rows arrive
  // in order; rows past the image height are ignored. Returns 0 or a code; after a failure the
  // compression cannot go on, and Finish releases everything.
  int WriteRows(int first_col, int first_row, int end_col, int end_row, const uint8_t* pixels);

  // Codes what is left, writes EOI and the rest of the stream, releases everything. Returns 0 or the
  // first failure's code (that of a failed Start or WriteRows included).
  int Finish();

  // Name of the kernel set in use ("scalar", "sse2", ...), for diagnostics and tests.
  const char* KernelName() const { return kernels_ ? kernels_->name : ""; }

 private:
  struct Component {
    FrameComponent frame;
    int dc_pred = 0;
    int h_ratio = 1, v_ratio = 1;  // Hmax / H, Vmax / V
    int block_offset = 0;          // index of its first block inside an MCU
    // Its blocks in the coefficient store: a grid of (MCUs per row x H) by (MCU rows x V) blocks in
    // raster order from slot first_slot.
    int grid_w = 0;
    uint32_t first_slot = 0;
  };
  struct HuffTable {
    bool present = false;
    HuffmanSpec spec;
    HuffmanCode code;
  };

  int Fail(int code);
  int SetUp(const JpegCompressSettings& s);
  void WriteNormalHeader();
  void WriteRestartHeader();
  void ConvertRow(const uint8_t* src, int count, int plane_row);
  void ReplicateRight(int plane_row, int image_cols);
  int ProcessMcuRow(bool last);
  int CodeMcu(int mcu, bool restart_allowed);
  int StoreMcu(uint32_t mcu_row, int mcu);
  // Address of block slot `slot` of the coefficient store (slots run through the MCU records in order,
  // blocks_per_mcu_ per record), or null when the store yields none.
  uint8_t* BlockSlot(uint32_t slot);
  // The most blocks an MCU holds (T.81 B.2.3).
  static constexpr int kMaxBlocksPerMcu = 10;
  // Fetch, transform and quantisation of the MCU's blocks, in coding order, 64 coefficients each.
  void TransformMcu(int mcu, int16_t* blocks);
  void EmitRestart();
  int RunProgressiveScans();
  HuffTable& DcTable(int n) { return huff_[n]; }
  HuffTable& AcTable(int n) { return huff_[2 + n]; }

  JpegCompressSettings settings_;
  std::unique_ptr<OutputStage> out_;
  std::unique_ptr<BitWriter> bits_;
  std::unique_ptr<CoefficientStore> store_;
  uint8_t* store_base_ = nullptr;  // the store's records when they are one array
  bool store_allocated_ = false;
  const TransformKernels* kernels_ = nullptr;
  int error_ = 0;
  bool started_ = false;
  bool finished_ = false;

  std::vector<Component> comps_;
  std::array<std::array<uint16_t, 64>, 2> quant_{};
  std::array<QuantDivisors, 2> divisors_{};
  std::array<HuffTable, 4> huff_{};  // DC 0, DC 1, AC 0, AC 1
  PaletteLookup palette_;
  bool palette_is_gray_ramp_ = false;

  int hmax_ = 1, vmax_ = 1;
  int mcu_w_ = 8, mcu_h_ = 8;
  int mcus_per_row_ = 0, mcu_rows_ = 0;
  int blocks_per_mcu_ = 0;
  size_t plane_w_ = 0;
  std::vector<std::vector<uint8_t>> planes_;  // one MCU row per component, full resolution
  int rows_buffered_ = 0;
  int rows_received_ = 0;
  int mcu_rows_done_ = 0;
  int bytes_per_pixel_ = 3;

  uint16_t restart_interval_ = 0;
  int restart_count_ = 0;
  int mcus_since_restart_ = 0;
};

}  // namespace zc::jpeg
