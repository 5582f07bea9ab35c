// Qv63xCommands: the command set of the later series. Every operation a template or the connection needs
// is one vendor request (or a short sequence of them) over the series' driver-device transport; the set
// keeps no device state. The series vary it through CommandSetTraits (loader file, opcode table, EEPROM
// limit, the address that splits firmware records between the two request kinds) and by overriding
// Identify where their identification rules differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "connect/series_id.h"
#include "qv6/later/command_packet.h"
#include "qv6/models/firmware_record.h"
#include "transport/driver_interface.h"

namespace qv6 {

struct CommandSetTraits {
  const char* loaderFile;
  std::span<const OpcodeSpec> opcodes;
  uint32_t eepromLimit;         // most bytes an EEPROM read or write moves
  uint16_t lowAddressLimit;     // records at or below it are written by controller memory writes
  SeriesId identification;      // whose identification rules Identify follows
  uint32_t reopenWaitMs = 200;  // after closing the transport, before the first reopen attempt
};

class Qv63xCommands {
 public:
  static constexpr size_t kIdentificationSize = 20;
  static constexpr uint16_t kCpuResetAddress = 0xE600;
  static constexpr int kReopenAttempts = 50;
  // The parameter byte that opens an FPGA transfer.
  static constexpr uint8_t kFpgaOpenValue = 1;

  explicit Qv63xCommands(DriverDeviceInterface& transport);
  Qv63xCommands(DriverDeviceInterface& transport, const CommandSetTraits& traits);
  virtual ~Qv63xCommands() = default;
  Qv63xCommands(const Qv63xCommands&) = delete;
  Qv63xCommands& operator=(const Qv63xCommands&) = delete;

  static const CommandSetTraits& Qv63xTraits();

  // The identity block (at most size bytes, always closed by two NULs) by the series' identification
  // rules; 1 or 0.
  virtual int Identify(uint8_t* buffer, size_t size);
  virtual int ReadStatusWord(uint16_t* word);
  virtual int ReadSamples(uint8_t* buffer, size_t length);
  virtual int ReadImageData(int side, uint8_t* buffer, size_t length);
  // Always 1: the transport's outcome shows in the next status read.
  virtual int SendCommand(const DeviceCommandRequest& request);
  virtual int StopFeed();
  virtual int SendBlock(const uint8_t* data, size_t length);
  virtual int Rs232Send(const uint8_t* data, size_t length);
  virtual int UploadBuffer(const uint8_t* data, size_t length);
  virtual int DownloadFirmware(std::span<const uint8_t> loader, std::span<const uint8_t> firmware);
  virtual int ResetDevice();
  virtual int ReceiveBlock(uint16_t type, uint8_t* buffer, size_t length);
  virtual int Rs232Receive(uint8_t* buffer, size_t length);
  virtual int SendData(const uint8_t* data, size_t length);
  virtual int SendRawCommand(const uint8_t* data, size_t length);
  virtual int ReturnTrue() { return 1; }
  // The image the identity's state text picks ("SD": the second), opened with `openValue`.
  virtual int DownloadFpga(std::span<const uint8_t> image1, std::span<const uint8_t> image2,
                           uint8_t openValue = kFpgaOpenValue);
  // Bytes written or read (at most the EEPROM limit), 0 on failure. ReadData fills the whole buffer with
  // 0xFF first.
  virtual int WriteData(const uint8_t* data, int length);
  virtual int ReadData(uint8_t* buffer, int length);
  virtual int DownloadRecords(std::span<const uint8_t> records);
  virtual int SetCpuReset(int on);

  DriverDeviceInterface& transport() { return transport_; }
  const CommandSetTraits& traits() const { return traits_; }

 protected:
  int Reopen();

 private:
  DriverDeviceInterface& transport_;
  const CommandSetTraits& traits_;
};

// QV63x models talk through it; it changes nothing.
class Qv630Commands : public Qv63xCommands {
 public:
  using Qv63xCommands::Qv63xCommands;
};

// The QV64x command set: the QV63x one with its own identification rules and loader file.
class Qv64xCommands : public Qv63xCommands {
 public:
  explicit Qv64xCommands(DriverDeviceInterface& transport) : Qv63xCommands(transport, Qv64xTraits()) {}
  static const CommandSetTraits& Qv64xTraits();
};

// The QV640 talks through it; it changes nothing.
class Qv640Commands : public Qv64xCommands {
 public:
  using Qv64xCommands::Qv64xCommands;
};

}  // namespace qv6
