// Progressive Huffman scans (ITU-T T.81 Annex G): spectral selection and successive approximation,
// decoded into the whole-picture coefficient store.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
// How far ahead single-component scans ask the store to fetch.
constexpr uint32_t kPrefetchMcus = 8;

inline int16_t ToCoef(int v) {
  return static_cast<int16_t>(static_cast<uint16_t>(v));
}

// The bit reader's buffer held in locals for one block. Refills happen exactly where the reader's own
// accessors would refill (fewer than 16 bits before a symbol, fewer than n before n bits), so the reader
// reaches markers and the end of the data at the same points and failures are classified as before.
class HeldBits {
 public:
  explicit HeldBits(BitReader& br) : br_(br), acc_(br.held()), bits_(br.bits()) {}
  HeldBits(const HeldBits&) = delete;
  HeldBits& operator=(const HeldBits&) = delete;
  // Hands the buffer back (not needed after a failure: the decode ends there).
  void Sync() { br_.Import(acc_, bits_); }

  uint64_t acc() const { return acc_; }
  int bits() const { return bits_; }
  void Need(int n) {
    if (bits_ < n) br_.Fill(acc_, bits_);
  }
  void Consume(int n) {
    acc_ <<= n;
    bits_ -= n;
  }
  // n is 0..16.
  uint32_t Get(int n) {
    if (n == 0) return 0;
    Need(n);
    const uint32_t v = static_cast<uint32_t>(acc_ >> (64 - n));
    Consume(n);
    return v;
  }
  int Symbol(const HuffTable& t) {
    Need(16);
    const uint32_t look = static_cast<uint32_t>(acc_ >> 56);
    const int len = t.look_len[look];
    if (len) {
      Consume(len);
      return t.look_sym[look];
    }
    const uint32_t code16 = static_cast<uint32_t>(acc_ >> 48);
    for (int l = 9; l <= 16; ++l) {
      const int32_t code = static_cast<int32_t>(code16 >> (16 - l));
      if (code <= t.maxcode[l]) {
        Consume(l);
        return t.values[(t.valptr[l] + static_cast<unsigned>(code - t.mincode[l])) & 0xFF];
      }
    }
    Fail(kErrBadCode);
  }

 private:
  BitReader& br_;
  uint64_t acc_;
  int bits_;
};

// Zig-zag positions of the non-zero coefficients of a block (natural order) as a 64-bit mask: a compare
// gives the natural-order mask, and eight table look-ups permute it, a byte of it at a time.
struct ZigzagMaskTable {
  uint64_t bits[8][256];
  ZigzagMaskTable() : bits{} {
    int zigzag_of[64];
    for (int k = 0; k < 64; ++k) zigzag_of[kZigzag[k]] = k;
    for (int b = 0; b < 8; ++b) {
      for (int x = 0; x < 256; ++x) {
        for (int i = 0; i < 8; ++i) {
          if (x & (1 << i)) bits[b][x] |= uint64_t{1} << zigzag_of[8 * b + i];
        }
      }
    }
  }
};
const ZigzagMaskTable kZigzagMask;

uint64_t NonZeroZigzag(const int16_t* coef) {
  uint64_t natural = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (int i = 0; i < 4; ++i) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + 16 * i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + 16 * i + 8));
    const __m128i eq = _mm_packs_epi16(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero));
    natural |= static_cast<uint64_t>(static_cast<uint16_t>(~_mm_movemask_epi8(eq))) << (16 * i);
  }
#else
  for (int i = 0; i < 64; ++i) natural |= static_cast<uint64_t>(coef[i] != 0) << i;
#endif
  uint64_t m = 0;
  for (int b = 0; b < 8; ++b) m |= kZigzagMask.bits[b][(natural >> (8 * b)) & 0xFF];
  return m;
}

// Positions lo..hi (0 <= lo <= 63, hi <= 63; empty when hi < lo).
inline uint64_t Span(int lo, int hi) {
  if (hi < lo) return 0;
  const uint64_t upto = hi == 63 ? ~uint64_t{0} : (uint64_t{1} << (hi + 1)) - 1;
  return upto & (~uint64_t{0} << lo);
}

