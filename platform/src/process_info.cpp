#include "platform/process_info.h"

#include <link.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>

namespace plat {
namespace {

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ProgramPath() {
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  return n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string();
}

}  // namespace

std::vector<ProcessModule> ListProcessModules() {
  std::vector<ProcessModule> modules;
  const std::string program = ProgramPath();
  modules.push_back({program, FileNameOf(program), true});
  ::dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        // The program itself has an empty name; the kernel's vDSO has no file behind it.
        if (info->dlpi_name == nullptr || info->dlpi_name[0] != '/') return 0;
        auto* list = static_cast<std::vector<ProcessModule>*>(data);
        const std::string path = info->dlpi_name;
        list->push_back({path, FileNameOf(path), false});
        return 0;
      },
      &modules);
  return modules;
}

std::string GetComputerNameA() {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') return "LOCALHOST";
  std::string name;
  for (const char* c = host; *c != '\0' && *c != '.' && name.size() < 15; ++c)
    name += static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
  return name;
}

std::string FormatLongDateTime(const std::tm& time) {
  static constexpr const char* kDays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                           "Thursday", "Friday", "Saturday"};
  static constexpr const char* kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                              "July",    "August",   "September", "October", "November", "December"};
  const int day = time.tm_wday >= 0 && time.tm_wday < 7 ? time.tm_wday : 0;
  const int month = time.tm_mon >= 0 && time.tm_mon < 12 ? time.tm_mon : 0;
  char text[96];
  std::snprintf(text, sizeof text, "%s, %s %d, %d, %d:%02d:%02d", kDays[day], kMonths[month], time.tm_mday,
                time.tm_year + 1900, time.tm_hour, time.tm_min, time.tm_sec);
  return text;
}

}  // namespace plat
