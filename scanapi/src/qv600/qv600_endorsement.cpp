// Endorsement printing on the QV600 line: a BMP file, a fixed text, or a batch text whose counter moves
// with every document, sent as a string or rendered on the endorsement canvas as a 1-bit bitmap.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "imaging/endorsement.h"
#include "imaging/image_writers.h"
#include "platform/byte_order.h"
#include "platform/paths.h"
#include "zarn/api_state.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/qv600_services.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

using plat::bytes::GetLe16;
using plat::bytes::GetLe32;

constexpr size_t kBatchTextRoom = 136;

struct BatchState {
  std::string templ;  // checked: at most one integer conversion, under kBatchTemplateRoom bytes
  int counter = 0;
  int step = 0;
  int position = 0;
  int flags = 0;
  bool wrapOn = false;
  int wrapLimit = 0;
  int wrapRestart = 0;
  int lastPrinted = 0;
  int textHeight = 0;
  int xOffset = 0;
  int yOffset = 0;
  int bold = 0;
  int italic = 0;
  std::string font;
};

// The state is shared with the polling thread, which prints the next text after an early scan.
std::mutex g_mutex;
BatchState g_batch;

int Index() { return Qv600().connection.load(); }

// 0 when `templ` holds at most one conversion and that one formats an int; -102 otherwise.
int CheckTemplate(const std::string& templ) {
  int conversions = 0;
  for (size_t i = 0; i < templ.size(); ++i) {
    if (templ[i] != '%') continue;
    if (++i < templ.size() && templ[i] == '%') continue;
    while (i < templ.size() && std::strchr("-+ 0#", templ[i]) != nullptr) ++i;
    while (i < templ.size() && templ[i] >= '0' && templ[i] <= '9') ++i;
    if (i < templ.size() && templ[i] == '.') {
      ++i;
      while (i < templ.size() && templ[i] >= '0' && templ[i] <= '9') ++i;
    }
    if (i >= templ.size() || std::strchr("diouxX", templ[i]) == nullptr) return kBadParameter;
    ++conversions;
  }
  return conversions <= 1 ? 0 : kBadParameter;
}

// The template with the counter, cut to the text buffer.
std::string Format(const BatchState& b, int counter) {
  char text[kBatchTextRoom];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::snprintf(text, sizeof text, b.templ.c_str(), counter);
#pragma GCC diagnostic pop
  return text;
}

// A start's template, cut to `cut` characters and checked: 0, or the code that refuses it.
int CutTemplate(const char* templ, size_t cut, std::string* out) {
  std::string t(templ, std::min(std::strlen(templ), cut));
  if (t.size() >= kBatchTemplateRoom) return kStringTooLong;
  if (int r = CheckTemplate(t); r != 0) return r;
  *out = std::move(t);
  return 0;
}

void KeepTemplate(std::string templ) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_batch.templ = std::move(templ);
}

void StoreStart(int position, int flags, int start, int step) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_batch.counter = start;
  g_batch.step = step;
  g_batch.position = position;
  g_batch.flags = flags & 0xFF;
}

// Clears the print; `alwaysOff` ends batch printing even when the device refused.
int StopPrinting(int position, int flags, bool alwaysOff) {
  const bool ok = Qv6().QV6StringToPrint(Index(), "", 0, position, flags | 1) != 0;
  if (ok || alwaysOff) Qv600().batchPrintActive = 0;
  return ok ? 0 : Qv6MappedError();
}

}  // namespace

int ParseEndorsementBmp(std::span<const uint8_t> bytes, EndorsementBmp* out) {
  if (bytes.empty()) return kFileIoError;
  if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M') return kOpenBmpError;
  const uint32_t header = GetLe32(&bytes[14]);
  int64_t width = 0, height = 0;
  unsigned bits = 0;
  size_t offset = 0;
  if (header == 40 && bytes.size() >= 54) {
    width = static_cast<int32_t>(GetLe32(&bytes[18]));
    height = static_cast<int32_t>(GetLe32(&bytes[22]));
    bits = GetLe16(&bytes[28]);
    if (bits > 16) return kOpenBmpError;
    offset = 54 + 4 * (size_t{1} << bits);
  } else if (header == 12) {
    width = GetLe16(&bytes[18]);
    height = GetLe16(&bytes[20]);
    bits = GetLe16(&bytes[24]);
    if (bits > 16) return kOpenBmpError;
    offset = 26 + 3 * (size_t{1} << bits);
  } else {
    return kOpenBmpError;
  }
  // The library reads width x height pixels from the bits: they must all lie in what was read.
  if (width <= 0 || height <= 0 || bits == 0) return kOpenBmpError;
  const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
  if (offset > bytes.size() || stride * static_cast<size_t>(height) > bytes.size() - offset) return kOpenBmpError;
  out->bitsOffset = offset;
  out->width = static_cast<int>(width);
  out->height = static_cast<int>(height);
  return 0;
}

int funcQV600PrintBMP(const char* file, int position, int flags) {
  if (file == nullptr || file[0] == '\0') {
    if (Qv6().QV6SetBmpToPrint(Index(), nullptr, 0, 0, 0, 1) == 0) return Qv6MappedError();
    return 0;
  }
  if (int r = funcGetStatus(Index()); r < 0) return r;
  char name[256];
  if (zc::imaging::funcCutFileName(file, name, sizeof name) < 0) return kOpenBmpError;
  std::ifstream in(plat::ToPosixPath(name), std::ios::binary);
  if (!in) return kOpenBmpError;
  std::vector<uint8_t> buffer(kBmpPrintBuffer);
  in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
  buffer.resize(static_cast<size_t>(in.gcount()));
  EndorsementBmp bmp;
  if (int r = ParseEndorsementBmp(buffer, &bmp); r != 0) return r;
  if (Qv6().QV6SetBmpToPrint(Index(), buffer.data() + bmp.bitsOffset, bmp.width, bmp.height, position + 200,
                             flags | 1) == 0) {
    return Qv6MappedError();
  }
  return 1;
}

