// The scanner information calls, dispatched by the line the API started: the QV600 line's identity block, or
// the QV800 line's inquiry data and serial-number calls.
#include "zarn/scanner_info.h"

#include "zarn/api_state.h"
#include "zarn/qv600.h"
#include "zarn/qv800.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {

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
