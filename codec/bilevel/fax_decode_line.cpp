// Mode dispatch of the line decoders, with the recovery each T.4 mode allows: a bad 1D
// line is replaced by the line behind the next EOL; in T.4 2D the decoder skips to the
// next EOL whose tag announces a 1D line.
#include "codec/bilevel/fax_decode_line.h"

#include "codec/bilevel/fax_bit_source.h"
#include "codec/bilevel/fax_decode_2d.h"
#include "codec/bilevel/fax_line_decoders.h"

namespace zc::codec {
namespace {

int decodeMode0(FaxBitSource& src, uint32_t* cur, int width) {
  for (;;) {
    if (funcFaxFindEOL(src, 0) == kFaxLineEnd) return kFaxLineEnd;
    if (funcFaxDecode1D(src, cur, width) == kFaxLineOk) return kFaxLineOk;
    if (src.overrun()) return kFaxLineEnd;
  }
}

int decodeMode2(FaxBitSource& src, const uint32_t* ref, uint32_t* cur, int width) {
  int tag = funcFaxFindEOL(src, 1);
  if (tag == kFaxLineEnd) return kFaxLineEnd;
  int r = tag == 1 ? funcFaxDecode1D(src, cur, width)
                   : funcFaxDecode2D(src, ref, cur, width, FaxDecode2DKind::kPlain);
  while (r != kFaxLineOk) {
    do {
      tag = funcFaxFindEOL(src, 1);
      if (tag == kFaxLineEnd) return kFaxLineEnd;
    } while (tag != 1);
    r = funcFaxDecode1D(src, cur, width);
    if (r != kFaxLineOk && src.overrun()) return kFaxLineEnd;
  }
  return kFaxLineOk;
}

int decodeMode4(FaxBitSource& src, const uint32_t* ref, uint32_t* cur, int width, int lineIndex) {
  if (lineIndex <= 1) {
    const int tag = funcFaxFindEOL(src, 1);
    if (tag == kFaxLineEnd) return kFaxLineEnd;
    if (lineIndex == 0 && tag == 1) return funcFaxDecode1D(src, cur, width);
  }
  return funcFaxDecode2D(src, ref, cur, width, FaxDecode2DKind::kPlain);
}

// A line read past the data is bad; the reader's position goes back to the caller.
[[gnu::always_inline]] inline int finishLine(FaxBitSource& src, int result, int32_t inputFill, int32_t* pos,
                                             uint32_t* acc, int32_t* bitCount) {
  if (src.overrun() && result == kFaxLineOk) result = kFaxLineBad;
  int64_t bytePos = 0;
  src.save(bytePos, *acc, *bitCount);
  *pos =
      static_cast<int32_t>(bytePos < inputFill + kFaxSentinelBytes ? bytePos : inputFill + kFaxSentinelBytes);
  return result;
}

}  // namespace

int funcFaxDecodeLine(int mode, const uint32_t* ref, uint32_t* cur, int width, int lineIndex,
                      const uint8_t* input, int32_t inputFill, int32_t* pos, uint32_t* acc,
                      int32_t* bitCount) {
  int64_t bytePos = *pos;
  int result;
  switch (mode) {
    case 3:
    case 7:
    case 10: {
      // Byte codings start on a byte boundary: a partly used byte is dropped.
      *acc = 0;
      *bitCount = 0;
      if (mode == 3) {
        result = faxDecodeRawLine(input, inputFill, bytePos, cur, width);
      } else if (mode == 7) {
        result = faxDecodeByteRunLine(input, inputFill, bytePos, cur, width);
      } else {
        result = faxDecodePackBitsLine(input, inputFill, bytePos, cur, width);
      }
      *pos = static_cast<int32_t>(bytePos);
      return result;
    }
    case 0:
    case 1:
    case 2:
    case 4:
    case 5:
    case 11:
      break;
    default:
      FaxChangeWriter{cur, static_cast<uint32_t>(width)}.close();
      return kFaxLineBad;
  }
  if (mode == 1 || mode == 11) {
    // T.6, the common case: the reader stays a local of this function for the whole line.
    FaxBitSource src(input, static_cast<int64_t>(inputFill) + kFaxSentinelBytes, bytePos, *acc, *bitCount);
    result = detail::faxDecode2D(src, ref, cur, width,
                                 mode == 1 ? FaxDecode2DKind::kWithExtension : FaxDecode2DKind::kByteWise);
    return finishLine(src, result, inputFill, pos, acc, bitCount);
  }
  FaxBitSource src(input, static_cast<int64_t>(inputFill) + kFaxSentinelBytes, bytePos, *acc, *bitCount);
  switch (mode) {
    case 0:
      result = decodeMode0(src, cur, width);
      break;
    case 2:
      result = decodeMode2(src, ref, cur, width);
      break;
    case 4:
      result = decodeMode4(src, ref, cur, width, lineIndex);
      break;
    default:  // 5
      src.alignToByte();
      result = src.overrun() || src.consumed() >= static_cast<int64_t>(inputFill) * 8
                   ? kFaxLineEnd
                   : funcFaxDecode1D(src, cur, width);
      if (result == kFaxLineEnd) FaxChangeWriter{cur, static_cast<uint32_t>(width)}.close();
      break;
  }
  return finishLine(src, result, inputFill, pos, acc, bitCount);
}

}  // namespace zc::codec
