// One document on the QV600 line: make sure the scanner is configured and enabled, wait (pumping the
// thread's messages) for the callbacks to deliver the code line and images, convert them, decide the
// document's result from the device's reports, and leave the scanner as the next document needs it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "imaging/dib_convert.h"
#include "imaging/dib_crop.h"
#include "imaging/image_writers.h"
#include "platform/byte_order.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "zarn/api_state.h"
#include "zarn/expect_table.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/qv600_services.h"
#include "zarn/scan.h"
#include "zarn/status.h"
#include "zarn/trace.h"
#include "qv600_words.h"

namespace zarn {

using namespace qv600;

namespace {

constexpr uint32_t kStModeSelect = 0x2000;
constexpr uint32_t kStExitJam = 0x800;

uint32_t Now() { return plat::GetTickCount(); }

// The most recent own status read of a cycle, for the early-next-scan rule of the QV640/QV840.
struct CycleReads {
  bool any = false;
  uint32_t status = 0;
  Words Take(Words w) {
    any = true;
    status = w.status;
    return w;
  }
};

void TraceWords(int level, const char* format, const Words& w) {
  TraceAt(level, format, w.ok, w.status, w.error);
}

// Reads while the device shows Scanning with no error, at most 50 times 20 ms apart.
Words WaitWhileScanning(Words w, CycleReads& reads, const char* line) {
  for (int i = 0; i < 50 && Any(w.status, kStScanning) && w.error == 0; ++i) {
    plat::Sleep(20);
    w = reads.Take(Read());
    TraceWords(1, line, w);
  }
  return w;
}


void ClearImageTicks() {
  QV600State& s = Qv600();
  std::lock_guard<std::mutex> lock(s.callbackMutex);
  for (int i = 0; i < kImageCallbackSlots && s.imageCallbacks[i].function != nullptr; ++i) {
    const uint32_t m = s.imageCallbacks[i].mask;
    if (m == kStMicrReady || m == kStFrontReady || m == kStRearReady) s.imageCallbacks[i].tick = 0;
  }
}



// Starts the next document early when the status shows it waiting at the feeder.
bool TryEarlyScan(CycleReads& reads, const char* line) {
  const Words w = reads.Take(Read());
  if ((w.status & (kStEarlyScan | kStFeedSensor)) != (kStEarlyScan | kStFeedSensor)) return false;
  IssueEarlyScan(line);
  return true;
}

// Marks funcGetImage as collecting its document, for the status change's record of device errors (see
// QV600State::errorBetweenCycles). A nested call keeps the mark of the call it runs in.
class CycleScope {
 public:
  CycleScope() {
    std::lock_guard<std::mutex> lock(Qv600().cycleMutex);
    previous_ = std::exchange(Qv600().cycleActive, true);
  }
  ~CycleScope() { Set(previous_); }
  CycleScope(const CycleScope&) = delete;
  CycleScope& operator=(const CycleScope&) = delete;
  // The document is finished before scanning is enabled for the next one: what fails from here on is the
  // next document's.
  void DocumentDone() { Set(false); }

