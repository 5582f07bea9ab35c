// The scanner-manager reporting client.
#include "zarn/ferlo.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/dynlib.h"
#include "platform/environment.h"
#include "zarn/api_state.h"
#include "zarn/lifecycle.h"
#include "zarn/params.h"
#include "zarn/record_file.h"
#include "zarn/statistics.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

constexpr const char* kEntryNames[kFerloEntryPoints] = {
    "Reserved1", "Initialize", "SetSerialNumber", "GetStatus", "BeginDocument", "WriteData",
    "EndDocument", "ShutDown",  "TrackIsIdle",     "SetOptionsFile", "SetOption"};

plat::ModuleHandle g_module = nullptr;
void* g_entries[kFerloEntryPoints] = {};
FerloInterface* g_interface = nullptr;
bool g_active = false;
StatisticsDevice g_scannerDevice;
StatisticsDevice* g_device = nullptr;

StatisticsDevice& Device() { return g_device != nullptr ? *g_device : g_scannerDevice; }

// The wrappers reach the object only once it is there.
FerloInterface* Object() { return g_interface; }

std::string Text(const char* fmt, int value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, fmt, value);
  return buf;
}

int Count(const char* text, char c) {
  int n = 0;
  for (const char* p = text; *p != '\0'; ++p) n += *p == c ? 1 : 0;
  return n;
}

}  // namespace

void FerloInitialize(const char* v, const char* f, const char* m) { if (auto* o = Object()) o->Initialize(v, f, m); }
void FerloSetSerialNumber(const char* s) { if (auto* o = Object()) o->SetSerialNumber(s); }
int FerloGetStatus() { auto* o = Object(); return o != nullptr && o->GetStatus() != 0 ? 1 : 0; }
void FerloBeginDocument() { if (auto* o = Object()) o->BeginDocument(); }
void FerloWriteData(const char* s, const char* k, const char* v) { if (auto* o = Object()) o->WriteData(s, k, v); }
void FerloEndDocument() { if (auto* o = Object()) o->EndDocument(); }
void FerloShutDown() { if (auto* o = Object()) o->ShutDown(); }
void FerloSlot7() { if (auto* o = Object()) o->Slot7(); }
int FerloSlot8() { auto* o = Object(); return o != nullptr && o->Slot8() != 0 ? 1 : 0; }
void FerloSetOptionsFile(intptr_t v) { if (auto* o = Object()) o->SetOptionsFile(v); }
void FerloSetOption(intptr_t a, intptr_t b) { if (auto* o = Object()) o->SetOption(a, b); }

int funcResolveFerloEntryPoints() {
  int found = 0;
  for (int i = 0; i < kFerloEntryPoints; ++i) {
    g_entries[i] = plat::GetProcAddress(g_module, kEntryNames[i]);
    found += g_entries[i] != nullptr ? 1 : 0;
  }
  return found;
}

int FerloLoad(const char* fileName) {
  std::string name;
  if (fileName != nullptr && fileName[0] != '\0') {
    name = fileName;
  } else {
    const std::string folder = plat::ExpandEnvironmentStrings("%FERLO_PATH%");
    name = folder.size() > std::strlen("%FERLO_PATH%") ? folder + "\\" + kFerloLibraryName : kFerloLibraryName;
  }
  // Never unloaded: the manager may keep threads of its own.
  g_module = plat::LoadLibraryA(name.c_str());
  if (g_module == nullptr) return 2;
  if (funcResolveFerloEntryPoints() < kFerloEntryPoints) return 2;
  g_interface = reinterpret_cast<FerloReserved1>(g_entries[0])();
  return 0;
}

