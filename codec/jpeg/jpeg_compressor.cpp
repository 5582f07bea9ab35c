// JPEG compression control: set-up, headers, MCU-row buffering and the sequential block loop.
#include "jpeg_compressor.h"

#include <algorithm>
#include <cstring>

#include "color_convert.h"
#include "cpu_features.h"
#include "jpeg_errors.h"
#include "jpeg_tables.h"
#include "sequential_coder.h"

namespace zc::jpeg {

JpegCompressor::JpegCompressor() = default;

JpegCompressor::~JpegCompressor() {
  if (store_ && store_allocated_) store_->Release();
}

int JpegCompressor::Fail(int code) {
  if (error_ == 0) error_ = code;
  return error_;
}

int JpegCompressor::Start(const JpegCompressSettings& settings, ByteSink sink,
                          std::unique_ptr<CoefficientStore> store) {
  started_ = true;
  settings_ = settings;
  out_ = std::make_unique<OutputStage>(std::move(sink));
  bits_ = std::make_unique<BitWriter>(*out_);
  store_ = std::move(store);
  if (const int rc = SetUp(settings_); rc != 0) return Fail(rc);
  return 0;
}

int JpegCompressor::SetUp(const JpegCompressSettings& s) {
  // Input form: palette indices or R, G, B triples.
  if (s.bits_per_pixel == 24) {
    bytes_per_pixel_ = 3;
  } else if (s.bits_per_pixel >= 2 && s.bits_per_pixel <= 8) {
    bytes_per_pixel_ = 1;
    if (s.palette == nullptr) return kJpegNoPalette;
    palette_ = MakePaletteLookup(s.palette, s.palette_entries);
    palette_is_gray_ramp_ = true;
    for (int i = 0; i < 256; ++i) palette_is_gray_ramp_ = palette_is_gray_ramp_ && palette_.y[i] == i;
  } else {
    return kJpegBadInputDepth;
  }
  for (std::string_view text : s.comments) {
    if (text.size() > kMaxCommentLength) return kJpegBlockTooLarge;
  }

  // Tables scaled by the quality (T.81 K.1, K.2) and the standard Huffman tables (K.3 to K.6).
  quant_[0] = ScaleQuantTable(kLuminanceQuantBase, s.quality);
  quant_[1] = ScaleQuantTable(kChrominanceQuantBase, s.quality);
  divisors_[0] = MakeQuantDivisors(quant_[0]);
  divisors_[1] = MakeQuantDivisors(quant_[1]);
  const int tables = s.gray ? 1 : 2;
  const HuffmanSpec* dc_specs[2] = {&kLuminanceDcSpec, &kChrominanceDcSpec};
  const HuffmanSpec* ac_specs[2] = {&kLuminanceAcSpec, &kChrominanceAcSpec};
  for (int n = 0; n < tables; ++n) {
    DcTable(n).present = AcTable(n).present = true;
    DcTable(n).spec = *dc_specs[n];
    AcTable(n).spec = *ac_specs[n];
    if (!DeriveHuffmanCode(DcTable(n).spec, &DcTable(n).code) ||
        !DeriveHuffmanCode(AcTable(n).spec, &AcTable(n).code)) {
      return kJpegHuffmanOverflow;
    }
  }

  // Components: gray 1 x 1; colour Y 2 x 2 with Cb and Cr 1 x 1 (4:2:0).
  comps_.clear();
  if (s.gray) {
    comps_.push_back({{1, 1, 1, 0, 0, 0}});
  } else {
    comps_.push_back({{1, 2, 2, 0, 0, 0}});
    comps_.push_back({{2, 1, 1, 1, 1, 1}});
    comps_.push_back({{3, 1, 1, 1, 1, 1}});
  }
  hmax_ = vmax_ = 1;
  for (const Component& c : comps_) {
    hmax_ = std::max<int>(hmax_, c.frame.h);
    vmax_ = std::max<int>(vmax_, c.frame.v);
  }
  blocks_per_mcu_ = 0;
  mcu_w_ = 8 * hmax_;
  mcu_h_ = 8 * vmax_;
  mcus_per_row_ = (s.width + mcu_w_ - 1) / mcu_w_;
  mcu_rows_ = (s.height + mcu_h_ - 1) / mcu_h_;
  uint32_t slots = 0;
  for (Component& c : comps_) {
    c.h_ratio = hmax_ / c.frame.h;
    c.v_ratio = vmax_ / c.frame.v;
    c.block_offset = blocks_per_mcu_;
    blocks_per_mcu_ += c.frame.h * c.frame.v;
    c.grid_w = mcus_per_row_ * c.frame.h;
    c.first_slot = slots;
    slots += static_cast<uint32_t>(c.grid_w) * static_cast<uint32_t>(mcu_rows_ * c.frame.v);
  }
  const uint32_t total_mcus = static_cast<uint32_t>(mcus_per_row_) * static_cast<uint32_t>(mcu_rows_);
  if (s.progressive && total_mcus > kMaxStoredMcus) return kJpegNoMemory;

  // JFIF densities: kept only when the caller asks for them and gives both.
  if (!(s.jfif && s.x_density != 0 && s.y_density != 0)) {
    settings_.x_density = settings_.y_density = 1;
    settings_.density_units = 0;
  }

  if (s.restart_option && !s.progressive) {
    WriteRestartHeader();
  } else {
    WriteNormalHeader();
  }

  plane_w_ = static_cast<size_t>(mcus_per_row_) * mcu_w_;
  planes_.assign(comps_.size(), std::vector<uint8_t>(plane_w_ * mcu_h_));
  kernels_ = &ActiveKernels();
  CpuHasMmx();  // the processor test runs once per process, as the fast transform flag expects

  if (s.progressive) {
    if (!store_) store_ = MakeHeapCoefficientStore();
    if (!store_->Allocate(static_cast<uint16_t>(total_mcus), static_cast<uint16_t>(blocks_per_mcu_ * 128))) {
      return kJpegStoreAllocFailed;
    }
    store_allocated_ = true;
    store_base_ = store_->Contiguous();
  }
  return 0;
}

void JpegCompressor::WriteNormalHeader() {
  WriteSoi(*out_);
  WriteJfifApp0(*out_, settings_.density_units, settings_.x_density, settings_.y_density);
  std::vector<FrameComponent> frame;
  for (const Component& c : comps_) frame.push_back(c.frame);
  WriteDqt(*out_, 0, quant_[0]);
  if (!settings_.gray) WriteDqt(*out_, 1, quant_[1]);
  WriteSof(*out_, settings_.progressive ? kMarkerSof2 : kMarkerSof0, settings_.height, settings_.width,
           frame.data(), static_cast<int>(frame.size()));
  for (std::string_view text : settings_.comments) WriteCom(*out_, text);
  if (settings_.progressive) return;  // tables and SOS precede each scan
  for (int n = 0; n < 2; ++n) {
    if (DcTable(n).present) WriteDht(*out_, 0, n, DcTable(n).spec);
    if (AcTable(n).present) WriteDht(*out_, 1, n, AcTable(n).spec);
  }
  std::vector<ScanComponent> scan;
  for (const Component& c : comps_) scan.push_back({c.frame.id, c.frame.dc_table, c.frame.ac_table});
  WriteSos(*out_, scan.data(), static_cast<int>(scan.size()), 0, 63, 0, 0);
}

// The restart layout: SOI, DRI of one gray MCU row, the tables, SOF0 and SOS, no APP0 and no COM. 0xFF
// fill bytes before the SOS marker (T.81 B.1.1.2) put the entropy-coded data at a multiple of 4 bytes
// from the start of the stream.
void JpegCompressor::WriteRestartHeader() {
  restart_interval_ = static_cast<uint16_t>((settings_.width + 7) / 8);
  WriteSoi(*out_);
  WriteDri(*out_, restart_interval_);
  WriteDqt(*out_, 0, quant_[0]);
  if (!settings_.gray) WriteDqt(*out_, 1, quant_[1]);
  for (int n = 0; n < 2; ++n) {
    if (DcTable(n).present) WriteDht(*out_, 0, n, DcTable(n).spec);
    if (AcTable(n).present) WriteDht(*out_, 1, n, AcTable(n).spec);
  }
  std::vector<FrameComponent> frame;
  std::vector<ScanComponent> scan;
  for (const Component& c : comps_) {
    frame.push_back(c.frame);
    scan.push_back({c.frame.id, c.frame.dc_table, c.frame.ac_table});
  }
  WriteSof(*out_, kMarkerSof0, settings_.height, settings_.width, frame.data(),
           static_cast<int>(frame.size()));
  const uint64_t end_of_header = out_->TotalBytes() + SosSize(static_cast<int>(scan.size()));
  for (uint64_t fill = (4 - end_of_header % 4) % 4; fill > 0; --fill) out_->PutByte(0xFF);
  WriteSos(*out_, scan.data(), static_cast<int>(scan.size()), 0, 63, 0, 0);
}

void JpegCompressor::ConvertRow(const uint8_t* src, int count, int plane_row) {
  const size_t at = static_cast<size_t>(plane_row) * plane_w_;
  uint8_t* y = planes_[0].data() + at;
  if (bytes_per_pixel_ == 3) {
    if (settings_.gray) {
      kernels_->rgb_to_y(src, static_cast<size_t>(count), y);
    } else {
      kernels_->rgb_to_ycc(src, static_cast<size_t>(count), y, planes_[1].data() + at,
                           planes_[2].data() + at);
    }
  } else if (settings_.gray) {
    if (palette_is_gray_ramp_) {
      std::memcpy(y, src, static_cast<size_t>(count));  // Y of a gray ramp entry is its index
    } else {
      for (int i = 0; i < count; ++i) y[i] = palette_.y[src[i]];
    }
  } else {
    uint8_t* cb = planes_[1].data() + at;
    uint8_t* cr = planes_[2].data() + at;
    for (int i = 0; i < count; ++i) {
      y[i] = palette_.y[src[i]];
      cb[i] = palette_.cb[src[i]];
      cr[i] = palette_.cr[src[i]];
    }
  }
}

void JpegCompressor::ReplicateRight(int plane_row, int image_cols) {
  for (auto& plane : planes_) {
    uint8_t* row = plane.data() + static_cast<size_t>(plane_row) * plane_w_;
    std::fill(row + image_cols, row + plane_w_, row[image_cols - 1]);
  }
}

int JpegCompressor::WriteRows(int first_col, int first_row, int end_col, int end_row, const uint8_t* pixels) {
  if (error_ != 0) return error_;
  if (!started_ || finished_) return Fail(kJpegNullPointer);
  int rows = end_row - first_row;
  if (rows <= 0) return 0;
  if (first_col < 0 || end_col > settings_.width || end_col <= first_col) return Fail(kJpegBadWindow);
  if (pixels == nullptr) return Fail(kJpegNullPointer);
  rows = std::min(rows, settings_.height - rows_received_);  // nothing beyond the frame's height
  const int width = end_col - first_col;
  const size_t row_bytes = static_cast<size_t>(width) * bytes_per_pixel_;
  for (int r = 0; r < rows; ++r) {
    ConvertRow(pixels + row_bytes * r, width, rows_buffered_);
    ReplicateRight(rows_buffered_, width);
    ++rows_received_;
    if (++rows_buffered_ == mcu_h_) {
      if (const int rc = ProcessMcuRow(false); rc != 0) return Fail(rc);
    }
  }
  return 0;
}

void JpegCompressor::EmitRestart() {
  bits_->PadToByte();
  out_->PutByte(0xFF);
  out_->PutByte(static_cast<uint8_t>(0xD0 + restart_count_));
  restart_count_ = (restart_count_ + 1) & 7;
  for (Component& c : comps_) c.dc_pred = 0;
  mcus_since_restart_ = 0;
}

void JpegCompressor::TransformMcu(int mcu, int16_t* blocks) {
  // The MCU's blocks in coding order, transformed two at a time where the kernels can: consecutive
  // blocks that share a fetch kind and a table (the luma blocks of a row, Cb with Cr).
  struct Job {
    const uint8_t* src;
    bool reduce;
    int table;
  };
  Job jobs[kMaxBlocksPerMcu];
  int n = 0;
  for (const Component& c : comps_) {
    const uint8_t* plane = planes_[&c - comps_.data()].data();
    for (int by = 0; by < c.frame.v; ++by) {
      for (int bx = 0; bx < c.frame.h; ++bx) {
        const size_t x = 8 * static_cast<size_t>(hmax_ * mcu + c.h_ratio * bx);
        const size_t y = 8 * static_cast<size_t>(c.v_ratio * by);
        jobs[n++] = {plane + y * plane_w_ + x, c.h_ratio != 1, c.frame.quant_table};
      }
    }
  }
  for (int i = 0; i < n;) {
    const Job& a = jobs[i];
    const QuantDivisors& divisors = divisors_[a.table];
    int16_t* out = blocks + 64 * i;
    if (i + 1 < n && jobs[i + 1].reduce == a.reduce && jobs[i + 1].table == a.table) {
      auto pair = a.reduce ? kernels_->encode_pair_2x2 : kernels_->encode_pair_1x1;
      if (pair) {
        pair(a.src, jobs[i + 1].src, plane_w_, divisors, out, out + 64);
        i += 2;
        continue;
      }
    }
    if (a.reduce) {
      kernels_->encode_block_2x2(a.src, plane_w_, divisors, out);
    } else {
      kernels_->encode_block_1x1(a.src, plane_w_, divisors, out);
    }
    ++i;
  }
}

int JpegCompressor::CodeMcu(int mcu, bool restart_allowed) {
  alignas(32) int16_t blocks[kMaxBlocksPerMcu * 64];
  TransformMcu(mcu, blocks);
  const int16_t* coef = blocks;
  for (Component& c : comps_) {
    const HuffmanCode& dc = DcTable(c.frame.dc_table).code;
    const HuffmanCode& ac = AcTable(c.frame.ac_table).code;
    for (int b = 0; b < c.frame.v * c.frame.h; ++b, coef += 64) {
      if (!EncodeSequentialBlock(coef, &c.dc_pred, dc, ac, *bits_, kernels_->nonzero_mask)) return kJpegNoCode;
      out_->FlushIfFull();
    }
  }
  if (restart_interval_ != 0 && ++mcus_since_restart_ == restart_interval_ && restart_allowed) EmitRestart();
  return 0;
}

uint8_t* JpegCompressor::BlockSlot(uint32_t slot) {
  const uint32_t per_mcu = static_cast<uint32_t>(blocks_per_mcu_);
  if (store_base_ != nullptr) return store_base_ + 128 * static_cast<size_t>(slot);
  uint8_t* mcu = store_->Mcu(static_cast<uint16_t>(slot / per_mcu));
  return mcu == nullptr ? nullptr : mcu + 128 * static_cast<size_t>(slot % per_mcu);
}

// Stores each block of the MCU in zig-zag order at its place in its component's grid, so that a scan of
// one component reads its blocks in sequence and takes a band as consecutive values. (The store's MCU
// records keep the size they would have with each MCU's own blocks in natural order; only the
// arrangement inside differs, which no caller of the store looks at.)
int JpegCompressor::StoreMcu(uint32_t mcu_row, int mcu) {
  alignas(32) int16_t blocks[kMaxBlocksPerMcu * 64];
  TransformMcu(mcu, blocks);
  const int16_t* coef = blocks;
  for (const Component& c : comps_) {
    for (int by = 0; by < c.frame.v; ++by) {
      for (int bx = 0; bx < c.frame.h; ++bx, coef += 64) {
        const uint32_t row = mcu_row * static_cast<uint32_t>(c.frame.v) + static_cast<uint32_t>(by);
        const uint32_t col = static_cast<uint32_t>(mcu * c.frame.h + bx);
        uint8_t* dst = BlockSlot(c.first_slot + row * static_cast<uint32_t>(c.grid_w) + col);
        if (dst == nullptr) return kJpegStoreGetFailed;
        kernels_->zigzag_store(coef, dst);
      }
    }
  }
  return 0;
}

int JpegCompressor::ProcessMcuRow(bool last) {
  for (int m = 0; m < mcus_per_row_; ++m) {
    int rc;
    if (settings_.progressive) {
      rc = StoreMcu(static_cast<uint32_t>(mcu_rows_done_), m);
    } else {
      rc = CodeMcu(m, !(last && m == mcus_per_row_ - 1));
    }
    if (rc != 0) return rc;
  }
  ++mcu_rows_done_;
  rows_buffered_ = 0;
  return out_->Failed() ? kJpegWriteFailed : 0;
}

int JpegCompressor::Finish() {
  if (finished_) return error_;
  finished_ = true;
  if (error_ == 0 && started_) {
    int rc = 0;
    if (rows_buffered_ > 0) {
      // Partial last MCU row: the last row repeats down to the MCU height.
      for (auto& plane : planes_) {
        const uint8_t* last = plane.data() + static_cast<size_t>(rows_buffered_ - 1) * plane_w_;
        for (int r = rows_buffered_; r < mcu_h_; ++r) {
          std::memcpy(plane.data() + static_cast<size_t>(r) * plane_w_, last, plane_w_);
        }
      }
      rc = ProcessMcuRow(true);
    }
    if (rc == 0 && settings_.progressive) rc = RunProgressiveScans();
    if (rc == 0) {
      if (!settings_.progressive) bits_->PadToByte();
      WriteEoi(*out_);
      out_->FlushAll();
      if (out_->Failed()) rc = kJpegWriteFailed;
    }
    if (rc != 0) Fail(rc);
  }
  planes_.clear();
  planes_.shrink_to_fit();
  if (store_ && store_allocated_) {
    store_allocated_ = false;
    store_base_ = nullptr;
    if (!store_->Release()) Fail(kJpegNoMemory);
  }
  return error_;
}

}  // namespace zc::jpeg
