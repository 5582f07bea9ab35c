// Byte-coded lines: raw rows, PackBits (TIFF 6.0 section 9) and the encoder's byte-run
// coding of inverted bytes. Runs that cross the end of a row are cut there.
#include <algorithm>
#include <cstring>
#include <vector>

#include "codec/bilevel/change_list.h"
#include "codec/bilevel/fax_line_decoders.h"

namespace zc::codec {
namespace {

std::vector<uint8_t>& rowScratch(size_t bytes) {
  static thread_local std::vector<uint8_t> row;
  if (row.size() < bytes) row.resize(bytes);
  return row;
}

void toChanges(const uint8_t* row, uint32_t* cur, int width) {
  funcFaxLineToChanges(row, width, cur);
}

}  // namespace

int faxDecodeRawLine(const uint8_t* data, int64_t fill, int64_t& pos, uint32_t* cur, int width) {
  const int64_t bytes = (static_cast<int64_t>(width) + 7) / 8;
  if (pos < 0 || pos + bytes > fill) {
    FaxChangeWriter{cur, static_cast<uint32_t>(width)}.close();
    return kFaxLineEnd;
  }
  toChanges(data + pos, cur, width);
  pos += bytes;
  return kFaxLineOk;
}

int faxDecodePackBitsLine(const uint8_t* data, int64_t fill, int64_t& pos, uint32_t* cur, int width) {
  const size_t bytes = (static_cast<size_t>(width) + 7) / 8;
  std::vector<uint8_t>& row = rowScratch(bytes);
  size_t n = 0;
  while (n < bytes) {
    if (pos < 0 || pos >= fill) {
      FaxChangeWriter{cur, static_cast<uint32_t>(width)}.close();
      return kFaxLineEnd;
    }
    const auto control = static_cast<int8_t>(data[pos++]);
    if (control >= 0) {
      const int64_t count = control + 1;
      if (pos + count > fill) {
        FaxChangeWriter{cur, static_cast<uint32_t>(width)}.close();
        return kFaxLineEnd;
      }
      const size_t take = std::min<size_t>(static_cast<size_t>(count), bytes - n);
      std::memcpy(row.data() + n, data + pos, take);
      n += take;
      pos += count;
    } else if (control != -128) {
      if (pos >= fill) {
        FaxChangeWriter{cur, static_cast<uint32_t>(width)}.close();
        return kFaxLineEnd;
      }
      const size_t take = std::min<size_t>(static_cast<size_t>(1 - control), bytes - n);
      std::memset(row.data() + n, data[pos++], take);
      n += take;
    }
  }
  toChanges(row.data(), cur, width);
  return kFaxLineOk;
}

int faxDecodeByteRunLine(const uint8_t* data, int64_t fill, int64_t& pos, uint32_t* cur, int width) {
  const size_t bytes = (static_cast<size_t>(width) + 7) / 8;
  const size_t coded = static_cast<size_t>(width) / 8;  // a last partial byte is not coded
  std::vector<uint8_t>& row = rowScratch(bytes);
  std::memset(row.data(), 0, bytes);
  size_t n = 0;
  while (n < coded) {
    if (pos < 0 || pos >= fill) {
      FaxChangeWriter{cur, static_cast<uint32_t>(width)}.close();
      return kFaxLineEnd;
    }
    const uint8_t b = data[pos++];
    if (b >= 0xC0) {
      if (pos >= fill) {
        FaxChangeWriter{cur, static_cast<uint32_t>(width)}.close();
        return kFaxLineEnd;
      }
      const size_t take = std::min<size_t>(b - 0xC0u, coded - n);
      std::memset(row.data() + n, static_cast<uint8_t>(~data[pos++]), take);
      n += take;
    } else {
      row[n++] = static_cast<uint8_t>(~b);
    }
  }
  toChanges(row.data(), cur, width);
  return kFaxLineOk;
}

}  // namespace zc::codec
