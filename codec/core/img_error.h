// Codec error reporting: the last error of the imaging codec, kept per thread, and the
// one table that words every numbered error code.
#pragma once

namespace zc::codec {

// Numbered errors of the codec; only the codes the library itself raises are named.
enum ImgErrorCode : int {
  kImgErrFileHandle = 1,
  kImgErrNoMemory = 2,
  kImgErrSeek = 3,
  kImgErrRead = 4,
  kImgErrHeaderId = 5,
  kImgErrPalette = 6,
  kImgErrDataOffset = 7,
  kImgErrDimensions = 8,
  kImgErrUnexpectedEnd = 9,
  kImgErrGifCode = 10,
  kImgErrGifNoImage = 11,
  kImgErrNullPointer = 12,
  kImgErrUnsupportedFile = 13,
  kImgErrDisplayFunction = 14,
  kImgErrBitsUnsupported = 15,
  kImgErrWrite = 19,
};

// Last error of the calling thread's codec operation; entry points clear it on entry. Each thread
// has its own, so threads may compress and decode at once.
extern thread_local int iImgError;

int funcGetImgError();
// Text of an error code; unknown codes give the table's catch-all text.
const char* funcImgErrorText(int code);

// Stores the code in iImgError and returns -1, the failure result of every entry point.
int imgFail(int code);

}  // namespace zc::codec
