// CLog: the library's one diagnostic channel. Every line goes to the debugger output, filtered by a level
// threshold: a line of level L is written when L >= threshold. Threshold 100 (the value at construction)
// shows nothing the library logs, 0 shows everything.
//
// Levels in use: 90 API trace, connect and detection; 80 events and device notices; 75 document-cycle
// traces. Lines are formatted into a buffer of the caller's own, so threads never share a text buffer,
// and formatting is skipped when the level is filtered out.
#pragma once

#include <atomic>
#include <cstdarg>

namespace qv6 {

inline constexpr unsigned kLogApi = 90;
inline constexpr unsigned kLogEvent = 80;
inline constexpr unsigned kLogDocument = 75;

class CLog {
 public:
  static constexpr unsigned kSilent = 100;
  static constexpr const char* kSettingsKey = "LOG Messages";

  constexpr CLog() = default;
  virtual ~CLog() = default;
  CLog(const CLog&) = delete;
  CLog& operator=(const CLog&) = delete;

  bool Enabled(unsigned level) const { return level >= threshold_.load(std::memory_order_relaxed); }

  // Writes a fixed text when the level is admitted.
  void Write(unsigned level, const char* text) const;
  // printf-style line, formatted only when the level is admitted. Longer lines are cut at 2047 bytes.
  void WriteFormatted(unsigned level, const char* format, ...) const __attribute__((format(printf, 3, 4)));

  unsigned threshold() const { return threshold_.load(std::memory_order_relaxed); }
  // Values above 100 become 100.
  void SetThreshold(unsigned value);

  // Logs "INI used: <file>" under the threshold still in force, then sets the threshold to
  // 100 - "LOG Messages" (default 0): a value above 100 silences the log, a negative value shows all.
  void LoadSettings(const char* iniFile, const char* section);
  // Writes "LOG Messages" = 100 - threshold.
  bool SaveSettings(const char* iniFile, const char* section) const;

 private:
  std::atomic<unsigned> threshold_{kSilent};
};

// The library's log; constant-initialised, so it is usable before any other global exists.
extern CLog g_Log;

// Writes a value in decimal as the key's text (the configuration writers' shared helper).
bool WriteProfileInt(const char* section, const char* key, int value, const char* iniFile);

}  // namespace qv6
