// JPEG (and other codec) files into IQAStatusGray with the contrast measure and the full mask.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "analysis/iqa/iqa_image.h"
#include "codec/bilevel/image_view.h"
#include "fuzz_common.h"
#include "imaging/tiff_read.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace analysis::iqa;
  const std::string name = fuzz::InputFile(data, size, ".jpg");
  // Images larger than 4 million pixels only cost time.
  const int fd = ::open(name.c_str(), O_RDONLY);
  zc::codec::ImageView view{};
  const bool small = fd >= 0 && zc::imaging::funcReadJPEGInfo(fd, &view) == 0 &&
                     int64_t{view.width} * int64_t{view.length} <= 4'000'000 && view.length < 4096;
  if (fd >= 0) ::close(fd);
  if (small || fd < 0) {
    IqaTestArgs args = fuzz::FullMask();
    args.mask |= kIqaContrast;
    int32_t results[kIqaTableSlots] = {};
    IQAStatusGray(name.c_str(), {}, args, results);
  }
  std::remove(name.c_str());
  FreeImage();
  return 0;
}
