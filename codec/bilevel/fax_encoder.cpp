// Bilevel encoder life cycle: opening (file or memory output), coding a line by mode,
// delivering whole 4096-byte blocks, and closing with the end-of-data codes of T.4/T.6.
#include "codec/bilevel/fax_encoder.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "codec/bilevel/bit_ops.h"
#include "codec/bilevel/change_list.h"
#include "codec/bilevel/fax_codes.h"
#include "codec/bilevel/fax_file.h"
#include "codec/bilevel/fax_line_coders.h"

namespace zc::codec {
namespace {

// Process-wide, as the mode-0 fill and the line-kind query are specified: one encoder at a time.
int32_t gPrevLineBits = 0;
int gLastLineKind = 0;

bool isMemoryOutput(const FaxEncodeCtx* ctx) {
  return ::strncmp(ctx->outputName, kFaxMemoryOutputName, sizeof(ctx->outputName)) == 0;
}

bool usesOneList(int mode) {
  return mode == 0 || mode == 5 || mode == 7;
}

// Room for 4096 bytes carried over plus one whole coded line: a line stays below 8 bits per
// pixel in every mode, and 320 bytes cover the line start, the mode-0 fill and the end codes.
int32_t outputBufferSize(int width) {
  const int64_t classic = (2 + static_cast<int64_t>(width) / 8192) * 4096;
  const int64_t needed = kFaxDeliveryBlock + static_cast<int64_t>(width) + 320;
  return static_cast<int32_t>((std::max(classic, needed) + 3) & ~int64_t{3});
}

FaxBitSink sinkOf(FaxEncodeCtx* ctx) {
  return FaxBitSink{ctx->outBuf, ctx->outPos, ctx->bitAcc, ctx->bitCount};
}
void keep(FaxEncodeCtx* ctx, const FaxBitSink& s) {
  ctx->outPos = s.pos;
  ctx->bitAcc = s.acc;
  ctx->bitCount = s.bits;
}

// Hands `count` bytes to the memory target or the file; false when they did not all go.
bool deliver(FaxEncodeCtx* ctx, uint8_t* data, int32_t count) {
  if (count <= 0) return true;
  if (ctx->fillOrder != 0) funcReverseBytesBits(data, static_cast<size_t>(count));
  if (ctx->fileHandle == -1) {
    if (ctx->outputLimit != 0 && ctx->outputStart + static_cast<uintptr_t>(count) > ctx->outputLimit) {
      return false;
    }
    std::memcpy(reinterpret_cast<uint8_t*>(ctx->outputStart), data, static_cast<size_t>(count));
    ctx->outputStart += static_cast<uintptr_t>(count);
    return true;
  }
  return funcFaxWriteFile(ctx->fileHandle, data, static_cast<size_t>(count)) == count;
}

void deliverBlocks(FaxEncodeCtx* ctx) {
  while (ctx->outPos >= kFaxDeliveryBlock && ctx->writeError == 0) {
    if (!deliver(ctx, ctx->outBuf, kFaxDeliveryBlock)) {
      ctx->writeError = 1;
      return;
    }
    std::memmove(ctx->outBuf, ctx->outBuf + kFaxDeliveryBlock,
                 static_cast<size_t>(ctx->outPos - kFaxDeliveryBlock));
    ctx->outPos -= kFaxDeliveryBlock;
    ctx->bytesDelivered += kFaxDeliveryBlock;
  }
}

void putEol(FaxBitSink& sink, int tag) {
  if (tag < 0) {
    sink.put(kFaxEolCode.value, kFaxEolCode.length);
  } else {
    sink.put((kFaxEolCode.value << 1) | static_cast<uint32_t>(tag), kFaxEolCode.length + 1);
  }
}

// Shared by Open and Reset once the output is settled.
int openBuffers(FaxEncodeCtx* ctx) {
  const int mode = ctx->mode;
  ctx->outBuf = nullptr;
  ctx->outBuf2 = nullptr;
  ctx->refLine = ctx->curLine = nullptr;
  if (mode == 2) {
    if (ctx->k <= 0) ctx->k = 4;
    ctx->kCounter = 0;
  }
  ctx->curLine = allocChangeList(ctx->width);
  ctx->refLine = usesOneList(mode) ? ctx->curLine : allocChangeList(ctx->width);
  if (ctx->curLine == nullptr || ctx->refLine == nullptr) {
    funcFaxEncodeFreeBuffers(ctx);
    return kFaxEncNoListMemory;
  }
  ctx->outBufSize = outputBufferSize(ctx->width);
  ctx->outBuf = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(ctx->outBufSize)));
  if (mode == 6) ctx->outBuf2 = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(ctx->outBufSize)));
  if (ctx->outBuf == nullptr || (mode == 6 && ctx->outBuf2 == nullptr)) {
    funcFaxEncodeFreeBuffers(ctx);
    return kFaxEncNoBufferMemory;
  }
  ctx->outPos = 0;
  ctx->bitAcc = 0;
  ctx->bitCount = 0;
  ctx->lineCounter = 0;
  ctx->bytesDelivered = 0;
  ctx->writeError = 0;
  ctx->minLineBits = std::clamp(ctx->minLineBits, 0, 1024);
  return kFaxEncOk;
}

