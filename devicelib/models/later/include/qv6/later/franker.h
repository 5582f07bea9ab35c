// Franker: the stamp some later-series scanners put on a document. The host switches it per document with
// opcode 12 (the document's feed sequence number where the series numbers its feeds, then the 16-bit
// value, high byte first); in smart mode the library itself switches it from the quality of the magnetic
// code line. Its two scan settings (mode and reject allowance) belong to the double-feed block's change
// copy, so a change of either alone sends that block again.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "qv6/later/command_packet.h"

namespace qv6::later {

inline constexpr uint8_t kOpFrank = 12;

struct FrankerSettings {
  uint8_t mode = 0;       // 0 off, 1 always (both carried out by the scanner), 2 smart
  uint8_t allowance = 0;  // most reject characters a code line may hold and still be franked (smart mode)

  static constexpr uint8_t kSmart = 2;
  std::array<uint8_t, 2> Bytes() const { return {mode, allowance}; }
};

// The franker command: p1 the document's sequence number (0 on a series without them), then the value's
// bits 8-15 and 0-7.
DeviceCommandRequest FrankRequest(uint8_t sequence, int value);

// The smart mode's decision for a decoded code line, by the decoder's reject test: 1 (frank) when it holds
// no more rejects than allowed, 0 otherwise; nothing outside smart mode.
std::optional<int> SmartFrankValue(const FrankerSettings& settings, const char* codeLine);

}  // namespace qv6::later
