// The later series' command set over the driver-device transport.
#include "qv6/later/later_commands.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "connect/identification.h"
#include "identity/identity_block.h"
#include "platform/clock.h"
#include "platform/byte_order.h"

namespace qv6 {
namespace {

constexpr size_t kFraming = 4;
constexpr size_t kFpgaIdentitySize = 120;

RequestRecord Request(uint16_t type) {
  RequestRecord r;
  r.type = type;
  return r;
}

RequestRecord Pipe(uint16_t type, uint16_t pipe) {
  RequestRecord r;
  r.type = type;
  r.pipe = pipe;
  return r;
}

}  // namespace

const CommandSetTraits& Qv63xCommands::Qv63xTraits() {
  static const CommandSetTraits traits{"QV630FWLoadertoUpload.bin", later::Qv63xOpcodes(), 0x6F00, 8191,
                                       SeriesId::kQv63x};
  return traits;
}

const CommandSetTraits& Qv64xCommands::Qv64xTraits() {
  static const CommandSetTraits traits{"QV640FWLoadertoUpload.bin", later::Qv63xOpcodes(), 0x6F00, 8191,
                                       SeriesId::kQv64x};
  return traits;
}

Qv63xCommands::Qv63xCommands(DriverDeviceInterface& transport) : Qv63xCommands(transport, Qv63xTraits()) {}

Qv63xCommands::Qv63xCommands(DriverDeviceInterface& transport, const CommandSetTraits& traits)
    : transport_(transport), traits_(traits) {}

int Qv63xCommands::Identify(uint8_t* buffer, size_t size) {
  int result = IdentifyLaterSeries(transport_, *RulesFor(traits_.identification), buffer, size);
  // A block cut to the caller's size still ends its last text and the list.
  if (buffer != nullptr && size >= 2) {
    buffer[size - 1] = 0;
    buffer[size - 2] = 0;
  }
  return result;
}

int Qv63xCommands::ReadStatusWord(uint16_t* word) {
  uint8_t reply[kFraming + 2] = {};
  if (!ReceiveBlock(3, reply, sizeof reply)) return 0;
  if (word != nullptr) *word = plat::bytes::GetBe16(reply + kFraming);
  return 1;
}

int Qv63xCommands::ReadSamples(uint8_t* buffer, size_t length) {
  return transport_.ReceiveValue(buffer, static_cast<uint32_t>(length), Pipe(kRequestBulkRead, 2));
}

int Qv63xCommands::ReadImageData(int side, uint8_t* buffer, size_t length) {
  return transport_.ReceiveValue(buffer, static_cast<uint32_t>(length),
                                 Pipe(kRequestBulkRead, side != 0 ? 1 : 0));
}

int Qv63xCommands::SendCommand(const DeviceCommandRequest& request) {
  std::vector<uint8_t> packet = PackCommand(request, traits_.opcodes);
  if (!packet.empty()) {
    transport_.Send(packet.data(), static_cast<uint32_t>(packet.size()), Request(kRequestCommandPacket));
  }
  return 1;
}

int Qv63xCommands::StopFeed() {
  DeviceCommandRequest stop;
  stop.opcode = later::kOpFeed;
  return SendCommand(stop);
}

int Qv63xCommands::SendBlock(const uint8_t* data, size_t length) {
  return transport_.Send(data, static_cast<uint32_t>(length), Request(kRequestBlockOut));
}

int Qv63xCommands::Rs232Send(const uint8_t* data, size_t length) {
  return transport_.Send(data, static_cast<uint32_t>(length), Request(kRequestSerialOut));
}

int Qv63xCommands::UploadBuffer(const uint8_t* data, size_t length) {
  return transport_.SendValue(data, static_cast<uint32_t>(length), Pipe(kRequestBulkWrite, 3));
}

int Qv63xCommands::SetCpuReset(int on) {
  uint8_t value = on ? 1 : 0;
  RequestRecord request = Request(kRequestMemoryWrite);
  request.memoryValue = kCpuResetAddress;
  return transport_.Send(&value, 1, request);
}

int Qv63xCommands::DownloadRecords(std::span<const uint8_t> list) {
  auto records = FirmwareRecord::ParseList(list);
  if (!records) {
    SetCpuReset(1);
    return 0;
  }
  auto send = [this](const FirmwareRecord& r, uint16_t type) {
    if (r.count == 0) return true;
    RequestRecord request = Request(type);
    request.memoryValue = r.address;
    return transport_.Send(r.data.data(), r.count, request) != 0;
  };
  for (const FirmwareRecord& r : *records) {
    if (r.end) break;
    if (r.address > traits_.lowAddressLimit && !send(r, kRequestFirmwareHigh)) {
      SetCpuReset(1);
      return 0;
    }
  }
  SetCpuReset(1);
  plat::Sleep(100);
  for (const FirmwareRecord& r : *records) {
    if (r.end) break;
    if (r.address <= traits_.lowAddressLimit && !send(r, kRequestMemoryWrite)) {
      SetCpuReset(1);
      return 0;
    }
  }
  return 1;
}

int Qv63xCommands::Reopen() {
  transport_.Close();
  plat::Sleep(traits_.reopenWaitMs);
  for (int attempt = 0; attempt < kReopenAttempts; ++attempt) {
    if (transport_.Open()) return 1;
    plat::Sleep(100);
  }
  return 0;
}

int Qv63xCommands::DownloadFirmware(std::span<const uint8_t> loader, std::span<const uint8_t> firmware) {
  SetCpuReset(1);
  if (!DownloadRecords(loader)) {
    SetCpuReset(1);
    return 0;
  }
  SetCpuReset(0);
  if (!Reopen()) return 0;
  plat::Sleep(50);
  if (!DownloadRecords(firmware)) {
    SetCpuReset(1);
    return 0;
  }
  SetCpuReset(1);
  SetCpuReset(0);
  return Reopen();
}

int Qv63xCommands::ResetDevice() {
  SetCpuReset(1);
  plat::Sleep(100);
  SetCpuReset(0);
  transport_.Close();
  for (int attempt = 0; attempt < kReopenAttempts; ++attempt) {
    if (transport_.Open()) break;
    plat::Sleep(100);
  }
  return 1;
}

int Qv63xCommands::ReceiveBlock(uint16_t type, uint8_t* buffer, size_t length) {
  RequestRecord request = Request(kRequestBlockIn);
  request.blockInValue = type;
  return transport_.Receive(buffer, static_cast<uint32_t>(length), request) ? 1 : 0;
}

int Qv63xCommands::Rs232Receive(uint8_t* buffer, size_t length) {
  return transport_.Receive(buffer, static_cast<uint32_t>(length), Request(kRequestSerialIn)) ? 1 : 0;
}

int Qv63xCommands::SendData(const uint8_t* data, size_t length) {
  return SendBlock(data, length);
}

int Qv63xCommands::SendRawCommand(const uint8_t* data, size_t length) {
  return transport_.Send(data, static_cast<uint32_t>(length), Request(kRequestCommandPacket));
}

int Qv63xCommands::DownloadFpga(std::span<const uint8_t> image1, std::span<const uint8_t> image2,
                                uint8_t openValue) {
  if (image1.empty() && image2.empty()) return 0;
  uint8_t identity[kFpgaIdentitySize];
  if (!Identify(identity, sizeof identity)) return 0;
  CQv6Info info(identity, sizeof identity);
  // Each image goes out with its own size.
  std::span<const uint8_t> image = std::strncmp(info.state(), "SD", 2) == 0 ? image2 : image1;
  if (image.empty()) return 0;
  RequestRecord request = Request(kRequestFpgaImage);
  request.fpgaValue = openValue;
  return transport_.Send(image.data(), static_cast<uint32_t>(image.size()), request);
}

int Qv63xCommands::WriteData(const uint8_t* data, int length) {
  if (data == nullptr || length <= 0) return 0;
  uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(length), traits_.eepromLimit);
  return transport_.Send(data, n, Request(kRequestEepromWrite)) ? static_cast<int>(n) : 0;
}

int Qv63xCommands::ReadData(uint8_t* buffer, int length) {
  if (buffer == nullptr || length <= 0) return 0;
  std::memset(buffer, 0xFF, static_cast<size_t>(length));
  uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(length), traits_.eepromLimit);
  return transport_.Receive(buffer, n, Request(kRequestEepromRead)) ? static_cast<int>(n) : 0;
}

}  // namespace qv6
