// Status reads shared by the QV600 back-end's sources: the two device words, the model tests and the
// error clearing that several paths repeat.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace zarn::qv600 {

struct Words {
  int ok = 0;
  uint32_t status = 0;
  uint32_t error = 0;
};

// One status read of the back-end's connection.
Words Read();
// Reads until the device answers with a word, for at most parameter 139 ms.
Words ReadOnLine();
inline bool Any(uint32_t word, uint32_t bits) { return (word & bits) != 0; }
// A pointer's value for the trace lines that print it as a long, which holds it whole on this platform.
inline long PointerValue(const void* p) {
  static_assert(sizeof(long) >= sizeof(intptr_t));
  return static_cast<long>(reinterpret_cast<intptr_t>(p));
}
int Model();
bool ModelIn(std::initializer_list<int> models);
void ClearErrorsTwice();
// Sleeps parameter 181 ms when it is above 0 and at most 2000.
void SleepBlink();

// Shared by the document cycle and the track clear.
// The bits a document must deliver: code line (MICR enabled), front ("Front only" or "Front + Rear"),
// rear ("Front + Rear").
uint32_t ExpectedDocumentBits();
// Both early-scan counters and the early check back to 0.
void ResetEarlyScan();
// Empties the code line and both image pointers.
void EmptyDocument();
// Starts the next document early: `line` (when given) into the trace, the next batch endorsement when batch
// printing is on, then the count and the device call.
void IssueEarlyScan(const char* line);
// The status change's record of a device error; see QV600State::errorBetweenCycles.
void RecordScannerStatus(int code);
// The error met between cycles, once (0 when none).
int TakeErrorBetweenCycles();
// The image-callback mask the document cycle calls when the code line arrives.
inline constexpr uint32_t kVbMicrMask = 0x40000000;
// Calls every image callback registered with exactly `mask` (STAT_MICRRDY or VBMICR), with `argument`
// (ticks untouched).
void CallImageCallbacksWithMask(uint32_t mask, uint32_t argument);

}  // namespace zarn::qv600
