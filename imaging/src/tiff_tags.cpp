#include "imaging/tiff_tags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "imaging/image_files.h"
#include "imaging/memory_target.h"
#include "imaging/tiff_read.h"
#include "imaging_trace.h"
#include "platform/paths.h"
#include "tiff_file.h"

namespace zc::imaging {
namespace {

using tiff::Fd;
using tiff::SameFile;
using tiff::FileSize;
using tiff::ReadAt;
using tiff::TypeSize;
using tiff::WriteAt;

constexpr size_t kDirectoryBuffer = 2048;
constexpr size_t kCopyBlock = 2048;
constexpr int kReadMinEntries = 4, kReadMaxEntries = 64;
constexpr int kLoadMinEntries = 5, kLoadMaxEntries = 29;
constexpr uint16_t kStripOffsets = 273, kStripByteCounts = 279, kTileWidth = 322;

// One table entry; values and data in little-endian form.
struct TagEntry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint32_t value = 0;          // the data when they take at most 4 bytes, else their offset
  std::vector<uint8_t> data;   // the data when they take more
};

struct TiffTagTable {
  std::vector<TagEntry> entries;
  std::string source;
  int page = 0;
};

struct State {
  std::mutex mutex;
  TiffTagTable table;
  int lastType = 0;
  uint32_t lastCount = 0;
  // The last successful join: the first file's name, the directory it appended, the file's size after.
  std::string joinedName;
  uint32_t joinedDirectory = 0;
  int64_t joinedSize = -1;
};

State& S() {
  static State s;
  return s;
}

uint64_t DataSize(int type, uint32_t count) {
  return static_cast<uint64_t>(TypeSize(type)) * count;
}

// Turns the items of `bytes` (of field type `type`) from order `from` into order `to`.
void Reorder(int type, uint8_t* bytes, size_t size, uint16_t from, uint16_t to) {
  if (from == to) return;
  const size_t item = type == 3 ? 2 : (type == 4 || type == 5) ? 4 : 1;
  if (item == 1) return;
  for (size_t i = 0; i + item <= size; i += item) std::reverse(bytes + i, bytes + i + item);
}

uint32_t PackLe(const uint8_t* b) {
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}
void PutLe(uint8_t* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(uint8_t* b, uint32_t v, uint16_t order) {
  const uint8_t lo = static_cast<uint8_t>(v), hi = static_cast<uint8_t>(v >> 8);
  b[0] = order == kTiffBigEndian ? hi : lo;
  b[1] = order == kTiffBigEndian ? lo : hi;
}
void Put32(uint8_t* b, uint32_t v, uint16_t order) {
  for (int i = 0; i < 4; ++i) b[order == kTiffBigEndian ? 3 - i : i] = static_cast<uint8_t>(v >> (8 * i));
}

// The value field of an entry of a file in `order`, as the table holds it (little-endian data of up to
// 4 bytes, else the offset).
uint32_t FieldValue(const uint8_t* field, int type, uint32_t count, uint16_t order) {
  const uint64_t size = DataSize(type, count);
  if (size > 4) return funcTiffGet32(field, order);
  uint8_t b[4] = {};
  std::memcpy(b, field, static_cast<size_t>(size));
  Reorder(type, b, static_cast<size_t>(size), order, kTiffLittleEndian);
  return PackLe(b);
}

// The table's value as an entry's value field in `order`.
void PutFieldValue(uint8_t* field, const TagEntry& e, uint32_t offset, uint16_t order) {
  if (DataSize(e.type, e.count) > 4) {
    Put32(field, offset, order);
    return;
  }
  PutLe(field, e.value);
  Reorder(e.type, field, static_cast<size_t>(DataSize(e.type, e.count)), kTiffLittleEndian, order);
}

// Opens a file by Windows or POSIX name.
int Open(const char* name, int flags) {
  return name == nullptr ? -1 : plat::OpenFileDescriptor(name, flags | O_CLOEXEC);
}

// Reads the header and walks to `page`; 0, 3 (not TIFF) or 4 (bad directory).
int OpenPage(int file, int page, int minEntries, int maxEntries, uint16_t* order, tiff::Directory* d) {
  uint8_t header[8];
  *order = tiff::HeaderOrder(header, ReadAt(file, 0, header, sizeof header));
  if (*order == 0) return 3;
  return tiff::FindPage(file, *order, page, minEntries, maxEntries, kDirectoryBuffer, d) ? 0 : 4;
}

int LoadTable(State& s, int file, int page, bool littleEndianOnly, const std::string& source) {
  s.table = {};
  uint16_t order = 0;
  tiff::Directory d;
  const int r = OpenPage(file, page, kReadMinEntries, kReadMaxEntries, &order, &d);
  if (r == 3 || (r == 0 && littleEndianOnly && order != kTiffLittleEndian)) return 3;
  if (r != 0) return r;
  if (d.count < kLoadMinEntries || d.count > kLoadMaxEntries) return 5;
  const int64_t fileSize = FileSize(file);
  TiffTagTable t;
  for (int i = 0; i < d.count; ++i) {
    const uint8_t* e = d.Entry(i);
    TagEntry entry;
    entry.tag = funcTiffGet16(e, order);
    entry.type = funcTiffGet16(e + 2, order);
    entry.count = funcTiffGet32(e + 4, order);
    if (TypeSize(entry.type) == 0) return 6;
    if (entry.tag == kTileWidth || (entry.tag == kStripOffsets && entry.count != 1)) return 9;
    entry.value = FieldValue(e + 8, entry.type, entry.count, order);
    const uint64_t size = DataSize(entry.type, entry.count);
    if (size > 4) {
      if (static_cast<int64_t>(entry.value) + static_cast<int64_t>(size) > fileSize) return 8;
      try {
        entry.data.resize(static_cast<size_t>(size));
      } catch (const std::bad_alloc&) {
        return 7;
      }
      if (ReadAt(file, entry.value, entry.data.data(), entry.data.size()) != entry.data.size()) return 8;
      Reorder(entry.type, entry.data.data(), entry.data.size(), order, kTiffLittleEndian);
    }
    t.entries.push_back(std::move(entry));
  }
  t.source = source;
  t.page = page;
  s.table = std::move(t);
  return 0;
}

// The entry's new data as the table keeps them; false when data over 4 bytes come without a pointer.
bool FillData(TagEntry& e, uint32_t value, const void* data) {
  const uint64_t size = DataSize(e.type, e.count);
  e.data.clear();
  e.value = value;
  if (size <= 4) return true;
  if (data == nullptr) return false;
  try {
    e.data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  } catch (const std::bad_alloc&) {
    // The entry stays, without data.
  }
  return true;
}

std::vector<TagEntry>::iterator Find(TiffTagTable& t, int tag) {
  return std::find_if(t.entries.begin(), t.entries.end(), [tag](const TagEntry& e) { return e.tag == tag; });
}

int AddTag(TiffTagTable& t, int tag, int type, uint32_t count, uint32_t value, const void* data) {
  if (t.entries.empty()) return 1;
  if (static_cast<int>(t.entries.size()) >= kMaxTiffTags) return 2;
  if (Find(t, tag) != t.entries.end()) return 3;
  if (TypeSize(type) == 0) return 4;
  TagEntry e{static_cast<uint16_t>(tag), static_cast<uint16_t>(type), count, 0, {}};
  if (!FillData(e, value, data)) return 5;
  const auto at = std::find_if(t.entries.begin(), t.entries.end(), [tag](const TagEntry& x) { return x.tag >= tag; });
  t.entries.insert(at, std::move(e));
  return 0;
}

int SetTag(TiffTagTable& t, int tag, int type, uint32_t count, uint32_t value, const void* data) {
  if (t.entries.empty()) return 1;
  const auto it = Find(t, tag);
  if (it == t.entries.end()) return 2;
  if (TypeSize(type) == 0) return 4;
  TagEntry e{static_cast<uint16_t>(tag), static_cast<uint16_t>(type), count, 0, {}};
  if (!FillData(e, value, data)) return 5;
  *it = std::move(e);
  return 0;
}

int SetOrAdd(TiffTagTable& t, int tag, int type, uint32_t count, uint32_t value, const void* data = nullptr) {
  const int r = SetTag(t, tag, type, count, value, data);
  return r == 2 ? AddTag(t, tag, type, count, value, data) : r;
}

// The directory of the table in `order` starting at file offset 8, out-of-line data placed from
// `dataOffset` on (or, for data that do not fit below `dataLimit`, from `overflowOffset` on); the blocks
// to write at their offsets come back in `blocks`.
std::vector<uint8_t> BuildDirectory(const TiffTagTable& t, uint16_t order, uint32_t dataOffset,
                                    uint32_t dataLimit, uint32_t overflowOffset, uint32_t stripOffset,
                                    std::vector<std::pair<uint32_t, std::vector<uint8_t>>>* blocks) {
  const size_t n = t.entries.size();
  std::vector<uint8_t> dir(2 + 12 * n + 4, 0);
  Put16(dir.data(), static_cast<uint32_t>(n), order);
  for (size_t i = 0; i < n; ++i) {
    const TagEntry& e = t.entries[i];
    uint8_t* f = dir.data() + 2 + 12 * i;
    Put16(f, e.tag, order);
    Put16(f + 2, e.type, order);
    Put32(f + 4, e.count, order);
    uint32_t offset = 0;
    if (DataSize(e.type, e.count) > 4) {
      std::vector<uint8_t> data = e.data;
      data.resize(static_cast<size_t>(DataSize(e.type, e.count)), 0);
      Reorder(e.type, data.data(), data.size(), kTiffLittleEndian, order);
      const uint32_t size = static_cast<uint32_t>(data.size());
      if (dataLimit == 0 || dataOffset + size <= dataLimit) {
        offset = dataOffset;
        dataOffset += size;
      } else {
        offset = overflowOffset;
        overflowOffset += size;
      }
      blocks->emplace_back(offset, std::move(data));
    }
    if (e.tag == kStripOffsets) {
      Put32(f + 8, stripOffset, order);
    } else {
      PutFieldValue(f + 8, e, offset, order);
    }
  }
  return dir;
}

// Copies `from`'s bytes [begin, end) to `to` at `at`; false on a read or write error.
bool CopyRange(int from, int64_t begin, int64_t end, int to, int64_t at) {
  std::vector<uint8_t> block(kCopyBlock);
  for (int64_t p = begin; p < end;) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(end - p, static_cast<int64_t>(block.size())));
    const size_t got = ReadAt(from, p, block.data(), want);
    if (got == 0) return false;
    if (!WriteAt(to, at + (p - begin), block.data(), got)) return false;
    p += static_cast<int64_t>(got);
  }
  return true;
}

