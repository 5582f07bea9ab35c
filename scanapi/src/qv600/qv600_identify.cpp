// Identifying the connected QV600-line scanner from the device library's identity block.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/ini.h"
#include "zarn/api_state.h"
#include "zarn/lifecycle.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

constexpr int kUnidentified = -5;

struct ModelRow {
  const char* manufacturer;
  const char* model;
  int number;
  int firmwareRow;       // row of the firmware table, -1 none
  bool scanBatch;        // reads "SCANBATCH Enable"
  int doubleFeedFallback;  // -1: no double-feed setting
};

// In the order the serial-number read tests them.
constexpr ModelRow kModels[9] = {
    {"QRM Inc ", "Scanner QV600", 200, -1, false, -1},
    {"KWL Ltd ", "Scanner Qv600", 200, -1, false, -1},
    {"VEK", "Orvisca Scanner Qv605", 205, -1, false, -1},
    {"VEK Corp.", "Orvisca Scanner RM 70", 30, 3, false, -1},
    {"KWL Ltd", "Orvisca Scanner Qv620", 220, 0, false, 65535},
    {"VEK", "Orvisca Scanner Qv620", 220, 0, false, 65535},
    {"VEK Corporation", "Orvisca Scanner Qv630", 230, 1, true, 1},
    {"VEK Corporation", "Orvisca Scanner Qv640", 240, 5, true, 1},
    {"VEK Corporation", "Orvisca Scanner Qv840", 440, 2, true, 1},
};
// The type read tests the RM70 row second.
constexpr int kTypeOrder[9] = {0, 3, 1, 2, 4, 5, 6, 7, 8};

bool RowMatches(const ModelRow& row, const std::string& manufacturer, const std::string& model) {
  return funcMatchIdentityString(manufacturer.c_str(), row.manufacturer) == 1 &&
         funcMatchIdentityString(model.c_str(), row.model) == 1;
}

// Reads the identity block; 0 or the mapped error.
int ReadIdentity(char (&block)[kIdentityBlockSize]) {
  std::memset(block, 0, sizeof block);
  if (LoadQv6Library() < 0) return kScannerMissing;
  if (Qv6().QV6GetInfo(Qv600().connection.load(), block, static_cast<int>(sizeof block)) == 0)
    return Qv6MappedError();
  return 0;
}

// A decimal counter, saturated to the int range.
int Counter(const std::string& text) {
  errno = 0;
  const long long v = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

void CopyCut(char* dst, size_t room, const std::string& text) {
  if (dst == nullptr || room == 0) return;
  const size_t n = std::min(text.size(), room - 1);
  std::memcpy(dst, text.data(), n);
  dst[n] = '\0';
}

const char* ApiIni() {
  const char* p = funcTableGetParamString(135);
  return Api().readIniPath.empty() ? p : Api().readIniPath.c_str();
}

void FirstIdentificationSettings(const ModelRow& row) {
  if (row.firmwareRow >= 0)
    funcTableSetParamString(138, QV600FirmwareTable()[row.firmwareRow].value);
  if (row.scanBatch)
    ZARNSetParam(160, plat::ReadProfileInt("ACQ. SETUP", "SCANBATCH Enable", 0, ApiIni()));
  if (row.doubleFeedFallback >= 0) {
    int v = plat::ReadProfileInt("ACQ. SETUP", "Acq: Doc.thickness", 65535, ApiIni());
    if (static_cast<int16_t>(v) == -1)
      v = plat::ReadProfileInt("ACQ. SETUP", "Devices: Double feed detect", row.doubleFeedFallback, ApiIni());
    // A QV620 with neither key keeps its double-feed setting: the unread mark is no setting to hand on.
    if (static_cast<int16_t>(v) != -1) ZARNSetParam(7, v & 0xFFFF);
  }
}

}  // namespace

int funcMatchIdentityString(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return 0;
  const size_t n = std::strlen(text), m = std::strlen(pattern);
  if (m > n) return 0;
  for (size_t i = 0; i + m <= n; ++i) {
    size_t k = 0;
    while (k < m && ((text[i + k] ^ pattern[k]) & 0x1F) == 0) ++k;
    if (k == m) return 1;
  }
  return 0;
}

std::string IdentityText(const char* block, size_t size, int index) {
  size_t pos = 0;
  for (int i = 1; i < index && pos < size; ++i) {
    const void* end = std::memchr(block + pos, '\0', size - pos);
    if (end == nullptr) return "";
    pos = static_cast<size_t>(static_cast<const char*>(end) - block) + 1;
  }
  if (pos >= size) return "";
  const void* end = std::memchr(block + pos, '\0', size - pos);
  const size_t len = end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - (block + pos)) : size - pos;
  return std::string(block + pos, len);
}

