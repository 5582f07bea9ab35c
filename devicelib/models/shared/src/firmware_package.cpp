// Reading firmware packages and searching their firmware part.
#include "qv6/models/firmware_package.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "app/log.h"
#include "platform/paths.h"
#include "platform/byte_order.h"
#include "qv6/models/firmware_record.h"

namespace qv6 {
namespace {

constexpr size_t kRecordHead = 4;  // the bytes before a record's data
constexpr size_t kMinText = 2;
constexpr size_t kMaxText = 1024;
constexpr size_t kVersionWindow = 100;

size_t Find(std::span<const uint8_t> hay, std::string_view needle, size_t from) {
  if (needle.empty() || from > hay.size()) return SIZE_MAX;
  auto it = std::search(hay.begin() + static_cast<std::ptrdiff_t>(from), hay.end(), needle.begin(),
                        needle.end(), [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
  return it == hay.end() ? SIZE_MAX : static_cast<size_t>(it - hay.begin());
}

}  // namespace

void CQv620FilesBuilderSplitter::Clear() {
  header_.fill(0);
  for (auto& part : parts_) part.clear();
  present_.fill(false);
}

int CQv620FilesBuilderSplitter::LoadPackage(const char* fileName) {
  g_Log.WriteFormatted(kLogApi, "Loading file %s\n", fileName != nullptr ? fileName : "");
  Clear();
  std::FILE* file = fileName != nullptr ? plat::OpenFile(fileName, "rb") : nullptr;
  if (file == nullptr) {
    g_Log.WriteFormatted(kLogApi, "Could not open %s\n", fileName != nullptr ? fileName : "");
    return 0;
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (bytes.size() > kMaxPackageBytes) break;  // refused below, unread beyond the cap
  }
  std::fclose(file);
  return LoadBytes(bytes);
}

int CQv620FilesBuilderSplitter::LoadBytes(std::span<const uint8_t> file) {
  Clear();
  if (file.size() > kMaxPackageBytes) return 0;
  size_t headBytes = std::min(file.size(), kHeaderSize);
  for (size_t i = 0; i + 4 <= headBytes; i += 4) header_[i / 4] = plat::bytes::GetLe32(file.data() + i);
  // Header fields at or beyond the header length read 0.
  uint32_t headerLength = header_[0];
  for (size_t i = 0; i < header_.size(); ++i) {
    if (i * 4 >= headerLength && i > 0) header_[i] = 0;
  }
  for (int n = 1; n <= kParts; ++n) {
    if (n == 4 && headerLength < 24) continue;
    if (n == 5 && headerLength < 32) continue;
    uint64_t offset = header_[static_cast<size_t>(2 * n - 1)];
    uint64_t size = header_[static_cast<size_t>(2 * n)];
    if (offset > file.size() || size > file.size() - offset) {
      Clear();
      return 0;
    }
    auto& part = parts_[static_cast<size_t>(n - 1)];
    part.assign(file.begin() + static_cast<std::ptrdiff_t>(offset),
                file.begin() + static_cast<std::ptrdiff_t>(offset + size));
    present_[static_cast<size_t>(n - 1)] = true;
  }
  return 1;
}

std::span<const uint8_t> CQv620FilesBuilderSplitter::Part(int n) const {
  if (n < 1 || n > kParts || !present_[static_cast<size_t>(n - 1)]) return {};
  return parts_[static_cast<size_t>(n - 1)];
}

int CQv620FilesBuilderSplitter::FindInPart2(const uint8_t* text, size_t length, size_t* position) const {
  std::span<const uint8_t> part = Part(2);
  if (text == nullptr || length == 0) return 0;
  size_t start = (position == nullptr || *position == SIZE_MAX) ? 0 : *position;
  for (size_t p = start; p < part.size(); ++p) {
    size_t at = p;
    size_t i = 0;
    for (; i < length && at < part.size(); ++i, ++at) {
      if (part[at] == text[i]) continue;
      // A text may run across the 4-byte head of the next record.
      if (i > 0 && at + kRecordHead < part.size() && part[at + kRecordHead] == text[i]) {
        at += kRecordHead;
        continue;
      }
      break;
    }
    if (i < length) continue;
    if (at < part.size() && part[at] == 0) {
      if (position != nullptr) *position = at + 1;
      return 1;
    }
    if (at + kRecordHead < part.size() && part[at + kRecordHead] == 0) {
      if (position != nullptr) *position = at + kRecordHead + 1;
      return 1;
    }
    return 0;
  }
  return 0;
}

int CQv620FilesBuilderSplitter::ContainsStringPair(const char* first, const char* second) const {
  auto usable = [](const char* t) {
    if (t == nullptr) return false;
    size_t n = strnlen(t, kMaxText + 1);
    return n >= kMinText && n <= kMaxText;
  };
  if (!usable(first) || !usable(second)) return 0;
  size_t position = SIZE_MAX;
  if (!FindInPart2(reinterpret_cast<const uint8_t*>(first), std::strlen(first), &position)) return 0;
  return FindInPart2(reinterpret_cast<const uint8_t*>(second), std::strlen(second), &position);
}

std::string CQv620FilesBuilderSplitter::ReadVersions() const {
  std::span<const uint8_t> part = Part(2);
  if (part.empty()) return {};
  uint32_t low = UINT32_MAX;
  uint32_t high = 0;
  std::vector<std::pair<uint32_t, std::span<const uint8_t>>> pieces;
  for (size_t at = 0; part.size() - at >= FirmwareRecord::kSize; at += FirmwareRecord::kSize) {
    const uint8_t* r = part.data() + at;
    if (r[3] != 0 || r[0] > FirmwareRecord::kMaxData) break;
    uint32_t address = plat::bytes::GetLe16(r + 1);
    low = std::min(low, address);
    high = std::max(high, address + r[0]);
    pieces.emplace_back(address, part.subspan(at + 4, r[0]));
  }
  if (pieces.empty() || high <= low) return {};
  std::vector<uint8_t> memory(high - low, 0);
  for (const auto& [address, data] : pieces)
    std::copy(data.begin(), data.end(), memory.begin() + (address - low));

  size_t maker = Find(memory, "VEK Corp", 0);
  if (maker == SIZE_MAX) maker = Find(memory, "KWL ", 0);
  if (maker == SIZE_MAX) return {};
  std::span<const uint8_t> window(memory.data() + maker, std::min(kVersionWindow, memory.size() - maker));
  size_t rev = Find(window, "Rev. ", 0);
  if (rev == SIZE_MAX) return {};
  size_t from = maker + rev + 5;
  size_t end = from;
  while (end < memory.size() && memory[end] != 0) ++end;
  std::string text(memory.begin() + static_cast<std::ptrdiff_t>(from),
                   memory.begin() + static_cast<std::ptrdiff_t>(end));
  int a = 0, b = 0, c = 0, d = 0;
  if (std::sscanf(text.c_str(), "%d.%d.%d.%d", &a, &b, &c, &d) != 4) return {};
  return text;
}

}  // namespace qv6
