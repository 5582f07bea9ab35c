// The VEKQv5xx block layouts, mechanical INI keys and default sections.
#include "qv6/vekqv5xx/vekqv5xx_blocks.h"

#include <array>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "qv6/later/later_blocks.h"

namespace qv6::vekqv5xx {
namespace {

using namespace later;

struct Simple {
  uint16_t offset;
  uint8_t width;
  bool isSigned = false;
};

BlockLayout Layout(uint16_t type, uint16_t size, std::initializer_list<Simple> fields, bool bare = false) {
  BlockLayout l;
  l.type = type;
  l.size = size;
  l.bareWhenBuilt = bare;
  for (const Simple& s : fields) l.fields.push_back({s.offset, s.width, s.isSigned, 0});
  return l;
}

BlockLayout Status() {
  BlockLayout l = Layout(kBlockStatus, kStatusBlockSize,
                         {{0, 1}, {1, 1}, {2, 1}, {3, 2}, {5, 2}, {7, 2}, {9, 2}, {11, 2}, {13, 2}});
  l.clearBeforeParse = true;
  return l;
}

BlockLayout Acquisition() {
  BlockLayout l = Layout(kBlockAcquisition, kAcquisitionSize, {{0, 2}, {2, 1}, {3, 1}});
  for (uint16_t at = 4; at < kAcquisitionSize; ++at) l.fields.push_back({at, 1, false, 0});
  return l;
}

// The image transfer in the template's field numbers. The series sends no sequence number and no
// half-size flag: both name the zero byte at 1. The end pixel is the line length in bytes.
BlockLayout ImageTransfer() {
  return Layout(kBlockImageTransfer, 11, {{1, 1}, {0, 1}, {1, 1}, {2, 1}, {3, 2}, {5, 2}, {7, 2}, {9, 2}});
}

// Block 64 in the shared field numbers of the image module (later::ImageModuleField). The series has no
// intensity-drop word: its number names the total-pixel word, which is written after it, so every other
// number keeps its meaning.
BlockLayout ImageModule() {
  BlockLayout l = Layout(kBlockImageModule, 60, {});
  for (uint16_t base : {uint16_t{0}, uint16_t{9}}) {
    const uint16_t start = base == 0 ? 3 : 12;
    const uint16_t good = base == 0 ? 5 : 14;
    const uint16_t total = base == 0 ? 7 : 16;
    l.fields.push_back({base, 2, false, 0});
    l.fields.push_back({static_cast<uint16_t>(base + 2), 1, false, 0});
    l.fields.push_back({start, 2, false, 0});
    l.fields.push_back({good, 2, false, 0});
    l.fields.push_back({total, 2, false, 0});  // no intensity drop
    l.fields.push_back({total, 2, false, 0});
  }
  for (uint16_t base : {uint16_t{18}, uint16_t{37}}) {
    for (uint16_t i = 0; i < 4; ++i) l.fields.push_back({static_cast<uint16_t>(base + 2 * i), 2, false, 0});
    for (uint16_t i = 0; i < 4; ++i) l.fields.push_back({static_cast<uint16_t>(base + 8 + 2 * i), 2, true, 0});
    for (uint16_t i = 0; i < 3; ++i) l.fields.push_back({static_cast<uint16_t>(base + 16 + i), 1, false, 0});
  }
  l.fields.push_back({56, 2, false, 0});
  l.fields.push_back({58, 2, false, 0});
  return l;
}

BlockLayout Motor() {
  BlockLayout l = Layout(kBlockMotor, 58, {{0, 2}, {2, 2}, {4, 1}, {5, 1}});
  for (uint16_t at = 6; at < 58; ++at) l.fields.push_back({at, 1, false, 0});
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
  v.push_back(Layout(kBlockInfo5, 6, {{0, 2}, {2, 2}, {4, 2}}, true));
  v.push_back(same(kBlockBare32));
  v.push_back(Layout(kBlockPrinter, 9, {{0, 1}, {1, 4}, {5, 4}}));
  v.push_back(Acquisition());
  v.push_back(Layout(kBlockDoubleFeed, 2, {{0, 1}, {1, 1}}));
  v.push_back(Layout(kBlockSerialPort, 0, {}, true));
  v.push_back(ImageTransfer());
  v.push_back(Layout(kBlockMicrRequest, 0, {}, true));
  v.push_back(Layout(kBlockHostBuffer, 0, {}, true));
  v.push_back(ImageModule());
  v.push_back(Motor());
  v.push_back(Layout(kBlockTransport, 16,
                     {{0, 2}, {2, 2}, {4, 1}, {5, 2}, {7, 2}, {9, 1}, {10, 4}, {14, 2}}));
  v.push_back(Layout(kBlockMicrHead, 5, {{0, 2}, {2, 1}, {3, 2, true}}));
  v.push_back(same(kBlockPrinterSection));
  return v;
}

std::vector<MechIniBinding> Bindings() {
  std::vector<MechIniBinding> b;
  auto add = [&b](uint16_t type, size_t field, const char* section, const std::string& key, int32_t def,
                  uint8_t shift = 0, uint8_t bits = 0) {
    b.push_back({type, field, section, key, def, shift, bits});
  };
  const char* scanKeys[kPaFields] = {"Path Length",       "EdgeDebounceLen",    "Feed Time Out",
                                     "Motor Start Delay", "Pos Jam Detector 0", "Slip Length",
                                     "Operating Mode",    "Back Eject Steps"};
  const int32_t scanDefaults[kPaFields] = {700, 75, 2, 250, 548, 28, 0, 30};
  for (size_t i = 0; i < kPaFields; ++i) add(kBlockTransport, i, "SCAN", scanKeys[i], scanDefaults[i]);

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
    add(kBlockImageModule, o + kImFrontTotalPixels, module, "TotNpixel", 896);
  }
  for (bool front : {true, false}) {
    const size_t o = front ? size_t{0} : kImRearAcqDelta;
    const char* acq = front ? "FRONT IMG ACQ" : "REAR IMG ACQ";
    for (size_t c = 0; c < 4; ++c) add(kBlockImageModule, o + kImFrontGainR + c, acq, kAcqGainKeys[c], 3000);
    for (size_t c = 0; c < 4; ++c) add(kBlockImageModule, o + kImFrontOffsetR + c, acq, kAcqOffsetKeys[c], 0);
    for (size_t c = 0; c < 3; ++c) add(kBlockImageModule, o + kImFrontPwmR + c, acq, kAcqPwmKeys[c], 100);
  }

