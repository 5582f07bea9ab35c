// A scanner EEPROM for the image and cache tests: every read and write starts at offset 0, as the
// command set's EEPROM transfers do; writes can be made to come back damaged.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "qv6/models/device_mech_file.h"

namespace qv6 {

inline constexpr size_t kFakeEepromBytes = 0x6F00;

class FakeEeprom : public EepromAccess {
 public:
  std::vector<uint8_t> memory = std::vector<uint8_t>(kFakeEepromBytes, 0xFF);
  std::string serial = "SN0001";
  bool identityReadable = true;
  bool corruptWrites = false;
  bool failReads = false;
  size_t bytesRead = 0;
  int writes = 0;

  int ReadData(uint8_t* buffer, int length) override {
    if (failReads) return 0;
    std::fill(buffer, buffer + length, 0xFF);
    size_t n = std::min<size_t>(static_cast<size_t>(length), kFakeEepromBytes);
    std::copy_n(memory.begin(), n, buffer);
    bytesRead += n;
    return static_cast<int>(n);
  }
  int WriteData(const uint8_t* data, int length) override {
    ++writes;
    size_t n = std::min<size_t>(static_cast<size_t>(length), kFakeEepromBytes);
    std::copy_n(data, n, memory.begin());
    if (corruptWrites) memory[n - 1] ^= 0xFF;
    return static_cast<int>(n);
  }
  bool ReadSerial(std::string* out) override {
    *out = serial;
    return identityReadable;
  }
};

class TestMechFile : public DeviceMechFile {
 public:
  explicit TestMechFile(EepromAccess& device)
      : DeviceMechFile(device, {{'T', 'e', 's', 't'}, 48, kFakeEepromBytes}) {}
  void GetDefaultSection(int, uint8_t* buffer, size_t length) override {
    std::fill(buffer, buffer + length, 0xAB);
  }
};

}  // namespace qv6