 private:
  static void Set(bool active) {
    std::lock_guard<std::mutex> lock(Qv600().cycleMutex);
    Qv600().cycleActive = active;
  }
  bool previous_ = false;
};

// Leaves the scanner as the next document needs it after a cycle with `result`; the result, or the converted
// error of a failed enable or disable.
int LeaveScanner(int result, CycleScope& scope) {
  QV600State& s = Qv600();
  const int index = s.connection.load();
  const int model = Model();
  if (funcTableGetParam(111) != 0) {
    TraceAt(2, "funcGetImage#D: Reenable scan before leaving - 1732");
    s.enableOK = 1;
    s.documentStatus = 0;
    scope.DocumentDone();
    if (Qv6().QV6EnableScan(index) == 0) {
      s.enableScan = 0;
      result = Qv6MappedError();
    } else {
      s.enableScan = 1;
    }
  } else if (result == kDocumentTooLong || result == kDocumentJam || result == kDoubleFeed ||
             result == kMicrParsingError || result == kFeedError) {
    s.enableScan = 0;
    s.enableOK = 0;
    TraceAt(1, "QV6DisableScan");
    if (model == 220) {
      TraceAt(2, "funcGetImage: iErrorOutStanding = 1");
      s.errorOutstanding = 1;
    } else {
      if (model == 440 && result == kDoubleFeed && funcTableGetParam(32) == 1) {
        QV800SetPocket(1);
        plat::Sleep(200);
      }
      const bool forced = funcTableGetParam(184) != 0 && (result == kDocumentTooLong || result == kDocumentJam) &&
                          ModelIn({440, 230, 30, 240});
      if (!forced && ModelIn({215, 230, 440, 30, 240})) {
        SleepBlink();
        ClearErrorsTwice();
      }
      if (Qv6().QV6DisableScan(index) == 0) result = Qv6MappedError();
      if (funcTableGetParam(160) != 0 && ModelIn({230, 240, 440})) Qv6().QV6DisableScan(index);
    }
    ResetEarlyScan();
  } else if (result == kFeederEmpty) {
    s.enableScan = 0;
    s.enableOK = 0;
    if (Qv6().QV6DisableScan(index) == 0) result = Qv6MappedError();
    ResetEarlyScan();
  } else {
    s.enableScan = 0;
    s.enableOK = 0;
  }
  return result;
}

int CountRejects(const char* line) {
  int rejects = 0, colons = 0, semicolons = 0;
  for (const char* p = line; *p != '\0'; ++p) {
    rejects += *p == '@';
    colons += *p == ':';
    semicolons += *p == ';';
  }
  if (rejects < 2 && funcTableGetParam(179) != 0 && (colons > 2 || semicolons > 2)) rejects = 2;
  return rejects;
}

bool ParseErrorLine(const char* line) {
  int colons = 0, semicolons = 0;
  for (const char* p = line; *p != '\0'; ++p) {
    colons += *p == ':';
    semicolons += *p == ';';
  }
  return colons > 2 || semicolons > 2;
}

void CheckLine(const char* text) {
  TraceAt(1, "%s", text);
  if (funcTableGetParam(117) & 4) funcWriteLocalApiLog(text);
}

// A double feed in the no-stop mode: the document is good after all when the expected list accepts it or
// its code line and front image pass the checks.
int DocumentCheck(int result, const char* codeLine, const void* frontDib) {
  const int rejects = CountRejects(codeLine);
  const int index = VEKScanExpectFind(codeLine);
  const auto entries = VEKScanExpectTable().Entries();
  if (index >= 0 && static_cast<size_t>(index) < entries.size()) {
    const int32_t options = entries[static_cast<size_t>(index)].Options;
    if (options & kExpectAccept) return 0;
    if (options & kExpectReject) return result;
  }
  char text[200];
  if (rejects < 2) {
    if (frontDib == nullptr) return result;
    const int r = IQAStatusCombTopEdge(frontDib, codeLine);
    if (r == 0) return 0;
    std::snprintf(text, sizeof text, "PVNX Image Error %x", r);
    CheckLine(text);
    return result;
  }
  std::snprintf(text, sizeof text, "PVNX MICR ERRORS %d (%.120s)", rejects, codeLine);
  CheckLine(text);
  return result;
}

int DpiOf(int index) {
  static constexpr int kDpi[10] = {100, 200, 200, 200, 300, 200, 200, 200, 200, 200};
  return kDpi[std::clamp(index, 0, 9)];
}

// Converts one side's DIB into its file or area; the size or a negative code.
int ConvertSide(const void* dibPointer, bool front, const char* name, std::span<uint8_t> area, int format,
                char* codeLine) {
  std::span<uint8_t> dib = DeviceDibBlock(dibPointer);
  if (dib.size() >= 40 && plat::bytes::GetLe32(dib.data()) == 40) {
    // Marks for the converters, written only into the information header they belong to.
    dib[16] = 1;
    dib[18] = funcTableGetParam(45) == 1 ? 8 : 4;
  }
  const int crop = funcTableGetParam(36);
  const int threshold = funcTableGetParam(108);
  const int bw = (16 - funcTableGetParam(front ? 11 : 12)) * 16;
  const int dpi = DpiOf(funcTableGetParam(6));
  if (front) {
    TraceAt(2, "FRONT:  Calling compression");
    const uint8_t* h = dib.size() >= 40 ? dib.data() : nullptr;
    const auto field32 = [h](size_t at) {
      return h != nullptr ? static_cast<long>(static_cast<int32_t>(plat::bytes::GetLe32(h + at))) : 0L;
    };
    const auto field16 = [h](size_t at) { return h != nullptr ? static_cast<int>(plat::bytes::GetLe16(h + at)) : 0; };
    TraceAt(2, "pDIBPtrFront = %ld", PointerValue(dibPointer));
    TraceAt(2, "pDIBPtrFront:  %ld %ld %ld %d %d %ld %ld", field32(0), field32(4), field32(8), field16(12),
            field16(14), field32(16), field32(20));
    const int width = static_cast<int>(field32(4));
    const int height = static_cast<int>(field32(8));
    if (width < 200 || height < 132) return kDocumentTooLong;
  }
  zc::imaging::DIBCrop(crop, threshold, dib, front ? 1 : 0);
  const size_t room = codeLine != nullptr ? kCycleCodeLineSize : 0;
  if (name == nullptr) {
    if (area.empty()) return 0;
    return zc::imaging::funcDIBToImage(dib, area, format, crop, threshold, bw, dpi, codeLine, room);
  }
  return zc::imaging::VW_CompressDIB(dib, name, format, crop, threshold, bw, dpi, codeLine, room);
}

int CollectFront(const void* dib, const char* name, std::span<uint8_t> area, int32_t* size, int format,
                 char* codeLine) {
  TraceAt(1, "Start funcQV600GetFrontImage:");
  if (dib == nullptr) return 0;
  TraceAt(2, "FRONT:  Starting compression");
  int r = ConvertSide(dib, true, name, area, format, codeLine);
  TraceAt(2, "FRONT:  Done compression");
  int status = 0;
  if (r < 0) {
    status = r;
    r = 0;
  }
  if (size != nullptr) *size = r;
  TraceAt(2, "End funcQV600GetFrontImage: iStatus = %d, *plFileSize = %d", status, r);
  return status;
}

int CollectBack(const void* dib, const char* name, std::span<uint8_t> area, int32_t* size, int format) {
  TraceAt(1, "Start funcQV600GetBackImage#1:");
  if (dib == nullptr) {
    TraceAt(2, "Back Image WAITING not NULL");
    plat::Sleep(10);
    dib = Qv600().dibBack.load(std::memory_order_acquire);
    if (dib == nullptr) return 0;
  }
  TraceAt(2, "BACK: Starting compression");
  int r = ConvertSide(dib, false, name, area, format, nullptr);
  TraceAt(2, "BACK:  Done compression");
  int status = 0;
  if (r < 0) {
    status = r;
    r = 0;
  }
  if (size != nullptr) *size = r;
  TraceAt(2, "End funcQV600GetBackImage#2: iStatus = %d, *plFileSize = %d", status, r);
  return status;
}

}  // namespace

KrMicrResults& KRMicrResults() {
  static KrMicrResults results;
  return results;
}

std::span<uint8_t> DeviceDibBlock(const void* dib) {
  if (dib == nullptr) return {};
  // The device library hands over writable blocks whose header describes them exactly.
  auto* p = static_cast<uint8_t*>(const_cast<void*>(dib));
  if (plat::bytes::GetLe32(p) != 40) return {};
  const int64_t width = static_cast<int32_t>(plat::bytes::GetLe32(p + 4));
  const int64_t height = static_cast<int32_t>(plat::bytes::GetLe32(p + 8));
  const int bits = plat::bytes::GetLe16(p + 14);
  const uint32_t used = plat::bytes::GetLe32(p + 32);
  if (width < 1 || width > 32767 || height < 1 || height > 32767) return {};
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return {};
  size_t colors = used != 0 ? used : (bits <= 8 ? size_t{1} << bits : 0);
  if (colors > 256) return {};
  const size_t stride = ((static_cast<size_t>(bits) * static_cast<size_t>(width) + 31) / 32) * 4;
  return {p, 40 + colors * 4 + stride * static_cast<size_t>(height)};
}

int funcQV600GetMICR(char* buffer, int size) {
  if (buffer == nullptr || size < 1) return 0;
  const std::string line = Qv600CodeLine();
  const size_t n = std::min(line.size(), static_cast<size_t>(size) - 1);
  std::memcpy(buffer, line.data(), n);
  buffer[n] = '\0';
  TraceAt(1, "End funcQV600GetMICR: iStatus = %d, psMICR = %s", 0, buffer);
  return 0;
}

int funcQV600GetFrontImage(const char* name, std::span<uint8_t> area, int32_t* size, int format, char* codeLine) {
  return CollectFront(Qv600().dibFront.load(std::memory_order_acquire), name, area, size, format, codeLine);
}

int funcQV600GetBackImage(const char* name, std::span<uint8_t> area, int32_t* size, int format) {
  return CollectBack(Qv600().dibBack.load(std::memory_order_acquire), name, area, size, format);
}

int funcGetImage(const char* frontName, const char* rearName, std::span<uint8_t> frontArea,
                 std::span<uint8_t> rearArea, int32_t* frontSize, int32_t* rearSize, char* codeLine,
                 int32_t* codeLineLength, int format) {
  QV600State& s = Qv600();
  const int index = s.connection.load();
  const int model = Model();
  CycleReads reads;
  CycleScope scope;

  // A cycle reached through the message pump of a running one leaves that one's state alone.
  TraceAt(2, "funcGetImage#1:");
  if (s.getImageBusy.load() != 0) {
    TraceAt(2, "funcGetImage#2:");
    return kFeederEmpty;
  }

  if (model == 30 && funcTableGetParam(191) == 1) {
    const Words w = reads.Take(Read());
    TraceAt(1, "*****START CHECKING STATUS status = %lx, %lx, %d", static_cast<unsigned long>(w.status),
            static_cast<unsigned long>(w.error), s.enableScan.load());
  }
  ClearImageTicks();
  bool extensionArmed = true;
  s.scannerStatus = 0;
  s.enableOK = 1;

  if (model == 30) {
    constexpr const char* kLine = "RM70 QV6GetStatus bReturn %d, dwStatusFlag %x, dwErrorFlag %x";
    Words w;
    if (funcTableGetParam(191) == 0) {
      w = reads.Take(Read());
      TraceWords(1, kLine, w);
      if (w.ok == 0) {
        s.enableOK = 0;
        return Qv6MappedError();
      }
      if (!Any(w.status, kStModeSelect)) {
        ZARNSetParam(191, 1);
        Api().reloadPending = true;
      }
    }
    w = reads.Take(Read());
    TraceWords(1, kLine, w);
    if (w.ok == 0) {
      s.enableOK = 0;
      return Qv6MappedError();
    }
    w = WaitWhileScanning(w, reads, kLine);
    if (w.error != 0 || (funcTableGetParam(191) == 1 && Any(w.status, kStExitJam | kStSyncSensor))) {
      int r = funcGetStatus(index);
      if (r == 0) r = kDocumentJam;
      TraceAt(1, "FAILING AT TOP OF GET IMAGE");
      return r;
    }
    if (Any(w.status, kStExitJam | kStError)) {
      TraceAt(1, "Error or PhotoJam on RM70 -- No Scan");
      return kDocumentJam;
    }
  }

  if (Api().reloadPending.load()) {
    Words w = reads.Take(Read());
    TraceWords(1, "UC QV6GetStatus bReturn %d, dwStatusFlag %x, dwErrorFlag %x", w);
    if (w.ok == 0 || (w.status | w.error) == 0) {
      w = reads.Take(ReadOnLine());
      if (w.ok == 0) s.enableOK = 0;
    }
    // A document on its way keeps the old configuration; the reload waits for a later cycle.
    if (!(s.enableScan.load() != 0 && Any(w.status, kStFeedSensor | kStScanning))) {
      TraceAt(2, "QV6DisableScan");
      s.enableOK = 0;
      Qv6().QV6DisableScan(index);
      s.enableScan = 0;
      Api().reloadPending = false;
      funcQV600Update(0x102);
    }
  }

  // A document the scanner fed and lost while no cycle ran (scanning left enabled between calls): its error
  // is this call's result, as it would have been had it failed during the wait. It reaches the caller
  // after the reload its error asked for and before scanning is enabled again, so no later document is fed
  // only to be dropped.
  if (const int met = TakeErrorBetweenCycles(); met < 0) {
    TraceAt(1, "Setting dwReturn %d with iScannerStatus", met);
    s.documentError = 0;
    ResetEarlyScan();
    // Scanning left on (the reload waits for an idle scanner) stays on: the next document may be on its
    // way, and what it delivered stays for the next call.
    const int r = s.enableScan.load() != 0 && funcTableGetParam(111) != 0 ? met : LeaveScanner(met, scope);
    TraceAt(2, "19dwReturn = %ld", static_cast<long>(r));
    return r;
  }
  TraceAt(2, "funcGetImage#3:  Before funcGetStatus1");
  if (s.errorOutstanding.exchange(0) != 0) {
    s.enableScan = 0;
    s.enableOK = 0;
    if (Qv6().QV6DisableScan(index) == 0) return Qv6MappedError();
    plat::Sleep(1);
  }
  if (int r = funcGetStatus(index); r < 0) return r;
  TraceAt(2, "funcGetImage#4:  Before funcGetStatus2");

  s.getImageBusy = 1;
  // A document the scanner fed whole before this call, kept while a reload switched scanning off, is this
  // call's document: clearing it and enabling would feed the next cheque over it.
  const uint32_t waiting = s.documentStatus.load(std::memory_order_acquire);
  const bool fedBefore = s.enableScan.load() == 0 && waiting != 0 &&
                         (waiting & ExpectedDocumentBits()) == ExpectedDocumentBits();
  if (s.enableScan.load() == 0 && !fedBefore) {
    if (model == 440) {
      int both = 0;
      for (int i = 0; i < 5; ++i) {
        const Words w = reads.Take(Read());
        TraceAt(1, "InterLock(%d) QV6GetStatus bReturn %d, dwStatusFlag %x, dwErrorFlag %x", i, w.ok, w.status,
                w.error);
        if ((w.status & (kStCoverOff | kStFeedSensor)) != (kStCoverOff | kStFeedSensor)) break;
        ++both;
        if (i < 4) plat::Sleep(100);
      }
      if (both == 5) {
        s.getImageBusy = 0;
        return kResetScanner;
      }
    }
    TraceAt(1, "QV6EnableScan");
    s.enableOK = 1;
    s.documentStatus = 0;
    if (Qv6().QV6EnableScan(index) == 0) {
      s.enableScan = 0;
      s.getImageBusy = 0;
      return Qv6MappedError();
    }
    s.enableScan = 1;
    s.enableOK = 1;
  }

  TraceAt(2, "funcGetImage#1: Scan Enabled");
  const uint32_t expected = ExpectedDocumentBits();

  const uint32_t t0 = Now();
  uint32_t base = t0 + (model == 30 ? 2000u : 2000u * static_cast<uint32_t>(s.checkAvailable.load() != 0));
  TraceAt(2, "1dwClockBeginTime = %ld, CurrentTime = %ld, iDocumentStatus = %d, iDocumentFormat = %d, "
             "iScannerStatus = %d",
          static_cast<long>(base), static_cast<long>(t0), static_cast<int>(s.documentStatus.load()),
          static_cast<int>(expected), s.scannerStatus.load());
  TraceAt(2, "funcGetImage#1: Starting");
  if (ModelIn({230, 440, 240}) && funcTableGetParam(160) != 0) base += 500;

  bool micrSeen = false;
  bool earlyStarted = false;
  auto complete = [&] { return (s.documentStatus.load(std::memory_order_acquire) & expected) == expected; };
  while (!complete()) {
    const uint32_t now = Now();
    if (plat::TickReached(now, base + static_cast<uint32_t>(funcTableGetParam(109)))) break;
    if (s.scannerStatus.load() < 0) break;
    plat::PumpThreadMessages();
    if (!complete()) plat::Sleep(1);
    const uint32_t bits = s.documentStatus.load(std::memory_order_acquire);
    if (extensionArmed && (bits & kDocScanning) != 0) {
      extensionArmed = false;
      if (model != 440) base += 5000;
    }
    if (!micrSeen && (bits & kDocCodeLine) != 0) {
      micrSeen = true;
      CallImageCallbacksWithMask(kVbMicrMask, kStMicrReady);
    }
    if (funcTableGetParam(160) != 0 && s.qv630Fast.load() == 0 && !earlyStarted && s.documentError.load() == 0 &&
        plat::TicksElapsed(t0, Now()) > 650) {
      earlyStarted = TryEarlyScan(reads, "QV6EnableEarlyScan 2");
    }
  }

  const uint32_t end = Now();
  TraceAt(1, "iDocumentStatus = %d, iDocumentFormat = %d, iScannerStatus = %d",
          static_cast<int>(s.documentStatus.load()), static_cast<int>(expected), s.scannerStatus.load());
  TraceAt(1, "dwClockBeginTime = %ld, Wait time = %ld, End Time = %ld", static_cast<long>(base),
          static_cast<long>(funcTableGetParam(109)), static_cast<long>(end));
  TraceAt(1, "funcGetImage#1: Done scan, get information");
  if (funcTableGetParam(168) != 0 && Any(Read().status, kStScanning)) {
    const uint32_t spinStart = Now();
    while (!complete() && plat::TicksElapsed(spinStart, Now()) < 5000) {
    }
  }
  TraceAt(2, "2dwClockEndTime   = %ld, CurrentTime = %ld, iDocumentStatus = %d, iDocumentFormat = %d, "
             "iScannerStatus = %d",
          static_cast<long>(base), static_cast<long>(Now()), static_cast<int>(s.documentStatus.load()),
          static_cast<int>(expected), s.scannerStatus.load());
  TraceAt(1, "funcGetImage#1: Done scan, get information");

  if (codeLineLength != nullptr) *codeLineLength = 0;
  if (s.enableScan.load() == 0 && !fedBefore) {
    // Disabled by a command dispatched during the wait (or an exit): the document's buffers may be gone.
    // (A document fed before the call was complete at once: no message was dispatched.)
    s.getImageBusy = 0;
    TraceAt(2, "NO Cheques -- iEnableScan Zero");
    EmptyDocument();
    return kFeederEmpty;
  }

  // This document's images, taken before an early scan lets the next one replace the pointers.
  const uint32_t arrived = s.documentStatus.load(std::memory_order_acquire);
  const void* frontDib = s.dibFront.load(std::memory_order_acquire);
  const void* backDib = s.dibBack.load(std::memory_order_acquire);

  if (funcTableGetParam(160) != 0 && s.qv630Fast.load() == 0 && !earlyStarted && s.documentError.load() == 0) {
    earlyStarted = TryEarlyScan(reads, "QV6EnableEarlyScan 3");
  }

  int result = 0;
  int statusMicr = 0, statusFront = 0, statusBack = 0;
  uint32_t collected = 0;
  char line[kCycleCodeLineSize] = {};
  if ((expected & kDocCodeLine) != 0 && (arrived & kDocCodeLine) != 0) {
    TraceAt(2, "funcGetImage#9: Get MICR");
    statusMicr = funcQV600GetMICR(line, static_cast<int>(kCycleCodeLineSize));
    collected |= kDocCodeLine;
  }
  if ((expected & kDocFront) != 0 && (arrived & kDocFront) != 0) {
    TraceAt(2, "funcGetImage#A: Get Front");
    statusFront = CollectFront(frontDib, frontName, frontArea, frontSize, format, line);
    collected |= kDocFront;
  }
  if ((expected & kDocRear) != 0 && (arrived & kDocRear) != 0) {
    TraceAt(2, "funcGetImage#B: Get Back");
    statusBack = CollectBack(backDib, rearName, rearArea, rearSize, format);
    collected |= kDocRear;
  }
  if (codeLine != nullptr) {
    std::memcpy(codeLine, line, std::strlen(line) + 1);
    if (codeLineLength != nullptr) *codeLineLength = static_cast<int32_t>(std::strlen(line));
  }

  if (collected != expected && s.scannerStatus.load() >= 0) {
    TraceAt(1, "iLocalDocumentFormat %d, iDocumentFormat %d, iScannerStatus %d", static_cast<int>(collected),
            static_cast<int>(expected), s.scannerStatus.load());
    TraceAt(1, "NO Cheques -- timeout");
    const int r = funcGetStatus(index);
    result = r < 0 ? r : kFeederEmpty;
    if (r >= 0 && model == 440) {
      const Words w = reads.Take(Read());
      TraceWords(1, "Timeout? Interlock QV6GetStatus bReturn %d, dwStatusFlag %x, dwErrorFlag %x", w);
      if ((w.status & (kStCoverOff | kStFeedSensor)) == (kStCoverOff | kStFeedSensor)) result = kResetScanner;
      else if (Any(w.status, kStExitJam)) result = kDocumentJam;
    }
  }

  if (s.enableOK.load() != 0 && s.enableScan.load() != 0 && funcTableGetParam(160) != 0 &&
      s.qv630Fast.load() != 0 && s.documentError.load() == 0 && s.earlyScanIssued - s.earlyScanUsed < 1) {
    // This read and the next are not the cycle's own reads for the closing early scan.
    const Words w = Read();
    TraceAt(1, "IStream iEnableOK %d, iEnableScan %d, SCANBATCH %d, Fast %d, DFStatus %d", s.enableOK.load(),
            s.enableScan.load(), funcTableGetParam(160), s.qv630Fast.load(), s.documentError.load());
    TraceAt(1, "RDY %x, iScanDif %d, Photo %x", w.status & kStEarlyScan, s.earlyScanIssued - s.earlyScanUsed,
            w.status & kStFeedSensor);
    if ((w.status & (kStEarlyScan | kStFeedSensor)) == (kStEarlyScan | kStFeedSensor)) IssueEarlyScan(nullptr);
  }

  s.earlyCheckAvailable = 0;
  if (collected == expected && s.earlyScanIssued > s.earlyScanUsed) {
    ++s.earlyScanUsed;
    const Words w = Read();
    if (Any(w.status, kStFeedSensor | kStSyncSensor) || (ModelIn({230, 240}) && Any(w.status, kStScanning))) {
      s.earlyCheckAvailable = 1;
    }
    TraceAt(2, "ScanEarly3 Status %08x, Error %08x, Check Available %d", w.status, w.error,
            s.earlyCheckAvailable.load());
  } else {
    ResetEarlyScan();
    if (s.batchPrintActive.load() != 0) BatchPrintString(1);
  }
  TraceAt(2, "funcGetImage#C: Done");

  if (ModelIn({230, 220, 440, 240}) && s.documentError.load() == kDoubleFeed) {
    TraceAt(1, "QV6ClearErrors 3");
    if (model == 440) {
      if (funcTableGetParam(32) == 1) {
        QV800SetPocket(1);
        plat::Sleep(200);
      }
      plat::Sleep(500);
    }
    SleepBlink();
    ClearErrorsTwice();
    result = kDoubleFeed;
    if (model == 440 && Any(reads.Take(Read()).status, kStExitJam)) result = kDocumentJam;
    result = DocumentCheck(result, line, frontDib);
  }
  s.documentError = 0;

  if (Api().reloadPending.load() && funcTableGetParam(184) == 0 && model != 30) {
    s.enableOK = 0;
    Qv6().QV6DisableScan(index);
    s.enableScan = 0;
    Api().reloadPending = false;
    funcQV600Update(0x102);
  }

  s.documentStatus = 0;
  s.getImageBusy = 0;
  s.errorOutstanding = 0;
  if (const int st = s.scannerStatus.load(); st < 0) {
    TraceAt(1, "Setting dwReturn %d with iScannerStatus", st);
    result = st;
  }
  if (s.qv630Speed.load() == 35) plat::Sleep(300);
  if (funcTableGetParam(180) != 0 && result >= 0 && ParseErrorLine(line)) result = kMicrParsingError;

  if (model == 30) {
    TraceAt(1, "****CHECKING REVERSE MODE*******");
    if (funcTableGetParam(191) == 1 && funcTableGetParam(195) == 0 && result == 0) {
      Words w = reads.Take(Read());
      TraceAt(1, "*****CHECKING STATUS status = %lx, %lx", static_cast<unsigned long>(w.status),
              static_cast<unsigned long>(w.error));
      w = WaitWhileScanning(w, reads, "*****CHECKING STATUS status = %x, %x, %x");
      if (w.error != 0) TraceAt(1, "JAM TESTING: dwErrorFlag = %8lx", static_cast<unsigned long>(w.error));
      if (w.error != 0 || Any(w.status, kStExitJam)) result = kDocumentJam;
    }
  }

  // This document's line and images are dropped before scanning is enabled again: the next document's
  // events may arrive as soon as it is, and must not be erased.
  EmptyDocument();

  result = LeaveScanner(result, scope);

  if (const int e = s.errorStatus.exchange(0); e != 0) {
    TraceAt(2, "1iErrorStatus = %d", e);
    ResetEarlyScan();
    return e;
  }
  if (statusFront != 0) {
    TraceAt(2, "1iStatusFront = %d", statusFront);
    ResetEarlyScan();
    return statusFront;
  }
  if (statusBack != 0) {
    TraceAt(2, "1iStatusBack = %d", statusBack);
    ResetEarlyScan();
    return statusBack;
  }
  if (statusMicr != 0) {
    TraceAt(2, "1iStatusMICR = %d", statusMicr);
    ResetEarlyScan();
    return statusMicr;
  }
  const char* method = funcTableGetParamString(159);
  const bool kr = method != nullptr && std::strncmp(method, "KR", 2) == 0;
  auto keepMagnetic = [&] {
    KrMicrResults& k = KRMicrResults();
    k = KrMicrResults{};
    if (s.analysis != nullptr) {
      funcGetMagneticMICRResults(*s.analysis, k.magnetic.line, k.magnetic.confidence, k.magnetic.positions,
                                 k.magnetic.secondLine, k.magnetic.secondConfidence);
    }
    std::lock_guard<std::mutex> lock(s.codeLineMutex);
    std::memcpy(k.internalKwl, s.internalKwlMicr, sizeof k.internalKwl - 1);
  };
  if (result != 0) {
    TraceAt(2, "19dwReturn = %ld", static_cast<long>(result));
    if (result == kDoubleFeed && kr) keepMagnetic();
    ResetEarlyScan();
    return result;
  }
  if (const int st = s.scannerStatus.load(); st < 0) {
    TraceAt(2, "1.1dwReturn = %ld", static_cast<long>(st));
    ResetEarlyScan();
    return st;
  }

  if (kr) keepMagnetic();
  if (ModelIn({240, 440}) && funcTableGetParam(160) != 0 && funcTableGetParam(196) == 0 &&
      funcTableGetParam(32) == 0) {
    TraceAt(1, "Enabled QV640/QV840 Early Next Scan");
    s.enableOK = 1;
    s.documentStatus = 0;
    s.enableScan = 1;
    scope.DocumentDone();
    Qv6().QV6EnableScan(index);
    if (reads.any && (reads.status & (kStEarlyScan | kStFeedSensor)) == (kStEarlyScan | kStFeedSensor) &&
        s.earlyScanIssued - s.earlyScanUsed < 1) {
      IssueEarlyScan("QV6EnableEarlyScan 1");
    }
  }
  TraceAt(2, "funcGetImage#E Returning");
  return 0;
}

}  // namespace zarn
