// The QV600 back-end's state, its binding to the device library and the event callbacks.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <cstring>
#include <vector>

#include "devicelib/core/micr/lumivex_micr.h"
#include "platform/clock.h"
#include "zarn/api_state.h"
#include "zarn/error_maps.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/status.h"
#include "zarn/trace.h"
#include "qv600_words.h"

namespace zarn {
namespace {

DeviceLibrary g_library;
std::string g_libraryFile = "Qv6Dll.dll";
std::atomic<CodeLineFormatter> g_formatter{nullptr};
std::atomic<BatchPrinter> g_batchPrinter{nullptr};

void CopyCut(char* dst, size_t room, const char* src) {
  size_t n = src != nullptr ? std::min(std::strlen(src), room - 1) : 0;
  if (n > 0) std::memcpy(dst, src, n);
  dst[n] = '\0';
}

// Stores a code line, formats it and publishes bit 1.
void PublishCodeLine(const char* text) {
  QV600State& s = Qv600();
  {
    std::lock_guard<std::mutex> lock(s.codeLineMutex);
    CopyCut(s.codeLine, kCodeLineSize, text);
    TraceAt(2, "Done with MICR Pointer");
    if (CodeLineFormatter f = g_formatter.load()) f(s.codeLine, kCodeLineSize, s.analysis.get());
  }
  s.documentStatus.fetch_or(kDocCodeLine, std::memory_order_release);
}

}  // namespace

namespace qv600 {

uint32_t ExpectedDocumentBits() {
  const uint32_t micr = funcTableGetParam(1) != 0 ? kDocCodeLine : 0;
  const uint32_t front = funcTableGetParam(42) != 0 || funcTableGetParam(43) != 0 ? kDocFront : 0;
  const uint32_t rear = funcTableGetParam(43) != 0 ? kDocRear : 0;
  return micr | front | rear;
}

void IssueEarlyScan(const char* line) {
  QV600State& s = Qv600();
  if (line != nullptr) TraceAt(1, "%s", line);
  if (s.batchPrintActive.load() != 0) {
    if (BatchPrinter print = g_batchPrinter.load()) print(1);
  }
  ++s.earlyScanIssued;
  Qv6().QV6EnableEarlyScan(s.connection.load());
}

void ResetEarlyScan() {
  QV600State& s = Qv600();
  s.earlyScanIssued = 0;
  s.earlyScanUsed = 0;
  s.earlyCheckAvailable = 0;
}

void EmptyDocument() {
  QV600State& s = Qv600();
  {
    std::lock_guard<std::mutex> lock(s.codeLineMutex);
    s.codeLine[0] = '\0';
  }
  s.dibFront = nullptr;
  s.dibBack = nullptr;
}

void CallImageCallbacksWithMask(uint32_t mask, uint32_t argument) {
  const bool vb = mask == kVbMicrMask;
  ZarnCallbackEntry entries[kImageCallbackSlots];
  {
    std::lock_guard<std::mutex> lock(Qv600().callbackMutex);
    std::copy(std::begin(Qv600().imageCallbacks), std::end(Qv600().imageCallbacks), entries);
  }
  for (int i = 0; i < kImageCallbackSlots && entries[i].function != nullptr; ++i) {
    if (entries[i].mask != mask) continue;
    if (vb) TraceAt(2, "Calling VBMICR stImageCallBack[%d]", i);
    else TraceAt(2, "Calling STAT_MICRRDY stImageCallBack[%d]", i);
    entries[i].function(argument);
    if (vb) TraceAt(2, "Back From VBMICR stImageCallBack[%d]", i);
    else TraceAt(2, "Back From STAT_MICRRDY stImageCallBack[%d]", i);
  }
}

}  // namespace qv600

QV600State& Qv600() {
  static QV600State state;
  return state;
}

std::string Qv600CodeLine() {
  std::lock_guard<std::mutex> lock(Qv600().codeLineMutex);
  return Qv600().codeLine;
}

void SetQv6LibraryFile(const char* fileName) {
  g_library.Unload();
  g_libraryFile = fileName != nullptr ? fileName : "";
}
int LoadQv6Library() { return g_library.Loaded() ? 0 : g_library.Load(g_libraryFile.c_str()); }
void UnloadQv6Library() { g_library.Unload(); }
bool Qv6Loaded() { return g_library.Loaded(); }
const Qv6Exports& Qv6() { return g_library.Exports(); }
int Qv6MappedError() { return funcQV6ConvertKRStatus(Qv6().QV6GetLastError()); }

void OpenConnectionDecoders() {
  Qv600().analysis = OpenAnalysisState();
  Qv600().micr = std::make_shared<lumivex::Micr>();
}
void DropConnectionDecoders() {
  Qv600().analysis.reset();
  Qv600().micr.reset();
}

void SetCodeLineFormatter(CodeLineFormatter formatter) { g_formatter.store(formatter); }
void SetBatchPrinter(BatchPrinter printer) { g_batchPrinter.store(printer); }

void ResetQv600ForTests() {
  QV600State& s = Qv600();
  s.connection = 0;
  s.connectionOpen = false;
  s.enableScan = 0;
  s.deviceOnLine = 0;
  s.documentStatus = 0;
  s.scannerStatus = 0;
  s.errorStatus = 0;
  s.documentError = 0;
  s.dibFront = nullptr;
  s.dibBack = nullptr;
  s.krDecodeKept = 0;
  s.syncSensorSeen = 0;
  s.checkAvailable = 0;
  s.enableOK = 0;
  s.qv630Fast = 0;
  s.qv630Speed = 100;
  s.getImageBusy = 0;
  s.errorOutstanding = 0;
  s.earlyCheckAvailable = 0;
  s.feederClearTick = 1;
  s.rearReadyTick = 0;
  s.earlyScanIssued = 0;
  s.earlyScanUsed = 0;
  s.batchPrintActive = 0;
  {
    std::lock_guard<std::mutex> lock(s.cycleMutex);
    s.cycleActive = false;
    s.errorBetweenCycles = 0;
  }
  {
    std::lock_guard<std::mutex> lock(s.codeLineMutex);
    std::memset(s.codeLine, 0, sizeof s.codeLine);
    std::memset(s.internalKwlMicr, 0, sizeof s.internalKwlMicr);
  }
  {
    std::lock_guard<std::mutex> lock(s.callbackMutex);
    for (auto& e : s.imageCallbacks) e = ZarnCallbackEntry{};
  }
  DropConnectionDecoders();
}

// ---- Callbacks ----------------------------------------------------------------------------------------------

void cbDeviceOnLine(int, intptr_t) { Qv600().deviceOnLine.store(1, std::memory_order_release); }
void cbDeviceOffLine(int, intptr_t) { Qv600().deviceOnLine.store(0, std::memory_order_release); }

void cbMICR(int, intptr_t) {
  QV600State& s = Qv600();
  TraceAt(1, "cbMICR Start");
  const char* line = Qv6().QV6GetMicrCodelinePtr(s.connection.load());
  TraceAt(1, "cbMICR#1: pcMICR(%ld) = %s", qv600::PointerValue(line), line != nullptr ? line : "");
  if (line == nullptr) {
    {
      std::lock_guard<std::mutex> lock(s.codeLineMutex);
      s.codeLine[0] = '\0';
    }
    s.errorStatus.store(Qv6MappedError());
    return;
  }
  PublishCodeLine(line);
  qv600::CallImageCallbacksWithMask(kStMicrReady, kStMicrReady);
  TraceAt(2, "cbMICR End");
}

namespace {

struct LineCounts {
  int rejects = 0;
  int valid = 0;
};
LineCounts Count(const char* line) {
  LineCounts c;
  for (const char* p = line; *p != '\0'; ++p) {
    if (*p == '@') ++c.rejects;
    else if (*p != ' ') ++c.valid;
  }
  return c;
}

// The second decoder's reading into `lineB`; may replace `lineA` (automatic font). Caller holds no lock.
void SecondDecode(lumivex::Micr& micr, const uint16_t* samples, int byteCount, char* lineA, char* lineB,
                  size_t room) {
  const int font = funcTableGetParam(2);
  if (font != 1 && font != 2) return;
  const int model = Api().scannerModel;
  const int rate = model == 30 ? 74000 : model == 240 ? 70866 : 63200;
  try {
    micr.Setup(3, 0, 0, 255, rate, 1, 0, 0);
    const auto count = static_cast<unsigned>(byteCount / 2);
    if (font == 1) {
      micr.DecodeSamples(samples, count, 2, 0, 0);
      micr.GetCodeline(1, '@', lineB, room);
      return;
    }
    Qv600().krDecodeKept = 1;
    const LineCounts a = Count(lineA);
    micr.DecodeSamples(samples, count, 0, 0, 0);
    if (a.valid < 5 || a.rejects > 4) {
      micr.GetCodeline(2, '@', lineB, room);
      const LineCounts b = Count(lineB);
      if (b.rejects <= a.rejects && b.valid > a.valid && b.valid > 8) {
        Qv600().krDecodeKept = 0;
        // The first line's buffer holds 99 characters; a longer second line is cut to it.
        CopyCut(lineA, kCodeLineRoom, lineB);
      }
    } else {
      micr.GetCodeline(1, '@', lineB, room);
    }
  } catch (const std::exception& e) {
    TraceAt(1, "cbMICRRaw second decoder: %s", e.what());
    lineB[0] = '\0';
  }
}

}  // namespace

void cbMICRRaw(int, intptr_t value) {
  QV600State& s = Qv600();
  TraceAt(1, "cbMICRRaw Start");
  char lineA[kCodeLineRoom] = {};
  char confidence[kCodeLineRoom] = {};
  if (value == 0) {
    TraceAt(2, "BAD_VALUE in cbMICRRaw");
    return;
  }
  const auto* record = reinterpret_cast<const QV6MicrSamples*>(value);
  const int n = std::max(0, record->byteCount);
  TraceAt(2, "cbMICRRaw buffer %p, Size %d", static_cast<const void*>(record), n);
  char lineB[kCodeLineSize] = {};
  if (n > 0 && record->samples != nullptr) {
    // Both decoders work on copies with zeroed slack behind the device's samples.
    const size_t words = (static_cast<size_t>(n) + 1024) / 2;
    std::vector<uint16_t> first(words, 0), second(words, 0);
    std::memcpy(first.data(), record->samples, static_cast<size_t>(n));
    const size_t count = static_cast<size_t>(n) / 2;
    if (Api().scannerModel == 440) {
      for (size_t i = 0; i < count; ++i) second[count - 1 - i] = first[i];
    } else {
      std::memcpy(second.data(), record->samples, static_cast<size_t>(n));
    }
    if (s.analysis != nullptr) funcDecodeMagneticMICR(*s.analysis, first.data(), n, lineA, confidence);
    lineA[kCodeLineRoom - 1] = '\0';
    if (s.micr != nullptr) SecondDecode(*s.micr, second.data(), n, lineA, lineB, sizeof lineB);
    int repaired = 0, left = 0;
    const std::string merged = MergeMicrLines(lineA, lineB, &repaired, &left);
    if (funcTableGetParam(117) & 4) {
      char text[kCodeLineSize + 32];
      if (repaired == 0 && left == 0) {
        funcWriteLocalApiLog("Magnetic MICR Review");
      } else {
        std::snprintf(text, sizeof text, "Magnetic MICR Event, Repaired %d, Left %d", repaired, left);
        funcWriteLocalApiLog(text);
      }
      std::snprintf(text, sizeof text, "KR Combined => %s", lineA);
      funcWriteLocalApiLog(text);
      std::snprintf(text, sizeof text, "Internal KWL=> %s", lineB);
      funcWriteLocalApiLog(text);
      const bool take = repaired < 3 && left == 0;
      if (take) std::snprintf(text, sizeof text, "Updated     => %s", merged.c_str());
      else std::snprintf(text, sizeof text, "Ignored     => %s", lineA);
      funcWriteLocalApiLog(text);
    }
    if (repaired < 3 && left == 0) CopyCut(lineA, sizeof lineA, merged.c_str());
  }
  {
    std::lock_guard<std::mutex> lock(s.codeLineMutex);
    CopyCut(s.internalKwlMicr, kCodeLineSize, lineB);
  }
  PublishCodeLine(lineA);
  qv600::CallImageCallbacksWithMask(kStMicrReady, kStMicrReady);
  TraceAt(2, "cbMICRRaw End");
}

namespace {

// Fetches one side's image again (rather than trusting the event's value) and publishes its bit.
void FetchImage(bool front) {
  QV600State& s = Qv600();
  const int index = s.connection.load();
  const void* dib = front ? Qv6().QV6GetFrontImageDIBPtr(index) : Qv6().QV6GetRearImageDIBPtr(index);
  const long value = qv600::PointerValue(dib);
  if (front) {
    TraceAt(2, "cbFrontImage#1: pDIBPtrFront = %ld, 0x%lx", value, static_cast<unsigned long>(value));
    s.dibFront.store(dib, std::memory_order_relaxed);
  } else {
    TraceAt(2, "cbRearImage#1: pDIBPtrBack = %ld, 0x%lx", value, static_cast<unsigned long>(value));
    s.dibBack.store(dib, std::memory_order_relaxed);
  }
  if (dib == nullptr) {
    TraceAt(1, "%s", front ? "DIBPtr Front is NULL" : "DIBPtr Back is NULL");
    const int lastError = Qv6().QV6GetLastError();
    const int code = funcQV6ConvertKRStatus(lastError);
    s.errorStatus.store(code);
    if (!front) TraceAt(2, "pDIBPtrBack = %ld, dwReturn = %ld iErrorStatus %d", value, static_cast<long>(lastError), code);
  }
  s.documentStatus.fetch_or(front ? kDocFront : kDocRear, std::memory_order_release);
}

}  // namespace

void cbFrontImage(int, intptr_t) {
  TraceAt(1, "cbFrontImage Start");
  Qv600().syncSensorSeen.store(0);
  FetchImage(true);
  TraceAt(2, "cbFrontImage End");
}

void cbRearImage(int, intptr_t) {
  TraceAt(1, "cbRearImage Start");
  FetchImage(false);
  TraceAt(2, "cbBackImage End");
}

// ---- Merge of the two magnetic readings ---------------------------------------------------------------------

std::string MergeMicrLines(const char* a, const char* b, int* repaired, int* left) {
  const std::string A = a != nullptr ? a : "";
  const std::string B = b != nullptr ? b : "";
  auto at = [](const std::string& t, size_t i) { return i < t.size() ? t[i] : '\0'; };
  auto in = [](char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; };
  std::string out;
  int rep = 0, lft = 0;
  size_t i = 0, j = 0;
  while ((j < B.size() || i < A.size()) && out.size() < 80) {
    const char x = at(A, i), y = at(B, j);
    if (x == y) {
      out += x; ++i; ++j;
    } else if (x == ' ') {
      out += ' '; ++i;
    } else if (y == ' ') {
      ++j;
    } else if (x == '@' && y != '\0') {
      // A reject of the first reading is repaired only from a character of the second; against its end it
      // stays a reject (below), so a trailing '@' is never dropped as a repair.
      out += y; ++i; ++j; ++rep;
    } else if (y == '@') {
      out += x; ++i; ++j;
    } else if (in(x, "25") && in(y, "25")) {
      out += x; ++i; ++j;
    } else if ((x == ':' && y == '4') || (x == '4' && y == ':')) {
      out += y; ++i; ++j; ++rep;
    } else if (in(x, "0569") && in(y, "0569")) {
      out += y; ++i; ++j; ++rep;
    } else {
      out += x; ++i;
      if (y != '\0') ++j;
      ++lft;
    }
  }
  // The merged line ends at its first NUL.
  if (size_t z = out.find('\0'); z != std::string::npos) out.resize(z);
  if (repaired != nullptr) *repaired = rep;
  if (left != nullptr) *left = lft;
  return out;
}

// ---- Image-callback table -------------------------------------------------------------------------------------

int funcSetUpCallBack(uint32_t mask, ZarnImageCallback function) {
  QV600State& s = Qv600();
  TraceAt(1, "funcSetUpCallBack(%d,%d)", static_cast<int>(mask), function != nullptr ? 1 : 0);
  {
    std::lock_guard<std::mutex> lock(s.callbackMutex);
    auto& t = s.imageCallbacks;
    int used = 0;
    while (used < kImageCallbackSlots && t[used].function != nullptr) ++used;
    for (int i = 0; i < used; ++i) {
      if (t[i].mask != mask) continue;
      if (function == nullptr) {
        // Entries behind move down with their ticks, so a moved entry keeps its own "already called" mark.
        for (int k = i; k + 1 < used; ++k) t[k] = t[k + 1];
        t[used - 1] = ZarnCallbackEntry{};
      } else {
        t[i].function = function;
      }
      return 1;
    }
    if (used == kImageCallbackSlots) return kCallbackTableFull;
    if (function == nullptr) return 1;  // appending nothing leaves the list as it is
    t[used].mask = mask;
    t[used].function = function;
    t[used].tick = 0;
  }
  const int index = s.connection.load();
  if (!Qv6Loaded() || index == 0) return 1;
  int status = 0, error = 0;
  TraceAt(2, "funcQV600SetCallBack - QV6GetStatus");
  int ok = Qv6().QV6GetStatus(index, &status, &error);
  TraceAt(2, "9: QV6GetStatus bReturn %d, dwStatusFlag %x, dwErrorFlag %x", ok, status, error);
  if (Api().reloadPending.load()) {
    TraceAt(1, "QV6DisableScan");
    Qv6().QV6DisableScan(index);
    s.enableScan = 0;
    Api().reloadPending = false;
    funcQV600Update(0x102);
  }
  if (Api().scannerModel != 440 &&
      !(s.enableScan.load() != 0 && (static_cast<uint32_t>(status) & kStScanEnable) != 0)) {
    TraceAt(1, "QV6EnableScan");
    if (Qv6().QV6EnableScan(index) == 0) {
      s.enableScan = 0;
      return Qv6MappedError();
    }
    s.enableScan = 1;
  }
  return 1;
}

}  // namespace zarn
