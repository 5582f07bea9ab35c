// Parsing of the image-transfer block.
#include "sim/documents/transfer_block.h"

namespace sim::documents {
namespace {
int Be16(const uint8_t* p) {
  return p[0] << 8 | p[1];
}
}  // namespace

std::optional<TransferBlock> ParseTransferBlock(std::span<const uint8_t> payload) {
  if (payload.size() < kTransferBlockSize) return std::nullopt;
  const uint8_t* p = payload.data();
  if (p[1] > 1 || p[2] > 1) return std::nullopt;
  TransferBlock b;
  b.sequence = p[0];
  b.side = p[1];
  b.request.halfSize = p[2] == 1;
  b.request.firstLine = Be16(p + 4);
  b.request.endLine = Be16(p + 6);
  b.request.firstPixel = Be16(p + 8);
  b.request.endPixel = Be16(p + 10);
  if (b.request.endLine < b.request.firstLine || b.request.endPixel < b.request.firstPixel)
    return std::nullopt;
  return b;
}

}  // namespace sim::documents
