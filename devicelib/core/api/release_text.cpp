// Release text from the module's version record.
#include "api/release_text.h"

#include <cstdio>
#include <mutex>

#include "app/log.h"
#include "platform/version_info.h"

namespace qv6 {

const char* ReleaseText() {
  static char text[80];
  static std::once_flag once;
  g_Log.Write(kLogApi, "QV6GetDllRelease\n");
  // The module's record cannot change while it is loaded, so it is read once.
  std::call_once(once, [] {
    std::snprintf(text, sizeof text, "Rev. 0.0.0.0");
    if (auto v = plat::ReadModuleVersion(reinterpret_cast<const void*>(&ReleaseText))) {
      std::snprintf(text, sizeof text, "Rev. %d.%d.%d.%d", v->major, v->minor, v->build, v->revision);
    }
  });
  return text;
}

}  // namespace qv6
