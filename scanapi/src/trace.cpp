// The trace sinks. One mutex guards every file handle and line buffer, so lines from the API thread and the
// device library's polling thread never interleave.
#include "zarn/trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/paths.h"

namespace zarn {
namespace {

std::atomic<int> iApiTraceLevel{2};
std::atomic<int> g_logToFile{0};
std::atomic<int> iScannerTypeCode{-1};
std::atomic<int32_t> g_loopsPerMs{0};

std::mutex& SinkMutex() {
  static std::mutex m;
  return m;
}

// Writes `text` as a text-mode file would: every '\n' becomes CR LF. Failures are ignored.
void WriteTextMode(int fd, const char* text, size_t len) {
  std::string out;
  out.reserve(len + 8);
  for (size_t i = 0; i < len; ++i) {
    if (text[i] == '\n') out.push_back('\r');
    out.push_back(text[i]);
  }
  size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::write(fd, out.data() + done, out.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// Opens for appending, or creates (truncating) when the file cannot be opened.
int OpenForAppend(const std::string& name) {
  int fd = plat::OpenFileDescriptor(name, O_WRONLY | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) fd = plat::OpenFileDescriptor(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return fd;
}

// One kept-open log file: the API log in the temporary folder, or the fixed one.
class ApiLogFile {
 public:
  explicit ApiLogFile(bool fixedPath) : fixedPath_(fixedPath) {}

  // Caller holds the sink mutex.
  void Write(const char* line) {
    plat::OutputDebugStringA(line);
    if (g_logToFile.load() < 1) return;
    if (fd_ < 0) fd_ = OpenForAppend(Path());
    if (fd_ < 0) return;
    size_t len = std::strlen(line);
    if (len > kApiLogLineMax) len = kApiLogLineMax;
    char buf[kApiLogLineMax + 2];
    std::memcpy(buf, line, len);
    buf[len] = '\n';
    WriteTextMode(fd_, buf, len + 1);
    if (std::strcmp(line, "EXIT") == 0) Close();
  }

  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  std::string Path() const {
    if (fixedPath_) return "c:\\zarnapi.log";
    char temp[256];
    uint32_t n = plat::GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp) return "c:\\zarnapi.log";
    std::string path(temp, n);
    if (path.back() != '\\' && path.back() != '/') path += '\\';
    return path + "zarnapi.log";
  }

  bool fixedPath_;
  int fd_ = -1;
};

ApiLogFile& TempLog() {
  static ApiLogFile log(false);
  return log;
}
ApiLogFile& FixedLog() {
  static ApiLogFile log(true);
  return log;
}

// Appends one text-mode record to a file opened and closed for the call.
void AppendOnce(const char* name, const char* text, size_t len) {
  int fd = OpenForAppend(name);
  if (fd < 0) return;
  WriteTextMode(fd, text, len);
  ::close(fd);
}

}  // namespace

int ApiTraceLevel() { return iApiTraceLevel.load(std::memory_order_relaxed); }
void SetApiTraceLevel(int level) { iApiTraceLevel.store(level, std::memory_order_relaxed); }
int ApiLogToFile() { return g_logToFile.load(); }
void SetApiLogToFile(int on) { g_logToFile.store(on); }

int32_t funcGetTickCount() { return static_cast<int32_t>(plat::GetTickCount()); }

void funcLogMessage(const char* text) {
  if (text == nullptr) return;
  char line[kLogMessageBuffer];
  std::snprintf(line, sizeof line, "%8ld -- %s", static_cast<long>(funcGetTickCount()), text);
  funcWriteApiLog(line);
}

void TraceAt(int level, const char* format, ...) {
  if (ApiTraceLevel() < level) return;
  char text[kLogMessageBuffer];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  funcLogMessage(text);
}

void funcWriteApiLog(const char* line) {
  if (line == nullptr) return;
  std::lock_guard<std::mutex> lock(SinkMutex());
  TempLog().Write(line);
}

void funcWriteApiLogFixed(const char* line) {
  if (line == nullptr) return;
  std::lock_guard<std::mutex> lock(SinkMutex());
  FixedLog().Write(line);
}

void funcWriteLocalApiLog(const char* text) {
  if (text == nullptr) return;
  char line[512];
  int n = std::snprintf(line, sizeof line, "%8ld %s\n", static_cast<long>(funcGetTickCount()), text);
  size_t len = n < 0 ? 0 : static_cast<size_t>(n);
  if (len >= sizeof line) {  // cut, keeping the line end
    len = sizeof line - 1;
    line[len - 1] = '\n';
  }
  std::lock_guard<std::mutex> lock(SinkMutex());
  AppendOnce(".\\zarnapi.log", line, len);
}

int32_t funcCalibratedDelay(int calibrate, int milliseconds) {
  int32_t loops = g_loopsPerMs.load();
  if (calibrate == 0 && loops > 0) {
    int64_t rounds = static_cast<int64_t>(milliseconds) * loops;
    for (int64_t i = 0; i < rounds; ++i) (void)funcGetTickCount();
    return funcGetTickCount();
  }
  g_loopsPerMs.store(0);
  uint32_t t0 = plat::GetTickCount();
  while (plat::GetTickCount() == t0) {
  }
  int64_t rounds = 0;
  while (!plat::TickReached(plat::GetTickCount(), t0 + 500)) ++rounds;
  int32_t perMs = static_cast<int32_t>(rounds / 500);
  g_loopsPerMs.store(perMs < 1 ? 1 : perMs);
  return perMs;
}

int funcWriteDebugDump(const void* data, int length) {
  if (data == nullptr || length <= 0) return 1;
  int fd = plat::OpenFileDescriptor("debug.dat", O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return 1;
  const char* p = static_cast<const char*>(data);
  size_t left = static_cast<size_t>(length);
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n <= 0) break;
    p += n;
    left -= static_cast<size_t>(n);
  }
  ::close(fd);
  return 1;
}

int funcWriteKRDebugStatus(char* buffer, size_t capacity, int length, int status) {
  if (buffer == nullptr || capacity == 0) return 1;
  size_t at = length < 0 ? 0 : static_cast<size_t>(length);
  if (at >= capacity) at = capacity - 1;
  std::snprintf(buffer + at, capacity - at, "B iStatus = %d  dwTime0 = %ld\n", status,
                static_cast<long>(funcGetTickCount()));
  std::lock_guard<std::mutex> lock(SinkMutex());
  AppendOnce("krodebug.dat", buffer, strnlen(buffer, capacity));
  return 1;
}

int funcGetScannerTypeCode() {
  int code = iScannerTypeCode.load();
  TraceAt(3, "ScannerType = %d", code);
  return code;
}
void SetScannerTypeCode(int code) { iScannerTypeCode.store(code); }

void ResetTraceForTests() {
  std::lock_guard<std::mutex> lock(SinkMutex());
  TempLog().Close();
  FixedLog().Close();
  iApiTraceLevel.store(2);
  g_logToFile.store(0);
  iScannerTypeCode.store(-1);
}

}  // namespace zarn
