// Firmware packages for the simulated later-series scanners, made here rather than shipped. A package is a little-endian header of
// (offset, size) pairs followed by its parts: the loader and the firmware as FirmwareRecord lists, and two
// FPGA images. The firmware image carries its maker's text and "Rev. <version>", as running firmware
// reports them in its identity.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace sim {

// Records of at most `perRecord` data bytes loading `bytes` from `address` on, closed by an end record.
std::vector<uint8_t> RecordList(uint16_t address, std::span<const uint8_t> bytes, size_t perRecord = 16);
// Two lists in one: the records of both, one end record.
std::vector<uint8_t> JoinLists(const std::vector<uint8_t>& first, const std::vector<uint8_t>& second);

struct PackageParts {
  std::vector<uint8_t> loader;    // part 1, records
  std::vector<uint8_t> firmware;  // part 2, records
  std::vector<uint8_t> fpga1;     // part 3
  std::vector<uint8_t> fpga2;     // part 4
  uint32_t headerLength = 44;
};

// The firmware image's bytes: filler with the manufacturer text, then "Rev. " and the version, at `at`.
std::vector<uint8_t> FirmwareImage(const std::string& manufacturer, const std::string& version,
                                   size_t size = 512, size_t at = 0x4B);

// A whole package: a loader with records above and inside the low area, firmware loaded across the
// boundary of the low area (0x1F80 on), and two FPGA images of different sizes and contents.
PackageParts StandardPackage(const std::string& manufacturer, const std::string& version);

std::vector<uint8_t> BuildPackage(const PackageParts& parts);
// False when the file cannot be written.
bool WritePackage(const std::filesystem::path& file, const PackageParts& parts);

}  // namespace sim
