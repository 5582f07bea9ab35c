// The first series' command blocks on the wire.
#include "qv6/qv60x/qv6xx_commands.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "platform/byte_order.h"
#include "platform/clock.h"

namespace qv6 {
namespace {

constexpr size_t kBlockHead = 4;
constexpr uint32_t kEnterRetryMs = 10000;

}  // namespace

FirstSeriesCommand::FirstSeriesCommand(uint8_t op, std::initializer_list<uint8_t> bytes) : opcode(op) {
  std::copy_n(bytes.begin(), std::min(bytes.size(), parameters.size()), parameters.begin());
}

std::vector<uint8_t> FirstSeriesCommand::Encode(const uint8_t* payload, size_t payloadLength) const {
  std::vector<uint8_t> block(kLength + payloadLength, 0);
  block[0] = opcode;
  std::copy(parameters.begin(), parameters.end(), block.begin() + 1);
  if (payloadLength != 0) std::memcpy(block.data() + kLength, payload, payloadLength);
  return block;
}

int Qv6xxCommands::Send(uint8_t opcode, std::initializer_list<uint8_t> parameters, const uint8_t* payload,
                        size_t payloadLength) {
  const std::vector<uint8_t> block = FirstSeriesCommand(opcode, parameters).Encode(payload, payloadLength);
  return transport_.SendCommand(block.data(), static_cast<uint32_t>(block.size()));
}

int Qv6xxCommands::Send32(uint8_t opcode, uint32_t parameter) {
  return Send(opcode, {static_cast<uint8_t>(parameter >> 24), static_cast<uint8_t>(parameter >> 16),
                       static_cast<uint8_t>(parameter >> 8), static_cast<uint8_t>(parameter)});
}

int Qv6xxCommands::ReadIdentity(uint8_t* buffer, size_t length) {
  if (buffer != nullptr) std::memset(buffer, 0, length);
  const std::vector<uint8_t> command = FirstSeriesCommand(first_op::kBlockRead, {1}).Encode();
  std::array<uint8_t, kIdentityReply> reply{};
  int received = 0;
  if (!transport_.Transact(command.data(), command.size(), reply.data(), reply.size(), &received)) return 0;
  if (received < static_cast<int>(kBlockHead)) return 0;
  if (buffer != nullptr) {
    std::memcpy(buffer, reply.data() + kBlockHead, std::min(length, static_cast<size_t>(received) - kBlockHead));
  }
  return 1;
}

int Qv6xxCommands::SelectMechImage(int flag) {
  if (flag == 1) {
    if (!Send(first_op::kMechImage, {'V', 0, 0, 0})) return 0;
    return Send(first_op::kMechImage, {'U', 0, 0, 0});
  }
  return Send(first_op::kMechImage, {'Z', 0, 0, 0});
}

int Qv6xxCommands::ReadImage(uint8_t* destination, uint32_t count, int* received, int side, int resolution,
                             int depthCode, int raw) {
  if (received != nullptr) *received = 0;
  if (count > kMaxImageCount) return 0;
  uint8_t flags = static_cast<uint8_t>(side & 3);
  if (depthCode == 0) flags |= 1 << 2;
  else if (depthCode == 1) flags |= 2 << 2;
  else if (depthCode == 2 || depthCode == 3) flags |= 3 << 2;
  if (resolution == 200) flags |= 0x10;
  if (raw != 0) flags |= 0x80;
  if (!Send(first_op::kImageRead, {flags, static_cast<uint8_t>(count >> 16), static_cast<uint8_t>(count >> 8),
                                   static_cast<uint8_t>(count)})) {
    return 0;
  }
  return transport_.Read(destination, count, received);
}

int Qv6xxCommands::DeviceCommand(int sub, int a, int b) {
  switch (sub) {
    case 1:
      return Send(first_op::kDevice, {1, static_cast<uint8_t>(a != 0 ? 1 : 0), 0, 0});
    case 2:
    case 3:
      return Send(first_op::kDevice, {static_cast<uint8_t>(sub), 0, 0, 0});
    case 4:
      return Send(first_op::kDevice, {4, static_cast<uint8_t>(a != 0 ? 1 : 0), static_cast<uint8_t>(b), 0});
    default:
      return Send(first_op::kDevice, {0, 0, 0, 0});
  }
}

int Qv6xxCommands::DownloadFirmware(const uint8_t* data, size_t length, uint8_t opcode, uint32_t address) {
  const bool addressed = address != 0;
  size_t offset = 0;
  for (;;) {
    const size_t chunk = std::min(length - offset, kDownloadChunk);
    if (!Send32(opcode, addressed ? address : static_cast<uint32_t>(chunk))) return 0;
    plat::Sleep(kBeforeChunkMs);
    int written = 0;
    if (!transport_.Write(chunk != 0 ? data + offset : nullptr, static_cast<uint32_t>(chunk), &written)) return 0;
    plat::Sleep(kAfterChunkMs);
    address += static_cast<uint32_t>(chunk);
    offset += chunk;
    if (offset >= length) return 1;
  }
}

int Qv600Commands::WriteBlock(uint8_t block, const uint8_t* payload, size_t length) {
  const size_t n = std::min(length, kMaxBlockPayload);
  return Send(first_op::kBlockWrite, {block, 0, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)}, payload, n);
}

