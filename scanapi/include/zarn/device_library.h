// The QV600 back-end's binding to the device library: the library is loaded by file name through the
// platform's dynamic loading and the 27 exports the back-end uses are resolved by name into one table of
// typed pointers, declared by the device library's own header.
#pragma once

#include <string>

#include "qv6/qv6dll.h"

// The exports the back-end calls, in one list for the table and the resolver.
#define ZARN_QV6_EXPORTS(X)                                                                                \
  X(QV6GetLastError)                                                                                      \
  X(QV6OpenConnection)                                                                                    \
  X(QV6CloseConnection)                                                                                   \
  X(QV6InitDeviceFromFile)                                                                                \
  X(QV6GetStatus)                                                                                         \
  X(QV6GetInfo)                                                                                           \
  X(QV6EnableScan)                                                                                        \
  X(QV6DisableScan)                                                                                       \
  X(QV6GetFrontImageDIBPtr)                                                                               \
  X(QV6GetRearImageDIBPtr)                                                                                \
  X(QV6GetMicrCodelinePtr)                                                                                \
  X(QV6UpdateFirmw)                                                                                       \
  X(QV6EjectDocument)                                                                                     \
  X(QV6SetBmpToPrint)                                                                                     \
  X(QV6StringToPrint)                                                                                     \
  X(QV6SetEventFunction)                                                                                  \
  X(QV6ClearPowerOnFlag)                                                                                  \
  X(QV6SetEnv)                                                                                            \
  X(QV6ClearErrors)                                                                                       \
  X(QV6EnableEarlyScan)                                                                                   \
  X(QV6SetDestinationPocket)                                                                              \
  X(QV6GetOperatingMode)                                                                                  \
  X(QV6MaintenanceMode)                                                                                   \
  X(QV6SetConfig_MicrGain)                                                                                \
  X(QV6SetConfig_MicrAgc)                                                                                 \
  X(QV6SetConfig_ScanMode)                                                                                \
  X(QV6Frank)

namespace zarn {

inline constexpr int kQv6ExportCount = 27;

// Typed pointers to the resolved exports; all null until a successful load.
struct Qv6Exports {
#define ZARN_QV6_MEMBER(name) decltype(&::name) name = nullptr;
  ZARN_QV6_EXPORTS(ZARN_QV6_MEMBER)
#undef ZARN_QV6_MEMBER
};

// One loaded device library. Not copyable; unloads when it goes away.
class DeviceLibrary {
 public:
  DeviceLibrary() = default;
  ~DeviceLibrary();
  DeviceLibrary(const DeviceLibrary&) = delete;
  DeviceLibrary& operator=(const DeviceLibrary&) = delete;

  // Loads `fileName` and resolves every export. 0 on success; -125 (scanner missing) when the file or an
  // export is missing, with a trace line naming it; nothing stays loaded then.
  int Load(const char* fileName);
  void Unload();
  bool Loaded() const { return module_ != nullptr; }
  const Qv6Exports& Exports() const { return exports_; }
  // The reason of the last failed load, as traced.
  const std::string& LastFailure() const { return failure_; }

 private:
  void* module_ = nullptr;
  Qv6Exports exports_;
  std::string failure_;
};

}  // namespace zarn
