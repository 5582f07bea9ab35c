// QV800 identification, status and commands, the configuration hand-over and the print set-up.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ini.h"
#include "platform/paths.h"
#include "zarn/api_state.h"
#include "zarn/error_maps.h"
#include "zarn/ini_config.h"
#include "zarn/lifecycle.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/qv800.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

struct IdRow {
  const char* vendor;
  const char* product;
  int typeCode;  // 0: asked of the device (parameter 0)
  int family;
};

constexpr IdRow kIdentification[] = {
    {"ZARN Inc", "Scanner Tq62", 2, 2},
    {"ZUF Inc ", "Scanner Tq68", 3, 3},
    {"VEK Corp.", "Orvisca Scanner RM 70", 30, 30},
    {"QRM Inc ", "Scanner QV800", 400, 400},
    {"KWL Ltd ", "Scanner QV800", 400, 400},
    {"QRM Inc ", "Scanner QV600", 200, 200},
    {"KWL Ltd ", "Scanner Qv600", 200, 200},
    {"VEK", "Orvisca Scanner Qv605", 200, 200},
    {"VEK Corporation", "Orvisca Scanner Qv630", 230, 200},
    {"VEK Corporation", "Orvisca Scanner Qv840", 440, 200},
    {"QRM Inc ", "Scanner QV810", 300, 400},
    {"QRM Inc ", "Scanner QV700", 0, 0},
    {"QRM Inc ", "QV700/750/800ES", 0, 0},
    {"VEK", "QV700/750/800ES", 0, 0},
};

constexpr size_t kBitmapRoom = kQv8BitmapRoom;

// A field of the inquiry record as text: up to its NUL, never beyond its 32 bytes.
std::string Field(const uint8_t* inquiry, size_t offset) {
  const char* p = reinterpret_cast<const char*>(inquiry + offset);
  return std::string(p, strnlen(p, kQv8InquiryField));
}

void TraceInquiry(const std::string& vendor, const std::string& product) {
  if (ApiTraceLevel() == 0) return;
  TraceAt(1, "funcGetScannerType");
  TraceAt(1, "Vendor:");
  TraceAt(1, "%s", vendor.c_str());
  TraceAt(1, "Product:");
  TraceAt(1, "%s", product.c_str());
}

void CopyCut(char* out, const std::string& text, size_t chars) {
  if (out == nullptr) return;
  const size_t n = std::min(text.size(), chars);
  std::memcpy(out, text.data(), n);
  std::memset(out + n, 0, chars + 1 - n);
}

// Reads the two words: each kept as its signed low 16 bits, both 0 before the read.
int32_t ReadStatus(int* status, int* error) {
  uint32_t s = 0, e = 0;
  const int32_t r = qv8::QVGetStatus(&s, &e);
  *status = static_cast<int16_t>(s & 0xFFFF);
  *error = static_cast<int16_t>(e & 0xFFFF);
  return r;
}

// Re-sends the configuration and reads again: the converted failure, -124 while `bit` stays as `wantSet` says
// it must not, else 0.
int Resend(int* status, int* error, int bit, bool failWhenSet) {
  funcQV800SendCfgFile(nullptr, nullptr);
  if (int32_t r = ReadStatus(status, error); r != 0) return Qv8Status(r);
  const bool set = (*status & bit) != 0;
  return set == failWhenSet ? kZarnNotInitialised : 0;
}

}  // namespace

int funcMatchInquiryString(const char* text, size_t textRoom, const char* pattern) {
  if (pattern == nullptr || pattern[0] == '\0') return 1;
  if (text == nullptr) return 0;
  const long n = static_cast<long>(strnlen(text, textRoom));
  const long m = static_cast<long>(std::strlen(pattern));
  for (long i = 0; i < n - m + 1; ++i) {
    long j = 0;
    while (j < m && ((text[i + j] ^ pattern[j]) & 0x1F) == 0) ++j;
    if (j == m) return 1;
  }
  return 0;
}

int funcGetScannerType(const uint8_t* inquiry) {
  const std::string vendor = Field(inquiry, kQv8VendorOffset);
  const std::string product = Field(inquiry, kQv8ProductOffset);
  TraceInquiry(vendor, product);
  for (const IdRow& row : kIdentification) {
    if (!funcMatchInquiryString(vendor.c_str(), vendor.size(), row.vendor) ||
        !funcMatchInquiryString(product.c_str(), product.size(), row.product)) {
      continue;
    }
    int typeCode = row.typeCode, family = row.family;
    if (typeCode == 0) {
      const bool es = qv8::QVGetParam(0) == 1;
      typeCode = es ? 314 : 300;
      family = es ? 314 : 400;
    }
    SetScannerTypeCode(typeCode);
    TraceInquiry(vendor, product);
    return family;
  }
  return kScannerMissing;
}

