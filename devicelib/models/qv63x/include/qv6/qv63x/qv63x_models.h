// The QV63x models: Qv603, Qv625, Qv630 and Qv840. Each owns its command set and its EEPROM image object
// and differs from the others only in flags (mirrored sides on the QV840, the alternative colour timing on
// the QV603), in its section defaults and in which print position it takes.
#pragma once

#include <memory>
#include <span>

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
  Qv63xModel(DriverDeviceInterface& transport, const Qv63xModelFlags& flags,
             const LaterSeriesTraits& traits = Qv63xSeriesTraits());

  const Qv63xModelFlags& flags() const { return flags_; }
  Qv63xMechFile& eepromImage() { return this->Qv63xModelParts::mechFile; }
  // The QV840 takes the first of the caller's two print positions, the others the second.
  int GetPrintParameter(int position1, int position2) override;

 protected:
  bool AlternativeColourTiming() const override { return flags_.alternativeColourTiming; }
  bool MirroredSides() const override { return flags_.mirroredSides; }

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

// The class names the connection's model table gives the four models ("Qv603", ...); linking this library
// registers them.
std::span<const char* const> Qv63xModelClasses();

}  // namespace qv6
