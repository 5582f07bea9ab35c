// The first series' command set: 5-byte command blocks (opcode, four big-endian parameter bytes, an
// optional payload behind them) sent over the bulk transport, some followed by a bulk write or read.
// Every operation returns 1 on success and 0 on failure; the reason stays in the ScannerInterface.
//
// Qv6xxCommands is what both models and the connection share (identity, mechanical image, image read,
// device commands, the chunked download); Qv600Commands and Qv605Commands are the models' own objects,
// the QV605 one with the colour-table load.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "transport/scanner_interface.h"

namespace qv6 {

// The first series' opcodes.
namespace first_op {
inline constexpr uint8_t kTableLoad = 6;
inline constexpr uint8_t kTableData = 7;
inline constexpr uint8_t kBlockRead = 8;
inline constexpr uint8_t kBlockWrite = 9;
inline constexpr uint8_t kImageRead = 11;
inline constexpr uint8_t kSampleRead = 12;
inline constexpr uint8_t kBulkBlock = 14;
inline constexpr uint8_t kDevice = 15;
inline constexpr uint8_t kMechImage = 20;
inline constexpr uint8_t kFirmwareData = 169;
inline constexpr uint8_t kEnterUpdate = 0xAA;
inline constexpr uint8_t kChecksum = 0xAC;
}  // namespace first_op

// The code the scanner's update mode asks for behind the enter-update opcode.
inline constexpr uint8_t kUpdateAccessCode[4] = {'Q', 'V', '6', 'U'};
inline constexpr uint32_t kFirmwareLoadAddress = 0xD0000;

// One command block on the wire: the opcode, then four parameter bytes (multi-byte numbers big-endian),
// then the payload of the commands that carry one in the same request.
struct FirstSeriesCommand {
  static constexpr size_t kLength = 5;
  uint8_t opcode = 0;
  std::array<uint8_t, 4> parameters{};

  // Up to four parameter bytes; missing ones are 0.
  FirstSeriesCommand(uint8_t op, std::initializer_list<uint8_t> bytes);
  // The block's bytes with `payloadLength` bytes of payload behind it.
  std::vector<uint8_t> Encode(const uint8_t* payload = nullptr, size_t payloadLength = 0) const;
};

class Qv6xxCommands {
 public:
  static constexpr size_t kCommandLength = FirstSeriesCommand::kLength;
  static constexpr size_t kIdentityReply = 256;
  static constexpr size_t kDownloadChunk = 4096;
  static constexpr uint32_t kBeforeChunkMs = 50;
  static constexpr uint32_t kAfterChunkMs = 100;
  static constexpr uint32_t kMaxImageCount = 0xFFFFFF;  // opcode 11 carries 24 bits

  explicit Qv6xxCommands(ScannerInterface& transport) : transport_(transport) {}
  virtual ~Qv6xxCommands() = default;
  Qv6xxCommands(const Qv6xxCommands&) = delete;
  Qv6xxCommands& operator=(const Qv6xxCommands&) = delete;

  // Clears the buffer, then copies the identity's data (behind the 4-byte head, at most length bytes).
  // A reply shorter than its head is refused.
  int ReadIdentity(uint8_t* buffer, size_t length);
  // 1: store the working mechanical settings ('V', then 'U'); 0: recall them ('Z').
  int SelectMechImage(int flag);
  // Opcode 11 and the bulk read of `count` bytes; *received = what arrived. Counts above 24 bits are
  // refused before anything is sent.
  int ReadImage(uint8_t* destination, uint32_t count, int* received, int side, int resolution, int depthCode,
                int raw);
  // Opcode 15: sub-commands 1 and 4 reduce their argument to 0 or 1; unknown ones go as all zeros.
  int DeviceCommand(int sub, int a = 0, int b = 0);
  // Chunks of at most 4096 bytes, each announced by {opcode, P}: P the chunk's address when the start
  // address is not 0, else the chunk's length. An empty image is one empty chunk.
  int DownloadFirmware(const uint8_t* data, size_t length, uint8_t opcode, uint32_t address);

  // A command without a reply: the opcode, up to four parameter bytes, then the payload.
  int Send(uint8_t opcode, std::initializer_list<uint8_t> parameters, const uint8_t* payload = nullptr,
           size_t payloadLength = 0);
  int Send32(uint8_t opcode, uint32_t parameter);

  ScannerInterface& transport() { return transport_; }

 private:
  ScannerInterface& transport_;
};

// The model request operations both models share.
class Qv600Commands : public Qv6xxCommands {
 public:
  static constexpr size_t kMaxBlockPayload = 8187;
  static constexpr size_t kMaxSerialOut = 100;
  static constexpr uint8_t kSerialOutBlock = 97;
  static constexpr uint32_t kBulkBlockPauseMs = 50;

  explicit Qv600Commands(ScannerInterface& transport) : Qv6xxCommands(transport), bulk_(transport) {}

  // Opcode 9 with the payload in the same request (cut to 8187 bytes).
  int WriteBlock(uint8_t block, const uint8_t* payload, size_t length);
  // Opcode 14 with the length, a pause, then the bulk write.
  int WriteBulkData(const uint8_t* data, size_t length);
  // Opcode 8; *received = the reply's length; fails on an empty reply.
  int ReadBlock(uint8_t block, uint8_t* buffer, size_t capacity, int* received);
  // The bytes as one control request.
  int SendPacket(const uint8_t* bytes, size_t length);
  // Opcode 12 and a bulk read; the big-endian samples come back in host order.
  int ReadSamples(uint16_t* samples, uint32_t byteCount, int* received);
  // Block 97; nothing sent for 0 bytes (success), at most 100 bytes.
  int Rs232Tx(const uint8_t* data, size_t length);

 protected:
  ScannerInterface& bulk_;
};

class Qv605Commands : public Qv600Commands {
 public:
  explicit Qv605Commands(ScannerInterface& transport) : Qv600Commands(transport) {}

  int OpenTableLoad(uint8_t set) { return Send(first_op::kTableLoad, {1, set, 0, 0}); }
  int StartTableData(uint8_t set) { return Send(first_op::kTableLoad, {0, set, 0, 0}); }
  int SendTableData(const uint8_t* data, size_t length) {
    return DownloadFirmware(data, length, first_op::kTableData, 0);
  }
  int CloseTableLoad(uint8_t set) { return Send(first_op::kTableLoad, {2, set, 0, 0}); }
};

// The first series' firmware update over an open-able transport: enter update mode (once more after
// closing, 10 s and reopening when refused), the image at 0xD0000, then the checksum. 1 on success.
int UpdateFirstSeriesFirmware(ScannerInterface& transport, const uint8_t* image, size_t length);
// The checksum command's value: the byte sum modulo 2^32.
uint32_t FirmwareChecksum(const uint8_t* image, size_t length);

}  // namespace qv6
