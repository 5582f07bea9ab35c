// A fresh scratch folder made the process's current folder and its TMPDIR for one test, as the device
// library and the API find their files there (the Windows folder is the current one, the temporary one
// TMPDIR); both are put back, and the folder removed, when the object goes away.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "testkit/support/scratch_dir.h"

namespace zc::testkit {

class WorkingFolder {
 public:
  explicit WorkingFolder(std::string_view prefix);
  ~WorkingFolder();
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

  const std::string& Path() const { return scratch_.Path(); }

 private:
  std::filesystem::path previous_;
  std::optional<std::string> previousTmp_;
  ScratchDir scratch_;
};

}  // namespace zc::testkit
