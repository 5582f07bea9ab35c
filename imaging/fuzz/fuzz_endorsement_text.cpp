// Fuzz target over endorsement texts and face names: the first byte chooses the canvas or the virtual
// endorsement and the font backend, the next four give height, x, y and angle or style, then a face name
// up to a NUL, then the text (CR/LF runs, long and empty texts included).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/endorsement.h"
#include "imaging/image_record.h"
#include "text/text_rasterizer.h"
#include "zarn/trace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zc::imaging;
  if (size < 5) return 0;
  const int op = data[0];
  const int height = static_cast<int8_t>(data[1]) / 4;
  const int x = static_cast<int8_t>(data[2]) * 3;
  const int y = static_cast<int8_t>(data[3]) / 4;
  const int extra = data[4];
  const std::string rest(reinterpret_cast<const char*>(data + 5), size - 5);
  const size_t nul = rest.find('\0');
  const std::string face = nul == std::string::npos ? std::string() : rest.substr(0, nul);
  const std::string text = nul == std::string::npos ? rest : rest.substr(nul + 1);
  text::ScopedTextBackend backend((op & 0x80) ? text::TextBackend::FreeType : text::TextBackend::Bitmap);
  zarn::SetScannerTypeCode(1);
  if (op & 1) {
    static const int kTypes[] = {3, 200, 300, 314};
    const int type = kTypes[(op >> 1) & 3];
    if (CheckEndorsementStart(type, 100 + extra * 4) != 1) return 0;
    funcSetEndorsementStyle(extra & 0x1F);
    CheckEndorsementText(type, height, x, y, (op >> 3) & 1, (op >> 4) & 1, face.c_str(), text.c_str());
    if (op & 0x20) CheckEndorsementStretch(0);
    if (op & 0x40) CheckEndorsementInvert(extra & 1);
    CheckEndorsementEndhDIB(type);
  } else {
    static const int kBits[] = {1, 4, 8, 24};
    static const int kAngles[] = {0, 90, 180, 270, 1, 2, 3, 45};
    const RecordHeader h{57 + (extra & 0x3F), 30 + (op & 0x1E), kBits[(op >> 5) & 3], 200};
    std::vector<uint8_t> record(static_cast<size_t>(RecordByteSize(h)), 0xFF);
    WriteRecordHeader(record.data(), h);
    VEKVirtualEndorsement(record, text.c_str(), height, x, y, (op >> 1) & 1, (op >> 2) & 1, kAngles[extra >> 5],
                          extra & 0x11, 10, 20, 30, face.c_str());
  }
  return 0;
}