// T.81 EXTEND of the top s (0..15) bits of `bits` (as the sequential decoder's).
inline int ExtendedTop(uint64_t bits, int s) {
  const int v = static_cast<int>((bits >> 1) >> (63 - s));
  const int adjust = static_cast<int>(static_cast<int64_t>(~bits) >> 63) & ((1 << s) - 1);
  return v - adjust;
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
  const int se = scan().se;
  const HuffTable& ac = *ac_;
  HeldBits h(br_);
  for (int k = scan().ss; k <= se; ++k) {
    h.Need(16);
    // Common case: a short code and its value in one look-up, all of it held and inside the band.
    const int32_t e = ac.fast_ac[h.acc() >> (64 - kFastAcBits)];
    if (FastKind(e) == kFastCoef) {
      const int total = FastConsumed(e), pending = FastPending(e), run = FastRun(e);
      if (total <= h.bits() && k + run <= se) {
        const uint64_t vbits = h.acc() << (total - pending);
        h.Consume(total);
        k += run;
        const int v = ExtendedTop(vbits, pending) + FastValue(e);
        coef[kZigzag[k]] = ToCoef(static_cast<int>(static_cast<unsigned>(v) << al));
        continue;
      }
    }
    const int rs = h.Symbol(ac);
    const int r = rs >> 4;
    const int sz = rs & 15;
    if (sz) {
      k += r;
      if (k > se) break;  // a run past the band: corrupt data, never written outside it
      const int v = Extend(h.Get(sz), sz);
      coef[kZigzag[k]] = ToCoef(static_cast<int>(static_cast<unsigned>(v) << al));
    } else if (r == 15) {
      k += 15;
    } else {
      eobrun_ = (1 << r) + static_cast<int>(h.Get(r)) - 1;
      break;
    }
  }
  h.Sync();
}

// T.81 G.1.2.3: correction bits for coefficients that already have history, new coefficients of
// magnitude 1 << Al placed after R zero-history positions. Positions never go past Se.
void ProgressiveScan::AcRefine(int16_t* coef) {
  const int se = scan().se;
  const int p1 = 1 << scan().al;
  const int m1 = -p1;
  int k = scan().ss;
  HeldBits h(br_);
  // Without branches on the bit: correction bits are close to random.
  auto correct = [&](int16_t& c) {
    const int bit = static_cast<int>(h.Get(1));
    const int step = (c & p1) == 0 ? (c >= 0 ? p1 : m1) : 0;
    c = ToCoef(c + (step & -bit));
  };
  // Positions with history (non-zero so far, in zig-zag order): the walk over the band reads one
  // correction bit for each of them and counts the others, so it goes from one to the next through
  // the mask instead of position by position. Corrections never make a coefficient zero.
  uint64_t history = NonZeroZigzag(coef);
  auto correct_span = [&](int lo, int hi) {
    for (uint64_t m = history & Span(lo, hi); m; m &= m - 1) correct(coef[kZigzag[__builtin_ctzll(m)]]);
  };
  if (eobrun_ == 0) {
    for (; k <= se; ++k) {
      int rs = h.Symbol(*ac_);
      int r = rs >> 4;
      int s = rs & 15;
      int value = 0;
      if (s) {
        if (s != 1) Fail(kErrBadCode);
        value = h.Get(1) ? p1 : m1;
      } else if (r != 15) {
        eobrun_ = 1 << r;
        if (r) eobrun_ += static_cast<int>(h.Get(r));
        break;
      }
      // The (r + 1)-th position without history from k on, or past the band.
      uint64_t zeros = ~history & Span(k, se);
      for (int i = 0; i < r; ++i) zeros &= zeros - 1;  // an empty mask stays empty
      const int target = zeros ? __builtin_ctzll(zeros) : se + 1;
      correct_span(k, target - 1);
      k = target;
      if (value && k <= se) {
        coef[kZigzag[k]] = ToCoef(value);
        history |= uint64_t{1} << k;
      }
    }
  }
  if (eobrun_ > 0) {
    if (k <= se) correct_span(k, se);
    --eobrun_;
  }
  h.Sync();
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
    // Non-interleaved: the component's blocks in raster order; block (bx, by) lies in MCU
    // (bx / h, by / v) at (bx % h, by % v), tracked by counters rather than divisions.
    const int c = s.comp[0];
    const int h = geo.comp_h[c], v = geo.comp_v[c];
    int mcu_y = 0, in_v = 0;
    for (int by = 0; by < geo.blocks_y[c]; ++by) {
      int mcu_x = 0, in_h = 0;
      for (int bx = 0; bx < geo.blocks_x[c]; ++bx) {
        BeforeMcu();
        const uint32_t mcu = static_cast<uint32_t>(mcu_y) * geo.mcus_x + static_cast<uint32_t>(mcu_x);
        const uint32_t offset = static_cast<uint32_t>(64 * (geo.mcu_offset[c] + in_v * h));
        // The component's blocks lie an MCU apart in the store: fetch a few MCUs ahead of the decoder.
        if (in_h == 0) store.Prefetch(mcu + kPrefetchMcus, offset, static_cast<uint32_t>(128 * h));
        Block(0, store.Mcu(mcu) + offset + 64 * in_h);
        if (++in_h == h) {
          in_h = 0;
          ++mcu_x;
        }
      }
      if (++in_v == v) {
        in_v = 0;
        ++mcu_y;
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
