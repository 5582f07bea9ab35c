// CQv6DllApp: the library's application object. It is built on the first call into the library: it
// clears the connection table, loads the log settings from "Qv6ExtendedSetup.ini" section "LOG" and logs
// the start line with the release text. When the library is unloaded it closes every connection still
// open (without delivering events into a caller that is going away).
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "app/connection_table.h"

namespace qv6 {

class CQv6DllApp {
 public:
  static constexpr const char* kSetupIni = "Qv6ExtendedSetup.ini";
  static constexpr const char* kLogSection = "LOG";

  CQv6DllApp();
  ~CQv6DllApp();
  CQv6DllApp(const CQv6DllApp&) = delete;
  CQv6DllApp& operator=(const CQv6DllApp&) = delete;

  bool InitInstance();
  int ExitInstance();

  ConnectionTable& connections() { return connections_; }

 private:
  ConnectionTable connections_;
};

// The application object, built on first use.
CQv6DllApp& App();

// QV6LastError: one word for the whole process.
void SetLastError(int value);
int LastError();

// The descriptor INI file and section that new connections copy (QV6SetEnv).
struct DescriptorNames {
  std::string file;
  std::string section;
};
DescriptorNames GetDescriptorNames();
void SetDescriptorNames(const char* file, const char* section);
// Fills empty names with "QV6Descriptors.ini" and "DEFAULT" and returns the names in force.
DescriptorNames DefaultDescriptorNames();

}  // namespace qv6