bool validMode(int mode) {
  return mode >= 0 && mode <= 9 && mode != 3 && mode != 8;
}

}  // namespace

int funcFaxEncodeOpen(FaxEncodeCtx* ctx) {
  if (isMemoryOutput(ctx)) {
    ctx->fileHandle = -1;
  } else {
    ctx->fileHandle = funcFaxOpenFile(ctx->outputName, static_cast<int64_t>(ctx->outputStart));
    if (ctx->fileHandle == -1) return kFaxEncBadModeOrFile;
  }
  int result = kFaxEncBadModeOrFile;
  // A width below 1 cannot be coded and would size the buffers negatively.
  if (validMode(ctx->mode) && ctx->width >= 1) result = openBuffers(ctx);
  if (result != kFaxEncOk) {
    funcFaxCloseFile(ctx->fileHandle);
    ctx->fileHandle = -1;
  }
  return result;
}

int funcFaxEncodeReset(FaxEncodeCtx* ctx) {
  if (ctx->fileHandle != -1) {
    const int64_t offset = static_cast<int64_t>(ctx->outputStart);
    if (::lseek(ctx->fileHandle, static_cast<off_t>(offset), SEEK_SET) != static_cast<off_t>(offset)) {
      funcFaxCloseFile(ctx->fileHandle);
      return kFaxEncBadModeOrFile;
    }
  }
  int result = kFaxEncBadModeOrFile;
  if (validMode(ctx->mode) && ctx->width >= 1) result = openBuffers(ctx);
  if (result != kFaxEncOk) funcFaxCloseFile(ctx->fileHandle);
  return result;
}

