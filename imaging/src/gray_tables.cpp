// Byte gray weight tables, built once.
#include "imaging/gray_tables.h"

namespace zc::imaging {

const ByteGrayTables& GetByteGrayTables() {
  static const ByteGrayTables tables = [] {
    ByteGrayTables t{};
    for (int i = 0; i < 256; ++i) {
      t.red[i] = static_cast<uint8_t>(((2 * i + 1) * 77) / 512);
      t.green[i] = static_cast<uint8_t>(((2 * i + 1) * 151) / 512);
      t.blue[i] = static_cast<uint8_t>(((2 * i + 1) * 30) / 512);
    }
    return t;
  }();
  return tables;
}

}  // namespace zc::imaging