int WriteTable(const char* targetName, uint16_t order) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  TiffTagTable& t = s.table;
  if (t.entries.empty()) return 1;
  Fd source(Open(t.source.c_str(), O_RDONLY));
  if (source.fd < 0) return 2;
  codec::ImageView view{};
  if (funcReadTIFFInfo(source.fd, &view, t.page) != 0) return 3;
  const std::string target = targetName != nullptr ? plat::ResolvePath(targetName) : std::string();
  // Writing over the source itself goes through a temporary file, so the strip is read before it is gone.
  Fd probe(target.empty() ? -1 : ::open(target.c_str(), O_RDONLY | O_CLOEXEC));
  const bool overSource = probe.fd >= 0 && SameFile(probe.fd, source.fd);
  const std::string written = overSource ? target + ".tmp" : target;
  Fd out(target.empty() ? -1 : ::open(written.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (out.fd < 0) return 4;

  const uint32_t dirEnd = static_cast<uint32_t>(12 * t.entries.size() + 14);
  uint32_t dataEnd = dirEnd;
  for (const TagEntry& e : t.entries) {
    const uint64_t size = DataSize(e.type, e.count);
    if (size > 4) dataEnd += static_cast<uint32_t>(size);
  }
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> blocks;
  std::vector<uint8_t> head(8);
  head[0] = head[1] = order == kTiffBigEndian ? 'M' : 'I';
  Put16(head.data() + 2, 42, order);
  Put32(head.data() + 4, 8, order);
  const std::vector<uint8_t> dir = BuildDirectory(t, order, dirEnd, 0, 0, dataEnd, &blocks);
  head.insert(head.end(), dir.begin(), dir.end());
  bool ok = WriteAt(out.fd, 0, head.data(), head.size());
  for (const auto& [offset, data] : blocks) ok = ok && WriteAt(out.fd, offset, data.data(), data.size());
  ok = ok && CopyRange(source.fd, static_cast<int64_t>(view.stripOffset), FileSize(source.fd), out.fd, dataEnd);
  if (!ok) {
    if (overSource) ::unlink(written.c_str());
    return 6;
  }
  if (overSource && ::rename(written.c_str(), target.c_str()) != 0) {
    ::unlink(written.c_str());
    return 6;
  }
  t = {};
  return 0;
}

}  // namespace

