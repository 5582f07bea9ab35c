// Building, writing, reading and caching an EEPROM image kept on the scanner.
#include "qv6/models/device_mech_file.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/byte_order.h"
#include "platform/file_replace.h"
#include "platform/paths.h"

namespace qv6 {
namespace {

// An identification text never programmed: empty, all 'F' or all '0'.
bool Unprogrammed(const std::string& text) {
  if (text.empty()) return true;
  return std::all_of(text.begin(), text.end(), [](char c) { return c == 'F'; }) ||
         std::all_of(text.begin(), text.end(), [](char c) { return c == '0'; });
}

// Every connection's polling thread keeps the one cache file of the process: its reads and writes take
// turns, so a reader sees one connection's whole image.
std::mutex& CacheMutex() {
  static std::mutex m;
  return m;
}

}  // namespace

std::string DeviceMechFile::CachePath() {
  std::string folder = plat::GetFolder(plat::Folder::kTemp).value_or("/tmp");
  return folder + "/" + kCacheFileName;
}

int DeviceMechFile::InitImage(const char* text) {
  // The device's header is read only to carry its write counter on.
  // Without it the counter is unknown: a write would restart the device's count, so there is no image.
  std::vector<uint8_t> head(kHeaderSize, 0xFF);
  if (device_.ReadData(head.data(), static_cast<int>(head.size())) == 0) {
    DropImage();
    return 0;
  }
  uint32_t counter = 1;
  uint32_t headerLength = HeaderLength(head);
  uint32_t deviceCounter = WriteCounter(head);
  if (headerLength == 0xFFFFFFFFu || deviceCounter == 0xFFFFFFFFu) {
    counter = 1;
  } else if (headerLength < kCurrentLayoutHeader) {
    counter = 0;
  } else {
    counter = deviceCounter + 1;
  }
  text_ = text != nullptr ? text : "";
  StartImage(text, series_.tag, series_.code, counter);
  return 1;
}

int DeviceMechFile::SyncImage() {
  std::vector<uint8_t> written;
  if (dirty_ != 0) {
    dirty_ = 0;
    if (image_.empty()) return 0;
    written.assign(image_.begin(), image_.begin() + static_cast<std::ptrdiff_t>(usedLength_));
    // An image the device cannot hold would overwrite the start of its image and lose it: refused unsent.
    if (written.size() >= series_.deviceLimit) return 0;
    if (device_.WriteData(written.data(), static_cast<int>(written.size())) !=
        static_cast<int>(written.size())) {
      return 0;
    }
  }

  std::vector<uint8_t> head(kHeaderSize, 0);
  if (device_.ReadData(head.data(), static_cast<int>(head.size())) == 0) {
    DropImage();
    return 0;
  }
  uint32_t headerLength = HeaderLength(head);
  uint64_t used = uint64_t{headerLength} + DataLength(head);
  if (headerLength == 0xFFFFFFFFu || !UsableLength(used)) {
    DropImage();
    return 0;
  }

  std::vector<uint8_t> bytes;
  bool fromCache = false;
  if (written.empty() && headerLength >= kCurrentLayoutHeader) {
    std::vector<uint8_t> cache;
    if (ReadCache(&cache) && CacheMatches(cache, head)) {
      bytes = std::move(cache);
      fromCache = true;
    }
  }
  if (!fromCache) {
    bytes.assign(static_cast<size_t>(used), 0);
    if (used > 0 && device_.ReadData(bytes.data(), static_cast<int>(used)) == 0) {
      DropImage();
      return 0;
    }
    if (headerLength >= kCurrentLayoutHeader && !WriteCache(bytes) && !WriteCache(bytes)) return 0;
  }

  if (!written.empty()) {
    bool same = bytes.size() >= written.size() && std::equal(written.begin(), written.end(), bytes.begin());
    if (!same) {
      AdoptImage(written);
      return 0;
    }
  }
  if (used == 0) {
    DropImage();
    return 0;
  }
  AdoptImage(std::move(bytes));
  return 1;
}

bool DeviceMechFile::ReadCache(std::vector<uint8_t>* bytes) const {
  size_t got = 0;
  {
    std::lock_guard lock(CacheMutex());
    std::FILE* file = std::fopen(CachePath().c_str(), "rb");
    if (file == nullptr) return false;
    bytes->assign(imageSize_ + 1, 0);
    got = std::fread(bytes->data(), 1, bytes->size(), file);
    std::fclose(file);
  }
  if (got > imageSize_ || got < kHeaderSize) return false;
  bytes->resize(got);
  uint64_t used = uint64_t{HeaderLength(*bytes)} + DataLength(*bytes);
  if (used > got || !UsableLength(used) || DataLength(*bytes) == 0) return false;
  if (Unprogrammed(IdentText(*bytes))) return false;
  bytes->resize(static_cast<size_t>(used));
  return true;
}

bool DeviceMechFile::CacheMatches(const std::vector<uint8_t>& cache,
                                  const std::vector<uint8_t>& deviceHeader) {
  std::string serial;
  // Without an identity the cache stands in for the device.
  if (!device_.ReadSerial(&serial)) return true;
  bool sameTag = std::equal(cache.begin() + kTagOffset, cache.begin() + kTagOffset + 4,
                            deviceHeader.begin() + kTagOffset);
  return sameTag && IdentText(cache) == serial && WriteCounter(cache) == WriteCounter(deviceHeader);
}

bool DeviceMechFile::WriteCache(const std::vector<uint8_t>& bytes) const {
  std::lock_guard lock(CacheMutex());
  return plat::ReplaceFileContents(CachePath(), bytes.data(), bytes.size(), 0644);
}

}  // namespace qv6
