// The identity read of each series: how a scanner's identity block (QV6IdentityBlock) is obtained
// through a series' transport.
//
// The first series transacts command {8, 1, 0, 0, 0} and takes the reply behind its 4-byte head. The
// later series first read the 20-byte identification reply (product code at byte 10, device code at 12,
// board code at 13). By the product code a series either reads its identity block (request 16 with
// value 1, 4-byte head), or builds a canned identity for a scanner that runs only its boot loader, or
// answers with the "No model" identity that no model row matches. A block whose model text is the
// generic "Orvisca Scanner Device" gets its model text from the product code of a second identification.
// The series differ only in the data of IdentificationRules; the command sets and the connection probe
// share this one reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "connect/series_id.h"

namespace qv6 {

class DriverDeviceInterface;
class ScannerInterface;

// A code in a rule that matches every value.
inline constexpr int kAnyCode = -1;

// A canned identity, chosen by the first row whose codes match the identification reply.
struct CannedRow {
  int product;  // kAnyCode or the product code
  int board;
  int device;
  const char* manufacturer;
  const char* model;
};

// The state text of the canned identity a boot-loader product code builds.
struct BootProduct {
  uint8_t product;
  const char* state;
};

// The model text that replaces the generic one, by the product code of the second identification.
struct GenericRename {
  int product;  // kAnyCode or the product code
  const char* model;
};

struct IdentificationRules {
  std::span<const uint8_t> blockProducts;  // product codes whose identity block is read
  std::span<const BootProduct> bootProducts;
  std::span<const CannedRow> canned;       // no matching row: the identification fails
  std::span<const GenericRename> renames;  // no matching row: the block keeps its model text
  bool genericByPrefix;  // the generic text is recognised at the start of the model text, not as a whole
  bool clearFirst;       // the caller's buffer is cleared before anything is read
  size_t maxSize;        // most identity bytes the series reads (0: the caller's size)
};

// The rules of a later series (the QV9120 series uses those of the QV63x); nullptr for the first series.
const IdentificationRules* RulesFor(SeriesId series);

// Fills buffer (size bytes) with the identity through a later series' open transport; 1 or 0.
int IdentifyLaterSeries(DriverDeviceInterface& transport, const IdentificationRules& rules, uint8_t* buffer,
                        size_t size);

// The first series' identity read: clears buffer, then copies the data of the reply (at most `length`
// bytes); 1 when the device answered with a reply that was not empty.
int ReadFirstSeriesIdentity(ScannerInterface& transport, uint8_t* buffer, size_t length);

}  // namespace qv6
