// Firmware packages for the simulated scanners.
#include "sim/firmware_package_builder.h"

#include <algorithm>
#include <fstream>

namespace sim {
namespace {

constexpr size_t kRecordSize = 20;
constexpr uint16_t kFirmwareAddress = 0x1F80;

void PutLe32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 5));
  return bytes;
}

}  // namespace

std::vector<uint8_t> RecordList(uint16_t address, std::span<const uint8_t> bytes, size_t perRecord) {
  std::vector<uint8_t> list;
  for (size_t at = 0; at < bytes.size(); at += perRecord) {
    size_t n = std::min(perRecord, bytes.size() - at);
    auto a = static_cast<uint16_t>(address + at);
    uint8_t record[kRecordSize] = {static_cast<uint8_t>(n), static_cast<uint8_t>(a),
                                   static_cast<uint8_t>(a >> 8), 0};
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), n, record + 4);
    list.insert(list.end(), record, record + kRecordSize);
  }
  uint8_t end[kRecordSize] = {0, 0, 0, 1};
  list.insert(list.end(), end, end + kRecordSize);
  return list;
}

std::vector<uint8_t> JoinLists(const std::vector<uint8_t>& first, const std::vector<uint8_t>& second) {
  std::vector<uint8_t> list(first.begin(), first.end() - kRecordSize);
  list.insert(list.end(), second.begin(), second.end());
  return list;
}

std::vector<uint8_t> FirmwareImage(const std::string& manufacturer, const std::string& version, size_t size,
                                   size_t at) {
  std::vector<uint8_t> image = Pattern(size, 0x31);
  std::replace(image.begin(), image.end(), uint8_t{0}, uint8_t{0x5A});
  std::string text = manufacturer + '\0' + "Rev. " + version + '\0';
  std::copy(text.begin(), text.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
  return image;
}

PackageParts StandardPackage(const std::string& manufacturer, const std::string& version) {
  PackageParts parts;
  std::vector<uint8_t> high = Pattern(40, 0x10);
  std::vector<uint8_t> low = Pattern(24, 0x60);
  parts.loader = JoinLists(RecordList(0x3000, high), RecordList(0x0100, low));
  parts.firmware = RecordList(kFirmwareAddress, FirmwareImage(manufacturer, version));
  parts.fpga1 = Pattern(5000, 0xA1);
  parts.fpga2 = Pattern(3000, 0xB2);
  return parts;
}

std::vector<uint8_t> BuildPackage(const PackageParts& parts) {
  const std::vector<uint8_t>* pieces[] = {&parts.loader, &parts.firmware, &parts.fpga1, &parts.fpga2};
  std::vector<uint8_t> file(44, 0);
  PutLe32(file, 0, parts.headerLength);
  for (size_t n = 0; n < 4; ++n) {
    PutLe32(file, 4 + 8 * n, static_cast<uint32_t>(file.size()));
    PutLe32(file, 8 + 8 * n, static_cast<uint32_t>(pieces[n]->size()));
    file.insert(file.end(), pieces[n]->begin(), pieces[n]->end());
  }
  return file;
}

bool WritePackage(const std::filesystem::path& file, const PackageParts& parts) {
  const std::vector<uint8_t> bytes = BuildPackage(parts);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace sim
