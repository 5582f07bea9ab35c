#include "imaging/image_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/tiff_read.h"
#include "imaging/tiff_tags.h"
#include "imaging_trace.h"
#include "platform/paths.h"
#include "tiff_file.h"
#include "zarn/params.h"
#include "zarn/status.h"

namespace zc::imaging {
namespace {

using tiff::Fd;
using tiff::SameFile;
constexpr size_t kNameRoom = 255;
constexpr size_t kCopyBlock = 16384;
constexpr size_t kOwnHeader = 512;
constexpr size_t kMicrCountAt = 230;
constexpr size_t kMicrTextAt = 328;
constexpr uint32_t kMinMicrCount = 5;

// Two names of one file: equal after the path layer, or one existing file by identity.
bool SameFileName(const std::string& a, const std::string& b) {
  if (plat::ResolvePath(a) == plat::ResolvePath(b)) return true;
  Fd fa(plat::OpenFileDescriptor(a, O_RDONLY | O_CLOEXEC));
  Fd fb(plat::OpenFileDescriptor(b, O_RDONLY | O_CLOEXEC));
  return fa.fd >= 0 && fb.fd >= 0 && SameFile(fa.fd, fb.fd);
}

// The tag's data: the text, then NULs up to count = length + 1 (at least 5).
std::vector<uint8_t> MicrTagData(const char* text, int length) {
  const size_t n = text == nullptr || length <= 0 ? 0 : strnlen(text, static_cast<size_t>(length));
  std::vector<uint8_t> data(std::max<size_t>(n + 1, kMinMicrCount), 0);
  if (n > 0) std::memcpy(data.data(), text, n);
  return data;
}

// The program's own G4 header: StripOffsets as the ninth entry with value 512, and tag 34604 as the
// nineteenth with its text at 328.
bool IsOwnHeader(const uint8_t* h) {
  return h[106] == 17 && h[107] == 1 && h[114] == 0 && h[115] == 2 && h[226] == 44 && h[227] == 135 &&
         h[234] == 72 && h[235] == 1;
}

}  // namespace

std::string funcApplyFileNameRule(const char* name) {
  if (name == nullptr) return {};
  if (zarn::funcTableGetParam(104) == 0) {
    const size_t end = std::min(std::strcspn(name, " "), kNameRoom);
    return std::string(name, end);
  }
  const size_t length = std::strlen(name);
  return length > kNameRoom ? std::string() : std::string(name, length);
}

int funcCopyFile(const char* source, const char* target) {
  if (source == nullptr || target == nullptr) return zarn::kBadFileName;
  Fd in(plat::OpenFileDescriptor(source, O_RDONLY | O_CLOEXEC));
  if (in.fd < 0) return zarn::kBadFileName;
  // Truncating the source before reading it would lose it.
  Fd probe(plat::OpenFileDescriptor(target, O_RDONLY | O_CLOEXEC));
  if (probe.fd >= 0 && SameFile(in.fd, probe.fd)) return zarn::kBadFileName;
  Fd out(plat::OpenFileDescriptor(target, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (out.fd < 0) return zarn::kBadFileName;
  std::vector<uint8_t> block;
  try {
    block.resize(kCopyBlock);
  } catch (const std::bad_alloc&) {
    return zarn::kAllocError;
  }
  for (int64_t at = 0;; ) {
    const size_t got = tiff::ReadAt(in.fd, at, block.data(), block.size());
    if (got == 0) break;
    if (!tiff::WriteAt(out.fd, at, block.data(), got)) return zarn::kBadFileName;
    at += static_cast<int64_t>(got);
  }
  return 0;
}

int ZARNGetTIFFPageCount(const char* fileName) {
  return funcGetTIFFPageCount(funcApplyFileNameRule(fileName).c_str());
}

int ZARNGetMICRTag(const char* fileName, int page, char* buffer, int length) {
  if (buffer == nullptr || length <= 0) return zarn::kMicrTagNotFound;
  std::memset(buffer, 0, static_cast<size_t>(length));
  const int r = funcReadTIFFTag(funcApplyFileNameRule(fileName).c_str(), page, kMicrTag, buffer, length);
  buffer[length - 1] = 0;
  return r == 0 ? 0 : zarn::kMicrTagNotFound;
}

int ZARNSetMICRTag(const char* source, int page, const char* text, int length, const char* target) {
  // Each name keeps its own rule result: the second must not overwrite the first.
  const std::string from = funcApplyFileNameRule(source);
  const std::string to = funcApplyFileNameRule(target);
  if (SameFileName(from, to)) return zarn::kCopyFileToItself;
  if (funcLoadTIFFTags(from.c_str(), page) != 0) return zarn::kNonTiffImage;
  const std::vector<uint8_t> data = MicrTagData(text, length);
  const uint32_t count = static_cast<uint32_t>(data.size());
  const bool tagged = funcAddTIFFTag(kMicrTag, 2, count, 0, data.data()) == 0 ||
                      funcSetTIFFTag(kMicrTag, 2, count, 0, data.data()) == 0;
  const int written = funcWriteTIFFTags(to.c_str());
  if (!tagged) return zarn::kSetMicrTag317;
  return written == 0 ? 1 : zarn::kSetMicrTag;
}

int ZARNPutMICRTextInHeader(const char* fileName, const char* text, int length) {
  Fd file(plat::OpenFileDescriptor(funcApplyFileNameRule(fileName), O_RDWR | O_CLOEXEC));
  if (file.fd < 0) return zarn::kBadFileName;
  std::vector<uint8_t> header;
  try {
    header.resize(kOwnHeader);
  } catch (const std::bad_alloc&) {
    return zarn::kAllocError;
  }
  if (tiff::ReadAt(file.fd, 0, header.data(), header.size()) < kOwnHeader) return zarn::kFileIoError;
  if (!IsOwnHeader(header.data()) || length < 0 || length >= kHeaderMicrTextRoom) return 0;
  const std::vector<uint8_t> data = MicrTagData(text, length);
  header[kMicrCountAt] = static_cast<uint8_t>(data.size());
  header[kMicrCountAt + 1] = 0;
  std::fill(header.begin() + kMicrTextAt, header.begin() + kMicrTextAt + kHeaderMicrTextRoom, 0);
  std::copy(data.begin(), data.end(), header.begin() + kMicrTextAt);
  return tiff::WriteAt(file.fd, 0, header.data(), header.size()) ? 0 : zarn::kFileIoError;
}

}  // namespace zc::imaging
