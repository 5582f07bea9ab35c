// The parsed header state of one JPEG stream: frame, components, tables and the current scan.
//
// Everything here comes from marker segments (ITU-T T.81 B.2) and is validated by the marker parser
// before use: component and scan counts, sampling factors, table classes and identifiers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "codec/jpeg/decoder/jpeg_huffman.h"

namespace zc::jpegdec {

// Bits of JpegHeaders::flags.
enum JpegMarkerFlags : uint16_t {
  kFlagSoi = 0x01,
  kFlagFrame = 0x02,
  kFlagScan = 0x04,
  kFlagApp0 = 0x08,
  kFlagDht = 0x10,
  kFlagDqt = 0x20,
  kFlagDri = 0x40,
  kFlagEoi = 0x80,
};

constexpr int kMaxComponents = 3;

struct JpegComponent {
  uint8_t id = 0;
  uint8_t h = 1;   // horizontal sampling factor 1..4
  uint8_t v = 1;   // vertical sampling factor 1..4
  uint8_t tq = 0;  // quantisation table selector
  uint8_t td = 0;  // DC table selector (from the scan)
  uint8_t ta = 0;  // AC table selector (from the scan)
  bool in_scan = false;
  uint8_t dc_mask = 0;  // progressive: DC bits already delivered
};

struct JpegQuantTable {
  uint8_t id = 0;
  uint8_t precision = 0;         // 0 = 8-bit entries, 1 = 16-bit
  std::array<uint16_t, 64> q{};  // natural (row-major) order
};

struct JpegScan {
  uint8_t ns = 0;
  uint8_t mask = 0;                            // bit i = frame component i takes part
  std::array<uint8_t, kMaxComponents> comp{};  // frame indexes in scan order
  uint8_t ss = 0, se = 63, ah = 0, al = 0;
};

struct JpegHeaders {
  uint16_t flags = 0;
  // Frame.
  uint8_t precision = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t ncomp = 0;
  bool progressive = false;
  std::array<JpegComponent, kMaxComponents> comp{};
  // Tables (null until defined).
  std::array<std::unique_ptr<HuffTable>, 2> dc;
  std::array<std::unique_ptr<HuffTable>, 2> ac;
  std::array<std::unique_ptr<JpegQuantTable>, 4> quant;
  JpegScan scan;
  uint16_t restart_interval = 0;
  uint16_t density_dpi = 0;  // from JFIF APP0 X density
};

}  // namespace zc::jpegdec