int funcReadTIFFTag(const char* fileName, int page, int tag, void* buffer, int length) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.lastType = 0;
  s.lastCount = 0;
  Fd file(Open(fileName, O_RDONLY));
  if (file.fd < 0) return 1;
  uint16_t order = 0;
  tiff::Directory d;
  if (const int r = OpenPage(file.fd, page, kReadMinEntries, kReadMaxEntries, &order, &d); r != 0) return r;
  const uint8_t* e = nullptr;
  for (int i = 0; i < d.count && e == nullptr; ++i)
    if (funcTiffGet16(d.Entry(i), order) == tag) e = d.Entry(i);
  if (e == nullptr) return 5;
  const int type = funcTiffGet16(e + 2, order);
  uint32_t count = funcTiffGet32(e + 4, order);
  s.lastType = type;
  s.lastCount = count;
  if (TypeSize(type) == 0) return 6;
  if (buffer == nullptr || length < 16) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  const size_t room = static_cast<size_t>(length);
  const size_t item = TypeSize(type);
  count = static_cast<uint32_t>(std::min<uint64_t>(count, room / item));
  const size_t size = static_cast<size_t>(count) * item;
  if (size <= 4) {
    std::memcpy(out, e + 8, size);
  } else if (ReadAt(file.fd, funcTiffGet32(e + 8, order), out, size) != size) {
    return 4;
  }
  // Numbers into host order (little-endian here); texts end with a 0 where there is room.
  Reorder(type, out, size, order, kTiffLittleEndian);
  if ((type == 1 || type == 2) && size < room) out[size] = 0;
  return 0;
}

