// SideImage: one face of a synthetic document as the scanner's optics would see it, at the image
// module's resolution. Pixels are stored top row first, left to right, three bytes (red, green, blue) a
// pixel; a grey document has equal channels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim::documents {

struct Rgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
};

struct SideImage {
  int width = 0;   // pixels along the document (its length)
  int height = 0;  // pixels across the document (its height)
  int dpi = 200;
  std::vector<uint8_t> rgb;  // height rows of width * 3 bytes, top row first

  SideImage() = default;
  SideImage(int w, int h, int resolution)
      : width(w), height(h), dpi(resolution), rgb(static_cast<size_t>(w) * static_cast<size_t>(h) * 3, 255) {}

  Rgb At(int x, int y) const {
    const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * static_cast<size_t>(width) + x) * 3;
    return Rgb{p[0], p[1], p[2]};
  }
  void Set(int x, int y, Rgb c) {
    uint8_t* p = rgb.data() + (static_cast<size_t>(y) * static_cast<size_t>(width) + x) * 3;
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
  }
  bool IsGrey() const {
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
      if (rgb[i] != rgb[i + 1] || rgb[i] != rgb[i + 2]) return false;
    }
    return true;
  }
};

}  // namespace sim::documents
