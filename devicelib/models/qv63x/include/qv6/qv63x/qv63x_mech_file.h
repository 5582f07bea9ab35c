// Qv63xMechFile: the EEPROM image of the QV63x models (series tag "Qv63", code 48, at most 0x6F00 bytes on
// the device), read and written through the model's command set and cached in "Eeprom.dat". Records
// missing from the image read as the model's defaults: the mechanical sections of Qv63xDefaults, white
// correction tables for even tags and black ones for odd tags.
#pragma once

#include <functional>
#include <string>

#include "qv6/later/later_commands.h"
#include "qv6/models/device_mech_file.h"
#include "qv6/qv63x/qv63x_defaults.h"

namespace qv6 {

// The command set's EEPROM requests and identity as the image needs them.
class CommandsEepromAccess : public EepromAccess {
 public:
  explicit CommandsEepromAccess(Qv63xCommands& commands) : commands_(commands) {}
  int ReadData(uint8_t* buffer, int length) override { return commands_.ReadData(buffer, length); }
  int WriteData(const uint8_t* data, int length) override { return commands_.WriteData(data, length); }
  bool ReadSerial(std::string* serial) override;

 private:
  Qv63xCommands& commands_;
};

// A default section of a later-series image: the caller's buffer cleared, then as much of the record as
// fits, packed little-endian from the series' layouts after `fill` set the defaults. Correction tables
// read white (even tags) or black (odd tags); any other tag leaves the buffer cleared.
void CopyDefaultSection(int tag, uint8_t* buffer, size_t length, const BlockTable& table,
                        const std::function<void(BlockValues&)>& fill);

class Qv63xMechFile : public DeviceMechFile {
 public:
  static constexpr Series kSeries = {{'Q', 'v', '6', '3'}, 48, 0x6F00};

  Qv63xMechFile(EepromAccess& device, qv63x::DefaultSet defaults)
      : DeviceMechFile(device, kSeries), defaults_(defaults) {}

  void GetDefaultSection(int tag, uint8_t* buffer, size_t length) override;

 private:
  qv63x::DefaultSet defaults_;
};

}  // namespace qv6
