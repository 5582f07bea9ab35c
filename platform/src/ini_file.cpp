// The private-profile functions on files: name rules, a parse cache, and atomic rewrites.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>

#include "platform/file_replace.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace plat {
namespace {

// Profiles are small; a larger file is refused rather than read whole.
constexpr off_t kMaxProfileBytes = 16 * 1024 * 1024;

struct Stamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  int64_t mtimeNs = 0;
  bool operator==(const Stamp&) const = default;
};

struct CacheEntry {
  Stamp stamp;
  IniDocument doc;
};

struct ProfileCache {
  std::mutex m;  // also serialises writers, so read-modify-write is atomic within the process
  std::map<std::string, CacheEntry> entries;
};

// Never destroyed: a device's polling thread may still read its settings while the process exits.
ProfileCache& Cache() {
  static ProfileCache* const cache = new ProfileCache;
  return *cache;
}

enum class LoadResult { kLoaded, kMissing, kUnreadable };

bool StatFile(const std::string& path, Stamp* stamp) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *stamp = Stamp{st.st_dev, st.st_ino, st.st_size,
                 static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
  return true;
}

bool ReadWhole(const std::string& path, off_t expected, std::string* text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  text->clear();
  text->reserve(static_cast<size_t>(expected));
  char chunk[8192];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    if (text->size() + static_cast<size_t>(n) > static_cast<size_t>(kMaxProfileBytes)) {
      ok = false;
      break;
    }
    text->append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  return ok;
}

// Loads (or takes from the cache) the document at `path`. Caller holds the cache lock.
LoadResult LoadLocked(ProfileCache& cache, const std::string& path, const IniDocument** doc) {
  Stamp stamp;
  if (!StatFile(path, &stamp)) {
    cache.entries.erase(path);
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? LoadResult::kUnreadable : LoadResult::kMissing;
  }
  auto it = cache.entries.find(path);
  if (it != cache.entries.end() && it->second.stamp == stamp) {
    *doc = &it->second.doc;
    return LoadResult::kLoaded;
  }
  std::string text;
  if (stamp.size > kMaxProfileBytes || !ReadWhole(path, stamp.size, &text)) {
    cache.entries.erase(path);
    return LoadResult::kUnreadable;
  }
  CacheEntry& entry = cache.entries[path];
  entry.stamp = stamp;
  entry.doc = IniDocument::Parse(text);
  *doc = &entry.doc;
  return LoadResult::kLoaded;
}

// Runs `read` on the document of `fileName`, or on an empty one when the file is missing or unreadable.
template <class Fn>
auto WithDocument(const char* fileName, Fn read) {
  static const IniDocument kEmpty;
  const std::optional<std::string> path = ProfilePath(fileName);
  ProfileCache& cache = Cache();
  std::lock_guard lock(cache.m);
  const IniDocument* doc = &kEmpty;
  if (path) LoadLocked(cache, *path, &doc);
  return read(*doc);
}

// The NUL-separated list form shared by the section, key-name and section-name readers: each item
// NUL-terminated, then one more NUL. A list cut to the buffer ends in two NULs and returns size - 2.
uint32_t FillList(const std::vector<std::string>& items, char* buf, uint32_t size) {
  if (buf == nullptr || size == 0) return 0;
  if (size == 1) {
    buf[0] = '\0';
    return 0;
  }
  size_t pos = 0;
  for (const std::string& item : items) {
    if (pos + item.size() + 1 > size - 1) {
      const size_t room = size - 2 - pos;
      std::memcpy(buf + pos, item.data(), std::min(room, item.size()));
      buf[size - 2] = '\0';
      buf[size - 1] = '\0';
      return size - 2;
    }
    std::memcpy(buf + pos, item.data(), item.size());
    pos += item.size();
    buf[pos++] = '\0';
  }
  buf[pos] = '\0';
  if (items.empty() && size > 1) buf[1] = '\0';
  return static_cast<uint32_t>(pos);
}

uint32_t CopyCut(std::string_view text, char* buf, uint32_t size) {
  const size_t n = std::min<size_t>(text.size(), size - 1);
  std::memcpy(buf, text.data(), n);
  buf[n] = '\0';
  return static_cast<uint32_t>(n);
}

}  // namespace

