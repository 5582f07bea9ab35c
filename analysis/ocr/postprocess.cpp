// The end of a reading: noise trimmed at both ends of the line, a transit or amount symbol restored where
// the E13B field layout implies it, and the code line, its confidence digits and each character's right
// edge written out; plus the line statistics and the diagnostic traces.
#include <cstdio>
#include <cstring>
#include <vector>

#include "analysis/ocr/ocr_state.h"
#include "analysis/services.h"

namespace analysis::ocr {
namespace {

constexpr int32_t kGapPixels = 25;

bool Digit(char c) { return c >= '0' && c <= '9'; }
OCRCharBox& BoxAt(int32_t i) { return OCRBoxTable.boxes[static_cast<size_t>(i)]; }

// Restores the partner of a lone `symbol` at the other end of `digits` digits.
void RepairSymbol(char symbol, int32_t digits) {
  std::vector<int32_t> at;
  for (int32_t i = 0; i < OCRBoxTable.count; ++i) {
    if (BoxAt(i).ch == symbol) at.push_back(i);
  }
  if (at.size() != 1) return;
  const int32_t t = at[0];
  const int32_t span = digits + 1;
  if (t >= span) {
    int32_t p = t - 1;
    while (p > 0 && Digit(BoxAt(p).ch)) --p;
    if (p == t - span && BoxAt(p).ch == '@') {
      BoxAt(p).ch = symbol;
      BoxAt(p).confidence = 2;
      return;
    }
  }
  int32_t p = t + 1;
  while (p < OCRBoxTable.count && Digit(BoxAt(p).ch)) ++p;
  if (p != t + span) return;
  if (p >= OCRBoxTable.count) {
    if (OCRBoxTable.count <= 0 || OCRBoxTable.count >= kMaxBoxes) return;
    OCRCharBox added = BoxAt(OCRBoxTable.count - 1);
    added.left += kGapPixels;
    added.right += kGapPixels;
    added.ch = symbol;
    added.confidence = 2;
    BoxAt(OCRBoxTable.count++) = added;
  } else if (BoxAt(p).ch == '@') {
    BoxAt(p).ch = symbol;
    BoxAt(p).confidence = 2;
  }
}

// Writes the table as a line into buffers of `room` bytes: at most room - 1 characters and a NUL. Gaps of
// more than 25 pixels give one '@' for each further 25 pixels. `edges` (may be null) gets each right edge.
void BuildLine(char* line, char* confidence, size_t room, int32_t* edges) {
  std::memset(line, 0, room);
  std::memset(confidence, 0, room);
  const size_t cap = room - 1;
  size_t n = 0;
  auto put = [&](char c, int32_t conf, int32_t edge) {
    line[n] = c;
    confidence[n] = static_cast<char>('0' + conf);
    if (edges != nullptr) edges[n] = edge;
    ++n;
  };
  for (int32_t i = 0; i < OCRBoxTable.count && n < cap; ++i) {
    OCRCharBox& b = BoxAt(i);
    if (b.ch == 0) b.ch = '@';
    put(b.ch, b.confidence, b.right);
    if (i + 1 >= OCRBoxTable.count) break;
    for (int32_t g = b.right; g + kGapPixels < BoxAt(i + 1).left && n < cap; g += kGapPixels) put('@', 0, b.right);
  }
}

}  // namespace

void funcOCRTrimEnds() {
  const int32_t r = OCRWorkImage.yResolution;
  const int32_t n = OCRBoxTable.count;
  for (int32_t i = 0; i < n; ++i) {
    OCRCharBox& b = BoxAt(i);
    if (b.ch == ':' && i + 1 < n && BoxAt(i + 1).ch != ' ') break;
    if (b.ch != ' ' && b.confidence > 1) break;
    if (b.right >= r) break;
    b.ch = ' ';
  }
  while (OCRBoxTable.count > 0) {
    const OCRCharBox& last = BoxAt(OCRBoxTable.count - 1);
    const bool noise = last.ch == '@' || last.ch == ' ';
    const bool kept = last.right + r / 2 <= OCRWorkImage.width || last.confidence > 1 || last.ch == ';';
    if (!noise && kept) break;
    --OCRBoxTable.count;
  }
}

void funcOCRRepairSymbols() {
  int transit = 0, amount = 0;
  for (int32_t i = 0; i < OCRBoxTable.count; ++i) {
    transit += BoxAt(i).ch == ':';
    amount += BoxAt(i).ch == ';';
  }
  if (transit == 2 && (amount == 0 || amount == 2)) return;
  RepairSymbol(':', 9);
  RepairSymbol(';', 10);
}

void funcOCRWriteResult(char* codeLine, char* confidence) {
  OCRCharRightEdges.fill(0);
  BuildLine(codeLine, confidence, kLineRoom, OCRCharRightEdges.data());
}

void funcOCRLineStats() {
  OCRAmountSymbols = 0;
  if (OCRBoxTable.count <= 0) {
    OCRLeftMargin = 0;
    OCRRightMargin = OCRWorkImage.width;
    return;
  }
  OCRLeftMargin = BoxAt(0).left;
  OCRRightMargin = OCRWorkImage.width - BoxAt(OCRBoxTable.count - 1).right;
  for (int32_t i = 0; i < OCRBoxTable.count; ++i) OCRAmountSymbols += BoxAt(i).ch == ';';
}

void funcOCRLogResult() {
  char line[256];
  char confidence[256];
  BuildLine(line, confidence, sizeof line, nullptr);
  CurrentServices().funcWriteApiLog(line);
  CurrentServices().funcWriteApiLog(confidence);
}

void funcOCRDumpBoxes() {
  for (int32_t i = 0; i < OCRBoxTable.count; ++i) {
    const OCRCharBox& b = BoxAt(i);
    char text[128];
    std::snprintf(text, sizeof text, "%c (%2x) Confidence %d, Area %3d,%3d,%3d,%3d", b.ch,
                  static_cast<unsigned>(static_cast<unsigned char>(b.ch)), b.confidence, b.left, b.top, b.right,
                  b.bottom);
    CurrentServices().funcWriteApiLog(text);
  }
}

}  // namespace analysis::ocr
