// The QV62x command set over the driver-device transport.
#include "qv6/qv62x/qv62x_commands.h"

#include <map>
#include <mutex>
#include <string>

namespace qv6 {
namespace {

constexpr uint32_t kReopenWaitMs = 50;

RequestRecord Request(uint16_t type) {
  RequestRecord r;
  r.type = type;
  return r;
}

RequestRecord Pipe(uint16_t pipe) {
  RequestRecord r;
  r.type = kRequestBulkRead;
  r.pipe = pipe;
  return r;
}

}  // namespace

std::span<const OpcodeSpec> Qv62xCommands::Opcodes() {
  static constexpr OpcodeSpec kTable[] = {{1, 5}, {2, 0}, {3, 0}, {4, 0}, {5, 0},
                                          {6, 0}, {7, 0}, {8, 0}, {10, 2}};
  return kTable;
}

const CommandSetTraits& Qv62xCommands::Qv62xTraits(const char* loaderFile) {
  // One traits record per loader name, alive for the process.
  static std::mutex mutex;
  static std::map<std::string, CommandSetTraits> traits;
  std::lock_guard<std::mutex> lock(mutex);
  auto [it, added] = traits.try_emplace(
      loaderFile, CommandSetTraits{nullptr, Opcodes(), 0x6F00, 8191, SeriesId::kQv62x, kReopenWaitMs});
  if (added) it->second.loaderFile = it->first.c_str();
  return it->second;
}

Qv62xCommands::Qv62xCommands(DriverDeviceInterface& transport, const char* loaderFile)
    : Qv63xCommands(transport, Qv62xTraits(loaderFile)) {}

int Qv62xCommands::ReadSamples(uint8_t* buffer, size_t length) {
  RequestRecord announce = Request(kRequestControl41);
  size_t units = (length + kSampleUnitBytes - 1) / kSampleUnitBytes;
  if (units > 0xFFFF) return 0;
  announce.control41Value = static_cast<uint16_t>(units);
  if (!transport().Send(nullptr, 0, announce)) return 0;
  return transport().ReceiveValue(buffer, static_cast<uint32_t>(length), Pipe(2));
}

int Qv62xCommands::ReadImageData(int /*side*/, uint8_t* buffer, size_t length) {
  if (length > UINT32_MAX) return 0;
  if (!transport().Send(nullptr, 0, Request(kRequestControl42))) return 0;
  return transport().ReceiveValue(buffer, static_cast<uint32_t>(length), Pipe(1));
}

int Qv62xCommands::UploadAt(const uint8_t* data, size_t length, int position) {
  if (length > kUploadLimit) return 0;
  RequestRecord announce = Request(kRequestControl43);
  announce.control43Value = static_cast<uint16_t>(position);
  announce.control43Index = static_cast<uint16_t>(length);
  if (!transport().Send(nullptr, 0, announce)) return 0;
  RequestRecord upload = Request(kRequestBulkWrite);
  upload.pipe = 0;
  return transport().SendValue(data, static_cast<uint32_t>(length), upload) ? 1 : 0;
}

int Qv62xCommands::DownloadFpga(std::span<const uint8_t> image1, std::span<const uint8_t> /*image2*/,
                                uint8_t openValue) {
  if (image1.empty()) return 0;
  RequestRecord request = Request(kRequestFpgaImage);
  request.fpgaValue = openValue;
  return transport().Send(image1.data(), static_cast<uint32_t>(image1.size()), request);
}

}  // namespace qv6