std::optional<std::string> ProfilePath(const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') return std::nullopt;
  const std::string_view name(fileName);
  const bool hasFolder =
      name.find_first_of("\\/") != std::string_view::npos || (name.size() >= 2 && name[1] == ':');
  if (hasFolder) return ResolvePath(name);
  const std::optional<std::string> windows = GetFolder(Folder::kWindows);
  if (!windows) return std::nullopt;
  return ResolvePath(*windows + "/" + std::string(name));
}

bool EditProfile(const char* fileName, const std::function<void(IniDocument&)>& edit) {
  const std::optional<std::string> path = ProfilePath(fileName);
  if (!path) return false;
  ProfileCache& cache = Cache();
  std::lock_guard lock(cache.m);
  const IniDocument* current = nullptr;
  IniDocument doc;
  mode_t mode = 0644;
  switch (LoadLocked(cache, *path, &current)) {
    case LoadResult::kLoaded: {
      doc = *current;
      struct stat st;
      if (::stat(path->c_str(), &st) == 0) mode = st.st_mode & 07777;
      break;
    }
    case LoadResult::kMissing:
      break;
    case LoadResult::kUnreadable:
      return false;  // never replace a file that could not be read
  }
  const std::string before = doc.Serialize();
  edit(doc);
  std::string after = doc.Serialize();
  if (after == before && (current != nullptr || after.empty())) return true;  // nothing to write
  if (!ReplaceFileContents(*path, after.data(), after.size(), mode)) return false;
  Stamp stamp;
  if (StatFile(*path, &stamp)) {
    cache.entries[*path] = CacheEntry{stamp, std::move(doc)};
  } else {
    cache.entries.erase(*path);
  }
  return true;
}

uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buf,
                                  uint32_t size, const char* fileName) {
  if (buf == nullptr || size == 0) return 0;
  if (section == nullptr) {
    const auto names = WithDocument(fileName, [](const IniDocument& d) { return d.SectionNames(); });
    return FillList(names, buf, size);
  }
  if (key == nullptr) {
    const auto keys = WithDocument(fileName, [section](const IniDocument& d) { return d.KeyNames(section); });
    return FillList(keys, buf, size);
  }
  const std::optional<std::string> value =
      WithDocument(fileName, [section, key](const IniDocument& d) { return d.Get(section, key); });
  if (value) return CopyCut(*value, buf, size);
  return CopyCut(defaultValue != nullptr ? defaultValue : "", buf, size);
}

int32_t GetPrivateProfileIntA(const char* section, const char* key, int32_t defaultValue,
                              const char* fileName) {
  if (section == nullptr || key == nullptr) return defaultValue;
  return ReadProfileInt(section, key, defaultValue, fileName);
}

uint32_t GetPrivateProfileSectionA(const char* section, char* buf, uint32_t size, const char* fileName) {
  if (buf == nullptr || size == 0) return 0;
  std::vector<std::string> lines;
  if (section != nullptr) {
    lines = WithDocument(fileName, [section](const IniDocument& d) { return d.SectionLines(section); });
  }
  return FillList(lines, buf, size);
}

bool WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* fileName) {
  if (section == nullptr) {
    if (key == nullptr && value == nullptr) {  // the Windows "flush the cache" call
      ProfileCache& cache = Cache();
      std::lock_guard lock(cache.m);
      cache.entries.clear();
      return true;
    }
    return false;
  }
  return EditProfile(fileName, [&](IniDocument& doc) {
    if (key == nullptr) {
      doc.DeleteSection(section);
    } else if (value == nullptr) {
      doc.DeleteKey(section, key);
    } else {
      doc.Set(section, key, value);
    }
  });
}

std::string ReadProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                              const char* fileName) {
  const std::optional<std::string> value =
      WithDocument(fileName, [&](const IniDocument& d) { return d.Get(section, key); });
  return value ? *value : std::string(defaultValue);
}

int32_t ReadProfileInt(std::string_view section, std::string_view key, int32_t defaultValue,
                       const char* fileName) {
  const std::optional<std::string> value =
      WithDocument(fileName, [&](const IniDocument& d) { return d.Get(section, key); });
  if (!value || value->empty()) return defaultValue;
  return ParseProfileInt(*value);
}

bool WriteProfileString(std::string_view section, std::string_view key, std::optional<std::string_view> value,
                        const char* fileName) {
  return EditProfile(fileName, [&](IniDocument& doc) {
    if (value) {
      doc.Set(section, key, *value);
    } else {
      doc.DeleteKey(section, key);
    }
  });
}

}  // namespace plat