  add(kBlockMicrHead, kMhPosition, "MICR HEAD", "Position", 250);
  add(kBlockMicrHead, kMhGainCalib, "MICR HEAD", "Gain Calib Factor", 128);
  add(kBlockMicrHead, kMhOffset, "MICR HEAD", "Offset", -1500);

  const char* printerKeys[8] = {"Position",     "CleanPulse", "Delay Clean0", "Num Clean0",
                                "Delay Clean1", "Num Clean1", "Delay Clean2", "Num Clean2"};
  const int32_t printerDefaults[8] = {230, 45, 3600, 50, 36000, 100, 65000, 200};
  for (size_t i = 0; i < 8; ++i) add(kBlockPrinterSection, i, "PRINTER", printerKeys[i], printerDefaults[i]);

  add(kBlockMotor, kMoStepsPerMeter, "MOTOR", "Steps Per Meter", 2770);
  add(kBlockMotor, kMoDivisorOffset, "MOTOR", "Divisor Offset", 1400);
  add(kBlockMotor, kMoEjectSpeedIndex, "MOTOR", "Eject Speed Table Index", 2);
  add(kBlockMotor, kMoCcw, "MOTOR", "CCW Direction", 0);
  char key[32];
  for (size_t i = 0; i < kAccelerationEntries; ++i) {
    std::snprintf(key, sizeof key, "Accel.#%02zu Num", i);
    add(kBlockMotor, AccelField(i, true), "MOTOR", key, 0);
    std::snprintf(key, sizeof key, "Accel.#%02zu Speed", i);
    add(kBlockMotor, AccelField(i, false), "MOTOR", key, 0);
  }
  for (size_t i = 0; i < kDecelerationEntries; ++i) {
    std::snprintf(key, sizeof key, "Decel.#%02zu Num", i);
    add(kBlockMotor, DecelField(i, true), "MOTOR", key, 0);
    std::snprintf(key, sizeof key, "Decel.#%02zu Speed", i);
    add(kBlockMotor, DecelField(i, false), "MOTOR", key, 255);
  }
  return b;
}

}  // namespace

