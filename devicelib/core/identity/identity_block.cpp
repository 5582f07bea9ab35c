// Identity block parsing and building.
#include "identity/identity_block.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "firmware/version_text.h"

namespace qv6 {
namespace {

constexpr char kEmpty[] = "";

// Offset of field n's first character, or length when the field is missing.
size_t FieldOffset(const uint8_t* block, int n, size_t length) {
  if (block == nullptr || n < 0) return length;
  int passed = 0;
  for (size_t i = 0; i < length; ++i) {
    if (block[i] == 0) {
      if (i + 1 < length && block[i + 1] == 0) return length;  // an empty text ends the block
      ++passed;
      continue;
    }
    if (passed >= n) return i;
  }
  return length;
}

}  // namespace

CQv6Info::CQv6Info()
    : manufacturer_(kEmpty), state_(kEmpty), model_(kEmpty), version_(kEmpty), serial_(kEmpty) {}

CQv6Info::CQv6Info(const uint8_t* block, size_t length) : CQv6Info() {
  Parse(block, length);
}

std::string_view CQv6Info::FindField(const uint8_t* block, int n, size_t length) {
  size_t start = FieldOffset(block, n, length);
  if (start >= length) return {};
  size_t end = start;
  while (end < length && block[end] != 0) ++end;
  return {reinterpret_cast<const char*>(block + start), end - start};
}

int CQv6Info::GetNumber(const uint8_t* block, int n, size_t length) {
  uint32_t value = 0;
  for (char c : FindField(block, n, length)) {
    uint64_t next = uint64_t{value} * 10 + (static_cast<unsigned char>(c) & 0x0Fu);
    value = next > INT_MAX ? static_cast<uint32_t>(INT_MAX) : static_cast<uint32_t>(next);
  }
  return static_cast<int>(value);
}

const char* CQv6Info::Text(int n) const {
  size_t length = block_.size() - 1;  // without our own terminator
  size_t start = FieldOffset(reinterpret_cast<const uint8_t*>(block_.data()), n, length);
  return start >= length ? kEmpty : block_.data() + start;
}

void CQv6Info::Parse(const uint8_t* block, size_t length) {
  if (block == nullptr) length = 0;
  // Copy first: Build parses its own buffer, which is this very vector.
  std::vector<char> copy(length + 1, 0);
  if (length > 0) std::memcpy(copy.data(), block, length);
  block_.swap(copy);

  const auto* bytes = reinterpret_cast<const uint8_t*>(block_.data());
  manufacturer_ = Text(0);
  model_ = Text(1);
  version_ = Text(3);
  serial_ = Text(4);
  documents_ = GetNumber(bytes, 5, length);
  minutes_ = GetNumber(bytes, 6, length);
  state_ = Text(7);
}

const uint8_t* CQv6Info::Build(int* length, const char* manufacturer, const char* model, const char* version,
                               const char* serial, int documents, int minutes, const char* state) {
  char documentsText[16];
  char minutesText[16];
  std::snprintf(documentsText, sizeof documentsText, "%i", documents);
  std::snprintf(minutesText, sizeof minutesText, "%i", minutes);
  const char* texts[] = {manufacturer, model, "0", version, serial, documentsText, minutesText, state};

  std::vector<uint8_t> built;
  built.reserve(kBuildBufferSize);
  for (const char* text : texts) {
    std::string_view view = text != nullptr ? std::string_view(text) : std::string_view();
    if (built.size() + view.size() + 1 > kBuildBufferSize) {
      if (length != nullptr) *length = 0;
      return nullptr;
    }
    built.insert(built.end(), view.begin(), view.end());
    built.push_back(0);
  }
  if (built.size() + 2 > kBuildBufferSize) {
    if (length != nullptr) *length = 0;
    return nullptr;
  }
  built.push_back(0);
  built.push_back(0);

  Parse(built.data(), built.size());
  if (length != nullptr) *length = static_cast<int>(built.size());
  return reinterpret_cast<const uint8_t*>(block_.data());
}

uint64_t CQv6Info::ParseVersion(std::string_view text) {
  return ParseVersionText(text);
}

}  // namespace qv6
