// The image-transfer block (type 37) as a later-series scanner receives it from the host: 12 payload
// bytes, multi-byte fields big-endian: [0] feed sequence number, [1] side (0 front, 1 rear), [2] half-size
// flag, [3] always 2, [4..5] first line, [6..7] end line, [8..9] first pixel, [10..11] end pixel.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "sim/documents/sensor_scan.h"

namespace sim::documents {

struct TransferBlock {
  uint8_t sequence = 0;
  uint8_t side = 0;
  TransferRequest request;
};

inline constexpr size_t kTransferBlockSize = 12;

// nullopt for a payload shorter than 12 bytes, a side other than 0 or 1, a half-size flag other than 0 or
// 1, or an end before its start.
std::optional<TransferBlock> ParseTransferBlock(std::span<const uint8_t> payload);

}  // namespace sim::documents
