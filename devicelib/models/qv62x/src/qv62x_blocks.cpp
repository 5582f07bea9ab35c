// The QV62x block layouts, mechanical INI keys and section defaults.
#include "qv6/qv62x/qv62x_blocks.h"

#include <cstdio>
#include <initializer_list>
#include <string>

#include "qv6/later/later_blocks.h"

namespace qv6::qv62x {
namespace {

using later::MechIniBinding;

using later::PlainField;
using Simple = PlainField;

BlockLayout Layout(uint16_t type, uint16_t size, std::initializer_list<PlainField> fields) {
  return later::PlainLayout(type, size, fields);
}

BlockLayout Status() {
  BlockLayout l = Layout(kBlockStatus, kStatusBytes,
                         {{0, 2},
                          {2, 2},
                          {4, 2},
                          {6, 1},
                          {7, 1},
                          {8, 2},
                          {10, 2},
                          {12, 2},
                          {14, 2},
                          {16, 1},
                          {17, 2},
                          {19, 2},
                          {21, 2}});
  l.clearBeforeParse = true;
  return l;
}

BlockLayout Info4() {
  BlockLayout l = Layout(kBlockInfo4, kInfo4Bytes, {});
  for (uint16_t i = 0; i < kInfo4Bytes; ++i) l.fields.push_back({i, 1, false, 0});
  return l;
}

BlockLayout Scan() {
  BlockLayout l = Layout(kBlockAcquisition, 61, {{0, 2}, {2, 1}});
  for (uint16_t base : {uint16_t{3}, uint16_t{32}}) {
    l.fields.push_back({base, 1, false, 0});  // the side's enable
    for (uint16_t r = 0; r < 4; ++r) {
      auto o = static_cast<uint16_t>(base + 1 + 7 * r);
      for (Simple s : {Simple{0, 2}, Simple{2, 2}, Simple{4, 1}, Simple{5, 1}, Simple{6, 1}}) {
        l.fields.push_back({static_cast<uint16_t>(o + s.offset), s.width, false, 0});
      }
    }
  }
  return l;
}

BlockLayout Motor() {
  BlockLayout l = Layout(kBlockMotor, 325, {{0, 2}, {2, 1}});
  for (uint16_t e = 0; e < 2 * kRampEntries; ++e) {
    auto o = static_cast<uint16_t>(3 + 5 * e);
    l.fields.push_back({o, 4, true, 0});
    l.fields.push_back({static_cast<uint16_t>(o + 4), 1, false, 0});
  }
  l.fields.push_back({323, 1, false, 0});
  l.fields.push_back({324, 1, false, 0});
  return l;
}

std::vector<BlockLayout> Layouts() {
  return {
      Status(),
      Info4(),
      Layout(kBlockPrinter, 10, {{0, 2}, {2, 4}, {6, 4}}),
      Scan(),
      Layout(kBlockDoubleFeed, 4, {{0, 2}, {2, 1}, {3, 1}}),
      Layout(kBlockSerialPort, 7, {{0, 4}, {4, 1}, {5, 1}, {6, 1}}),
      later::ImageModuleLayout(),
      Motor(),
      Layout(kBlockTransport, 15,
             {{0, 2}, {2, 2}, {4, 1}, {5, 2}, {7, 2}, {9, 1}, {10, 2}, {12, 1}, {13, 2}}),
      Layout(kBlockMicrHead, 5, {{0, 2}, {2, 2}, {4, 1}}),
      Layout(kBlockPrinterSection, 15, {{0, 2}, {2, 1}, {3, 2}, {5, 2}, {7, 2}, {9, 2}, {11, 2}, {13, 2}}),
  };
}

std::vector<MechIniBinding> Bindings() {
  using namespace later;
  std::vector<MechIniBinding> b;
  auto add = [&b](uint16_t type, size_t field, const char* section, const std::string& key, int32_t def,
                  uint8_t shift = 0, uint8_t bits = 0) {
    b.push_back({type, field, section, key, def, shift, bits});
  };
  const char* scanKeys[] = {"Path Length",       "EdgeDebounceLen",    "Pwm DoubleFeed",
                            "ExtraDocSize",      "T.Rewind End Batch", "Feed Time Out",
                            "Motor Start Delay", "Pwm DoubleFeed_1",   "Pos. Sorter"};
  const int32_t scanDefaults[] = {700, 50, 50, 50, 50, 2, 500, 50, 860};
  for (size_t i = 0; i < kTsFields; ++i) add(kBlockTransport, i, "SCAN", scanKeys[i], scanDefaults[i]);
  add(kBlockImageModule, kImFrontPosition, "FRONT IMG", "PosFront", 450);
  add(kBlockImageModule, kImRearPosition, "REAR IMG", "PosRear", 450);
  for (bool front : {true, false}) {
    size_t o = front ? size_t{0} : size_t{kImRearResolution};
    const char* module = front ? "FRONT IMG MODULE" : "REAR IMG MODULE";
    const char* sensor = front ? "FRONT IMG SENSOR" : "REAR IMG SENSOR";
    add(kBlockImageModule, o + kImFrontSensor, sensor, "Type", 2, 0, 3);
    add(kBlockImageModule, o + kImFrontSensor, sensor, "PelsDirTopDown", 0, 3, 1);
    add(kBlockImageModule, o + kImFrontResolution, module, "Resolution", 200);
    add(kBlockImageModule, o + kImFrontStartPixel, module, "StartPixel", 0);
    add(kBlockImageModule, o + kImFrontGoodPixels, module, "NGoodPixel", 864);
    add(kBlockImageModule, o + kImFrontIntensDrop, module, "XIntensDrop", 0);
    add(kBlockImageModule, o + kImFrontTotalPixels, module, "TotNpixel", 864);
    size_t a = front ? size_t{0} : kImRearAcqDelta;
    const char* acq = front ? "FRONT IMG ACQ" : "REAR IMG ACQ";
    const char* colours[] = {"R", "G", "B", "GRAY"};
    for (size_t c = 0; c < 4; ++c)
      add(kBlockImageModule, a + kImFrontGainR + c, acq, std::string("Gain_") + colours[c], 3000);
    for (size_t c = 0; c < 4; ++c)
      add(kBlockImageModule, a + kImFrontOffsetR + c, acq, std::string("Offset_") + colours[c], 0);
    for (size_t c = 0; c < 3; ++c)
      add(kBlockImageModule, a + kImFrontPwmR + c, acq, std::string("Pwm_") + colours[c], 100);
  }
  add(kBlockMicrHead, kMhPosition, "MICR HEAD", "Position", 250);
  // Read as "Spatial Frequency"; keys match without regard to case, and the file gets this spelling.
  add(kBlockMicrHead, kMhFrequency, "MICR HEAD", "SpAtial Frequency", 62500);
  add(kBlockMicrHead, kMhGain, "MICR HEAD", "Gain", 2);
  const char* printerKeys[] = {"Position",     "CleanPulse", "Delay Clean0", "Num Clean0",
                               "Delay Clean1", "Num Clean1", "Delay Clean2", "Num Clean2"};
  const int32_t printerDefaults[] = {230, 45, 3600, 50, 36000, 100, 65000, 200};
  for (size_t i = 0; i < 8; ++i) add(kBlockPrinterSection, i, "PRINTER", printerKeys[i], printerDefaults[i]);
  add(kBlockMotor, kMoStepsPerMeter, "MOTOR", "Steps Per Meter", 2770);
  add(kBlockMotor, kMoEjectSpeed, "MOTOR", "Eject Speed", 15);
  for (size_t table = 0; table < 2; ++table) {
    for (size_t e = 0; e < kRampEntries; ++e) {
      char speed[32];
      char num[32];
      std::snprintf(speed, sizeof speed, "%s.#%02zu Speed", table == 0 ? "Accel" : "Decel", e);
      std::snprintf(num, sizeof num, "%s.#%02zu Num", table == 0 ? "Accel" : "Decel", e);
      size_t field = (table == 0 ? kMoAccel : kMoDecel) + 2 * e;
      add(kBlockMotor, field + 1, "MOTOR", num, 0);
      add(kBlockMotor, field, "MOTOR", speed, 0);
    }
  }
  add(kBlockMotor, kMoFeedSpeed, "MOTOR", "Feed Speed", 20);
  add(kBlockMotor, kMoOutSpeed, "MOTOR", "Out Speed", 61);
  return b;
}

constexpr RampEntry kTableA[] = {{-700, 4},  {0, 0},     {700, 10},  {1000, 10}, {1200, 10}, {1350, 10},
                                 {1450, 10}, {1530, 10}, {1600, 10}, {1650, 10}, {1680, 10}};
constexpr RampEntry kTableB[] = {{-700, 4},  {0, 0},     {700, 10},   {970, 20},  {1000, 10}, {1050, 10},
                                 {1100, 10}, {1150, 10}, {1200, 105}, {1250, 10}, {1300, 10}, {1350, 10},
                                 {1385, 10}, {1450, 10}, {1500, 10},  {1580, 10}, {1650, 10}};

}  // namespace

const BlockTable& Qv62xBlockTable() {
  static const BlockTable table(Layouts());
  return table;
}

const std::vector<later::MechIniBinding>& Qv62xMechIniBindings() {
  static const std::vector<later::MechIniBinding> bindings = Bindings();
  return bindings;
}

std::span<const RampEntry> MotorTableA() {
  return kTableA;
}
std::span<const RampEntry> MotorTableB() {
  return kTableB;
}

void SetRamp(BlockValues& values, size_t first, std::span<const RampEntry> table) {
  for (size_t e = 0; e < kRampEntries; ++e) {
    RampEntry entry = e < table.size() ? table[e] : RampEntry{1700, 0};
    values.Set(kBlockMotor, first + 2 * e, entry.first);
    values.Set(kBlockMotor, first + 2 * e + 1, entry.second);
  }
}

bool AccelerationIsTableA(const BlockValues& values) {
  auto speed = [&](size_t e) { return values.Get(kBlockMotor, kMoAccel + 2 * e); };
  return speed(3) == 1000 && speed(4) == 1200 && speed(5) == 1350;
}

void FillMechDefaults(BlockValues& values, Model model) {
  using namespace later;
  const bool qv602 = model == Model::kQv602;
  for (size_t o : {size_t{0}, size_t{kImRearResolution}}) {
    values.Set(kBlockImageModule, o + kImFrontResolution, 200);
    values.Set(kBlockImageModule, o + kImFrontSensor, 2);
    values.Set(kBlockImageModule, o + kImFrontStartPixel, 0);
    values.Set(kBlockImageModule, o + kImFrontGoodPixels, 864);
    values.Set(kBlockImageModule, o + kImFrontIntensDrop, 0);
    values.Set(kBlockImageModule, o + kImFrontTotalPixels, 864);
  }
  // The QV620 and QV702 rear sensors count their pixels from the top.
  if (!qv602) values.Set(kBlockImageModule, kImRearSensor, 2 | 8);
  for (size_t a : {size_t{0}, kImRearAcqDelta}) {
    for (size_t c = 0; c < 4; ++c) {
      values.Set(kBlockImageModule, a + kImFrontGainR + c, 3000);
      values.Set(kBlockImageModule, a + kImFrontOffsetR + c, 0);
    }
    for (size_t c = 0; c < 3; ++c) values.Set(kBlockImageModule, a + kImFrontPwmR + c, 100);
  }
  values.Set(kBlockImageModule, kImFrontPosition, qv602 ? 333 : 449);
  values.Set(kBlockImageModule, kImRearPosition, qv602 ? 383 : 516);

  values.Set(kBlockMotor, kMoStepsPerMeter, qv602 ? 2800 : 2770);
  values.Set(kBlockMotor, kMoEjectSpeed, 15);
  values.Set(kBlockMotor, kMoFeedSpeed, 20);
  values.Set(kBlockMotor, kMoOutSpeed, 61);
  SetRamp(values, kMoAccel, qv602 ? MotorTableA() : MotorTableB());
  SetRamp(values, kMoDecel, MotorTableA());

  const int64_t transport602[] = {550, 50, 53, 0, 50, 8, 0, 1, 0};
  const int64_t transport620[] = {700, 50, 27, 28, 50, 2, 500, 1, 0};
  const int64_t transport702[] = {700, 50, 27, 28, 50, 2, 500, 27, 860};
  const int64_t* transport = qv602 ? transport602 : model == Model::kQv620 ? transport620 : transport702;
  for (size_t i = 0; i < kTsFields; ++i) values.Set(kBlockTransport, i, transport[i]);

  values.Set(kBlockMicrHead, kMhPosition, qv602 ? 101 : 250);
  values.Set(kBlockMicrHead, kMhFrequency, 62500);
  values.Set(kBlockMicrHead, kMhGain, qv602 ? 2 : 1);

  const int64_t printer[] = {qv602 ? 550 : 230, 45, 3600, 50, 36000, 100, 65000, 200};
  for (size_t i = 0; i < 8; ++i) values.Set(kBlockPrinterSection, i, printer[i]);
}

}  // namespace qv6::qv62x
