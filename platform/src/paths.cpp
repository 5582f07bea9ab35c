// Windows names to POSIX paths, case-insensitive resolution and the stand-in folders.
#include "platform/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "platform/text.h"

namespace plat {
namespace {

struct FolderState {
  std::mutex m;
  std::string driveRoot = "/";
  std::array<std::string, 3> configured;  // empty: default
  std::array<bool, 3> unavailable{};
};

FolderState& State() {
  static FolderState state;
  return state;
}

size_t Index(Folder f) {
  return static_cast<size_t>(f);
}

std::string CurrentDirectory() {
  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  return ec ? std::string(".") : cwd;
}

std::string WithoutTrailingSlash(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The entry of `folder` named `name` without regard to case; empty when there is none.
std::string FindEntryNoCase(const std::string& folder, std::string_view name) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return {};
  std::string found;
  while (const dirent* e = ::readdir(dir)) {
    if (EqualNoCase(e->d_name, name)) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

uint32_t CopyFolder(const std::optional<std::string>& folder, char* buf, uint32_t size) {
  if (!folder) return 0;
  const size_t len = folder->size();
  if (buf == nullptr || size <= len) return static_cast<uint32_t>(len + 1);
  std::memcpy(buf, folder->data(), len);
  buf[len] = '\0';
  return static_cast<uint32_t>(len);
}

}  // namespace

std::string ToPosixPath(std::string_view windowsName) {
  std::string s(windowsName);
  for (char& c : s) {
    if (c == '\\') c = '/';
  }
  if (s.size() >= 2 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':') {
    std::string rest = s.substr(2);
    size_t skip = 0;
    while (skip < rest.size() && rest[skip] == '/') ++skip;
    std::string root = WithoutTrailingSlash(GetDriveRoot());
    if (root == "/") root.clear();
    s = root + "/" + rest.substr(skip);
  }
  return s;
}

std::string ResolvePath(std::string_view windowsName) {
  const std::string posix = ToPosixPath(windowsName);
  if (posix.empty()) return posix;
  std::string out;
  size_t pos = 0;
  if (posix[0] == '/') {
    out = "/";
    pos = 1;
  }
  while (pos <= posix.size()) {
    size_t slash = posix.find('/', pos);
    if (slash == std::string::npos) slash = posix.size();
    const std::string_view comp(posix.data() + pos, slash - pos);
    std::string name(comp);
    if (!comp.empty() && comp != "." && comp != "..") {
      const std::string candidate = out + name;
      if (!Exists(candidate)) {
        const std::string found = FindEntryNoCase(out, comp);
        if (!found.empty()) name = found;
      }
    }
    out += name;
    if (slash < posix.size()) out += '/';
    pos = slash + 1;
  }
  return out;
}

void SetDriveRoot(std::string posixFolder) {
  FolderState& s = State();
  std::lock_guard lock(s.m);
  s.driveRoot = posixFolder.empty() ? std::string("/") : std::move(posixFolder);
}

std::string GetDriveRoot() {
  FolderState& s = State();
  std::lock_guard lock(s.m);
  return s.driveRoot;
}

void SetFolder(Folder folder, std::string posixFolder) {
  FolderState& s = State();
  std::lock_guard lock(s.m);
  s.configured[Index(folder)] = std::move(posixFolder);
}

void SetFolderUnavailable(Folder folder, bool unavailable) {
  FolderState& s = State();
  std::lock_guard lock(s.m);
  s.unavailable[Index(folder)] = unavailable;
}

void ResetFolders() {
  FolderState& s = State();
  std::lock_guard lock(s.m);
  s.driveRoot = "/";
  s.configured = {};
  s.unavailable = {};
}

std::optional<std::string> GetFolder(Folder folder) {
  std::string configured;
  {
    FolderState& s = State();
    std::lock_guard lock(s.m);
    if (s.unavailable[Index(folder)]) return std::nullopt;
    configured = s.configured[Index(folder)];
  }
  if (!configured.empty()) return WithoutTrailingSlash(configured);
  if (folder == Folder::kTemp) {
    const char* tmp = std::getenv("TMPDIR");
    return WithoutTrailingSlash(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
  }
  return CurrentDirectory();
}

uint32_t GetWindowsDirectoryA(char* buf, uint32_t size) {
  return CopyFolder(GetFolder(Folder::kWindows), buf, size);
}

uint32_t GetSystemDirectoryA(char* buf, uint32_t size) {
  return CopyFolder(GetFolder(Folder::kSystem), buf, size);
}

uint32_t GetTempPathA(uint32_t size, char* buf) {
  std::optional<std::string> temp = GetFolder(Folder::kTemp);
  if (temp && temp->back() != '/') *temp += '/';
  return CopyFolder(temp, buf, size);
}

std::string FullPath(std::string_view windowsName) {
  std::string path = ToPosixPath(windowsName);
  if (path.empty() || path[0] != '/') path = CurrentDirectory() + "/" + path;
  const bool trailing = path.back() == '/';
  // Normalise first, so a ".." after a folder that does not exist still lands where Windows would.
  std::string normal = WithoutTrailingSlash(std::filesystem::path(path).lexically_normal().string());
  if (trailing && normal != "/") normal += '/';
  return ResolvePath(normal);
}

std::FILE* OpenFile(std::string_view windowsName, const char* mode) {
  if (mode == nullptr) return nullptr;
  return std::fopen(ResolvePath(windowsName).c_str(), mode);
}

int OpenFileDescriptor(std::string_view windowsName, int flags, mode_t mode) {
  return ::open(ResolvePath(windowsName).c_str(), flags | O_CLOEXEC, mode);
}

bool FileExists(std::string_view windowsName) {
  struct stat st;
  return ::stat(ResolvePath(windowsName).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view windowsName) {
  struct stat st;
  return ::stat(ResolvePath(windowsName).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectory(std::string_view windowsName) {
  const std::string path = ResolvePath(windowsName);
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  return DirectoryExists(path);
}

bool DeleteFile(std::string_view windowsName) {
  return ::unlink(ResolvePath(windowsName).c_str()) == 0;
}

std::vector<std::string> FindFiles(std::string_view windowsPattern) {
  const std::string posix = ResolvePath(windowsPattern);
  const size_t slash = posix.rfind('/');
  std::string folder = slash == std::string::npos ? std::string(".") : posix.substr(0, slash + 1);
  std::string pattern = slash == std::string::npos ? posix : posix.substr(slash + 1);
  if (pattern == "*.*") pattern = "*";  // Windows: "*.*" also matches names without a dot
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    if (::fnmatch(pattern.c_str(), e->d_name, FNM_CASEFOLD) == 0) names.emplace_back(name);
  }
  ::closedir(dir);
  return names;
}

}  // namespace plat
