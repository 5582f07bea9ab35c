// The scanner-manager reporting client: the manager library "FerloScannerDLL.dll" loaded at run time and
// its interface object, the record file, and the reports of errors.
#pragma once

#include <cstdint>

namespace zarn {

class StatisticsDevice;

// The manager's interface object, in its fixed slot order. The library owns it; it is never deleted here.
class FerloInterface {
 public:
  virtual void Initialize(const char* vendor, const char* family, const char* model) = 0;
  virtual void SetSerialNumber(const char* serial) = 0;
  virtual uint8_t GetStatus() = 0;
  virtual void BeginDocument() = 0;
  virtual void WriteData(const char* section, const char* key, const char* value) = 0;
  virtual void EndDocument() = 0;
  virtual void ShutDown() = 0;
  virtual void Slot7() = 0;
  virtual uint8_t Slot8() = 0;
  virtual void SetOptionsFile(intptr_t value) = 0;
  virtual void SetOption(intptr_t first, intptr_t second) = 0;

 protected:
  ~FerloInterface() = default;
};

inline constexpr int kFerloEntryPoints = 11;
inline constexpr const char* kFerloLibraryName = "FerloScannerDLL.dll";
// "Reserved1" gives the interface object; the other ten forward to it.
using FerloReserved1 = FerloInterface* (*)();

int FerloInit();
int FerloExit();
int FerloLoad(const char* fileName);
int funcResolveFerloEntryPoints();
int FerloReportError(int code, const char* codeLine);
// One scanned document: the record file's D line and the manager's six sections. `iqa` holds at least 32
// entries; the texts may be null.
int FerloReportDocument(const int32_t* iqa, int quality, int threshold, const char* opticalLine,
                        const char* opticalConfidence, const char* secondMicrLine, const char* scannerLine);

void FerloInitialize(const char* vendor, const char* family, const char* model);
void FerloSetSerialNumber(const char* serial);
int FerloGetStatus();
void FerloBeginDocument();
void FerloWriteData(const char* section, const char* key, const char* value);
void FerloEndDocument();
void FerloShutDown();
void FerloSlot7();
int FerloSlot8();
void FerloSetOptionsFile(intptr_t value);
void FerloSetOption(intptr_t first, intptr_t second);

bool FerloActive();
// The client as the lifecycle drives it: Init is FerloInit, Exit is FerloExit.
class ScannerManager;
ScannerManager& FerloService();
// Where FerloInit gets the serial number and scanner texts; null restores the scanner's own.
void SetFerloDevice(StatisticsDevice* device);
// Forgets the loaded manager (the library itself stays loaded) for tests.
void ResetFerloForTests();

}  // namespace zarn
