// The "MD:" name parser shared by every memory writer.
#include "imaging/memory_target.h"

#include <cctype>
#include <cstdint>
#include <limits>

namespace zc::imaging {
namespace {

// Reads decimal digits at *p into *value; false on overflow of `max`.
bool ReadDecimal(const char*& p, uint64_t max, uint64_t* value) {
  uint64_t v = 0;
  while (*p >= '0' && *p <= '9') {
    const uint64_t digit = static_cast<uint64_t>(*p - '0');
    if (v > (max - digit) / 10) return false;
    v = v * 10 + digit;
    ++p;
  }
  *value = v;
  return true;
}

}  // namespace

std::optional<MemoryTarget> ParseMemoryTarget(const char* name) {
  if (name == nullptr || std::toupper(static_cast<unsigned char>(name[0])) != 'M' ||
      std::toupper(static_cast<unsigned char>(name[1])) != 'D' || name[2] != ':')
    return std::nullopt;
  const char* p = name + 3;
  while (*p == ' ' || *p == '\t') ++p;
  MemoryTarget target;
  uint64_t value = 0;
  if (!ReadDecimal(p, std::numeric_limits<uintptr_t>::max(), &value)) return std::nullopt;
  target.address = static_cast<uintptr_t>(value);
  if (*p == ':' && p[1] >= '0' && p[1] <= '9') {
    ++p;
    if (!ReadDecimal(p, std::numeric_limits<size_t>::max(), &value)) return std::nullopt;
    target.size = static_cast<size_t>(value);
    if (target.size > std::numeric_limits<uintptr_t>::max() - target.address) return std::nullopt;
  }
  return target;
}

uintptr_t OutputLimit(const MemoryTarget& target) {
  return target.bounded() ? target.address + target.size : 0;
}

int32_t DescriptorMemorySize(const MemoryTarget& target) {
  if (!target.bounded()) return INT32_MAX;
  return target.size > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(target.size);
}

}  // namespace zc::imaging
