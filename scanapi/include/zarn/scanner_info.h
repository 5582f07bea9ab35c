// What the API tells about the connected scanner, on either line: its identity texts (and, on request, a box
// showing them) and its serial number with the counters the scanner keeps.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarn {

// Scanner information into the caller's buffers of 9 (vendor), 17 (product) and 7 (release) bytes: the
// family, or a negative code.
inline constexpr size_t kVendorRoom = 9;
inline constexpr size_t kProductRoom = 17;
inline constexpr size_t kReleaseRoom = 7;
int ZARNGetScannerInfo(unsigned char* adapter, unsigned char* target, char* vendor, char* product, char* release,
                       int show);
// The same into buffers of the given sizes, for callers that need the whole model text.
int GetScannerInfoTexts(unsigned char* adapter, unsigned char* target, char* vendor, size_t vendorSize,
                        char* product, size_t productSize, char* release, size_t releaseSize, int show);
// The serial number (a buffer of at least 68 bytes), the document count and the running time.
inline constexpr size_t kSerialRoom = 68;
int ZARNGetScannerSerialNumber(char* serial, int32_t* documents, int32_t* minutes);

}  // namespace zarn
