// Fuzzes the readers that take image records: the bytes as a record (header and rows, the buffer its own
// size) into both raw entries of the E13B reader and into the CMC-7 reader. Checks the documented
// results and terminated outputs.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "analysis/ocr/codeline_ocr.h"
#include "analysis/optical/cmc7_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> record(data, data + size);
  char line[128] = {}, conf[128] = {};
  for (const bool rotated : {false, true}) {
    const int r = rotated ? analysis::ocr::funcOCRRawImageRotated(record.data(), record.size(), line, conf)
                          : analysis::ocr::funcOCRRawImage(record.data(), record.size(), line, conf);
    if (r < 0 || r > 6 || r == 1 || r == 5) std::abort();
    if (std::memchr(line, 0, 128) == nullptr || std::memchr(conf, 0, 128) == nullptr) std::abort();
  }
  const int n = analysis::optical::funcOcrFindCharacters(record.data(), record.size());
  if (n < 0 || n > analysis::optical::kMaxRecords) std::abort();
  char optical[80], digits[80];
  analysis::optical::funcOcrReadCodeLine(record.data(), record.size(), optical, digits, sizeof optical);
  if (std::strlen(optical) > 79 || std::strlen(optical) != std::strlen(digits)) std::abort();
  return 0;
}
