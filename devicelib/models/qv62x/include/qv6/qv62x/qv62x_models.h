// The QV62x models: Qv602, Qv620 and Qv702. Each is the QV62x template with its command set and its EEPROM
// image (series tag "Qv60"/"Qv62"/"Qv70" with the fifth character as code, so that tag and code spell the
// model), and changes what its scanner does differently: the QV702 runs its transport the other way,
// sends command 4 after the firmware check, chooses a pocket and clears errors with command 8; the QV620
// calibrates its empty track and mends old motor tables.
#pragma once

#include <span>
#include <string>

#include "qv6/models/device_mech_file.h"
#include "qv6/qv62x/qv62x_template.h"

namespace qv6 {

// The command set's EEPROM requests and the identity's serial number, as the image needs them.
class Qv62xEepromAccess : public EepromAccess {
 public:
  explicit Qv62xEepromAccess(Qv62xCommands& commands) : commands_(commands) {}
  int ReadData(uint8_t* buffer, int length) override { return commands_.ReadData(buffer, length); }
  int WriteData(const uint8_t* data, int length) override { return commands_.WriteData(data, length); }
  bool ReadSerial(std::string* serial) override;

 private:
  Qv62xCommands& commands_;
};

class Qv62xMechFile : public DeviceMechFile {
 public:
  Qv62xMechFile(EepromAccess& device, qv62x::Model model);
  void GetDefaultSection(int tag, uint8_t* buffer, size_t length) override;
  static Series SeriesOf(qv62x::Model model);

 private:
  qv62x::Model model_;
};

// What a model owns, built before the template that uses it.
struct Qv62xModelParts {
  Qv62xModelParts(DriverDeviceInterface& transport, const char* loaderFile, qv62x::Model model)
      : commands(transport, loaderFile), eeprom(commands), mechFile(eeprom, model) {}
  Qv62xCommands commands;
  Qv62xEepromAccess eeprom;
  Qv62xMechFile mechFile;
};

class Qv62xModel : private Qv62xModelParts, public ScannerQV62xDeviceTemplate {
 public:
  Qv62xModel(DriverDeviceInterface& transport, qv62x::Model model);
  Qv62xMechFile& eepromImage() { return this->Qv62xModelParts::mechFile; }
  qv62x::Model model() const { return model_; }

 private:
  qv62x::Model model_;
};

class Qv602 : public Qv62xModel {
 public:
  explicit Qv602(DriverDeviceInterface& transport) : Qv62xModel(transport, qv62x::Model::kQv602) {}
  int GetPrintParameter(int /*position1*/, int position2) override { return position2; }
};

class Qv620 : public Qv62xModel {
 public:
  static constexpr uint32_t kCalibrationSettleMs = 50;
  explicit Qv620(DriverDeviceInterface& transport);
  int GetPrintParameter(int /*position1*/, int position2) override { return position2; }
  // Measures the empty track under both sensors (firmware 1.23.0.0 on) for the jam check's thresholds.
  int SelfCalib(int skip) override;

 protected:
  void FixupMechConfig() override;
};

class Qv702 : public Qv62xModel {
 public:
  explicit Qv702(DriverDeviceInterface& transport);
  int GetPrintParameter(int position1, int /*position2*/) override { return position1; }
  int SetDestinationPocket(int pocket) override;
  int ClearErrors() override;

 protected:
  int DeviceCommand4() override;
};

// The class names the connection's model table gives the three models.
std::span<const char* const> Qv62xModelClasses();

}  // namespace qv6
