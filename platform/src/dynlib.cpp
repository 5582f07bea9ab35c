// Dynamic loading by Windows file name, on dlopen.
#include "platform/dynlib.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/paths.h"

namespace plat {
namespace {

thread_local std::string t_lastError;

std::mutex g_appDirMutex;
std::string g_appDir;  // empty: the program's folder

void* Handle(ModuleHandle m) {
  return static_cast<void*>(m);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Windows adds ".dll" to a name without an extension; a trailing '.' means "no extension".
std::string WithDefaultExtension(std::string_view fileName) {
  std::string name(fileName);
  const size_t lastSep = name.find_last_of("\\/");
  const size_t base = lastSep == std::string::npos ? 0 : lastSep + 1;
  if (!name.empty() && name.back() == '.') {
    name.pop_back();
  } else if (name.find('.', base) == std::string::npos) {
    name += ".dll";
  }
  return name;
}

bool HasFolderPart(std::string_view name) {
  return name.find_first_of("\\/") != std::string_view::npos || (name.size() >= 2 && name[1] == ':');
}

ModuleHandle Open(const std::string& path) {
  void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (h == nullptr) {
    const char* why = ::dlerror();
    t_lastError = why != nullptr ? why : "cannot load " + path;
  }
  return static_cast<ModuleHandle>(h);
}

}  // namespace

std::optional<std::string> FindLibraryFile(std::string_view fileName) {
  const std::string name = WithDefaultExtension(fileName);
  if (HasFolderPart(name)) {
    std::string path = ResolvePath(name);
    return IsRegularFile(path) ? std::optional<std::string>(path) : std::nullopt;
  }
  // Absolute folders, so a module's recorded path stays valid after the current directory changes.
  std::error_code ec;
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  std::vector<std::string> folders{GetApplicationDirectory(), ec ? std::string(".") : cwd.string()};
  for (Folder f : {Folder::kSystem, Folder::kWindows}) {
    if (auto folder = GetFolder(f)) folders.push_back(*folder);
  }
  for (const std::string& folder : folders) {
    std::string path = ResolvePath(folder + "/" + name);
    if (IsRegularFile(path)) return path;
  }
  return std::nullopt;
}

ModuleHandle LoadLibraryA(const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') {
    t_lastError = "no library name";
    return nullptr;
  }
  if (const std::optional<std::string> found = FindLibraryFile(fileName)) return Open(*found);
  const std::string name = WithDefaultExtension(fileName);
  if (HasFolderPart(name)) {
    t_lastError = std::string(fileName) + ": no such file";
    return nullptr;
  }
  // Last step of the search order: the loader's own path.
  return Open(name);
}

void* GetProcAddress(ModuleHandle module, const char* symbol) {
  if (module == nullptr || symbol == nullptr) {
    t_lastError = "no module or no symbol name";
    return nullptr;
  }
  ::dlerror();
  void* address = ::dlsym(Handle(module), symbol);
  if (address == nullptr) t_lastError = std::string("symbol not found: ") + symbol;
  return address;
}

bool FreeLibrary(ModuleHandle module) {
  if (module == nullptr) {
    t_lastError = "no module";
    return false;
  }
  if (::dlclose(Handle(module)) != 0) {
    const char* why = ::dlerror();
    t_lastError = why != nullptr ? why : "cannot unload";
    return false;
  }
  return true;
}

std::string LastLoadError() {
  return t_lastError;
}

void SetApplicationDirectory(std::string posixFolder) {
  std::lock_guard lock(g_appDirMutex);
  g_appDir = std::move(posixFolder);
}

std::string GetApplicationDirectory() {
  {
    std::lock_guard lock(g_appDirMutex);
    if (!g_appDir.empty()) return g_appDir;
  }
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return ".";
  const std::string path(exe, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == 0                   ? std::string("/")
         : slash == std::string::npos ? std::string(".")
                                      : path.substr(0, slash);
}

std::optional<std::string> ModulePathOf(const void* address) {
  Dl_info info{};
  link_map* map = nullptr;
  if (::dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) return std::nullopt;
  if (map != nullptr && map->l_name != nullptr && map->l_name[0] != '\0') return std::string(map->l_name);
  if (map != nullptr) {  // the main program has an empty name in the loader's list
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) return std::string(exe, static_cast<size_t>(n));
  }
  if (info.dli_fname != nullptr && info.dli_fname[0] != '\0') return std::string(info.dli_fname);
  return std::nullopt;
}

}  // namespace plat
