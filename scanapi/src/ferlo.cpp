// The scanner-manager reporting client.
#include "zarn/ferlo.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/dynlib.h"
#include "platform/environment.h"
#include "zarn/api_state.h"
#include "zarn/lifecycle.h"
#include "zarn/params.h"
#include "zarn/record_file.h"
#include "zarn/scanner_info.h"
#include "zarn/statistics.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

constexpr const char* kEntryNames[kFerloEntryPoints] = {
    "Reserved1", "Initialize", "SetSerialNumber", "GetStatus", "BeginDocument", "WriteData",
    "EndDocument", "ShutDown",  "TrackIsIdle",     "SetOptionsFile", "SetOption"};

plat::ModuleHandle g_module = nullptr;
void* g_entries[kFerloEntryPoints] = {};
FerloInterface* g_interface = nullptr;
bool g_active = false;
// The scanner as the API's own calls report it: the serial number with the lifetime document count, and
// the identity texts without boxes, on either scanner line.
class ApiScanner final : public StatisticsDevice {
 public:
  int Serial(int, std::string& serial, int& documents, int& minutes) override {
    char buf[kSerialRoom] = {};
    int32_t count = 0, time = 0;
    const int r = ZARNGetScannerSerialNumber(buf, &count, &time);
    serial = buf;
    documents = count;
    minutes = time;
    return r < 0 ? r : 0;
  }
};

ApiScanner g_scannerDevice;
StatisticsDevice* g_device = nullptr;

StatisticsDevice& Device() { return g_device != nullptr ? *g_device : g_scannerDevice; }

// The wrappers reach the object only once it is there.
FerloInterface* Object() { return g_interface; }

std::string Text(const char* fmt, int value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, fmt, value);
  return buf;
}

int Count(const char* text, char c) {
  int n = 0;
  for (const char* p = text; *p != '\0'; ++p) n += *p == c ? 1 : 0;
  return n;
}

const char* OrEmpty(const char* text) { return text != nullptr ? text : ""; }

char ConfidenceAt(const char* confidence, size_t i) {
  return i < std::strlen(confidence) ? confidence[i] : '0';
}

}  // namespace

void FerloInitialize(const char* v, const char* f, const char* m) { if (auto* o = Object()) o->Initialize(v, f, m); }
void FerloSetSerialNumber(const char* s) { if (auto* o = Object()) o->SetSerialNumber(s); }
int FerloGetStatus() { auto* o = Object(); return o != nullptr && o->GetStatus() != 0 ? 1 : 0; }
void FerloBeginDocument() { if (auto* o = Object()) o->BeginDocument(); }
void FerloWriteData(const char* s, const char* k, const char* v) { if (auto* o = Object()) o->WriteData(s, k, v); }
void FerloEndDocument() { if (auto* o = Object()) o->EndDocument(); }
void FerloShutDown() { if (auto* o = Object()) o->ShutDown(); }
void FerloSlot7() { if (auto* o = Object()) o->Slot7(); }
int FerloSlot8() { auto* o = Object(); return o != nullptr && o->Slot8() != 0 ? 1 : 0; }
void FerloSetOptionsFile(intptr_t v) { if (auto* o = Object()) o->SetOptionsFile(v); }
void FerloSetOption(intptr_t a, intptr_t b) { if (auto* o = Object()) o->SetOption(a, b); }

int funcResolveFerloEntryPoints() {
  int found = 0;
  for (int i = 0; i < kFerloEntryPoints; ++i) {
    g_entries[i] = plat::GetProcAddress(g_module, kEntryNames[i]);
    found += g_entries[i] != nullptr ? 1 : 0;
  }
  return found;
}

int FerloLoad(const char* fileName) {
  std::string name;
  if (fileName != nullptr && fileName[0] != '\0') {
    name = fileName;
  } else {
    const std::string folder = plat::ExpandEnvironmentStrings("%FERLO_PATH%");
    name = folder.size() > std::strlen("%FERLO_PATH%") ? folder + "\\" + kFerloLibraryName : kFerloLibraryName;
  }
  // Never unloaded: the manager may keep threads of its own.
  g_module = plat::LoadLibraryA(name.c_str());
  if (g_module == nullptr) return 2;
  if (funcResolveFerloEntryPoints() < kFerloEntryPoints) return 2;
  g_interface = reinterpret_cast<FerloReserved1>(g_entries[0])();
  return 0;
}

