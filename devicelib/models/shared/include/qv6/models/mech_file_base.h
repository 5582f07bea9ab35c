// MechFileBaseClass: the scanner's EEPROM image of tagged records (MechImage) and the record walk that
// every series' image class shares. The derived class knows how the image reaches its device, which
// records a fresh image holds and each record's default.
//
// MechImage (little-endian): u32 header length (140 when built here), u32 data length (records with their
// 12-byte heads), 64-byte NUL-terminated identification text, 4-character series tag at 72, u32 series
// code at 76, 56 series-defined bytes, u32 write counter at 136; then records {u32 tag, u32 12, u32 data
// length, data}. Header length + data length is the used length.
//
// Nothing read from a device or a file is trusted: the walk stays inside the used length and the buffer,
// and a record that would not fit the buffer is refused.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qv6 {

class MechFileBaseClass {
 public:
  static constexpr size_t kImageSize = 29416;
  static constexpr size_t kHeaderSize = 140;
  static constexpr size_t kRecordHead = 12;
  // A header shorter than this marks an image of an older layout.
  static constexpr uint32_t kCurrentLayoutHeader = 112;
  static constexpr size_t kIdentOffset = 8;
  static constexpr size_t kIdentSize = 64;
  static constexpr size_t kTagOffset = 72;
  static constexpr size_t kCodeOffset = 76;
  static constexpr size_t kCounterOffset = 136;

  // The image buffer holds `imageSize` bytes (a series with larger images asks for more).
  explicit MechFileBaseClass(size_t imageSize = kImageSize) : imageSize_(imageSize) {}
  virtual ~MechFileBaseClass() = default;
  MechFileBaseClass(const MechFileBaseClass&) = delete;
  MechFileBaseClass& operator=(const MechFileBaseClass&) = delete;

  // Starts a fresh image identified by text; 1 or 0.
  virtual int InitImage(const char* text) = 0;
  // Writes a changed image to the device, then reads the device's image; 1 when an image is in force.
  virtual int SyncImage() = 0;
  // Fills buffer (length bytes) with the series' default contents of record tag.
  virtual void GetDefaultSection(int tag, uint8_t* buffer, size_t length) = 0;

  // Appends a record; 0 without an image, for a negative length, or when the record would not fit.
  int AddRecord(int tag, const uint8_t* data, int length);
  // The record head of tag inside image[0, usedLength), or null. The walk stops at a zero tag, head length
  // or data length, and at anything that does not lie wholly inside the used length.
  static const uint8_t* FindRecord(int tag, std::span<const uint8_t> image, size_t usedLength);
  // Default first, then the record's data over it (at most length bytes). 0 without an image, else 1.
  int GetRecord(int tag, uint8_t* buffer, size_t length);

  size_t imageSize() const { return imageSize_; }
  bool HasImage() const { return !image_.empty(); }
  size_t usedLength() const { return usedLength_; }
  bool dirty() const { return dirty_ != 0; }
  std::span<const uint8_t> image() const { return {image_.data(), usedLength_}; }
  const std::array<uint8_t, kHeaderSize>& header() const { return header_; }

  // Header field accessors (little-endian in the header bytes).
  static uint32_t HeaderLength(std::span<const uint8_t> header);
  static uint32_t DataLength(std::span<const uint8_t> header);
  static uint32_t WriteCounter(std::span<const uint8_t> header);
  // The identification text (at most 63 characters, up to its NUL).
  static std::string IdentText(std::span<const uint8_t> header);

 protected:
  // Allocates a fresh image buffer and a header {140, 0, text, tag, code, counter}; marks the image dirty.
  void StartImage(const char* text, const char tag[4], uint32_t code, uint32_t writeCounter);
  void DropImage();
  // Adopts image bytes (at most the buffer size) whose header says how much is used.
  void AdoptImage(std::vector<uint8_t> bytes);

  size_t imageSize_;
  std::array<uint8_t, kHeaderSize> header_{};
  std::string text_;
  size_t usedLength_ = 0;
  std::vector<uint8_t> image_;  // empty: no image
  int dirty_ = 0;
};

}  // namespace qv6
