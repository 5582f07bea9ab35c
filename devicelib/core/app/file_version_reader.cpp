// Version record reader.
#include "app/file_version_reader.h"

#include "platform/version_info.h"

namespace qv6 {

bool FileVersionReader::Load(std::string_view fileName) {
  Clear();
  auto version = plat::ReadFileVersion(fileName);
  if (!version) return false;
  fixed_ = FixedFileInfo{version->Ms(), version->Ls()};
  return true;
}

void FileVersionReader::Clear() {
  language_ = 0;
  codePage_ = kDefaultCodePage;
  fixed_.reset();
  translations_ = 0;
}

}  // namespace qv6
