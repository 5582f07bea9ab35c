// The list of expected code lines ("VEKSCAN EXCEPTION" in the API INI file): up to 100 entries that name a
// customer's routing and account fields with per-customer scan settings. The INI reader fills it; the
// document check and the verified scan read it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zarn {

inline constexpr int kMaxExpectEntries = 100;
inline constexpr int32_t kExpectAccept = 0x20;  // accept the document without the document check
inline constexpr int32_t kExpectReject = 0x80;  // count the document as a MICR error

struct VEKScanExpectEntry {
  char Routing[16];
  char Accout[16];
  int32_t Threshold;  // 1 to 3
  int32_t Min;        // 0 to 255
  int32_t Contrast;   // 200 to 1024 with Threshold 1, else 2 to 13
  int32_t Options;
};

class ExpectTable {
 public:
  int Count() const { return static_cast<int>(entries_.size()); }
  std::span<const VEKScanExpectEntry> Entries() const { return entries_; }
  std::span<VEKScanExpectEntry> MutableEntries() { return entries_; }
  // Replaces the list (at most kMaxExpectEntries are kept).
  void Replace(std::vector<VEKScanExpectEntry> entries);
  void Clear() { entries_.clear(); }

 private:
  std::vector<VEKScanExpectEntry> entries_;
};

ExpectTable& VEKScanExpectTable();

}  // namespace zarn