int funcQV600PrintString(const char* text, int position, int flags) {
  if (text == nullptr) {
    Qv6().QV6StringToPrint(Index(), "", 0, position, flags | 1);
    return 0;
  }
  if (text[0] == '\0') return 0;
  if (int r = funcGetStatus(Index()); r < 0) return r;
  if (Qv6().QV6StringToPrint(Index(), text, static_cast<int>(std::strlen(text)), position + 200, flags | 1) == 0) {
    return Qv6MappedError();
  }
  return 1;
}

int funcQV600BatchPrintString(const char* templ, int position, int flags, int start, int step) {
  StoreStart(position, flags, start, step);
  if (templ == nullptr || templ[0] == '\0') return StopPrinting(position, flags, true);
  std::string t;
  if (int r = CutTemplate(templ, std::string::npos, &t); r != 0) return r;
  // A start the scanner refuses keeps the template in use.
  if (int r = funcGetStatus(Index()); r < 0) return r;
  KeepTemplate(std::move(t));
  SetBatchPrinter(&BatchPrintString);
  Qv600().batchPrintActive = 1;
  return BatchPrintString(1);
}

int VEKBatchPrintBMP(const char* templ, int position, int flags, int start, int step, int textHeight, int xOffset,
                     int yOffset, int bold, int italic, const char* font) {
  TraceAt(2, "VEKBatchPrintBMP(%.120s,%d,%d,%d,%d)", templ != nullptr ? templ : "", position, flags, start, step);
  TraceAt(2, "TextHeight %d, Off %d,%d, Bold %d, Italic %d, Font %.200s", textHeight, xOffset, yOffset, bold, italic,
          font != nullptr ? font : "");
  StoreStart(position, flags, start, step);
  if (templ == nullptr || templ[0] == '\0') return StopPrinting(position, flags, false);
  // A long template is cut to 99 characters in the back-end's own copy.
  std::string t;
  if (int r = CutTemplate(templ, 99, &t); r != 0) return r;
  KeepTemplate(std::move(t));
  if (int r = funcGetStatus(Index()); r < 0) return r;
  const bool bitmap = font != nullptr && font[0] != '\0';
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_batch.textHeight = textHeight;
    g_batch.xOffset = xOffset;
    g_batch.yOffset = yOffset;
    g_batch.bold = bold;
    g_batch.italic = italic;
    if (bitmap) g_batch.font.assign(font, std::min<size_t>(std::strlen(font), 511));
  }
  SetBatchPrinter(&BatchPrintString);
  Qv600().batchPrintActive = bitmap ? 2 : 1;
  return BatchPrintString(1);
}

int funcSetBatchPrintWrap(int limit, int restart) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (limit == restart) {
    g_batch.wrapOn = false;
    return 0;
  }
  g_batch.wrapOn = true;
  g_batch.wrapLimit = limit;
  g_batch.wrapRestart = restart;
  return 0;
}

int funcGetBatchPrintCounter() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_batch.lastPrinted;
}

int BatchPrintString(int mode) {
  BatchState b;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_batch.lastPrinted = g_batch.counter;
    b = g_batch;
    if (mode == 1) {
      g_batch.counter += g_batch.step;
      if (g_batch.wrapOn) {
        const bool wrap = g_batch.step < 0 ? g_batch.counter <= g_batch.wrapLimit : g_batch.counter >= g_batch.wrapLimit;
        if (wrap) g_batch.counter = g_batch.wrapRestart;
      }
    } else if (mode == -1) {
      g_batch.counter -= g_batch.step;
    }
  }
  const std::string text = Format(b, b.lastPrinted);
  TraceAt(2, "BatchPrintString %s", text.c_str());
  const int active = Qv600().batchPrintActive.load();
  if (active == 2) {
    const int model = Api().scannerModel;
    zc::imaging::CheckEndorsementStart(model, 1200);
    if (b.italic == 4660) {
      zc::imaging::CheckEndorsementText(model, b.textHeight, b.xOffset, b.yOffset, b.bold, 0, b.font.c_str(),
                                        text.c_str());
      zc::imaging::CheckEndorsementStretch(0);
    } else {
      zc::imaging::CheckEndorsementText(model, b.textHeight, b.xOffset, b.yOffset, b.bold, b.italic, b.font.c_str(),
                                        text.c_str());
    }
    std::optional<zc::imaging::DibBlock> dib = zc::imaging::CheckEndorsementEndhDIB(model);
    if (!dib || dib->Size() < 48) return kAllocError;
    const auto bytes = dib->Bytes();
    const int width = GetLe16(bytes.data() + 4);
    const int height = GetLe16(bytes.data() + 8);
    if (Qv6().QV6SetBmpToPrint(Index(), bytes.data() + 48, width, height, b.position, b.flags) == 0) {
      return Qv6MappedError();
    }
    return 1;
  }
  if (Qv6().QV6StringToPrint(Index(), text.c_str(), static_cast<int>(text.size()), b.position, b.flags) == 0) {
    return Qv6MappedError();
  }
  return 1;
}

void ResetEndorsementForTests() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_batch = BatchState{};
}

}  // namespace zarn
