// The QV800 line's document cycle: open (or re-open) the library's scan and print, read one document as files
// or into memory, and end it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <tuple>
#include <vector>

#include "imaging/image_record.h"
#include "imaging/image_writers.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/thread.h"
#include "zarn/optical_codeline.h"
#include "zarn/params.h"
#include "zarn/qv800.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

constexpr int32_t kDeviceCodeLine = 70;
// Room for the device's 70 characters and for what the optical merge and the formatting make of them.
constexpr size_t kLineRoom = 128;

// The 2-s settling time after an open: it sleeps on the platform clock and pumps no messages.
void SettleAfterOpen() {
  plat::Sleep(1000);
  plat::Sleep(1000);
}

void StoreOpenSettings(Qv800State& st) {
  st.openResolution = funcTableGetParam(6);
  st.openMicr = funcTableGetParam(1);
  st.openGray = funcTableGetParam(45);
}

bool OpenSettingsChanged(const Qv800State& st) {
  return st.openResolution != funcTableGetParam(6) || st.openMicr != funcTableGetParam(1) ||
         st.openGray != funcTableGetParam(45);
}

int Reopen(Qv800State& st) {
  st.scanOpen = false;
  if (int32_t r = qv8::QVCloseScan(); r != 0) return Qv8Status(r);
  if (int32_t r = qv8::QVOpenScan(); r != 0) return Qv8Status(r);
  st.scanOpen = true;
  return 0;
}

int32_t FileLength(const char* name) {
  std::FILE* f = plat::OpenFile(name != nullptr ? name : "", "rb");
  if (f == nullptr) return kOpenFileError;
  std::fseek(f, 0, SEEK_END);
  const long n = std::ftell(f);
  std::fclose(f);
  return n < 0 ? kOpenFileError : static_cast<int32_t>(std::min<long>(n, INT32_MAX));
}

bool Bmp() {
  const int f = funcTableGetParam(92);
  return f == 1 || f == 2;
}

// The delivered image at the start of `buffer` made into a record in place: the record's size, or a negative
// code. `largest` carries the largest TIFF result for the trim of the next side.
int64_t ToRecord(std::span<uint8_t> buffer, int* largest) {
  int64_t size = 0, offset = 0;
  int r;
  if (Bmp()) {
    r = zc::imaging::funcAddMemHeaderToBMP(buffer.data(), buffer.size(), 0, &size, &offset);
  } else {
    r = zc::imaging::funcAddMemTIFFHeader(buffer.data(), buffer.size(), 1, &size, &offset, *largest);
    if (r > *largest) *largest = r;
  }
  if (r < 0) return r;
  const zc::imaging::RecordHeader h = zc::imaging::ReadRecordHeader(buffer.data());
  // The depth must be the one the job asked for (parameter 23: 1 gray or colour, 0 black and white).
  const int gray = ZARNGetParam(23);
  if ((h.bits == 1 && gray == 1) || (h.bits > 1 && gray == 0)) return kFormatError;
  return size;
}

bool OpticalCheck() { return funcTableGetParam(116) != 0 && funcTableGetParam(2) == 1; }

void ReadOptically(std::span<const uint8_t> record, char* codeLine, size_t room) {
  if (!OpticalCheck()) return;
  if (zc::imaging::ReadRecordHeader(record.data()).bits < 2) {
    funcOCRMICRFromBWImage(record, codeLine, room);
  } else {
    funcOCRMICRFromGrayImage(record, codeLine, room);
  }
}

int WriteRecord(const char* name, std::span<const uint8_t> record, int format) {
  return format == 1 ? zc::imaging::ZARNCompressImage(name, record)
                     : zc::imaging::ZARNCompressImageGray(name, record, format);
}

}  // namespace

