// Fuzz entry point of the device block replies: any bytes as a reply to a request of any length, parsed
// with the layouts of every later series.
#include <cstddef>
#include <cstdint>
#include <span>

#include "qv6/later/device_block.h"
#include "qv6/later/later_blocks.h"
#include "qv6/later/status_words.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose the length that was asked; the rest is the reply.
  size_t asked = static_cast<size_t>(data[0]) << 8 | data[1];
  std::span<const uint8_t> reply(data + 2, size - 2);
  // Every series' layouts see the same reply.
  for (const qv6::BlockTable* table : {&qv6::later::Qv63xBlockTable(), &qv6::later::Qv64xBlockTable()}) {
    qv6::BlockValues values(*table);
    qv6::ParseDeviceBlock(values, reply, asked);
    uint8_t out[2048];
    for (const auto& layout : values.table().layouts()) {
      qv6::BuildDeviceBlock(values, layout.type, out);
      qv6::DecodePayload(values, layout.type, reply, qv6::ByteOrder::kLittle);
    }
    qv6::later::StatusInputs in;
    in.state = static_cast<uint16_t>(values.Get(qv6::kBlockStatus, qv6::later::kState));
    qv6::later::ComposeStatusWords(in);
  }
  return 0;
}
