// Fuzz entry point of EEPROM images: any bytes as the image a device holds, synchronised into an image
// object (header and length checks, the "Eeprom.dat" cache in a scratch folder) and walked for every
// record tag the series use; then the same bytes as an image adopted directly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "qv6/models/device_mech_file.h"
#include "testkit/support/scratch_dir.h"

namespace {

constexpr int kTags[] = {64, 65, 66, 67, 68, 69, 70, 256, 263, 271};

class FuzzDevice : public qv6::EepromAccess {
 public:
  explicit FuzzDevice(std::vector<uint8_t> bytes) : memory_(std::move(bytes)) {}
  int ReadData(uint8_t* buffer, int length) override {
    std::fill(buffer, buffer + length, 0xFF);
    size_t n = std::min(static_cast<size_t>(length), memory_.size());
    std::copy_n(memory_.begin(), n, buffer);
    return length;
  }
  int WriteData(const uint8_t*, int) override { return 0; }
  bool ReadSerial(std::string* serial) override {
    *serial = "SN0001";
    return true;
  }

 private:
  std::vector<uint8_t> memory_;
};

class FuzzImage : public qv6::DeviceMechFile {
 public:
  explicit FuzzImage(qv6::EepromAccess& device)
      : DeviceMechFile(device, {{'Q', 'v', '6', '3'}, 48, 0x6F00}) {}
  void GetDefaultSection(int, uint8_t* buffer, size_t length) override {
    std::fill(buffer, buffer + length, 0x5A);
  }
  void Adopt(std::vector<uint8_t> bytes) { AdoptImage(std::move(bytes)); }
};

// One scratch folder for the whole run, removed at exit.
void ScratchTempFolder() {
  static const zc::testkit::ScratchDir scratch("mech_image_fuzz");
  static const bool set = [] {
    plat::SetFolder(plat::Folder::kTemp, scratch.Path());
    return true;
  }();
  (void)set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > qv6::MechFileBaseClass::kImageSize) return 0;
  ScratchTempFolder();
  std::vector<uint8_t> bytes(data, data + size);
  std::vector<uint8_t> record(2048);
  FuzzDevice device(bytes);
  FuzzImage synced(device);
  synced.SyncImage();
  for (int tag : kTags) synced.GetRecord(tag, record.data(), record.size());

  qv6::MechFileBaseClass::FindRecord(64, bytes, size);
  FuzzImage adopted(device);
  adopted.Adopt(bytes);
  for (int tag : kTags) adopted.GetRecord(tag, record.data(), record.size());
  adopted.AddRecord(1, record.data(), 100);
  return 0;
}
