// The QV64x series and its one model, the QV640: the later-series template over the QV64x traits (a
// 300 dpi sensor whose whole lines are transferred and reduced on the host, colour always in the
// alternative timing, a franker, wider blocks 35, 66 and 67), its command set, its EEPROM image (series
// tag "Qv64") with the QV640's default sections, and the firmware decision by the descriptor's
// FIRMW_LOAD_MODE.
#pragma once

#include <span>

#include "qv6/later/later_device_template.h"
#include "qv6/qv63x/qv63x_mech_file.h"

namespace qv6 {

namespace qv64x {
// Sets every field of blocks 64 to 70 (QV64x layouts) to the QV640's default.
void FillQv640Defaults(BlockValues& values);
}  // namespace qv64x

class Qv64xMechFile : public DeviceMechFile {
 public:
  static constexpr Series kSeries = {{'Q', 'v', '6', '4'}, 48, 0x6F00};
  explicit Qv64xMechFile(EepromAccess& device) : DeviceMechFile(device, kSeries) {}
  void GetDefaultSection(int tag, uint8_t* buffer, size_t length) override;
};
using Qv640MechFile = Qv64xMechFile;

struct Qv640Parts {
  explicit Qv640Parts(DriverDeviceInterface& transport)
      : commands(transport), eeprom(commands), mechFile(eeprom) {}
  Qv640Commands commands;
  CommandsEepromAccess eeprom;
  Qv640MechFile mechFile;
};

class Qv640 : private Qv640Parts, public ScannerQV63xDeviceTemplate {
 public:
  static constexpr int kDefaultLoadMode = 2;

  explicit Qv640(DriverDeviceInterface& transport);

  Qv640MechFile& eepromImage() { return this->Qv640Parts::mechFile; }
  int GetPrintParameter(int /*position1*/, int position2) override { return position2; }

 protected:
  // Any colour is scanned in the alternative timing (colour mode 2).
  bool AlternativeColourTiming() const override { return true; }
  // Decided by FIRMW_LOAD_MODE of the descriptor INI, read afresh at every connect.
  FirmwareOutcome EnsureFirmware(const char* firmwareFile, const char* state, const char* version,
                                 const char* manufacturer) override;
};

// "Qv640"; linking this library registers it.
std::span<const char* const> Qv64xModelClasses();

}  // namespace qv6
