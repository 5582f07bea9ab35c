// Error signalling inside the JPEG decoder.
//
// The decoder stages throw a JpegError carrying the codec's numeric error code; the entry points that the
// codec dispatch calls catch it once, store the code as the codec's last error and return -1.
#pragma once

namespace zc::jpegdec {

// The codec error numbers this decoder raises (the texts live in the codec's error table).
enum JpegErrorCode : int {
  kErrMemory = 2,
  kErrSeek = 3,
  kErrRead = 4,
  kErrWindow = 8,
  kErrTruncated = 9,
  kErrDisplay = 14,
  kErrNoFrame = 20,
  kErrEoiBeforeFrame = 21,
  kErrUnsupported = 22,
  kErrUnexpectedRestart = 23,
  kErrScanComponent = 24,
  kErrHuffCount = 25,
  kErrNoDcTable = 26,
  kErrNoAcTable = 27,
  kErrHuffTooMany = 28,
  kErrHuffClass = 30,
  kErrColors = 31,
  kErrQuantLength = 32,
  kErrQuantId = 33,
  kErrBadCode = 34,
  kErrBadRunSize = 35,
  kErrNoQuantTable = 36,
  kErrRestart = 37,
  kErrScaleX = 39,
  kErrScaleY = 40,
  kErrTooLarge = 41,
  kErrStoreAlloc = 54,
  kErrStorePtr = 55,
  kErrScanParams = 64,
  kErrColorAdd = 72,
  kErrColorGain = 73,
};

struct JpegError {
  int code;
};

[[noreturn]] inline void Fail(int code) {
  throw JpegError{code};
}

}  // namespace zc::jpegdec
