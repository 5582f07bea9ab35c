// The API's per-document calls: the four scan calls, the job set-up they share, eject, clear and the
// family dispatchers behind them.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "imaging/image_writers.h"
#include "imaging/record_helpers.h"
#include "platform/byte_order.h"
#include "zarn/api_state.h"
#include "zarn/lifecycle.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/qv600_services.h"
#include "zarn/qv800.h"
#include "zarn/scan.h"
#include "zarn/statistics.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

constexpr size_t kNameRoom = 256;

// What the last scan call reported, kept until the next one.
struct LastScan {
  int32_t frontSize = 0;
  int32_t rearSize = 0;
  int32_t codeLineLength = 0;
  char codeLine[kCodeLineSize] = {};
  char frontName[kNameRoom] = {};
  char rearName[kNameRoom] = {};
};
LastScan g_last;

enum class Call { kFile, kFileGray, kMemory, kMemoryGray };

bool Bw(Call c) { return c == Call::kFile || c == Call::kMemory; }
bool Memory(Call c) { return c == Call::kMemory || c == Call::kMemoryGray; }

void PutText(char* out, int32_t value) {
  if (out != nullptr) std::snprintf(out, 12, "%d", value);
}

void ClearRecordSides(std::span<uint8_t> area) {
  if (area.size() >= 4) std::memset(area.data(), 0, 4);
}

int SideBits(int colourParam) {
  const int colour = funcTableGetParam(colourParam);
  if (colour == 1 || colour == 2) return 24;
  return funcTableGetParam(45) != 0 ? 8 : 4;
}

void CountStatistics(Call call, int result) {
  if (funcTableGetParam(134) == 0) return;
  if (result < 0) {
    funcStatisticsError(result);
    return;
  }
  // The document's magnetic verification status, once per document.
  funcStatisticsMICR(funcGetMICRVerifyStatus());
  const bool frontOnly = funcTableGetParam(42) != 0;
  const bool both = funcTableGetParam(43) != 0;
  if (Bw(call)) {
    if (frontOnly) funcStatisticsImage(1);
    if (both) {
      funcStatisticsImage(1);
      funcStatisticsImage(1);
    }
    return;
  }
  if (frontOnly || both) funcStatisticsImage(SideBits(119));
  if (both) funcStatisticsImage(SideBits(126));
}

int Scan(Call call, int mode, const char* frontName, const char* rearName, std::span<uint8_t> frontArea,
         std::span<uint8_t> rearArea, int format) {
  ApiState& api = Api();
  // A refused call reports nothing of an earlier document.
  g_last.frontSize = 0;
  g_last.rearSize = 0;
  g_last.codeLineLength = 0;
  g_last.codeLine[0] = '\0';
  if (!api.zarnInitialised || funcGetScannerTypeCode() < 0) return kInitScannerError;
  const char* front = nullptr;
  const char* rear = nullptr;
  if (!Memory(call)) {
    if (frontName != nullptr) {
      if (int r = zc::imaging::funcCutFileName(frontName, g_last.frontName, kNameRoom); r < 0) return r;
      front = g_last.frontName;
    }
    if (rearName != nullptr) {
      if (int r = zc::imaging::funcCutFileName(rearName, g_last.rearName, kNameRoom); r < 0) return r;
      rear = g_last.rearName;
    }
  }
  if (mode < 1 || mode > 7) return kBadJob;
  if (Memory(call)) {
    ClearRecordSides(frontArea);
    ClearRecordSides(rearArea);
  }

  const int gray256 = funcTableGetParam(45);
  const int cycleFormat = Bw(call) ? 1 : format;
  int result;
  if (IsQv600Line(api.scannerFamily)) {
    result = funcQV800ScanSetup(1, mode, Bw(call) ? 1 : format, 0, gray256);
    if (result >= 0) {
      result = funcGetImage(front, rear, frontArea, rearArea, &g_last.frontSize, &g_last.rearSize, g_last.codeLine,
                            &g_last.codeLineLength, cycleFormat);
    }
  } else if (api.scannerFamily < 1) {
    result = kScannerMissing;
  } else {
    result = funcQV800ScanSetup(Bw(call) ? 1 : 0, mode, Bw(call) ? 1 : format, Memory(call) ? 1 : 0, gray256);
    if (result >= 0) {
      result = funcQV800ScanOne(mode, &g_last.frontSize, &g_last.rearSize, g_last.codeLine, &g_last.codeLineLength,
                                front, rear, frontArea, rearArea, Memory(call) ? 1 : 0, cycleFormat);
    }
  }

  CountStatistics(call, result);
  if (call == Call::kMemory) {
    for (std::span<uint8_t> area : {frontArea, rearArea}) {
      if (area.size() >= 6) plat::bytes::PutLe16(area.data() + 4, 1);
    }
  }
  if (call == Call::kMemoryGray && result >= 0 &&
      (funcTableGetParam(189) > 0 || funcTableGetParam(190) >= 1)) {
    if (!frontArea.empty() && g_last.frontSize > 0) g_last.frontSize = zc::imaging::funcPadImageLines(frontArea);
    if (!rearArea.empty() && g_last.rearSize > 0) g_last.rearSize = zc::imaging::funcPadImageLines(rearArea);
  }
  if (result < 0 && !(result == kDoubleFeed && funcTableGetParam(7) == 2)) {
    g_last.frontSize = 0;
    g_last.rearSize = 0;
    g_last.codeLineLength = 0;
    g_last.codeLine[0] = '\0';
  }
  return result;
}