int funcGetLastTagType() {
  std::lock_guard lock(S().mutex);
  return S().lastType;
}

int funcGetLastTagCount() {
  std::lock_guard lock(S().mutex);
  return static_cast<int>(S().lastCount);
}

int funcListTIFFTags(const char* fileName, int page, int* count, uint16_t* list, int listBytes) {
  if (count != nullptr) *count = 0;
  Fd file(Open(fileName, O_RDONLY));
  if (file.fd < 0) return 1;
  uint16_t order = 0;
  tiff::Directory d;
  if (const int r = OpenPage(file.fd, page, kReadMinEntries, kReadMaxEntries, &order, &d); r != 0) return r;
  const int room = list != nullptr && listBytes > 0 ? listBytes / 2 : 0;
  const int n = std::min(d.count, room);
  for (int i = 0; i < n; ++i) list[i] = funcTiffGet16(d.Entry(i), order);
  if (count != nullptr) *count = n;
  return 0;
}

int funcLoadTIFFTags(const char* fileName, int page) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.table = {};
  Fd file(Open(fileName, O_RDONLY));
  if (file.fd < 0) return 1;
  return LoadTable(s, file.fd, page, true, fileName);
}

int funcLoadTIFFTagsFromHandle(int file, int page) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.table = {};
  if (file < 0) return 1;
  return LoadTable(s, file, page, false, "OldHead.Tst");
}

