#include "testkit/support/working_folder.h"

#include <stdlib.h>

#include <cstdlib>
#include <system_error>

namespace zc::testkit {

WorkingFolder::WorkingFolder(std::string_view prefix)
    : previous_(std::filesystem::current_path()), scratch_(prefix) {
  if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr) previousTmp_ = tmp;
  std::filesystem::current_path(scratch_.Path());
  ::setenv("TMPDIR", scratch_.Path().c_str(), 1);
}

WorkingFolder::~WorkingFolder() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  if (previousTmp_) {
    ::setenv("TMPDIR", previousTmp_->c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
}

}  // namespace zc::testkit
