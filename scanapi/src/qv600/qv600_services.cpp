// The QV600 back-end's services outside the document cycle: maintenance mode, eject, clearing the paper
// track, firmware, pocket selection, franking and the magnetic settings.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/thread.h"
#include "zarn/api_state.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/qv600_services.h"
#include "zarn/status.h"
#include "zarn/trace.h"
#include "qv600_words.h"

namespace zarn {

using namespace qv600;

namespace {

constexpr uint32_t kStModeSelect = 0x2000;


// Reads until Scanning, once seen set, is seen clear again: at most 50 reads 40 ms apart.
void WatchEject() {
  bool seen = false;
  for (int i = 0; i < 50; ++i) {
    const Words w = Read();
    char line[120];
    std::snprintf(line, sizeof line, "*****EJECT DOCUMENT MODE 3 status = %lx, %lx, %d",
                  static_cast<unsigned long>(w.status), static_cast<unsigned long>(w.error), w.ok);
    funcLogMessage(line);
    if (Any(w.status, kStScanning)) seen = true;
    else if (seen) return;
    plat::Sleep(40);
  }
}

// Disables and enables again (scanning on) or only disables (off); 0 or the mapped error.
int Restart(bool leaveOn) {
  QV600State& s = Qv600();
  const int index = s.connection.load();
  s.enableScan = 0;
  s.enableOK = 0;
  if (Qv6().QV6DisableScan(index) == 0) return Qv6MappedError();
  if (!leaveOn) return 0;
  plat::Sleep(2);
  if (Qv6().QV6EnableScan(index) == 0) return Qv6MappedError();
  s.enableScan = 1;
  return 0;
}

}  // namespace

int funcQV600MaintenanceMode(int mode) {
  if (mode < 0 || mode > 1) return kBadParameter;
  if (!ModelIn({230, 440, 240, 215})) return kBadParameter552;
  if (Qv6().QV6MaintenanceMode(Qv600().connection.load(), mode) == 0) return Qv6MappedError();
  if (mode == 0) {
    Qv600().syncSensorSeen = 0;
    ResetEarlyScan();
  }
  return 1;
}

int funcQV600EjectDocument(int mode) {
  QV600State& s = Qv600();
  const int index = s.connection.load();
  s.syncSensorSeen = 0;
  ResetEarlyScan();
  if (mode == 3 && Model() == 30) {
    if (funcTableGetParam(191) != 2 || !Any(Read().status, kStModeSelect)) return kBadParameter;
    ZARNSetParam(191, 3);
    if (s.enableScan.load() == 0) {
      if (Qv6().QV6EnableScan(index) == 0) return Qv6MappedError();
      s.enableScan = 1;
      WatchEject();
      if (Qv6().QV6DisableScan(index) == 0) return Qv6MappedError();
      s.enableScan = 0;
    } else {
      if (int r = Restart(true); r != 0) return r;
      WatchEject();
    }
    ZARNSetParam(191, 2);
    return 0;
  }
  if (Qv6().QV6EjectDocument(index, mode) == 0) return Qv6MappedError();
  if (ModelIn({230, 215, 240, 440, 30})) {
    TraceAt(1, "QV6ClearErrors 6");
    ClearErrorsTwice();
    plat::Sleep(3000);
  }
  if (int r = Restart(s.enableScan.load() != 0); r != 0) return r;
  s.errorOutstanding = 0;
  return 0;
}

int funcQV600ClearDocument() {
  QV600State& s = Qv600();
  const int index = s.connection.load();
  const int present = ZARNGetParam(169);
  s.syncSensorSeen = 0;
  if (!ModelIn({230, 215, 240, 440, 30})) {
    ResetEarlyScan();
    return 0;
  }
  const int saved160 = funcTableGetParam(160);
  if (saved160 != 0) ZARNSetParam(160, 0);
  auto restore160 = [&] {
    if (saved160 != 0) ZARNSetParam(160, saved160);
  };
  TraceAt(2, "funcQV600ClearDocument#1:");
  if (s.getImageBusy.load() != 0) {
    TraceAt(2, "funcQV600ClearDocument#2:");
    restore160();
    return kFeederEmpty;
  }
  if (s.errorOutstanding.exchange(0) != 0) {
    s.enableScan = 0;
    s.enableOK = 0;
    if (Qv6().QV6DisableScan(index) == 0) {
      s.getImageBusy = 0;
      restore160();
      return Qv6MappedError();
    }
    plat::Sleep(1);
  }
  if (int r = funcGetStatus(index); r < 0) {
    restore160();
    return r;
  }
  if (present == 0) {
    restore160();
    TraceAt(2, "ZARNClearDocument - No Document - Disabling");
    ClearErrorsTwice();
    if (s.enableScan.load() != 0 && saved160 != 0) {
      s.enableScan = 0;
      s.enableOK = 0;
      if (Qv6().QV6DisableScan(index) == 0) return Qv6MappedError();
      plat::Sleep(2);
    }
    return kFeederEmpty;
  }
  s.getImageBusy = 1;
  if (s.enableScan.load() == 0) {
    TraceAt(1, "QV6EnableScan");
    s.enableOK = 1;
    s.documentStatus = 0;
    if (Qv6().QV6EnableScan(index) == 0) {
      s.enableScan = 0;
      s.getImageBusy = 0;
      restore160();
      return Qv6MappedError();
    }
    s.enableScan = 1;
    s.enableOK = 1;
  }

  const uint32_t expected = ExpectedDocumentBits();
  const uint32_t t0 = plat::GetTickCount();
  uint32_t deadline = t0 + (Model() == 30 ? 2000u : 2000u * static_cast<uint32_t>(s.checkAvailable.load() != 0));
  if (ModelIn({230, 440, 240}) && funcTableGetParam(160) != 0) deadline += 500;
  auto bits = [&] { return s.documentStatus.load(std::memory_order_acquire); };
  const char* kTimes = "%s = %ld, CurrentTime = %ld, iDocumentStatus = %d, iDocumentFormat = %d, iScannerStatus = %d";
  TraceAt(2, kTimes, "dwClockBeginTime", static_cast<long>(deadline), static_cast<long>(t0), static_cast<int>(bits()),
          static_cast<int>(expected), s.scannerStatus.load());
  TraceAt(2, "funcClearDocument#1: Starting");
  while ((bits() & expected) != expected) {
    if (plat::TickReached(plat::GetTickCount(), deadline + static_cast<uint32_t>(funcTableGetParam(109)))) break;
    if (s.scannerStatus.load() < 0) break;
    plat::PumpThreadMessages();
    plat::Sleep(1);
  }
  TraceAt(2, kTimes, "dwClockEndTime  ", static_cast<long>(deadline), static_cast<long>(plat::GetTickCount()),
          static_cast<int>(bits()), static_cast<int>(expected), s.scannerStatus.load());
  TraceAt(2, "funcClearDocument#1: Done scan, get information");

  if (s.enableScan.load() == 0) {
    TraceAt(2, "NO Cheques -- iEnableScan Zero");
    EmptyDocument();
    s.getImageBusy = 0;
    restore160();
    return kFeederEmpty;
  }
  int result = 0;
  if ((bits() & expected) != expected) {
    if (s.scannerStatus.load() >= 0) {
      TraceAt(1, "NO Cheques -- timeout");
      const int r = funcGetStatus(index);
      result = r < 0 ? r : kFeederEmpty;
    }
  } else if (s.earlyScanUsed < s.earlyScanIssued) {
    ++s.earlyScanUsed;
  } else if (s.batchPrintActive.load() != 0) {
    BatchPrintString(1);
  }
  restore160();
  if (s.documentError.load() == kDoubleFeed) {
    TraceAt(1, "QV6ClearErrors 3");
    ClearErrorsTwice();
    result = kDoubleFeed;
  }
  s.documentError = 0;
  s.documentStatus = 0;
  s.getImageBusy = 0;
  s.errorOutstanding = 0;
  if (s.scannerStatus.load() < 0) result = s.scannerStatus.load();

  if (result == kDocumentTooLong || result == kDocumentJam || result == kDoubleFeed || result == kFeedError) {
    s.batchPrintActive = 0;
    s.enableScan = 0;
    s.enableOK = 0;
    TraceAt(1, "QV6DisableScan");
    if (Qv6().QV6DisableScan(index) == 0) result = Qv6MappedError();
    if (ModelIn({230, 440, 240}) && funcTableGetParam(160) != 0 && Qv6().QV6DisableScan(index) == 0) {
      result = Qv6MappedError();
    }
    ResetEarlyScan();
  } else if (result == kFeederEmpty) {
    s.batchPrintActive = 0;
    s.enableScan = 0;
    s.enableOK = 0;
    if (Qv6().QV6DisableScan(index) == 0) result = Qv6MappedError();
    ResetEarlyScan();
  } else {
    s.enableScan = 0;
    s.enableOK = 0;
    TraceAt(1, "QV6DisableScan - cea2");
    Qv6().QV6DisableScan(index);
  }

  EmptyDocument();
  if (const int e = s.errorStatus.exchange(0); e != 0) {
    ResetEarlyScan();
    TraceAt(2, "1iErrorStatus = %d", e);
    return 0;
  }
  if (result != 0) {
    TraceAt(2, "17dwReturn = %ld", static_cast<long>(result));
    s.batchPrintActive = 0;
    ResetEarlyScan();
    return result;
  }
  // A clean clear: the document went through and nothing was recorded against it.
  TraceAt(2, "iStatusFront = %d", 0);
  return 0;
}

int funcQV600UpdateFirmware(const char* file) {
  if (Qv6().QV6UpdateFirmw(Qv600().connection.load(), file) == 0) return Qv6MappedError();
  return 1;
}

int funcQV600Frank(int a, int b, int c) {
  if (funcTableGetParam(196) != 3) return 1;
  // The device library reports success as non-zero (-1 on a model without a franker counts as done).
  if (Qv6().QV6Frank(Qv600().connection.load(), a & 0xFFFF, b & 0xFFFF, c & 0xFFFF) == 0) return Qv6MappedError();
  return 1;
}

}  // namespace zarn
