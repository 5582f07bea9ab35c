// The VEKQv5xx series (RM 70, RM 70 KF): 15-byte status block of three flag bytes (s0 device, s1 sensors,
// s2 data) and six big-endian words; the host moves data in 128-byte pieces and numbers no feeds.
//
// A start feed (opcode 1 with p1 1) takes the next document of the source: the scanner reports its length
// valid, its images ready and its magnetic samples ready in s2, the lines it holds (word 0), the document's
// lines (word 1, even), its first line (word 2) and its sample count (word 4), and steps word 5, so each
// document changes the status. The direction bit (s0 b3) says which way it ran. Hold-back bits (s2 b5-b7)
// can be set for the next documents and released by a test. Reading a document's samples (block 38) or
// its rear side (block 37) clears its ready bits unless a test keeps them. A jam or an insertion error
// stops the scanner with its error bits and no data; an unplug takes it off the bus mid-document. A
// scanner attached with its boot loader (product 24) takes firmware records without a loader.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "sim/firmware_loader.h"
#include "sim/later_series_template.h"

namespace sim {

inline constexpr SeriesTraits kVekQv5xxTraits = {"VEKQv5xx", 15, false, 0x6F00};

// s0, s1 and s2 bits the device sets.
inline constexpr uint8_t kVekPowerOn = 0x01;
inline constexpr uint8_t kVekEnabled = 0x02;
inline constexpr uint8_t kVekFeeding = 0x04;
inline constexpr uint8_t kVekDirection = 0x08;
inline constexpr uint8_t kVekError = 0x20;
inline constexpr uint8_t kVekInsertError = 0x40;
inline constexpr uint8_t kVekJam = 0x80;
inline constexpr uint8_t kVekSensorExit = 0x08;
inline constexpr uint8_t kVekSameDocument = 0x02;
inline constexpr uint8_t kVekLengthValid = 0x04;
inline constexpr uint8_t kVekImagesReady = 0x0C;
inline constexpr uint8_t kVekSamplesReady = 0x10;
inline constexpr uint8_t kVekHoldImages = 0x60;
inline constexpr uint8_t kVekHoldSamples = 0x80;

// What a fed document is to the scanner.
struct VekFedDocument {
  uint16_t lines = 0;      // document lines (even)
  uint16_t firstLine = 0;  // its first raw line
  uint16_t samples = 0;    // magnetic samples
  bool jam = false;
};

class VekQv5xxDocumentSource {
 public:
  virtual ~VekQv5xxDocumentSource() = default;
  // The next document, scanned with the acquisition block (type 34 payload) the host sent last.
  virtual std::optional<VekFedDocument> Feed(std::span<const uint8_t> acquisition) = 0;
  // The last document's samples as sent (16-bit little-endian, in the order and polarity of its direction).
  virtual std::vector<uint8_t> Samples() = 0;
  // Raw lines [firstLine, endLine) of a side, `lineBytes` sensor pixels each.
  virtual std::vector<uint8_t> Image(int side, int firstLine, int endLine, int lineBytes) = 0;
  // The direction bit of the documents.
  virtual bool Direction() const = 0;
};

class VekQv5xxDevice : public LaterSeriesTemplate {
 public:
  enum class Fault { kNone, kJam, kInsertError };

  VekQv5xxDevice(Identity identity, IdentificationCodes codes);

  drv::Reply Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override;

  void SetDocumentSource(std::shared_ptr<VekQv5xxDocumentSource> source);
  void SetFlags(uint8_t s0, uint8_t s1, uint8_t s2);
  std::array<uint8_t, 3> Flags() const;
  void SetWord(size_t index, uint16_t value);
  // Status replies carry only this many payload bytes; nullopt restores the full block.
  void SetStatusLength(std::optional<size_t> length);
  // Hold-back bits (s2 b5-b7) the next documents report; ReleaseHoldBack clears them now.
  void SetHoldBack(uint8_t bits);
  void ReleaseHoldBack();
  // Ready bits stay set after the host read the data.
  void SetKeepReadyBits(bool keep);
  // The document came back: s2 b1 now and in the next feeds' reports.
  void SetSameDocument(bool same);
  // The next start feed fails this way.
  void FailNextFeed(Fault fault);
  // Parameters of the start feeds (p2), ejects (p2) and franker values, in order.
  std::vector<uint8_t> StartParameters() const;
  std::vector<uint8_t> EjectParameters() const;
  std::vector<uint16_t> Frankings() const;
  // The potentiometer byte of the last acquisition block; nullopt before any.
  std::optional<uint8_t> Potentiometer() const;
  int FirmwareDownloads() const;

 protected:
  bool BlockPayload(uint16_t type, size_t capacity, std::vector<uint8_t>* payload) override;
  bool OnBlock(std::span<const uint8_t> block) override;
  bool OnCommandPacket(std::span<const uint8_t> packet) override;

 private:
  void StartFeed();

  uint8_t s0_ = 0;
  uint8_t s1_ = 0;
  uint8_t s2_ = 0;
  std::array<uint16_t, 6> words_{};
  std::optional<size_t> statusLength_;
  uint8_t holdBack_ = 0;
  bool keepReady_ = false;
  bool same_ = false;
  Fault fault_ = Fault::kNone;
  std::shared_ptr<VekQv5xxDocumentSource> source_;
  std::vector<uint8_t> acquisition_;
  std::vector<uint8_t> starts_;
  std::vector<uint8_t> ejects_;
  std::vector<uint16_t> frankings_;
  FirmwareLoader firmware_;
};

}  // namespace sim
