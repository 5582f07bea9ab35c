// DeviceMechFile: an EEPROM image kept on a scanner and cached in "Eeprom.dat" in the temporary folder,
// as the QV62x and later series keep theirs. It builds fresh images with the series' tag and code and
// carries the device's write counter on; SyncImage writes a changed image, reads the device's image
// back (or takes the cache file when it provably holds the same image), and checks what it read.
//
// The series differ in their tag and code, the largest image their device takes, and their defaults.
#pragma once

#include <cstdint>
#include <string>

#include "qv6/models/mech_file_base.h"

namespace qv6 {

// How the image reaches the device: the command set's EEPROM reads and writes and the identity.
class EepromAccess {
 public:
  virtual ~EepromAccess() = default;
  // Both return the number of bytes moved (the device may take fewer than asked), 0 on failure.
  virtual int ReadData(uint8_t* buffer, int length) = 0;
  virtual int WriteData(const uint8_t* data, int length) = 0;
  // The serial number of the scanner's identity; false when the identity cannot be read.
  virtual bool ReadSerial(std::string* serial) = 0;
};

class DeviceMechFile : public MechFileBaseClass {
 public:
  static constexpr const char* kCacheFileName = "Eeprom.dat";

  struct Series {
    char tag[4];
    uint32_t code;
    size_t deviceLimit;  // an image of this many bytes or more is not the device's
    size_t imageSize = kImageSize;  // the host's image buffer
  };

  DeviceMechFile(EepromAccess& device, const Series& series)
      : MechFileBaseClass(series.imageSize), device_(device), series_(series) {}

  int InitImage(const char* text) override;
  int SyncImage() override;

  const Series& series() const { return series_; }
  // The POSIX path of "Eeprom.dat" in the temporary folder.
  static std::string CachePath();

 private:
  bool ReadCache(std::vector<uint8_t>* bytes) const;
  bool CacheMatches(const std::vector<uint8_t>& cache, const std::vector<uint8_t>& deviceHeader);
  bool WriteCache(const std::vector<uint8_t>& bytes) const;
  bool UsableLength(uint64_t used) const { return used < series_.deviceLimit && used <= imageSize_; }

  EepromAccess& device_;
  Series series_;
};

}  // namespace qv6
