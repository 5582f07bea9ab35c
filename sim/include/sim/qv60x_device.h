// The first series (QV600, QV605) on "\\.\usbbulk0": the status block, the mechanical blocks with a
// working and a stored copy, the QV605's colour-table load, the firmware update mode and the faults a
// test asks for.
//
// Status block 2 is 11 words; w0 to w2 go out with each byte's bit order reversed, every word
// big-endian. The block is made from the device's state when it is read, so two reads without a command
// between them agree.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "sim/first_series_device.h"
#include "sim/qv60x_document_source.h"

namespace sim {

// A document as the first series' scanner holds it once it has passed: each side's full sensor lines
// (one byte a pixel, kPixels a line, at 200 lines per inch), the magnetic samples as they go out
// (16-bit big-endian) and what went wrong with it.
struct FirstSeriesDocument {
  std::array<std::vector<uint8_t>, 2> lines;  // front, rear
  int lineCount = 0;
  std::vector<uint8_t> samples;
  bool jam = false;
  bool doubleFeed = false;
};

class Qv60xDevice : public FirstSeriesDevice {
 public:
  static constexpr uint16_t kJam = 0x800;
  static constexpr uint16_t kDoubleFeed = 0x400;
  static constexpr uint16_t kImagesReady = 0x4;
  static constexpr uint16_t kSamplesReady = 2;
  static constexpr uint8_t kStatusBlock = 2;
  static constexpr uint8_t kSerialInBlock = 98;
  static constexpr uint8_t kFirstMechBlock = 64;
  static constexpr uint8_t kLastMechBlock = 88;
  static constexpr uint32_t kLoadAddress = 0xD0000;
  static constexpr int kPixels = 832;
  static constexpr size_t kSerialPiece = 128;
  // The code the update mode asks for behind opcode 0xAA.
  static constexpr std::array<uint8_t, 4> kAccessCode = {'Q', 'V', '6', 'U'};

  explicit Qv60xDevice(Identity identity);

  bool colour() const { return colour_; }

  // ---- Status ----
  void SetStatusWord(int index, uint16_t value);
  uint16_t StatusWord(int index) const;
  // Serial bytes the scanner's port received; w10 counts those not yet read.
  void PushSerialInput(std::span<const uint8_t> bytes);

  // ---- Mechanical blocks ----
  // The stored (non-volatile) copy of a block 64..88.
  std::vector<uint8_t> StoredBlock(uint8_t block) const;
  // Block reads of a block fail (an empty reply) while set.
  void SetBlockReadRefused(uint8_t block, bool refused);
  int tableLoads() const;
  // The last endorsement record (block 96) written with opcode 14.
  std::vector<uint8_t> LastPrint() const;
  bool feeding() const;
  // Serial bytes the host sent with block 97.
  std::vector<uint8_t> SerialOutput() const;

  // ---- Documents ----
  // Documents fed one at each feed-on while feeding; a jammed or double-fed one sets its error bits and
  // sends nothing. Image-ready and sample-ready marks drop once the host has fetched the data: w8 at the
  // sample read; w3 bits 0/1 show each side sent, and w3 drops once both went. A feed-on drops what the
  // host left unfetched of the last document. Queued documents go first; then the source's, when one is
  // set.
  void QueueDocument(FirstSeriesDocument document);
  void SetDocumentSource(std::shared_ptr<Qv60xDocumentSource> source);
  size_t waitingDocuments() const;
  // A queued document is taken in when feeding is switched on, the source's at the first status read
  // after that. FeedNext feeds the next one now (feeding must be on); false when none waits.
  bool FeedNext();
  // Time the device spent making the raw lines it sent (so timings of the host can leave it out).
  std::chrono::nanoseconds rawLineTime() const;
  // The image bytes of the last transfer of a side (0 front, 1 rear).
  std::vector<uint8_t> LastTransfer(int side) const;

  // ---- Firmware update ----
  bool updateMode() const;
  // The image loaded from the load address on, and whether the last checksum command matched it.
  std::vector<uint8_t> LoadedImage() const;
  bool checksumMatched() const;
  // The n-th image-data command from now (from 1) is refused, once.
  void FailFirmwareChunk(int n);
  // Puts the scanner into update mode as an earlier load cut off mid-way would leave it.
  void LeaveInUpdateMode(std::vector<uint8_t> partialImage);

 protected:
  bool OnCommand(const std::vector<uint8_t>& command) override;
  bool OnBulkOut(std::span<const uint8_t> data) override;
  std::optional<std::vector<uint8_t>> DynamicBlock(uint8_t block) override;

 private:
  enum class Pending { kNone, kBulkBlock, kTableData, kFirmware };

  std::vector<uint8_t> EncodeStatus() const;
  std::vector<uint8_t> BulkInData(const std::vector<uint8_t>& command, uint32_t count) override;
  std::vector<uint8_t> RawLines(int side, uint8_t flags, uint32_t count);
  // The front settings' depth code (bits 4-6 of its first byte); -1 without settings.
  int FrontDepthCode() const;

  bool colour_ = false;
  std::array<uint16_t, 11> words_{};
  std::vector<uint8_t> serialIn_;
  std::vector<uint8_t> serialOut_;
  std::array<std::vector<uint8_t>, kLastMechBlock - kFirstMechBlock + 1> stored_;
  std::array<bool, 256> refused_{};
  bool storeArmed_ = false;
  Pending pending_ = Pending::kNone;
  uint32_t pendingAddress_ = 0;
  std::vector<uint8_t> tableData_;
  bool tableOpen_ = false;
  int tableLoads_ = 0;
  std::vector<uint8_t> lastPrint_;
  bool feeding_ = false;
  bool feedPending_ = false;  // feeding was switched on; the next status read takes a document in
  bool updateMode_ = false;
  std::vector<uint8_t> image_;
  bool checksumMatched_ = false;
  int failChunkIn_ = 0;
  std::deque<FirstSeriesDocument> waiting_;
  std::optional<FirstSeriesDocument> current_;
  bool currentFromSource_ = false;
  std::shared_ptr<Qv60xDocumentSource> source_;
  std::array<bool, 2> sideFetched_{};
  std::array<std::vector<uint8_t>, 2> lastTransfer_;
  std::chrono::nanoseconds rawLineTime_{0};
};

}  // namespace sim