int funcQV800ScanReadInit() {
  if (ApiTraceLevel() != 0) TraceAt(1, "funcQV800ScanReadInit");
  Qv800State& st = Qv8State();
  int result = 0;
  const bool inkJet = funcTableGetParam(31) != 0;
  const bool printNow = st.printPending || funcTableGetParam(106) == 0;
  if (!st.scanOpen) {
    if (int r = funcQV800Status(); r < 0) return r;
    TraceAt(2, "funcQV800ScanReadInit - QVOpenScan");
    if (int32_t r = qv8::QVOpenScan(); r != 0) return Qv8Status(r);
    st.scanOpen = true;
    StoreOpenSettings(st);
    SettleAfterOpen();
  } else if (OpenSettingsChanged(st)) {
    TraceAt(1, "funcQV800ScanReadInit -- Updating Res or GrayLevel");
    result = funcQV800Status();
    if (result < 0) return result;
    st.scanOpen = false;
    StoreOpenSettings(st);
    if (int r = Reopen(st); r < 0) return r;
    SettleAfterOpen();
  } else if (inkJet) {
    result = funcQV800Status();
    if (result < 0) return result;
    if (printNow) {
      TraceAt(2, "funcQV800ScanReadInit Before PRINTBMP");
      if (funcTableGetParam(33) != 0) {
        st.printPending = false;
        if (int r = Reopen(st); r < 0) return r;
      }
    }
  } else {
    result = funcQV800Status();
    // A double feed or jam seen by the status check is reported as itself; only "no document" is -212.
    if (result < 0) return result;
    if (result != 1) return kFeederEmpty;
  }
  if (result >= 0 && inkJet) {
    if (int r = funcQV800Status(); r < 0) return r;
    const bool printing = st.printPending || funcTableGetParam(106) == 0;
    if (st.inkJetPending && printing) {
      const int r = funcQV800PrintStringIJ(static_cast<uint16_t>(st.inkJetValue), st.inkJetText, 0);
      if (r < 0) return r;
      st.inkJetPending = false;
    }
    if (printing) {
      int r = 0;
      if (funcTableGetParam(33) == 0 && st.endorsement[0] != 0) {
        r = funcQV800PrintString(static_cast<uint16_t>(st.endorsementValue), st.endorsement);
      }
      st.printPending = false;
      if (r < 0) return r;
    }
  }
  TraceAt(2, "funcQV800ScanReadInit - Exiting");
  return result;
}

