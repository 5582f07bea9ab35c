// Log files of the magnetic decoder, named the Windows way and opened through the path layer.
#include "analysis/micr/debug_logs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "analysis/services.h"
#include "platform/paths.h"

namespace analysis::micr {

std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return {};
  return std::string(buffer, static_cast<std::size_t>(n) < sizeof buffer ? static_cast<std::size_t>(n)
                                                                         : sizeof buffer - 1);
}

int32_t MicrLogs::Param() const {
  return services_.ZARNGetParam(kVerifyLogParam);
}

bool MicrLogs::TextLogsOn() const {
  return (Param() & kTextLogBit) != 0;
}

bool MicrLogs::TempLogOn() const {
  return tempFlag && (Param() & kDumpBit) != 0;
}

void MicrLogs::Append(const std::string& windowsName, std::string_view text) const {
  std::FILE* f = plat::OpenFile(windowsName, "ab");
  if (f == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fputs("\r\n", f);  // text-mode files end lines as on Windows
  std::fclose(f);
}

void MicrLogs::funcMicrTestLog(std::string_view text) const {
  if (TextLogsOn()) Append(Format("c:\\test%04d.log", documentCounter), text);
}

void MicrLogs::funcMicrResultLog(std::string_view text) const {
  if (TextLogsOn()) Append(Format("c:\\resu3G%02d.log", documentCounter), text);
}

void MicrLogs::funcMicrTempLog(std::string_view text) const {
  if (TempLogOn()) Append(Format("c:\\temp%04d.log", documentCounter), text);
}

void MicrLogs::RawDump(std::span<const uint16_t> words) const {
  std::string name = Format("micr%04d.raw", dumpCounter);
  name[4] = '1';
  // Truncated, so a shorter dump never keeps the tail of a longer one.
  const int fd = plat::OpenFileDescriptor(name, O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) return;
  std::vector<uint8_t> bytes;
  bytes.reserve(words.size() * 2);
  for (const uint16_t w : words) {
    bytes.push_back(static_cast<uint8_t>(w & 0xFF));
    bytes.push_back(static_cast<uint8_t>(w >> 8));
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

}  // namespace analysis::micr
