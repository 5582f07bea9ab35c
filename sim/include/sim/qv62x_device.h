// The QV62x series (QV602, QV620, QV702): 23-byte status block, blocks 4, 33-36 and 64-68, its command
// packets, request 19 (samples), 20 (raw image) and 18 (endorsement upload), the EEPROM and serial port of
// the later family, and the boot loader, firmware and FPGA download with re-enumeration.
//
// Documents come from a Qv62xDocumentSource (the shared feeder with the QV62x feed format): an enable
// (command 1 {1, ...}) takes the next document in; the scanner then reports its counts N, D, L, T, its sample
// count and the image and MICR states 2, which leave 2 once the host asked for the data. A jammed document
// leaves paper in the trailing lines (the host's exit test finds it); with its own photo-out test on (block
// 35) the scanner stops on it with the exit-jam bit and no data instead. A double feed stops with its status
// bit and no data; an unplug takes the scanner off the bus, and nothing of that document is left after a
// replug. Errors clear on command 8, on the QV602 and QV620 also when the feeder is switched off. Command
// 1 {2, ...} is the calibration feed: the next raw read is empty track. Tests may also set the status words, shorten status replies, and inject a jam with
// no paper from line 60.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sim/controller_firmware.h"
#include "sim/later_series_template.h"
#include "sim/qv62x_document_source.h"

namespace sim {

inline constexpr SeriesTraits kQv62xTraits = {"QV62x", 23, false, 0x6F00};

class Qv62xDevice : public LaterSeriesTemplate {
 public:
  static constexpr uint16_t kStatusCommandDone = 0x1;
  static constexpr uint16_t kStatusError = 0x8;
  static constexpr uint16_t kStatusScanEnable = 0x80;
  static constexpr uint16_t kStatusDoubleFeed = 0x400;
  static constexpr uint16_t kStatusExitJam = 0x800;
  static constexpr uint16_t kDoubleFeedMeasure = 0x1234;  // simulator convention: the value command 5 gives
  static constexpr uint8_t kPaper = 200;

  Qv62xDevice(Identity identity, IdentificationCodes codes);

  drv::Reply Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override;

  // Feeds from `source` from now on.
  void SetDocumentSource(std::shared_ptr<Qv62xDocumentSource> source);
  void SetWords(uint16_t status, uint16_t error);
  uint16_t StatusWord() const;
  // Status replies carry only this many payload bytes; nullopt restores the full block.
  void SetStatusLength(std::optional<size_t> length);
  // The next document shows no paper from its line 60 on (an entry jam).
  void InjectEntryJam();
  // The next `count` blocks from the host (of `type` only, when given) are refused (a failed send).
  void RefuseBlocks(int count, std::optional<uint16_t> type = std::nullopt);
  // The next `count` raw-image requests are refused.
  void RefuseRawReads(int count);
  // The word command 5 leaves in the status word block; 0: the scanner never answers.
  void SetDoubleFeedMeasure(uint16_t word);
  // Sample reads answered (request 19 values) and raw reads, for tests.
  std::vector<uint16_t> SampleRequests() const;
  int RawReads() const;
  // Endorsement uploads announced by request 18: position and length.
  std::vector<std::pair<uint16_t, uint16_t>> Uploads() const;

  FirmwareLoader::Stage FirmwareStage() const { return controller_.stage(); }
  int FirmwareDownloads() const { return controller_.downloads(); }
  void SetReenumeration(std::string name, uint32_t failedOpens) {
    controller_.SetReenumeration(std::move(name), failedOpens);
  }

 protected:
  bool BlockPayload(uint16_t type, size_t capacity, std::vector<uint8_t>* payload) override;
  bool OnBlock(std::span<const uint8_t> block) override;
  bool OnCommandPacket(std::span<const uint8_t> packet) override;
  bool OnControlRequest(uint8_t code, uint16_t value, uint16_t index) override;

 private:
  void Feed();
  void ClearErrors();
  // Block 35 switches the scanner's own photo-out test on (the host's jam check is off then).
  bool PhotoOutTest();
  std::vector<uint8_t> CalibrationLines() const;
  int Pixels() const;

  uint16_t status_ = 0x2;  // powered on
  uint16_t error_ = 0;
  uint8_t imageState_ = 0;
  uint8_t micrState_ = 0;
  Qv62xFed fed_;
  uint16_t statusWord_ = 0;
  bool calibration_ = false;
  bool entryJam_ = false;
  std::optional<size_t> statusLength_;
  int refuseBlocks_ = 0;
  std::optional<uint16_t> refuseType_;
  int refuseRaw_ = 0;
  uint16_t measure_ = kDoubleFeedMeasure;
  std::shared_ptr<Qv62xDocumentSource> source_;
  std::vector<uint16_t> sampleRequests_;
  int rawReads_ = 0;
  std::vector<std::pair<uint16_t, uint16_t>> uploads_;
  // The running controller reports "OK" whatever it booted as.
  ControllerFirmware controller_{*this, mutex_, [](const IdentificationCodes&) { return std::string("OK"); }};
};

}  // namespace sim
