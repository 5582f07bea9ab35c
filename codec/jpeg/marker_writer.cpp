// Marker segment writers (ITU-T T.81 B.2.2 SOF, B.2.3 SOS, B.2.4 DQT/DHT/DRI/COM; JFIF 1.01 APP0).
#include "marker_writer.h"

namespace zc::jpeg {
namespace {

void Marker(OutputStage& out, uint8_t code) {
  const uint8_t b[2] = {0xFF, code};
  out.Put(b, 2);
}

}  // namespace

void WriteSoi(OutputStage& out) {
  Marker(out, 0xD8);
}
void WriteEoi(OutputStage& out) {
  Marker(out, 0xD9);
}

void WriteJfifApp0(OutputStage& out, uint8_t units, uint16_t x_density, uint16_t y_density) {
  Marker(out, 0xE0);
  out.PutU16(16);
  const uint8_t ident[7] = {'J', 'F', 'I', 'F', 0, 1, 1};  // version 1.01
  out.Put(ident, sizeof ident);
  out.PutByte(units);
  out.PutU16(x_density);
  out.PutU16(y_density);
  out.PutByte(0);  // no thumbnail
  out.PutByte(0);
}

void WriteDqt(OutputStage& out, int table, const std::array<uint16_t, 64>& values) {
  bool wide = false;
  for (uint16_t v : values) wide = wide || v > 255;
  Marker(out, 0xDB);
  out.PutU16(wide ? 131 : 67);
  out.PutByte(static_cast<uint8_t>((wide ? 0x10 : 0) + table));
  for (int k = 0; k < 64; ++k) {
    const uint16_t v = values[kZigzagToNatural[k]];
    if (wide) {
      out.PutU16(v);
    } else {
      out.PutByte(static_cast<uint8_t>(v));
    }
  }
}

void WriteSof(OutputStage& out, uint8_t marker, uint16_t height, uint16_t width, const FrameComponent* comps,
              int count) {
  Marker(out, marker);
  out.PutU16(static_cast<uint16_t>(8 + 3 * count));
  out.PutByte(8);  // sample precision
  out.PutU16(height);
  out.PutU16(width);
  out.PutByte(static_cast<uint8_t>(count));
  for (int i = 0; i < count; ++i) {
    out.PutByte(comps[i].id);
    out.PutByte(static_cast<uint8_t>(comps[i].h * 16 + comps[i].v));
    out.PutByte(comps[i].quant_table);
  }
}

void WriteCom(OutputStage& out, std::string_view text) {
  Marker(out, 0xFE);
  out.PutU16(static_cast<uint16_t>(text.size() + 2));
  out.Put(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void WriteDht(OutputStage& out, int table_class, int table, const HuffmanSpec& spec) {
  const int count = spec.ValueCount();
  Marker(out, 0xC4);
  out.PutU16(static_cast<uint16_t>(19 + count));
  out.PutByte(static_cast<uint8_t>(table_class * 16 + table));
  out.Put(spec.bits.data(), spec.bits.size());
  out.Put(spec.values.data(), static_cast<size_t>(count));
}

void WriteDri(OutputStage& out, uint16_t interval) {
  Marker(out, 0xDD);
  out.PutU16(4);
  out.PutU16(interval);
}

void WriteSos(OutputStage& out, const ScanComponent* comps, int count, int ss, int se, int ah, int al) {
  Marker(out, 0xDA);
  out.PutU16(static_cast<uint16_t>(6 + 2 * count));
  out.PutByte(static_cast<uint8_t>(count));
  for (int i = 0; i < count; ++i) {
    out.PutByte(comps[i].id);
    out.PutByte(static_cast<uint8_t>(comps[i].dc_table * 16 + comps[i].ac_table));
  }
  out.PutByte(static_cast<uint8_t>(ss));
  out.PutByte(static_cast<uint8_t>(se));
  out.PutByte(static_cast<uint8_t>(ah * 16 + al));
}

}  // namespace zc::jpeg
