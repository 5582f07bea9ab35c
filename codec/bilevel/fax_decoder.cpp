// Strip delivery of the bilevel decoder: start-up and checks, input refills, skipping to
// the pan, vertical zoom by an accumulator in 1/2048, drawing, rotation and the white
// strips that complete the window once the image (or its readable part) has ended.
#include "codec/bilevel/fax_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "codec/bilevel/change_list.h"
#include "codec/bilevel/fax_decode_line.h"
#include "codec/bilevel/fax_input.h"
#include "codec/bilevel/fax_render.h"
#include "codec/bilevel/strip_transform.h"
#include "codec/bilevel/view_transform.h"

namespace zc::codec {
namespace {

constexpr int32_t kDefaultChunk = 8192;
constexpr int32_t kMaxChunk = 16384;
constexpr int32_t kMaxWidth = 128000;
constexpr int32_t kFinishPending = 1;
constexpr int32_t kFinishDone = 2;

int codingOf(const ImageView* v) {
  return v->decoderMode & 0xFF;
}
bool usesStripTable(const ImageView* v) {
  return v->decoderMode >= 256;
}
FaxStripTable* stripTable(const ImageView* v) {
  return reinterpret_cast<FaxStripTable*>(v->stripOffset);
}

void writeSentinel(ImageView* v) {
  const int coding = codingOf(v);
  const uint8_t second = coding == 0 || coding == 1 || coding == 11 ? 0x01 : 0x03;
  uint8_t* p = v->inputBuffer + v->inputFill;
  for (int i = 0; i < kFaxSentinelBytes; i += 2) {
    p[i] = 0x00;
    p[i + 1] = second;
  }
}

int64_t readSome(ImageView* v, uint8_t* dst, int64_t count) {
  const int first = v->readStarted == 0 ? 1 : 0;
  v->readStarted = 1;
  if (usesStripTable(v)) {
    return funcFaxReadStrip(v->fileHandle, dst, count, v->fillOrder, stripTable(v), first);
  }
  return funcFaxReadInput(v->fileHandle, dst, count, v->fillOrder, first, v->stripOffset, &v->inputByteLimit,
                          &v->memReadAddress);
}

// Moves the unread bytes to the front and reads whole chunks into the room behind them.
void refill(ImageView* v, bool force) {
  if (v->inputEnded != 0) return;
  const int32_t margin = v->inputBufferSize - v->inputChunk;
  if (!force && v->inputFill - v->inputPos >= margin) return;
  const int32_t keep = std::max(0, v->inputFill - v->inputPos);
  if (v->inputPos > 0 && keep > 0) std::memmove(v->inputBuffer, v->inputBuffer + v->inputPos, keep);
  v->inputFill = keep;
  v->inputPos = 0;
  while (v->inputBufferSize - v->inputFill >= v->inputChunk) {
    const int64_t got = readSome(v, v->inputBuffer + v->inputFill, v->inputChunk);
    v->lastRead = static_cast<int32_t>(std::max<int64_t>(got, 0));
    if (got > 0) v->inputFill += static_cast<int32_t>(got);
    if (got < v->inputChunk) {
      v->inputEnded = 1;
      break;
    }
  }
  writeSentinel(v);
}

// Starts strip `s` of a strip table afresh: empty input, white reference, no pending bits.
void loadStrip(ImageView* v, int s) {
  FaxStripTable* t = stripTable(v);
  t->currentStrip = s;
  v->readStarted = 0;
  v->inputEnded = 0;
  v->inputFill = 0;
  v->inputPos = 0;
  v->bitAcc = 0;
  v->bitCount = 0;
  v->stripLineStart = s * t->rowsPerStrip;
  setWhiteChangeList(v->currentChanges, v->width);
  setWhiteChangeList(v->otherChanges, v->width);
  refill(v, true);
}

void prepareInput(ImageView* v) {
  if (usesStripTable(v)) {
    const int s = v->currentLine / stripTable(v)->rowsPerStrip;
    if (s != stripTable(v)->currentStrip) {
      loadStrip(v, s);
      return;
    }
  }
  refill(v, false);
}

// Decodes the next image line into the current list. False when decoding stopped.
bool decodeNext(ImageView* v) {
  int r = faxDecodeNextLine(v);
  if (r != 0) {
    const bool earlyMode0 =
        !usesStripTable(v) && codingOf(v) == 0 && v->currentLine <= 7 && v->inputPos >= v->inputChunk;
    if (usesStripTable(v) || earlyMode0) {
      setWhiteChangeList(v->currentChanges, v->width);
      r = 0;
    } else {
      v->errorCode = r;
      v->errorLine = v->currentLine;
      v->finished = kFinishPending;
      return false;
    }
  }
  ++v->currentLine;
  if (v->currentLine >= v->length) v->finished = kFinishPending;
  return true;
}

// Image columns are output columns: lines are drawn without the column map, which is then not built.
bool directColumns(const ImageView* v) {
  return v->panX == 0 && v->zoomX == 2048;
}

// Every output line is drawn from one image line exactly once (no lines ORed together), so a line is
// cleared as it is drawn, while it is at hand, instead of the whole strip beforehand; lines that are not
// drawn are cleared where they are added.
bool linesDrawnOnce(const ImageView* v) {
  return directColumns(v) && v->zoomY >= 2048;
}

void clearLines(ImageView* v, int32_t first, int32_t count) {
  if (count > 0) {
    std::memset(v->stripBuffer + static_cast<size_t>(first) * v->outBytesPerLine, 0,
                static_cast<size_t>(count) * v->outBytesPerLine);
  }
}

void drawLine(ImageView* v) {
  uint8_t* line = v->stripBuffer + static_cast<size_t>(v->linesInStrip) * v->outBytesPerLine;
  if (directColumns(v)) {
    if (linesDrawnOnce(v)) std::memset(line, 0, static_cast<size_t>(v->outBytesPerLine));
    funcFaxRenderChanges(v->currentChanges, line, v->outLineWidth);
    return;
  }
  if ((v->renderFlags & 2) != 0) {
    funcFaxScaleChangesKeepBlack(v->currentChanges, v->scaledChanges, v->columnMap, v->width, v->panX,
                                 v->outLineWidth);
  } else {
    funcFaxScaleChanges(v->currentChanges, v->scaledChanges, v->columnMap, v->width, v->panX,
                        v->outLineWidth);
  }
  funcFaxRenderChanges(v->scaledChanges, line, v->outLineWidth);
}

int emitStrip(ImageView* v) {
  if (v->rotation != 0 && v->rotationBuffer != nullptr) {
    const size_t bytes = static_cast<size_t>(v->linesInStrip) * v->outBytesPerLine;
    funcBilevelTransformLine(v, v->stripBuffer, v->rotationBuffer, bytes);
    std::memcpy(v->stripBuffer, v->rotationBuffer, bytes);
  }
  return kFaxStripReady;
}

int finishAndFree(ImageView* v) {
  funcFaxDecodeFree(v);
  return kFaxAllDelivered;
}

int failOpen(ImageView* v) {
  funcFaxDecodeFree(v);
  return kFaxCannotStart;
}

}  // namespace

int32_t faxInputBufferSize(int width, int32_t chunk) {
  return (width / 4096 + 2) * 2048 + chunk;
}

int faxDecodeNextLine(ImageView* v) {
  if (v->inputBuffer == nullptr || v->currentChanges == nullptr) return 3;
  prepareInput(v);
  std::swap(v->currentChanges, v->otherChanges);
  return funcFaxDecodeLine(codingOf(v), v->otherChanges, v->currentChanges, v->width, v->currentLine,
                           v->inputBuffer, v->inputFill, &v->inputPos, &v->bitAcc, &v->bitCount);
}

int funcFaxDecodeOpen(ImageView* v) {
  funcFaxDecodeFree(v);
  const bool byteLimitGiven = (v->optionFlags & kViewOptByteLimit) != 0;
  const bool chunkGiven = (v->optionFlags & kViewOptChunk) != 0;
  if (!byteLimitGiven) {
    // Raw rows need exactly their bytes; other codings are read until they end.
    v->inputByteLimit = codingOf(v) == 3 ? (static_cast<int64_t>(v->width) + 7) / 8 * v->length : 2147483647;
    // A memory image is read no further than its strip.
    if (v->fileHandle == -1 && v->stripByteCount != 0) {
      v->inputByteLimit = std::min<int64_t>(v->inputByteLimit, v->stripByteCount);
    }
  }
  if (!chunkGiven) v->inputChunk = kDefaultChunk;
  v->linesDelivered = v->currentLine = v->linesInStrip = 0;
  v->bitAcc = 0;
  v->bitCount = 0;
  v->linesSkipped = 0;
  v->finished = 0;
  v->errorCode = v->errorLine = 0;
  v->inputFill = v->inputPos = 0;
  v->inputEnded = 0;
  v->readStarted = 0;
  v->lastRead = 0;
  v->memReadAddress = nullptr;

  if (codingOf(v) == 12 || v->width <= 0 || v->length <= 0 || v->width > kMaxWidth) return kFaxCannotStart;
  if (v->windowWidth <= 0 || v->windowWidth % 8 != 0 || v->windowHeight <= 0) return kFaxCannotStart;
  if (v->rotation < 0 || v->rotation > 3) return kFaxCannotStart;
  if (v->rotation != 0) {
    v->windowHeight -= v->windowHeight % 8;
    if (v->windowHeight == 0) return kFaxCannotStart;
  }
  if (usesStripTable(v)) {
    const FaxStripTable* t = stripTable(v);
    if (t == nullptr || t->rowsPerStrip <= 0 || t->lastStrip < 0 || t->offsets == nullptr ||
        t->byteCounts == nullptr) {
      return kFaxCannotStart;
    }
  }
  if ((v->optionFlags & kViewOptNoClamp) == 0) funcViewClampPan(v);
  if (v->panY >= v->length || v->panY < 0) return kFaxCannotStart;

  const bool odd = (v->rotation & 1) != 0;
  v->outLineWidth = odd ? v->windowHeight : v->windowWidth;
  v->outLineCount = odd ? v->windowWidth : v->windowHeight;
  if (chunkGiven) {
    if (v->inputChunk <= 0 || v->inputChunk > kMaxChunk) return kFaxCannotStart;
    const int32_t size = faxInputBufferSize(v->width, v->inputChunk);
    v->inputBufferSize = std::max(size - size % v->inputChunk, 2 * v->inputChunk);
  } else {
    v->inputBufferSize = faxInputBufferSize(v->width, v->inputChunk);
  }
  v->outBytesPerLine = v->outLineWidth / 8;
  int32_t lines = 8192 / std::max(1, v->outBytesPerLine);
  if (v->rotation == 0) lines = std::min(lines, 32);
  v->linesPerStrip = std::max(16, lines - lines % 16);
  v->stripSize = v->outBytesPerLine * v->linesPerStrip;
  v->vertAccum = v->zoomY < 2048 ? 2047 : 0;

  v->currentChanges = allocChangeList(v->width);
  v->otherChanges = allocChangeList(v->width);
  v->scaledChanges = allocChangeList(std::max(v->width, v->outLineWidth));
  if (!directColumns(v)) {
    v->columnMap = static_cast<int32_t*>(std::calloc(static_cast<size_t>(v->width) + 10, sizeof(int32_t)));
  }
  v->inputBuffer = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(v->inputBufferSize) + 18, 1));
  v->stripBuffer = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(v->stripSize) + 32, 1));
  if (v->rotation != 0) v->rotationBuffer = static_cast<uint8_t*>(std::calloc(v->stripSize + 32, 1));
  if (v->currentChanges == nullptr || v->otherChanges == nullptr || v->scaledChanges == nullptr ||
      (!directColumns(v) && v->columnMap == nullptr) || v->inputBuffer == nullptr ||
      v->stripBuffer == nullptr || (v->rotation != 0 && v->rotationBuffer == nullptr)) {
    return failOpen(v);
  }
  writeSentinel(v);
  // The view's limits are checked whether or not the map is needed.
  if (faxCheckColumnMap(v->width, v->outLineWidth, v->zoomX, v->panX) != 0) return failOpen(v);
  if (!directColumns(v)) funcFaxBuildColumnMap(v->columnMap, v->width, v->outLineWidth, v->zoomX, v->panX);

  if (usesStripTable(v)) {
    FaxStripTable* t = stripTable(v);
    const int s = v->panY / t->rowsPerStrip;
    if (s > t->lastStrip) return failOpen(v);
    loadStrip(v, s);
    // Decoding starts at the first line of the strip that holds the pan; the lines above
    // the pan in that strip are decoded and skipped.
    v->currentLine = v->linesSkipped = v->stripLineStart;
  } else {
    refill(v, true);
  }
  if (v->inputFill == 0) return failOpen(v);
  v->optionFlags = 0;
  return 0;
}

