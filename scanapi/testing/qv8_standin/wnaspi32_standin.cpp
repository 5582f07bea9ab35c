// Stand-in for the ASPI layer "WNASPI32.DLL" under the QV800 device library: one host adapter, and a
// command entry that nothing calls. Variant ASPI_STANDIN_NO_SEND leaves "SendASPI32Command" out.
#include <cstdint>

#include "zarn/qv8dll.h"

#define ASPI_EXPORT extern "C" __attribute__((visibility("default")))

// Status 1 (done) in the high byte of the low word, one host adapter in the low byte.
ASPI_EXPORT uint32_t GetASPI32SupportInfo(void) { return 0x00010000u | (1u << 8) | 1u; }

#ifndef ASPI_STANDIN_NO_SEND
ASPI_EXPORT uint32_t SendASPI32Command(void*) { return 0; }
#endif
