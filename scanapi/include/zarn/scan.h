// Scanning documents through the API: the QV600 line's document cycle with its collectors, and the
// per-document calls (scan to files or memory, eject, clear).
//
// Memory areas are caller-owned `ImageRecord` buffers passed as spans, so every conversion is bounded by
// the area it writes; an empty span stands for "no area". The code-line buffer of the scan calls must
// hold at least 98 bytes (at most 97 characters and the NUL are written).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "zarn/analysis.h"
#include "zarn/scanner_info.h"

namespace zarn {

inline constexpr size_t kScanCodeLineBuffer = 98;
inline constexpr size_t kCycleCodeLineSize = 70;

// The magnetic results kept for the optical verification after a good document read with method "KR".
struct KrMicrResults {
  MagneticMicrResults magnetic;
  char internalKwl[kCodeLineRoom] = {};
};
KrMicrResults& KRMicrResults();

// One document on the QV600 line. Names (or null) select files; with a null name the side goes into its
// area (an empty area: the side is not written). Sizes and the code-line length may be null. The code
// line buffer holds at least 70 characters. 0 for a good document, else a status code.
int funcGetImage(const char* frontName, const char* rearName, std::span<uint8_t> frontArea,
                 std::span<uint8_t> rearArea, int32_t* frontSize, int32_t* rearSize, char* codeLine,
                 int32_t* codeLineLength, int format);

// The collectors: the code line (cut to size - 1 characters; 0), and the front and rear images of the
// document the callbacks delivered (0 or a negative code, the size then 0).
int funcQV600GetMICR(char* buffer, int size);
int funcQV600GetFrontImage(const char* name, std::span<uint8_t> area, int32_t* size, int format, char* codeLine);
int funcQV600GetBackImage(const char* name, std::span<uint8_t> area, int32_t* size, int format);

// The device library's DIB at `dib` as a block of the size its header gives; empty for a header that no
// DIB of a scanner can have.
std::span<uint8_t> DeviceDibBlock(const void* dib);

// ---- Scan calls ---------------------------------------------------------------------------------------------
int ZARNScan(int mode, const char* frontName, char* frontSizeText, const char* rearName, char* rearSizeText,
             char* codeLine, char* codeLineLengthText);
int ZARNScanGray(int mode, const char* frontName, char* frontSizeText, const char* rearName, char* rearSizeText,
                 char* codeLine, char* codeLineLengthText, int format);
int ZARNScanMemory(int mode, std::span<uint8_t> frontArea, int32_t* frontSize, std::span<uint8_t> rearArea,
                   int32_t* rearSize, char* codeLine, int32_t* codeLineLength);
int ZARNScanMemoryGray(int mode, std::span<uint8_t> frontArea, int32_t* frontSize, std::span<uint8_t> rearArea,
                       int32_t* rearSize, char* codeLine, int32_t* codeLineLength, int format);

int funcQV800ScanSetup(int bw, int mode, int format, int memory, int gray256);
int funcScanSetupSetParam(int id, int value);
int16_t funcQV800FormatCode(int format, int memory, int bw, int gray256, int rotate);

int ZARNEjectDocument();
int ZARNEjectDocumentEx(int mode, int flag);
int ZARNClearDocument();
int ZARNReservedCall();

// The dispatchers by scanner family; the QV800 line answers -123 while its library is not bound.
int funcEjectDocument(int mode, int flag);
int funcClearDocument(int mode, int flag);
int QV800SetPocket(int pocket);
// Print set-up: 34 a text, 35 a BMP file, 60 an ink-jet text.
int funcQV800SetPrint(int kind, int value, const char* text);

}  // namespace zarn
