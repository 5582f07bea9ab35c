// The record walk of the EEPROM image base.
#include "qv6/models/mech_file_base.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"

namespace qv6 {

uint32_t MechFileBaseClass::HeaderLength(std::span<const uint8_t> header) {
  return header.size() >= 4 ? plat::bytes::GetLe32(header.data()) : 0;
}

uint32_t MechFileBaseClass::DataLength(std::span<const uint8_t> header) {
  return header.size() >= 8 ? plat::bytes::GetLe32(header.data() + 4) : 0;
}

uint32_t MechFileBaseClass::WriteCounter(std::span<const uint8_t> header) {
  return header.size() >= kCounterOffset + 4 ? plat::bytes::GetLe32(header.data() + kCounterOffset) : 0;
}

std::string MechFileBaseClass::IdentText(std::span<const uint8_t> header) {
  if (header.size() < kIdentOffset + kIdentSize) return {};
  const char* text = reinterpret_cast<const char*>(header.data() + kIdentOffset);
  return std::string(text, strnlen(text, kIdentSize - 1));
}

void MechFileBaseClass::StartImage(const char* text, const char tag[4], uint32_t code,
                                   uint32_t writeCounter) {
  image_.assign(imageSize_, 0);
  header_.fill(0);
  plat::bytes::PutLe32(header_.data(), kHeaderSize);
  plat::bytes::PutLe32(header_.data() + 4, 0);
  if (text != nullptr) {
    std::memcpy(header_.data() + kIdentOffset, text, strnlen(text, kIdentSize - 1));
  }
  std::memcpy(header_.data() + kTagOffset, tag, 4);
  plat::bytes::PutLe32(header_.data() + kCodeOffset, code);
  plat::bytes::PutLe32(header_.data() + kCounterOffset, writeCounter);
  std::copy(header_.begin(), header_.end(), image_.begin());
  usedLength_ = kHeaderSize;
  dirty_ = 1;
}

void MechFileBaseClass::DropImage() {
  image_.clear();
  usedLength_ = 0;
}

void MechFileBaseClass::AdoptImage(std::vector<uint8_t> bytes) {
  bytes.resize(imageSize_, 0);
  image_ = std::move(bytes);
  std::copy_n(image_.begin(), kHeaderSize, header_.begin());
  uint64_t used = uint64_t{HeaderLength(header_)} + DataLength(header_);
  usedLength_ = static_cast<size_t>(std::min<uint64_t>(used, imageSize_));
}

int MechFileBaseClass::AddRecord(int tag, const uint8_t* data, int length) {
  if (image_.empty() || length < 0 || (length > 0 && data == nullptr)) return 0;
  size_t need = kRecordHead + static_cast<size_t>(length);
  if (usedLength_ > image_.size() || need > image_.size() - usedLength_) return 0;
  uint8_t* head = image_.data() + usedLength_;
  plat::bytes::PutLe32(head, static_cast<uint32_t>(tag));
  plat::bytes::PutLe32(head + 4, kRecordHead);
  plat::bytes::PutLe32(head + 8, static_cast<uint32_t>(length));
  if (length > 0) std::memcpy(head + kRecordHead, data, static_cast<size_t>(length));
  plat::bytes::PutLe32(header_.data() + 4, DataLength(header_) + static_cast<uint32_t>(need));
  std::copy(header_.begin(), header_.end(), image_.begin());
  usedLength_ = HeaderLength(header_) + DataLength(header_);
  return 1;
}

const uint8_t* MechFileBaseClass::FindRecord(int tag, std::span<const uint8_t> image, size_t usedLength) {
  if (image.size() < 4 || usedLength > image.size()) return nullptr;
  size_t at = plat::bytes::GetLe32(image.data());
  if (at > usedLength) return nullptr;
  while (usedLength - at >= kRecordHead) {
    const uint8_t* head = image.data() + at;
    uint32_t recordTag = plat::bytes::GetLe32(head);
    uint32_t headLength = plat::bytes::GetLe32(head + 4);
    uint32_t dataLength = plat::bytes::GetLe32(head + 8);
    if (recordTag == 0 || headLength == 0 || dataLength == 0) return nullptr;
    if (headLength > usedLength - at || dataLength > usedLength - at - headLength) return nullptr;
    if (recordTag == static_cast<uint32_t>(tag)) return headLength >= kRecordHead ? head : nullptr;
    at += headLength + dataLength;
  }
  return nullptr;
}

int MechFileBaseClass::GetRecord(int tag, uint8_t* buffer, size_t length) {
  GetDefaultSection(tag, buffer, length);
  if (image_.empty()) return 0;
  const uint8_t* head = FindRecord(tag, image_, usedLength_);
  if (head != nullptr) {
    uint32_t headLength = plat::bytes::GetLe32(head + 4);
    uint32_t dataLength = plat::bytes::GetLe32(head + 8);
    std::memcpy(buffer, head + headLength, std::min<size_t>(dataLength, length));
  }
  return 1;
}

}  // namespace qv6
