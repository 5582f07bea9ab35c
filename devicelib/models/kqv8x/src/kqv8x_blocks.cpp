// The KQv8x block layouts, mechanical INI keys and default sections.
#include "qv6/kqv8x/kqv8x_blocks.h"

#include <array>
#include <initializer_list>
#include <string>

#include "qv6/qv63x/qv63x_defaults.h"

namespace qv6::kqv8x {
namespace {

using namespace later;

using Simple = PlainField;

BlockLayout Layout(uint16_t type, uint16_t size, std::initializer_list<Simple> fields, bool bare = false) {
  return PlainLayout(type, size, fields, bare);
}

BlockLayout Status() {
  BlockLayout l = Layout(kBlockStatus, kStatusBlockSize, {{0, 2}, {2, 2}, {4, 2}});
  l.clearBeforeParse = true;
  // The record is stored whole, from the length that covers it.
  for (Simple s : {Simple{0, 1}, Simple{1, 1}, Simple{2, 2}, Simple{4, 2}, Simple{6, 2}, Simple{8, 2},
                   Simple{10, 2}, Simple{12, 2}}) {
    l.fields.push_back({static_cast<uint16_t>(6 + s.offset), s.width, false, 20});
  }
  l.fields.push_back({20, 2, false, 22});
  l.fields.push_back({22, 2, false, 24});
  return l;
}

BlockLayout Registers() {
  BlockLayout l = Layout(kBlockAcquisition, kRegisterBytes, {{0, 2}, {2, 2}});
  for (uint16_t at = 4; at < kRegisterBytes; ++at) l.fields.push_back({at, 1, false, 0});
  return l;
}

BlockLayout ImageModule() {
  BlockLayout l = Layout(kBlockImageModule, 50, {});
  for (uint16_t i = 0; i < 12; ++i) l.fields.push_back({static_cast<uint16_t>(2 * i), 2, false, 0});
  for (uint16_t base : {uint16_t{24}, uint16_t{35}}) {
    l.fields.push_back({base, 2, false, 0});
    l.fields.push_back({static_cast<uint16_t>(base + 2), 2, false, 0});
    l.fields.push_back({static_cast<uint16_t>(base + 4), 2, true, 0});
    l.fields.push_back({static_cast<uint16_t>(base + 6), 2, true, 0});
    for (uint16_t c = 0; c < 3; ++c) l.fields.push_back({static_cast<uint16_t>(base + 8 + c), 1, false, 0});
  }
  l.fields.push_back({46, 2, false, 0});
  l.fields.push_back({48, 2, false, 0});
  return l;
}

std::vector<BlockLayout> Layouts() {
  const BlockTable& base = Qv63xBlockTable();
  auto same = [&base](uint16_t type) { return *base.Find(type); };
  std::vector<BlockLayout> v;
  v.push_back(same(kBlockIdentity));
  v.push_back(Status());
  v.push_back(Layout(kBlockStatusWord, 0, {}, true));
  v.push_back(same(kBlockInfo4));
  v.push_back(Layout(kBlockInfo5, 0, {}, true));
  v.push_back(same(kBlockBare32));
  v.push_back(same(kBlockPrinter));
  v.push_back(Registers());
  v.push_back(Layout(kBlockDoubleFeed, 3, {{0, 2}, {2, 1}}));
  v.push_back(same(kBlockSerialPort));
  v.push_back(same(kBlockImageTransfer));
  v.push_back(same(kBlockMicrRequest));
  v.push_back(same(kBlockHostBuffer));
  v.push_back(ImageModule());
  v.push_back(Layout(kBlockMotor, 5, {{0, 2}, {2, 1}, {3, 1}, {4, 1}}));
  v.push_back(
      Layout(kBlockTransport, 21,
             {{0, 2}, {2, 2}, {4, 1}, {5, 2}, {7, 1}, {8, 2}, {10, 2}, {12, 2}, {14, 1}, {15, 4}, {19, 2}}));
  v.push_back(Layout(kBlockMicrHead, 19,
                     {{0, 2},
                      {2, 2},
                      {4, 2},
                      {6, 2, true},
                      {8, 1},
                      {9, 2},
                      {11, 2, true},
                      {13, 1},
                      {14, 2},
                      {16, 2, true},
                      {18, 1}}));
  v.push_back(same(kBlockPrinterSection));
  v.push_back(same(kBlockRamp0));
  return v;
}

std::vector<MechIniBinding> Bindings() {
  std::vector<MechIniBinding> b;
  auto add = [&b](uint16_t type, size_t field, const char* section, const std::string& key, int32_t def,
                  uint8_t shift = 0, uint8_t bits = 0) {
    b.push_back({type, field, section, key, def, shift, bits});
  };

  const char* scanKeys[kTsFields] = {"Path Length",        "EdgeDebounceLen",    "Pwm DoubleFeed 0",
                                     "T.Rewind End Batch", "Feed Time Out",      "Motor Start Delay",
                                     "Motor Off Delay",    "Pos Jam Detector 0", "Slip Length",
                                     "Operating Mode",     "Pos SyncAux"};
  const int32_t scanDefaults[kTsFields] = {700, 75, 50, 50, 2, 250, 2000, 548, 28, 0, 292};
  for (size_t i = 0; i < kTsFields; ++i) add(kBlockTransport, i, "SCAN", scanKeys[i], scanDefaults[i]);

  add(kBlockImageModule, kImFrontPosition, "FRONT IMG", "PosFront", 449);
  add(kBlockImageModule, kImRearPosition, "REAR IMG", "PosRear", 516);
  for (bool front : {true, false}) {
    const size_t o = front ? size_t{0} : size_t{kImRearResolution};
    const char* module = front ? "FRONT IMG MODULE" : "REAR IMG MODULE";
    const char* sensor = front ? "FRONT IMG SENSOR" : "REAR IMG SENSOR";
    add(kBlockImageModule, o + kImFrontSensor, sensor, "Type", 2, 0, 3);
    add(kBlockImageModule, o + kImFrontSensor, sensor, "PelsDirTopDown", front ? 0 : 1, 3, 1);
    add(kBlockImageModule, o + kImFrontResolution, module, "Resolution", 200);
    add(kBlockImageModule, o + kImFrontStartPixel, module, "StartPixel", front ? 16 : 32);
    add(kBlockImageModule, o + kImFrontGoodPixels, module, "NGoodPixel", 832);
    add(kBlockImageModule, o + kImFrontIntensDrop, module, "XIntensDrop", 0);
    add(kBlockImageModule, o + kImFrontTotalPixels, module, "TotNpixel", 896);
  }
  for (bool front : {true, false}) {
    const size_t o = front ? size_t{0} : kImRearDelta;
    const char* acq = front ? "FRONT IMG ACQ" : "REAR IMG ACQ";
    add(kBlockImageModule, o + kImFrontGainColour, acq, "Gain_Color", 4000);
    add(kBlockImageModule, o + kImFrontGainGrey, acq, "Gain_GRAY", 4000);
    add(kBlockImageModule, o + kImFrontOffsetColour, acq, "Offset_Color", 0);
    add(kBlockImageModule, o + kImFrontOffsetGrey, acq, "Offset_GRAY", 0);
    add(kBlockImageModule, o + kImFrontPwmR, acq, "Pwm_R", 100);
    add(kBlockImageModule, o + kImFrontPwmG, acq, "Pwm_G", 100);
    add(kBlockImageModule, o + kImFrontPwmB, acq, "Pwm_B", 100);
  }

  add(kBlockMicrHead, kMhPosition, "MICR HEAD", "Position", 250);
  add(kBlockMicrHead, kMhSamples, "MICR HEAD", "#Sample per 100mm", 5000);
  // The head's three gain sets.
  const char* gainKeys[3] = {"Gain_0", "Gain_1", "Gain_2"};
  const char* offsetKeys[3] = {"Offset_0", "Offset_1", "Offset_2"};
  const char* refKeys[3] = {"Ref_0", "Ref_1", "Ref_2"};
  const int32_t gains[3] = {1000, 1250, 1700};
  const int32_t refs[3] = {255, 180, 110};
  for (int set = 0; set < 3; ++set) {
    add(kBlockMicrHead, HeadField(set, 0), "MICR HEAD", gainKeys[set], gains[set]);
    add(kBlockMicrHead, HeadField(set, 1), "MICR HEAD", offsetKeys[set], 0);
    add(kBlockMicrHead, HeadField(set, 2), "MICR HEAD", refKeys[set], refs[set]);
  }

  // The printer and the first motor's ramps are keyed as in the QV63x file.
  for (const MechIniBinding& q : Qv63xMechIniBindings()) {
    if (q.type == kBlockPrinterSection) b.push_back(q);
  }
  const char* motorKeys[4] = {"Steps Per Meter", "Eject Speed", "Out Speed", "CCW Direction"};
  const int32_t motorDefaults[4] = {2770, 15, 61, 1};
  for (size_t i = 0; i < 4; ++i) add(kBlockMotor, i, "MOTOR", motorKeys[i], motorDefaults[i]);
  for (const MechIniBinding& q : Qv63xMechIniBindings()) {
    if (q.type == kBlockRamp0) b.push_back(q);
  }
  return b;
}

using qv63x::RampEntry;

const std::vector<RampEntry> kAcceleration = {{-700, 4},  {0, 0},     {700, 10},  {970, 20},   {1000, 10},
                                              {1050, 10}, {1100, 10}, {1150, 10}, {1200, 105}, {1250, 10},
                                              {1300, 10}, {1350, 10}, {1385, 10}, {1450, 10},  {1500, 10},
                                              {1580, 10}, {1650, 10}};
const std::vector<RampEntry> kDeceleration = {{-700, 4},  {0, 0},     {700, 10},  {1000, 10},
                                              {1200, 10}, {1350, 10}, {1450, 10}, {1530, 10},
                                              {1600, 10}, {1650, 10}, {1680, 10}};

}  // namespace

const BlockTable& KQv8xBlockTable() {
  static const BlockTable table(Layouts());
  return table;
}

const std::vector<MechIniBinding>& KQv8xMechIniBindings() {
  static const std::vector<MechIniBinding> bindings = Bindings();
  return bindings;
}

void FillKQv8Defaults(BlockValues& v) {
  // Front and rear module: 300 dpi, sensor type 2 (the rear's pixels top-down), 2552 good pixels from 12.
  const std::array<int64_t, 12> module = {300, 2, 12, 2552, 0, 2594, 300, 2 | 8, 12, 2552, 0, 2594};
  for (size_t i = 0; i < module.size(); ++i) v.Set(kBlockImageModule, i, module[i]);
  for (size_t o : {size_t{0}, kImRearDelta}) {
    const std::array<int64_t, 7> acq = {3000, 3000, 0, 0, 180, 180, 180};
    for (size_t i = 0; i < acq.size(); ++i) v.Set(kBlockImageModule, kImFrontGainColour + o + i, acq[i]);
  }
  v.Set(kBlockImageModule, kImFrontPosition, 240);
  v.Set(kBlockImageModule, kImRearPosition, 280);

  const std::array<int64_t, 4> motor = {2770, 35, 61, 1};
  for (size_t i = 0; i < motor.size(); ++i) v.Set(kBlockMotor, i, motor[i]);
  const std::array<int64_t, kTsFields> transport = {610, 75, 50, 50, 2, 250, 50, 480, 28, 0, 292};
  for (size_t i = 0; i < transport.size(); ++i) v.Set(kBlockTransport, i, transport[i]);
  const std::array<int64_t, 11> head = {250, 5000, 1000, 0, 255, 1250, 0, 180, 1700, 0, 110};
  for (size_t i = 0; i < head.size(); ++i) v.Set(kBlockMicrHead, i, head[i]);
  const std::array<int64_t, 8> printer = {230, 45, 3600, 50, 36000, 100, 65000, 200};
  for (size_t i = 0; i < printer.size(); ++i) v.Set(kBlockPrinterSection, i, printer[i]);
  qv63x::FillRamp(v, kBlockRamp0, kAcceleration, kDeceleration);
}

}  // namespace qv6::kqv8x
