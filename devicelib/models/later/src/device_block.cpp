// Building and parsing device blocks from their layouts.
#include "qv6/later/device_block.h"

#include <algorithm>
#include <stdexcept>

#include "platform/byte_order.h"

namespace qv6 {
namespace {

constexpr size_t kFraming = 4;

void PutField(uint8_t* at, const FieldSpec& f, int64_t value, ByteOrder order) {
  auto bits = static_cast<uint32_t>(value);
  switch (f.width) {
    case 1:
      at[0] = static_cast<uint8_t>(bits);
      break;
    case 2:
      order == ByteOrder::kBig ? plat::bytes::PutBe16(at, static_cast<uint16_t>(bits))
                               : plat::bytes::PutLe16(at, static_cast<uint16_t>(bits));
      break;
    default:
      order == ByteOrder::kBig ? plat::bytes::PutBe32(at, bits) : plat::bytes::PutLe32(at, bits);
      break;
  }
}

int64_t GetField(const uint8_t* at, const FieldSpec& f, ByteOrder order) {
  switch (f.width) {
    case 1:
      return f.isSigned ? int64_t{static_cast<int8_t>(at[0])} : int64_t{at[0]};
    case 2: {
      uint16_t v = order == ByteOrder::kBig ? plat::bytes::GetBe16(at) : plat::bytes::GetLe16(at);
      return f.isSigned ? int64_t{static_cast<int16_t>(v)} : int64_t{v};
    }
    default: {
      uint32_t v = order == ByteOrder::kBig ? plat::bytes::GetBe32(at) : plat::bytes::GetLe32(at);
      return f.isSigned ? int64_t{static_cast<int32_t>(v)} : int64_t{v};
    }
  }
}

void StoreCovered(BlockValues& values, const BlockLayout& layout, std::span<const uint8_t> payload,
                  ByteOrder order) {
  auto& fields = values.Fields(layout.type);
  if (layout.clearBeforeParse) std::fill(fields.begin(), fields.end(), 0);
  size_t length = std::min<size_t>(payload.size(), layout.size);
  for (size_t i = 0; i < layout.fields.size(); ++i) {
    const FieldSpec& f = layout.fields[i];
    size_t need = std::max<size_t>(f.storeFrom, size_t{f.offset} + f.width);
    if (length >= need) fields[i] = GetField(payload.data() + f.offset, f, order);
  }
}

}  // namespace

BlockTable::BlockTable(std::vector<BlockLayout> layouts) : layouts_(std::move(layouts)) {
  for (const BlockLayout& l : layouts_) {
    for (const FieldSpec& f : l.fields) {
      if (size_t{f.offset} + f.width > l.size || (f.width != 1 && f.width != 2 && f.width != 4)) {
        throw std::logic_error("block layout field outside its block");
      }
    }
  }
}

const BlockLayout* BlockTable::Find(uint16_t type) const {
  for (const BlockLayout& l : layouts_) {
    if (l.type == type) return &l;
  }
  return nullptr;
}

BlockValues::BlockValues(const BlockTable& table) : table_(&table) {
  for (const BlockLayout& l : table.layouts()) values_[l.type].assign(l.fields.size(), 0);
}

int64_t BlockValues::Get(uint16_t type, size_t field) const {
  const auto& f = Fields(type);
  return field < f.size() ? f[field] : 0;
}

void BlockValues::Set(uint16_t type, size_t field, int64_t value) {
  auto& f = Fields(type);
  const BlockLayout* layout = table_->Find(type);
  if (field >= f.size() || layout == nullptr) return;
  // Kept as the wire field will carry it: cut to its width, with its signedness.
  const FieldSpec& spec = layout->fields[field];
  uint8_t buffer[4];
  PutField(buffer, spec, value, ByteOrder::kBig);
  f[field] = GetField(buffer, spec, ByteOrder::kBig);
}

std::vector<int64_t>& BlockValues::Fields(uint16_t type) {
  auto it = values_.find(type);
  if (it == values_.end()) throw std::out_of_range("block type not in this series");
  return it->second;
}

const std::vector<int64_t>& BlockValues::Fields(uint16_t type) const {
  auto it = values_.find(type);
  if (it == values_.end()) throw std::out_of_range("block type not in this series");
  return it->second;
}

std::vector<uint8_t> EncodePayload(const BlockValues& values, uint16_t type, ByteOrder order) {
  const BlockLayout* layout = values.table().Find(type);
  if (layout == nullptr) return {};
  std::vector<uint8_t> payload(layout->size, 0);
  const auto& fields = values.Fields(type);
  for (size_t i = 0; i < layout->fields.size(); ++i) {
    PutField(payload.data() + layout->fields[i].offset, layout->fields[i], fields[i], order);
  }
  return payload;
}

bool DecodePayload(BlockValues& values, uint16_t type, std::span<const uint8_t> payload, ByteOrder order) {
  const BlockLayout* layout = values.table().Find(type);
  if (layout == nullptr) return false;
  StoreCovered(values, *layout, payload, order);
  return true;
}

size_t BuildDeviceBlock(const BlockValues& values, uint16_t type, std::span<uint8_t> out) {
  const BlockLayout* layout = values.table().Find(type);
  if (layout == nullptr) return 0;
  std::vector<uint8_t> payload;
  if (!layout->bareWhenBuilt) payload = EncodePayload(values, type, ByteOrder::kBig);
  if (out.size() < kFraming + payload.size()) return 0;
  plat::bytes::PutBe16(out.data(), type);
  plat::bytes::PutBe16(out.data() + 2, static_cast<uint16_t>(payload.size()));
  std::copy(payload.begin(), payload.end(), out.begin() + kFraming);
  return kFraming + payload.size();
}

int ParseDeviceBlock(BlockValues& values, std::span<const uint8_t> reply, size_t limit) {
  if (reply.size() < kFraming) return 0;
  uint16_t type = plat::bytes::GetBe16(reply.data());
  const BlockLayout* layout = values.table().Find(type);
  if (layout == nullptr) return 0;
  size_t length = plat::bytes::GetBe16(reply.data() + 2);
  // A device that claims more than was asked or sent is read only as far as both go.
  length = std::min({length, limit, reply.size() - kFraming});
  StoreCovered(values, *layout, reply.subspan(kFraming, length), ByteOrder::kBig);
  return 1;
}

}  // namespace qv6
