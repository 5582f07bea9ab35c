// ImageView: one 1-bit image strip, its display window (zoom and pan in 1/2048, rotation,
// resolutions) and the bilevel decoder's working state. A caller value-initialises it,
// fills the image description and the view, and hands it to the decoder and the view
// transform. Addresses (memory sources) are pointer-sized.
#pragma once

#include <cstdint>

namespace zc::codec {

// Input made of several strips (decoder mode value 256 or more).
struct FaxStripTable {
  int32_t rowsPerStrip;
  int32_t lastStrip;  // index of the last strip
  int32_t currentStrip;
  uint32_t bytesLeft;        // bytes left in the current strip
  const uintptr_t* offsets;  // file offsets, or addresses for a memory source
  const uint32_t* byteCounts;
  int32_t sourceKind;  // 1 = memory
  const uint8_t* memReadAddress;
};

// Option flag bits of ImageView::optionFlags.
inline constexpr uint32_t kViewOptStart = 1u << 0;
inline constexpr uint32_t kViewOptByteLimit = 1u << 5;
inline constexpr uint32_t kViewOptChunk = 1u << 6;
inline constexpr uint32_t kViewOptNoClamp = 1u << 7;

struct ImageView {
  // Image description (caller).
  int32_t fileHandle;     // -1: the data lies in memory
  uintptr_t stripOffset;  // file offset, address, or FaxStripTable* for modes >= 256
  int32_t width;
  int32_t length;

  // View (caller and view transform).
  int32_t windowWidth;  // multiple of 8
  int32_t windowHeight;
  int32_t zoomX;  // 1/2048 units
  int32_t zoomY;
  int32_t panX;
  int32_t panY;
  int32_t imageResX;
  int32_t imageResY;
  int32_t displayResX;
  int32_t displayResY;
  uint32_t optionFlags;
  int32_t decoderMode;
  int32_t fillOrder;    // 0 as stored, 1 bit-reversed bytes
  int32_t rotation;     // 0, 1 (90 clockwise), 2, 3 (90 counter-clockwise)
  int32_t renderFlags;  // bit 0 OR lines on reduction, bit 1 keep thin black runs
  int32_t visibleWidth;
  int32_t visibleHeight;

  // Decoding state (decoder).
  int32_t linesDelivered;
  int32_t currentLine;
  int32_t linesInStrip;
  uint8_t* stripBuffer;
  uint8_t* inputBuffer;
  int32_t stripSize;
  int32_t inputBufferSize;
  uint32_t* currentChanges;
  uint32_t* otherChanges;
  int32_t* columnMap;
  uint8_t* rotationBuffer;
  int32_t lastRead;
  int32_t inputPos;
  int32_t vertAccum;
  uint32_t bitAcc;
  int32_t bitCount;
  int32_t finished;
  int32_t outBytesPerLine;
  int32_t linesPerStrip;
  int32_t linesSkipped;
  int32_t outLineWidth;
  int32_t outLineCount;
  int32_t errorLine;
  int32_t errorCode;
  int64_t inputByteLimit;
  int32_t inputChunk;
  uint32_t stripByteCount;
  const uint8_t* memReadAddress;
  int32_t inputFill;        // valid bytes in the input buffer
  int32_t inputEnded;       // the source has no more data
  int32_t stripLineStart;   // first image line of the current strip (strip tables)
  int32_t readStarted;      // the first read of the source (or of the current strip) is done
  uint32_t* scaledChanges;  // a line's changes mapped to output columns
};

// Where the last delivered strip lies in the window, in window pixels.
struct ViewStripPlacement {
  int32_t rotation;
  int32_t width;
  int32_t height;
  int32_t x;
  int32_t y;
};

}  // namespace zc::codec
