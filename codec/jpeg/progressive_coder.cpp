// Progressive scan coders (ITU-T T.81 G.1.2.1 DC, G.1.2.2 AC first, G.1.2.3 AC refinement).
#include "progressive_coder.h"

#include "jpeg_tables.h"
#include "sequential_coder.h"

namespace zc::jpeg {
namespace {
constexpr uint32_t kMaxEobRun = 0x7FFF;
}

void ProgressiveCoder::EmitCorrectionBits(int start, int count) {
  if (out_ == nullptr) return;
  for (int i = 0; i < count; ++i) out_->PutBits(corr_[start + i], 1);
}

void ProgressiveCoder::EmitEobRun() {
  if (eobrun_ == 0) return;
  int nbits = 0;
  for (uint32_t t = eobrun_ >> 1; t != 0; t >>= 1) ++nbits;
  EmitSymbol(ac_code_, ac_counts_, nbits << 4);
  EmitBits(eobrun_, nbits);
  eobrun_ = 0;
  EmitCorrectionBits(0, be_);
  be_ = 0;
}

void ProgressiveCoder::EncodeDcFirst(const int16_t* coef, int* dc_pred, const HuffmanCode* code,
                                     SymbolCounts* counts) {
  const int value = coef[0] >> al_;  // arithmetic shift
  const int diff = value - *dc_pred;
  *dc_pred = value;
  const int size = MagnitudeCategory(diff);
  EmitSymbol(code, counts, size);
  EmitBits(ExtraBits(diff, size), size);
}

void ProgressiveCoder::EncodeDcRefine(const int16_t* coef) {
  EmitBits(static_cast<uint32_t>(coef[0] >> al_), 1);
}

void ProgressiveCoder::EncodeAcFirst(const int16_t* coef) {
  // Values after the point transform, and a mask of the non-zero ones; zeros between them are runs.
  int values[64];
  uint64_t nonzero = 0;
  for (int k = ss_; k <= se_; ++k) {
    const int v = coef[kZigzagToNatural[k]];
    const int a = (v < 0 ? -v : v) >> al_;
    values[k] = v < 0 ? -a : a;
    nonzero |= static_cast<uint64_t>(a != 0) << k;
  }
  int prev = ss_ - 1;
  for (uint64_t rest = nonzero; rest != 0; rest &= rest - 1) {
    const int k = __builtin_ctzll(rest);
    int run = k - prev - 1;
    prev = k;
    EmitEobRun();
    while (run > 15) {
      EmitSymbol(ac_code_, ac_counts_, 0xF0);
      run -= 16;
    }
    const int v = values[k];
    const int size = MagnitudeCategory(v);
    EmitSymbol(ac_code_, ac_counts_, (run << 4) + size);
    // Negative values send the complement of their magnitude (T.81 G.1.2.2).
    EmitBits(v < 0 ? ~static_cast<uint32_t>(-v) : static_cast<uint32_t>(v), size);
  }
  if (prev < se_) {
    if (++eobrun_ == kMaxEobRun) EmitEobRun();
  }
}

void ProgressiveCoder::EncodeAcRefine(const int16_t* coef) {
  int absval[64];
  uint64_t nonzero = 0;
  int eob = 0;  // last position that becomes non-zero in this scan
  for (int k = ss_; k <= se_; ++k) {
    const int v = coef[kZigzagToNatural[k]];
    const int a = (v < 0 ? -v : v) >> al_;
    absval[k] = a;
    nonzero |= static_cast<uint64_t>(a != 0) << k;
    eob = a == 1 ? k : eob;
  }

  int run = 0;
  int prev = ss_ - 1;
  int br = 0;          // correction bits of this block
  int br_start = be_;  // where they go in the buffer
  for (uint64_t rest = nonzero; rest != 0; rest &= rest - 1) {
    const int k = __builtin_ctzll(rest);
    run += k - prev - 1;
    prev = k;
    while (run > 15 && k <= eob) {
      EmitEobRun();
      EmitSymbol(ac_code_, ac_counts_, 0xF0);
      run -= 16;
      EmitCorrectionBits(br_start, br);
      br_start = 0;
      br = 0;
    }
    const int v = absval[k];
    if (v > 1) {
      // Already non-zero from an earlier scan: its bit Al is a correction bit.
      corr_[br_start + br++] = static_cast<uint8_t>(v & 1);
      continue;
    }
    EmitEobRun();
    EmitSymbol(ac_code_, ac_counts_, (run << 4) + 1);
    EmitBits(coef[kZigzagToNatural[k]] < 0 ? 0 : 1, 1);
    EmitCorrectionBits(br_start, br);
    br_start = 0;
    br = 0;
    run = 0;
  }
  run += se_ - prev;
  if (run > 0 || br > 0) {
    ++eobrun_;
    be_ += br;
    if (eobrun_ == kMaxEobRun || be_ > kMaxCorrectionBits - 64 + 1) EmitEobRun();
  }
}

void ProgressiveCoder::Finish() {
  EmitEobRun();
  if (out_ != nullptr) out_->PadToByte();
}

}  // namespace zc::jpeg
