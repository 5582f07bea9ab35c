// The scan loop of a progressive compression: for each entry of the scan script a statistics pass builds
// optimal Huffman tables (T.81 K.2), then DHT, SOS and the coding pass over the stored coefficients. The
// point transform of each block is computed once per scan, by the statistics pass, for both passes.
#include <cstring>
#include <new>
#include <vector>

#include "jpeg_compressor.h"
#include "jpeg_errors.h"
#include "progressive_coder.h"
#include "scan_script.h"

namespace zc::jpeg {

int JpegCompressor::RunProgressiveScans() {
  const auto script = settings_.gray ? GrayScanScript() : ColourScanScript();
  std::vector<uint64_t> masks;  // two per block of an AC scan
  for (const ScanScriptEntry& entry : script) {
    std::vector<int> in_scan;
    for (int c = 0; c < static_cast<int>(comps_.size()); ++c) {
      if (entry.in_scan[c]) in_scan.push_back(c);
    }
    if (in_scan.empty()) continue;
    const bool dc = entry.ss == 0;
    const bool refine = entry.ah != 0;
    // A single component's block grid (T.81 A.2.2); interleaved scans cover whole MCUs.
    int blocks_w = 0, blocks_h = 0;
    size_t blocks = static_cast<size_t>(mcus_per_row_) * mcu_rows_ * blocks_per_mcu_;
    if (in_scan.size() == 1) {
      const Component& comp = comps_[in_scan[0]];
      const int comp_w = (settings_.width * comp.frame.h + hmax_ - 1) / hmax_;
      const int comp_h = (settings_.height * comp.frame.v + vmax_ - 1) / vmax_;
      blocks_w = (comp_w + 7) / 8;
      blocks_h = (comp_h + 7) / 8;
      blocks = static_cast<size_t>(blocks_w) * blocks_h;
    }
    if (!dc) {
      try {
        masks.resize(2 * blocks);
      } catch (const std::bad_alloc&) {
        return kJpegNoMemory;
      }
    }

    // Tables the scan codes with: index 0, 1 = DC 0, 1; 2, 3 = AC 0, 1.
    bool used[4] = {false, false, false, false};
    if (dc && !refine) {
      for (int c : in_scan) used[comps_[c].frame.dc_table] = true;
    } else if (!dc) {
      used[2 + comps_[in_scan[0]].frame.ac_table] = true;
    }

    std::array<SymbolCounts, 4> counts{};
    // The band's bits of a point mask: Ss..Se.
    const uint64_t band = (~uint64_t{0} >> (63 - entry.se)) & (~uint64_t{0} << entry.ss);
    // Visits every block of the scan in its order: interleaved by MCU, or one component's block grid in
    // raster order. An AC scan's statistics pass computes each block's point masks (nonzero, one) into
    // `masks`, in visiting order, and the coding pass takes them from there.
    auto walk = [&](ProgressiveCoder& coder, bool statistics) -> int {
      for (int c : in_scan) comps_[c].dc_pred = 0;
      if (!dc) {
        const int t = comps_[in_scan[0]].frame.ac_table;
        coder.SetAcTable(&AcTable(t).code, &counts[2 + t]);
      }
      uint64_t* mask = masks.data();
      auto code_block = [&](Component& comp, uint32_t slot) -> bool {
        const uint8_t* block = BlockSlot(slot);
        if (block == nullptr) return false;
        if (dc) {
          int16_t value;
          std::memcpy(&value, block, sizeof value);
          if (refine) {
            coder.EncodeDcRefine(value);
          } else {
            const int t = comp.frame.dc_table;
            coder.EncodeDcFirst(value, &comp.dc_pred, &DcTable(t).code, &counts[t]);
          }
        } else {
          if (statistics) {
            kernels_->point_masks(block, entry.al, &mask[0], &mask[1]);
            mask[0] &= band;
            mask[1] &= band;
          }
          if (refine) {
            coder.EncodeAcRefine(block, mask[0], mask[1]);
          } else {
            coder.EncodeAcFirst(block, mask[0]);
          }
          mask += 2;
        }
        if (!statistics) out_->FlushIfFull();
        return true;
      };
      if (in_scan.size() > 1) {
        for (uint32_t row = 0; row < static_cast<uint32_t>(mcu_rows_); ++row) {
          for (int m = 0; m < mcus_per_row_; ++m) {
            for (int c : in_scan) {
              Component& comp = comps_[c];
              for (int by = 0; by < comp.frame.v; ++by) {
                const uint32_t line = comp.first_slot + (row * static_cast<uint32_t>(comp.frame.v) + by) *
                                                            static_cast<uint32_t>(comp.grid_w);
                for (int bx = 0; bx < comp.frame.h; ++bx) {
                  if (!code_block(comp, line + static_cast<uint32_t>(m * comp.frame.h + bx))) {
                    return kJpegStoreGetFailed;
                  }
                }
              }
            }
          }
        }
      } else {
        Component& comp = comps_[in_scan[0]];
        for (int by = 0; by < blocks_h; ++by) {
          const uint32_t line =
              comp.first_slot + static_cast<uint32_t>(by) * static_cast<uint32_t>(comp.grid_w);
          for (int bx = 0; bx < blocks_w; ++bx) {
            if (!code_block(comp, line + static_cast<uint32_t>(bx))) return kJpegStoreGetFailed;
          }
        }
      }
      coder.Finish();
      return 0;
    };

    if (!(dc && refine)) {
      ProgressiveCoder stats(entry.ss, entry.se, entry.ah, entry.al, nullptr);
      if (const int rc = walk(stats, true); rc != 0) return rc;
      for (int t = 0; t < 4; ++t) {
        if (!used[t]) continue;
        HuffTable& table = huff_[t];
        table.present = true;
        table.spec = BuildOptimalHuffmanSpec(counts[t]);
        if (!DeriveHuffmanCode(table.spec, &table.code)) return kJpegHuffmanOverflow;
      }
    }
    for (int n = 0; n < 2; ++n) {
      if (used[n]) WriteDht(*out_, 0, n, DcTable(n).spec);
      if (used[2 + n]) WriteDht(*out_, 1, n, AcTable(n).spec);
    }
    std::vector<ScanComponent> scan;
    for (int c : in_scan) {
      const FrameComponent& f = comps_[c].frame;
      scan.push_back({f.id, static_cast<uint8_t>(dc && !refine ? f.dc_table : 0),
                      static_cast<uint8_t>(dc ? 0 : f.ac_table)});
    }
    WriteSos(*out_, scan.data(), static_cast<int>(scan.size()), entry.ss, entry.se, entry.ah, entry.al);
    ProgressiveCoder coder(entry.ss, entry.se, entry.ah, entry.al, bits_.get());
    if (const int rc = walk(coder, false); rc != 0) return rc;
    out_->FlushIfFull();
    if (out_->Failed()) return kJpegWriteFailed;
  }
  return 0;
}

}  // namespace zc::jpeg
