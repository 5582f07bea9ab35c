// Sequential (baseline) Huffman scans: the single interleaved scan decoded band by band into the output,
// and the scans of multi-scan streams decoded into a coefficient store (ITU-T T.81 Annex F, A.2).
#include <cstring>

#include "codec/jpeg/decoder/jpeg_entropy.h"
#include "codec/jpeg/decoder/jpeg_error.h"
#include "codec/jpeg/decoder/jpeg_restart.h"
#include "codec/jpeg/decoder/jpeg_scan_common.h"

namespace zc::jpegdec {
namespace {

struct ScanTables {
  const HuffTable* dc[kMaxComponents] = {};
  const HuffTable* ac[kMaxComponents] = {};
};

// Every scan component must name defined DC and AC tables.
ScanTables CheckSequentialTables(const JpegHeaders& hdr) {
  ScanTables t;
  for (int j = 0; j < hdr.scan.ns; ++j) {
    const JpegComponent& c = hdr.comp[hdr.scan.comp[j]];
    if (c.td > 1 || !hdr.dc[c.td]) Fail(kErrNoDcTable);
    if (c.ta > 1 || !hdr.ac[c.ta]) Fail(kErrNoAcTable);
    t.dc[j] = hdr.dc[c.td].get();
    t.ac[j] = hdr.ac[c.ta].get();
  }
  return t;
}

class SequentialScan {
 public:
  SequentialScan(JpegHeaders& hdr, InputWindow& win)
      : hdr_(hdr), win_(win), br_(win), tables_(CheckSequentialTables(hdr)) {}

  // Returns as DecodeBlock does.
  int Block(int j, int16_t coef[64]) {
    try {
      return DecodeBlock(br_, *tables_.dc[j], *tables_.ac[j], pred_[j], coef);
    } catch (const JpegError& e) {
      RethrowAtMarker(e, br_, win_);
    }
  }

  // Decodes one whole MCU of an interleaved scan: block i as coding[i] (pred pointing into pred()).
  void Mcu(const BlockCoding* coding, int n, int16_t* coef, int* last) {
    try {
      DecodeBlocks(br_, coding, n, coef, last);
    } catch (const JpegError& e) {
      RethrowAtMarker(e, br_, win_);
    }
  }

  const ScanTables& tables() const { return tables_; }
  int* pred(int j) { return &pred_[j]; }

  // Called after each MCU but the scan's last: restart handling at the end of every interval.
  void EndMcu() {
    if (hdr_.restart_interval && ++in_interval_ == hdr_.restart_interval) {
      ProcessRestart(win_, br_, next_rst_, true);
      in_interval_ = 0;
      pred_[0] = pred_[1] = pred_[2] = 0;
    }
  }

 private:
  JpegHeaders& hdr_;
  InputWindow& win_;
  BitReader br_;
  ScanTables tables_;
  int pred_[kMaxComponents] = {0, 0, 0};
  uint32_t in_interval_ = 0;
  int next_rst_ = 0;
};

}  // namespace

void DecodeSequentialStreaming(JpegHeaders& hdr, const Geometry& geo, InputWindow& win, BandOutput& out) {
  SequentialScan scan(hdr, win);
  // The MCU's blocks in coding order, decoded in one go and then placed.
  struct Placement {
    int c, bx, by;
    bool used;
  };
  constexpr int kMaxBlocks = kMaxComponents * 16;
  BlockCoding coding[kMaxBlocks];
  Placement place[kMaxBlocks];
  int n = 0;
  for (int j = 0; j < hdr.scan.ns; ++j) {
    const int c = hdr.scan.comp[j];
    for (int by = 0; by < geo.comp_v[c]; ++by) {
      for (int bx = 0; bx < geo.comp_h[c]; ++bx, ++n) {
        coding[n] = {scan.tables().dc[j], scan.tables().ac[j], scan.pred(j)};
        place[n] = {c, bx, by, out.Uses(c)};
      }
    }
  }
  alignas(16) int16_t coef[kMaxBlocks * 64];
  int last[kMaxBlocks];
  for (int my = 0; my < geo.mcus_y; ++my) {
    if (out.PastWindow(my)) break;
    const bool needed = out.Needed(my);
    for (int mx = 0; mx < geo.mcus_x; ++mx) {
      scan.Mcu(coding, n, coef, last);
      if (needed) {
        for (int i = 0; i < n; ++i) {
          if (place[i].used) out.PutBlock(place[i].c, mx, place[i].bx, place[i].by, coef + 64 * i, last[i]);
        }
      }
      scan.EndMcu();
    }
    if (needed) out.Deliver(my);
  }
}

void DecodeSequentialScanToStore(JpegHeaders& hdr, const Geometry& geo, InputWindow& win, CoefStore& store) {
  SequentialScan scan(hdr, win);
  if (hdr.scan.ns == 1) {
    // Non-interleaved: the component's blocks in raster order over its own dimensions (T.81 A.2.2).
    const int c = hdr.scan.comp[0];
    const int h = geo.comp_h[c], v = geo.comp_v[c];
    for (int by = 0; by < geo.blocks_y[c]; ++by) {
      for (int bx = 0; bx < geo.blocks_x[c]; ++bx) {
        uint32_t mcu = static_cast<uint32_t>(by / v) * geo.mcus_x + static_cast<uint32_t>(bx / h);
        int16_t* coef = store.Mcu(mcu) + 64 * (geo.mcu_offset[c] + (by % v) * h + bx % h);
        scan.Block(0, coef);
        if (by + 1 < geo.blocks_y[c] || bx + 1 < geo.blocks_x[c]) scan.EndMcu();
      }
    }
    return;
  }
  for (uint32_t mcu = 0; mcu < geo.total_mcus; ++mcu) {
    int16_t* base = store.Mcu(mcu);
    for (int j = 0; j < hdr.scan.ns; ++j) {
      const int c = hdr.scan.comp[j];
      for (int b = 0; b < geo.comp_h[c] * geo.comp_v[c]; ++b)
        scan.Block(j, base + 64 * (geo.mcu_offset[c] + b));
    }
    if (mcu + 1 < geo.total_mcus) scan.EndMcu();
  }
}

}  // namespace zc::jpegdec
