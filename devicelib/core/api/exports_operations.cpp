// Exports that forward one operation to the connection's device, in the common frame.
#include <algorithm>
#include <array>
#include <cstring>

#include "api/export_frame.h"
#include "qv6/qv6dll.h"

using namespace qv6;

namespace {

// A caller's (data, length) pair that can be handed on: length not negative, data present when needed.
bool ValidBuffer(const void* data, int length) {
  return length >= 0 && (data != nullptr || length == 0);
}

}  // namespace

extern "C" {

int QV6InitDeviceFromFile(int index, const char* iniFile, const char* section) {
  g_Log.WriteFormatted(kLogApi, "IN QV6InitDeviceFromFile(%d, %.999s, %.99s)\n", index, TraceText(iniFile),
                       TraceText(section));
  // Unlike the other operations, a failed initialisation reports -5.
  return IntExport(index, "OUT QV6InitDeviceFromFile=%d\n", [&](Qv6Device& d) {
    int result = d.InitDeviceFromFile(iniFile, section);
    if (result == 0) SetLastError(kErrEmptySlot);
    return result;
  });
}

int QV6GetStatus(int index, int* status, int* errors) {
  int statusWord = 0;
  int errorWord = 0;
  int* statusOut = status != nullptr ? status : &statusWord;
  int* errorsOut = errors != nullptr ? errors : &errorWord;
  SetLastError(kErrDevice);
  *statusOut = 0;
  *errorsOut = 0;
  try {
    auto device = DeviceForIndex(index);
    if (!device) return 0;
    SetLastError(0);
    device->GetStatus(statusOut, errorsOut);
    auto now = static_cast<uint32_t>(*statusOut);
    uint32_t previous = device->previousStatus();
    if (g_Log.Enabled(kLogApi) && now != previous) {
      g_Log.WriteFormatted(kLogApi, "QV6GetStatus, OnNew:0x%08X, OffNew:0x%08X, Status:0x%08X, Prev:0x%08X\n",
                           now & ~previous, previous & ~now, now, previous);
      device->setPreviousStatus(now);
    }
    return 1;
  } catch (...) {
    g_Log.Write(kLogApi, "EXCEPTION\n");
    return 0;
  }
}

int QV6GetInfo(int index, char* buffer, int size) {
  g_Log.WriteFormatted(kLogApi, "IN QV6GetInfo(%d, " QV6_PTR ", %d)\n", index, TracePtr(buffer), size);
  return IntExport(index, "OUT QV6GetInfo=%d\n", [&](Qv6Device& d) {
    if (buffer == nullptr || size < 0) return 0;
    std::memset(buffer, 0, static_cast<size_t>(size));
    return d.GetInfo(reinterpret_cast<uint8_t*>(buffer), static_cast<size_t>(size));
  });
}

int QV6EnableScan(int index) {
  g_Log.WriteFormatted(kLogApi, "IN QV6EnableScan(%d)\n", index);
  return IntExport(index, "OUT QV6EnableScan=%d\n", [](Qv6Device& d) { return d.EnableScan(1); });
}

int QV6DisableScan(int index) {
  g_Log.WriteFormatted(kLogApi, "IN QV6DisableScan(%d)\n", index);
  return IntExport(index, "OUT QV6DisableScan=%d\n", [](Qv6Device& d) { return d.EnableScan(0); });
}

int QV6SetMechConfig(int index, const char* file, int flag) {
  g_Log.WriteFormatted(kLogApi, "IN QV6SetMechConfig(%d, %.999s, %d)\n", index, TraceText(file), flag);
  return IntExport(index, "OUT QV6SetMechConfig=%d\n",
                   [&](Qv6Device& d) { return d.SetMechConfig(file, flag); });
}

int QV6GetMechConfig(int index, const char* file, int flag) {
  g_Log.WriteFormatted(kLogApi, "IN QV6GetMechConfig(%d, %.999s, %d)\n", index, TraceText(file), flag);
  return IntExport(index, "OUT QV6GetMechConfig=%d\n",
                   [&](Qv6Device& d) { return d.GetMechConfig(file, flag); });
}

void* QV6GetFrontImageDIBPtr(int index) {
  g_Log.WriteFormatted(kLogApi, "IN QV6GetFrontImageDIBPtr(%d)\n", index);
  return PointerExport<void>(index, "OUT QV6GetFrontImageDIBPtr=" QV6_PTR "\n",
                             [](Qv6Device& d) { return d.GetFrontImageDIBPtr(); });
}

void* QV6GetRearImageDIBPtr(int index) {
  g_Log.WriteFormatted(kLogApi, "IN QV6GetRearImageDIBPtr(%d)\n", index);
  return PointerExport<void>(index, "OUT QV6GetRearImageDIBPtr=" QV6_PTR "\n",
                             [](Qv6Device& d) { return d.GetRearImageDIBPtr(); });
}

const char* QV6GetMicrCodelinePtr(int index) {
  g_Log.WriteFormatted(kLogApi, "IN QV6GetMicrCodelinePtr(%d)\n", index);
  return PointerExport<const char>(index, "OUT QV6GetMicrCodelinePtr=" QV6_PTR "\n",
                                   [](Qv6Device& d) { return d.GetMicrCodelinePtr(); });
}

int QV6SetCfgData(int index, int type, const void* data, int length) {
  g_Log.WriteFormatted(kLogApi, "IN QV6SetCfgData(%d, %d, " QV6_PTR ", %d)\n", index, type, TracePtr(data),
                       length);
  return IntExport(index, "OUT QV6SetCfgData=%d\n", [&](Qv6Device& d) {
    return ValidBuffer(data, length) ? d.SetCfgData(type, data, length) : 0;
  });
}

int QV6GetCfgData(int index, int type, void* buffer, int length) {
  g_Log.WriteFormatted(kLogApi, "IN QV6GetCfgData(%d, %d, " QV6_PTR ", %d)\n", index, type, TracePtr(buffer),
                       length);
  return IntExport(index, "OUT QV6GetCfgData=%d\n", [&](Qv6Device& d) {
    return ValidBuffer(buffer, length) ? d.GetCfgData(type, buffer, length) : 0;
  });
}

int QV6EjectDocument(int index, int value) {
  g_Log.WriteFormatted(kLogApi, "IN QV6EjectDocument(%d, 0x%X)\n", index, static_cast<unsigned>(value));
  return IntExport(index, "OUT QV6EjectDocument=%d\n", [&](Qv6Device& d) { return d.EjectDocument(value); });
}

int QV6SetBmpToPrint(int index, const void* bits, int width, int rows, int position, int flags) {
  g_Log.Write(kLogApi, "Route QV6SetBmpToPrint to QV6SetBmpToPrintEX");
  return QV6SetBmpToPrintEX(index, bits, width, rows, position, position, flags);
}

int QV6StringToPrint(int index, const char* text, int length, int position, int flags) {
  g_Log.Write(kLogApi, "Route QV6StringToPrint to QV6StringToPrintEX");
  return QV6StringToPrintEX(index, text, length, position, position, flags);
}

int QV6SetEventFunction(int index, int event, QV6EventCallback fn) {
  g_Log.WriteFormatted(kLogApi, "IN QV6SetEventFunction(%d, %d, " QV6_PTR ")\n", index, event,
                       reinterpret_cast<uintptr_t>(fn));
  return IntExport(index, "OUT QV6SetEventFunction=%d\n",
                   [&](Qv6Device& d) { return d.SetEventFunction(event, fn); });
}

int QV6Rs232Tx(int index, const void* data, int length, int unused) {
  g_Log.WriteFormatted(kLogApi, "IN QV6Rs232Tx(%d, " QV6_PTR ", %d, %d)\n", index, TracePtr(data), length,
                       unused);
  return IntExport(index, "OUT QV6Rs232Tx=%d\n",
                   [&](Qv6Device& d) { return ValidBuffer(data, length) ? d.Rs232Tx(data, length) : 0; });
}

int QV6ClearPowerOnFlag(int index) {
  g_Log.WriteFormatted(kLogApi, "IN QV6ClearPowerOnFlag(%d)\n", index);
  return IntExport(index, "OUT QV6ClearPowerOnFlag=%d\n", [](Qv6Device& d) { return d.ClearPowerOnFlag(); });
}

int QV6ReadNewImage(int index, int a, int b, int c, int d, int e, int f, int g, int h) {
  g_Log.WriteFormatted(kLogApi, "IN QV6ReadNewImage(%d, %d, %d, %d, %d, %d, %d, %d, %d)\n", index, a, b, c, d,
                       e, f, g, h);
  return IntExport(index, "OUT QV6ReadNewImage=%d\n", [&](Qv6Device& device) {
    return device.ReadNewImage({a, b, c, d, e, f, g, h});
  });
}

int QV6EnablePartialScan(int index, int value) {
  g_Log.WriteFormatted(kLogApi, "IN QV6EnablePartialScan(%d, 0x%X)\n", index, static_cast<unsigned>(value));
  return IntExport(index, "OUT QV6EnablePartialScan=%d\n",
                   [&](Qv6Device& d) { return d.EnablePartialScan(1, value); });
}

int QV6Rs232Rx(int index, void* buffer, int capacity, int* received, int unused) {
  g_Log.WriteFormatted(kLogApi, "IN QV6Rs232Rx(%d, " QV6_PTR ", %d, " QV6_PTR ", 0x%X)\n", index,
                       TracePtr(buffer), capacity, TracePtr(received), static_cast<unsigned>(unused));
  return IntExport(index, "OUT QV6Rs232Rx=%d\n", [&](Qv6Device& d) {
    if (received == nullptr || !ValidBuffer(buffer, capacity)) return 0;
    *received = 0;
    int count = capacity;
    int result = d.Rs232Rx(buffer, &count);
    if (result != 0) *received = std::clamp(count, 0, capacity);
    return result;
  });
}

int QV6SelfCalib(int index, int value) {
  g_Log.WriteFormatted(kLogApi, "IN SelfCalib(%d, %d)\n", index, value);
  return IntExport(index, "OUT SelfCalib=%d\n", [&](Qv6Device& d) { return d.SelfCalib(value); });
}

int QV6ClearErrors(int index, int unused) {
  g_Log.WriteFormatted(kLogApi, "IN QV6ClearErrors(%d, %d )\n", index, unused);
  return IntExport(index, "OUT QV6ClearErrors=%d\n", [](Qv6Device& d) { return d.ClearErrors(); });
}

int QV6EnableEarlyScan(int index) {
  g_Log.WriteFormatted(kLogApi, "IN QV6EnableEarlyScan(%d)\n", index);
  return IntExport(index, "OUT QV6EnableEarlyScan=%d\n", [](Qv6Device& d) { return d.EnableEarlyScan(); });
}

int QV6SetDestinationPocket(int index, int pocket) {
  g_Log.WriteFormatted(kLogApi, "IN QV6SetDestinationPocket(%d, %d)\n", index, pocket);
  return IntExport(index, "OUT QV6SetDestinationPocket=%d\n",
                   [&](Qv6Device& d) { return d.SetDestinationPocket(pocket); });
}

int QV6SetBmpToPrintEX(int index, const void* bits, int width, int rows, int position1, int position2,
                       int flags) {
  // The bitmap is traced by its address: it is pixel data, not a text.
  g_Log.WriteFormatted(kLogApi, "IN QV6SetBmpToPrintEX(%d, " QV6_PTR ", %d, %d, %d, %d, 0x%X)\n", index,
                       TracePtr(bits), width, rows, position1, position2, static_cast<unsigned>(flags));
  return IntExport(index, "OUT QV6SetBmpToPrintEX=%d\n", [&](Qv6Device& d) {
    if (bits == nullptr || width < 0 || rows < 0) return 0;
    return d.SetBmpToPrintEX(bits, width, rows, position1, position2, flags);
  });
}

int QV6StringToPrintEX(int index, const char* text, int length, int position1, int position2, int flags) {
  int shown = std::clamp(length, 0, 199);  // the text need not be terminated within its length
  g_Log.WriteFormatted(kLogApi, "IN QV6StringToPrintEX(%d, %.*s, %d, %d, %d, 0x%X)\n", index,
                       text != nullptr ? shown : 6, TraceText(text), length, position1, position2,
                       static_cast<unsigned>(flags));
  return IntExport(index, "OUT QV6StringToPrintEX=%d\n", [&](Qv6Device& d) {
    return ValidBuffer(text, length) ? d.StringToPrintEX(text, length, position1, position2, flags) : 0;
  });
}

int QV6GetOperatingMode(int index, int* mode) {
  g_Log.WriteFormatted(kLogApi, "IN QV6GetOperatingMode(%d, " QV6_PTR ")\n", index, TracePtr(mode));
  return IntExport(index, "OUT QV6GetOperatingMode=%d\n",
                   [&](Qv6Device& d) { return d.GetOperatingMode(mode); });
}

int QV6MaintenanceMode(int index, int value) {
  g_Log.WriteFormatted(kLogApi, "IN QV6MaintenanceMode(%d, 0x%X)\n", index, static_cast<unsigned>(value));
  return IntExport(index, "OUT QV6MaintenanceMode=%d\n",
                   [&](Qv6Device& d) { return d.MaintenanceMode(value); });
}

int QV6SetConfig_MicrGain(int index, int a, int b) {
  g_Log.WriteFormatted(kLogApi, "IN QV6SetConfig_MicrGain(%d, %d, %d)\n", index, a, b);
  return IntExport(index, "OUT QV6SetConfig_MicrGain=%d\n",
                   [&](Qv6Device& d) { return d.SetConfigMicrGain(a, b); });
}

int QV6SetConfig_MicrAgc(int index, int a, int b) {
  g_Log.WriteFormatted(kLogApi, "IN QV6SetConfig_MicrAgc(%d, %d, %d)\n", index, a, b);
  return IntExport(index, "OUT QV6SetConfig_MicrAgc=%d\n",
                   [&](Qv6Device& d) { return d.SetConfigMicrAgc(a, b); });
}

int QV6SetConfig_ScanMode(int index, int mode) {
  g_Log.WriteFormatted(kLogApi, "IN QV6SetConfig_ScanMode(%d, %d)\n", index, mode);
  return IntExport(index, "OUT QV6SetConfig_ScanMode=%d\n",
                   [&](Qv6Device& d) { return d.SetConfigScanMode(mode); });
}

int QV6Frank(int index, int value, int /*unused1*/, int /*unused2*/) {
  g_Log.WriteFormatted(kLogApi, "IN QV6Frank(%d, %d)\n", index, value & 0xFFFF);
  return IntExport(index, "OUT QV6Frank=%d\n", [&](Qv6Device& d) { return d.Frank(value); });
}

}  // extern "C"
