// The QV63x mechanical INI bindings, and loading and saving through them.
#include "qv6/later/mech_ini.h"

#include <cstdio>

#include "platform/ini.h"
#include "qv6/later/later_blocks.h"
#include "qv6/later/scan_config.h"

namespace qv6::later {
namespace {

// Where a series' keys differ from the QV63x ones.
struct MechIniVariant {
  int32_t pwmDefault = 100;
  int32_t rearTopDownDefault = 1;
  int32_t sampleFrequency = 31248;
  bool franker = false;  // the QV64x transport and head fields
};

std::vector<MechIniBinding> Build(const MechIniVariant& variant) {
  std::vector<MechIniBinding> b;
  auto add = [&b](uint16_t type, size_t field, const char* section, const char* key, int32_t def,
                  uint8_t shift = 0, uint8_t bits = 0) {
    b.push_back({type, field, section, key, def, shift, bits});
  };

  const char* scanKeys[] = {
      "Path Length",       "Pos. Pipeline",      "EdgeDebounceLen",    "Pwm DoubleFeed 0",
      "Pwm DoubleFeed 1",  "T.Rewind End Batch", "Feed Time Out",      "Motor Start Delay",
      "Motor Off Delay",   "Pos Jam Detector 0", "Pos Jam Detector 1", "Solenoid Pwm Drive",
      "Solenoid Pwm Hold", "Solenoid Off Delay", "Pos. Sorter",        "T.Drive Feed Solenoid",
      "Slip Length",       "Operating Mode",     "PreSync Position"};
  const int32_t scanDefaults[] = {700, 50,  75, 50,   50,  50,  2,  250, 2000, 548,
                                  0,   240, 60, 2000, 860, 120, 28, 0,   48};
  for (size_t i = 0; i < kTsFields; ++i) add(kBlockTransport, i, "SCAN", scanKeys[i], scanDefaults[i]);
  if (variant.franker) {
    const char* frankKeys[] = {"MechFrankPosition",
                               "FrankOnLag",
                               "FrankOffLag",
                               "FeedSolnReEnergizeDelayMS",
                               "FeedSolnOffBeforeReEnergizeMS",
                               "FrankDefaultLength",
                               "FrankDefaultMargin"};
    const int32_t frankDefaults[] = {563, 7, 7, 1000, 0, 127, 17};
    for (size_t i = 0; i < kTsQv64xFields - kTsFields; ++i) {
      add(kBlockTransport, kTsFields + i, "SCAN", frankKeys[i], frankDefaults[i]);
    }
  }

  for (bool front : {true, false}) {
    size_t o = front ? size_t{0} : size_t{kImRearResolution};
    const char* module = front ? "FRONT IMG MODULE" : "REAR IMG MODULE";
    const char* sensor = front ? "FRONT IMG SENSOR" : "REAR IMG SENSOR";
    add(kBlockImageModule, o + kImFrontResolution, module, "Resolution", 200);
    add(kBlockImageModule, o + kImFrontSensor, sensor, "Type", 2, 0, 3);
    add(kBlockImageModule, o + kImFrontSensor, sensor, "PelsDirTopDown",
        front ? 0 : variant.rearTopDownDefault, 3, 1);
    add(kBlockImageModule, o + kImFrontStartPixel, module, "StartPixel", front ? 16 : 32);
    add(kBlockImageModule, o + kImFrontGoodPixels, module, "NGoodPixel", 832);
    add(kBlockImageModule, o + kImFrontIntensDrop, module, "XIntensDrop", 0);
    add(kBlockImageModule, o + kImFrontTotalPixels, module, "TotNpixel", 896);
  }
  for (bool front : {true, false}) {
    size_t o = front ? size_t{0} : kImRearAcqDelta;
    const char* acq = front ? "FRONT IMG ACQ" : "REAR IMG ACQ";
    for (size_t c = 0; c < 4; ++c) add(kBlockImageModule, o + kImFrontGainR + c, acq, kAcqGainKeys[c], 3000);
    for (size_t c = 0; c < 4; ++c) add(kBlockImageModule, o + kImFrontOffsetR + c, acq, kAcqOffsetKeys[c], 0);
    for (size_t c = 0; c < 3; ++c) {
      add(kBlockImageModule, o + kImFrontPwmR + c, acq, kAcqPwmKeys[c], variant.pwmDefault);
    }
  }
  add(kBlockImageModule, kImFrontPosition, "FRONT IMG", "PosFront", 449);
  add(kBlockImageModule, kImRearPosition, "REAR IMG", "PosRear", 516);

  add(kBlockMicrHead, kMhPosition, "MICR HEAD", "Position", 250);
  add(kBlockMicrHead, kMhFrequency, "MICR HEAD", "Sample Frequency", variant.sampleFrequency);
  if (variant.franker) add(kBlockMicrHead, kMhGainCalib, "MICR HEAD", "Gain Calib Factor", 128);
  add(kBlockMicrHead, kMhOffset, "MICR HEAD", "Offset", -1500);

  const char* printerKeys[] = {"Position",     "CleanPulse", "Delay Clean0", "Num Clean0",
                               "Delay Clean1", "Num Clean1", "Delay Clean2", "Num Clean2"};
  const int32_t printerDefaults[] = {230, 45, 3600, 50, 36000, 100, 65000, 200};
  for (size_t i = 0; i < 8; ++i) add(kBlockPrinterSection, i, "PRINTER", printerKeys[i], printerDefaults[i]);

  const char* motorKeys[] = {"Steps Per Meter", "Eject Speed", "Feed Speed", "Out Speed", "CCW Direction"};
  const int32_t motorDefaults[] = {2770, 15, 20, 61, 0};
  for (size_t i = 0; i < 5; ++i) add(kBlockMotor, i, "MOTOR", motorKeys[i], motorDefaults[i]);

  for (uint16_t type : {uint16_t{kBlockRamp0}, uint16_t{kBlockRamp1}}) {
    const char* section = type == kBlockRamp0 ? "MOT 0" : "MOT 1";
    for (size_t table = 0; table < 2; ++table) {
      for (size_t e = 0; e < kRampEntries; ++e) {
        char speed[32];
        char num[32];
        std::snprintf(speed, sizeof speed, "%s.#%02zu Speed", table == 0 ? "Accel" : "Decel", e);
        std::snprintf(num, sizeof num, "%s.#%02zu Num", table == 0 ? "Accel" : "Decel", e);
        size_t field = 2 * (table * kRampEntries + e);
        add(type, field, section, speed, 0);
        add(type, field + 1, section, num, 0);
      }
    }
  }
  return b;
}

}  // namespace

const std::vector<MechIniBinding>& Qv63xMechIniBindings() {
  static const std::vector<MechIniBinding> bindings = Build({});
  return bindings;
}

const std::vector<MechIniBinding>& Qv9120MechIniBindings() {
  MechIniVariant variant;
  variant.sampleFrequency = 34254;
  static const std::vector<MechIniBinding> bindings = Build(variant);
  return bindings;
}

const std::vector<MechIniBinding>& Qv64xMechIniBindings() {
  static const std::vector<MechIniBinding> bindings = Build({123, 0, 31248, true});
  return bindings;
}

bool LoadMechIni(const char* file, const std::vector<MechIniBinding>& bindings, BlockValues& values) {
  if (file == nullptr || *file == '\0') return false;
  std::string name = CurrentDirectoryName(file);
  for (const MechIniBinding& b : bindings) {
    int32_t v = plat::GetPrivateProfileIntA(b.section.c_str(), b.key.c_str(), b.defaultValue, name.c_str());
    if (b.bits == 0) {
      values.Set(b.type, b.field, v);
    } else {
      int64_t mask = ((int64_t{1} << b.bits) - 1) << b.shift;
      int64_t field = values.Get(b.type, b.field);
      values.Set(b.type, b.field, (field & ~mask) | ((int64_t{v} << b.shift) & mask));
    }
  }
  return true;
}

bool SaveMechIni(const char* file, const std::vector<MechIniBinding>& bindings, const BlockValues& values) {
  if (file == nullptr || *file == '\0') return false;
  std::string name = CurrentDirectoryName(file);
  return plat::EditProfile(name.c_str(), [&](plat::IniDocument& doc) {
    for (const MechIniBinding& b : bindings) {
      int64_t v = values.Get(b.type, b.field);
      if (b.bits != 0) v = (v >> b.shift) & ((int64_t{1} << b.bits) - 1);
      doc.Set(b.section, b.key, std::to_string(v));
    }
  });
}

}  // namespace qv6::later