int Qv600Commands::WriteBulkData(const uint8_t* data, size_t length) {
  if (length > UINT32_MAX) return 0;
  if (!Send32(first_op::kBulkBlock, static_cast<uint32_t>(length))) return 0;
  plat::Sleep(kBulkBlockPauseMs);
  int written = 0;
  return bulk_.Write(data, static_cast<uint32_t>(length), &written);
}

int Qv600Commands::ReadBlock(uint8_t block, uint8_t* buffer, size_t capacity, int* received) {
  if (received != nullptr) *received = 0;
  const std::vector<uint8_t> command = FirstSeriesCommand(first_op::kBlockRead, {block}).Encode();
  int n = 0;
  const int ok = bulk_.Transact(command.data(), command.size(), buffer,
                                static_cast<uint32_t>(std::min<size_t>(capacity, UINT32_MAX)), &n);
  if (received != nullptr) *received = n;
  return ok && n > 0 ? 1 : 0;
}

int Qv600Commands::SendPacket(const uint8_t* bytes, size_t length) {
  return bulk_.SendCommand(bytes, static_cast<uint32_t>(std::min<size_t>(length, UINT32_MAX)));
}

int Qv600Commands::ReadSamples(uint16_t* samples, uint32_t byteCount, int* received) {
  if (received != nullptr) *received = 0;
  if (!Send32(first_op::kSampleRead, byteCount)) return 0;
  std::vector<uint8_t> bytes(byteCount);
  int n = 0;
  const int ok = bulk_.Read(bytes.data(), byteCount, &n);
  n = std::clamp(n, 0, static_cast<int>(byteCount));
  for (int i = 0; i + 1 < n; i += 2) samples[i / 2] = plat::bytes::GetBe16(&bytes[static_cast<size_t>(i)]);
  if (received != nullptr) *received = n;
  return ok;
}

int Qv600Commands::Rs232Tx(const uint8_t* data, size_t length) {
  if (length == 0) return 1;
  return WriteBlock(kSerialOutBlock, data, std::min(length, kMaxSerialOut));
}

uint32_t FirmwareChecksum(const uint8_t* image, size_t length) {
  uint32_t sum = 0;
  for (size_t i = 0; i < length; ++i) sum += image[i];
  return sum;
}

int UpdateFirstSeriesFirmware(ScannerInterface& transport, const uint8_t* image, size_t length) {
  if (!transport.Open()) return 0;
  Qv6xxCommands commands(transport);
  auto enter = [&] {
    return commands.Send(first_op::kEnterUpdate, {kUpdateAccessCode[0], kUpdateAccessCode[1],
                                                  kUpdateAccessCode[2], kUpdateAccessCode[3]});
  };
  if (!enter()) {
    transport.Close();
    plat::Sleep(kEnterRetryMs);
    if (!transport.Open() || !enter()) return 0;
  }
  if (!commands.DownloadFirmware(image, length, first_op::kFirmwareData, kFirmwareLoadAddress)) return 0;
  return commands.Send32(first_op::kChecksum, FirmwareChecksum(image, length));
}

}  // namespace qv6
