// The QV63x series (QV603, QV625, QV630, QV840): 38-byte status block with records A and B, status word.
//
// The device keeps its state word, sensor word and error word, and the records of the last two documents,
// each tagged with the feed sequence number of the start-feed command that fed it. A start feed takes the
// next queued document (if any) into record A; a stop marks the fed document stopped; the clear commands
// clear their flags. Mechanical sections the host sends are answered back on a read. The double-feed
// sensors report a double feed while their PWM (opcode 5) lies below a threshold. Tests set the words and
// records directly to drive the host through every status bit.
#pragma once

#include <array>
#include <deque>
#include <memory>
#include <optional>

#include "sim/controller_firmware.h"
#include "sim/later_series_template.h"
#include "sim/qv63x_document_source.h"

namespace sim {

inline constexpr SeriesTraits kQv63xTraits = {"QV63x", 38, true, 0x6F00};

class Qv63xDevice : public LaterSeriesTemplate {
 public:
  static constexpr uint16_t kStateEnabled = 0x8;
  static constexpr uint16_t kStatePowerOn = 0x2;
  static constexpr uint16_t kStateError = 0x4;

  // The QV9120 and QV64x devices are this one with their own traits.
  Qv63xDevice(Identity identity, IdentificationCodes codes, const SeriesTraits& traits = kQv63xTraits)
      : LaterSeriesTemplate(traits, std::move(identity), codes) {
    InitFirmware();
  }

  // Franker commands (opcode 12) in order: the document's sequence number and the 16-bit value.
  struct Franking {
    uint8_t sequence;
    uint16_t value;
    bool operator==(const Franking&) const = default;
  };
  std::vector<Franking> Frankings() const;

  void SetWords(uint16_t state, uint16_t sensor, uint16_t error);
  uint16_t StateWord() const;
  // Record 0 is A, 1 is B.
  void SetRecord(int index, const DocumentRecord& record);
  DocumentRecord Record(int index) const;
  // A document the next start feed takes in (its sequence number is the feed's).
  void QueueDocument(const DocumentRecord& record);
  // Status replies carry only this many payload bytes (a short reply); nullopt restores the full block.
  void SetStatusLength(std::optional<size_t> length);
  // PWM values below these make sensor 0 / sensor 1 report a double feed.
  void SetDoubleFeedThresholds(int sensor0, int sensor1);
  // Feeds from `source` from now on: each start feed takes one document and ends the feed (the scanner
  // leaves its enabled state), and the image and sample requests are answered from the source.
  void SetDocumentSource(std::shared_ptr<Qv63xDocumentSource> source);

  // The controller: boot loader until a loader and firmware arrive (qv63x_firmware.cpp).
  drv::Reply Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override;
  FirmwareLoader::Stage FirmwareStage() const { return controller_.stage(); }
  int FirmwareDownloads() const { return controller_.downloads(); }
  // After each download the device re-enumerates: opens of `name` fail this many times (UINT32_MAX:
  // it never comes back).
  void SetReenumeration(std::string name, uint32_t failedOpens) {
    controller_.SetReenumeration(std::move(name), failedOpens);
  }

 protected:
  bool BlockPayload(uint16_t type, size_t capacity, std::vector<uint8_t>* payload) override;
  bool OnBlock(std::span<const uint8_t> block) override;
  bool OnCommandPacket(std::span<const uint8_t> packet) override;
  // The status block (type 2) as the series lays it out (called with the lock held).
  virtual std::vector<uint8_t> StatusPayload() const;
  // Product codes whose identity is the boot loader's canned one.
  virtual bool IsBootProduct(uint8_t product) const;
  // Sets up the boot loader; a series whose constructor changes what IsBootProduct says calls it again.
  void InitFirmware();

  uint16_t state_ = 0;
  uint16_t sensor_ = 0;
  uint16_t error_ = 0;
  std::array<DocumentRecord, 2> records_{};
  std::optional<size_t> statusLength_;
  uint8_t lastFed_ = 0;
  std::shared_ptr<Qv63xDocumentSource> source_;

 private:
  static std::string RunningState(const IdentificationCodes& bootCodes);
  void ApplyDoubleFeedSensors();
  void FeedFromSource(uint8_t sequence);

  std::deque<DocumentRecord> queued_;
  std::array<int, 2> thresholds_{0, 0};
  std::array<int, 2> pwm_{64, 64};
  std::vector<uint8_t> acquisition_;  // the last image-acquisition block (type 34 payload)
  std::vector<Franking> frankings_;
  bool feedWaiting_ = false;  // a start feed found the hopper empty: the next document is fed when it comes
  ControllerFirmware controller_{*this, mutex_, &Qv63xDevice::RunningState};
};

}  // namespace sim