int funcGetSCSIInfo(uint8_t adapter, uint8_t target) {
  if (ApiTraceLevel() != 0) TraceAt(1, "funcGetSCSIInfo");
  // Zeroed first: a device that answers without filling it must not be matched on an earlier probe's texts.
  uint8_t inquiry[kQv8InquirySize + 8] = {};
  inquiry[0] = adapter;
  inquiry[1] = target;
  if (qv8::QVScsiIdGetInfo(inquiry) < 0) return kInitScannerError;
  const int family = funcGetScannerType(inquiry);
  return family < 0 ? kScannerMissing : family;
}

int Qv800ScannerInfo(unsigned char* adapter, unsigned char* target, char* vendor, char* product, char* release,
                     int show) {
  uint8_t inquiry[kQv8InquirySize + 8] = {};
  inquiry[0] = static_cast<uint8_t>(funcTableGetParam(103));
  inquiry[1] = static_cast<uint8_t>(funcTableGetParam(102));
  if (adapter != nullptr) *adapter = inquiry[0];
  if (target != nullptr) *target = inquiry[1];
  auto empty = [&] {
    for (char* t : {vendor, product, release}) {
      if (t != nullptr) t[0] = '\0';
    }
  };
  char text[256];
  const int32_t r = qv8::QVScsiIdGetInfo(inquiry);
  if (r != 0) {
    if (show != 0) {
      std::snprintf(text, sizeof text, "Unable to initialize Scanner\n at Adapter = %d, Target = %d", inquiry[0],
                    inquiry[1]);
      ShowInfoBox("SCSI Information", text);
    }
    empty();
    return r == kQv8NotBound ? kQv800NotInitialised : kInitScannerError;
  }
  const int family = funcGetScannerType(inquiry);
  if (family < 0) {
    if (show != 0) {
      std::snprintf(text, sizeof text, "Unable to find Scanner\n at Adapter = %d, Target = %d", inquiry[0], inquiry[1]);
      ShowInfoBox("SCSI Information", text);
    }
    empty();
    return kScannerMissing;
  }
  CopyCut(vendor, Field(inquiry, kQv8VendorOffset), 8);
  CopyCut(product, Field(inquiry, kQv8ProductOffset), 16);
  CopyCut(release, Field(inquiry, kQv8ReleaseOffset), 6);
  if (show != 0) {
    std::snprintf(text, sizeof text,
                  "Host Adapter:  %d\nSCSI ID           :  %d\nVendor            :  %s\nProduct           :  %s\n"
                  "Release         :  %s",
                  inquiry[0], inquiry[1], vendor != nullptr ? vendor : "", product != nullptr ? product : "",
                  release != nullptr ? release : "");
    ShowInfoBox("SCSI Information", text);
  }
  return family;
}

int funcGetScannerSerialNumber(char* serial, size_t room) {
  if (ApiTraceLevel() != 0) TraceAt(1, "funcGetScannerSerialNumber");
  char buffer[kQv8SerialRoom] = {};
  const int32_t r = qv8::QVReadSN(buffer);
  buffer[kQv8SerialRoom - 1] = '\0';
  if (r == kQv8NotBound) return kQv800NotInitialised;
  if (r != 0) return kUnsupportedFunction;
  if (serial != nullptr && room > 0) {
    const size_t n = std::min(std::strlen(buffer), room - 1);
    std::memcpy(serial, buffer, n);
    serial[n] = '\0';
  }
  return 0;
}

int funcQV800GetScannerRunInfo(int32_t* countB, int32_t* countA) {
  if (ApiTraceLevel() != 0) TraceAt(1, "funcQV800GetScannerRunInfo");
  if (funcGetScannerTypeCode() == 200) {
    char serial[kIdentityBlockSize] = {};
    int a = 0, b = 0;
    QV600GetScannerSerialNumber(serial, sizeof serial, &a, &b);
    return 0;
  }
  int32_t first = 0, second = 0;
  if (int32_t r = qv8::QVReadCounters(&first, &second); r != 0) return Qv8Status(r);
  if (countB != nullptr) *countB = first;
  if (countA != nullptr) *countA = second;
  return 0;
}

