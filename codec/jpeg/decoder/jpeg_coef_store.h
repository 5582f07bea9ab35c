// Whole-picture coefficient store for progressive and multi-scan sequential decoding.
//
// 16-bit quantised coefficients, 64 a block in natural order, the blocks of one MCU contiguous (frame
// components in frame order, each component's V rows of H blocks). The store is either the decoder's own
// or one the caller places through allocate / get-pointer / free callbacks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace zc::jpegdec {

class CoefStore {
 public:
  virtual ~CoefStore() = default;
  // The MCU's coefficients; throws 55 when the store cannot give them.
  virtual int16_t* Mcu(uint32_t index) = 0;
  // Called once after the output pass; throws 2 when the store refuses to be released.
  virtual void Finish() {}
  // A hint that `bytes` bytes from word `offset` of MCU `index` will be read soon; stores that cannot
  // compute an address without asking their owner ignore it.
  virtual void Prefetch(uint32_t index, uint32_t offset, uint32_t bytes) {
    (void)index;
    (void)offset;
    (void)bytes;
  }
};

// The decoder's own zeroed store; throws 54 when it cannot be allocated.
std::unique_ptr<CoefStore> MakeInternalStore(uint32_t mcus, uint32_t bytes_per_mcu);

using StoreFactory = std::function<std::unique_ptr<CoefStore>(uint32_t mcus, uint32_t bytes_per_mcu)>;

}  // namespace zc::jpegdec