// Hands the code line to the caller: at most 97 characters and the NUL; the length says what was read.
void CopyCodeLine(char* codeLine, bool lengthWanted) {
  if (codeLine == nullptr || !lengthWanted) return;
  const size_t have = std::strlen(g_last.codeLine);
  const size_t n = std::min<size_t>(have, static_cast<size_t>(std::clamp(g_last.codeLineLength, 0, 96)) + 1);
  std::memcpy(codeLine, g_last.codeLine, n);
  codeLine[n] = '\0';
}

int FileScan(Call call, int mode, const char* frontName, char* frontSizeText, const char* rearName,
             char* rearSizeText, char* codeLine, char* codeLineLengthText, int format) {
  const int result = Scan(call, mode, frontName, rearName, {}, {}, format);
  PutText(frontSizeText, g_last.frontSize);
  PutText(rearSizeText, g_last.rearSize);
  PutText(codeLineLengthText, g_last.codeLineLength);
  CopyCodeLine(codeLine, codeLineLengthText != nullptr);
  return result;
}

int MemoryScan(Call call, int mode, std::span<uint8_t> frontArea, int32_t* frontSize, std::span<uint8_t> rearArea,
               int32_t* rearSize, char* codeLine, int32_t* codeLineLength, int format) {
  const int result = Scan(call, mode, nullptr, nullptr, frontArea, rearArea, format);
  if (frontSize != nullptr) *frontSize = g_last.frontSize;
  if (rearSize != nullptr) *rearSize = g_last.rearSize;
  if (codeLineLength != nullptr) *codeLineLength = g_last.codeLineLength;
  CopyCodeLine(codeLine, codeLineLength != nullptr);
  return result;
}

}  // namespace

int ZARNScan(int mode, const char* frontName, char* frontSizeText, const char* rearName, char* rearSizeText,
             char* codeLine, char* codeLineLengthText) {
  TraceAt(1, "ZARNScan(%.255s)", frontName != nullptr ? frontName : "(null)");
  return FileScan(Call::kFile, mode, frontName, frontSizeText, rearName, rearSizeText, codeLine, codeLineLengthText,
                  1);
}

int ZARNScanGray(int mode, const char* frontName, char* frontSizeText, const char* rearName, char* rearSizeText,
                 char* codeLine, char* codeLineLengthText, int format) {
  TraceAt(1, "ZARNScanGray");
  return FileScan(Call::kFileGray, mode, frontName, frontSizeText, rearName, rearSizeText, codeLine,
                  codeLineLengthText, format);
}