int funcAddTIFFTag(int tag, int type, uint32_t count, uint32_t value, const void* data) {
  std::lock_guard lock(S().mutex);
  return AddTag(S().table, tag, type, count, value, data);
}

int funcSetTIFFTag(int tag, int type, uint32_t count, uint32_t value, const void* data) {
  std::lock_guard lock(S().mutex);
  return SetTag(S().table, tag, type, count, value, data);
}

int funcDeleteTIFFTag(int tag) {
  std::lock_guard lock(S().mutex);
  TiffTagTable& t = S().table;
  if (t.entries.empty()) return 1;
  const auto it = Find(t, tag);
  if (it == t.entries.end()) return 2;
  t.entries.erase(it);
  return 0;
}

int funcTIFFTableTags(uint16_t* tags, int capacity) {
  std::lock_guard lock(S().mutex);
  const TiffTagTable& t = S().table;
  const int n = std::min(static_cast<int>(t.entries.size()), std::max(capacity, 0));
  for (int i = 0; i < n; ++i) tags[i] = t.entries[static_cast<size_t>(i)].tag;
  return n;
}

int funcWriteTIFFTags(const char* targetName) {
  return WriteTable(targetName, kTiffLittleEndian);
}

int funcWriteTIFFTagsMM(const char* targetName) {
  return WriteTable(targetName, kTiffBigEndian);
}

int funcSetCroppedTIFFTags(const codec::ImageView& oldView, const codec::ImageView& newView, int newFile) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  TiffTagTable& t = s.table;
  const uint32_t stripSize = newView.stripByteCount;
  const uint32_t compression = newView.decoderMode == 0 ? 3 : 4;
  if (SetOrAdd(t, 256, 3, 1, static_cast<uint32_t>(newView.width)) != 0 ||
      SetOrAdd(t, 257, 3, 1, static_cast<uint32_t>(newView.length)) != 0 || SetOrAdd(t, 259, 3, 1, compression) != 0 ||
      SetOrAdd(t, 266, 3, 1, 1) != 0 || SetOrAdd(t, kStripOffsets, 4, 1, 256) != 0 ||
      SetOrAdd(t, kStripByteCounts, 4, 1, stripSize) != 0) {
    return 1;
  }
  const auto rational = [&](int tag, int32_t res, int32_t old) {
    if (res == old) return 0;
    uint8_t data[8];
    PutLe(data, static_cast<uint32_t>(res));
    PutLe(data + 4, 1);
    return SetOrAdd(t, tag, 5, 1, 0, data);
  };
  if (rational(282, newView.imageResX, oldView.imageResX) != 0 || rational(283, newView.imageResY, oldView.imageResY) != 0)
    return 1;
  static constexpr uint16_t kDroppable[] = {337, 333, 321, 320, 316, 315, 306, 305, 293,
                                            292, 285, 272, 271, 270, 269, 265, 264, 263};
  while (t.entries.size() >= 21) {
    const auto drop = std::find_if(std::begin(kDroppable), std::end(kDroppable),
                                   [&](uint16_t tag) { return Find(t, tag) != t.entries.end(); });
    if (drop == std::end(kDroppable)) return 8;
    t.entries.erase(Find(t, *drop));
  }
  constexpr uint32_t kHeader = 256;
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> blocks;
  const uint32_t dirEnd = static_cast<uint32_t>(8 + 12 * t.entries.size() + 6);
  std::vector<uint8_t> head(kHeader, 0);
  head[0] = head[1] = 'I';
  Put16(head.data() + 2, 42, kTiffLittleEndian);
  Put32(head.data() + 4, 8, kTiffLittleEndian);
  const std::vector<uint8_t> dir = BuildDirectory(t, kTiffLittleEndian, dirEnd, kHeader, kHeader + stripSize, kHeader, &blocks);
  std::copy(dir.begin(), dir.end(), head.begin() + 8);
  for (auto& [offset, data] : blocks) {
    if (offset + data.size() <= kHeader) {
      std::copy(data.begin(), data.end(), head.begin() + offset);
    } else if (!WriteAt(newFile, offset, data.data(), data.size())) {
      return 6;
    }
  }
  if (!WriteAt(newFile, 0, head.data(), head.size())) return 6;
  t = {};
  return 0;
}

