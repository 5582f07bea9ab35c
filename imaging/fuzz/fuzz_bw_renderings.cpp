// Fuzz target over caller records into the black-and-white renderings: the first byte chooses the rendering
// and its options, the second the threshold or parameter, the rest is the record buffer (exact size).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/adaptive_bw.h"
#include "imaging/fixed_threshold_bw.h"
#include "imaging/image_record.h"
#include "zarn/params.h"
#include "zarn/trace.h"
#include "scratch_device_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Parameter changes before a scanner is started go to the device file: keep it out of the working folder.
  static zarn::testing::ScratchDeviceFile deviceFile;
  using namespace zc::imaging;
  if (size < 2) return 0;
  const int op = data[0] % 4;
  const int arg = data[1];
  std::vector<uint8_t> record(data + 2, data + size);
  zarn::SetScannerTypeCode(1);
  zarn::funcTableSetParam(171, arg & 3);
  std::vector<uint8_t> out;
  if (record.size() >= kRecordHeaderBytes) {
    const RecordHeader h = ReadRecordHeader(record.data());
    const int64_t need = RecordByteSize({h.width, h.height, 1, h.dpi});
    // Bounded by the input's own size so a lying header cannot ask for a huge output.
    if (need > 0 && need <= static_cast<int64_t>(record.size()) * 8 + 64) out.resize(static_cast<size_t>(need));
  }
  switch (op) {
    case 0: funcConvGrayToBW(record, arg, out); break;
    case 1: funcDarkenGrayBlobs(record); break;
    case 2: funcConvGrayArea(record, nullptr, out, 0); break;
    default: funcConvGrayArea(record, nullptr, out, kBwCleanUpFilter); break;
  }
  return 0;
}