int FerloInit() {
  g_active = false;
  const int family = Api().scannerFamily;
  std::string serial, vendor, product, release;
  int documents = 0, minutes = 0;
  if (funcTableGetParam(186) != 0) {
    Device().Serial(family, serial, documents, minutes);
    Device().Info(vendor, product, release);
    const std::string now = Device().Now();  // "yyyy:mm:dd hh:mm:ss"
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    std::sscanf(now.c_str(), "%d:%d:%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
    char line[kRecordLineMax + 1];
    std::snprintf(line, sizeof line, "I%s|%04d|%02d|%02d|%02d|%02d|%02d|%d|%d|%d|%s|%d|", serial.c_str(), y, mo, d, h,
                  mi, s, funcTableGetParam(167), funcGetApiVersion(), funcGetQv6DllVersion(), release.c_str(),
                  documents);
    FerloWriteRecord(line);
  }
  if (funcTableGetParam(182) == 0) return 1;
  const char* path = funcTableGetParamString(177);
  int r;
  if (path != nullptr && path[0] != '\0') {
    TraceAt(2, "%s", path);
    r = FerloLoad(path);
  } else {
    TraceAt(2, "FerloLoad(NULL)");
    r = FerloLoad(nullptr);
  }
  if (r != 0) {
    TraceAt(2, "FerloLoad FAILED");
    return 2;
  }
  g_active = true;
  serial.clear();
  Device().Serial(family, serial, documents, minutes);
  Device().Info(vendor, product, release);
  FerloInitialize(vendor.c_str(), "Orvisca Scanner", Text("Qv%d", funcTableGetParam(167)).c_str());
  FerloSetSerialNumber(serial.c_str());
  FerloWriteData("WorkstationID", "ScannerFirmwareVersion", release.c_str());
  FerloWriteData("WorkstationID", "ScannerAPIVersion", Text("%d", funcGetApiVersion()).c_str());
  FerloWriteData("WorkstationID", "LifetimeDocumentCount", Text("%d", documents).c_str());
  FerloWriteData("WorkstationID", "SecondaryApiVersion", Text("%d", funcGetQv6DllVersion()).c_str());
  TraceAt(2, "Ferlo initialized");
  return 0;
}

int FerloExit() {
  TraceAt(2, "FerloExit");
  if (g_active) {
    FerloShutDown();
    g_active = false;
  }
  if (funcTableGetParam(186) != 0) FerloWriteRecord("EXIT");
  TraceAt(2, "FerloExit Done");
  return 0;
}

int FerloReportError(int code, const char* codeLine) {
  if (code == -212) return 0;
  const size_t row = ZarnStatusIndex(code);
  const ZarnStatusTextRow& entry = ZarnStatusTexts()[row];
  TraceAt(2, "Ferlo Error (%d) => %s", code, entry.text);
  if (funcTableGetParam(186) != 0) {
    int kind = 0;
    if (code == -217) {
      if (funcTableGetParam(7) < 2) {
        kind = 1;
      } else if (codeLine == nullptr || Count(codeLine, '@') >= 2) {
        kind = 2;
      } else if (Count(codeLine, ':') >= 3 || Count(codeLine, ';') >= 3) {
        kind = 3;
      } else {
        kind = 4;
      }
    }
    char line[32];
    if (kind == 0) {
      std::snprintf(line, sizeof line, "E%d|", code < 0 ? -code : code);
    } else {
      std::snprintf(line, sizeof line, "E%d.%d|", 217, kind);
    }
    FerloWriteRecord(line);
  }
  if (!g_active) return 0;
  const bool known = row < 90;
  FerloBeginDocument();
  FerloWriteData("Exception", "BeginException", "");
  FerloWriteData("Exception", "Severity", known ? Text("%d", entry.severity).c_str() : "10");
  FerloWriteData("Exception", "Class", "0");
  FerloWriteData("Exception", "APIError", Text("%d", code).c_str());
  FerloWriteData("Exception", "APIText", known ? entry.text : "Unknown Error");
  FerloWriteData("Exception", "EndException", "");
  FerloEndDocument();
  return 0;
}

ScannerManager& FerloService() {
  class Client final : public ScannerManager {
   public:
    int Init() override { return FerloInit(); }
    void Exit() override { FerloExit(); }
  };
  static Client client;
  return client;
}

int FerloReportDocument(const int32_t* iqa, int quality, int threshold, const char* opticalLine,
                        const char* opticalConfidence, const char* secondMicrLine, const char* scannerLine) {
  static const int32_t kNone[32] = {};
  if (iqa == nullptr) iqa = kNone;
  const char* ocr = OrEmpty(opticalLine);
  const char* conf = OrEmpty(opticalConfidence);
  const char* second = OrEmpty(secondMicrLine);
  const char* micr = OrEmpty(scannerLine);
  const int micrLength = static_cast<int>(std::strlen(micr));
  const int micrChars = micrLength - Count(micr, ' ');
  const int micrRejects = Count(micr, '@');
  int ocrCounted = 0, ocrLow = 0, ocrHigh = 0, ocrBelowThree = 0;
  for (size_t i = 0; ocr[i] != '\0'; ++i) {
    const char c = ConfidenceAt(conf, i);
    if (ocr[i] != ' ' || c <= '1') ++ocrCounted;
    if (c <= '1') ++ocrLow;
    if (ocr[i] != ' ') ++(c >= '3' ? ocrHigh : ocrBelowThree);
  }
  const int width = iqa[23] / 256;
  const int height = iqa[23] % 256;
  const int resolution = iqa[24];
  const int compressed = iqa[11];
  if (funcTableGetParam(186) != 0) {
    const bool texts = (funcTableGetParam(186) & 2) != 0;
    char line[kRecordLineMax * 2];
    std::snprintf(line, sizeof line, "D%d|%d|%d|%d|%d|%d|%d|%d|%d|%d|%d|%d|%d|%d|%d|%d|%d|%d|%d|%s|%s|%s|%s|", micrChars,
                  micrRejects, ocrCounted, ocrLow, width, height, resolution, quality, threshold, compressed, iqa[20],
                  iqa[10], iqa[25], iqa[4], iqa[5], iqa[6], iqa[7], iqa[1], iqa[31], texts ? second : "",
                  texts ? ocr : "", texts ? conf : "", texts ? micr : "");
    FerloWriteRecord(line);
  }
  if (!g_active) return 0;
  int q = quality;
  auto put = [](const char* section, const char* key, const std::string& value) {
    FerloWriteData(section, key, value.c_str());
  };
  auto num = [](int v) { return std::to_string(v); };
  auto flag = [](bool found) { return std::string(found ? "1" : "2"); };
  FerloBeginDocument();
  put("MICRReadsStatics", "NumberOfScannerMICRRejectCharacter", num(micrRejects));
  put("MICRReadsStatics", "NumberOfCodelineCharacterReturned", num(micrChars));
  put("MICRReadsStatics", "NumberOfSecondMICRRejectCharacter", num(Count(second, '@')));
  put("MICRReadsStatics", "NumberOfMisreadSuspects", "0");
  put("OEMDocInfo", "MicrResultStatus", num(iqa[9]));
  put("OEMDocInfo", "NumMicrCharsHighConfidence", num(micrChars - micrRejects));
  put("OEMDocInfo", "NumOcrCharsHighConfidence", num(ocrHigh));
  put("OEMDocInfo", "NumOcrCharsLowConfidence", num(ocrBelowThree));
  put("OEMDocInfo", "ImageDpi", num(resolution));
  put("OEMDocInfo", "TotalImageQuality", num(quality));
  put("OEMDocInfo", "ImageThresholdUsed", num(threshold));
  const char* iqaFront = "IQAStaticFront";
  put(iqaFront, "ImageHeight", num(height));
  put(iqaFront, "ImageWidth", num(width));
  put(iqaFront, "UnderSizeImage", flag(height < 10));
  put(iqaFront, "OverSizeImage", "2");
  if (compressed == 0) {
    put(iqaFront, "BelowMinimumCompressedImageSize", "0");
    put(iqaFront, "AboveMaximumCompressedImageSize", "0");
  } else {
    put(iqaFront, "CompressedImageSize", num(compressed));
    put(iqaFront, "BelowMinimumCompressedImageSize", flag(compressed < 1024));
    if (compressed < 1024) q += 256;
    put(iqaFront, "AboveMaximumCompressedImageSize", flag(compressed > 65536));
    if (compressed > 65536) q += 256;
  }
  put(iqaFront, "FrontRearImageMismatch", "2");
  put(iqaFront, "HorizontalStreaks",
      (funcTableGetParam(146) & 0x200000) == 0 ? std::string("0") : flag(iqa[20] != 0));
  put(iqaFront, "ImageTooDark", flag(iqa[10] > funcTableGetParam(154)));
  put(iqaFront, "ImageTooLight", flag(iqa[10] < 3));
  if (iqa[10] < 3) q += 256;
  put(iqaFront, "PercentageBlackPixels", num(iqa[10]));
  put(iqaFront, "FramingError", "2");
  if (iqa[25] != 0) {
    put(iqaFront, "ExcessiveDocumentSkew", "1");
    put(iqaFront, "ExcessiveDocumentSkewAngle", num(iqa[25]));
  } else {
    put(iqaFront, "ExcessiveDocumentSkew", "2");
  }
  put(iqaFront, "TornAndFoldedDocumentEdges", "0");
  const int cornerLimit = funcTableGetParam(153);
  int largest = 0;
  bool torn = false;
  for (int i = 4; i <= 7; ++i) {
    largest = std::max(largest, iqa[i]);
    torn = torn || iqa[i] > cornerLimit;
  }
  if (torn) {
    put(iqaFront, "TornAndFoldedDocumentCorners", "1");
    if (resolution > 0) {
      static const char* const kCorners[4] = {"TL", "TR", "BL", "BR"};
      for (int i = 0; i < 4; ++i) {
        const int64_t size = (int64_t{iqa[4 + i]} * 7 + resolution / 2) / resolution;
        put(iqaFront, (std::string("TornAndFoldedDocumentCornersWidth") + kCorners[i]).c_str(), std::to_string(size));
        put(iqaFront, (std::string("TornAndFoldedDocumentCornersHeight") + kCorners[i]).c_str(), std::to_string(size));
      }
    }
  } else {
    put(iqaFront, "TornAndFoldedDocumentCorners", "2");
  }
  if (iqa[1] > funcTableGetParam(151)) {
    put(iqaFront, "ExcessiveSpotNoise", "1");
    put(iqaFront, "ExcessiveSpotNoiseNormalizedSpotNoise", num(iqa[1]));
  } else {
    put(iqaFront, "ExcessiveSpotNoise", "2");
  }
  if (q >= 200) {
    put(iqaFront, "DocWithDefects", "1");
    char details[kRecordLineMax + 1];
    std::snprintf(details, sizeof details, "%dx%dx%dQ%dT%dC%dS%xD%dS%dB%dS%dM%d", width, height, resolution, q, threshold,
                  compressed, static_cast<unsigned>(iqa[20]), iqa[10], iqa[25], largest, iqa[1], micrRejects);
    put("ExtendedInfo", "BeginExtendedInfo", "");
    put("ExtendedInfo", "ExtendedDetails", details);
    put("ExtendedInfo", "Number1", "100");
    TraceAt(2, "FERLO LINE");
    TraceAt(2, "%s", details);
  } else {
    put(iqaFront, "DocWithDefects", "0");
  }
  FerloEndDocument();
  return 0;
}

bool FerloActive() { return g_active; }
void SetFerloDevice(StatisticsDevice* device) { g_device = device; }

void ResetFerloForTests() {
  g_active = false;
  g_interface = nullptr;
  g_module = nullptr;
  for (void*& e : g_entries) e = nullptr;
  FerloWriteRecord("EXIT");
}

}  // namespace zarn