int funcSwapTIFFByteOrder(const char* fileName) {
  Fd file(Open(fileName, O_RDWR));
  if (file.fd < 0) return 1;
  uint8_t header[8];
  const uint16_t from = tiff::HeaderOrder(header, ReadAt(file.fd, 0, header, sizeof header));
  if (from == 0) return 3;
  const uint16_t to = from == kTiffLittleEndian ? kTiffBigEndian : kTiffLittleEndian;
  std::set<uint32_t> visited, convertedData;
  uint32_t offset = funcTiffGet32(header + 4, from);
  // The header last: until then a failure leaves a file whose header matches most of it.
  const uint32_t first = offset;
  tiff::Directory d;
  while (offset != 0 && visited.insert(offset).second) {
    if (!tiff::ReadDirectory(file.fd, offset, from, 4, 128, 8192, &d)) return 4;
    std::vector<uint8_t> out(2 + 12 * static_cast<size_t>(d.count) + 4);
    Put16(out.data(), static_cast<uint32_t>(d.count), to);
    for (int i = 0; i < d.count; ++i) {
      const uint8_t* e = d.Entry(i);
      uint8_t* f = out.data() + 2 + 12 * i;
      const uint16_t type = funcTiffGet16(e + 2, from);
      const uint32_t count = funcTiffGet32(e + 4, from);
      Put16(f, funcTiffGet16(e, from), to);
      Put16(f + 2, type, to);
      Put32(f + 4, count, to);
      std::memcpy(f + 8, e + 8, 4);
      const uint64_t size = DataSize(type, count);
      if (type == 1 || type == 2) {
        if (size > 4) Put32(f + 8, funcTiffGet32(e + 8, from), to);
      } else if (type == 3 && count <= 2) {
        Reorder(3, f + 8, 4, from, to);
      } else {
        Put32(f + 8, funcTiffGet32(e + 8, from), to);
      }
      if ((type == 3 || type == 4 || type == 5) && size > 4) {
        const uint32_t at = funcTiffGet32(e + 8, from);
        if (!convertedData.insert(at).second) continue;  // data two entries share turn once
        std::vector<uint8_t> data(8192);
        for (uint64_t done = 0; done < size;) {
          const size_t n = static_cast<size_t>(std::min<uint64_t>(size - done, data.size()));
          if (ReadAt(file.fd, at + static_cast<int64_t>(done), data.data(), n) != n) return 4;
          Reorder(type, data.data(), n, from, to);
          if (!WriteAt(file.fd, at + static_cast<int64_t>(done), data.data(), n)) return 5;
          done += n;
        }
      }
    }
    const uint32_t next = d.hasNext ? d.next : 0;
    Put32(out.data() + 2 + 12 * static_cast<size_t>(d.count), next, to);
    if (!WriteAt(file.fd, offset, out.data(), out.size())) return 5;
    offset = next;
  }
  header[0] = header[1] = to == kTiffBigEndian ? 'M' : 'I';
  Put16(header + 2, 42, to);
  Put32(header + 4, first, to);
  return WriteAt(file.fd, 0, header, sizeof header) ? 0 : 5;
}

