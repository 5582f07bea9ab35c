// Wire records of the later series' driver device: the 10-byte vendor request control block, the 4-byte
// pipe block, the 15-byte request record the command sets hand to the transport, and the request types.
//
// Records are encoded and decoded byte by byte in their stated byte order (little-endian), never copied as
// structures.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qv6 {

// Device-control codes of the driver device.
inline constexpr uint32_t kIoctlVendorRequest = 0x222059;
inline constexpr uint32_t kIoctlPipeWrite = 0x222051;
inline constexpr uint32_t kIoctlPipeRead = 0x22204E;
inline constexpr uint32_t kIoctlIdentify = 0x222004;

// Request types the command sets use (the transfer routine's numbering).
enum RequestType : uint16_t {
  kRequestSerialOut = 8,
  kRequestSerialIn = 9,
  kRequestEepromRead = 10,
  kRequestEepromWrite = 11,
  kRequestFirmwareHigh = 12,
  kRequestMemoryWrite = 13,
  kRequestCommandPacket = 14,
  kRequestBlockOut = 15,
  kRequestBlockIn = 16,
  kRequestFpgaImage = 17,
  kRequestControl43 = 18,
  kRequestControl41 = 19,
  kRequestControl42 = 20,
  kRequestIdentification = 21,
  kRequestBulkWrite = 39,
  kRequestBulkRead = 40,
};

struct VendorRequest {
  static constexpr size_t kSize = 10;
  // The identification request passes this many input bytes: the block and eight zero bytes.
  static constexpr size_t kIdentifySize = 18;

  uint8_t direction = 0;  // 0 host to device, 1 device to host
  uint8_t code = 0;
  uint16_t value = 0;
  uint16_t index = 0;

  // Request type 2 (vendor) and recipient 0 (device) are fixed; the padding byte is sent as 0.
  std::array<uint8_t, kSize> Encode() const;
};

std::array<uint8_t, 4> EncodePipeBlock(uint16_t pipe);

// What the command sets hand to Send, Receive, SendValue and ReceiveValue.
struct RequestRecord {
  static constexpr size_t kSize = 15;

  uint16_t type = 0;
  uint16_t blockInValue = 0;    // request type 16
  uint16_t control43Value = 0;  // request type 18
  uint16_t control43Index = 0;  // request type 18
  uint16_t control41Value = 0;  // request type 19
  uint16_t memoryValue = 0;     // request types 12 and 13 (load address)
  uint8_t fpgaValue = 0;        // request type 17
  uint16_t pipe = 0;            // request types 39 and 40

  std::array<uint8_t, kSize> Encode() const;
  static RequestRecord Decode(std::span<const uint8_t, kSize> bytes);
};

}  // namespace qv6
