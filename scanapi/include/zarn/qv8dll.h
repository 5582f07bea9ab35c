// The QV800 device library "QV8DLL.DLL" and its ASPI layer "WNASPI32.DLL": the entry points with their typed
// prototypes, shared by the API's binding and the project's stand-in libraries.
//
// Every device-library entry point returns 0 for success and a device error number (62000-62119) otherwise,
// except QVUpdateFirmw, whose non-zero result means success. Buffers handed over have these sizes:
// the inquiry record at least kQv8InquirySize bytes; the serial-number text kQv8SerialRoom bytes; the code
// line `codeLineSize` bytes (at most codeLineSize - 1 characters and the NUL are written); each image buffer
// of QVScanDocToMem `size` bytes; the bitmap of QVUpdPrtBitmap kQv8BitmapRoom bytes (a BMP file image,
// zero-filled behind the file); the text of QVUpdPrtString NUL-terminated 16-bit characters, at most 256.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarn {
inline constexpr size_t kQv8InquirySize = 104;
inline constexpr size_t kQv8VendorOffset = 2;
inline constexpr size_t kQv8ProductOffset = 34;
inline constexpr size_t kQv8ReleaseOffset = 66;
inline constexpr size_t kQv8InquiryField = 32;
inline constexpr size_t kQv8SerialRoom = 64;
inline constexpr size_t kQv8BitmapRoom = 64000;
inline constexpr int32_t kQv8MemoryBufferSize = 4320000;
}  // namespace zarn

extern "C" {

// ---- ASPI layer ---------------------------------------------------------------------------------------------
uint32_t GetASPI32SupportInfo(void);
uint32_t SendASPI32Command(void* request);

// ---- Device library, in the order the binding resolves them -------------------------------------------------
int32_t scsi_tx_cmd(int32_t a, int32_t b, int32_t c);
int32_t scsi_rx_cmd(int32_t a, int32_t b, int32_t c);
int32_t wait_cmd_complete(void);
// Fills the record whose bytes 0 and 1 name adapter and target; negative: no device there.
int32_t QVScsiIdGetInfo(uint8_t* inquiry);
int32_t QVInit(const char* tmpFile, const char* cfgFile, uint16_t target, uint16_t adapter);
int32_t QVScannerInfo(void);
int32_t QVSetConfig(uint16_t value);
int32_t QVCalib(uint16_t a, uint16_t b);
int32_t QVReadConfig(void* a, int32_t b);
int32_t QVUpdateFirmw(const char* file);
int32_t QVReadCounters(int32_t* first, int32_t* second);
int32_t QVReadSN(char* serial);
int32_t QVOpenScan(void);
int32_t QVCloseScan(void);
int32_t QVScanDoc(const char* frontFile, const char* rearFile, char* codeLine, int32_t codeLineSize, int32_t flags);
int32_t QVScanDocToMem(void* front, void* rear, int32_t size, char* codeLine, int32_t codeLineSize, int32_t flags);
// Both words carry 16 significant bits.
int32_t QVGetStatus(uint32_t* status, uint32_t* error);
int32_t QVClearErrors(void);
int32_t QVEject(uint16_t zero, uint16_t pocket);
int32_t QVUpdPrtString(uint16_t value, const uint16_t* text);
int32_t QVStringIJ(uint16_t value, const char* text, uint16_t length, uint8_t flag);
int32_t QVUpdPrtBitmap(uint16_t value, const uint8_t* bitmap);
int32_t QVGetRIDO(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f, int32_t g, int32_t h, int32_t i,
                  int32_t j);
int32_t QVGetExtraRIDO(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f, int32_t g, int32_t h,
                       int32_t i, int32_t j, int32_t k, int32_t l);
int32_t QVSetDestinationPocket(int32_t pocket);
int32_t QVSetImageMemoryAcq(int32_t value);
int32_t QVReadFromMemory(int32_t value);
int32_t QVReadCodeline(int32_t a, int32_t b, int32_t c);
int32_t QVReadImageToFile(int32_t a, int32_t b, int32_t c);
int32_t QVReadImageToMem(int32_t a, int32_t b, int32_t c, int32_t d);
int32_t QVDwlPrinterFont(const uint8_t* font);
int32_t QVClearPrintArea(int32_t a, int32_t b);
int32_t QVGetParam(int32_t id);
int32_t QVINITHandshake(int32_t a, int32_t b);
int32_t QVInquiryStatus(int32_t a, int32_t b, uint8_t c, uint8_t d);
int32_t QVTracer(int32_t a, uint8_t b);

}  // extern "C"

// The device library's entry points in resolution order, for the binding's table and resolver.
#define ZARN_QV8_EXPORTS(X) \
  X(scsi_tx_cmd)            \
  X(scsi_rx_cmd)            \
  X(wait_cmd_complete)      \
  X(QVScsiIdGetInfo)        \
  X(QVInit)                 \
  X(QVScannerInfo)          \
  X(QVSetConfig)            \
  X(QVCalib)                \
  X(QVReadConfig)           \
  X(QVUpdateFirmw)          \
  X(QVReadCounters)         \
  X(QVReadSN)               \
  X(QVOpenScan)             \
  X(QVCloseScan)            \
  X(QVScanDoc)              \
  X(QVScanDocToMem)         \
  X(QVGetStatus)            \
  X(QVClearErrors)          \
  X(QVEject)                \
  X(QVUpdPrtString)         \
  X(QVStringIJ)             \
  X(QVUpdPrtBitmap)         \
  X(QVGetRIDO)              \
  X(QVGetExtraRIDO)         \
  X(QVSetDestinationPocket) \
  X(QVSetImageMemoryAcq)    \
  X(QVReadFromMemory)       \
  X(QVReadCodeline)         \
  X(QVReadImageToFile)      \
  X(QVReadImageToMem)       \
  X(QVDwlPrinterFont)       \
  X(QVClearPrintArea)       \
  X(QVGetParam)             \
  X(QVINITHandshake)        \
  X(QVInquiryStatus)        \
  X(QVTracer)
