// The expected-code-line table, the endorsement settings and the small services of the verified scan.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "analysis/services.h"
#include "analysis/vekscan/vekscan.h"
#include "imaging/image_record.h"
#include "platform/paths.h"

namespace analysis::vekscan {
namespace {

constexpr int kBadParameter = -102;
constexpr int kNoMemory = -106;
constexpr size_t kFieldChars = 15;
constexpr char kSizedRouting[] = "==========";  // a freshly sized table
constexpr char kDefaultRouting[] = "=========";  // a refused routing text, as the INI reader's default

ScanCalls* g_calls = nullptr;
VEKScanEndorsement g_endorsements[2];

void Trace(const std::string& text) {
  Services& s = CurrentServices();
  if (s.iApiTraceLevel() != 0) s.funcLogMessage(text);
}

bool Contains(std::string_view line, const char* text) { return line.find(text) != std::string_view::npos; }

// One difference over the line's first 11 characters after its leading blanks.
bool OneDifference(std::string_view line, const char* routing) {
  const size_t start = line.find_first_not_of(' ');
  if (start == std::string_view::npos) return false;
  line.remove_prefix(start);
  int differences = 0;
  size_t compared = 0;
  for (; compared < 11 && compared < line.size() && differences < 2; ++compared) {
    differences += line[compared] != routing[compared];
  }
  return compared == 11 && differences == 1;
}

void CopyField(char (&field)[16], const char* text) {
  const size_t n = strnlen(text, sizeof field - 1);
  std::memcpy(field, text, n);
  field[n] = '\0';
}

template <size_t N>
void CopyBounded(char (&dst)[N], const char* src) {
  const size_t n = src == nullptr ? 0 : strnlen(src, N - 1);
  if (n > 0) std::memcpy(dst, src, n);
  dst[n] = '\0';
}

}  // namespace

void InstallScanCalls(ScanCalls* calls) { g_calls = calls; }
ScanCalls* InstalledScanCalls() { return g_calls; }

std::unique_ptr<uint8_t[]> ScanCalls::Allocate(size_t bytes) {
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes]);
}

int VEKScanExpectFind(const char* codeLine) {
  const std::string_view line = codeLine != nullptr ? codeLine : "";
  Trace("VEKScanExpectFind [" + std::string(line) + "]");
  const auto entries = zarn::VEKScanExpectTable().Entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    const zarn::VEKScanExpectEntry& e = entries[i];
    const std::string routing(e.Routing, strnlen(e.Routing, sizeof e.Routing));
    const std::string account(e.Accout, strnlen(e.Accout, sizeof e.Accout));
    if (Contains(line, routing.c_str()) && Contains(line, account.c_str())) {
      Trace("Index " + std::to_string(i) + " [" + routing + "]");
      return static_cast<int>(i);
    }
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    const zarn::VEKScanExpectEntry& e = entries[i];
    if (e.Accout[0] != '\0' || strnlen(e.Routing, sizeof e.Routing) != 11) continue;
    if (OneDifference(line, e.Routing)) {
      Trace("FindErrorIndex " + std::to_string(i) + " [" + std::string(e.Routing, 11) + "]");
      return static_cast<int>(i);
    }
  }
  return -1;
}

int VEKScanExpectSet(int count, int k, const char* routing, const char* account, int threshold, int min,
                     int contrast, int options) {
  if (count < 0 || count > zarn::kMaxExpectEntries || k < 1 || k > count) return kBadParameter;
  zarn::ExpectTable& table = zarn::VEKScanExpectTable();
  if (count != table.Count()) {
    table.Clear();
    try {
      zarn::VEKScanExpectEntry sized{};
      CopyField(sized.Routing, kSizedRouting);
      table.Replace(std::vector<zarn::VEKScanExpectEntry>(static_cast<size_t>(count), sized));
    } catch (const std::bad_alloc&) {
      table.Clear();
      return kNoMemory;
    }
  }
  int result = 0;
  zarn::VEKScanExpectEntry& e = table.MutableEntries()[static_cast<size_t>(k - 1)];
  if (routing == nullptr || routing[0] == '\0' || strnlen(routing, kFieldChars + 1) > kFieldChars) {
    CopyField(e.Routing, kDefaultRouting);
    result = kBadParameter;
  } else {
    CopyField(e.Routing, routing);
  }
  if (account == nullptr || strnlen(account, kFieldChars + 1) > kFieldChars) {
    CopyField(e.Accout, "");
    result = kBadParameter;
  } else {
    CopyField(e.Accout, account);
  }
  if (threshold < 1 || threshold > 3) {
    threshold = 1;
    result = kBadParameter;
  }
  if (min < 0 || min > 255) {
    min = 0;
    result = kBadParameter;
  }
  e.Threshold = threshold;
  e.Min = min;
  e.Options = options;
  if (threshold == 1) {
    if (contrast < 200 || contrast > 1024) {
      contrast = 600;
      result = kBadParameter;
    }
  } else if (contrast < 2 || contrast > 13) {
    contrast = 10;
  }
  e.Contrast = contrast;
  return result;
}

