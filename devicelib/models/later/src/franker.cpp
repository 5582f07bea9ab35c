// The franker command and its smart mode.
#include "qv6/later/franker.h"

#include "devicelib/core/micr/micr.h"

namespace qv6::later {

DeviceCommandRequest FrankRequest(uint8_t sequence, int value) {
  DeviceCommandRequest request;
  request.opcode = kOpFrank;
  request.p = {sequence, static_cast<uint8_t>((value >> 8) & 0xFF), static_cast<uint8_t>(value & 0xFF), 0, 0};
  return request;
}

std::optional<int> SmartFrankValue(const FrankerSettings& settings, const char* codeLine) {
  if (settings.mode != FrankerSettings::kSmart) return std::nullopt;
  return Micr::CheckRejects(codeLine, settings.allowance) ? 1 : 0;
}

}  // namespace qv6::later
