// Buffered source reading.
#include "codec/formats/source_reader.h"

#include <algorithm>
#include <cstring>

#include "codec/core/img_stream.h"

namespace zc::codec::fmt {

bool SourceReader::seek(int64_t position) {
  index_ = fill_ = 0;
  ended_ = false;
  base_ = position;
  return funcDecompSeek(desc_, position, 0) >= 0;
}

bool SourceReader::refill() {
  if (ended_) return false;
  base_ += static_cast<int64_t>(fill_);
  index_ = fill_ = 0;
  const int64_t got = funcDecompRead(desc_, buffer_.data(), kChunk);
  if (got <= 0) {
    ended_ = true;
    return false;
  }
  fill_ = static_cast<size_t>(got);
  return true;
}

size_t SourceReader::read(uint8_t* out, size_t count) {
  size_t done = 0;
  while (done < count) {
    if (index_ == fill_ && !refill()) break;
    const size_t n = std::min(count - done, fill_ - index_);
    std::memcpy(out + done, buffer_.data() + index_, n);
    index_ += n;
    done += n;
  }
  return done;
}

bool SourceReader::skip(size_t count) {
  while (count > 0) {
    if (index_ == fill_ && !refill()) return false;
    const size_t n = std::min(count, fill_ - index_);
    index_ += n;
    count -= n;
  }
  return true;
}

}  // namespace zc::codec::fmt
