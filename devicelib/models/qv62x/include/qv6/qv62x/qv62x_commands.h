// Qv62xCommands: the QV62x command set, the later series' one without a stop-feed request. Its commands
// are packed by the QV62x opcode table (opcode 1 with five parameters, 10 with two, 2 to 8 bare), and
// three requests of its own announce a transfer before the bulk pipe moves it: 19 the magnetic samples,
// 20 the raw image of both sides, 18 an endorsement upload with its position and length. Its firmware
// download waits 50 ms before reopening, and it has one FPGA image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "qv6/later/later_commands.h"

namespace qv6 {

class Qv62xCommands : public Qv63xCommands {
 public:
  // Request 19 counts the sample bytes in units of four (two samples): the largest read, 65436 bytes,
  // is 16359 units, within the transport's limit of 31650.
  static constexpr size_t kSampleUnitBytes = 4;
  static constexpr size_t kUploadLimit = 61440;  // pipe 0 takes at most this many bytes

  Qv62xCommands(DriverDeviceInterface& transport, const char* loaderFile = "QV620FWLoadertoUpload.bin");

  static const CommandSetTraits& Qv62xTraits(const char* loaderFile);
  static std::span<const OpcodeSpec> Opcodes();

  int ReadSamples(uint8_t* buffer, size_t length) override;
  // The whole raw image of both sides; `side` is not asked for (it always comes on pipe 1).
  int ReadImageData(int side, uint8_t* buffer, size_t length) override;
  int UploadBuffer(const uint8_t* data, size_t length) override { return UploadAt(data, length, 0); }
  // Request 18 with the print position and the length, then the bytes on pipe 0; 1 when both went.
  int UploadAt(const uint8_t* data, size_t length, int position);
  // One image: the first part, whatever the identity says.
  int DownloadFpga(std::span<const uint8_t> image1, std::span<const uint8_t> image2,
                   uint8_t openValue = kFpgaOpenValue) override;
  // The QV62x has no stop request: its feeder stops with opcode 1 {0, ...}.
  int StopFeed() override { return 0; }
};

// The model's own sets differ only in the loader file they name.
class Qv602Commands : public Qv62xCommands {
 public:
  explicit Qv602Commands(DriverDeviceInterface& t) : Qv62xCommands(t, "QV602FWLoadertoUpload.bin") {}
};
class Qv620Commands : public Qv62xCommands {
 public:
  explicit Qv620Commands(DriverDeviceInterface& t) : Qv62xCommands(t, "QV620FWLoadertoUpload.bin") {}
};
class Qv702Commands : public Qv62xCommands {
 public:
  explicit Qv702Commands(DriverDeviceInterface& t) : Qv62xCommands(t, "QV702FWLoadertoUpload.bin") {}
};

}  // namespace qv6
