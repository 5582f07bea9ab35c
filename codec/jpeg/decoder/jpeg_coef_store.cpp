// The decoder's own coefficient store.
#include "codec/jpeg/decoder/jpeg_coef_store.h"

#include <cstdlib>

#include "codec/jpeg/decoder/jpeg_error.h"

namespace zc::jpegdec {
namespace {

class InternalStore final : public CoefStore {
 public:
  InternalStore(uint32_t mcus, uint32_t bytes_per_mcu) : mcus_(mcus), words_(bytes_per_mcu / 2) {
    // calloc leaves untouched pages unbacked, so a large declared picture costs only what is decoded.
    data_ = static_cast<int16_t*>(std::calloc(static_cast<size_t>(mcus) * words_ + 1, sizeof(int16_t)));
    if (!data_) Fail(kErrStoreAlloc);
  }
  ~InternalStore() override { std::free(data_); }
  InternalStore(const InternalStore&) = delete;
  InternalStore& operator=(const InternalStore&) = delete;

  int16_t* Mcu(uint32_t index) override {
    if (index >= mcus_) Fail(kErrStorePtr);
    return data_ + static_cast<size_t>(index) * words_;
  }
  void Prefetch(uint32_t index, uint32_t offset, uint32_t bytes) override {
    if (index >= mcus_ || offset >= words_) return;
    const char* p = reinterpret_cast<const char*>(data_ + static_cast<size_t>(index) * words_ + offset);
    for (uint32_t at = 0; at < bytes; at += 64) __builtin_prefetch(p + at);
  }

 private:
  uint32_t mcus_;
  size_t words_;
  int16_t* data_ = nullptr;
};

}  // namespace

std::unique_ptr<CoefStore> MakeInternalStore(uint32_t mcus, uint32_t bytes_per_mcu) {
  return std::make_unique<InternalStore>(mcus, bytes_per_mcu);
}

}  // namespace zc::jpegdec