int64_t funcGetMemImageSize(const uint8_t* p, size_t size) {
  if (p == nullptr) return -1;
  const auto within = [size](uint64_t end) { return size == 0 || end <= size; };
  if (!within(8)) return -1;
  if (p[0] == 0xFF && p[1] == 0xD8) {
    for (size_t i = 4; within(i + 2); ++i)
      if (p[i] == 0xFF && p[i + 1] == 0xD9) return static_cast<int64_t>(i + 2);
    return -1;
  }
  if (p[0] == 'B' && p[1] == 'M') return PackLe(p + 2);
  const uint16_t order = tiff::HeaderOrder(p, 8);
  if (order == 0) return -1;
  const uint32_t ifd = funcTiffGet32(p + 4, order);
  if (!within(uint64_t{ifd} + 2)) return -1;
  const uint16_t count = funcTiffGet16(p + ifd, order);
  if (count < 4 || count > 20) return -1;
  uint64_t end = uint64_t{ifd} + 2 + 12 * uint64_t{count} + 4;
  if (!within(end)) return -1;
  int64_t stripOffset = -1, stripBytes = -1;
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = p + ifd + 2 + 12 * i;
    const uint16_t tag = funcTiffGet16(e, order);
    const uint16_t type = funcTiffGet16(e + 2, order);
    const uint32_t n = funcTiffGet32(e + 4, order);
    const uint64_t dataSize = DataSize(type, n);
    const uint32_t value = n == 1 ? funcTiffGetValue(e + 8, order, type) : funcTiffGet32(e + 8, order);
    if (dataSize > 4) end = std::max(end, uint64_t{funcTiffGet32(e + 8, order)} + dataSize);
    if (tag == kStripOffsets) stripOffset = n == 1 ? value : -2;
    if (tag == kStripByteCounts) stripBytes = n == 1 ? value : -2;
  }
  if (stripOffset < 0 || stripBytes < 0) return -1;
  end = std::max(end, static_cast<uint64_t>(stripOffset) + static_cast<uint64_t>(stripBytes));
  return static_cast<int64_t>(end);
}

int64_t funcGetMemImageSize(const char* memoryName) {
  const std::optional<MemoryTarget> target = ParseMemoryTarget(memoryName);
  if (!target || target->address == 0) return -1;
  return funcGetMemImageSize(reinterpret_cast<const uint8_t*>(target->address), target->size);
}

