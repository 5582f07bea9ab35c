// CQv620FilesBuilderSplitter: reads a FirmwarePackage file, which bundles a model's loader, firmware and
// programmable-logic images, hands its parts out, tells whether the package's firmware holds two texts
// (the running manufacturer and version) and reads the firmware's version text.
//
// FirmwarePackage (little-endian): u32 header length (44 in a full header; header fields at or beyond it
// read 0), then (offset, size) pairs of parts 1 to 5; part 4 is read only with a header length of at
// least 24, part 5 with at least 32. Parts 1 and 2 are FirmwareRecord lists (loader, firmware), parts 3 to
// 5 images sent as they are. A package whose parts do not lie wholly inside the file, or that is larger
// than any real package, is refused.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qv6 {

class CQv620FilesBuilderSplitter {
 public:
  static constexpr size_t kHeaderSize = 44;
  static constexpr int kParts = 5;
  // No real package comes near this (a 64 KB firmware address space and programmable-logic images well
  // under a megabyte); a larger file is refused before it is read whole on the polling thread.
  static constexpr size_t kMaxPackageBytes = size_t{16} << 20;

  CQv620FilesBuilderSplitter() = default;
  virtual ~CQv620FilesBuilderSplitter() = default;

  // 1 when the file opened, is no larger than kMaxPackageBytes and every part present lies inside it;
  // otherwise 0 and no parts.
  int LoadPackage(const char* fileName);
  // The same from bytes in memory.
  int LoadBytes(std::span<const uint8_t> file);

  // Part n (1..5): its bytes; empty when absent.
  std::span<const uint8_t> Part(int n) const;
  std::span<const uint8_t> GetPart1() const { return Part(1); }
  std::span<const uint8_t> GetPart2() const { return Part(2); }
  std::span<const uint8_t> GetPart3() const { return Part(3); }
  std::span<const uint8_t> GetPart4() const { return Part(4); }
  size_t GetPart2Size() const { return Part(2).size(); }
  size_t GetPart3Size() const { return Part(3).size(); }
  size_t GetPart4Size() const { return Part(4).size(); }

  // Searches part 2 for text followed by a zero byte, letting the text and its zero run across the 4-byte
  // head of the next record. *position (an offset into part 2; SIZE_MAX starts at 0) is where the search
  // begins and, on success, is set behind the zero byte. 1 found, 0 not.
  int FindInPart2(const uint8_t* text, size_t length, size_t* position) const;
  // First, then second behind it; each text must be 2 to 1024 characters long.
  int ContainsStringPair(const char* first, const char* second) const;
  // The text behind "Rev. " near the maker word of the firmware image, when it starts "%d.%d.%d.%d".
  std::string ReadVersions() const;

 private:
  void Clear();

  std::array<uint32_t, 11> header_{};
  std::array<std::vector<uint8_t>, kParts> parts_;
  std::array<bool, kParts> present_{};
};

}  // namespace qv6
