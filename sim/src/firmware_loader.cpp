// The simulated controller's boot loader, loader and firmware stages.
#include "sim/firmware_loader.h"

#include <algorithm>
#include <string_view>

namespace sim {
namespace {

constexpr uint16_t kCpuResetAddress = 0xE600;
constexpr size_t kVersionWindow = 100;

size_t Find(const std::vector<uint8_t>& memory, std::string_view text, size_t from, size_t end) {
  end = std::min(end, memory.size());
  if (text.size() > end || from > end - text.size()) return std::string::npos;
  for (size_t at = from; at + text.size() <= end; ++at) {
    if (std::equal(text.begin(), text.end(), memory.begin() + static_cast<std::ptrdiff_t>(at))) return at;
  }
  return std::string::npos;
}

std::string TextAt(const std::vector<uint8_t>& memory, size_t at) {
  std::string text;
  while (at < memory.size() && memory[at] != 0) text.push_back(static_cast<char>(memory[at++]));
  return text;
}

}  // namespace

std::optional<FirmwareLoader::Stage> FirmwareLoader::OnMemoryWrite(uint16_t address,
                                                                   std::span<const uint8_t> data) {
  if (address != kCpuResetAddress) {
    pending_[address].assign(data.begin(), data.end());
    return std::nullopt;
  }
  if (data.empty()) return std::nullopt;
  bool hold = data[0] != 0;
  bool released = inReset_ && !hold;
  inReset_ = hold;
  if (!released) return std::nullopt;
  if (!pending_.empty()) {
    if (stage_ == Stage::kLoader) {
      firmware_ = std::move(pending_);
      stage_ = Stage::kFirmware;
      ++firmwareDownloads_;
    } else {
      loader_ = std::move(pending_);
      stage_ = Stage::kLoader;
    }
    pending_.clear();
  }
  return stage_;
}

std::optional<FirmwareLoader::RunningTexts> FirmwareLoader::TextsOf(
    const std::map<uint16_t, std::vector<uint8_t>>& image) {
  if (image.empty()) return std::nullopt;
  size_t low = image.begin()->first;
  size_t high = low;
  for (const auto& [address, bytes] : image) high = std::max(high, address + bytes.size());
  std::vector<uint8_t> memory(high - low, 0);
  for (const auto& [address, bytes] : image) {
    std::copy(bytes.begin(), bytes.end(), memory.begin() + static_cast<std::ptrdiff_t>(address - low));
  }
  size_t maker = Find(memory, "VEK Corp", 0, memory.size());
  if (maker == std::string::npos) maker = Find(memory, "KWL ", 0, memory.size());
  if (maker == std::string::npos) return std::nullopt;
  RunningTexts texts;
  texts.manufacturer = TextAt(memory, maker);
  size_t rev = Find(memory, "Rev. ", maker, maker + kVersionWindow);
  if (rev != std::string::npos) texts.version = TextAt(memory, rev + 5);
  return texts;
}

}  // namespace sim
