// The QV63x models: Qv603, Qv625, Qv630 and Qv840. Each owns its command set and its EEPROM image object
// and differs from the others only in flags (mirrored sides on the QV840, the alternative colour timing on
// the QV603), in its section defaults and in which print position it takes.
#pragma once

#include <memory>
#include <string_view>

#include "qv6/later/later_device_template.h"
#include "qv6/qv63x/qv63x_mech_file.h"

namespace qv6 {

// What a model owns, built before the template that uses it.
struct Qv63xModelParts {
  Qv63xModelParts(DriverDeviceInterface& transport, qv63x::DefaultSet defaults)
      : commands(transport), eeprom(commands), mechFile(eeprom, defaults) {}
  Qv630Commands commands;
  CommandsEepromAccess eeprom;
  Qv63xMechFile mechFile;
};

struct Qv63xModelFlags {
  bool mirroredSides = false;
  bool alternativeColourTiming = false;
  bool firstPrintPosition = false;
  qv63x::DefaultSet defaults = qv63x::DefaultSet::kBase;
};

class Qv63xModel : private Qv63xModelParts, public ScannerQV63xDeviceTemplate {
 public:
  Qv63xModel(DriverDeviceInterface& transport, const Qv63xModelFlags& flags);

  const Qv63xModelFlags& flags() const { return flags_; }
  Qv63xMechFile& eepromImage() { return this->Qv63xModelParts::mechFile; }

 protected:
  int GetPrintParameter(int position1, int position2) override;
  bool AlternativeColourTiming() const override { return flags_.alternativeColourTiming; }

 private:
  Qv63xModelFlags flags_;
};

class Qv603 : public Qv63xModel {
 public:
  explicit Qv603(DriverDeviceInterface& transport) : Qv63xModel(transport, {false, true, false}) {}
};
class Qv625 : public Qv63xModel {
 public:
  explicit Qv625(DriverDeviceInterface& transport) : Qv63xModel(transport, {}) {}
};
class Qv630 : public Qv63xModel {
 public:
  explicit Qv630(DriverDeviceInterface& transport) : Qv63xModel(transport, {}) {}
};
class Qv840 : public Qv63xModel {
 public:
  explicit Qv840(DriverDeviceInterface& transport)
      : Qv63xModel(transport, {true, false, true, qv63x::DefaultSet::kQv840}) {}
};

// One row of the QV63x model texts: the identity's model field must begin with `text`.
struct Qv63xModelEntry {
  const char* text;
  const char* name;  // used in the log line and the firmware key
  std::unique_ptr<Qv63xModel> (*create)(DriverDeviceInterface& transport);
};

// The row whose text begins the model field, or null.
const Qv63xModelEntry* FindQv63xModel(std::string_view model);

}  // namespace qv6
