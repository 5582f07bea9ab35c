// What the QV800 device library hands back, with any content: inquiry records (texts without a NUL) and
// delivered memory images (BMP or TIFF headers with any sizes and offsets). The first byte picks the kind.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/image_writers.h"
#include "zarn/qv800.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t kind = data[0];
  ++data;
  --size;
  if ((kind & 1) == 0) {
    // Exactly the record's size, so a read past its end is seen by the sanitizer.
    std::vector<uint8_t> record(zarn::kQv8InquirySize, 0);
    std::memcpy(record.data(), data, size < record.size() ? size : record.size());
    const int family = zarn::funcGetScannerType(record.data());
    if (family != -125 && family != 2 && family != 3 && family != 30 && family != 200 && family != 400 &&
        family != 314) {
      __builtin_trap();
    }
    return 0;
  }
  std::vector<uint8_t> image(data, data + size);
  int64_t imageSize = 0, imageOffset = 0;
  if ((kind & 2) != 0) {
    zc::imaging::funcAddMemHeaderToBMP(image.data(), image.size(), 0, &imageSize, &imageOffset);
  } else {
    zc::imaging::funcAddMemTIFFHeader(image.data(), image.size(), 1, &imageSize, &imageOffset, kind >> 2);
  }
  if (imageSize < 0 || static_cast<uint64_t>(imageSize) > image.size()) __builtin_trap();
  return 0;
}