int ZARNCombineTIFFS(const char* firstNameGiven, const char* secondNameGiven) {
  TraceAt(1, "ZARNCombineTIFFS(%s,%s)", firstNameGiven ? firstNameGiven : "", secondNameGiven ? secondNameGiven : "");
  const std::string firstName = funcApplyFileNameRule(firstNameGiven);
  const std::string secondName = funcApplyFileNameRule(secondNameGiven);
  Fd a(Open(firstName.c_str(), O_RDWR));
  Fd b(Open(secondName.c_str(), O_RDWR));
  if (a.fd < 0 || b.fd < 0) return -103;
  codec::ImageView va{}, vb{};
  if (funcReadTIFFInfo(a.fd, &va, 1) != 0 || funcReadTIFFInfo(b.fd, &vb, 1) != 0) return -104;
  uint8_t ha[64], hb[64];
  if (ReadAt(a.fd, 0, ha, sizeof ha) < sizeof ha || ReadAt(b.fd, 0, hb, sizeof hb) < sizeof hb) return -107;
  const uint16_t oa = tiff::HeaderOrder(ha, sizeof ha), ob = tiff::HeaderOrder(hb, sizeof hb);
  // B's end is taken before anything is appended, so joining a file to itself copies what it held.
  const int64_t aEnd = FileSize(a.fd);
  const int64_t bEnd = FileSize(b.fd);
  if (aEnd > UINT32_MAX) return -104;

  State& s = S();
  std::unique_lock lock(s.mutex);
  const std::string aName = plat::ResolvePath(firstName);
  uint32_t offset = funcTiffGet32(ha + 4, oa);
  if (s.joinedName == aName && s.joinedDirectory >= 9 && s.joinedSize == aEnd) {
    offset = s.joinedDirectory;
    TraceAt(2, "ZARNCombineTIFFS: last join, directory at %u", offset);
  }
  lock.unlock();
  tiff::Directory last;
  std::set<uint32_t> visited;
  for (;;) {
    if (!visited.insert(offset).second) return -104;
    if (!tiff::ReadDirectory(a.fd, offset, oa, 1, 0xFFFF, 4096, &last) || !last.hasNext) return -104;
    if (last.next == 0) break;
    offset = last.next;
  }
  tiff::Directory first;
  if (!tiff::ReadDirectory(b.fd, funcTiffGet32(hb + 4, ob), ob, 1, 0xFFFF, 4096, &first)) return -104;

  // The new directory and its out-of-line data, in A's order, sized to what they hold.
  const size_t n = static_cast<size_t>(first.count);
  std::vector<uint8_t> block;
  try {
    block.assign(12 * n + 6, 0);
  } catch (const std::bad_alloc&) {
    return -106;
  }
  Put16(block.data(), static_cast<uint32_t>(n), oa);
  size_t stripField = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* e = first.Entry(static_cast<int>(i));
    const uint16_t tag = funcTiffGet16(e, ob);
    const uint16_t type = funcTiffGet16(e + 2, ob);
    const uint32_t count = funcTiffGet32(e + 4, ob);
    uint8_t* f = block.data() + 2 + 12 * i;
    Put16(f, tag, oa);
    Put16(f + 2, type, oa);
    Put32(f + 4, count, oa);
    const uint64_t size = DataSize(type, count);
    if (tag == kStripOffsets) stripField = 2 + 12 * i + 8;
    if (TypeSize(type) == 0) continue;  // value 0
    if (size <= 4) {
      std::memcpy(f + 8, e + 8, 4);
      Reorder(type, f + 8, static_cast<size_t>(size), ob, oa);
      continue;
    }
    // Data said to lie beyond the end of B cannot be read; refuse it before making room for it.
    if (uint64_t{funcTiffGet32(e + 8, ob)} + size > static_cast<uint64_t>(std::max<int64_t>(bEnd, 0))) return -104;
    const size_t at = block.size();
    try {
      block.resize(at + static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
      return -106;
    }
    f = block.data() + 2 + 12 * i;
    if (ReadAt(b.fd, funcTiffGet32(e + 8, ob), block.data() + at, static_cast<size_t>(size)) != size) return -104;
    Reorder(type, block.data() + at, static_cast<size_t>(size), ob, oa);
    Put32(f + 8, static_cast<uint32_t>(aEnd + static_cast<int64_t>(at)), oa);
  }
  if (stripField != 0) Put32(block.data() + stripField, static_cast<uint32_t>(aEnd + static_cast<int64_t>(block.size())), oa);

  uint8_t link[4];
  Put32(link, static_cast<uint32_t>(aEnd), oa);
  const int64_t linkAt = static_cast<int64_t>(last.offset) + 2 + 12 * static_cast<int64_t>(last.count);
  if (!WriteAt(a.fd, aEnd, block.data(), block.size()) ||
      !CopyRange(b.fd, static_cast<int64_t>(vb.stripOffset), bEnd, a.fd, aEnd + static_cast<int64_t>(block.size())) ||
      !WriteAt(a.fd, linkAt, link, sizeof link)) {
    return -104;
  }
  lock.lock();
  s.joinedName = aName;
  s.joinedDirectory = static_cast<uint32_t>(aEnd);
  s.joinedSize = FileSize(a.fd);
  return 0;
}

}  // namespace zc::imaging