int FerloInit() {
  g_active = false;
  const int family = Api().scannerFamily;
  std::string serial, vendor, product, release;
  int documents = 0, minutes = 0;
  if (funcTableGetParam(186) != 0) {
    Device().Serial(family, serial, documents, minutes);
    Device().Info(vendor, product, release);
    const std::string now = Device().Now();  // "yyyy:mm:dd hh:mm:ss"
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    std::sscanf(now.c_str(), "%d:%d:%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
    char line[kRecordLineMax + 1];
    std::snprintf(line, sizeof line, "I%s|%04d|%02d|%02d|%02d|%02d|%02d|%d|%d|%d|%s|%d|", serial.c_str(), y, mo, d, h,
                  mi, s, funcTableGetParam(167), funcGetApiVersion(), funcGetQv6DllVersion(), release.c_str(),
                  documents);
    FerloWriteRecord(line);
  }
  if (funcTableGetParam(182) == 0) return 1;
  const char* path = funcTableGetParamString(177);
  int r;
  if (path != nullptr && path[0] != '\0') {
    TraceAt(2, "%s", path);
    r = FerloLoad(path);
  } else {
    TraceAt(2, "FerloLoad(NULL)");
    r = FerloLoad(nullptr);
  }
  if (r != 0) {
    TraceAt(2, "FerloLoad FAILED");
    return 2;
  }
  g_active = true;
  serial.clear();
  Device().Serial(family, serial, documents, minutes);
  Device().Info(vendor, product, release);
  FerloInitialize(vendor.c_str(), "Orvisca Scanner", Text("Qv%d", funcTableGetParam(167)).c_str());
  FerloSetSerialNumber(serial.c_str());
  FerloWriteData("WorkstationID", "ScannerFirmwareVersion", release.c_str());
  FerloWriteData("WorkstationID", "ScannerAPIVersion", Text("%d", funcGetApiVersion()).c_str());
  FerloWriteData("WorkstationID", "LifetimeDocumentCount", Text("%d", documents).c_str());
  FerloWriteData("WorkstationID", "SecondaryApiVersion", Text("%d", funcGetQv6DllVersion()).c_str());
  TraceAt(2, "Ferlo initialized");
  return 0;
}

int FerloExit() {
  TraceAt(2, "FerloExit");
  if (g_active) {
    FerloShutDown();
    g_active = false;
  }
  if (funcTableGetParam(186) != 0) FerloWriteRecord("EXIT");
  TraceAt(2, "FerloExit Done");
  return 0;
}

int FerloReportError(int code, const char* codeLine) {
  if (code == -212) return 0;
  const size_t row = ZarnStatusIndex(code);
  const ZarnStatusTextRow& entry = ZarnStatusTexts()[row];
  TraceAt(2, "Ferlo Error (%d) => %s", code, entry.text);
  if (funcTableGetParam(186) != 0) {
    int kind = 0;
    if (code == -217) {
      if (funcTableGetParam(7) < 2) {
        kind = 1;
      } else if (codeLine == nullptr || Count(codeLine, '@') >= 2) {
        kind = 2;
      } else if (Count(codeLine, ':') >= 3 || Count(codeLine, ';') >= 3) {
        kind = 3;
      } else {
        kind = 4;
      }
    }
    char line[32];
    if (kind == 0) {
      std::snprintf(line, sizeof line, "E%d|", code < 0 ? -code : code);
    } else {
      std::snprintf(line, sizeof line, "E%d.%d|", 217, kind);
    }
    FerloWriteRecord(line);
  }
  if (!g_active) return 0;
  const bool known = row < 90;
  FerloBeginDocument();
  FerloWriteData("Exception", "BeginException", "");
  FerloWriteData("Exception", "Severity", known ? Text("%d", entry.severity).c_str() : "10");
  FerloWriteData("Exception", "Class", "0");
  FerloWriteData("Exception", "APIError", Text("%d", code).c_str());
  FerloWriteData("Exception", "APIText", known ? entry.text : "Unknown Error");
  FerloWriteData("Exception", "EndException", "");
  FerloEndDocument();
  return 0;
}

ScannerManager& FerloService() {
  class Client final : public ScannerManager {
   public:
    int Init() override { return FerloInit(); }
    void Exit() override { FerloExit(); }
  };
  static Client client;
  return client;
}

bool FerloActive() { return g_active; }
void SetFerloDevice(StatisticsDevice* device) { g_device = device; }

void ResetFerloForTests() {
  g_active = false;
  g_interface = nullptr;
  g_module = nullptr;
  for (void*& e : g_entries) e = nullptr;
  FerloWriteRecord("EXIT");
}

}  // namespace zarn
