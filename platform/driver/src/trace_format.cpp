// Text form of the driver-call trace, one line per call, stable enough for golden transcripts.
#include <cstdio>

#include "driver/trace.h"

namespace drv {
namespace {

const char* KindName(CallKind kind) {
  switch (kind) {
    case CallKind::kOpen:
      return "open";
    case CallKind::kClose:
      return "close";
    case CallKind::kControl:
      return "ioctl";
    case CallKind::kRead:
      return "read";
    case CallKind::kWrite:
      return "write";
    default:
      return "io";
  }
}

void AppendHex(std::string& text, const std::vector<uint8_t>& bytes, size_t total) {
  constexpr size_t kShown = 16;
  char hex[4];
  for (size_t i = 0; i < bytes.size() && i < kShown; ++i) {
    std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
    text += hex;
  }
  if (total > kShown) text += "...";
}

}  // namespace

std::string FormatTraceRecord(const TraceRecord& record) {
  std::string line = KindName(record.kind);
  line += ' ';
  line += record.device;
  char number[64];
  if (record.kind == CallKind::kOpen || record.kind == CallKind::kClose) {
    if (!record.ok) {
      std::snprintf(number, sizeof number, " -> fail %u", record.error);
      line += number;
    }
    return line;
  }
  if (record.kind == CallKind::kControl) {
    std::snprintf(number, sizeof number, " 0x%08x", record.code);
    line += number;
  }
  if (!record.input.empty()) {
    line += " in=";
    AppendHex(line, record.input, record.input.size());
    if (record.input.size() > 16) {
      std::snprintf(number, sizeof number, " #%08x", record.inputHash);
      line += number;
    }
  }
  std::snprintf(number, sizeof number, " cap=%zu", record.capacity);
  line += number;
  if (record.ok) {
    std::snprintf(number, sizeof number, " -> ok %zu", record.reported);
    line += number;
    if (!record.output.empty()) {
      line += " out=";
      AppendHex(line, record.output, record.output.size());
      std::snprintf(number, sizeof number, " #%08x", record.outputHash);
      line += number;
    }
  } else {
    std::snprintf(number, sizeof number, " -> fail %u", record.error);
    line += number;
  }
  return line;
}

std::string FormatTranscript(const std::vector<TraceRecord>& records) {
  std::string text;
  for (const auto& record : records) {
    text += FormatTraceRecord(record);
    text += '\n';
  }
  return text;
}

}  // namespace drv
