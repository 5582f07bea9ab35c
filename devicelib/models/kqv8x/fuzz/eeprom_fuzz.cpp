// Fuzz entry point of KQv8x EEPROM images against the 0xF000 limit: any bytes as the image the scanner
// holds (header and length checks, the "Eeprom.dat" cache in a scratch folder), walked for every section
// and 3000-byte table; then a fresh image filled with tables of a good-pixel count taken from the input
// and written back, which the limit refuses unsent once it reaches 0xF000 bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "qv6/kqv8x/kqv8_model.h"
#include "testkit/support/scratch_dir.h"

namespace {

class FuzzDevice : public qv6::EepromAccess {
 public:
  explicit FuzzDevice(std::vector<uint8_t> bytes) : memory_(std::move(bytes)) {
    memory_.resize(0xF000, 0xFF);
  }
  int ReadData(uint8_t* buffer, int length) override {
    const auto n = static_cast<size_t>(std::min(length & 0xFFFF, 0xF000));
    std::fill(buffer, buffer + (length & 0xFFFF), 0xFF);
    std::copy_n(memory_.begin(), n, buffer);
    return static_cast<int>(n);
  }
  int WriteData(const uint8_t* data, int length) override {
    const auto n = static_cast<size_t>(std::min(length & 0xFFFF, 0xF000));
    if (n >= 0xF000) __builtin_trap();  // an image the scanner cannot hold never goes out
    std::copy_n(data, n, memory_.begin());
    return static_cast<int>(n);
  }
  bool ReadSerial(std::string* serial) override {
    *serial = "SN0001";
    return true;
  }

 private:
  std::vector<uint8_t> memory_;
};

void ScratchTempFolder() {
  static const zc::testkit::ScratchDir scratch("kqv8x_eeprom_fuzz");
  static const bool set = [] {
    plat::SetFolder(plat::Folder::kTemp, scratch.Path());
    return true;
  }();
  (void)set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xF000 + 16) return 0;
  ScratchTempFolder();
  std::vector<uint8_t> bytes(data, data + size);
  std::vector<uint8_t> record(3000);
  FuzzDevice device(bytes);
  qv6::KQv8xMechFile image(device);
  image.SyncImage();
  for (int tag = 64; tag <= 70; ++tag) image.GetRecord(tag, record.data(), 320);
  for (int tag = 256; tag <= 271; ++tag) image.GetRecord(tag, record.data(), record.size());

  // A fresh image of sixteen tables of a length from the input (at most the table size).
  const size_t length = size >= 2 ? std::min<size_t>((data[0] << 8 | data[1]) * 2u, record.size()) : 0;
  if (image.InitImage("SN0001")) {
    for (int tag = 256; tag <= 271; ++tag) image.AddRecord(tag, record.data(), static_cast<int>(length));
    image.SyncImage();
  }
  return 0;
}
