// Ordinals and names of the 40 exports.
#include "api/ordinal_table.h"

#include "qv6/qv6dll.h"

namespace qv6 {

std::span<const ExportEntry> ExportTable() {
  static const ExportEntry kTable[] = {
      {1, "QV6GetDllRelease", reinterpret_cast<void (*)()>(&QV6GetDllRelease)},
      {2, "QV6GetLastError", reinterpret_cast<void (*)()>(&QV6GetLastError)},
      {3, "QV6OpenConnection", reinterpret_cast<void (*)()>(&QV6OpenConnection)},
      {4, "QV6CloseConnection", reinterpret_cast<void (*)()>(&QV6CloseConnection)},
      {5, "QV6InitDeviceFromFile", reinterpret_cast<void (*)()>(&QV6InitDeviceFromFile)},
      {6, "QV6GetStatus", reinterpret_cast<void (*)()>(&QV6GetStatus)},
      {7, "QV6GetInfo", reinterpret_cast<void (*)()>(&QV6GetInfo)},
      {8, "QV6EnableScan", reinterpret_cast<void (*)()>(&QV6EnableScan)},
      {9, "QV6DisableScan", reinterpret_cast<void (*)()>(&QV6DisableScan)},
      {10, "QV6SetMechConfig", reinterpret_cast<void (*)()>(&QV6SetMechConfig)},
      {11, "QV6GetMechConfig", reinterpret_cast<void (*)()>(&QV6GetMechConfig)},
      {12, "QV6GetFrontImageDIBPtr", reinterpret_cast<void (*)()>(&QV6GetFrontImageDIBPtr)},
      {13, "QV6GetRearImageDIBPtr", reinterpret_cast<void (*)()>(&QV6GetRearImageDIBPtr)},
      {14, "QV6GetMicrCodelinePtr", reinterpret_cast<void (*)()>(&QV6GetMicrCodelinePtr)},
      {15, "QV6SetCfgData", reinterpret_cast<void (*)()>(&QV6SetCfgData)},
      {16, "QV6GetCfgData", reinterpret_cast<void (*)()>(&QV6GetCfgData)},
      {17, "QV6UpdateFirmw", reinterpret_cast<void (*)()>(&QV6UpdateFirmw)},
      {18, "QV6EjectDocument", reinterpret_cast<void (*)()>(&QV6EjectDocument)},
      {19, "QV6SetBmpToPrint", reinterpret_cast<void (*)()>(&QV6SetBmpToPrint)},
      {20, "QV6StringToPrint", reinterpret_cast<void (*)()>(&QV6StringToPrint)},
      {21, "QV6SetEventFunction", reinterpret_cast<void (*)()>(&QV6SetEventFunction)},
      {22, "QV6Rs232Tx", reinterpret_cast<void (*)()>(&QV6Rs232Tx)},
      {23, "QV6ClearPowerOnFlag", reinterpret_cast<void (*)()>(&QV6ClearPowerOnFlag)},
      {24, "QV6ReadNewImage", reinterpret_cast<void (*)()>(&QV6ReadNewImage)},
      {25, "QV6EnablePartialScan", reinterpret_cast<void (*)()>(&QV6EnablePartialScan)},
      {26, "QV6Rs232Rx", reinterpret_cast<void (*)()>(&QV6Rs232Rx)},
      {27, "QV6SetEnv", reinterpret_cast<void (*)()>(&QV6SetEnv)},
      {28, "QV6SelfCalib", reinterpret_cast<void (*)()>(&QV6SelfCalib)},
      {29, "QV6ClearErrors", reinterpret_cast<void (*)()>(&QV6ClearErrors)},
      {30, "QV6EnableEarlyScan", reinterpret_cast<void (*)()>(&QV6EnableEarlyScan)},
      {31, "QV6SetDestinationPocket", reinterpret_cast<void (*)()>(&QV6SetDestinationPocket)},
      {32, "QV6SetBmpToPrintEX", reinterpret_cast<void (*)()>(&QV6SetBmpToPrintEX)},
      {33, "QV6StringToPrintEX", reinterpret_cast<void (*)()>(&QV6StringToPrintEX)},
      {34, "QV6GetOperatingMode", reinterpret_cast<void (*)()>(&QV6GetOperatingMode)},
      {35, "QV6MaintenanceMode", reinterpret_cast<void (*)()>(&QV6MaintenanceMode)},
      {36, "QV6SetConfig_MicrGain", reinterpret_cast<void (*)()>(&QV6SetConfig_MicrGain)},
      {37, "QV6SetConfig_MicrAgc", reinterpret_cast<void (*)()>(&QV6SetConfig_MicrAgc)},
      {38, "QV6SetConfig_ScanMode", reinterpret_cast<void (*)()>(&QV6SetConfig_ScanMode)},
      {40, "QvUnitTest", reinterpret_cast<void (*)()>(&QvUnitTest)},
      {41, "QV6Frank", reinterpret_cast<void (*)()>(&QV6Frank)},
  };
  return kTable;
}

}  // namespace qv6
