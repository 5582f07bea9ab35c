// Hand-built JPEG streams for parser and decoder tests: a minimal valid picture whose segments a test
// can replace one at a time.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace zc::jpegdec::test {

using Bytes = std::vector<uint8_t>;

// A marker segment: 0xFF, marker, big-endian length, payload.
inline Bytes Segment(uint8_t marker, const Bytes& payload) {
  size_t len = payload.size() + 2;
  Bytes s = {0xFF, marker, static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len & 0xFF)};
  s.insert(s.end(), payload.begin(), payload.end());
  return s;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes Soi() {
  return {0xFF, 0xD8};
}
inline Bytes Eoi() {
  return {0xFF, 0xD9};
}

// Frame header: precision 8, size, components with H/V byte and table 0.
inline Bytes Sof(uint8_t marker, uint16_t w, uint16_t h, std::initializer_list<uint8_t> sampling,
                 uint8_t precision = 8) {
  Bytes p = {precision,
             static_cast<uint8_t>(h >> 8),
             static_cast<uint8_t>(h),
             static_cast<uint8_t>(w >> 8),
             static_cast<uint8_t>(w),
             static_cast<uint8_t>(sampling.size())};
  uint8_t id = 1;
  for (uint8_t hv : sampling) {
    p.push_back(id++);
    p.push_back(hv);
    p.push_back(0);
  }
  return Segment(marker, p);
}

// DQT table 0 with every entry `q`.
inline Bytes Dqt(uint8_t q = 1, uint8_t pq_tq = 0) {
  Bytes p = {pq_tq};
  p.insert(p.end(), 64, q);
  return Segment(0xDB, p);
}

// One-code tables: DC symbol 0 and AC symbol 0x00 (end of block), each coded as the single bit '0'.
inline Bytes DhtSingle(uint8_t tc_th, uint8_t symbol = 0) {
  Bytes p = {tc_th, 1};
  p.insert(p.end(), 15, 0);
  p.push_back(symbol);
  return Segment(0xC4, p);
}

// One quantisation table and one-symbol DC and AC tables: what the smallest decodable stream needs.
inline const Bytes kTables = Cat({Dqt(), DhtSingle(0x00), DhtSingle(0x10)});

// SOS over components 1..n with tables 0/0 and the given spectral parameters.
inline Bytes Sos(std::initializer_list<uint8_t> ids, uint8_t ss = 0, uint8_t se = 63, uint8_t ahal = 0) {
  Bytes p = {static_cast<uint8_t>(ids.size())};
  for (uint8_t id : ids) {
    p.push_back(id);
    p.push_back(0x00);
  }
  p.push_back(ss);
  p.push_back(se);
  p.push_back(ahal);
  return Segment(0xDA, p);
}

// An 8x8 gray picture of flat 128: each block is "0" (DC size 0) then "0" (end of block).
inline Bytes MinimalGray(uint16_t w = 8, uint16_t h = 8) {
  size_t blocks = static_cast<size_t>((w + 7) / 8) * ((h + 7) / 8);
  Bytes data((blocks * 2 + 7) / 8, 0x00);
  // Pad the last byte with one-bits.
  size_t used = blocks * 2 % 8;
  if (used) data.back() = static_cast<uint8_t>(0xFF >> used);
  return Cat(
      {Soi(), Dqt(), Sof(0xC0, w, h, {0x11}), DhtSingle(0x00), DhtSingle(0x10), Sos({1}), data, Eoi()});
}

}  // namespace zc::jpegdec::test
