// Scratch folders made with mkdtemp, so concurrent test processes never share one.
#include "testkit/support/scratch_dir.h"

#include <stdlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace zc::testkit {

ScratchDir::ScratchDir(std::string_view prefix) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/";
  pattern.append(prefix);
  pattern += ".XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr)
    throw std::runtime_error("cannot create a scratch folder " + pattern);
  path_ = buffer.data();
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void ScratchDir::Write(const std::string& name, std::string_view bytes) const {
  std::ofstream(File(name), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ScratchDir::Read(const std::string& name) const {
  std::ifstream in(File(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace zc::testkit
