// Firmware record lists, checked before anything is sent.
#include "qv6/models/firmware_record.h"

#include "platform/byte_order.h"

namespace qv6 {

std::optional<std::vector<FirmwareRecord>> FirmwareRecord::ParseList(std::span<const uint8_t> list) {
  std::vector<FirmwareRecord> records;
  for (size_t at = 0; list.size() - at >= kSize; at += kSize) {
    const uint8_t* r = list.data() + at;
    FirmwareRecord record;
    record.count = r[0];
    record.address = plat::bytes::GetLe16(r + 1);
    record.end = r[3] != 0;
    if (record.end) {
      records.push_back(record);
      return records;
    }
    if (record.count > kMaxData) return std::nullopt;
    record.data = list.subspan(at + 4, record.count);
    records.push_back(record);
  }
  return std::nullopt;
}

}  // namespace qv6
