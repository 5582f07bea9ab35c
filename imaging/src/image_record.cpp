// Header field access and the buffer check shared by every record operation.
#include "imaging/image_record.h"

#include "platform/byte_order.h"

namespace zc::imaging {

RecordHeader ReadRecordHeader(const uint8_t* p) {
  RecordHeader h;
  h.width = static_cast<int16_t>(plat::bytes::GetLe16(p + 0));
  h.height = static_cast<int16_t>(plat::bytes::GetLe16(p + 2));
  h.bits = static_cast<int16_t>(plat::bytes::GetLe16(p + 4));
  h.dpi = static_cast<int16_t>(plat::bytes::GetLe16(p + 6));
  return h;
}

void WriteRecordHeader(uint8_t* p, const RecordHeader& h) {
  plat::bytes::PutLe16(p + 0, static_cast<uint16_t>(h.width));
  plat::bytes::PutLe16(p + 2, static_cast<uint16_t>(h.height));
  plat::bytes::PutLe16(p + 4, static_cast<uint16_t>(h.bits));
  plat::bytes::PutLe16(p + 6, static_cast<uint16_t>(h.dpi));
}

int64_t RecordRowBytes(int64_t width, int bits) {
  if (width < 0) return -1;
  switch (bits) {
    case 1:
      return (width + 7) / 8;
    case 4:
      return (width + 1) / 2;
    case 8:
      return width;
    case 24:
      return 3 * width;
    default:
      return -1;
  }
}

int64_t RecordByteSize(const RecordHeader& h) {
  const int64_t row = RecordRowBytes(h.width, h.bits);
  if (row < 0 || h.height < 0 || h.width > kMaxRecordSide || h.height > kMaxRecordSide) return -1;
  return static_cast<int64_t>(kRecordHeaderBytes) + row * h.height;
}

namespace {

template <typename Byte>
std::optional<BasicRecordView<Byte>> Check(std::span<Byte> record) {
  if (record.data() == nullptr || record.size() < kRecordHeaderBytes) return std::nullopt;
  const RecordHeader h = ReadRecordHeader(record.data());
  const int64_t size = RecordByteSize(h);
  if (size < 0 || static_cast<uint64_t>(size) > record.size()) return std::nullopt;
  BasicRecordView<Byte> v;
  v.header = h;
  v.pixels = record.data() + kRecordHeaderBytes;
  v.rowBytes = static_cast<size_t>(RecordRowBytes(h.width, h.bits));
  return v;
}

}  // namespace

std::optional<RecordView> CheckRecord(std::span<uint8_t> record) {
  return Check(record);
}

std::optional<ConstRecordView> CheckRecord(std::span<const uint8_t> record) {
  return Check(record);
}

std::optional<RecordView> StartRecord(std::span<uint8_t> buffer, const RecordHeader& h) {
  const int64_t size = RecordByteSize(h);
  if (buffer.data() == nullptr || size < 0 || static_cast<uint64_t>(size) > buffer.size()) return std::nullopt;
  WriteRecordHeader(buffer.data(), h);
  RecordView v;
  v.header = h;
  v.pixels = buffer.data() + kRecordHeaderBytes;
  v.rowBytes = static_cast<size_t>(RecordRowBytes(h.width, h.bits));
  return v;
}

}  // namespace zc::imaging
