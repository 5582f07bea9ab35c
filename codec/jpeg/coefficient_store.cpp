// Heap coefficient store.
#include "coefficient_store.h"

#include <new>
#include <vector>

namespace zc::jpeg {
namespace {

class HeapCoefficientStore final : public CoefficientStore {
 public:
  bool Allocate(uint16_t mcus, uint16_t bytes_per_mcu) override {
    try {
      data_.assign(static_cast<size_t>(mcus) * bytes_per_mcu, 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    mcus_ = mcus;
    bytes_per_mcu_ = bytes_per_mcu;
    return true;
  }
  uint8_t* Mcu(uint16_t index) override {
    return index < mcus_ ? data_.data() + static_cast<size_t>(index) * bytes_per_mcu_ : nullptr;
  }
  uint8_t* Contiguous() override { return data_.empty() ? nullptr : data_.data(); }
  bool Release() override {
    std::vector<uint8_t>().swap(data_);
    mcus_ = 0;
    return true;
  }

 private:
  std::vector<uint8_t> data_;
  uint16_t mcus_ = 0;
  uint16_t bytes_per_mcu_ = 0;
};

}  // namespace

std::unique_ptr<CoefficientStore> MakeHeapCoefficientStore() {
  return std::make_unique<HeapCoefficientStore>();
}

}  // namespace zc::jpeg
