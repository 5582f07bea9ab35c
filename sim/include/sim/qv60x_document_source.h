// Qv60xDocumentSource: where a simulated first-series scanner's documents come from when a hopper stands
// behind it. At each feed the scanner asks for the next document at the depth and colour of the front
// settings in force, and each image command asks for the sensor values of one side's window.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

// A document as the source reports it at a feed: its raw lines at 200 lines per inch, its magnetic
// samples as they go out, and what went wrong with it.
struct Qv60xFed {
  int lineCount = 0;
  std::vector<uint8_t> samples;
  bool jam = false;
  bool doubleFeed = false;
  bool unplug = false;  // the scanner leaves the bus with it inside: it never comes out
};

// The part of a side the scanner reads for one image command: raw lines [0, lines) at 200 per inch and
// sensor pixels [start, end); `half` takes every second line and pixel from the first.
struct Qv60xWindow {
  int lines = 0;
  int start = 0;
  int end = 0;
  bool half = false;
};

class Qv60xDocumentSource {
 public:
  virtual ~Qv60xDocumentSource() = default;
  // The next document, fed for a colour scan or a grey one of `bits` bits a pixel; nullopt while empty.
  virtual std::optional<Qv60xFed> Feed(bool colour, int bits) = 0;
  // The sensor values of side 0 (front) or 1 (rear) of the document last fed, line after line: one byte a
  // pixel, or in colour a red, a green and a blue run of the window's pixels a line. Empty when unknown.
  virtual std::vector<uint8_t> Image(int side, const Qv60xWindow& window) = 0;
};

}  // namespace sim
