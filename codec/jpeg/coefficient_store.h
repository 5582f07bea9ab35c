// Store of the quantised coefficients of a progressive compression: MCU records of 128-byte block slots,
// 64 signed 16-bit values each. Sixteen bits keep every coefficient of an 8-bit image exactly, whatever the
// quality. Which block goes in which slot is the compressor's choice (JpegCompressor::BlockSlot).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zc::jpeg {

// The most MCUs a store can hold: the store interface counts them in 16 bits.
inline constexpr uint32_t kMaxStoredMcus = 65535;

class CoefficientStore {
 public:
  virtual ~CoefficientStore() = default;
  // Reserves `mcus` MCUs of `bytes_per_mcu` bytes, zeroed. False on failure.
  virtual bool Allocate(uint16_t mcus, uint16_t bytes_per_mcu) = 0;
  // Address of MCU `index` (possibly unaligned), or null.
  virtual uint8_t* Mcu(uint16_t index) = 0;
  // The whole store as one array of MCU records when it is one (the heap store), else null; the scans
  // then address blocks without a call per block.
  virtual uint8_t* Contiguous() { return nullptr; }
  // Releases the store; false when the owner reports a failure.
  virtual bool Release() = 0;
};

// The codec's own store on the heap, used when the caller provides none.
std::unique_ptr<CoefficientStore> MakeHeapCoefficientStore();

}  // namespace zc::jpeg
