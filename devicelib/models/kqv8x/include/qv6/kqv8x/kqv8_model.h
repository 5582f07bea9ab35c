// The KQv8x series and its one model, the KQv8: the later-series template over the KQv8x traits (the
// 24-byte status block with one record, begin and end blocks around every transfer, an 8192-byte host
// buffer, 8-bit magnetic samples, a 300 dpi sensor whose whole lines are transferred and resampled on the
// host), its register-style acquisition block, its EEPROM image (tag "KQV8", 3000-byte tables, up to
// 0xF000 bytes on the scanner) and the PWM fix-up of its mechanical sections.
#pragma once

#include <span>

#include "qv6/kqv8x/kqv8x_commands.h"
#include "qv6/later/later_device_template.h"
#include "qv6/qv63x/qv63x_mech_file.h"

namespace qv6 {

const LaterSeriesTraits& KQv8xSeriesTraits();

// The EEPROM image: "KQV8" and its terminating zero from header offset 72 (the code field's first byte is
// that zero), a 62440-byte buffer and at most 0xF000 bytes on the scanner.
class KQv8xMechFile : public DeviceMechFile {
 public:
  static constexpr Series kSeries = {{'K', 'Q', 'V', '8'}, 0, KQv8xCommands::kEepromLimit, 62440};
  explicit KQv8xMechFile(EepromAccess& device) : DeviceMechFile(device, kSeries) {}
  void GetDefaultSection(int tag, uint8_t* buffer, size_t length) override;
};
using KQv8MechFile = KQv8xMechFile;

class ScannerKQv8xDeviceTemplate : public ScannerQV63xDeviceTemplate {
 public:
  ScannerKQv8xDeviceTemplate(Qv63xCommands& commands)
      : ScannerQV63xDeviceTemplate(commands, KQv8xSeriesTraits()) {}

  int GetCfgData(int type, void* buffer, int length) override;
  int SetCfgData(int type, const void* data, int length) override;
  int GetOperatingMode(int* mode) override;
  // The connection does not route these to the series: 1, with nothing sent.
  int EnableEarlyScan() override { return 1; }
  int SetDestinationPocket(int /*pocket*/) override { return 1; }
  int MaintenanceMode(int /*value*/) override { return 1; }
  // Lit edges of the side's sensor, from its first white reference table (records 256 and 264).
  int FindLineStart(int side) const override;
  int FindLineEnd(int side) const override;

 protected:
  later::StatusWords ComposeStatus() const override;
  void PrepareAcquisition() override;
};

struct KQv8Parts {
  explicit KQv8Parts(DriverDeviceInterface& transport)
      : commands(transport), eeprom(commands), mechFile(eeprom) {}
  KQv8Commands commands;
  CommandsEepromAccess eeprom;
  KQv8MechFile mechFile;
};

class KQv8 : private KQv8Parts, public ScannerKQv8xDeviceTemplate {
 public:
  explicit KQv8(DriverDeviceInterface& transport);

  KQv8MechFile& eepromImage() { return this->KQv8Parts::mechFile; }
  int GetPrintParameter(int /*position1*/, int position2) override { return position2; }

 protected:
  // A double-feed PWM of exactly 50 in the scanner's image is the factory placeholder: the sensor is off.
  void FixupMechConfig() override;
};

// "KQv8"; linking this library registers it.
std::span<const char* const> KQv8xModelClasses();

}  // namespace qv6
