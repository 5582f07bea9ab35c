// The later series' driver layer: a process-wide table of five device handles, the open over the numbered
// device names and the one transfer routine that turns a request type into vendor requests, piecewise
// transfers and pipe transfers.
//
// Transfers never write past the caller's buffer and never loop on a call that moves nothing: a bulk read
// lands in a buffer of the rounded length and only the asked length is copied out; a piece that moves no
// bytes, or more than asked, fails the transfer; so does a pipe-0 write piece that moves less than asked.
#pragma once

#include <array>
#include <cstdint>

#include "driver/win_types.h"
#include "transport/vendor_request.h"

namespace qv6 {

class DriverLayer {
 public:
  static constexpr int kTableSize = 5;
  static constexpr int kDeviceNumbers = 5;
  static constexpr std::array<const char*, 3> kNamePatterns = {"\\\\.\\KScanDrv-%d", "\\\\.\\QvUsb2-%d",
                                                               "\\\\.\\Kusb2-%d"};
  static constexpr uint32_t kPipeWriteMax = 61440;   // longest bulk write
  static constexpr uint32_t kPipeReadPiece = 61440;  // longest read call
  static constexpr uint32_t kPipeZeroPiece = 64;     // write pieces on pipe 0
  static constexpr uint32_t kReadRounding = 512;
  static constexpr uint16_t kControl41Max = 31650;

  // Frees the five entries and clears the ready flag and the last error (start-up).
  static void Reset();
  // Only device number 1 is served. Tries the three names for 0, then for 1, ... up to 4; -1 when none
  // opens or the table is full.
  static drv::Handle Open(int deviceNumber);
  // Closes the handle and frees every entry holding it; always 1.
  static int Close(drv::Handle handle);
  // One exchange of the given request type; 1 on success, 0 on failure (the reason in LastError()).
  // `receive` is used by device-to-host types, `send` by host-to-device types; `parameters` may be null.
  static int Transfer(drv::Handle handle, int requestType, uint8_t* receive, uint32_t receiveLength,
                      const uint8_t* send, uint32_t sendLength, const RequestRecord* parameters,
                      uint16_t pipe, uint32_t pieceSize);

  static uint32_t LastError();
  static bool Ready();
};

}  // namespace qv6
