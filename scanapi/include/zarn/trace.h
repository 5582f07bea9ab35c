// The API's trace: the debugger channel always, the API log file "zarnapi.log" in the temporary folder while
// the file switch (parameter 166) is on, and the local log ".\zarnapi.log" that takes lines without a switch.
//
// Call sites compare the trace level before they format a line (1 calls and arguments, 2 steps and results,
// 3 detail); the sinks never look at it. `TraceAt` does both for call sites that format. The sinks may be
// called from any thread: one lock keeps every line whole.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarn {

// Trace level (parameter 165), 2 at load.
int ApiTraceLevel();
void SetApiTraceLevel(int level);
// The API log's file switch (parameter 166), 0 at load; lines go to the file while it is 1 or more.
int ApiLogToFile();
void SetApiLogToFile(int on);

// Line limits: texts handed to funcLogMessage are cut to fit its 400-byte line; file lines to 510 characters.
inline constexpr size_t kLogMessageBuffer = 400;
inline constexpr size_t kApiLogLineMax = 510;

// "%8ld -- %s" (tick count, text) to funcWriteApiLog. Null text logs nothing.
void funcLogMessage(const char* text);
// printf-style: formats and logs only when the trace level is at least `level`.
void TraceAt(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The API log sink: debugger output, then the file while the switch is on (opened at the first line and kept
// open; each line cut at 510 characters and ended by CR LF). The bare text "EXIT" is written and closes the
// file; the next line opens it again and appends.
void funcWriteApiLog(const char* line);
// The same sink with the fixed file "c:\zarnapi.log" and its own handle.
void funcWriteApiLogFixed(const char* line);
// Appends "%8ld %s" and CR LF to ".\zarnapi.log", opening and closing the file for the line; no switch.
void funcWriteLocalApiLog(const char* text);

// The tick count in milliseconds (platform clock).
int32_t funcGetTickCount();
// Busy-wait delay: with `calibrate` 0 and a calibration kept, waits about `milliseconds` and returns the
// tick count; otherwise calibrates for about 500 ms (no delay besides) and returns loops per millisecond.
int32_t funcCalibratedDelay(int calibrate, int milliseconds);
// Appends `length` bytes to "debug.dat"; returns 1 whether or not the file could be written.
int funcWriteDebugDump(const void* data, int length);
// Appends "B iStatus = %d  dwTime0 = %ld\n" to `buffer` at offset `length` (bounded by `capacity`), then
// appends the buffer's text to "krodebug.dat"; returns 1.
int funcWriteKRDebugStatus(char* buffer, size_t capacity, int length, int status);

// The scanner type code set by identification; -1 until then. Logs it at trace level 3.
int funcGetScannerTypeCode();
void SetScannerTypeCode(int code);

// Closes the API log files and restores the load values of level, switch and type code (for tests).
void ResetTraceForTests();

}  // namespace zarn
