// The scan loop of a progressive compression: for each entry of the scan script a statistics pass builds
// optimal Huffman tables (T.81 K.2), then DHT, SOS and the coding pass over the stored coefficients.
#include <cstring>

#include "jpeg_compressor.h"
#include "jpeg_errors.h"
#include "progressive_coder.h"
#include "scan_script.h"

namespace zc::jpeg {

int JpegCompressor::RunProgressiveScans() {
  const auto script = settings_.gray ? GrayScanScript() : ColourScanScript();
  for (const ScanScriptEntry& entry : script) {
    std::vector<int> in_scan;
    for (int c = 0; c < static_cast<int>(comps_.size()); ++c) {
      if (entry.in_scan[c]) in_scan.push_back(c);
    }
    if (in_scan.empty()) continue;
    const bool dc = entry.ss == 0;
    const bool refine = entry.ah != 0;

    // Tables the scan codes with: index 0, 1 = DC 0, 1; 2, 3 = AC 0, 1.
    bool used[4] = {false, false, false, false};
    if (dc && !refine) {
      for (int c : in_scan) used[comps_[c].frame.dc_table] = true;
    } else if (!dc) {
      used[2 + comps_[in_scan[0]].frame.ac_table] = true;
    }

    std::array<SymbolCounts, 4> counts{};
    // Visits every block of the scan in its order: interleaved by MCU, or one component's block grid in
    // raster order.
    auto walk = [&](ProgressiveCoder& coder, bool statistics) -> int {
      for (int c : in_scan) comps_[c].dc_pred = 0;
      if (!dc) {
        const int t = comps_[in_scan[0]].frame.ac_table;
        coder.SetAcTable(&AcTable(t).code, &counts[2 + t]);
      }
      alignas(16) int16_t coef[64];
      auto code_block = [&](Component& comp, const uint8_t* src) {
        std::memcpy(coef, src, sizeof coef);
        if (dc && refine) {
          coder.EncodeDcRefine(coef);
        } else if (dc) {
          const int t = comp.frame.dc_table;
          coder.EncodeDcFirst(coef, &comp.dc_pred, &DcTable(t).code, &counts[t]);
        } else if (refine) {
          coder.EncodeAcRefine(coef);
        } else {
          coder.EncodeAcFirst(coef);
        }
        if (!statistics) out_->FlushIfFull();
      };
      if (in_scan.size() > 1) {
        const uint32_t total = static_cast<uint32_t>(mcus_per_row_) * mcu_rows_;
        for (uint32_t m = 0; m < total; ++m) {
          const uint8_t* mcu = store_->Mcu(static_cast<uint16_t>(m));
          if (mcu == nullptr) return kJpegStoreGetFailed;
          for (int c : in_scan) {
            Component& comp = comps_[c];
            for (int b = 0; b < comp.frame.h * comp.frame.v; ++b) {
              code_block(comp, mcu + 128 * static_cast<size_t>(comp.block_offset + b));
            }
          }
        }
      } else {
        Component& comp = comps_[in_scan[0]];
        const int h = comp.frame.h, v = comp.frame.v;
        const int comp_w = (settings_.width * h + hmax_ - 1) / hmax_;
        const int comp_h = (settings_.height * v + vmax_ - 1) / vmax_;
        const int blocks_w = (comp_w + 7) / 8, blocks_h = (comp_h + 7) / 8;
        for (int by = 0; by < blocks_h; ++by) {
          for (int bx = 0; bx < blocks_w; ++bx) {
            const uint32_t m = static_cast<uint32_t>(by / v) * mcus_per_row_ + bx / h;
            const uint8_t* mcu = store_->Mcu(static_cast<uint16_t>(m));
            if (mcu == nullptr) return kJpegStoreGetFailed;
            const int b = comp.block_offset + (by % v) * h + bx % h;
            code_block(comp, mcu + 128 * static_cast<size_t>(b));
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