int funcQV800ScanRead(int32_t* frontSize, int32_t* rearSize, char* codeLine, int32_t* codeLineLength,
                      const char* frontName, const char* rearName, std::span<uint8_t> frontMemory,
                      std::span<uint8_t> rearMemory, int memory, int format) {
  if (ApiTraceLevel() != 0) TraceAt(1, "funcQV800ScanRead");
  Qv800State& st = Qv8State();
  // The device fills 70 characters; the formatting below may write 80 and the NUL.
  char line[kLineRoom] = {};
  const bool front = funcTableGetParam(43) != 0 || funcTableGetParam(42) != 0;
  const bool rear = funcTableGetParam(43) != 0;
  int result = 0;

  if (memory == 0 && format == 0) {
    if (int32_t r = qv8::QVScanDoc(frontName, rearName, line, kDeviceCodeLine, 0); r != 0) result = Qv8Status(r);
    if (result >= 0 && front) {
      const int32_t n = FileLength(frontName);
      if (n < 0) {
        result = n;
      } else {
        if (frontSize != nullptr) *frontSize = n;
        if (OpticalCheck()) funcOCRMICRFromFile(frontName, line, sizeof line);
      }
    }
    if (result >= 0 && rear) {
      const int32_t n = FileLength(rearName);
      if (n < 0) {
        result = n;
      } else if (rearSize != nullptr) {
        *rearSize = n;
      }
    }
  } else if (memory == 0) {
    TraceAt(2, "1ScanRead: iFile, iStatus = %d", result);
    TraceAt(2, "iImageFormat = %d, iGray256Level = %d", funcTableGetParam(92), funcTableGetParam(45));
    std::vector<uint8_t> frontBuffer, rearBuffer;
    try {
      if (front) frontBuffer.resize(kQv8MemoryBufferSize);
      if (rear) rearBuffer.resize(kQv8MemoryBufferSize);
    } catch (const std::bad_alloc&) {
      // Nothing is read into a buffer that could not be had.
      return kAllocError;
    }
    const int32_t r = qv8::QVScanDocToMem(front ? frontBuffer.data() : nullptr, rear ? rearBuffer.data() : nullptr,
                                          kQv8MemoryBufferSize, line, kDeviceCodeLine, 0);
    TraceAt(2, "ScanRead: iFile, iStatus = %d", r);
    TraceAt(2, "iImageFormat = %d, iGray256Level = %d", funcTableGetParam(92), funcTableGetParam(45));
    if (r != 0) {
      // The document is not finished here: like every failed read it is marked failed and, with a
      // sorter, sent to its pocket below, which an immediate return would skip.
      result = Qv8Status(r);
    } else {
      int largest = 0;
      if (rear) {
        const int64_t n = ToRecord(rearBuffer, &largest);
        if (n < 0) result = static_cast<int>(n);
        if (result >= 0) {
          const int w = WriteRecord(rearName, std::span<const uint8_t>(rearBuffer.data(), static_cast<size_t>(n)), format);
          if (w < 0) result = w;
        }
      }
      if (result >= 0 && front) {
        const int64_t n = ToRecord(frontBuffer, &largest);
        TraceAt(2, Bmp() ? "funcAddMemHeaderToBMP, iStatus = %d, iScannerFormat %d"
                         : "funcAddMemHeaderToTIFF, iStatus = %d, iScannerFormat %d",
                static_cast<int>(n), funcTableGetParam(92));
        if (n < 0) result = static_cast<int>(n);
        if (result >= 0) {
          const std::span<const uint8_t> record(frontBuffer.data(), static_cast<size_t>(n));
          const int w = WriteRecord(frontName, record, format);
          if (w < 0) result = w;
          TraceAt(2, "ScanRead: iFile, iStatus = %d", w);
          TraceAt(2, "iImageFormat = %d, iGray256Level = %d", funcTableGetParam(92), funcTableGetParam(45));
          // The reader follows the output: the black-and-white file's record, or a gray one's with depth.
          if (result >= 0 && OpticalCheck()) {
            if (format == 1) {
              funcOCRMICRFromBWImage(record, line, sizeof line);
            } else if (zc::imaging::ReadRecordHeader(record.data()).bits > 1) {
              funcOCRMICRFromGrayImage(record, line, sizeof line);
            }
          }
        }
      }
      for (auto [wanted, name, size] : {std::tuple{front, frontName, frontSize}, std::tuple{rear, rearName, rearSize}}) {
        if (result < 0 || !wanted) continue;
        const int32_t n = FileLength(name);
        if (n < 0) {
          result = n;
        } else if (size != nullptr) {
          *size = n;
        }
      }
    }
  } else {
    // The device is told the size of the smaller buffer it writes into, never more than one transfer.
    size_t room = static_cast<size_t>(kQv8MemoryBufferSize);
    if (front) room = std::min(room, frontMemory.size());
    if (rear) room = std::min(room, rearMemory.size());
    const int32_t r = qv8::QVScanDocToMem(front && !frontMemory.empty() ? frontMemory.data() : nullptr,
                                          rear && !rearMemory.empty() ? rearMemory.data() : nullptr,
                                          static_cast<int32_t>(room), line, kDeviceCodeLine, 0);
    if (r != 0) result = Qv8Status(r);
    int largest = 0;
    if (result >= 0 && rear && !rearMemory.empty()) {
      const int64_t n = ToRecord(rearMemory.first(room), &largest);
      TraceAt(2, "ScanRead: iMemory, funcAddMemHeaderToTIFFBACK, iStatus = %d", static_cast<int>(n));
      if (n < 0) {
        result = static_cast<int>(n);
      } else if (rearSize != nullptr) {
        *rearSize = static_cast<int32_t>(n);
      }
    }
    if (result >= 0 && front && !frontMemory.empty()) {
      const int64_t n = ToRecord(frontMemory.first(room), &largest);
      TraceAt(2, "ScanRead: iMemory, funcAddMemHeaderToTIFFFRONT, iStatus = %d", static_cast<int>(n));
      if (n < 0) {
        result = static_cast<int>(n);
      } else {
        if (frontSize != nullptr) *frontSize = static_cast<int32_t>(n);
        ReadOptically(frontMemory.first(static_cast<size_t>(n)), line, sizeof line);
      }
    }
  }

  line[kDeviceCodeLine] = '\0';
  if (codeLineLength != nullptr) *codeLineLength = static_cast<int32_t>(std::strlen(line));
  funcAssembleMICR(line, sizeof line, nullptr);
  if (codeLineLength != nullptr) *codeLineLength = static_cast<int32_t>(std::strlen(line));
  if (codeLine != nullptr) std::memcpy(codeLine, line, std::strlen(line) + 1);
  st.scanFailed = result < 0 && result != kFeederEmpty;
  if (result < 0 && funcTableGetParam(32) != 0 && funcTableGetParam(49) != 0) {
    qv8::QVSetDestinationPocket(funcTableGetParam(82) == 0 ? 0 : 1);
  }
  plat::PumpThreadMessages();
  return result;
}

int funcQV800ScanEnd() {
  Qv800State& st = Qv8State();
  if (!st.scanFailed) return 0;
  qv8::QVCloseScan();
  st.scanOpen = false;
  return Qv8Status(qv8::QVEject(0, static_cast<uint16_t>(funcTableGetParam(82))));
}

int funcQV800ScanOne(int /*mode*/, int32_t* frontSize, int32_t* rearSize, char* codeLine, int32_t* codeLineLength,
                     const char* frontName, const char* rearName, std::span<uint8_t> frontMemory,
                     std::span<uint8_t> rearMemory, int memory, int format) {
  if (ApiTraceLevel() != 0) TraceAt(1, "funcQV800ScanOne");
  if (int r = funcQV800ScanReadInit(); r < 0) return r;
  const int read = funcQV800ScanRead(frontSize, rearSize, codeLine, codeLineLength, frontName, rearName, frontMemory,
                                     rearMemory, memory, format);
  // A failed document still closes the scan and goes to its pocket; the read's code is what the caller sees.
  const int end = funcQV800ScanEnd();
  if (read < 0) return read;
  return end;
}

}  // namespace zarn
