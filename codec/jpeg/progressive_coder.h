// Progressive Huffman scan coders, ITU-T T.81 G.1.2: DC first and refinement, AC first and refinement with
// end-of-band runs and buffered correction bits. The same walk runs twice per scan: a statistics pass that
// counts symbols (for optimal tables, T.81 K.2) and a coding pass that writes them. Blocks come as stored:
// 64 signed 16-bit coefficients in zig-zag order, any alignment; the AC coders also take the block's point
// masks (TransformKernels::point_masks, cut to the band Ss..Se), computed once per scan for both passes.
#pragma once

#include <array>
#include <cstdint>

#include "bit_writer.h"
#include "huffman_code.h"

namespace zc::jpeg {

class ProgressiveCoder {
 public:
  // writer null: statistics mode (symbols are counted, bits dropped).
  ProgressiveCoder(int ss, int se, int ah, int al, BitWriter* writer)
      : ss_(ss), se_(se), ah_(ah), al_(al), out_(writer) {}

  // The AC table of the scan's single component: its code (coding) or its counts (statistics).
  void SetAcTable(const HuffmanCode* code, SymbolCounts* counts) {
    ac_code_ = code;
    ac_counts_ = counts;
  }

  // DC first scan (Ah 0): the DC coefficient >> Al coded as a difference from *dc_pred.
  void EncodeDcFirst(int dc, int* dc_pred, const HuffmanCode* code, SymbolCounts* counts);
  // DC refinement: bit Al of the DC coefficient.
  void EncodeDcRefine(int dc);
  // `nonzero`: bit k when |coef[k]| >> Al is not 0; `one`: when it is 1 (the coefficients that become
  // non-zero in a refinement scan). Both hold bits of the band only.
  void EncodeAcFirst(const uint8_t* block, uint64_t nonzero);
  void EncodeAcRefine(const uint8_t* block, uint64_t nonzero, uint64_t one);
  // Ends the pass: the pending end-of-band run with its correction bits, then (coding) padding.
  void Finish();

  static constexpr int kMaxCorrectionBits = 1000;

 private:
  void EmitSymbol(const HuffmanCode* code, SymbolCounts* counts, int symbol) {
    if (out_ == nullptr) {
      ++(*counts)[symbol];
    } else if (code->length[symbol] != 0) {
      out_->PutBits(code->code[symbol], code->length[symbol]);
    }
  }
  void EmitBits(uint32_t bits, int count) {
    if (out_ != nullptr && count > 0) out_->PutBits(bits & ((1u << count) - 1u), count);
  }
  void EmitEobRun();
  void EmitCorrectionBits(int start, int count);

  int ss_, se_, ah_, al_;
  BitWriter* out_;
  const HuffmanCode* ac_code_ = nullptr;
  SymbolCounts* ac_counts_ = nullptr;
  uint32_t eobrun_ = 0;
  int be_ = 0;  // correction bits buffered with the pending run
  std::array<uint8_t, kMaxCorrectionBits> corr_{};
};

}  // namespace zc::jpeg
