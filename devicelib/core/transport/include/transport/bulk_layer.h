// The first series' bulk layer: the one process-wide handle of the device "\\.\usbbulk0", the 5-byte
// command control requests (with or without a reply) and the bulk reads and writes in 4096-byte pieces,
// either as plain calls or as overlapped calls with a wait per piece.
//
// Results are 1 for success and 0 for failure; the layer's last error word tells why (the system error of
// the last call, 1460 when a wait ran out, 122 for a command block shorter than 5 bytes, 1 for a device
// number other than 1). Counts a device reports are checked against the buffers before use: a piece that
// reports more than it was asked for fails, and so does a write piece that moves less than asked.
#pragma once

#include <cstdint>

#include "driver/device_io.h"

namespace qv6 {

class BulkLayer {
 public:
  static constexpr const char* kDeviceName = "\\\\.\\usbbulk0";
  static constexpr uint32_t kControlWithReply = 0x80002004u;
  static constexpr uint32_t kControlWithoutReply = 0x80002008u;
  static constexpr uint32_t kPieceSize = 4096;
  static constexpr uint32_t kCommandLength = 5;
  // Time-out value that selects the plain (not overlapped) calls; 0 means no limit.
  static constexpr int32_t kPlainCalls = -1;

  // Frees the handle entry and clears the opened flag and the last error (start-up).
  static void Reset();
  // Only device number 1 is served; a second open while the entry is taken gives -1.
  static drv::Handle OpenDevice(int deviceNumber);
  // Closes the table's handle; always 1.
  static int CloseDevice(drv::Handle handle);

  static int Write(drv::Handle handle, const uint8_t* data, uint32_t length, uint32_t* written,
                   drv::Overlapped* overlapped, int32_t timeoutMs);
  static int Read(drv::Handle handle, uint8_t* buffer, uint32_t length, uint32_t* read,
                  drv::Overlapped* overlapped, int32_t timeoutMs);
  // Control code 0x80002004 when replyCapacity is not 0 (a command with a reply), else 0x80002008.
  static int DeviceControl(drv::Handle handle, int deviceNumber, const uint8_t* block, uint32_t blockLength,
                           uint8_t* reply, uint32_t replyCapacity, uint32_t* returned,
                           drv::Overlapped* overlapped, int32_t timeoutMs);

  static uint32_t LastError();
  static bool Opened();
};

}  // namespace qv6
