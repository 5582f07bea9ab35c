// Bilevel encoder: 1-bit lines, one per call, into CCITT T.4 one-dimensional, T.4
// two-dimensional (K factor), T.6 or byte-run coded data, delivered in 4096-byte blocks to
// a file at an offset or straight into memory ("MEMORYDIRECT"). The context is owned and
// value-initialised by the caller.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zc::codec {

inline constexpr char kFaxMemoryOutputName[] = "MEMORYDIRECT";
inline constexpr int32_t kFaxDeliveryBlock = 4096;

struct FaxEncodeCtx {
  // Set by the caller.
  char outputName[256];  // file name, or exactly "MEMORYDIRECT"
  int32_t mode;          // 0..9, see funcFaxEncodeOpen
  int32_t width;
  uintptr_t outputStart;  // file offset, or the memory address (advanced as bytes are delivered)
  int32_t resX;           // carried for the TIFF header writer
  int32_t resY;
  int32_t fillOrder;      // non-zero: every delivered byte is bit-reversed (FillOrder 2)
  int32_t k;              // mode 2: one 1D line then k - 1 2D lines; <= 0 means 4
  int32_t minLineBits;    // mode 0: minimum bits per line (EOL included), 0..1024
  uintptr_t outputLimit;  // memory output: end address not to pass (0 = unbounded)

  // Kept by the encoder.
  int32_t lineCounter;
  int32_t fileHandle;  // -1 for memory output
  int32_t kCounter;
  uint32_t* refLine;
  uint32_t* curLine;
  uint8_t* outBuf2;
  uint8_t* outBuf;
  int32_t outPos;
  uint64_t bitAcc;
  int32_t bitCount;
  uint32_t bytesDelivered;
  int32_t outBufSize;
  int32_t writeError;  // sticky: a delivery fell short; later lines are not coded
};

// Result codes of funcFaxEncodeOpen / funcFaxEncodeReset.
inline constexpr int kFaxEncOk = 0;
inline constexpr int kFaxEncBadModeOrFile = 1;
inline constexpr int kFaxEncNoListMemory = 3;
inline constexpr int kFaxEncNoBufferMemory = 4;

int funcFaxEncodeOpen(FaxEncodeCtx* ctx);
int funcFaxEncodeReset(FaxEncodeCtx* ctx);
// Codes one packed line ((width + 7) / 8 bytes, MSB first, set bit = black).
void funcFaxEncodeLine(FaxEncodeCtx* ctx, const uint8_t* line);
// Ends the data, delivers the rest and frees the buffers; the file stays open. Returns 0, or
// 1 when a delivery fell short (the bytes delivered then count what was written).
int funcFaxEncodeClose(FaxEncodeCtx* ctx);
void funcFaxEncodeFreeBuffers(FaxEncodeCtx* ctx);
// Kind of the last line coded in the process: 1 all white, 2 all black, 0 mixed.
int funcFaxLastLineKind();

}  // namespace zc::codec