int funcQV800Status() {
  if (IsQv600Line(Api().scannerFamily)) return funcQV600Status();
  int status = 0, error = 0;
  const int32_t first = ReadStatus(&status, &error);
  if (first == kQv8NotBound) return kQv800NotInitialised;
  if (first != 0 && (status & 0x10) != 0) {
    if (int r = Resend(&status, &error, 0x10, true); r != 0) return r;
  }
  const int doubleFeed = funcTableGetParam(7);
  const int inkJet = funcTableGetParam(31);
  if ((status & 0x10) != 0) {
    if (int r = Resend(&status, &error, 0x10, true); r != 0) return r;
  }
  if ((status & 0x400) == 0) {
    if (int r = Resend(&status, &error, 0x400, false); r != 0) return r;
  }
  struct Test {
    bool hit;
    int code;
  };
  const Test tests[] = {
      {(error & 0x1) != 0 && doubleFeed != 0, kDoubleFeed},
      {(status & 0x80) != 0 && inkJet != 0, kNoInkJetHead},
      {(error & 0x2) != 0, kFeedError},
      {(error & 0x4) != 0, kDocumentInTrack},
      {(error & 0x8) != 0, kMicrRead},
      {(error & 0x40) != 0, kNoDeviceFound},
      {(error & 0x80) != 0, kPocketTimeout},
  };
  for (const Test& t : tests) {
    if (t.hit) {
      qv8::QVClearErrors();
      return t.code;
    }
  }
  return (status & 0x1) != 0 ? 1 : 0;
}

int funcQV800CheckStatus() { return funcQV800Status(); }

int Qv800Eject(int flag) {
  const int32_t r = qv8::QVEject(0, static_cast<uint16_t>(flag == 0 || flag == 1 ? flag : 0));
  if (r == kQv8NotBound) return kQv800NotInitialised;
  // The library's error numbers are positive: any non-zero result is a failed eject.
  if (r < 0) return -542;
  return r == 0 ? 0 : funcConvertStatus(r);
}

int Qv800SetPocket(int pocket) { return Qv8Status(qv8::QVSetDestinationPocket(pocket)); }

int funcQV800PrintString(uint16_t value, const char16_t* text) {
  if (text == nullptr || text[0] == 0) return 1;
  return Qv8Status(qv8::QVUpdPrtString(value, reinterpret_cast<const uint16_t*>(text)));
}

int funcQV800PrintStringIJ(uint16_t value, const char* text, uint8_t flag) {
  if (!Qv8State().fontLoaded) return text == nullptr || text[0] == '\0' ? 1 : kReadFontError;
  const size_t n = text != nullptr ? strnlen(text, kEndorsementChars) : 0;
  return Qv8Status(qv8::QVStringIJ(value, text, static_cast<uint16_t>(n), flag));
}

const char* funcASPIStatusText(int status, char* text, size_t room) {
  const char* t = "Unknown Error";
  switch (status) {
    case 0: t = "Pending"; break;
    case 1: t = "Connected"; break;
    case 2: t = "Aborted"; break;
    case 3: t = "Aborted and Failed"; break;
    case 4: t = "General Error"; break;
    case 128: t = "Invalid ASPI command"; break;
    case 129: t = "Invalid host number"; break;
    case 130: t = "SCSI Device not installed"; break;
    case 224: t = "Invalid parameter set"; break;
    case 225: t = "ASPI Manager too old"; break;
    case 226: t = "Unsupported Windows Mode"; break;
    case 227: t = "No ASPI Manager Found"; break;
    case 228: t = "Failed to init ASPI"; break;
    case 229: t = "No Resources Avail"; break;
    case 230: t = "Buffer Size too big"; break;
    default: break;
  }
  if (text != nullptr && room > 0) std::snprintf(text, room, "%s", t);
  return text;
}

// ---- Configuration ---------------------------------------------------------------------------------------------

int funcQV800SendCfgFile(const char* tmpName, const char* cfgName) {
  const ApiState& api = Api();
  const bool haveTmp = tmpName != nullptr && tmpName[0] != '\0';
  const std::string first = haveTmp ? tmpName : api.qv8TmpFile;
  const std::string second = haveTmp && cfgName != nullptr && cfgName[0] != '\0' ? cfgName : api.qv8CfgFile;
  const int32_t r = qv8::QVInit(first.c_str(), second.c_str(), static_cast<uint16_t>(funcTableGetParam(102)),
                                static_cast<uint16_t>(funcTableGetParam(103)));
  return Qv8Status(r);
}

