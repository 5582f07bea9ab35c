// The two descriptors that drive a codec run (compression and decompression), the callback
// types through which rows travel, and the format keys. Caller fields come first; the
// working-state groups belong to the format stages, which hang their own state off the
// opaque format-state pointers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zc::codec {

// NUL-terminated format key of up to five letters ("BMP", "JPEGG", ...).
using ImgFormatTag = char[6];

// Receives one band of rows: pixels one byte each (or R, G, B), end row exclusive.
using ImgLineWriterFn = int (*)(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows);
// Receives one decoded band of the window; non-zero stops the run with error 14.
using ImgDisplayFn = int (*)(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows,
                             uintptr_t userValue);

// Coefficient-store callbacks of the progressive JPEG paths (count and size are 16-bit).
using McuAllocFn = void* (*)(uint16_t count, uint16_t size);
using McuGetPtrFn = void* (*)(uint16_t count, uint16_t size, void* block, uint16_t index);
using McuFreeFn = int (*)(uint16_t count, uint16_t size, void* block);

struct ImgCompDesc {
  // Caller fields.
  int32_t handle;        // open file descriptor, or -1 for a memory target
  uint8_t* memAddress;   // memory target (handle -1)
  uint32_t startOffset;  // file offset or offset into the memory target
  ImgFormatTag tag;
  uint8_t colorModel;  // 1 palette-indexed or gray, 0 RGB
  uint16_t width;
  uint16_t height;
  uint16_t rowsPerBand;
  uint16_t bitsPerPixel;
  uint16_t paletteEntries;     // 0 means 256
  const uint8_t* palette;      // 256 x R, G, B
  ImgLineWriterFn lineWriter;  // installed by funcInitComp

  // Writer working state (format stages).
  uint32_t dataOffset;
  int32_t memSize;  // bytes available at the memory target
  uint8_t* workBuffer;
  uint32_t workFill;
  uint32_t workSize;
  uint32_t rowLength;
  uint8_t* lineBuffer;
  uint32_t position;  // next byte, relative to memAddress (also counted for files)
  void* writerState;  // GIF coder state and similar

  const char* const* comments;  // null-terminated list of texts, or null
  uint16_t restartOption;
  uint16_t densityX;
  uint16_t densityY;
  uint8_t densityUnits;
  uint8_t jfifFlag;
  uint8_t progressive;
  uint8_t fastTransform;
  void* jpegState;  // JPEG compressor working state
  uint16_t quality;
  McuAllocFn mcuAlloc;
  McuGetPtrFn mcuGetPtr;
  McuFreeFn mcuFree;
};

struct ImgDecompDesc {
  // Source (caller).
  int32_t handle;  // open file descriptor, or -1 for a memory source
  const uint8_t* memAddress;
  uint32_t startOffset;
  int32_t memSize;
  uint8_t* palette;  // 256 x R, G, B filled by readers
  uint8_t paletteFilled;
  uint8_t ditherMode;       // 0 nearest, 1 ordered, 2 error diffusion
  uint8_t outputColorMode;  // 1 gray, 3 RGB, 0 palette indexes
  uint16_t windowTop;
  uint16_t windowLeft;
  uint16_t windowWidth;
  uint16_t windowHeight;
  uint16_t scaleX;  // 1/2048 units
  uint16_t scaleY;
  ImgDisplayFn display;
  uint8_t* headerCopy;

  // Image description (codec).
  char tag[5];
  uint16_t width;
  uint16_t height;
  uint16_t bitsPerPixel;
  int16_t colors;
  uint16_t currentRow;
  uint16_t firstRowInWindow;
  uint32_t displayResult;
  uintptr_t userValue;  // handed unchanged to every display call; pointer-sized

  // Reader buffers (codec).
  uint8_t* bandBuffer;
  uint32_t bandStride;  // bytes between band rows, as decoded
  uint8_t* readBuffer;
  uint16_t readIndex;
  uint16_t readCapacity;
  uint16_t readFill;
  uint32_t position;  // next byte of a memory source
  int32_t runError;
  uint8_t progressive;
  int16_t colorOffsets[4];
  uint16_t colorGains[4];
  uint8_t components;
  uint8_t fastTransform;
  uint16_t reductionComponents;
  uint16_t xResolution;
  McuAllocFn mcuAlloc;
  McuGetPtrFn mcuGetPtr;
  McuFreeFn mcuFree;
  void* colorMap;
  uint16_t tiffPage;
  uint8_t lzwInverted;  // set by the TIFF reader for a white-is-zero LZW strip: samples delivered as 255 - v
  void* readerState;    // format reader working state (TIFF fields, GIF/LZW tables, JPEG state)
};

// Clear a descriptor and set the handle to -1; null gives -1 with error 12.
int funcInitCompDesc(ImgCompDesc* desc);
int funcInitDecompDesc(ImgDecompDesc* desc);

// The descriptor of the calling thread's running compression, for band writers that receive none.
extern thread_local ImgCompDesc* ImgCurrentCompDesc;

}  // namespace zc::codec
