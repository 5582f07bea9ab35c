// A scratch folder for one test or benchmark, created fresh under TMPDIR (or /tmp) and removed with
// everything in it when the object goes away.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zc::testkit {

class ScratchDir {
 public:
  // `prefix` names the folder ("<prefix>.XXXXXX") so a leftover one shows which suite made it.
  // Throws std::runtime_error when no folder can be created.
  explicit ScratchDir(std::string_view prefix = "zc");
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return path_; }
  // The path of `name` inside the folder; `name` may hold sub-folders.
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  std::string operator/(const std::string& name) const { return File(name); }

  // Whole-file text helpers; Write creates no sub-folders.
  void Write(const std::string& name, std::string_view bytes) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const { return std::filesystem::exists(File(name)); }

 private:
  std::string path_;
};

}  // namespace zc::testkit
