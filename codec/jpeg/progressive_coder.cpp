// Progressive scan coders (ITU-T T.81 G.1.2.1 DC, G.1.2.2 AC first, G.1.2.3 AC refinement).
#include "progressive_coder.h"

#include <cstring>

#include "sequential_coder.h"

namespace zc::jpeg {
namespace {
constexpr uint32_t kMaxEobRun = 0x7FFF;

int StoredCoefficient(const uint8_t* block, int k) {
  int16_t v;
  std::memcpy(&v, block + 2 * k, sizeof v);
  return v;
}
}  // namespace

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

void ProgressiveCoder::EncodeDcFirst(int dc, int* dc_pred, const HuffmanCode* code, SymbolCounts* counts) {
  const int value = dc >> al_;  // arithmetic shift
  const int diff = value - *dc_pred;
  *dc_pred = value;
  const int size = MagnitudeCategory(diff);
  EmitSymbol(code, counts, size);
  EmitBits(ExtraBits(diff, size), size);
}

void ProgressiveCoder::EncodeDcRefine(int dc) {
  EmitBits(static_cast<uint32_t>(dc >> al_), 1);
}

void ProgressiveCoder::EncodeAcFirst(const uint8_t* block, uint64_t nonzero) {
  // Zeros between the non-zero values are runs.
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
    const int v = StoredCoefficient(block, k);
    const uint32_t a = static_cast<uint32_t>(v < 0 ? -v : v) >> al_;
    const int size = MagnitudeCategory(static_cast<int>(a));
    EmitSymbol(ac_code_, ac_counts_, (run << 4) + size);
    // Negative values send the complement of their magnitude (T.81 G.1.2.2).
    EmitBits(v < 0 ? ~a : a, size);
  }
  if (prev < se_) {
    if (++eobrun_ == kMaxEobRun) EmitEobRun();
  }
}

void ProgressiveCoder::EncodeAcRefine(const uint8_t* block, uint64_t nonzero, uint64_t one) {
  const int eob = one == 0 ? 0 : 63 - __builtin_clzll(one);  // last position that becomes non-zero
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
    const int v = StoredCoefficient(block, k);
    if (((one >> k) & 1) == 0) {
      // Already non-zero from an earlier scan: its bit Al is a correction bit.
      corr_[br_start + br++] = static_cast<uint8_t>(((v < 0 ? -v : v) >> al_) & 1);
      continue;
    }
    EmitEobRun();
    EmitSymbol(ac_code_, ac_counts_, (run << 4) + 1);
    EmitBits(v < 0 ? 0 : 1, 1);
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