void funcFaxEncodeLine(FaxEncodeCtx* ctx, const uint8_t* line) {
  if (ctx->outBuf == nullptr || ctx->writeError != 0) return;
  const int mode = ctx->mode;
  const int width = ctx->width;
  std::swap(ctx->refLine, ctx->curLine);
  if (mode != 7) {
    funcFaxLineToChanges(line, width, ctx->curLine);
    const uint32_t w = static_cast<uint32_t>(width);
    const uint32_t* c = ctx->curLine;
    gLastLineKind = c[0] == w ? 1 : (c[0] == 0 && c[1] == w ? 2 : 0);
  }
  if (mode > 7) return;

  FaxBitSink sink = sinkOf(ctx);
  switch (mode) {
    case 0: {
      if (ctx->lineCounter != 0) {
        while (gPrevLineBits < ctx->minLineBits) {
          sink.put(0, 16);
          gPrevLineBits += 16;
        }
      }
      putEol(sink, -1);
      const int64_t before = sink.totalBits();
      funcFaxCode1D(sink, ctx->curLine, width);
      gPrevLineBits = static_cast<int32_t>(sink.totalBits() - before) + kFaxEolCode.length;
      break;
    }
    case 1:
      funcFaxCode2D(sink, ctx->refLine, ctx->curLine, width);
      break;
    case 2:
      if (ctx->kCounter == 0) {
        putEol(sink, 1);
        funcFaxCode1D(sink, ctx->curLine, width);
      } else {
        putEol(sink, 0);
        funcFaxCode2D(sink, ctx->refLine, ctx->curLine, width);
      }
      if (++ctx->kCounter >= ctx->k) ctx->kCounter = 0;
      break;
    case 4:
      if (ctx->lineCounter == 0) {
        putEol(sink, 1);
        funcFaxCode1D(sink, ctx->curLine, width);
      } else {
        if (ctx->lineCounter == 1) putEol(sink, 0);
        funcFaxCode2D(sink, ctx->refLine, ctx->curLine, width);
      }
      break;
    case 5:
      funcFaxCode1D(sink, ctx->curLine, width);
      sink.alignToByte();
      break;
    case 6: {
      const FaxBitSink start = sink;
      funcFaxCode2D(sink, ctx->refLine, ctx->curLine, width);
      const int64_t added = sink.pos - start.pos;
      if (added * 32 > width || ctx->lineCounter == 1) {
        FaxBitSink alt{ctx->outBuf2, 0, start.acc, start.bits};
        funcFaxCode2DUncompressed(alt, ctx->refLine, ctx->curLine, width);
        if (alt.pos + start.pos < sink.pos) {
          std::memcpy(ctx->outBuf + start.pos, ctx->outBuf2, static_cast<size_t>(alt.pos));
          sink = FaxBitSink{ctx->outBuf, start.pos + alt.pos, alt.acc, alt.bits};
        }
      }
      break;
    }
    case 7: {
      // Bits pending in the accumulator never exist in this mode: it codes whole bytes.
      sink.pos += funcFaxByteRunLine(line, width, ctx->outBuf + sink.pos);
      break;
    }
    default:
      break;
  }
  keep(ctx, sink);
  ++ctx->lineCounter;
  deliverBlocks(ctx);
}

int funcFaxEncodeClose(FaxEncodeCtx* ctx) {
  if (ctx->outBuf == nullptr) return ctx->writeError != 0 ? 1 : 0;
  FaxBitSink sink = sinkOf(ctx);
  if (ctx->writeError == 0) {
    switch (ctx->mode) {
      case 0:
      case 5:
        for (int i = 0; i < 6; ++i) putEol(sink, -1);
        break;
      case 1:
      case 6:
        for (int i = 0; i < 2; ++i) putEol(sink, -1);
        break;
      case 2:
      case 4:
        for (int i = 0; i < 6; ++i) putEol(sink, 1);
        break;
      default:
        break;
    }
    if (sink.bits > 0) {
      const int left = sink.bits;
      sink.put(0, 32 - left);
      sink.pos -= 4 - (left + 7) / 8;  // keep only the bytes that hold code bits
    }
    keep(ctx, sink);
    ctx->bitAcc = 0;
    ctx->bitCount = 0;
    if (deliver(ctx, ctx->outBuf, ctx->outPos)) {
      ctx->bytesDelivered += static_cast<uint32_t>(ctx->outPos);
      ctx->outPos = 0;
    } else {
      ctx->writeError = 1;
    }
  }
  funcFaxEncodeFreeBuffers(ctx);
  return ctx->writeError != 0 ? 1 : 0;
}

void funcFaxEncodeFreeBuffers(FaxEncodeCtx* ctx) {
  std::free(ctx->outBuf);
  std::free(ctx->outBuf2);
  if (ctx->refLine != ctx->curLine) freeChangeList(ctx->refLine);
  freeChangeList(ctx->curLine);
  ctx->outBuf = ctx->outBuf2 = nullptr;
  ctx->refLine = ctx->curLine = nullptr;
}

int funcFaxLastLineKind() {
  return gLastLineKind;
}

}  // namespace zc::codec
