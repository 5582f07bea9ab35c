// Marker segments of the compressed stream (ITU-T T.81 B.2, B.3 and the JFIF 1.01 APP0 segment), written
// field by field, big-endian, into the staging buffer.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "jpeg_tables.h"
#include "output_stage.h"

namespace zc::jpeg {

// One frame component: SOF Ci, sampling factors, Tq, and the Huffman table numbers of SOS.
struct FrameComponent {
  uint8_t id;
  uint8_t h, v;
  uint8_t quant_table;
  uint8_t dc_table, ac_table;
};

inline constexpr uint8_t kMarkerSof0 = 0xC0;  // baseline sequential
inline constexpr uint8_t kMarkerSof2 = 0xC2;  // progressive, Huffman

void WriteSoi(OutputStage& out);
void WriteEoi(OutputStage& out);
void WriteJfifApp0(OutputStage& out, uint8_t units, uint16_t x_density, uint16_t y_density);
// 8-bit precision unless a value exceeds 255; values in natural order, written in zig-zag order.
void WriteDqt(OutputStage& out, int table, const std::array<uint16_t, 64>& values);
void WriteSof(OutputStage& out, uint8_t marker, uint16_t height, uint16_t width, const FrameComponent* comps,
              int count);
// The longest text a COM segment holds.
inline constexpr size_t kMaxCommentLength = 65533;
void WriteCom(OutputStage& out, std::string_view text);
void WriteDht(OutputStage& out, int table_class, int table, const HuffmanSpec& spec);
void WriteDri(OutputStage& out, uint16_t interval);
// One scan header; td/ta per scan component as they appear in the segment.
struct ScanComponent {
  uint8_t id, dc_table, ac_table;
};
void WriteSos(OutputStage& out, const ScanComponent* comps, int count, int ss, int se, int ah, int al);
// Size of the SOS segment with its marker.
inline constexpr int SosSize(int count) {
  return 2 + 6 + 2 * count;
}

}  // namespace zc::jpeg