const BlockTable& VEKQv5xxBlockTable() {
  static const BlockTable table(Layouts());
  return table;
}

const std::vector<MechIniBinding>& VEKQv5xxMechIniBindings() {
  static const std::vector<MechIniBinding> bindings = Bindings();
  return bindings;
}

void FillVEKQv500Defaults(BlockValues& v) {
  // Both modules 200 dpi, 832 good of 896 pixels from 0; sensor type 2, the rear's pixels top-down.
  const std::array<int64_t, 12> module = {200, 2, 0, 832, 896, 896, 200, 2 | 8, 0, 832, 896, 896};
  for (size_t i = 0; i < module.size(); ++i) v.Set(kBlockImageModule, i, module[i]);
  for (size_t o : {size_t{0}, kImRearAcqDelta}) {
    for (size_t c = 0; c < 4; ++c) v.Set(kBlockImageModule, kImFrontGainR + o + c, 3000);
    for (size_t c = 0; c < 4; ++c) v.Set(kBlockImageModule, kImFrontOffsetR + o + c, 0);
    for (size_t c = 0; c < 3; ++c) v.Set(kBlockImageModule, kImFrontPwmR + o + c, 180);
  }
  v.Set(kBlockImageModule, kImFrontPosition, 449);
  v.Set(kBlockImageModule, kImRearPosition, 516);

  v.Set(kBlockMotor, kMoStepsPerMeter, 2770);
  v.Set(kBlockMotor, kMoDivisorOffset, 1400);
  v.Set(kBlockMotor, kMoEjectSpeedIndex, 2);
  v.Set(kBlockMotor, kMoCcw, 0);
  const int64_t accel[kAccelerationEntries] = {255, 240, 224, 208, 192, 176, 160, 144,
                                                128, 112, 96,  80,  64,  48,  32,  16};
  for (size_t i = 0; i < kAccelerationEntries; ++i) {
    v.Set(kBlockMotor, AccelField(i, false), accel[i]);
    v.Set(kBlockMotor, AccelField(i, true), 10);
  }
  const int64_t decel[kDecelerationEntries] = {112, 128, 144, 160, 176, 192, 208, 224, 240, 255};
  for (size_t i = 0; i < kDecelerationEntries; ++i) {
    v.Set(kBlockMotor, DecelField(i, false), decel[i]);
    v.Set(kBlockMotor, DecelField(i, true), 5);
  }
  const std::array<int64_t, kPaFields> path = {700, 75, 8, 250, 548, 28, 0, 30};
  for (size_t i = 0; i < path.size(); ++i) v.Set(kBlockTransport, i, path[i]);
  v.Set(kBlockMicrHead, kMhPosition, 250);
  v.Set(kBlockMicrHead, kMhGainCalib, 128);
  v.Set(kBlockMicrHead, kMhOffset, -1500);
  const std::array<int64_t, 8> printer = {230, 45, 3600, 50, 36000, 100, 65000, 200};
  for (size_t i = 0; i < printer.size(); ++i) v.Set(kBlockPrinterSection, i, printer[i]);
}

}  // namespace qv6::vekqv5xx
