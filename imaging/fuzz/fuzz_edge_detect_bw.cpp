// Fuzz target over caller records into the edge-detecting black-and-white conversion: four bytes of
// options (little-endian), one byte that scales the edge threshold and sets the resolution and crop
// parameters, then the record buffer (exact size).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/edge_detect_bw.h"
#include "imaging/image_record.h"
#include "zarn/params.h"
#include "zarn/trace.h"
#include "scratch_device_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Parameter changes before a scanner is started go to the device file: keep it out of the working folder.
  static zarn::testing::ScratchDeviceFile deviceFile;
  using namespace zc::imaging;
  if (size < 5) return 0;
  const unsigned options = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<unsigned>(data[3]) << 24);
  const int control = data[4];
  std::vector<uint8_t> record(data + 5, data + size);
  zarn::SetScannerTypeCode(1);
  zarn::funcTableSetParam(6, (control & 1) ? 4 : 2);
  zarn::funcTableSetParam(108, (control & 0x0E) << 4);
  std::vector<uint8_t> out;
  if (record.size() >= kRecordHeaderBytes) {
    const RecordHeader h = ReadRecordHeader(record.data());
    const int64_t need = RecordByteSize({h.width, h.height, 1, h.dpi});
    // Bounded by the input's own size so a lying header cannot ask for a huge output.
    if (need > 0 && need <= static_cast<int64_t>(record.size()) * 8 + 64) out.resize(static_cast<size_t>(need));
  }
  funcConvGrayImageEdgeDetectBW(record, nullptr, (control >> 4) * 100, options, out);
  int black = 0, total = 0;
  funcGetBWDensity(&black, &total);
  return 0;
}
