// The QV800 line's back-end: the binding to its outside device library, identification and the command
// layer, its configuration and print set-up, and the scan loop.
//
// The device library is reached only through the forwarders in namespace qv8, one per entry point the API
// uses; while the library is not bound each returns kQv8NotBound, which the callers turn into -123.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "zarn/qv8dll.h"

namespace zarn {

// What a forwarder returns while its entry point is not bound (no device error number has this value).
inline constexpr int32_t kQv8NotBound = -0x7123;

// ---- Binding -------------------------------------------------------------------------------------------------
// Binds the ASPI layer, then the device library (from `dllFolder` when it is not empty, else the Windows
// and the System folders). 1 when both are bound, -5 for the ASPI layer, -643 for the device library (which
// also releases the ASPI layer).
int funcLoadQV8DLL(int type, const char* dllFolder);
// Flag 1 releases the device library, 2 the ASPI layer. 1.
int funcUnLoadQV8DLL(int flags);
bool Qv8DeviceBound();
bool Qv8AspiBound();

namespace qv8 {
uint32_t GetASPI32SupportInfo();  // the low 16 bits
int32_t QVScsiIdGetInfo(uint8_t* inquiry);
int32_t QVInit(const char* tmpFile, const char* cfgFile, uint16_t target, uint16_t adapter);
int32_t QVSetConfig(uint16_t value);
int32_t QVUpdateFirmw(const char* file);
int32_t QVReadCounters(int32_t* first, int32_t* second);
int32_t QVReadSN(char* serial);
int32_t QVOpenScan();
int32_t QVCloseScan();
int32_t QVScanDoc(const char* frontFile, const char* rearFile, char* codeLine, int32_t codeLineSize, int32_t flags);
int32_t QVScanDocToMem(void* front, void* rear, int32_t size, char* codeLine, int32_t codeLineSize, int32_t flags);
int32_t QVGetStatus(uint32_t* status, uint32_t* error);
int32_t QVClearErrors();
int32_t QVEject(uint16_t zero, uint16_t pocket);
int32_t QVUpdPrtString(uint16_t value, const uint16_t* text);
int32_t QVStringIJ(uint16_t value, const char* text, uint16_t length, uint8_t flag);
int32_t QVUpdPrtBitmap(uint16_t value, const uint8_t* bitmap);
int32_t QVSetDestinationPocket(int32_t pocket);
int32_t QVDwlPrinterFont(const uint8_t* font);
int32_t QVClearPrintArea(int32_t a, int32_t b);
int32_t QVGetParam(int32_t id);
}  // namespace qv8

// A device-library result as a status code: 0 stays 0, an unbound call gives -123, anything else goes
// through funcConvertStatus.
int Qv8Status(int32_t result);

// ---- Back-end state --------------------------------------------------------------------------------------------
inline constexpr size_t kEndorsementChars = 256;
struct Qv800State {
  bool fontLoaded = false;
  // Scan loop.
  bool scanOpen = false;
  int openResolution = 0, openMicr = 0, openGray = 0;  // settings 6, 1 and 45 when the scan was opened
  bool scanFailed = false;
  // Print set-up.
  bool printPending = false;
  char16_t endorsement[kEndorsementChars + 1] = {};
  int endorsementValue = 0;
  bool inkJetPending = false;
  int inkJetValue = 0;
  char inkJetText[kEndorsementChars] = {};
};
Qv800State& Qv8State();
void ResetQv800ForTests();

// ---- Identification and commands -------------------------------------------------------------------------------
int funcMatchInquiryString(const char* text, size_t textRoom, const char* pattern);
// The family of the inquiry record (at least kQv8InquirySize bytes), or -125; sets the type code.
int funcGetScannerType(const uint8_t* inquiry);
int funcGetSCSIInfo(uint8_t adapter, uint8_t target);
int funcGetScannerSerialNumber(char* serial, size_t room);
int funcQV800GetScannerRunInfo(int32_t* countB, int32_t* countA);
int funcQV800Status();
int funcQV800CheckStatus();
int funcQV800PrintString(uint16_t value, const char16_t* text);
int funcQV800PrintStringIJ(uint16_t value, const char* text, uint8_t flag);
// The QV800 branch of the information call: texts into 9, 17 and 7 bytes.
int Qv800ScannerInfo(unsigned char* adapter, unsigned char* target, char* vendor, char* product, char* release,
                     int show);
int Qv800Eject(int flag);
int Qv800SetPocket(int pocket);
const char* funcASPIStatusText(int status, char* text, size_t room);

// ---- Configuration ---------------------------------------------------------------------------------------------
int funcQV800SendCfgFile(const char* tmpName, const char* cfgName);
int funcKWLGetIniFile(const char* iniPath, unsigned char* adapter, unsigned char* target);
// The QV800 line's print set-up (kinds 34, 35, 60) with the QV600 line's printers for families 200 and 30
// (null: those families get -123).
using Qv600Printer = int (*)(const char* text, int value, int flag);
int Qv800SetPrint(int kind, int value, const char* text, Qv600Printer qv600String, Qv600Printer qv600Bitmap);

// ---- Scan loop (zarn_scan) --------------------------------------------------------------------------------------
int funcQV800ScanOne(int mode, int32_t* frontSize, int32_t* rearSize, char* codeLine, int32_t* codeLineLength,
                     const char* frontName, const char* rearName, std::span<uint8_t> frontMemory,
                     std::span<uint8_t> rearMemory, int memory, int format);
int funcQV800ScanReadInit();
int funcQV800ScanRead(int32_t* frontSize, int32_t* rearSize, char* codeLine, int32_t* codeLineLength,
                      const char* frontName, const char* rearName, std::span<uint8_t> frontMemory,
                      std::span<uint8_t> rearMemory, int memory, int format);
int funcQV800ScanEnd();

// 4.114 operations that reach the QV600 line's services (zarn_scan).
int funcQV800ClearPrint(int a, int b);
int funcQV800SetLoadFont(int a, int b, const char* fontFile);
int funcQV800SetSorter(int algorithm, const char* string1, const char* string2);
int funcDownLoadFirmWare(const char* file);
int funcQV800LoadPrinterFont(const char* fileName);

}  // namespace zarn