int ZARNScanMemory(int mode, std::span<uint8_t> frontArea, int32_t* frontSize, std::span<uint8_t> rearArea,
                   int32_t* rearSize, char* codeLine, int32_t* codeLineLength) {
  TraceAt(1, "ZARNScanMemory");
  return MemoryScan(Call::kMemory, mode, frontArea, frontSize, rearArea, rearSize, codeLine, codeLineLength, 1);
}

int ZARNScanMemoryGray(int mode, std::span<uint8_t> frontArea, int32_t* frontSize, std::span<uint8_t> rearArea,
                       int32_t* rearSize, char* codeLine, int32_t* codeLineLength, int format) {
  TraceAt(1, "ZARNScanMemoryGray %d", kApiVersion);
  return MemoryScan(Call::kMemoryGray, mode, frontArea, frontSize, rearArea, rearSize, codeLine, codeLineLength,
                    format);
}

int funcScanSetupSetParam(int id, int value) {
  if (Api().scannerFamily < 1) return kScannerMissing;
  return ZARNSetParam(id, value);
}

int16_t funcQV800FormatCode(int format, int memory, int bw, int gray256, int rotate) {
  if (bw != 0) return static_cast<int16_t>(rotate + 3);
  if (gray256 != 0) return static_cast<int16_t>(rotate + 1);
  if (format == 3 && memory == 0) return static_cast<int16_t>(rotate + 1);
  return static_cast<int16_t>(rotate + 3);
}

int funcQV800ScanSetup(int bw, int mode, int format, int memory, int gray256) {
  TraceAt(1, "funcQV800ScanSetup 1");
  const int family = Api().scannerFamily;
  bool changed = false;
  int result = 0;
  SetDriverWriteThrough(false);
  auto set = [&](int id, int value) {
    result = funcScanSetupSetParam(id, value);
    changed = true;
  };
  if (family >= 300) {
    if (bw != 0) {
      if (funcTableGetParam(6) == 0 && (family == 400 || family == 300 || family == 314)) result = kBadParameter;
      // Parameter 23 is compared in the form it is set in (1 gray): the table holds it inverted.
      if (ZARNGetParam(23) != 0 && result >= 0) set(23, 0);
    } else {
      if (ZARNGetParam(23) != 1) set(23, 1);
      if (result >= 0 && funcTableGetParam(45) != gray256) set(45, gray256);
    }
    if (result < 0) {
      SetDriverWriteThrough(true);
      return result;
    }
  }
  struct Sides {
    int micr, frontOnly, both;
  };
  Sides want{};
  switch (mode) {
    case 1: want = {0, 1, 0}; break;
    case 3: want = {0, 0, 1}; break;
    case 5: want = {1, 1, 0}; break;
    case 7: want = {1, 0, 1}; break;
    default:
      SetDriverWriteThrough(true);
      return kBadParameter;
  }
  if (funcTableGetParam(1) != want.micr) set(1, want.micr);
  if (funcTableGetParam(42) != want.frontOnly) set(42, want.frontOnly);
  if (funcTableGetParam(43) != want.both) set(43, want.both);
  SetDriverWriteThrough(true);
  if (result < 0) return result;
  if (!IsQv600Line(family)) {
    const int code = funcQV800FormatCode(format, memory, bw, gray256, funcTableGetParam(37));
    if (code != funcTableGetParam(92)) {
      ZARNSetParam(92, code);
      changed = true;
    }
    if (changed || Api().reloadPending.load()) {
      Api().reloadPending = false;
      if (int r = funcQV800SendCfgFile(nullptr, nullptr); r < 0) return r;
    }
  } else if (changed) {
    Api().reloadPending = true;
  }
  return result;
}

int ZARNEjectDocument() {
  TraceAt(1, "ZARNEjectDocument");
  return funcEjectDocument(0, 1);
}

int ZARNEjectDocumentEx(int mode, int flag) {
  TraceAt(1, "ZARNEjectDocument");
  return funcEjectDocument(mode, flag);
}

int ZARNClearDocument() {
  TraceAt(1, "ZARNClearDocument");
  return funcClearDocument(0, 1);
}

int ZARNReservedCall() { return kUnsupportedFunction; }

}  // namespace zarn
