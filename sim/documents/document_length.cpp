// Document length search over an expected image.
#include "sim/documents/document_length.h"

#include <algorithm>

#include "sim/documents/expected_image.h"

namespace sim::documents {
namespace {

constexpr unsigned kDarkLevel = 64;
constexpr int kTenthsMm = 20;  // 2 mm, for both the run and the row count

bool IsDocumentRow(const ExpectedImage& img, int y, unsigned run) {
  const uint8_t* row = img.Row(y);
  unsigned count = 0;
  if (img.bitCount == 4) {
    // Two pixels a byte, each nibble against the dark level scaled to a nibble; a bright pixel after a
    // dark one in the same byte starts a new run of one.
    constexpr unsigned kDarkNibble = kDarkLevel >> 4;
    for (int x = 0; x < img.width / 2; ++x) {
      const unsigned high = row[x] >> 4;
      const unsigned low = row[x] & 0x0F;
      if (high > kDarkNibble) {
        count = low > kDarkNibble ? count + 2 : 1;
      } else {
        count = 0;
      }
      if (count > run) return true;
    }
    return false;
  }
  for (int x = 0; x < img.width; ++x) {
    bool bright;
    if (img.bitCount == 24) {
      const uint8_t* p = row + 3 * x;
      bright = p[0] > kDarkLevel || p[1] > kDarkLevel || p[2] > kDarkLevel;
    } else {
      bright = row[x] > kDarkLevel;
    }
    count = bright ? count + 1 : 0;
    if (count > run) return true;
  }
  return false;
}

}  // namespace

unsigned DocumentLength(const ExpectedImage& image) {
  const auto height = static_cast<unsigned>(image.height);
  if (image.bitCount != 4 && image.bitCount != 8 && image.bitCount != 24) return height;
  const int perMetre = image.dpi * 10000 / 254;
  const auto run = static_cast<unsigned>(perMetre * kTenthsMm / 10000);
  const auto rows = static_cast<unsigned>(perMetre * kTenthsMm / 10000);
  int f = image.height - 1;
  unsigned n = 0;
  while (f > 2) {
    if (IsDocumentRow(image, f, run)) {
      if (++n > rows) break;
      f -= 1;
    } else {
      n = 0;
      f -= 2;
    }
  }
  return std::min<unsigned>(height, static_cast<unsigned>(std::max(f, 0)) + rows + 3);
}

}  // namespace sim::documents