int QV600GetScannerType(int* model, int* family) {
  TraceAt(1, "QV600GetScannerType");
  if (model != nullptr) *model = kUnidentified;
  if (family != nullptr) *family = kUnidentified;
  char block[kIdentityBlockSize];
  if (int r = ReadIdentity(block); r != 0) return r;
  const std::string manufacturer = IdentityText(block, sizeof block, 1);
  const std::string modelText = IdentityText(block, sizeof block, 2);
  for (int index : kTypeOrder) {
    const ModelRow& row = kModels[index];
    if (!RowMatches(row, manufacturer, modelText)) continue;
    if (model != nullptr) *model = row.number;
    if (family != nullptr) *family = row.number == 30 ? kFamilyRm70 : kFamilyQv600;
    return row.number;
  }
  TraceAt(2, "%s", manufacturer.c_str());
  TraceAt(2, "%s", modelText.c_str());
  return kUnidentified;
}

int QV600GetScannerSerialNumber(char* serial, size_t serialSize, int* documents, int* minutes) {
  TraceAt(1, "QV600GetScannerSerialNumber");
  char block[kIdentityBlockSize];
  if (int r = ReadIdentity(block); r != 0) {
    CopyCut(serial, serialSize, "");
    return r;
  }
  QV600State& s = Qv600();
  ApiState& api = Api();
  int typeCode = kUnidentified;
  const std::string manufacturer = IdentityText(block, sizeof block, 1).substr(0, 63);
  const std::string modelText = IdentityText(block, sizeof block, 2).substr(0, 63);
  bool matched = false;
  for (int index = 0; index < 9 && !matched; ++index) {
    const ModelRow& row = kModels[index];
    if (!RowMatches(row, manufacturer, modelText)) continue;
    matched = true;
    if (api.scannerModel == 200) FirstIdentificationSettings(row);
    api.scannerModel = row.number;
    typeCode = kFamilyQv600;
    if (index == 6) {
      int mode = 0;
      if (Qv6().QV6GetOperatingMode(s.connection.load(), &mode) == 1 && (mode & 1) != 0) {
        api.scannerModel = 215;
        funcTableSetParam(160, 0);
        TraceAt(1, "QV615");
      }
    }
  }
  if (!matched) {
    TraceAt(1, "%s", manufacturer.c_str());
    TraceAt(1, "%s", modelText.c_str());
  }
  SetScannerTypeCode(typeCode);
  const std::string serialText = IdentityText(block, sizeof block, 5);
  CopyCut(serial, serialSize, serialText);
  if (api.scannerModel == 230 || api.scannerModel == 440) {
    const char fifth = serialText.size() > 4 ? serialText[4] : '\0';
    const char sixth = serialText.size() > 5 ? serialText[5] : '\0';
    int speed = 100, fast = 0;
    const int chosen = funcTableGetParam(163);
    if (fifth == '2') {
      speed = 35;
    } else if (fifth == '0' && sixth != '0') {
      speed = chosen == 35 ? 35 : 65;
    } else {
      fast = 1;
      if (chosen == 65 || chosen == 35) {
        speed = chosen;
        fast = 0;
      }
    }
    s.qv630Speed = speed;
    s.qv630Fast = fast;
    ZARNSetParam(163, speed);
    TraceAt(1, "iQV630Fast = %d, pcSerialNumber = %s", fast, serialText.c_str());
  }
  TraceAt(1, "%s", serialText.c_str());
  if (documents != nullptr) *documents = Counter(IdentityText(block, sizeof block, 6));
  if (minutes != nullptr) *minutes = Counter(IdentityText(block, sizeof block, 7));
  ZARNSetParam(167, api.scannerModel);
  return typeCode;
}

int QV600GetScannerInfo(unsigned char* adapter, unsigned char* target, char* vendor, size_t vendorSize,
                        char* product, size_t productSize, char* release, size_t releaseSize, int show) {
  TraceAt(1, "QV600GetScannerInfo");
  char block[kIdentityBlockSize];
  if (int r = ReadIdentity(block); r != 0) {
    CopyCut(vendor, vendorSize, "");
    CopyCut(product, productSize, "");
    CopyCut(release, releaseSize, "");
    return r;
  }
  const auto a = static_cast<unsigned char>(ZARNGetParam(103) & 0xFF);
  const auto t = static_cast<unsigned char>(ZARNGetParam(102) & 0xFF);
  if (adapter != nullptr) *adapter = a;
  if (target != nullptr) *target = t;
  CopyCut(vendor, vendorSize, IdentityText(block, sizeof block, 1));
  CopyCut(product, productSize, IdentityText(block, sizeof block, 2));
  CopyCut(release, releaseSize, IdentityText(block, sizeof block, 4));
  if (show != 0) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "Host Adapter:  %d\nSCSI ID           :  %d\nVendor            :  %s\nProduct           :  %s\n"
                  "Release         :  %s",
                  a, t, vendor != nullptr && vendorSize > 0 ? vendor : "",
                  product != nullptr && productSize > 0 ? product : "",
                  release != nullptr && releaseSize > 0 ? release : "");
    ShowInfoBox("SCSI Information", text);
  }
  return kFamilyQv600;
}

}  // namespace zarn
