// Fuzz entry point of the VEKQv5xx status block: any bytes as the reply to a status read of any asked
// length, parsed with the series' layouts and composed into the status and error words in every event
// mode and scan mode the first byte picks; the words it gives never carry a bit the series never sets.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "qv6/vekqv5xx/vekqv5xx_blocks.h"
#include "qv6/vekqv5xx/vekqv5xx_status.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qv6;
  if (size < 2) return 0;
  const size_t asked = data[0] & 0x1F;
  std::span<const uint8_t> reply(data + 1, size - 1);
  BlockValues values(vekqv5xx::VEKQv5xxBlockTable());
  ParseDeviceBlock(values, reply, asked);
  vekqv5xx::StatusInputs in;
  in.s0 = static_cast<uint8_t>(values.Get(kBlockStatus, vekqv5xx::kS0));
  in.s1 = static_cast<uint8_t>(values.Get(kBlockStatus, vekqv5xx::kS1));
  in.s2 = static_cast<uint8_t>(values.Get(kBlockStatus, vekqv5xx::kS2));
  in.eventMode = (data[0] >> 5) & 1;
  in.scanMode = (data[0] >> 6) & 3;
  in.micrHeld = (data[0] & 0x80) != 0;
  in.frontEnabled = in.rearEnabled = true;
  const later::StatusWords w = vekqv5xx::ComposeStatusWords(in);
  constexpr uint32_t kNeverSet = 0x100 | 0x200 | 0x400 | 0x1000 | 0x8000 | 0x10000 | 0x800000 | 0x1000000 |
                                 0x2000000 | 0x4000000;
  if ((w.status & kNeverSet) != 0 || (w.status & 0x80000001u) != 0x80000001u) __builtin_trap();
  if ((w.errors != 0) != ((w.status & 0x8) != 0)) __builtin_trap();
  // Words beyond what arrived read 0.
  const size_t claimed = reply.size() >= 4 ? static_cast<size_t>((reply[2] << 8) | reply[3]) : 0;
  const size_t arrived = reply.size() >= 4 ? std::min({asked, reply.size() - 4, claimed}) : 0;
  if (reply.size() >= 4 && ((reply[0] << 8) | reply[1]) == kBlockStatus && arrived < 13 &&
      values.Get(kBlockStatus, vekqv5xx::kWordSamples) != 0) {
    __builtin_trap();
  }
  return 0;
}
