// The magnetic decoder's debug outputs, switched by bits of parameter 117 and read at each use: bit 4
// the test and result logs, bit 8 the raw dump and (once a character was read with less than full
// confidence) the temp log. Each log line opens its file for appending and closes it again; a file that
// cannot be opened is skipped.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace analysis {
class Services;
}

namespace analysis::micr {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

class MicrLogs {
 public:
  static constexpr int32_t kVerifyLogParam = 117;
  static constexpr int32_t kTextLogBit = 4;
  static constexpr int32_t kDumpBit = 8;

  explicit MicrLogs(Services& services) : services_(services) {}

  bool TextLogsOn() const;
  bool TempLogOn() const;

  void funcMicrTestLog(std::string_view text) const;
  void funcMicrResultLog(std::string_view text) const;
  void funcMicrTempLog(std::string_view text) const;
  // Writes the analysed signal to "micr1NNN.raw" (NNN from the dump counter), replacing an older dump.
  void RawDump(std::span<const uint16_t> words) const;

  int32_t documentCounter = 0;  // names the text logs; counts finished decodes
  int32_t dumpCounter = 0;      // names the raw dump; counts analyses
  bool tempFlag = false;        // some character so far was read with less than full confidence

 private:
  int32_t Param() const;
  void Append(const std::string& windowsName, std::string_view text) const;

  Services& services_;
};

}  // namespace analysis::micr
