// The QV600 model: image settings blocks, fixed image modules, the mechanical configuration file and
// the grey image path. The QV605 builds on it (qv605_model.cpp).
#include <algorithm>
#include <cstring>
#include <string>

#include "app/log.h"
#include "platform/byte_order.h"
#include "platform/ini.h"
#include "qv6/later/scan_config.h"
#include "qv6/qv60x/qv60x_models.h"

namespace qv6 {

using namespace first;
namespace bytes = plat::bytes;

namespace {

constexpr unsigned kLogScan = 75;
constexpr size_t kReadBuffer = 0x400000;
constexpr uint16_t kAuxSet = 0x100;
constexpr uint16_t kW3FrontRead = 0x1;
constexpr uint16_t kW3RearRead = 0x2;
constexpr int kModePixels = 832;

int Clamp16(int v) {
  return static_cast<uint16_t>(v);
}

}  // namespace

namespace first {

LineGeometry Qv600Lines(int width, int depthCode, int resolution, int w6) {
  const auto wd = static_cast<uint32_t>(std::max(width, 0));
  LineGeometry g;
  const uint32_t w = static_cast<uint32_t>(w6);
  if (resolution == 200) {
    g.bytesPerLine = depthCode == 0 ? wd / 8 : depthCode == 1 ? wd / 2 : wd;
    g.lines = depthCode == 0 ? (w & ~7u) : depthCode == 1 ? (w & ~1u) : w;
  } else {
    g.bytesPerLine = depthCode == 0 ? wd / 16 : depthCode == 1 ? wd / 4 : wd / 2;
    g.lines = w / 2;
  }
  g.bytesPerLine = RoundUp64(g.bytesPerLine);
  return g;
}

}  // namespace first

Qv600::Qv600(ScannerInterface& transport) : Qv600(std::make_unique<Qv600Commands>(transport), false) {
  commandsObject->DeviceCommand(1, 0);
  commandsObject->DeviceCommand(1, 0);
}

Qv600::Qv600(std::unique_ptr<Qv600Commands> commands, bool /*colour*/)
    : CommandsHolder(std::move(commands)), ScannerDeviceTemplate(*commandsObject) {
  dib_ = {&loaders_[0], &loaders_[1]};
  modules_[0].position = 333;
  modules_[1].position = 403;
}

int Qv600::SideEnabled(bool aux, int side) const {
  const SideConfig& c = aux ? (side == 0 ? config_.auxFront : config_.auxRear) : (side == 0 ? config_.front : config_.rear);
  return c.enable;
}

void Qv600::SetUpAssemblers() {
  for (int side = 0; side < 2; ++side) {
    CPICLoadScanLines& l = loaders_[static_cast<size_t>(side)];
    l.SetFormatFlags(side == 0 ? 2 : 1026);
    l.SetPixelsPerLine(kModePixels);
    // Only the tables' own bytes: the rest of each line keeps its constructor level.
    l.SetCalibrationLine(pixelTable(side == 0 ? 0 : 2), 1);
    l.SetCalibrationLine(pixelTable(side == 0 ? 1 : 3), 0);
    l.SetScanType(3);
    l.SetCalibratedPixels(kModePixels);
  }
}

int Qv600::InitDeviceFromFile(const char* file, const char* section) {
  if (!LoadCfgFromIni(file, section)) return 0;
  const int prepared = PrepareScan();
  SetUpAssemblers();
  initialised_ = true;
  return prepared;
}

int Qv600::SetImageType(int side) {
  const int bits = depthCode_ == 0 ? 1 : depthCode_ == 1 ? 4 : 8;
  CPICLoadScanLines& l = loaders_[side != 0 ? 1 : 0];
  l.SetBitsPerPixel(bits);
  l.SetResolution(resolution_);
  return 1;
}

void* Qv600::GetImageBuffer(int side) {
  return dib_[side != 0 ? 1 : 0]->GetDibPtr();
}

int Qv600::PrepareScan() {
  resolution_ = config_.front.resolution;
  depthCode_ = std::min(config_.front.greyCode, MaxDepthCode());
  FillSettings(kFrontSettings, config_.front, depthCode_, 200);
  FillSettings(kRearSettings, config_.rear, depthCode_, 200);
  FillSettings(kAuxFrontSettings, config_.auxFront, depthCode_, 200);
  FillSettings(kAuxRearSettings, config_.auxRear, depthCode_, 200);
  for (uint8_t block : {kFrontSettings, kAuxFrontSettings, kRearSettings, kAuxRearSettings, kBlock34,
                        kPrinterBlock, kSerialBlock}) {
    if (!WriteSection(block)) return 0;
  }
  SetImageType(0);
  SetImageType(1);
  return 1;
}

int Qv600::SendImageSettings() {
  if (newImage_[1] > 2) newImage_[1] = 2;
  return ScannerDeviceTemplate::SendImageSettings();
}

first::LineGeometry Qv600::Lines(int width) const {
  return Qv600Lines(width, depthCode_, resolution_, w_[6]);
}

int Qv600::ReadSide(int side, const LineGeometry& g, int width) {
  const auto s = static_cast<size_t>(side);
  const uint32_t total = g.total;
  if (buffer_.size() < kReadBuffer) buffer_.assign(kReadBuffer, 0);
  int received = 0;
  lastRequest_ = total;
  if (!commands_.ReadImage(buffer_.data(), total, &received, side + 1, resolution_, depthCode_, 0)) return 0;
  // Only the lines that arrived whole are built.
  const uint32_t lines = std::min(g.lines, static_cast<uint32_t>(std::max(received, 0)) / g.bytesPerLine);
  if (lines == 0) return 0;
  const int bits = depthCode_ == 0 ? 1 : depthCode_ == 1 ? 4 : 8;
  CPICLoadScanLines& l = loaders_[s];
  const int pixels = static_cast<int>(g.bytesPerLine * 8 / static_cast<uint32_t>(bits));
  l.SetPixelsPerLine(pixels);
  l.SetBitsPerPixel(bits);
  l.SetResolution(resolution_);
  l.SetBytesPerRawLine(static_cast<int>(g.bytesPerLine));
  l.SetNumberOfLines(static_cast<int>(lines));
  l.SetLineBuffer(buffer_.data(), buffer_.size());
  int first = FirstValidPixel(side);
  int w = width;
  if (resolution_ == 100) {
    first /= 2;
    w /= 2;
  }
  first += 1;
  const int last = std::min(first + w - 1, pixels);
  if (last < first) return 0;
  return l.BuildImage(1, first, last) != 0 && l.GetDibPtr() != nullptr ? 1 : 0;
}

int Qv600::GetImages() {
  g_Log.Write(kLogScan, "Start GetImages\n");
  const bool again[2] = {reprocess_[0], reprocess_[1]};
  reprocess_[0] = reprocess_[1] = false;
  const bool aux = (w_[0] & kAuxSet) != 0;
  bool want[2];
  for (int side = 0; side < 2; ++side) want[side] = SideEnabled(aux, side) != 0 || again[side];
  const int width = ComputeWidth(aux, again[1] && !again[0] ? 1 : 0);
  LineGeometry g = Lines(width);
  const uint64_t total = uint64_t{g.bytesPerLine} * g.lines;
  g.total = static_cast<uint32_t>(std::min<uint64_t>(total, ImageCap()));
  if (g.total == 0) {
    g_Log.Write(kLogScan, "End GetImages\n");
    return 1;
  }
  const uint16_t mark[2] = {kW3FrontRead, kW3RearRead};
  for (int side = 0; side < 2; ++side) {
    if (!want[side]) continue;
    if ((w_[3] & mark[side]) && !(again[side] && MaxDepthCode() == 3)) continue;
    w_[3] = static_cast<uint16_t>(w_[3] | mark[side]);
    // A side whose image cannot be built stays unread, with no event (but the error once the scanner
    // no longer offers it).
    sideFailed_[side] = false;
    if (!ReadSide(side, g, width)) {
      sideFailed_[side] = !again[side];
      continue;
    }
    sideRead_[side] = true;
    // A side that came only after the other was cropped and handed over (its first read was lost) is
    // cropped on its own and handed over too.
    const bool late = !again[side] && config_.cropEnable != 0 && imagesFinal_;
    if (late) CropToHeight(*dib_[side], FindDocumentHeight(croppers_[side], *dib_[side], resolution_));
    if (again[side] || config_.cropEnable == 0 || late) {
      Raise(side == 0 ? 4 : 5, reinterpret_cast<intptr_t>(GetImageBuffer(side)));
    }
  }
  if (!again[0] && !again[1] && config_.cropEnable != 0 && !imagesFinal_) {
    CDib empty;
    CDib& front = sideRead_[0] ? *dib_[0] : empty;
    CDib& rear = sideRead_[1] ? *dib_[1] : empty;
    const int dpi = resolution_;
    CropBothSides(croppers_[0], front, dpi, croppers_[1], rear, dpi);
    imagesFinal_ = true;
    if (sideRead_[0]) Raise(4, reinterpret_cast<intptr_t>(GetImageBuffer(0)));
    if (sideRead_[1]) Raise(5, reinterpret_cast<intptr_t>(GetImageBuffer(1)));
  }
  g_Log.Write(kLogScan, "End GetImages\n");
  return 1;
}

// ---- Blocks ----

size_t Qv600::BuildDeviceBlock(uint8_t block, std::span<uint8_t> out) {
  if (block != kFrontSettings && block != kRearSettings && block != kAuxFrontSettings && block != kAuxRearSettings) {
    return ScannerDeviceTemplate::BuildDeviceBlock(block, out);
  }
  const size_t length = SettingsLength();
  if (out.size() < kBlockHead + length) return 0;
  const ImageSettings& s = settings(block);
  uint8_t* d = out.data() + kBlockHead;
  std::memset(d, 0, length);
  d[0] = static_cast<uint8_t>(s.threshold() | s.depthCode() << 4 | (s.word & 1) << 7);
  d[1] = static_cast<uint8_t>(((s.word >> 8) & 3) << 6);
  bytes::PutBe32(d + 10, s.start);
  bytes::PutBe32(d + 14, s.end);
  bytes::PutBe16(d + 18, s.resolution);
  bytes::PutBe16(d + 20, 200);
  if (length == 28) {
    bytes::PutBe16(d + 22, s.contrast);
    bytes::PutBe16(d + 24, s.iniPos);
    bytes::PutBe16(d + 26, s.endPos);
  } else {
    d[22] = s.ratios[0];
    d[23] = s.ratios[1];
    d[24] = s.ratios[2];
    bytes::PutBe16(d + 26, s.contrast);
    bytes::PutBe16(d + 28, s.iniPos);
    bytes::PutBe16(d + 30, s.endPos);
  }
  out[0] = block;
  out[1] = 0;
  bytes::PutBe16(&out[2], static_cast<uint16_t>(length));
  return kBlockHead + length;
}

int Qv600::ParseDeviceBlock(std::span<const uint8_t> reply) {
  if (reply.size() < kBlockHead) return 0;
  const uint8_t block = reply[0];
  if (block != kFrontSettings && block != kRearSettings && block != kAuxFrontSettings && block != kAuxRearSettings) {
    return ScannerDeviceTemplate::ParseDeviceBlock(reply);
  }
  const size_t length = SettingsLength();
  if (std::min<size_t>(bytes::GetBe16(&reply[2]), reply.size() - kBlockHead) < length) return 0;
  const uint8_t* d = reply.data() + kBlockHead;
  ImageSettings& s = settings_[SettingsIndex(block)];
  s.word = static_cast<uint16_t>((s.word & 0xFC00) | (d[0] >> 7) | ((d[0] >> 4) & 7) << 1 | (d[0] & 15) << 4 |
                                 ((d[1] >> 6) & 3) << 8);
  s.start = bytes::GetBe32(d + 10);
  s.end = bytes::GetBe32(d + 14);
  s.resolution = bytes::GetBe16(d + 18);
  if (length == 28) {
    s.contrast = bytes::GetBe16(d + 22);
    s.iniPos = bytes::GetBe16(d + 24);
    s.endPos = bytes::GetBe16(d + 26);
  } else {
    std::copy_n(d + 22, 3, s.ratios);
    s.contrast = bytes::GetBe16(d + 26);
    s.iniPos = bytes::GetBe16(d + 28);
    s.endPos = bytes::GetBe16(d + 30);
  }
  return 1;
}

int Qv600::TransferMechSections(int write) {
  int ok = 1;
  if (write) {
    for (uint8_t b : {kFrontModule, kRearModule, kFrontAdc, kRearAdc}) ok &= WriteSection(b);
    for (uint8_t b = 68; b <= 71; ++b) ok &= WriteBulkSection(b);
    for (uint8_t b = kMotorBlock; b <= kPrinterPosBlock; ++b) ok &= WriteSection(b);
  } else {
    for (uint8_t b = kFrontModule; b <= kPrinterPosBlock; ++b) ok &= ReadSection(b);
  }
  return ok;
}

// ---- Mechanical configuration file ----

int Qv600::CommonMechIni(const char* file, bool save,
                         const std::function<void(plat::IniDocument&)>& modelSections) {
  const std::string name = later::CurrentDirectoryName(file);
  if (save) {
    return plat::EditProfile(name.c_str(), [&](plat::IniDocument& doc) {
      doc.Set("SCAN", "Path Length", std::to_string(path_[0]));
      doc.Set("FRONT IMG MODULE", "Position", std::to_string(modules_[0].position));
      doc.Set("REAR IMG MODULE", "Position", std::to_string(modules_[1].position));
      if (modelSections) modelSections(doc);
      doc.Set("MICR HEAD", "Position", std::to_string(micrHead_[0]));
      doc.Set("PRINTER", "Position", std::to_string(printerPos_[0]));
      char key[32];
      for (size_t i = 0; i < motor_.accel.size(); ++i) {
        std::snprintf(key, sizeof key, "Accel.#%02zu Speed", i);
        doc.Set("MOTOR", key, std::to_string(motor_.accel[i][0]));
        std::snprintf(key, sizeof key, "Accel.#%02zu Num", i);
        doc.Set("MOTOR", key, std::to_string(motor_.accel[i][1]));
      }
    }) ? 1 : 0;
  }
  auto get = [&](const char* section, const char* key, int def) {
    return plat::GetPrivateProfileIntA(section, key, def, name.c_str());
  };
  const int path = get("SCAN", "Path Length", 450);
  path_ = {static_cast<uint16_t>(path), 50};
  auto position = [&](const char* section, int def) {
    const int v = get(section, "Position", def);
    return static_cast<uint16_t>(v > path ? def : v);
  };
  modules_[0].position = position("FRONT IMG MODULE", 333);
  modules_[1].position = position("REAR IMG MODULE", 403);
  micrHead_ = {position("MICR HEAD", 101), 25000};
  printerPos_ = {position("PRINTER", 300), 60, 5, 2, 120, 16, 900, 40};
  motor_.start = 2800;
  motor_.steps = 15;
  char key[32];
  for (size_t i = 0; i < motor_.accel.size(); ++i) {
    std::snprintf(key, sizeof key, "Accel.#%02zu Speed", i);
    motor_.accel[i][0] = static_cast<uint16_t>(Clamp16(get("MOTOR", key, 0)));
    std::snprintf(key, sizeof key, "Accel.#%02zu Num", i);
    motor_.accel[i][1] = static_cast<uint16_t>(Clamp16(get("MOTOR", key, 0)));
  }
  return 1;
}

int Qv600::LoadMechConfigFromIni(const char* file) {
  if (!CommonMechIni(file, false)) return 0;
  const std::string name = later::CurrentDirectoryName(file);
  const char* sections[2] = {"ADC FRONT", "ADC REAR"};
  for (int side = 0; side < 2; ++side) {
    adc_[static_cast<size_t>(side)][0] = 0x33;
    adc_[static_cast<size_t>(side)][7] = 0;
    SetAdcGain(side, plat::GetPrivateProfileIntA(sections[side], "Gain", 16, name.c_str()), {4, 5, 6, 9});
    SetAdcOffset(side, plat::GetPrivateProfileIntA(sections[side], "Offset", 0, name.c_str()), {1, 2, 3, 8});
  }
  // The QV600's modules are fixed: 832 pixels from the first, 200 dpi, the rear scanning the other way.
  for (int side = 0; side < 2; ++side) {
    ModuleRecord& m = modules_[static_cast<size_t>(side)];
    m.resolution = 200;
    m.flags = side == 0 ? 0 : 8;
    m.pixels = kModePixels;
    m.first = 0;
    m.valid = kModePixels;
  }
  return 1;
}

int Qv600::SaveMechConfigToIni(const char* file) {
  return CommonMechIni(file, true, [&](plat::IniDocument& doc) {
    const char* sections[2] = {"ADC FRONT", "ADC REAR"};
    for (int side = 0; side < 2; ++side) {
      doc.Set(sections[side], "Gain", std::to_string(AdcGain(side, 4)));
      doc.Set(sections[side], "Offset", std::to_string(AdcOffset(side, 1)));
    }
  });
}

}  // namespace qv6
