// Start, feed and end of codec runs: tag and signature dispatch to the format stages.
#include "codec/core/img_dispatch.h"

#include <cstdlib>
#include <cstring>

#include "codec/core/img_error.h"
#include "codec/core/img_stream.h"

namespace zc::codec {

thread_local ImgCompDesc* ImgCurrentCompDesc = nullptr;

namespace {

const ImgCompFormat* findCompFormat(const ImgCompDesc* desc, std::span<const ImgCompFormat> formats) {
  for (const ImgCompFormat& f : formats) {
    // Exact match, terminating NUL included: "JPEG" and "JPEGG" differ.
    if (std::strncmp(desc->tag, f.tag, sizeof(desc->tag)) == 0 && std::strlen(f.tag) < sizeof(desc->tag)) {
      return &f;
    }
  }
  return nullptr;
}

const ImgDecompFormat* findDecompFormat(const char* tag, size_t tagSize,
                                        std::span<const ImgDecompFormat> formats) {
  for (const ImgDecompFormat& f : formats) {
    if (f.tagLetters <= tagSize && std::strncmp(tag, f.tag, f.tagLetters) == 0) return &f;
  }
  return nullptr;
}

void releaseReadBuffer(ImgDecompDesc* desc) {
  desc->readIndex = 0;
  desc->readCapacity = 0;
  desc->readFill = 0;
  std::free(desc->readBuffer);
  desc->readBuffer = nullptr;
}

}  // namespace

int funcInitCompDesc(ImgCompDesc* desc) {
  if (desc == nullptr) return imgFail(kImgErrNullPointer);
  *desc = ImgCompDesc{};
  desc->handle = -1;
  return 0;
}

int funcInitDecompDesc(ImgDecompDesc* desc) {
  if (desc == nullptr) return imgFail(kImgErrNullPointer);
  *desc = ImgDecompDesc{};
  desc->handle = -1;
  return 0;
}

int initCompWith(ImgCompDesc* desc, std::span<const ImgCompFormat> formats) {
  iImgError = 0;
  if (desc == nullptr) return imgFail(kImgErrNullPointer);
  if (desc->handle == -1 && desc->memAddress == nullptr) return imgFail(kImgErrFileHandle);
  if (funcCompSeek(desc, desc->startOffset, 0) < 0) return imgFail(kImgErrSeek);
  const ImgCompFormat* format = findCompFormat(desc, formats);
  if (format == nullptr) return imgFail(kImgErrHeaderId);
  ImgCurrentCompDesc = desc;
  return format->start(desc);
}

int endCompWith(ImgCompDesc* desc, std::span<const ImgCompFormat> formats) {
  iImgError = 0;
  if (desc == nullptr) return imgFail(kImgErrNullPointer);
  const ImgCompFormat* format = findCompFormat(desc, formats);
  if (format == nullptr) return imgFail(kImgErrHeaderId);
  return format->end(desc);
}

int initDecompWith(ImgDecompDesc* desc, std::span<const ImgDecompFormat> formats) {
  iImgError = 0;
  if (desc == nullptr) return imgFail(kImgErrNullPointer);
  if (desc->handle == -1 && desc->memAddress == nullptr) return imgFail(kImgErrFileHandle);
  desc->position = desc->startOffset;
  if (funcDecompSeek(desc, desc->startOffset, 0) < 0) return imgFail(kImgErrSeek);
  std::free(desc->readBuffer);
  desc->readBuffer = static_cast<uint8_t*>(std::calloc(kImgReadBufferSize, 1));
  if (desc->readBuffer == nullptr) return imgFail(kImgErrNoMemory);
  const int64_t got = funcDecompReadAt(desc, desc->readBuffer, kImgReadChunk);
  if (got < 7) {
    releaseReadBuffer(desc);
    return imgFail(kImgErrRead);
  }
  desc->readFill = static_cast<uint16_t>(got);
  desc->readCapacity = static_cast<uint16_t>(kImgReadChunk);
  desc->readIndex = 0;

  const char* tag = imgDetectSignature(desc->readBuffer, static_cast<size_t>(got));
  int result = imgFail(kImgErrHeaderId);
  if (tag != nullptr) {
    std::memset(desc->tag, 0, sizeof(desc->tag));
    std::strncpy(desc->tag, tag, sizeof(desc->tag) - 1);
    const ImgDecompFormat* format = findDecompFormat(desc->tag, sizeof(desc->tag), formats);
    // A recognised signature whose reader is not part of this build is an unknown header.
    result = format != nullptr && format->readHeader != nullptr ? format->readHeader(desc)
                                                                : imgFail(kImgErrHeaderId);
  }
  releaseReadBuffer(desc);
  return result;
}

int decompWith(ImgDecompDesc* desc, std::span<const ImgDecompFormat> formats) {
  iImgError = 0;
  if (desc == nullptr) return imgFail(kImgErrNullPointer);
  const ImgDecompFormat* format = findDecompFormat(desc->tag, sizeof(desc->tag), formats);
  if (format == nullptr || format->decode == nullptr) return imgFail(kImgErrHeaderId);
  return format->decode(desc);
}

int funcInitComp(ImgCompDesc* desc) {
  return initCompWith(desc, imgCompFormats());
}
int funcEndComp(ImgCompDesc* desc) {
  return endCompWith(desc, imgCompFormats());
}
int funcInitDecomp(ImgDecompDesc* desc) {
  return initDecompWith(desc, imgDecompFormats());
}
int funcDecomp(ImgDecompDesc* desc) {
  return decompWith(desc, imgDecompFormats());
}

}  // namespace zc::codec
