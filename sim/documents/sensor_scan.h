// The scanner's view of one document side: which raw scan line shows which column of the side, which
// sensor pixel looks at which row, and the raw lines the device sends for an image-transfer request.
//
// Geometry. The contact sensor lies across the transport. Its good pixels run from "StartPixel" for
// "NGoodPixel" pixels; the first good pixel looks at the track (the document's bottom edge), or, for a
// sensor with top-down pixel order, the last one does. Pixels beyond the document, and raw lines before
// or after it, read the dark background. Raw lines step along the document at the device's line setting
// (lines per inch); raw line k shows the column under the sensor at that moment, counted from the edge
// that enters first: the front's left edge and the rear's right edge (the rear is seen from the other
// side), the other way round on a transport that runs the other way (mirrored sides).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/documents/channel_lights.h"
#include "sim/documents/side_image.h"

namespace sim::documents {

inline constexpr uint8_t kBackground = 10;  // the dark track behind the document

struct SensorGeometry {
  int startPixel = 16;  // first good sensor pixel
  int goodPixels = 832;
  int totalPixels = 896;
  bool topDown = false;    // the last good pixel looks at the track
  int documentOffset = 0;  // good pixels between the track and the document's bottom edge
};

struct SideScan {
  const SideImage* image = nullptr;  // owned by the caller, alive while the scan is used
  SensorGeometry sensor;
  bool columnsReversed = false;  // raw line 0 shows the image's last column
  int linesPerInch = 200;        // raw lines per inch of travel: grey 200, colour 200 or 300
  int leadLines = 0;             // background lines before the document's first line
  std::vector<ChannelLight> lights = HostLights(ColourMode::kGrey);  // cycled from the first document line

  // Raw lines the document covers: its length at the line setting, rounded up.
  int DocumentLines() const;
  // The image column raw line `line` shows, or -1 before or after the document.
  int ColumnOf(int line) const;
  const ChannelLight& LightOf(int line) const;
  // The sensor pixel that looks `good` pixels above the track.
  int SensorPixelOf(int good) const;
  // Good pixel index (from the track) of a sensor pixel, or -1 outside the good pixels.
  int GoodPixelOf(int sensorPixel) const;
  // What sensor pixel `sensorPixel` reads on raw line `line`.
  uint8_t Read(int line, int sensorPixel) const;
};

// Reads raw lines for a fixed list of sensor pixels, as SideScan::Read would pixel by pixel, with the
// geometry worked out once per pixel and the lighting once per line: what the simulator pays for every
// line it sends and every expected image it assembles.
class LineReader {
 public:
  LineReader(const SideScan& scan, std::vector<int> sensorPixels);
  // Writes what the i-th sensor pixel reads on raw line lines[t] to dst[t * lineStride + i * pixelStride].
  // Lines go in small blocks so that both the image and `dst` are walked along their rows.
  void Read(std::span<const int> lines, uint8_t* dst, size_t lineStride, size_t pixelStride) const;

 private:
  // How a light mixes a pixel's channels: one lit LED reads its channel, equal LEDs read a rounded mean.
  struct Mix {
    enum class Kind : uint8_t { kDark, kRed, kGreen, kBlue, kEqual, kWeighted } kind = Kind::kDark;
    ChannelLight light;
    std::vector<uint8_t> bySum;  // kEqual: the reading for each r + g + b
  };
  static Mix MixOf(const ChannelLight& light);

  // Neighbouring pixels alike: all outside the lit part, all on the track, or all on the document.
  struct Run {
    size_t begin = 0;
    size_t end = 0;
    int64_t kind = 0;  // kUnlit, kTrack, or 0 on the document
  };
  // A block's lines all on the document, each reading one byte of its pixel, or all under one equal light.
  void ReadPlain(const Run& run, const uint8_t* const* ptrs, size_t count, uint8_t* out, size_t lineStride,
                 size_t pixelStride) const;
  void ReadEqual(const Run& run, const uint8_t* const* ptrs, size_t count, const uint8_t* bySum, uint8_t* out,
                 size_t lineStride, size_t pixelStride) const;

  const SideScan& scan_;
  std::vector<int64_t> rows_;  // per pixel: byte offset of its image row, or kUnlit / kTrack
  std::vector<Run> runs_;
  std::vector<Mix> mixes_;     // one per channel record
  bool grey_ = false;          // every pixel has equal channels: any lit LED reads the red byte
};

// An image-transfer request (block 37): raw lines [firstLine, endLine) and sensor pixels
// [firstPixel, endPixel); with halfSize every second line and pixel from the first.
struct TransferRequest {
  int firstLine = 0;
  int endLine = 0;
  int firstPixel = 0;
  int endPixel = 0;
  bool halfSize = false;

  int Lines() const { return (endLine - firstLine) / (halfSize ? 2 : 1); }
  int Pixels() const { return (endPixel - firstPixel) / (halfSize ? 2 : 1); }
};

// Largest transfer the device answers (bytes); larger or inverted requests are refused.
inline constexpr size_t kMaxTransferBytes = size_t{64} << 20;

// The document's lines over the whole sensor, pixels aligned as the host aligns its window (64, or 128
// with halfSize).
TransferRequest WholeDocument(const SideScan& scan, bool halfSize);

// The raw bytes for a request: Lines() lines of Pixels() bytes, one byte a pixel. Empty when the request
// is refused (no image, inverted or negative bounds, bounds beyond 16 bits, or too many bytes).
std::vector<uint8_t> RenderRawLines(const SideScan& scan, const TransferRequest& request);

}  // namespace sim::documents
