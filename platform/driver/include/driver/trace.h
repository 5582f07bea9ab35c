// A record of every call the driver layer routes, for call-pattern assertions and golden transcripts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/fault.h"

namespace drv {

struct TraceRecord {
  CallKind kind = CallKind::kControl;
  std::string device;          // device name as opened
  uint32_t code = 0;           // device-control code (0 for other calls)
  std::vector<uint8_t> input;  // input block (control) or data written (write), at most kMaxStoredBytes
  uint32_t inputHash = 0;      // FNV-1a of the whole input
  size_t capacity = 0;         // output buffer length (control, read) or write length
  bool ok = false;
  uint32_t error = 0;           // system error when !ok (997 for a call left pending)
  size_t reported = 0;          // bytes the call reported moved
  std::vector<uint8_t> output;  // data returned to the caller (at most kMaxStoredBytes)
  uint32_t outputHash = 0;      // FNV-1a of all the data returned

  static constexpr size_t kMaxStoredBytes = 256;
};

// One line per record: "<kind> <device> [code] in=<hex>[... #<hash>] cap=<n> -> ok <n> out=<hex>[...]
// #<hash>" or "-> fail <error>". Input and output show at most 16 bytes; the hashes cover the whole data.
std::string FormatTraceRecord(const TraceRecord& record);
std::string FormatTranscript(const std::vector<TraceRecord>& records);

}  // namespace drv
