// Byte-by-byte encoding of the later series' control block, pipe block and request record.
#include "transport/vendor_request.h"

#include "platform/byte_order.h"

namespace qv6 {

using plat::bytes::GetLe16;
using plat::bytes::PutLe16;

std::array<uint8_t, VendorRequest::kSize> VendorRequest::Encode() const {
  std::array<uint8_t, kSize> bytes{};
  bytes[0] = direction;
  bytes[1] = 2;  // vendor request
  bytes[2] = 0;  // recipient: device
  bytes[3] = 0;
  bytes[4] = code;
  bytes[5] = 0;
  PutLe16(&bytes[6], value);
  PutLe16(&bytes[8], index);
  return bytes;
}

std::array<uint8_t, 4> EncodePipeBlock(uint16_t pipe) {
  return {static_cast<uint8_t>(pipe), static_cast<uint8_t>(pipe >> 8), 0, 0};
}

std::array<uint8_t, RequestRecord::kSize> RequestRecord::Encode() const {
  std::array<uint8_t, kSize> bytes{};
  PutLe16(&bytes[0], type);
  PutLe16(&bytes[2], blockInValue);
  PutLe16(&bytes[4], control43Value);
  PutLe16(&bytes[6], control43Index);
  PutLe16(&bytes[8], control41Value);
  PutLe16(&bytes[10], memoryValue);
  bytes[12] = fpgaValue;
  PutLe16(&bytes[13], pipe);
  return bytes;
}

RequestRecord RequestRecord::Decode(std::span<const uint8_t, kSize> bytes) {
  RequestRecord record;
  record.type = GetLe16(&bytes[0]);
  record.blockInValue = GetLe16(&bytes[2]);
  record.control43Value = GetLe16(&bytes[4]);
  record.control43Index = GetLe16(&bytes[6]);
  record.control41Value = GetLe16(&bytes[8]);
  record.memoryValue = GetLe16(&bytes[10]);
  record.fpgaValue = bytes[12];
  record.pipe = GetLe16(&bytes[13]);
  return record;
}

}  // namespace qv6
