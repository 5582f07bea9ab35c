// Fuzz entry point of firmware packages: any bytes as a package file, then the searches and the record
// lists a download would send.
#include <cstddef>
#include <cstdint>
#include <span>

#include "qv6/models/firmware_package.h"
#include "qv6/models/firmware_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv6::CQv620FilesBuilderSplitter package;
  if (!package.LoadBytes({data, size})) return 0;
  package.ContainsStringPair("VEK Corporation", "1.0.0.0");
  package.ReadVersions();
  qv6::FirmwareRecord::ParseList(package.GetPart1());
  qv6::FirmwareRecord::ParseList(package.GetPart2());
  return 0;
}
