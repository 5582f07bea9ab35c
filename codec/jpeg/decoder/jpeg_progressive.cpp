// Progressive Huffman scans (ITU-T T.81 Annex G): spectral selection and successive approximation,
// decoded into the whole-picture coefficient store.
#include "codec/jpeg/decoder/jpeg_bit_reader.h"
#include "codec/jpeg/decoder/jpeg_entropy.h"
#include "codec/jpeg/decoder/jpeg_error.h"
#include "codec/jpeg/decoder/jpeg_restart.h"
#include "codec/jpeg/decoder/jpeg_scan_common.h"
#include "codec/jpeg/decoder/jpeg_zigzag.h"

namespace zc::jpegdec {
namespace {

// Far above any real scan script; bounds the work a hostile stream can ask for.
constexpr int kMaxScans = 1000;

inline int16_t ToCoef(int v) {
  return static_cast<int16_t>(static_cast<uint16_t>(v));
}

class ProgressiveScan {
 public:
  ProgressiveScan(JpegHeaders& hdr, InputWindow& win) : hdr_(hdr), win_(win), br_(win) { Setup(); }

  void Run(const Geometry& geo, CoefStore& store);

 private:
  void Setup();
  void DcFirst(int j, int16_t* coef);
  void DcRefine(int16_t* coef);
  void AcFirst(int16_t* coef);
  void AcRefine(int16_t* coef);
  void Block(int j, int16_t* coef);
  void BeforeMcu();

