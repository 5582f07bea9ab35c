// The verified scan: one document scanned into memory in gray or colour, read optically, verified against
// its magnetic line, rendered in black and white at the contrast that grades best, and reported; and the
// table of expected code lines with the small services around the scan (virtual endorsements, its work
// buffers, the last optical line, record sizes and the half turn).
//
// Everything the scan needs of the API, the image conversions and the readers goes through `ScanCalls`, so
// the program joins it to the real API and tests join it to a recording fake.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "analysis/iqa/iqa_status.h"
#include "zarn/analysis.h"
#include "zarn/expect_table.h"

namespace analysis::vekscan {

inline constexpr size_t kTextRoom = 256;  // code lines, confidence strings, the kept optical line

// ---- Expected code lines -------------------------------------------------------------------------------
// The first entry whose routing and account texts both occur in the line; then an entry with an empty
// account and an 11-character routing that differs from the line's first 11 characters (after its leading
// blanks) in exactly one place. -1 for none.
int VEKScanExpectFind(const char* codeLine);
// Sets entry k (1..count), resizing the table when count differs: 0, -102 (a field replaced by its default,
// or count / k out of range and nothing changed) or -106 (no memory; the table is left empty).
int VEKScanExpectSet(int count, int k, const char* routing, const char* account, int threshold, int min,
                     int contrast, int options);

// ---- Virtual endorsements ------------------------------------------------------------------------------
inline constexpr size_t kFormatRoom = 256;  // 255 characters and the NUL
inline constexpr size_t kFaceRoom = 128;
struct VEKScanEndorsement {
  char format[kFormatRoom] = {};
  char face[kFaceRoom] = {};
  int32_t sides = 0;  // parameter 170 when it was set
  int32_t counter = 0;
  int32_t step = 0;
  std::array<int32_t, 10> values{};  // height, x, y, two font attributes, angle, four more
};
// 0 front, 1 rear.
VEKScanEndorsement& EndorsementRecord(int side);
// Always 1. Sides 0 clears both records and parameter 170; bit 1 sets the front, else bit 2 the rear.
int VEKScanSetVirtualEndorsement(const char* format, const void* unused, int sides, int counterStart,
                                 int counterStep, const int32_t* values, const char* face);
// The endorsement text for one counter value: the format's single integer conversion (flags, width,
// precision, an optional h/l length) takes the counter and "%%" gives '%'; a format with any other
// conversion, or with more than one, is the text itself.
std::string FormatEndorsement(const char* format, int32_t counter);

// ---- The scan's own state ------------------------------------------------------------------------------
void VEKScanReleaseMemory();
// Copies the last scan's optical line and confidence into 256-byte buffers (either may be null); the
// line's length.
int VEKScanGetOcrLine(char* line, char* confidence);
// The size of the file in bytes, -1 when it cannot be opened.
int64_t funcGetFileSize(const char* name);
// 8 + the pixel bytes by depth (1, 4, 8, 24), 8 for another depth; 0 for a missing record.
int64_t funcImageRecordSize(const uint8_t* record);
// Turns an 8-, 4- or 24-bit record by 180 degrees in place; other depths, a missing record or one that does
// not fit its buffer stay as they are.
void funcRotate180(std::span<uint8_t> record);

// ---- What the verified scan calls ----------------------------------------------------------------------
enum class Scaling { k300To240, k300To200, k300To100, k300To120, k200To100, k200To120 };

class ScanCalls {
 public:
  virtual ~ScanCalls() = default;
  // Heap blocks for the work buffers; null when there is no memory.
  virtual std::unique_ptr<uint8_t[]> Allocate(size_t bytes);

  virtual int32_t GetParam(int id) = 0;
  virtual int SetParam(int id, int32_t value) = 0;
  virtual int TraceLevel() = 0;
  virtual void Log(const std::string& text) = 0;
  // With MICR font 2: the magnetic line is the template decoder's.
  virtual bool bKRDecodeKept() = 0;

  // One document into the two areas as records, the magnetic line into `line` (kTextRoom bytes).
  virtual int ScanMemoryGray(std::span<uint8_t> front, std::span<uint8_t> rear, char* line) = 0;

  // The image operations; a null or empty name with an output record renders into the record.
  virtual int ConvGrayImageEdgeDetectBW(std::span<const uint8_t> source, const char* name, int contrast,
                                        unsigned mode, std::span<uint8_t> output) = 0;
  virtual int EdgeDetectBW(std::span<const uint8_t> source, const char* name, int contrast, unsigned mode) = 0;
  virtual int ConvGrayToBW(std::span<uint8_t> source, int threshold, std::span<uint8_t> output) = 0;
  virtual int ConvImageToFile(std::span<const uint8_t> source, int threshold, const char* name) = 0;
  virtual int ConvGrayArea(std::span<const uint8_t> source, const char* name, unsigned mode) = 0;
  virtual int GetHistogram(std::span<const uint8_t> source, std::array<uint32_t, 16>& bins) = 0;
  virtual int Scale(Scaling scaling, std::span<const uint8_t> source, std::span<uint8_t> destination) = 0;
  virtual int VirtualEndorsement(std::span<uint8_t> record, const char* text, const VEKScanEndorsement& e) = 0;
  virtual int CompressImage(const char* name, std::span<const uint8_t> record) = 0;
  virtual int CompressImageGray(const char* name, std::span<const uint8_t> record, int format) = 0;

  // The readers; texts are kTextRoom bytes.
  virtual int OcrRawImage(std::span<const uint8_t> record, char* line, char* confidence) = 0;
  virtual int OcrRawImageRotated(std::span<const uint8_t> record, char* line, char* confidence) = 0;
  virtual int OcrTiffImage(const char* name, char* line, char* confidence) = 0;
  virtual int Cmc7ReadCodeLine(std::span<const uint8_t> record, char* line, char* confidence) = 0;
  virtual int Cmc7Combine(const char* magnetic, const char* optical, const char* confidence, char* out) = 0;
  virtual int CombineMICR(const char* magnetic, const char* optical, const char* confidence, char* out,
                          int maxErrors) = 0;
  virtual int ChooseMICRPass(const char* first, const char* second, char* out) = 0;
  virtual int VerifyMICRQuality(const char* line, const char* optical, const char* confidence) = 0;
  virtual int IQAStatusMem(std::span<uint8_t> record, int update, const iqa::IqaTestArgs& args,
                           int32_t* results) = 0;
  virtual int IQAStatusEx(const char* name, int update, const iqa::IqaTestArgs& args, int32_t* results) = 0;

  virtual int FerloReportError(int code, const char* line) = 0;
  virtual int FerloReportDocument(const int32_t* iqa, int quality, int contrast, const char* optical,
                                  const char* confidence, const char* magnetic, const char* line) = 0;
};

// The calls the table setter and the endorsement setter use for parameters (the API's once installed).
void InstallScanCalls(ScanCalls* calls);
ScanCalls* InstalledScanCalls();

// The verified scan through `calls`: 0, -106, -217 or the failing call's negative result.
int VEKScan(ScanCalls& calls, const zarn::VEKScanRequest& request);

// The sizes of the work buffers now held (0 when released), for tests.
struct BufferSizes {
  size_t front = 0, rear = 0, third = 0, work = 0;
};
BufferSizes HeldBuffers();

}  // namespace analysis::vekscan