int funcFaxDecodeLines(ImageView* v) {
  if ((v->optionFlags & kViewOptStart) != 0) {
    const int r = funcFaxDecodeOpen(v);
    if (r != 0) return r;
  }
  if (v->stripBuffer == nullptr) return kFaxCannotStart;
  if (!linesDrawnOnce(v)) std::memset(v->stripBuffer, 0, static_cast<size_t>(v->stripSize));
  v->linesInStrip = 0;
  if (v->linesDelivered >= v->outLineCount) return finishAndFree(v);

  if (v->finished == 0) {
    while (v->finished == 0 && v->linesSkipped < v->panY) {
      if (decodeNext(v)) ++v->linesSkipped;
    }
    while (v->finished == 0 && v->linesDelivered < v->outLineCount) {
      if (v->linesInStrip == v->linesPerStrip) return emitStrip(v);
      if (v->vertAccum < 2048) {
        v->vertAccum += v->zoomY;
        if (!decodeNext(v)) break;
        if ((v->renderFlags & 1) != 0 || v->vertAccum >= 2048) drawLine(v);
        if (v->vertAccum >= 2048) {
          v->vertAccum -= 2048;
          ++v->linesInStrip;
          ++v->linesDelivered;
        }
      }
      while (v->vertAccum >= 2048 && v->linesDelivered < v->outLineCount &&
             v->linesInStrip < v->linesPerStrip) {
        drawLine(v);
        v->vertAccum -= 2048;
        ++v->linesInStrip;
        ++v->linesDelivered;
      }
    }
    if (v->finished == 0) {
      // The window is full before the image ends.
      return v->linesInStrip > 0 ? emitStrip(v) : finishAndFree(v);
    }
  }
  if (v->finished == kFinishPending) {
    v->finished = kFinishDone;
    if ((v->renderFlags & 1) != 0 && v->linesDelivered < v->outLineCount &&
        v->linesInStrip < v->linesPerStrip && v->vertAccum > 0 && v->vertAccum < 2048 && v->zoomY < 2048) {
      // The lines ORed into an output line that the reduction had not completed yet.
      ++v->linesInStrip;
      ++v->linesDelivered;
    }
    if (v->linesInStrip > 0) {
      if (v->rotation != 0 || v->linesDelivered < v->outLineCount) {
        const int32_t add = (16 - v->linesInStrip % 16) % 16;
        if (linesDrawnOnce(v)) clearLines(v, v->linesInStrip, add);
        v->linesInStrip += add;
        v->linesDelivered += add;
      }
      // The last strip never reaches past the window.
      const int32_t excess = v->linesDelivered - v->outLineCount;
      if (excess > 0) {
        v->linesInStrip -= excess;
        v->linesDelivered -= excess;
      }
      return emitStrip(v);
    }
  }
  const int32_t n = std::min(v->linesPerStrip, v->outLineCount - v->linesDelivered);
  if (n <= 0) return finishAndFree(v);
  if (linesDrawnOnce(v)) clearLines(v, 0, n);
  v->linesInStrip = n;
  v->linesDelivered += n;
  return emitStrip(v);
}

void funcFaxDecodeFree(ImageView* v) {
  freeChangeList(v->currentChanges);
  freeChangeList(v->otherChanges);
  freeChangeList(v->scaledChanges);
  std::free(v->columnMap);
  std::free(v->inputBuffer);
  std::free(v->stripBuffer);
  std::free(v->rotationBuffer);
  v->currentChanges = v->otherChanges = v->scaledChanges = nullptr;
  v->columnMap = nullptr;
  v->inputBuffer = v->stripBuffer = v->rotationBuffer = nullptr;
}

}  // namespace zc::codec
