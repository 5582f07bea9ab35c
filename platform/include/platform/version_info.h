// File version records: the stand-in for the Windows version resource.
//
// A program or shared library carries one record, placed by ZC_DEFINE_VERSION_RECORD in one of its own
// source files (not in a static library, whose unused members the linker drops). The record holds a
// 16-byte magic, the four version numbers as little-endian 16-bit fields, the "FileVersion" text and a
// checksum, followed by a UTF-16LE "FileVersion" string block laid out as in a Windows version resource
// (key, NUL, padding, value 26 bytes after the key) for readers that scan a file for that block.
//
// ReadFileVersion finds the record by file name (Windows or POSIX, through the path layer) and gives
// nullopt ("no version") for a missing file or a file without a valid record.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace plat {

struct FileVersion {
  uint16_t major = 0;
  uint16_t minor = 0;
  uint16_t build = 0;
  uint16_t revision = 0;
  std::string text;  // the "FileVersion" text, e.g. "2.1.0.7"

  // The Windows fixed-info words: major << 16 | minor, build << 16 | revision.
  uint32_t Ms() const { return uint32_t{major} << 16 | minor; }
  uint32_t Ls() const { return uint32_t{build} << 16 | revision; }
};

std::optional<FileVersion> ReadFileVersion(std::string_view fileName);
// The record of the program or shared library that contains `address` (for a module's own version).
std::optional<FileVersion> ReadModuleVersion(const void* address);

namespace version_detail {
inline constexpr size_t kTextSize = 64;                    // bytes for the text, NUL included
inline constexpr size_t kBlockChars = 12 + 1 + kTextSize;  // "FileVersion", NUL, pad, value

// The first valid record in a stream, read `chunkBytes` at a time (files: 1 MiB); nullopt when none.
std::optional<FileVersion> ReadRecord(std::istream& in, size_t chunkBytes);

// The in-file layout. Every member is a byte or char16_t array, so the object has no padding and its bytes
// are read back field by field.
struct Record {
  unsigned char magic[16];
  unsigned char numbers[8];  // major, minor, build, revision; little-endian
  char text[kTextSize];
  unsigned char check[4];  // little-endian sum of the bytes of numbers and text
  char16_t block[kBlockChars];
};

constexpr Record MakeRecord(uint16_t major, uint16_t minor, uint16_t build, uint16_t revision,
                            const char* text) {
  Record r{};
  const unsigned char magic[16] = {'Z', 'C', '-', 'V', 'E', 'R', 'S',  'I',
                                   'O', 'N', '-', 'R', 'E', 'C', 0x1A, 0x01};
  for (size_t i = 0; i < 16; ++i) r.magic[i] = magic[i];
  const uint16_t numbers[4] = {major, minor, build, revision};
  for (size_t i = 0; i < 4; ++i) {
    r.numbers[2 * i] = static_cast<unsigned char>(numbers[i] & 0xFF);
    r.numbers[2 * i + 1] = static_cast<unsigned char>(numbers[i] >> 8);
  }
  size_t n = 0;
  for (; text[n] != '\0' && n + 1 < kTextSize; ++n) r.text[n] = text[n];
  uint32_t sum = 0;
  for (unsigned char b : r.numbers) sum += b;
  for (char c : r.text) sum += static_cast<unsigned char>(c);
  for (size_t i = 0; i < 4; ++i) r.check[i] = static_cast<unsigned char>(sum >> (8 * i));
  const char key[] = "FileVersion";
  size_t k = 0;
  for (; key[k] != '\0'; ++k) r.block[k] = static_cast<char16_t>(key[k]);
  // block[11] is the key's NUL and block[12] the padding; the value starts 26 bytes after the key.
  for (size_t i = 0; i < n; ++i) r.block[13 + i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
  return r;
}
}  // namespace version_detail

}  // namespace plat

// Places this module's version record. Use once per program or shared library, at namespace scope.
#define ZC_DEFINE_VERSION_RECORD(major, minor, build, revision, text)                    \
  namespace {                                                                            \
  [[gnu::used, gnu::retain]] constexpr ::plat::version_detail::Record zcVersionRecord_ = \
      ::plat::version_detail::MakeRecord((major), (minor), (build), (revision), (text)); \
  }                                                                                      \
  static_assert(true, "")
