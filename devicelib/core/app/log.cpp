// Debug log of the library.
#include "app/log.h"

#include <cstdio>

#include "platform/debug_output.h"
#include "platform/ini.h"

namespace qv6 {

constinit CLog g_Log;

void CLog::Write(unsigned level, const char* text) const {
  if (text != nullptr && Enabled(level)) plat::OutputDebugStringA(text);
}

void CLog::WriteFormatted(unsigned level, const char* format, ...) const {
  if (!Enabled(level) || format == nullptr) return;
  char line[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  plat::OutputDebugStringA(line);
}

void CLog::SetThreshold(unsigned value) {
  threshold_.store(value > kSilent ? kSilent : value, std::memory_order_relaxed);
}

void CLog::LoadSettings(const char* iniFile, const char* section) {
  WriteFormatted(kLogApi, "INI used: %s\n", iniFile != nullptr ? iniFile : "<NULL>");
  int32_t value = plat::GetPrivateProfileIntA(section, kSettingsKey, 0, iniFile);
  if (value > static_cast<int32_t>(kSilent)) {
    SetThreshold(kSilent);
  } else if (value < 0) {
    SetThreshold(0);
  } else {
    SetThreshold(kSilent - static_cast<unsigned>(value));
  }
}

bool CLog::SaveSettings(const char* iniFile, const char* section) const {
  return WriteProfileInt(section, kSettingsKey, static_cast<int>(kSilent - threshold()), iniFile);
}

bool WriteProfileInt(const char* section, const char* key, int value, const char* iniFile) {
  char text[20];
  std::snprintf(text, sizeof text, "%d", value);
  return plat::WritePrivateProfileStringA(section, key, text, iniFile);
}

}  // namespace qv6
