// The calls that go to whichever scanner line the API started: the QV600 line's back-end, or the QV800
// line's outside library (its calls answer -123 while it is not bound).
#include <cstring>

#include "zarn/api_state.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/qv600_services.h"
#include "zarn/qv800.h"
#include "zarn/scan.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {

int funcEjectDocument(int mode, int flag) {
  (void)flag;
  const int family = Api().scannerFamily;
  if (IsQv600Line(family)) {
    funcQV600EjectDocument(mode);
    return 0;
  }
  if (family < 1) return kZarnNotInitialised;
  return Qv800Eject(flag);
}

int funcClearDocument(int mode, int flag) {
  (void)mode;
  (void)flag;
  const int model = Api().scannerModel;
  if (IsQv600Line(Api().scannerFamily) && (model == 230 || model == 440 || model == 240)) {
    return funcQV600ClearDocument();
  }
  return 0;
}

int QV800SetPocket(int pocket) {
  if (ApiTraceLevel() != 0) TraceAt(1, "QV800SetPocket(%d)", pocket);
  const int family = Api().scannerFamily;
  if (IsQv600Line(family) && Api().scannerModel == 440) return VEKSetPocket(pocket);
  if (family == 400 || family == 300 || family == 314) {
    if (int r = Qv800SetPocket(pocket); r != 0) return r;
  }
  return 1;
}

int funcQV800SetPrint(int kind, int value, const char* text) {
  if (!Api().zarnInitialised) return kZarnNotInitialised;
  TraceAt(1, "funcQV800SetPrint(%d,%d,%.255s)", kind, value, text != nullptr ? text : "(null)");
  return Qv800SetPrint(kind, value, text, funcQV600PrintString, funcQV600PrintBMP);
}

int ZARNGetScannerInfo(unsigned char* adapter, unsigned char* target, char* vendor, char* product, char* release,
                       int show) {
  return GetScannerInfoTexts(adapter, target, vendor, kVendorRoom, product, kProductRoom, release, kReleaseRoom, show);
}

int GetScannerInfoTexts(unsigned char* adapter, unsigned char* target, char* vendor, size_t vendorSize,
                        char* product, size_t productSize, char* release, size_t releaseSize, int show) {
  TraceAt(1, "ZARNGetScannerInfo");
  const int family = Api().scannerFamily;
  if (IsQv600Line(family)) {
    QV600GetScannerInfo(adapter, target, vendor, vendorSize, product, productSize, release, releaseSize, show);
    return family;
  }
  if (family >= 1) return Qv800ScannerInfo(adapter, target, vendor, product, release, show);
  for (char* text : {vendor, product, release}) {
    if (text != nullptr) text[0] = '\0';
  }
  return kScannerMissing;
}

int ZARNGetScannerSerialNumber(char* serial, int32_t* documents, int32_t* minutes) {
  TraceAt(1, "ZARNGetScannerSerialNumber");
  if (documents != nullptr) *documents = 0;
  if (minutes != nullptr) *minutes = 0;
  if (serial != nullptr) serial[0] = '\0';
  if (funcGetScannerTypeCode() != 200) {
    if (int r = funcGetScannerSerialNumber(serial, kSerialRoom); r != 0) return r;
    int32_t first = 0, second = 0;
    const int r = funcQV800GetScannerRunInfo(&first, &second);
    if (documents != nullptr) *documents = second;
    if (minutes != nullptr) *minutes = first;
    return r;
  }
  int a = 0, b = 0;
  const int r = QV600GetScannerSerialNumber(serial, kSerialRoom, &a, &b);
  if (documents != nullptr) *documents = a;
  if (minutes != nullptr) *minutes = b;
  return r;
}

}  // namespace zarn
