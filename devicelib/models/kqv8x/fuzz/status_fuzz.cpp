// Fuzz entry point of the KQv8x status block: any bytes as the reply to a status read of any length,
// parsed with the KQv8x layouts into the one record and composed into the status and error words; the
// record's fields then drive the whole-width window and the edge search over a table made of the same
// bytes, with the reply's own good-pixel count.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "qv6/kqv8x/kqv8x_blocks.h"
#include "qv6/kqv8x/kqv8x_edges.h"
#include "qv6/kqv8x/kqv8x_side.h"
#include "qv6/later/acquisition_window.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qv6;
  if (size < 2) return 0;
  const size_t asked = data[0];
  std::span<const uint8_t> reply(data + 1, size - 1);
  BlockValues values(kqv8x::KQv8xBlockTable());
  ParseDeviceBlock(values, reply, asked);
  auto field = [&](size_t f) { return values.Get(kBlockStatus, f); };
  const size_t record = later::kRecordA;
  later::StatusInputs in;
  in.state = static_cast<uint16_t>(field(later::kState));
  in.sensor = static_cast<uint16_t>(field(later::kSensor));
  in.error = static_cast<uint16_t>(field(later::kError));
  in.currentDocument = static_cast<uint16_t>(field(record + later::kRecWord));
  kqv8x::ComposeStatusWords(in);

  // The same bytes as a (short) reference table, searched with a good-pixel count from the record.
  std::vector<uint8_t> table(reply.begin(), reply.end());
  const auto good = static_cast<int>(field(record + later::kRecWidth));
  const int start = kqv8x::FindLineStart(table);
  const int end = kqv8x::FindLineEnd(table, good);
  later::SideGeometry g;
  g.resolution = 300;
  g.startPixel = static_cast<int>(field(record + later::kRecSamples)) & 0xFF;
  g.goodPixels = good;
  g.totalPixels = good;
  g.topDown = (in.state & 1) != 0;
  later::WindowRequest r;
  r.firstUsable = start;
  r.lastUsable = end;
  r.width = good;
  r.firstLine = static_cast<int>(field(record + later::kRecFirstFront));
  r.lineCount = static_cast<int>(field(record + later::kRecLines));
  r.bottom = static_cast<int>(field(later::kSensor));
  r.top = static_cast<int>(field(later::kError));
  if (auto w = later::ComputeWholeWidthWindow(g, r)) {
    // A window handed out lies inside the transferred line and the tables.
    const int offset = w->WindowOffset(g);
    if (offset < 0 || offset + (w->upper - w->lower) > w->endPixel || w->upper > later::kMaxLinePixels) {
      __builtin_trap();
    }
  }
  return 0;
}
