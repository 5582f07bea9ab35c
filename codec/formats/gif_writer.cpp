// GIF writer: header, streaming LZW coder and sub-block packing.
#include "codec/formats/gif_writer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "codec/core/img_error.h"
#include "codec/formats/byte_order.h"
#include "codec/formats/lzw_encoder.h"
#include "codec/formats/writer_common.h"

namespace zc::codec {
namespace {

using fmt::LzwEncoder;

// Packs codes least significant bit first into data sub-blocks.
class GifBlockPacker : public fmt::LzwCodeSink {
 public:
  explicit GifBlockPacker(std::vector<uint8_t>& out) : out_(out) {}

  void put(int code, int width) override {
    bits_ |= static_cast<uint32_t>(code) << count_;
    count_ += width;
    while (count_ >= 8) {
      pushByte(static_cast<uint8_t>(bits_));
      bits_ >>= 8;
      count_ -= 8;
    }
  }

  // Flushes the last partial byte and closes the last block.
  void close() {
    if (count_ > 0) pushByte(static_cast<uint8_t>(bits_));
    bits_ = 0;
    count_ = 0;
    if (blockFill_ > 0) {
      out_.push_back(static_cast<uint8_t>(blockFill_));
      out_.insert(out_.end(), block_, block_ + blockFill_);
      blockFill_ = 0;
    }
  }

 private:
  void pushByte(uint8_t b) {
    block_[blockFill_++] = b;
    if (blockFill_ == 255) {
      out_.push_back(255);
      out_.insert(out_.end(), block_, block_ + 255);
      blockFill_ = 0;
    }
  }

  std::vector<uint8_t>& out_;
  uint32_t bits_ = 0;
  int count_ = 0;
  uint8_t block_[255];
  int blockFill_ = 0;
};

struct GifWriter {
  GifWriter(int rootBits, size_t width) : encoder(rootBits, width), packer(buffer) {}
  std::vector<uint8_t> buffer;  // header and complete sub-blocks not yet written
  size_t flushSize = 8192;
  LzwEncoder encoder;
  GifBlockPacker packer;
  uint32_t rowsCoded = 0;
};

GifWriter* writerOf(ImgCompDesc* desc) {
  return static_cast<GifWriter*>(desc->writerState);
}

int flush(ImgCompDesc* desc, GifWriter* w) {
  const int r = fmt::writeAll(desc, w->buffer.data(), w->buffer.size());
  w->buffer.clear();
  return r;
}

int gifBand(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows) {
  ImgCompDesc* desc = ImgCurrentCompDesc;
  if (!fmt::bandFitsImage(desc, firstCol, firstRow, endCol, endRow, rows) || desc->writerState == nullptr) {
    iImgError = kImgErrDimensions;
    return kImgErrDimensions;
  }
  GifWriter* w = writerOf(desc);
  const uint32_t count = static_cast<uint32_t>(endRow - firstRow);
  if (w->rowsCoded + count > desc->height) {
    iImgError = kImgErrDimensions;
    return kImgErrDimensions;
  }
  w->encoder.encode(rows, static_cast<size_t>(count) * desc->width, w->packer);
  w->rowsCoded += count;
  if (w->buffer.size() >= w->flushSize) return flush(desc, w);
  return 0;
}

}  // namespace

int funcGifCompStart(ImgCompDesc* desc) {
  if (desc->handle == 0) return imgFail(kImgErrFileHandle);
  const int headerBits = desc->bitsPerPixel;
  if (desc->bitsPerPixel == 1) desc->bitsPerPixel = 2;
  const int bits = desc->bitsPerPixel;
  if (bits != 2 && bits != 4 && bits != 8) return imgFail(kImgErrBitsUnsupported);

  GifWriter* w = new (std::nothrow) GifWriter(bits, desc->width);
  if (w == nullptr) return imgFail(kImgErrNoMemory);
  desc->writerState = w;
  w->flushSize = std::max<size_t>(static_cast<size_t>(desc->rowsPerBand) * desc->width + 32, 8192);

  // The header records the bits the caller gave; a 1-bit image is coded with code size 2.
  const bool globalTable = desc->palette != nullptr && desc->colorModel != 0;
  const int entries = 1 << headerBits;
  uint8_t head[13];
  std::memcpy(head, "GIF87a", 6);
  fmt::putLe16(head + 6, desc->width);
  fmt::putLe16(head + 8, desc->height);
  head[10] = static_cast<uint8_t>((globalTable ? 0x80 : 0) + (headerBits - 1));
  head[11] = 0;
  head[12] = 0;
  w->buffer.assign(head, head + 13);
  if (globalTable) w->buffer.insert(w->buffer.end(), desc->palette, desc->palette + 3 * entries);
  uint8_t image[11] = {','};
  fmt::putLe16(image + 1, 0);
  fmt::putLe16(image + 3, 0);
  fmt::putLe16(image + 5, desc->width);
  fmt::putLe16(image + 7, desc->height);
  image[9] = static_cast<uint8_t>(headerBits - 1);
  image[10] = static_cast<uint8_t>(bits);
  w->buffer.insert(w->buffer.end(), image, image + 11);
  desc->dataOffset = static_cast<uint32_t>(w->buffer.size());

  w->encoder.begin(w->packer);
  desc->lineWriter = gifBand;
  return 0;
}

int funcGifCompEnd(ImgCompDesc* desc) {
  GifWriter* w = writerOf(desc);
  if (w == nullptr) return 0;
  w->encoder.finish(w->packer);
  w->packer.close();
  w->buffer.push_back(0);
  w->buffer.push_back(';');
  const int r = flush(desc, w);
  delete w;
  desc->writerState = nullptr;
  return r == 0 ? 0 : -1;
}

}  // namespace zc::codec
