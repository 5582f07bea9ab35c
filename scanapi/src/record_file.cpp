// The scanner-manager record file and the device library's version number.
#include "zarn/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/paths.h"
#include "zarn/params.h"

namespace zarn {
namespace {

std::FILE* g_record = nullptr;

}  // namespace

std::string_view RecordTrimKeep(std::string_view tail, bool startsLine) {
  for (size_t i = 0; i < tail.size(); ++i) {
    if (tail[i] != 'I') continue;
    // A record starts a line; an "I" inside a serial or firmware text does not.
    if (i == 0 ? startsLine : tail[i - 1] == '\n') return tail.substr(i);
  }
  return {};
}

void TrimRecordFile(const std::string& posixPath, int64_t limit) {
  if (limit <= 0) return;
  std::ifstream in(posixPath, std::ios::binary);
  if (!in) return;
  in.seekg(0, std::ios::end);
  const int64_t size = in.tellg();
  if (size <= limit) return;
  // The tail never exceeds the file, so a huge limit reads no more than is there.
  const int64_t from = size - limit;
  char before = '\n';
  in.seekg(from - 1);
  in.get(before);
  std::string tail(static_cast<size_t>(limit), '\0');
  in.read(tail.data(), limit);
  tail.resize(static_cast<size_t>(in.gcount()));
  in.close();
  const std::string_view keep = RecordTrimKeep(tail, before == '\n');
  std::ofstream out(posixPath, std::ios::binary | std::ios::trunc);
  out.write(keep.data(), static_cast<std::streamsize>(keep.size()));
}

std::string RecordFileName() {
  char buf[4096] = {};
  const uint32_t n = plat::GetTempPathA(sizeof buf, buf);
  if (n == 0 || n >= sizeof buf) return "c:\\zarnapi.txt";
  std::string name(buf, n);
  if (name.back() != '\\' && name.back() != '/') name += '\\';
  return name + "zarnapi.txt";
}

void FerloWriteRecord(const char* text) {
  if (text == nullptr) return;
  if (std::strcmp(text, "EXIT") == 0) {
    if (g_record != nullptr) std::fclose(g_record);
    g_record = nullptr;
    return;
  }
  if (g_record == nullptr) {
    const std::string name = RecordFileName();
    TrimRecordFile(plat::ResolvePath(name), funcTableGetParam(188));
    const int fd = plat::OpenFileDescriptor(name, O_WRONLY | O_APPEND | O_CREAT, 0666);
    if (fd >= 0) {
      g_record = fdopen(fd, "ab");
      if (g_record == nullptr) close(fd);
    }
  }
  if (g_record == nullptr) return;
  // CR LF written out, as the Windows readers of this file expect.
  const size_t n = strnlen(text, kRecordLineMax);
  std::fwrite(text, 1, n, g_record);
  std::fputs("\r\n", g_record);
  std::fflush(g_record);
}

int Qv6VersionFromBytes(const uint8_t* data, size_t size) {
  static constexpr char kKey[] = "FileVersion";
  constexpr size_t kKeyLength = sizeof kKey - 1;
  for (size_t i = 0; i + 2 * kKeyLength <= size; i += 2) {
    bool match = true;
    for (size_t k = 0; k < kKeyLength && match; ++k) match = data[i + 2 * k] == static_cast<uint8_t>(kKey[k]);
    if (!match) continue;
    int n = 0, digits = 0, d = 0;
    for (size_t j = i + 26; j < size && digits < 4; j += 2) {
      if (data[j] < '0' || data[j] > '9') continue;
      if (digits < 3) {
        n = n * 10 + (data[j] - '0');
      } else {
        d = data[j] - '0';
      }
      ++digits;
    }
    if (n != 0) return n * 100 + d;
  }
  return 0;
}

int funcGetQv6DllVersion() {
  std::ifstream in(plat::ResolvePath("qv6dll.dll"), std::ios::binary);
  if (!in) return 0;
  const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), {}};
  return Qv6VersionFromBytes(data.data(), data.size());
}

}  // namespace zarn
