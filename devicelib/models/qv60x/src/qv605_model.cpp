// The QV605 model: configurable sensors, colour tables and light coefficients, the colour image path with
// line doubling and the intensity-drop correction, and the store that loads the twelve tables.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/byte_order.h"
#include "platform/clock.h"
#include "platform/ini.h"
#include "qv6/later/channel_settings.h"
#include "qv6/later/scan_config.h"
#include "qv6/qv60x/qv60x_models.h"

namespace qv6 {

using namespace first;
namespace bytes = plat::bytes;

namespace {

constexpr uint8_t kLightBlock = 88;
constexpr uint8_t kFirstColourBlock = 76;
constexpr int kFirstColourType = 13;
constexpr int kLightType = 25;
constexpr uint32_t kBeforeTableLoadMs = 100;
constexpr int kMaxSensorPixels = 2048;
constexpr int kDefaultPixels = 832;

}  // namespace

namespace first {

LineGeometry Qv605Lines(int width, int depthCode, int resolution, bool greyAt100, int w6) {
  LineGeometry g;
  if (depthCode > 3) return g;
  const auto wd = static_cast<uint32_t>(std::max(width, 0));
  uint32_t lines = static_cast<uint32_t>(w6);
  uint32_t bytes = 0;
  if (resolution == 200) {
    if (depthCode == 0) {
      bytes = wd / 8;
      lines = (lines + 7) & ~7u;
    } else if (depthCode == 1) {
      bytes = wd / 2;
      lines = (lines + 1) & ~1u;
    } else {
      bytes = wd;
    }
  } else {
    if (greyAt100) lines /= 2;
    if (depthCode == 0) {
      bytes = wd / 16;
      lines = (lines + 7) & ~7u;
    } else if (depthCode == 1) {
      bytes = wd / 4;
      lines = (lines + 1) & ~1u;
    } else {
      bytes = wd / 2;
    }
  }
  // Colour: three planes, each rounded up to 64 bytes.
  g.bytesPerLine = depthCode == 3 ? RoundUp64(bytes) * 3 : RoundUp64(bytes);
  g.lines = lines;
  return g;
}

void CorrectIntensityDrop(CDib& image, double x, bool rear) {
  if (x == 0 || image.GetDibPtr() == nullptr) return;
  const int bits = image.GetBitCount();
  if (bits != 4 && bits != 8 && bits != 24) return;
  const int height = image.GetHeight();
  const int used = (image.GetWidth() * bits + 7) / 8;
  const int stride = image.GetBytesPerLine();
  uint8_t* base = image.GetBits();
  for (int y = 0; y < height; ++y) {
    uint8_t* row = base + static_cast<size_t>(y) * static_cast<size_t>(stride);
    for (int i = 0; i < used; ++i) {
      uint8_t& b = row[rear ? used - 1 - i : i];
      const double f = 1.0 + i * x;
      if (bits == 4) {
        const long hi = std::min(std::lround((b >> 4) * f), 15L);
        const long lo = std::min(std::lround((b & 15) * f), 15L);
        b = static_cast<uint8_t>(hi << 4 | lo);
      } else {
        b = static_cast<uint8_t>(std::min(std::lround(b * f), 255L));
      }
    }
  }
}

}  // namespace first

Qv605::Qv605(ScannerInterface& transport) : Qv600(std::make_unique<Qv605Commands>(transport), true) {
  dib_ = {&colourLoaders_[0], &colourLoaders_[1]};
  for (auto& t : tables_) t.assign(kDefaultPixels, 0);
  commandsObject->DeviceCommand(1, 1);
  commandsObject->DeviceCommand(1, 0);
}

size_t Qv605::TableLength(int index) const {
  return module(index < 6 ? 0 : 1).valid;
}

std::span<const uint8_t> Qv605::colourTable(int type) const {
  if (type < kFirstColourType || type >= kFirstColourType + kColourTables) return {};
  return tables_[static_cast<size_t>(type - kFirstColourType)];
}

void Qv605::SetUpAssemblers() {
  for (int side = 0; side < 2; ++side) {
    CLoadScanLines& l = colourLoaders_[static_cast<size_t>(side)];
    const int valid = module(side).valid;
    l.SetPixelsPerLine(valid);
    l.SetCalibratedPixels(valid);
    l.SetScanType(3);
    // Grey tables 1 and 2 are channel 0's white and black; each colour pair (white, black) of the side
    // is channel 1, 2 or 3. Only the tables' own bytes are copied.
    l.SetCalibrationLine(pixelTable(side == 0 ? 0 : 2), 1);
    l.SetCalibrationLine(pixelTable(side == 0 ? 1 : 3), 0);
    for (unsigned pair = 0; pair < 3; ++pair) {
      const auto table = static_cast<size_t>(side * 6) + 2 * pair;
      l.SetCalibrationLine(tables_[table], 2 * pair + 3);
      l.SetCalibrationLine(tables_[table + 1], 2 * pair + 2);
    }
    // Grey is mixed from the three channels by the side's intensities; colour keeps its channels.
    if (depthCode_ == 3) {
      l.BuildLookupTables(1, 0, 0, 0);
    } else {
      const SideConfig& c = side == 0 ? config_.front : config_.rear;
      int r = 0, g = 0, b = 0;
      later::ComputeColorRatios(static_cast<unsigned>(c.red), static_cast<unsigned>(c.green),
                                static_cast<unsigned>(c.blue), &r, &g, &b);
      l.BuildLookupTables(0, r, g, b);
    }
  }
}

int Qv605::SetImageType(int side) {
  const int s = side != 0 ? 1 : 0;
  const bool direction = (module(s).flags & 8) != 0;
  int mode = s == 0 ? 2 : 1026;
  if (direction) mode |= 0x800;
  CLoadScanLines& l = colourLoaders_[static_cast<size_t>(s)];
  l.SetFormatFlags(mode);
  l.SetBitsPerPixel(depthCode_ == 0 ? 1 : depthCode_ == 1 ? 4 : depthCode_ == 2 ? 8 : 24);
  l.SetResolution((s == 0 ? config_.front : config_.rear).resolution);
  return 1;
}

int Qv605::PrepareScan() {
  resolution_ = config_.front.resolution;
  const bool colourSensors = (module(0).flags & 7) == 2 && (module(1).flags & 7) == 2;
  depthCode_ = config_.front.color != 0 && colourSensors ? 3 : std::min(config_.front.greyCode, 2);
  const int blockResolution = BlockResolution();
  const struct {
    uint8_t block;
    const SideConfig* side;
    const SideConfig* intensities;
  } fills[4] = {{kFrontSettings, &config_.front, &config_.front},
                {kRearSettings, &config_.rear, &config_.rear},
                {kAuxFrontSettings, &config_.auxFront, &config_.front},
                {kAuxRearSettings, &config_.auxRear, &config_.rear}};
  for (const auto& f : fills) {
    FillSettings(f.block, *f.side, depthCode_, blockResolution);
    int r = 0, g = 0, b = 0;
    later::ComputeColorRatios(static_cast<unsigned>(f.intensities->red), static_cast<unsigned>(f.intensities->green),
                              static_cast<unsigned>(f.intensities->blue), &r, &g, &b);
    ImageSettings& s = settings_[SettingsIndex(f.block)];
    s.ratios[0] = static_cast<uint8_t>(r);
    s.ratios[1] = static_cast<uint8_t>(g);
    s.ratios[2] = static_cast<uint8_t>(b);
  }
  for (uint8_t block : {kFrontSettings, kAuxFrontSettings, kRearSettings, kAuxRearSettings, kBlock34,
                        kPrinterBlock, kSerialBlock}) {
    if (!WriteSection(block)) return 0;
  }
  SetImageType(0);
  SetImageType(1);
  return 1;
}

first::LineGeometry Qv605::Lines(int width) const {
  return Qv605Lines(width, depthCode_, resolution_, depthCode_ != 3, w_[6]);
}

int Qv605::FirstColourPixel(int side) const {
  if (depthCode_ != 3) return FirstValidPixel(side);
  int best = 32;
  for (int pair = 0; pair < 3; ++pair) {
    const auto& white = tables_[static_cast<size_t>(side * 6 + pair * 2)];
    const auto& black = tables_[static_cast<size_t>(side * 6 + pair * 2 + 1)];
    for (size_t i = 0; i < 32 && i < white.size() && i < black.size(); ++i) {
      if (white[i] > black[i] + 64) {
        best = std::min(best, static_cast<int>(i));
        break;
      }
    }
  }
  return best;
}

int Qv605::ReadSide(int side, const LineGeometry& g, int width) {
  const auto s = static_cast<size_t>(side);
  const int factor = depthCode_ == 3 && resolution_ == 200 ? 2 : 1;
  // Counts beyond what opcode 11 carries, or short of whole lines, are no image.
  const uint64_t total = uint64_t{g.bytesPerLine} * g.lines;
  if (total == 0 || total > ImageCap()) return 0;
  buffer_.assign(static_cast<size_t>(total) * static_cast<size_t>(factor) + 100, 0);
  int received = 0;
  lastRequest_ = static_cast<uint32_t>(total);
  // Colour goes out at 100 lines per inch, its width at the asked resolution.
  const int readResolution = resolution_;
  if (!commands_.ReadImage(buffer_.data(), static_cast<uint32_t>(total), &received, side + 1, readResolution,
                           depthCode_, 0)) {
    return 0;
  }
  uint32_t lines = std::min(g.lines, static_cast<uint32_t>(std::max(received, 0)) / g.bytesPerLine);
  if (lines == 0) return 0;
  if (factor == 2) {
    // Every line twice, from the last back, so the buffer grows in place.
    for (uint32_t i = lines; i-- > 0;) {
      uint8_t* from = buffer_.data() + size_t{i} * g.bytesPerLine;
      std::memmove(buffer_.data() + size_t{2 * i + 1} * g.bytesPerLine, from, g.bytesPerLine);
      std::memmove(buffer_.data() + size_t{2 * i} * g.bytesPerLine, from, g.bytesPerLine);
    }
    lines *= 2;
  }
  const int bits = depthCode_ == 0 ? 1 : depthCode_ == 1 ? 4 : depthCode_ == 2 ? 8 : 24;
  const int planeBytes = depthCode_ == 3 ? static_cast<int>(g.bytesPerLine / 3) : static_cast<int>(g.bytesPerLine);
  const int pixels = depthCode_ == 3 ? planeBytes : planeBytes * 8 / bits;
  CLoadScanLines& l = colourLoaders_[s];
  SetImageType(side);
  l.SetPixelsPerLine(pixels);
  l.SetBytesPerRawLine(static_cast<int>(g.bytesPerLine));
  l.SetNumberOfLines(static_cast<int>(lines));
  l.SetLineBuffer(buffer_.data(), buffer_.size());
  int first = FirstColourPixel(side);
  int w = width;
  if (readResolution == 100) {
    first /= 2;
    w /= 2;
  }
  first += 1;
  const int last = std::min(first + w - 1, pixels);
  if (last < first || !l.BuildImage(1, first, last) || l.GetDibPtr() == nullptr) return 0;
  double x = module(side).drop / 1000000.0;
  if (depthCode_ != 3 && resolution_ == 100) x *= 2;
  CorrectIntensityDrop(l, x, side != 0);
  return 1;
}

// ---- Configuration ----

int Qv605::GetCfgData(int type, void* buffer, int length) {
  if (type >= kFirstColourType && type < kFirstColourType + kColourTables) {
    const auto i = static_cast<size_t>(type - kFirstColourType);
    if (!ReadSection(static_cast<uint8_t>(kFirstColourBlock + i))) return 0;
    if (static_cast<size_t>(std::max(length, 0)) < tables_[i].size()) return 0;
    std::memcpy(buffer, tables_[i].data(), tables_[i].size());
    return 1;
  }
  if (type == kLightType) {
    if (!ReadSection(kLightBlock)) return 0;
    std::memcpy(buffer, light_.data(), std::min<size_t>(static_cast<size_t>(std::max(length, 0)), 6));
    return 1;
  }
  return Qv600::GetCfgData(type, buffer, length);
}

int Qv605::SetCfgData(int type, const void* data, int length) {
  if (type >= kFirstColourType && type < kFirstColourType + kColourTables) {
    const auto i = static_cast<size_t>(type - kFirstColourType);
    if (static_cast<size_t>(std::max(length, 0)) < tables_[i].size()) return 0;
    std::memcpy(tables_[i].data(), data, tables_[i].size());
    return 1;  // reaches the scanner with the next store
  }
  if (type == kLightType) {
    std::memcpy(light_.data(), data, std::min<size_t>(static_cast<size_t>(std::max(length, 0)), 6));
    return WriteSection(kLightBlock);
  }
  return Qv600::SetCfgData(type, data, length);
}

int Qv605::TransferMechSections(int write) {
  int ok = 1;
  if (write) {
    for (uint8_t b : {kFrontModule, kRearModule, kFrontAdc, kRearAdc, kLightBlock}) ok &= WriteSection(b);
    for (uint8_t b = 68; b <= 71; ++b) ok &= WriteBulkSection(b);
    for (uint8_t b = kMotorBlock; b <= kPrinterPosBlock; ++b) ok &= WriteSection(b);
  } else {
    for (uint8_t b = kFrontModule; b <= kPrinterPosBlock; ++b) ok &= ReadSection(b);
    ok &= ReadSection(kLightBlock);
    for (int t = 0; t < kColourTables; ++t) ok &= ReadSection(static_cast<uint8_t>(kFirstColourBlock + t));
  }
  return ok;
}

int Qv605::SelectMechImage(int flag) {
  if (!commands_.SelectMechImage(flag)) return 0;
  if (flag != 1) return 1;
  plat::Sleep(kBeforeTableLoadMs);
  Qv605Commands& c = commands605();
  const size_t length = std::max<size_t>(module(0).valid, module(1).valid);
  if (!c.OpenTableLoad(0) || !c.StartTableData(0)) return 0;
  for (auto& table : tables_) {
    std::vector<uint8_t> data(length, 0);
    std::copy_n(table.begin(), std::min(length, table.size()), data.begin());
    if (!c.SendTableData(data.data(), data.size())) return 0;
  }
  return c.CloseTableLoad(0);
}

size_t Qv605::BuildDeviceBlock(uint8_t block, std::span<uint8_t> out) {
  std::vector<uint8_t> d;
  if (block == kLightBlock) {
    d.assign(light_.begin(), light_.end());
  } else if (block >= kFirstColourBlock && block < kFirstColourBlock + kColourTables) {
    d = tables_[block - kFirstColourBlock];
  } else {
    return Qv600::BuildDeviceBlock(block, out);
  }
  if (out.size() < kBlockHead + d.size()) return 0;
  out[0] = block;
  out[1] = 0;
  bytes::PutBe16(&out[2], static_cast<uint16_t>(d.size()));
  std::copy(d.begin(), d.end(), out.begin() + kBlockHead);
  return kBlockHead + d.size();
}

int Qv605::ParseDeviceBlock(std::span<const uint8_t> reply) {
  if (reply.size() < kBlockHead) return 0;
  const uint8_t block = reply[0];
  const size_t length = std::min<size_t>(bytes::GetBe16(&reply[2]), reply.size() - kBlockHead);
  const uint8_t* d = reply.data() + kBlockHead;
  if (block == kLightBlock) {
    if (length < 6) return 0;
    std::copy_n(d, 6, light_.begin());
    return 1;
  }
  if (block >= kFirstColourBlock && block < kFirstColourBlock + kColourTables) {
    auto& table = tables_[block - kFirstColourBlock];
    table.resize(TableLength(block - kFirstColourBlock));
    // A table that arrived shorter than the module's pixels is no table.
    if (length < table.size()) return 0;
    std::copy_n(d, table.size(), table.begin());
    return 1;
  }
  const int result = Qv600::ParseDeviceBlock(reply);
  if (result && (block == kFrontModule || block == kRearModule)) {
    const size_t pixels = std::min<size_t>(module(block - kFrontModule).valid, kMaxSensorPixels);
    pixelTables_[block == kFrontModule ? 0 : 2].resize(pixels);
    pixelTables_[block == kFrontModule ? 1 : 3].resize(pixels);
  }
  return result;
}

int Qv605::LoadMechConfigFromIni(const char* file) {
  if (!CommonMechIni(file, false)) return 0;
  const std::string name = later::CurrentDirectoryName(file);
  auto get = [&](const char* section, const char* key, int def) {
    return plat::GetPrivateProfileIntA(section, key, def, name.c_str());
  };
  const char* sensors[2] = {"FRONT IMG SENSOR", "REAR IMG SENSOR"};
  const char* adcs[2] = {"ADC FRONT", "ADC REAR"};
  for (int side = 0; side < 2; ++side) {
    ModuleRecord& m = modules_[static_cast<size_t>(side)];
    int type = get(sensors[side], "Type", 1);
    if (static_cast<unsigned>(type) > 7) type = 1;
    bool direction = get(sensors[side], "Dir TopDown", side == 0 ? 1 : 0) != 0;
    if (type == 0) {
      type = 1;
      direction = side == 0;
    }
    m.flags = static_cast<uint16_t>(type | (direction ? 8 : 0));
    int total = get(sensors[side], "N. total pixel", kDefaultPixels);
    if (total < 0 || total > kMaxSensorPixels) total = kDefaultPixels;
    int first = get(sensors[side], "First pixel #", 0);
    if (first < 0 || first > total) first = 0;
    int valid = get(sensors[side], "N. valid pixel", kDefaultPixels);
    if (valid < 0 || first + valid > total) valid = total - first;
    m.pixels = static_cast<uint16_t>(total);
    m.first = static_cast<uint16_t>(first);
    m.valid = static_cast<uint16_t>(valid);
    m.drop = static_cast<uint16_t>(get(sensors[side], "XIntensityDrop", 0));
    for (size_t t = 0; t < 2; ++t) pixelTables_[static_cast<size_t>(side) * 2 + t].resize(static_cast<size_t>(valid));
    for (int t = 0; t < 6; ++t) tables_[static_cast<size_t>(side * 6 + t)].resize(static_cast<size_t>(valid));

    auto& adc = adc_[static_cast<size_t>(side)];
    adc[0] = 0x33;
    adc[7] = 0;
    const char* gains[4] = {"Grayscale Gain", "Color R Gain", "Color G Gain", "Color B Gain"};
    const char* offsets[4] = {"Grayscale Offset", "Color R Offset", "Color G Offset", "Color B Offset"};
    const int gainBytes[4] = {4, 9, 5, 6};
    const int offsetBytes[4] = {1, 8, 2, 3};
    for (int k = 0; k < 4; ++k) {
      SetAdcGain(side, get(adcs[side], gains[k], 16), {gainBytes[k]});
      SetAdcOffset(side, get(adcs[side], offsets[k], 0), {offsetBytes[k]});
    }
  }
  const char* lights[6] = {"Front R coeff.", "Front G coeff.", "Front B coeff.",
                           "Rear R coeff.",  "Rear G coeff.",  "Rear B coeff."};
  for (size_t i = 0; i < 6; ++i) {
    const int v = get("LIGHT", lights[i], 255);
    light_[i] = static_cast<uint8_t>(static_cast<unsigned>(v) > 255 ? 255 : v);
  }
  return 1;
}

int Qv605::SaveMechConfigToIni(const char* file) {
  return CommonMechIni(file, true, [&](plat::IniDocument& doc) {
    const char* sensors[2] = {"FRONT IMG SENSOR", "REAR IMG SENSOR"};
    const char* adcs[2] = {"ADC FRONT", "ADC REAR"};
    for (int side = 0; side < 2; ++side) {
      const ModuleRecord& m = module(side);
      doc.Set(sensors[side], "Type", std::to_string(m.flags & 7));
      doc.Set(sensors[side], "Dir TopDown", std::to_string((m.flags >> 3) & 1));
      doc.Set(sensors[side], "N. total pixel", std::to_string(m.pixels));
      doc.Set(sensors[side], "First pixel #", std::to_string(m.first));
      doc.Set(sensors[side], "N. valid pixel", std::to_string(m.valid));
      doc.Set(sensors[side], "XIntensityDrop", std::to_string(m.drop));
      const char* gains[4] = {"Grayscale Gain", "Color R Gain", "Color G Gain", "Color B Gain"};
      const char* offsets[4] = {"Grayscale Offset", "Color R Offset", "Color G Offset", "Color B Offset"};
      const int gainBytes[4] = {4, 9, 5, 6};
      const int offsetBytes[4] = {1, 8, 2, 3};
      for (int k = 0; k < 4; ++k) {
        doc.Set(adcs[side], gains[k], std::to_string(AdcGain(side, gainBytes[k])));
        doc.Set(adcs[side], offsets[k], std::to_string(AdcOffset(side, offsetBytes[k])));
      }
    }
    const char* lights[6] = {"Front R coeff.", "Front G coeff.", "Front B coeff.",
                             "Rear R coeff.",  "Rear G coeff.",  "Rear B coeff."};
    for (size_t i = 0; i < 6; ++i) doc.Set("LIGHT", lights[i], std::to_string(light_[i]));
  });
}

}  // namespace qv6
