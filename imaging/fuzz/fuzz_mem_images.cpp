// Fuzz target over images delivered in memory: the first byte picks the parser (TIFF header, TIFF to
// record, BMP to record) and the crop and trimming settings, the rest is the delivered buffer, exactly its
// size. Nothing may be read or written outside it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/image_writers.h"
#include "scratch_device_file.h"
#include "zarn/params.h"
#include "zarn/trace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  using namespace zc::imaging;
  zarn::SetApiTraceLevel(0);  // the failure dump goes to the local log otherwise
  const int op = data[0] % 3;
  // Parameter changes before a scanner is started go to the device file: keep it out of the working folder.
  static zarn::testing::ScratchDeviceFile deviceFile;
  zarn::funcTableSetParam(36, (data[0] >> 2) & 1);
  zarn::funcTableSetParam(37, (data[0] >> 3) & 1);
  zarn::funcTableSetParam(6, (data[0] >> 4) % 10);
  std::vector<uint8_t> buffer(data + 1, data + size);
  int64_t imageSize = 0, imageOffset = 0;
  TiffMemInfo info;
  switch (op) {
    case 0: funcParseMemTIFFHeader(buffer.data(), buffer.size(), &info); break;
    case 1: funcAddMemTIFFHeader(buffer.data(), buffer.size(), 1, &imageSize, &imageOffset, data[0] >> 5); break;
    default: funcAddMemHeaderToBMP(buffer.data(), buffer.size(), 0, &imageSize, &imageOffset); break;
  }
  return 0;
}
