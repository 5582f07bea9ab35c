// DeviceBlock: the typed blocks in which the later series exchange state and settings with the host.
// Framing: u16 type, u16 payload length N, N payload bytes; every multi-byte field big-endian on the wire.
//
// Each block type is described once, as data: its payload size and its fields (offset, width, signedness
// and the received length from which the field is stored). The same descriptions build and parse the wire
// form, pack the EEPROM records (little-endian, same field order) and drive the configuration files, so a
// series that differs supplies its own table instead of its own code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace qv6 {

enum DeviceBlockType : uint16_t {
  kBlockIdentity = 1,
  kBlockStatus = 2,
  kBlockStatusWord = 3,
  kBlockInfo4 = 4,
  kBlockInfo5 = 5,
  kBlockBare32 = 32,
  kBlockPrinter = 33,
  kBlockAcquisition = 34,
  kBlockDoubleFeed = 35,
  kBlockSerialPort = 36,
  kBlockImageTransfer = 37,
  kBlockMicrRequest = 38,
  kBlockHostBuffer = 39,
  kBlockImageModule = 64,
  kBlockMotor = 65,
  kBlockTransport = 66,
  kBlockMicrHead = 67,
  kBlockPrinterSection = 68,
  kBlockRamp0 = 69,
  kBlockRamp1 = 70,
};

enum class ByteOrder { kBig, kLittle };

struct FieldSpec {
  uint16_t offset;
  uint8_t width;       // 1, 2 or 4 bytes
  bool isSigned;       // two's complement
  uint16_t storeFrom;  // a received payload of at least this length stores the field
};

struct BlockLayout {
  uint16_t type = 0;
  uint16_t size = 0;           // payload bytes
  bool bareWhenBuilt = false;  // built with no payload (a read request)
  bool clearBeforeParse = false;
  std::vector<FieldSpec> fields;
};

// The layouts of one series, by type.
class BlockTable {
 public:
  explicit BlockTable(std::vector<BlockLayout> layouts);
  const BlockLayout* Find(uint16_t type) const;
  const std::vector<BlockLayout>& layouts() const { return layouts_; }

 private:
  std::vector<BlockLayout> layouts_;
};

// The members of every block of a series, in host order, one value per field.
class BlockValues {
 public:
  explicit BlockValues(const BlockTable& table);

  const BlockTable& table() const { return *table_; }
  int64_t Get(uint16_t type, size_t field) const;
  void Set(uint16_t type, size_t field, int64_t value);
  std::vector<int64_t>& Fields(uint16_t type);
  const std::vector<int64_t>& Fields(uint16_t type) const;

 private:
  const BlockTable* table_;
  std::map<uint16_t, std::vector<int64_t>> values_;
};

// Framing plus payload of `type` into out (at least 4 + payload bytes); returns N + 4, or 0 for an
// unknown type or a buffer too small.
size_t BuildDeviceBlock(const BlockValues& values, uint16_t type, std::span<uint8_t> out);
// Type and length come from the reply's own framing; at most `limit` payload bytes (the length that was
// asked) and never more than the reply holds are looked at. 1, or 0 for an unknown type or no framing.
int ParseDeviceBlock(BlockValues& values, std::span<const uint8_t> reply, size_t limit);

// A block's payload alone, in the given byte order (EEPROM records, configuration data to callers).
std::vector<uint8_t> EncodePayload(const BlockValues& values, uint16_t type, ByteOrder order);
// Stores the fields that `payload` covers completely; false for an unknown type.
bool DecodePayload(BlockValues& values, uint16_t type, std::span<const uint8_t> payload, ByteOrder order);

}  // namespace qv6