  JpegHeaders& hdr_;
  InputWindow& win_;
  BitReader br_;
  const JpegScan& scan() const { return hdr_.scan; }
  const HuffTable* dc_[kMaxComponents] = {};
  const HuffTable* ac_ = nullptr;
  int pred_[kMaxComponents] = {0, 0, 0};
  int eobrun_ = 0;
  uint32_t in_interval_ = 0;
  bool first_mcu_ = true;
  int next_rst_ = 0;
};

// T.81 G.1.1.1 checks, with this decoder's limits (Al at most 8).
void ProgressiveScan::Setup() {
  const JpegScan& s = scan();
  const bool dc_scan = s.ss == 0;
  if (dc_scan) {
    if (s.se != 0) Fail(kErrScanParams);
  } else {
    if (s.se < s.ss || s.se > 63 || s.ns != 1) Fail(kErrScanParams);
  }
  if (s.ah != 0 && s.ah != s.al + 1) Fail(kErrScanParams);
  if (s.al > 8) Fail(kErrScanParams);
  if (dc_scan) {
    for (int j = 0; j < s.ns; ++j) {
      JpegComponent& c = hdr_.comp[s.comp[j]];
      if (s.ah == 0) {
        if (c.dc_mask != 0) Fail(kErrScanParams);
        c.dc_mask = static_cast<uint8_t>(0xFF << s.al);
      } else {
        if (c.dc_mask & (1u << s.al)) Fail(kErrScanParams);
        c.dc_mask = static_cast<uint8_t>(c.dc_mask | (1u << s.al));
      }
    }
  }
  for (int j = 0; j < s.ns; ++j) {
    const JpegComponent& c = hdr_.comp[s.comp[j]];
    if (dc_scan && s.ah == 0) {
      if (c.td > 1 || !hdr_.dc[c.td]) Fail(kErrNoDcTable);
      dc_[j] = hdr_.dc[c.td].get();
    }
    if (!dc_scan) {
      if (c.ta > 1 || !hdr_.ac[c.ta]) Fail(kErrNoAcTable);
      ac_ = hdr_.ac[c.ta].get();
    }
  }
}

void ProgressiveScan::DcFirst(int j, int16_t* coef) {
  int s = DecodeSymbol(br_, *dc_[j]);
  int diff = Extend(br_.Get(s), s);
  pred_[j] = static_cast<int16_t>(static_cast<uint16_t>(pred_[j] + diff));
  coef[0] = ToCoef(static_cast<int>(static_cast<unsigned>(pred_[j]) << scan().al));
}

void ProgressiveScan::DcRefine(int16_t* coef) {
  if (br_.Get(1)) coef[0] = ToCoef(coef[0] | (1 << scan().al));
}

void ProgressiveScan::AcFirst(int16_t* coef) {
  if (eobrun_ > 0) {
    --eobrun_;
    return;
  }
  const int al = scan().al;
  for (int k = scan().ss; k <= scan().se; ++k) {
    int rs = DecodeSymbol(br_, *ac_);
    int r = rs >> 4;
    int s = rs & 15;
    if (s) {
      k += r;
      if (k > scan().se) break;  // a run past the band: corrupt data, never written outside it
      int v = Extend(br_.Get(s), s);
      coef[kZigzag[k]] = ToCoef(static_cast<int>(static_cast<unsigned>(v) << al));
    } else if (r == 15) {
      k += 15;
    } else {
      eobrun_ = (1 << r) + static_cast<int>(br_.Get(r)) - 1;
      break;
    }
  }
}

// T.81 G.1.2.3: correction bits for coefficients that already have history, new coefficients of
// magnitude 1 << Al placed after R zero-history positions. Positions never go past Se.
void ProgressiveScan::AcRefine(int16_t* coef) {
  const int se = scan().se;
  const int p1 = 1 << scan().al;
  const int m1 = -p1;
  int k = scan().ss;
  auto correct = [&](int16_t& c) {
    if (br_.Get(1) && (c & p1) == 0) c = ToCoef(c >= 0 ? c + p1 : c + m1);
  };
  if (eobrun_ == 0) {
    for (; k <= se; ++k) {
      int rs = DecodeSymbol(br_, *ac_);
      int r = rs >> 4;
      int s = rs & 15;
      int value = 0;
      if (s) {
        if (s != 1) Fail(kErrBadCode);
        value = br_.Get(1) ? p1 : m1;
      } else if (r != 15) {
        eobrun_ = 1 << r;
        if (r) eobrun_ += static_cast<int>(br_.Get(r));
        break;
      }
      for (; k <= se; ++k) {
        int16_t& c = coef[kZigzag[k]];
        if (c != 0) {
          correct(c);
        } else if (--r < 0) {
          break;
        }
      }
      if (value && k <= se) coef[kZigzag[k]] = ToCoef(value);
    }
  }
  if (eobrun_ > 0) {
    for (; k <= se; ++k) {
      int16_t& c = coef[kZigzag[k]];
      if (c != 0) correct(c);
    }
    --eobrun_;
  }
}

void ProgressiveScan::Block(int j, int16_t* coef) {
  try {
    const JpegScan& s = scan();
    if (s.ss == 0) {
      if (s.ah == 0) {
        DcFirst(j, coef);
      } else {
        DcRefine(coef);
      }
    } else if (s.ah == 0) {
      AcFirst(coef);
    } else {
      AcRefine(coef);
    }
  } catch (const JpegError& e) {
    RethrowAtMarker(e, br_, win_);
  }
}

// Restart handling precedes the first MCU of every interval after the first.
void ProgressiveScan::BeforeMcu() {
  if (!hdr_.restart_interval) return;
  if (!first_mcu_ && in_interval_ == hdr_.restart_interval) {
    ProcessRestart(win_, br_, next_rst_, false);
    in_interval_ = 0;
    eobrun_ = 0;
    pred_[0] = pred_[1] = pred_[2] = 0;
  }
  first_mcu_ = false;
  ++in_interval_;
}

void ProgressiveScan::Run(const Geometry& geo, CoefStore& store) {
  const JpegScan& s = scan();
  if (s.ns == 1) {
    const int c = s.comp[0];
    const int h = geo.comp_h[c], v = geo.comp_v[c];
    for (int by = 0; by < geo.blocks_y[c]; ++by) {
      for (int bx = 0; bx < geo.blocks_x[c]; ++bx) {
        BeforeMcu();
        uint32_t mcu = static_cast<uint32_t>(by / v) * geo.mcus_x + static_cast<uint32_t>(bx / h);
        Block(0, store.Mcu(mcu) + 64 * (geo.mcu_offset[c] + (by % v) * h + bx % h));
      }
    }
    return;
  }
  for (uint32_t mcu = 0; mcu < geo.total_mcus; ++mcu) {
    BeforeMcu();
    int16_t* base = store.Mcu(mcu);
    for (int j = 0; j < s.ns; ++j) {
      const int c = s.comp[j];
      for (int b = 0; b < geo.comp_h[c] * geo.comp_v[c]; ++b) Block(j, base + 64 * (geo.mcu_offset[c] + b));
    }
  }
}

}  // namespace

void DecodeProgressiveScans(JpegHeaders& hdr, const Geometry& geo, InputWindow& win, CoefStore& store) {
  int scans = 0;
  do {
    if (++scans > kMaxScans) Fail(kErrScanParams);
    ProgressiveScan scan(hdr, win);
    scan.Run(geo, store);
  } while (NextScan(hdr, win));
}

}  // namespace zc::jpegdec
