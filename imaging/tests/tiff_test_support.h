// TIFF files made field by field for the reader and tag-editor tests, in either byte order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace zc::imaging::test {

struct Entry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint32_t value;  // for data over 4 bytes: the index of the page's blob holding them (little-endian)
};
struct Page {
  std::vector<Entry> entries;
  std::vector<std::vector<uint8_t>> blobs;
};

inline std::vector<uint8_t> Rational(uint32_t num, uint32_t den) {
  std::vector<uint8_t> b(8);
  for (int i = 0; i < 4; ++i) {
    b[i] = static_cast<uint8_t>(num >> (8 * i));
    b[4 + i] = static_cast<uint8_t>(den >> (8 * i));
  }
  return b;
}

inline size_t ItemSize(uint16_t type) {
  return type == 3 ? 2 : type == 4 ? 4 : type == 5 ? 8 : 1;
}

// A TIFF of the given directories, each linked to the next (or to `lastLink`), the blobs behind them,
// then `tail` bytes of zeros (room for a strip the entries point at).
inline std::vector<uint8_t> MakeTiff(bool bigEndian, const std::vector<Page>& pages, uint32_t lastLink = 0,
                                     size_t tail = 64) {
  std::vector<uint8_t> f;
  const auto put16 = [&](size_t at, uint32_t v) {
    if (f.size() < at + 2) f.resize(at + 2);
    f[at] = static_cast<uint8_t>(bigEndian ? v >> 8 : v);
    f[at + 1] = static_cast<uint8_t>(bigEndian ? v : v >> 8);
  };
  const auto put32 = [&](size_t at, uint32_t v) {
    put16(at + (bigEndian ? 2 : 0), v & 0xFFFF);
    put16(at + (bigEndian ? 0 : 2), v >> 16);
  };
  f = {static_cast<uint8_t>(bigEndian ? 'M' : 'I'), static_cast<uint8_t>(bigEndian ? 'M' : 'I')};
  put16(2, 42);
  put32(4, 8);
  size_t at = 8;
  std::vector<size_t> ifds;
  for (const Page& p : pages) {
    ifds.push_back(at);
    at += 2 + 12 * p.entries.size() + 4;
  }
  for (size_t i = 0; i < pages.size(); ++i) {
    const Page& p = pages[i];
    put16(ifds[i], static_cast<uint32_t>(p.entries.size()));
    for (size_t k = 0; k < p.entries.size(); ++k) {
      const Entry& e = p.entries[k];
      const size_t x = ifds[i] + 2 + 12 * k;
      put16(x, e.tag);
      put16(x + 2, e.type);
      put32(x + 4, e.count);
      const size_t item = ItemSize(e.type);
      if (item * e.count > 4) {
        std::vector<uint8_t> blob = p.blobs[e.value];
        if (bigEndian && item > 1) {
          const size_t half = item == 8 ? 4 : item;
          for (size_t j = 0; j + half <= blob.size(); j += half) std::reverse(blob.begin() + j, blob.begin() + j + half);
        }
        if (f.size() < at + blob.size()) f.resize(at + blob.size());
        std::copy(blob.begin(), blob.end(), f.begin() + static_cast<std::ptrdiff_t>(at));
        put32(x + 8, static_cast<uint32_t>(at));
        at += blob.size();
      } else if (e.type == 3 && e.count == 1) {
        put16(x + 8, e.value);
      } else if (e.type == 3 && e.count == 2) {
        put16(x + 8, e.value & 0xFFFF);
        put16(x + 10, e.value >> 16);
      } else if (e.type == 1 || e.type == 2) {
        for (int j = 0; j < 4; ++j) f[x + 8 + j] = static_cast<uint8_t>(e.value >> (8 * j));
      } else {
        put32(x + 8, e.value);
      }
    }
    put32(ifds[i] + 2 + 12 * p.entries.size(), i + 1 < pages.size() ? static_cast<uint32_t>(ifds[i + 1]) : lastLink);
  }
  f.resize(std::max(f.size(), at) + tail);
  return f;
}

// A one-strip G4 page of 64 x 32; the extra entries are added or replace the page's own of their tag.
inline Page G4Page(std::vector<Entry> extra = {}, std::vector<std::vector<uint8_t>> blobs = {}) {
  Page p;
  p.entries = {{256, 3, 1, 64}, {257, 3, 1, 32}, {258, 3, 1, 1}, {259, 3, 1, 4}, {273, 4, 1, 400}, {279, 4, 1, 20}};
  for (const Entry& e : extra) std::erase_if(p.entries, [&](const Entry& x) { return x.tag == e.tag; });
  p.entries.insert(p.entries.end(), extra.begin(), extra.end());
  std::sort(p.entries.begin(), p.entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
  p.blobs = std::move(blobs);
  return p;
}

}  // namespace zc::imaging::test