int funcKWLGetIniFile(const char* iniPath, unsigned char* adapter, unsigned char* target) {
  std::string file;
  if (iniPath == nullptr) {
    const char* s = funcTableGetParamString(135);
    file = s != nullptr ? s : "";
  } else {
    file = std::string(iniPath).substr(0, 255);
  }
  const char* f = file.c_str();
  for (ZarnParamRecord& r : ZarnParamTable()) {
    if (r.id == 89) r.value = plat::GetPrivateProfileIntA("IJ PRINTER", "Clean 18", 25, f);
  }
  auto table = ZarnParamTable();
  for (size_t i = 0; i < 200 && i < table.size() && table[i].id != kEndOfTable; ++i) {
    ZarnParamRecord& r = table[i];
    // A record without a section keeps its value.
    if (r.section == nullptr || r.section[0] == '\0') continue;
    const int v = plat::GetPrivateProfileIntA(r.section, r.key, r.previous, f);
    if (v != r.previous) r.previous = v;
    r.value = v;
  }
  auto strings = ZarnStringParamTable();
  for (size_t i = 0; i < 20 && i < strings.size() && strings[i].id != kEndOfTable; ++i) {
    ZarnStringParamRecord& r = strings[i];
    if (r.section == nullptr || r.section[0] == '\0') continue;
    char value[kStringParamSize] = {};
    plat::GetPrivateProfileStringA(r.section, r.key, r.defaultValue, value, sizeof value, f);
    std::memcpy(r.value, value, sizeof value);
    std::memcpy(r.defaultValue, value, sizeof value);
  }
  if (adapter != nullptr) *adapter = static_cast<unsigned char>(funcTableGetParam(103) & 0xFF);
  if (target != nullptr) *target = static_cast<unsigned char>(funcTableGetParam(102) & 0xFF);
  if (funcWriteQV800CfgFile(Api().qv8TmpFile.c_str()) != 1) {
    TraceAt(1, "Disk Write Error 1 in funcKWLGetIniFile");
    return kDiskReadWrite;
  }
  return Qv8Status(qv8::QVSetConfig(1));
}

int Qv800SetPrint(int kind, int value, const char* text, Qv600Printer qv600String, Qv600Printer qv600Bitmap) {
  ApiState& api = Api();
  Qv800State& st = Qv8State();
  const bool qv600 = IsQv600Line(api.scannerFamily);
  bool changed = false;
  int result = 0;
  switch (kind) {
    case 34:
      if (funcTableGetParam(33) != 0) {
        ZARNSetParam(33, 0);
        changed = true;
      }
      if (qv600) return qv600String != nullptr ? qv600String(text, value, 0) : kQv800NotInitialised;
      if (text == nullptr) return kBadParameter;
      result = 1;
      st.printPending = true;
      {
        // Each byte widened without sign: bytes from 0x80 up are characters, not negative numbers.
        const size_t n = strnlen(text, kEndorsementChars - 1);
        for (size_t i = 0; i < n; ++i) st.endorsement[i] = static_cast<unsigned char>(text[i]);
        st.endorsement[n] = 0;
      }
      st.endorsementValue = value;
      break;
    case 35: {
      if (funcTableGetParam(33) != 1) {
        ZARNSetParam(33, 1);
        changed = true;
      }
      if (qv600) return qv600Bitmap != nullptr ? qv600Bitmap(text, value, 0) : kQv800NotInitialised;
      if (text == nullptr) return kBadParameter;
      const bool pending = api.reloadPending.load();
      ZARNSetParam(114, value);
      if (int r = funcTableSetParamString(35, text); r != 0) return r;
      if (int r = funcTableSetParamString(112, text); r != 0) return r;
      api.reloadPending = pending;
      if (changed || api.reloadPending.load()) st.printPending = true;
      std::vector<uint8_t> bitmap;
      try {
        bitmap.assign(kBitmapRoom, 0);
      } catch (const std::bad_alloc&) {
        return kAllocError;
      }
      std::FILE* f = plat::OpenFile(text, "rb");
      if (f == nullptr) return kOpenBmpError;
      // A bitmap that does not fit the area is refused whole rather than handed over cut.
      const size_t n = std::fread(bitmap.data(), 1, bitmap.size(), f);
      const bool tooLarge = n == bitmap.size() && std::fgetc(f) != EOF;
      std::fclose(f);
      if (n == 0 || tooLarge) return kOpenBmpError;
      if (int32_t r = qv8::QVUpdPrtBitmap(0, bitmap.data()); r != 0) return Qv8Status(r);
      break;
    }
    case 60:
      if (api.scannerFamily == 200 || api.scannerFamily == 314 || api.scannerFamily == 300) return 1;
      if (text == nullptr) return kBadParameter;
      result = 1;
      st.inkJetPending = true;
      st.inkJetValue = value;
      {
        const size_t n = strnlen(text, kEndorsementChars - 1);
        std::memcpy(st.inkJetText, text, n);
        st.inkJetText[n] = '\0';
      }
      break;
    default:
      return kBadParameter;
  }
  if (result >= 0 && changed) {
    const int32_t r = qv8::QVInit(api.qv8TmpFile.c_str(), api.qv8CfgFile.c_str(),
                                  static_cast<uint16_t>(funcTableGetParam(102)),
                                  static_cast<uint16_t>(funcTableGetParam(103)));
    if (r != 0) return Qv8Status(r);
  }
  return result;
}

}  // namespace zarn
