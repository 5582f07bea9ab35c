// AcquisitionWindow: which sensor pixels and raw lines a later-series host asks for when it fetches one
// side of a document (image-transfer block 37), and where the document window lies in them.
//
// Positions across the transport are counted in good pixels from the track. The crop window comes from the
// side's "Bottom" and "Top" bounds (tenths of a millimetre, 254 to the inch) at the image module's
// resolution, is moved onto the sensor (after "StartPixel", or mirrored within the good pixels for a
// sensor whose pixels run top-down) and widened to whole transfer units of 64 pixels (128 at half size).
#pragma once

#include <cstddef>
#include <optional>

namespace qv6::later {

struct SideGeometry {
  int resolution = 200;  // image module dots per inch across the transport
  bool topDown = false;  // the last good pixel looks at the track
  int startPixel = 0;    // first good sensor pixel
  int goodPixels = 0;
  int totalPixels = 0;
};

struct WindowRequest {
  int firstUsable = 1;  // first usable good pixel, from 1
  int width = 0;        // document width the scanner reported, in pixels across
  int bottom = 0;       // tenths of a millimetre
  int top = 0;
  int firstLine = 0;  // the document's raw lines
  int lineCount = 0;
  bool halfSize = false;  // every second pixel and line
  int lastUsable = 0;     // last usable good pixel (the whole-width form only)
};

struct AcquisitionWindow {
  int lower = 0;  // document window, good pixels [lower, upper)
  int upper = 0;
  int firstPixel = 0;  // sensor pixels transferred, [firstPixel, endPixel)
  int endPixel = 0;
  int firstLine = 0;  // raw lines transferred, [firstLine, endLine)
  int endLine = 0;
  bool halfSize = false;
  // The window of a top-down sensor lies mirrored within the good pixels (the sensor's far end looks at
  // the track); a full-width transfer keeps the same pixels in both directions.
  bool mirrorTopDown = true;
  // The correction table a top-down sensor's first window pixel takes, the index then counting down: the
  // mirror of `lower` (upper - 1), or `upper` in the full-width form, whose tables run from there down to
  // lower + 1 (as the QV62x's run from its good-pixel count down to 1).
  int reversedStart = 0;

  int Pixels() const { return (endPixel - firstPixel) / (halfSize ? 2 : 1); }  // per transferred line
  int Lines() const { return (endLine - firstLine) / (halfSize ? 2 : 1); }
  size_t Bytes() const { return static_cast<size_t>(Pixels()) * static_cast<size_t>(Lines()); }
  // Transferred index (full pixels) of the window pixel nearest the start of a line.
  int WindowOffset(const SideGeometry& g) const;
};

// Most pixels a correction table describes, and most raw lines one document may have (about a metre).
inline constexpr int kMaxLinePixels = 3000;
inline constexpr int kMaxDocumentLines = 8000;

// The QV64x form: whole sensor lines of P pixels (the side's total pixels rounded up to 64) are
// transferred and the document window [A, B) is cut on the host. A and B are counted from the first usable
// pixel by "Bottom" and "Top" (a negative bound counts back from the document's far edge), rounded down to
// even, and kept inside the document width, the sensor's total pixels and the correction tables; a window
// that would start before the line starts at 0. Nullopt as below.
//
// A and B count good pixels, as the correction tables do, while the transferred line holds every sensor
// pixel: the window is cut from pixel "StartPixel" + A of the line (WindowOffset), not from pixel A, and
// the document width is capped at the pixels the line holds after "StartPixel". Cutting from pixel A would
// take "StartPixel" pixels that are not good pixels into the image and correct every pixel with another
// pixel's tables; the two agree when "StartPixel" is 0, the QV640's own default, but not with the INI
// defaults of 16 (front) and 32 (rear).
std::optional<AcquisitionWindow> ComputeFullWidthWindow(const SideGeometry& geometry,
                                                        const WindowRequest& request);

// The KQv8x form: whole lines of the record's width (at most the tables' 3000 pixels, rounded down to even)
// are transferred from pixel 0, and the window runs between the sensor's lit edges t and g (firstUsable,
// lastUsable): from "Bottom" (or 0) past t - 1 up to "Top" (or g - t) past t - 1, never beyond g; a lower
// bound at or beyond g falls back to t. The lower bound and the end (upper + 1) are rounded down to even.
// Nullopt when the window does not lie inside the transferred line and the tables, or as below.
std::optional<AcquisitionWindow> ComputeWholeWidthWindow(const SideGeometry& geometry,
                                                         const WindowRequest& request);

// The window of a side, or nullopt when the scanner's record or the module describe nothing sensible
// (no lines, more lines than a document has, no good pixels, a sensor beyond the tables).
std::optional<AcquisitionWindow> ComputeAcquisitionWindow(const SideGeometry& geometry,
                                                          const WindowRequest& request);

}  // namespace qv6::later
