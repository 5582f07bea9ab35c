// Opening and closing the QV600 connection, with the firmware descriptor the device library reads.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/thread.h"
#include "zarn/api_state.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

constexpr int kFirmwareParam = 138;
constexpr uint32_t kOnLineWaitMs = 15000;
constexpr size_t kMaxValue = 255;

FirmwareFileRow g_rows[kFirmwareRows + 1] = {
    {138, "QV620 DRIVER", "QV620_Firmw", "QV620firmware.bin", ""},
    {138, "QV620 DRIVER", "QV630_Firmw", "QV630firmware.bin", ""},
    {138, "QV620 DRIVER", "QV840_Firmw", "QV840firmware.bin", ""},
    {138, "QV620 DRIVER", "RM70_Firmw", "RM70firmware.bin", ""},
    {138, "QV620 DRIVER", "RM70KF_Firmw", "RM70KFfirmware.bin", ""},
    {138, "QV620 DRIVER", "QV640_Firmw", "QV640firmware.bin", ""},
    {113, "QV600 CONFIG", "PRINTER Font 12dot", ".\\Qv600_IJASCIIFont.fnt", ""},
    {-1, "", "", "", ""},
};

// How each firmware row recognises its model in a file name: the compared characters and where, counted
// back from the end of the name, the model word begins.
struct ModelRule {
  const char* compared;   // upper case
  size_t comparedFromEnd;  // start of the compared characters, back from the end
  size_t wordFromEnd;      // start of the model word (the cut), back from the end
  const char* replacement;
};
constexpr ModelRule kModelRules[6] = {
    {"620", 15, 17, "QV620Firmware.bin"},   {"630", 15, 17, "QV630Firmware.bin"},
    {"840", 15, 17, "QV840Firmware.bin"},   {"RM70", 16, 16, "RM70Firmware.bin"},
    {"RM70KF", 18, 18, "RM70KFFirmware.bin"}, {"640", 15, 17, "QV640Firmware.bin"},
};

bool Names(const std::string& v, const ModelRule& r) {
  // The rule applies only when its model word starts inside the value.
  if (v.size() < 15 || v.size() < r.wordFromEnd || v.size() < r.comparedFromEnd) return false;
  return v.compare(v.size() - r.comparedFromEnd, std::strlen(r.compared), r.compared) == 0;
}

std::string Upper(std::string v) {
  for (char& c : v)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return v;
}

std::string CutTo(std::string v, size_t n) {
  if (v.size() > n) v.resize(n);
  return v;
}

void CopyValue(char (&dst)[256], const std::string& v) {
  const std::string cut = CutTo(v, kMaxValue);
  std::memcpy(dst, cut.c_str(), cut.size() + 1);
}

int CloseOpenConnection() {
  QV600State& s = Qv600();
  if (!s.connectionOpen.exchange(false) || !Qv6Loaded()) return 0;
  const int r = Qv6().QV6CloseConnection(s.connection.load()) == 0 ? Qv6MappedError() : 0;
  DropConnectionDecoders();
  return r;
}

}  // namespace

FirmwareFileRow* QV600FirmwareTable() { return g_rows; }

std::string DeriveFirmwareName(const std::string& value, int row) {
  const std::string& v = value;
  if (row < 0 || row >= 6) return v;
  for (int other = 0; other < 6; ++other) {
    const ModelRule& r = kModelRules[other];
    if (!Names(v, r)) continue;
    if (other == row) return v;
    return v.substr(0, v.size() - r.wordFromEnd) + kModelRules[row].replacement;
  }
  return v;
}

std::string RenameFirmwareForRow(const std::string& name, int row) {
  // Models in firmware-row order; each row's set of other models it recognises by their file names.
  static constexpr const char* kFileNames[6] = {"QV620FIRMWARE.BIN", "QV630FIRMWARE.BIN", "QV840FIRMWARE.BIN",
                                                "RM70FIRMWARE.BIN",  "RM70KFFIRMWARE.BIN", "QV640FIRMWARE.BIN"};
  static constexpr unsigned kRecognised[6] = {0b111110, 0b111101, 0b011011, 0b110111, 0b101111, 0b011111};
  if (row < 0 || row >= 6 || name.size() < 15) return name;
  for (int other = 0; other < 6; ++other) {
    const size_t len = std::strlen(kFileNames[other]);
    if (name.size() < len || name.compare(name.size() - len, len, kFileNames[other]) != 0) continue;
    if ((kRecognised[row] & (1u << other)) == 0) return name;  // the row's own model, or one it keeps
    return name.substr(0, name.size() - len) + kModelRules[row].replacement;
  }
  return name;
}

std::string DescriptorFileName(const char* cfgPath) {
  const size_t n = cfgPath != nullptr ? std::strlen(cfgPath) : 0;
  if (n == 0 || n + 11 > 255) return ".\\qv8cfg.tmp";
  std::string name = cfgPath;
  if (name.back() != '\\') name += '\\';
  return name + "qv8cfg.tmp";
}