VEKScanEndorsement& EndorsementRecord(int side) { return g_endorsements[side == 0 ? 0 : 1]; }

int VEKScanSetVirtualEndorsement(const char* format, const void*, int sides, int counterStart, int counterStep,
                                 const int32_t* values, const char* face) {
  auto readParam = [] { return g_calls != nullptr ? g_calls->GetParam(170) : CurrentServices().ZARNGetParam(170); };
  auto setParam = [](int32_t v) {
    if (g_calls != nullptr) g_calls->SetParam(170, v);
  };
  if (sides == 0) {
    setParam(0);
    g_endorsements[0] = VEKScanEndorsement{};
    g_endorsements[1] = VEKScanEndorsement{};
    return 1;
  }
  const int bit = (sides & 1) != 0 ? 1 : ((sides & 2) != 0 ? 2 : 0);
  if (bit == 0) return 1;
  int32_t param = readParam();
  if (param < 0) param = 0;
  if (format != nullptr && format[0] != '\0') {
    param |= bit;
    setParam(param);
    VEKScanEndorsement& e = g_endorsements[bit == 1 ? 0 : 1];
    e = VEKScanEndorsement{};
    CopyBounded(e.format, format);
    CopyBounded(e.face, face);
    e.sides = param;
    e.counter = counterStart;
    e.step = counterStep;
    if (values != nullptr) std::copy(values, values + e.values.size(), e.values.begin());
  } else {
    setParam(param & ~bit);
  }
  return 1;
}

std::string FormatEndorsement(const char* format, int32_t counter) {
  if (format == nullptr) return {};
  const std::string_view text = format;
  std::string out;
  int conversions = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    // One conversion: flags, width and precision of at most three digits each, an optional h or l, then
    // one of the integer letters.
    size_t j = i + 1;
    std::string spec = "%";
    while (j < text.size() && std::strchr("-+ #0", text[j]) != nullptr) spec += text[j++];
    auto digits = [&] {
      size_t n = 0;
      while (j < text.size() && text[j] >= '0' && text[j] <= '9') {
        if (++n > 3) return false;
        spec += text[j++];
      }
      return true;
    };
    if (!digits()) return std::string(text);
    if (j < text.size() && text[j] == '.') {
      spec += text[j++];
      if (!digits()) return std::string(text);
    }
    if (j < text.size() && (text[j] == 'h' || text[j] == 'l')) ++j;
    if (j >= text.size() || std::strchr("diuxXo", text[j]) == nullptr || ++conversions > 1) {
      return std::string(text);
    }
    spec += text[j];
    char rendered[1100];
    if (text[j] == 'd' || text[j] == 'i') {
      std::snprintf(rendered, sizeof rendered, spec.c_str(), static_cast<int>(counter));
    } else {
      std::snprintf(rendered, sizeof rendered, spec.c_str(), static_cast<unsigned>(counter));
    }
    out += rendered;
    i = j;
  }
  return out;
}

int64_t funcGetFileSize(const char* name) {
  if (name == nullptr) return -1;
  std::FILE* f = plat::OpenFile(name, "rb");
  if (f == nullptr) return -1;
  int64_t size = -1;
  if (fseeko(f, 0, SEEK_END) == 0) size = ftello(f);
  std::fclose(f);
  return size;
}

int64_t funcImageRecordSize(const uint8_t* record) {
  if (record == nullptr) return 0;
  const zc::imaging::RecordHeader h = zc::imaging::ReadRecordHeader(record);
  if (h.width < 0 || h.height < 0) return 8;
  const int64_t w = h.width;
  const int64_t rows = h.height;
  switch (h.bits) {
    case 1: return 8 + (w + 7) / 8 * rows;
    case 4: return 8 + (w + 1) / 2 * rows;
    case 8: return 8 + w * rows;
    case 24: return 8 + 3 * w * rows;
    default: return 8;
  }
}

void funcRotate180(std::span<uint8_t> record) {
  const auto view = zc::imaging::CheckRecord(record);
  if (!view) return;
  uint8_t* first = view->pixels;
  uint8_t* last = first + view->PixelBytes();
  switch (view->header.bits) {
    case 8:
      std::reverse(first, last);
      break;
    case 4:
      std::reverse(first, last);
      for (uint8_t* p = first; p != last; ++p) *p = static_cast<uint8_t>((*p << 4) | (*p >> 4));
      break;
    case 24: {
      // Reverse the pixel order, each pixel's three bytes kept in their order.
      std::reverse(first, last);
      for (uint8_t* p = first; p + 3 <= last; p += 3) std::swap(p[0], p[2]);
      break;
    }
    default:
      break;
  }
}

}  // namespace analysis::vekscan
