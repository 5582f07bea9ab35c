// Reader for the version records placed by ZC_DEFINE_VERSION_RECORD.
#include "platform/version_info.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/byte_order.h"
#include "platform/dynlib.h"
#include "platform/paths.h"

namespace plat {
namespace {

using version_detail::kTextSize;

constexpr size_t kMagicSize = 16;
constexpr size_t kNumbersAt = kMagicSize;
constexpr size_t kTextAt = kNumbersAt + 8;
constexpr size_t kCheckAt = kTextAt + kTextSize;
constexpr size_t kRecordBytes = kCheckAt + 4;  // the part of the record the reader needs

// The magic, kept shifted by one and rebuilt at run time through volatile reads, so this reader's own
// binary never contains the magic and is not mistaken for a versioned file.
std::array<unsigned char, kMagicSize> Magic() {
  static const volatile unsigned char kShifted[kMagicSize] = {
      'Z' + 1, 'C' + 1, '-' + 1, 'V' + 1, 'E' + 1, 'R' + 1, 'S' + 1, 'I' + 1,
      'O' + 1, 'N' + 1, '-' + 1, 'R' + 1, 'E' + 1, 'C' + 1, 0x1B,    0x02};
  std::array<unsigned char, kMagicSize> magic{};
  for (size_t i = 0; i < kMagicSize; ++i) magic[i] = static_cast<unsigned char>(kShifted[i] - 1);
  return magic;
}

// Decodes a record whose magic starts at `p` (kRecordBytes available); nullopt when it does not check out.
std::optional<FileVersion> Decode(const unsigned char* p) {
  uint32_t sum = 0;
  for (size_t i = kNumbersAt; i < kCheckAt; ++i) sum += p[i];
  if (sum != bytes::GetLe32(p + kCheckAt)) return std::nullopt;
  const auto* text = reinterpret_cast<const char*>(p + kTextAt);
  const void* nul = std::memchr(text, '\0', kTextSize);
  if (nul == nullptr) return std::nullopt;
  const auto field = [p](size_t i) { return bytes::GetLe16(p + kNumbersAt + 2 * i); };
  FileVersion v;
  v.major = field(0);
  v.minor = field(1);
  v.build = field(2);
  v.revision = field(3);
  v.text.assign(text, static_cast<const char*>(nul));
  return v;
}

}  // namespace

namespace version_detail {

std::optional<FileVersion> ReadRecord(std::istream& in, size_t chunkBytes) {
  const auto magic = Magic();
  const size_t chunk = std::max<size_t>(chunkBytes, 1);
  std::vector<unsigned char> buf;  // unread tail of the previous chunk + the next chunk
  for (;;) {
    const size_t kept = buf.size();
    buf.resize(kept + chunk);
    in.read(reinterpret_cast<char*>(buf.data() + kept), static_cast<std::streamsize>(chunk));
    const size_t got = static_cast<size_t>(in.gcount());
    buf.resize(kept + got);
    const bool atEnd = got == 0;
    size_t from = 0;
    size_t keepFrom = buf.size() >= kMagicSize ? buf.size() - (kMagicSize - 1) : 0;  // a magic cut in two
    for (;;) {
      const auto it =
          std::search(buf.begin() + static_cast<std::ptrdiff_t>(from), buf.end(), magic.begin(), magic.end());
      if (it == buf.end()) break;
      const size_t at = static_cast<size_t>(it - buf.begin());
      if (buf.size() - at < kRecordBytes) {  // the rest of the record is in the next chunk
        keepFrom = at;
        break;
      }
      if (auto v = Decode(buf.data() + at)) return v;
      from = at + 1;
    }
    if (atEnd) return std::nullopt;
    buf.erase(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(keepFrom));
  }
}

}  // namespace version_detail

std::optional<FileVersion> ReadFileVersion(std::string_view fileName) {
  std::ifstream in(ResolvePath(fileName), std::ios::binary);
  if (!in) return std::nullopt;
  constexpr size_t kChunk = 1 << 20;
  return version_detail::ReadRecord(in, kChunk);
}

std::optional<FileVersion> ReadModuleVersion(const void* address) {
  const std::optional<std::string> path = ModulePathOf(address);
  if (!path) return std::nullopt;
  return ReadFileVersion(*path);
}

}  // namespace plat
