// Status reads of the QV600 back-end: the status-change callback, the read with error mapping used around
// document cycles, the scan switches, and the status calls of the API.
#include <algorithm>
#include <mutex>
#include <utility>

#include "platform/clock.h"
#include "zarn/api_state.h"
#include "zarn/lifecycle.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/status.h"
#include "zarn/trace.h"
#include "qv600_words.h"

namespace zarn {
namespace qv600 {

Words Read() {
  Words w;
  int status = 0, error = 0;
  w.ok = Qv6().QV6GetStatus(Qv600().connection.load(), &status, &error);
  w.status = static_cast<uint32_t>(status);
  w.error = static_cast<uint32_t>(error);
  return w;
}

int Model() { return Api().scannerModel; }
bool ModelIn(std::initializer_list<int> models) {
  return std::find(models.begin(), models.end(), Model()) != models.end();
}

void ClearErrorsTwice() {
  const int index = Qv600().connection.load();
  Qv6().QV6ClearErrors(index, 0);
  Qv6().QV6ClearErrors(index, 0);
}

void SleepBlink() {
  const int ms = funcTableGetParam(181);
  if (ms > 0 && ms <= 2000) plat::Sleep(static_cast<uint32_t>(ms));
}

void RecordScannerStatus(int code) {
  QV600State& s = Qv600();
  std::lock_guard<std::mutex> lock(s.cycleMutex);
  s.scannerStatus = code;
  if (s.cycleActive || s.enableScan.load() == 0 || s.errorBetweenCycles != 0) return;
  // No cycle is collecting and scanning was left on: the document the scanner fed since the last call
  // failed. What it delivered before is dropped, so the next document's events start from nothing, and
  // the error waits for the next call, whose document it is. (With scanning off no document was fed: an
  // error still shown is the last cycle's, which that cycle has reported.)
  s.errorBetweenCycles = code;
  s.documentStatus = 0;
  EmptyDocument();
}

int TakeErrorBetweenCycles() {
  QV600State& s = Qv600();
  std::lock_guard<std::mutex> lock(s.cycleMutex);
  return std::exchange(s.errorBetweenCycles, 0);
}

}  // namespace qv600

namespace {

using namespace qv600;

// The mechanical-condition rules of the models that report per-document errors (230, 220, 440, 240), for
// the status-change callback or for funcGetStatus.
void ModelRules(const Words& w, bool callback) {
  QV600State& s = Qv600();
  if (!ModelIn({230, 220, 440, 240}) || w.error == 0) return;
  if (funcTableGetParam(184) != 0 && Any(w.error, kErJam) && ModelIn({440, 230, 240})) {
    if (callback) RecordScannerStatus(kDocumentJam);
    else s.scannerStatus = kDocumentJam;
  } else if (Any(w.error, kErDoubleFeed) && funcTableGetParam(7) == 2) {
    // The callback's line has a conversion without a type where the status word stands ("SF = %,"),
    // which prints nothing sensible; the status word is printed there in hexadecimal.
    if (callback) TraceAt(1, "DF5: bR = %5d, ST = %5d, SF = %x, EF = %x = DF", w.ok, Model(), w.status, w.error);
    else TraceAt(1, "2:DFStat = DF, dwEF = %lx", static_cast<unsigned long>(w.error));
    s.documentError = kDoubleFeed;
  } else {
    TraceAt(1, "%s", callback ? "QV6ClearErrors 1" : "QV6ClearErrors 2");
    SleepBlink();
    ClearErrorsTwice();
    s.documentError = callback ? kDocumentJam : kDoubleFeed;
  }
}

// The error word's result, first match wins; 0 when none of these bits is set. Bit 0x100 is recorded.
int ErrorWordResult(uint32_t error) {
  int r = 0;
  if (Any(error, kErSelfTest)) r = kSelfTestFault;
  else if (Any(error, kErDocInsert)) r = kFeedError;
  else if (Any(error, kErDocTooLong)) r = kDocumentTooLong;
  else if (Any(error, kErDoubleFeed) && funcTableGetParam(7) != 2) r = kDoubleFeed;
  else if (Any(error, kErJam)) r = kDocumentJam;
  if (r != 0 || Any(error, kErOther)) Api().reloadPending = true;
  return r;
}

}  // namespace

namespace qv600 {

Words ReadOnLine() {
  Words w = Read();
  if (w.ok != 0 && (w.status | w.error) != 0) return w;
  TraceAt(2, "Waiting for QV6GetStatus to come on line.");
  const uint32_t deadline = plat::GetTickCount() + static_cast<uint32_t>(std::max(0, funcTableGetParam(139)));
  while (!plat::TickReached(plat::GetTickCount(), deadline)) {
    plat::Sleep(10);
    w = Read();
    if (w.ok != 0 && (w.status | w.error) != 0) break;
  }
  return w;
}

}  // namespace qv600

namespace {

// Disables scanning when this back-end or the device has it on.
void DisableIfEnabled(const Words& w) {
  QV600State& s = Qv600();
  if (s.enableScan.load() != 0 || Any(w.status, kStScanEnable)) {
    TraceAt(1, "QV6DisableScan");
    s.enableOK = 0;
    Qv6().QV6DisableScan(s.connection.load());
    s.enableScan = 0;
  }
}

int StatusCommon(bool check) {
  QV600State& s = Qv600();
  const int index = s.connection.load();
  if (s.errorOutstanding.exchange(0) != 0) {
    bool ok;
    if (s.enableScan.load() != 0) {
      s.enableScan = 0;
      s.enableOK = 0;
      ok = Qv6().QV6DisableScan(index) != 0;
      if (ok) {
        plat::Sleep(1);
        ok = Qv6().QV6EnableScan(index) != 0;
        if (ok) s.enableScan = 1;
      }
    } else {
      ok = Qv6().QV6DisableScan(index) != 0;
    }
    if (!ok) {
      s.enableScan = 0;
      return Qv6MappedError();
    }
  }
  Words w = ReadOnLine();
  TraceAt(2, check ? "7Check: QV6GetStatus iStatus %d, dwQv6Status %x, dwQv6Errs %x"
                   : "7: QV6GetStatus iStatus %d, dwQv6Status %x, dwQv6Errs %x",
          w.ok, w.status, w.error);
  if (w.ok == 0) {
    Api().reloadPending = true;
    return Qv6MappedError();
  }
  if (s.enableScan.load() == 0 && Model() == 440 && (w.status & (kStCoverOff | kStFeedSensor)) == (kStCoverOff | kStFeedSensor)) {
    for (int i = 0; i < 5; ++i) {
      const Words again = Read();
      TraceAt(1, "InterLock2(%d) QV6GetStatus bReturn %d, dwQv6Status %x, dwQv6Errs %x", i, again.ok, again.status,
              again.error);
      if ((again.status & (kStCoverOff | kStFeedSensor)) != (kStCoverOff | kStFeedSensor)) break;
      if (i < 4) {
        plat::Sleep(100);
      } else {
        s.getImageBusy = 0;
        return kResetScanner;
      }
    }
  }
  const int inkJet = funcTableGetParam(31);
  if (Any(w.status, kStPowerOn)) {
    TraceAt(1, "QV6ClearPowerOnFlag");
    Qv6().QV6ClearPowerOnFlag(index);
    TraceAt(2, "funcQV600Update");
    funcQV600Update(0x102);
    TraceAt(2, "funcQV600Status2");
    w = Read();
    TraceAt(2, "8: QV6GetStatus iStatus %d, dwStatusFlag %x, dwErrorFlag %x", w.ok, w.status, w.error);
  }
  if ((w.status | w.error) == 0) {
    Api().reloadPending = true;
    return kNoOpenDevice;
  }
  if (ModelIn({230, 215, 440, 30, 240}) && w.error != 0 &&
      !(funcTableGetParam(7) == 2 && Any(w.error, kErDoubleFeed)) &&
      !(funcTableGetParam(184) != 0 && Any(w.error, kErJam) && ModelIn({440, 230, 30, 240}))) {
    TraceAt(1, "QV6ClearErrors 5");
    if (!check) SleepBlink();
    ClearErrorsTwice();
  }
  if (!Any(w.status, kStInkJet) && inkJet != 0 && funcTableGetParam(164) != 0) return kNoInkJetHead;
  if (int r = ErrorWordResult(w.error); r != 0) return r;
  if (Any(w.error, kErOther)) {
    s.scannerStatus = kDeviceErrorRecorded;
    return 0;
  }
  if (funcTableGetParam(111) == 0) {
    const bool early = ModelIn({230, 440, 240}) && funcTableGetParam(160) != 0;
    if (!early) return check ? 0 : (Any(w.status, kStFeedSensor) ? 1 : 0);
    const bool scanningCounts = ModelIn({230, 240}) && Any(w.status, kStScanning);
    const bool sensors = check ? Any(w.status, kStSyncSensor) : Any(w.status, kStFeedSensor | kStSyncSensor);
    if (s.earlyCheckAvailable.load() == 0) {
      if (sensors || scanningCounts || s.syncSensorSeen.load() != 0) s.earlyCheckAvailable = 1;
    } else if (s.syncSensorSeen.load() == 0 && !Any(w.status, kStFeedSensor | kStSyncSensor | kStScanning)) {
      s.earlyCheckAvailable = 0;
    }
    if (!check && Any(w.status, kStFeedSensor)) return 1;
    return s.earlyCheckAvailable.load();
  }
  uint32_t present = kStScanning | kStMicrReady | kStFrontReady | kStRearReady;
  if (!check) present |= kStFeedSensor;
  return Any(w.status, present) ? 1 : 0;
}

}  // namespace

void cbStatusChange(int event, intptr_t value) {
  QV600State& s = Qv600();
  TraceAt(2, "Start cbStatusChange(%d,%d)", event, static_cast<int>(value));
  const Words w = Read();
  if (Any(w.status, kStSyncSensor)) s.syncSensorSeen = 1;
  TraceAt(1, "QV6GetStatus bReturn %d, dwStatusFlag %x, dwErrorFlag %x", w.ok, w.status, w.error);
  if (w.ok == 0) {
    TraceAt(1, "cbStatusChange: %d", Qv6MappedError());
    Api().reloadPending = true;
  } else {
    ModelRules(w, true);
    if (int r = ErrorWordResult(w.error); r != 0) {
      RecordScannerStatus(r);
    } else if (Any(w.error, kErOther)) {
      RecordScannerStatus(kDeviceErrorRecorded);
    } else {
      if (Any(w.status, kStError)) s.enableOK = 0;
      // The fast class starts the next document as soon as the scanner can take it.
      if (s.enableOK.load() != 0 && s.enableScan.load() != 0 && funcTableGetParam(160) != 0 &&
          s.qv630Fast.load() != 0 && s.documentError.load() == 0 &&
          (w.status & (kStEarlyScan | kStFeedSensor | kStDoubleFeed)) == (kStEarlyScan | kStFeedSensor) &&
          s.earlyScanIssued - s.earlyScanUsed < 1) {
        IssueEarlyScan("QV6EnableEarlyScan STChg");
      }
    }
  }
  if (Any(w.status, kStScanning)) s.documentStatus.fetch_or(kDocScanning, std::memory_order_release);
  if (funcTableGetParam(183) != 0) {
    // The feeder beep: when a document is put in after the feeder was clear for more than 200 ms (the
    // tick starts at 1, so the first covered feeder beeps).
    if (Any(w.status, kStFeedSensor)) {
      const uint32_t clear = s.feederClearTick.exchange(0);
      if (clear != 0 && plat::TicksElapsed(clear, static_cast<uint32_t>(funcGetTickCount())) > 200) ApiMessageBeep(1);
    } else if (s.feederClearTick.load() == 0) {
      s.feederClearTick = std::max<uint32_t>(1, static_cast<uint32_t>(funcGetTickCount()));
    }
  }
  if (Any(w.status, kStRearReady)) {
    uint32_t zero = 0;
    s.rearReadyTick.compare_exchange_strong(zero, static_cast<uint32_t>(funcGetTickCount()));
  } else {
    s.rearReadyTick = 0;
  }
  // The image-callback table: an entry is called once while all its mask bits are shown. Calls are made
  // outside the table's lock, so a callback may register or remove entries.
  ZarnCallbackEntry due[kImageCallbackSlots];
  int dueIndex[kImageCallbackSlots];
  int dueCount = 0;
  {
    std::lock_guard<std::mutex> lock(s.callbackMutex);
    for (int i = 0; i < kImageCallbackSlots && s.imageCallbacks[i].function != nullptr; ++i) {
      ZarnCallbackEntry& e = s.imageCallbacks[i];
      if (e.mask == kStMicrReady) {
        e.tick = 0;
      } else if ((e.mask & w.status) == e.mask) {
        if (e.tick == 0) {
          e.tick = std::max<uint32_t>(1, static_cast<uint32_t>(funcGetTickCount()));
          dueIndex[dueCount] = i;
          due[dueCount++] = e;
        }
      } else {
        e.tick = 0;
      }
    }
  }
  for (int k = 0; k < dueCount; ++k) {
    TraceAt(2, "Calling stImageCallBack[%d], dwEvent %x", dueIndex[k], due[k].mask);
    due[k].function(w.status);
    TraceAt(2, "Back From stImageCallBack[%d]", dueIndex[k]);
  }
  TraceAt(2, "End cbStatusChange");
}

int funcGetStatus(int connection) {
  QV600State& s = Qv600();
  (void)connection;  // the back-end's one connection
  TraceAt(1, "Start funcGetStatus");
  s.checkAvailable = 0;
  Words w = ReadOnLine();
  TraceAt(2, "3: QV6GetStatus: bReturn = %d, dwStatusFlag = 0x%lx, dwErrorFlag = 0x%lx", w.ok,
          static_cast<unsigned long>(w.status), static_cast<unsigned long>(w.error));
  if (w.ok == 0) {
    Api().reloadPending = true;
    return Qv6MappedError();
  }
  if (Any(w.status, kStError)) s.enableOK = 0;
  if ((w.status | w.error) == 0) {
    Api().reloadPending = true;
    return kNoOpenDevice;
  }
  if (Any(w.status, kStPowerOn)) {
    TraceAt(1, "QV6ClearPowerOnFlag");
    Qv6().QV6ClearPowerOnFlag(s.connection.load());
    funcQV600Update(0x102);
    TraceAt(2, "funcGetStatus2");
    w = Read();
    TraceAt(2, "QV6GetStatus bReturn %d, dwStatusFlag %x, dwErrorFlag %x", w.ok, w.status, w.error);
    if ((w.status | w.error) == 0) {
      Api().reloadPending = true;
      return kNoOpenDevice;
    }
  }
  ModelRules(w, false);
  if (int r = ErrorWordResult(w.error); r != 0) return r;
  if (Any(w.error, kErOther)) s.scannerStatus = kDeviceErrorRecorded;
  if (Any(w.status, kStScanning | kStFeedSensor)) {
    s.checkAvailable = 1;
    TraceAt(1, "A Check is Available or Ready");
  }
  if (Any(w.status, kStInkJet) || funcTableGetParam(31) == 0) {
    TraceAt(2, "End funcGetStatus: bReturn = %d, dwStatusFlag = 0x%lx, dwErrorFlag = 0x%lx", w.ok,
            static_cast<unsigned long>(w.status), static_cast<unsigned long>(w.error));
    return 0;
  }
  return kNoInkJetHead;
}

int funcQV600Disable() {
  TraceAt(1, "funcQV600Disable");
  const Words w = Read();
  TraceAt(1, "QV6GetStatus bReturn %d, dwStatusFlag %x, dwErrorFlag %x", w.ok, w.status, w.error);
  if (Any(w.status, kStScanning)) return kScannerBusyScanning;
  DisableIfEnabled(w);
  return 1;
}

int funcQV600Update(int flags) {
  QV600State& s = Qv600();
  TraceAt(1, "funcQV600Update#1:");
  const Words w = Read();
  TraceAt(1, "QV6GetStatus bReturn %d, dwStatusFlag %x, dwErrorFlag %x", w.ok, w.status, w.error);
  const int pending = w.ok == 0 ? Qv6MappedError() : 0;
  if (Any(w.status, kStScanning)) return kScannerBusyScanning;
  if (s.enableScan.load() != 0 || Any(w.status, kStScanEnable)) {
    DisableIfEnabled(w);
    // A document the scanner fed while scanning was left on waits for the next scan call, which takes it
    // with scanning off; enabling again now would feed another cheque over it.
    if ((flags & 0x100) && s.documentStatus.load(std::memory_order_acquire) == 0) flags |= 1;
  }
  if (flags & 2) {
    TraceAt(1, "QV6InitDeviceFromFile");
    if (int r = WriteDriverFileRows(); r < 0) return r;
    if (Qv6().QV6InitDeviceFromFile(s.connection.load(), Qv600DriverFileName(), "QV600 CONFIG") == 0)
      return Qv6MappedError();
  }
  if (flags & 1) {
    TraceAt(1, "QV6EnableScan");
    if (Qv6().QV6EnableScan(s.connection.load()) == 0) {
      s.enableScan = 0;
      return Qv6MappedError();
    }
    s.enableScan = 1;
  }
  TraceAt(1, "funcQV600Update#2:");
  return pending != 0 ? pending : 1;
}

int funcQV600Status() { return StatusCommon(false); }

int funcQV600StatusCheck() {
  TraceAt(1, "funcQV600StatusCheck");
  return StatusCommon(true);
}

}  // namespace zarn
