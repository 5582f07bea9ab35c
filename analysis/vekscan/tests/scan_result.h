// One verified scan of the next document, with every output the scan fills, for the end-to-end suites.
#pragma once

#include <cstdint>
#include <string>

#include "zarn/analysis.h"

namespace zarn::testing {

struct VEKScanResult {
  int rc = 0;
  std::string line;
  int32_t status = 0, contrast = 0;
  int32_t doc[32] = {};
};

// Writes the black-and-white faces to `front` and `rear`, the front's gray or colour image to `frontImage`
// when given.
inline VEKScanResult RunVEKScan(const std::string& front, const std::string& rear, const char* frontImage) {
  VEKScanResult r;
  char line[100] = {};
  VEKScanRequest q;
  q.frontBwTiff = front.c_str();
  q.rearBwTiff = rear.c_str();
  q.frontImage = frontImage;
  q.codeLine = line;
  q.codeLineSize = sizeof line;
  q.iqaStatus = &r.status;
  q.contrast = &r.contrast;
  q.documentStatus = r.doc;
  r.rc = VEKScan(q);
  r.line = line;
  return r;
}

}  // namespace zarn::testing
