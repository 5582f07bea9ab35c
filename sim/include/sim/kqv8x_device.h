// The KQv8x series (KQv8): the QV63x device with the KQv8x dialect: a 24-byte status block with one
// document record and no status word, begin (1) and end (0) blocks around the host-buffer upload (39) and
// the magnetic sample read (38), image transfers (37) closed by the same block with a 0 sequence number, a
// 61440-byte EEPROM that holds the white reference tables of the lit sensor edges, and a boot loader on
// product 31 with board 36.
//
// The device keeps a transcript of the framing: every block 37, 38 and 39 with its first payload byte and
// every pipe transfer with its length, so tests see each transfer bracketed as the scanner saw it.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "sim/qv63x_device.h"

namespace sim {

inline constexpr SeriesTraits kKQv8xTraits = {"KQv8x", 24, false, 0xF000};

class KQv8xDevice : public Qv63xDevice {
 public:
  static constexpr size_t kTranscriptEntries = 256;

  KQv8xDevice(Identity identity, IdentificationCodes codes);

  drv::Reply Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override;

  // Oldest first: "37:5" (block 37 with first byte 5), "w3:8192" (8192 bytes written to pipe 3),
  // "r0:123904" (bytes read from pipe 0; consecutive reads of one pipe add up).
  std::vector<std::string> Transcript() const;
  void ClearTranscript();

 protected:
  std::vector<uint8_t> StatusPayload() const override;
  bool IsBootProduct(uint8_t product) const override { return product == 31; }
  bool OnBlock(std::span<const uint8_t> block) override;

 private:
  void Note(std::string entry);

  std::deque<std::string> transcript_;
  std::string lastPipe_;  // the pipe of the last transcript entry, "r0" or "w3"
};

}  // namespace sim