int funcQV600Init(const char* iniPath, const char* cfgPath) {
  TraceAt(1, "funcQV600Init");
  if (int r = LoadQv6Library(); r < 0) return r;
  QV600State& s = Qv600();
  const Qv6Exports& qv6 = Qv6();
  int result = 0;

  // A connection still open from a failed start would keep its thread writing the same state.
  CloseOpenConnection();

  char sysDir[256] = {};
  const uint32_t sysLen = plat::GetSystemDirectoryA(sysDir, sizeof sysDir);
  const std::string descriptor = DescriptorFileName(cfgPath);
  if (sysLen > 0 && sysLen < sizeof sysDir) {
    std::string folder = sysDir;
    if (folder.back() != '\\') folder += '\\';
    folder += "drivers\\";
    for (int i = 0; i < 20 && g_rows[i].id != -1; ++i) {
      FirmwareFileRow& row = g_rows[i];
      if (row.id != kFirmwareParam) continue;
      const std::string defaultPath = folder + row.defaultName;
      std::string value = funcTableGetParamString(kFirmwareParam) != nullptr
                              ? funcTableGetParamString(kFirmwareParam)
                              : "";
      if (value.empty()) {
        value = plat::ReadProfileString("ACQ. SETUP", "Firmware File", defaultPath, iniPath);
      }
      value = DeriveFirmwareName(Upper(value), i);
      if (value.size() > kMaxValue) {
        // The library's field holds 255 characters: a longer path would name another file.
        TraceAt(1, "Firmware path for %s longer than %zu characters, not written", row.key, kMaxValue);
        continue;
      }
      CopyValue(row.value, value);
      plat::WritePrivateProfileStringA(row.section, row.key, row.value, descriptor.c_str());
    }
    qv6.QV6SetEnv(descriptor.c_str(), "QV620 DRIVER");
  }

  // Cleared before opening: only this connection's connected event may set it again.
  s.deviceOnLine.store(0);
  {
    // An error a former connection met between cycles is not this one's.
    std::lock_guard<std::mutex> lock(s.cycleMutex);
    s.errorBetweenCycles = 0;
  }
  TraceAt(1, "Before QV6OpenConnection");
  const int index = qv6.QV6OpenConnection(1, 0, 0);
  TraceAt(1, "After QV6OpenConnection");
  TraceAt(1, "dwDevice ID = %d", index);
  if (index == 0) return Qv6MappedError();
  s.connection.store(index);
  s.connectionOpen = true;
  OpenConnectionDecoders();

  const char* method = funcTableGetParamString(159);
  const bool kr = method != nullptr && std::strncmp(method, "KR", 2) == 0;
  struct Registration {
    int event;
    QV6EventCallback function;
  };
  const Registration registrations[] = {
      {QV6_EVENT_CONNECTED, cbDeviceOnLine},
      {QV6_EVENT_DISCONNECTED, cbDeviceOffLine},
      {QV6_EVENT_STATUS, cbStatusChange},
      kr ? Registration{QV6_EVENT_MICR_SAMPLES, cbMICRRaw} : Registration{QV6_EVENT_MICR, cbMICR},
      {QV6_EVENT_FRONT_IMAGE, cbFrontImage},
      {QV6_EVENT_REAR_IMAGE, cbRearImage},
  };
  for (const Registration& r : registrations)
    if (qv6.QV6SetEventFunction(index, r.event, r.function) < 1) result = Qv6MappedError();

  const uint32_t deadline = plat::GetTickCount() + kOnLineWaitMs;
  int status = 0, error = 0;
  while (s.deviceOnLine.load(std::memory_order_acquire) == 0 && !plat::TickReached(plat::GetTickCount(), deadline)) {
    plat::PumpThreadMessages();
    plat::Sleep(10);
    TraceAt(2, "QV6GetStatus");
    status = error = 0;
    const int ok = qv6.QV6GetStatus(index, &status, &error);
    TraceAt(2, "5: QV6GetStatus bReturn %d, dwStatusFlag %x, dwErrorFlag %x, TickCount = %ld", ok, status, error,
            static_cast<long>(plat::GetTickCount()));
    if (ok == 0) result = Qv6MappedError();
    if (static_cast<uint32_t>(status) & kStConnected) s.deviceOnLine.store(1);
  }
  TraceAt(1, "Initialized");
  TraceAt(1, "iInitStatus = %d, iStatus = %d", s.deviceOnLine.load(), result);

  if (s.deviceOnLine.load() == 0 && result == 0) {
    const int r = funcGetStatus(index);
    if (r < 0) {
      CloseOpenConnection();
      return kScannerMissing;
    }
    status = error = 0;
    const int ok = qv6.QV6GetStatus(index, &status, &error);
    TraceAt(2, "6: QV6GetStatus bReturn %d, dwStatusFlag %x, dwErrorFlag %x", ok, status, error);
    if (ok == 0) {
      CloseOpenConnection();
      return kScannerMissing;
    }
    if (static_cast<uint32_t>(status) & kStConnected) {
      s.deviceOnLine.store(1);
      return r;
    }
    return kScannerMissing;  // the connection stays open
  }
  return result;
}

int funcQV600Exit() {
  QV600State& s = Qv600();
  TraceAt(2, "funcQV600Exit");
  const uint32_t start = plat::GetTickCount();
  const auto wait = static_cast<uint32_t>(std::max(0, funcTableGetParam(109)));
  while (s.getImageBusy.load() != 0 && plat::TicksElapsed(start, plat::GetTickCount()) < wait) plat::Sleep(1);
  TraceAt(2, "funcQV600Exit After Wait");
  if (!Qv6Loaded()) return 0;
  const Qv6Exports& qv6 = Qv6();
  const int index = s.connection.load();
  int result = 0;
  if (s.enableScan.load() != 0) {
    TraceAt(2, "QV6DisableScan");
    s.enableOK = 0;
    if (qv6.QV6DisableScan(index) == 0) result = Qv6MappedError();
    s.enableScan = 0;
  }
  TraceAt(2, "QV6SetEventFunctions to NULL");
  for (int event = 0; event <= 5; ++event)
    if (qv6.QV6SetEventFunction(index, event, nullptr) < 1) result = Qv6MappedError();
  TraceAt(2, "QV6CloseConnection");
  if (qv6.QV6CloseConnection(index) == 0) result = Qv6MappedError();
  s.connectionOpen = false;
  // The polling thread is joined by the close: the decoder state can go.
  DropConnectionDecoders();
  plat::Sleep(10);
  return result;
}

}  // namespace zarn
