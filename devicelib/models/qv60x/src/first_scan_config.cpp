// The first series' scan configuration key table.
#include "qv6/qv60x/first_scan_config.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/ini.h"
#include "platform/paths.h"
#include "qv6/later/scan_config.h"

namespace qv6::first {
namespace {

enum class Rule {
  kFlag,        // non-zero is 1
  kAtMost2,     // outside 0..2 becomes 2
  kPercent,     // outside 0..100 becomes 100
  kGreyLevels,  // 2 -> code 0, 256 -> code 2, any other -> code 1
  kThreshold,   // outside 0..15 becomes 8
  kResolution,  // 100 stays, anything else is 200
  kBottom,      // outside 0..2200 becomes 0
  kTop,         // outside 0..2200 becomes 2200
  kContrast,    // outside 50..150 becomes 100
  kAuxContrast, // outside 50..200 becomes 100
  kWord,        // 16 bits
  kSevenElse4,  // above 7 becomes 4
  kBaud,        // a standard rate, else 38400
  kParity,      // 0..2, else 0
  kCharLen,     // 7 stays, anything else is 8
  kStopBits,    // 1 stays, anything else is 2
};

// Range checks compare as unsigned, so negative values fall back too.
int Normalise(Rule rule, int v) {
  auto above = [v](int limit) { return static_cast<unsigned>(v) > static_cast<unsigned>(limit); };
  switch (rule) {
    case Rule::kFlag:
      return v != 0 ? 1 : 0;
    case Rule::kAtMost2:
      return above(2) ? 2 : v;
    case Rule::kPercent:
      return above(100) ? 100 : v;
    case Rule::kGreyLevels:
      return v == 2 ? 0 : v == 256 ? 2 : 1;
    case Rule::kThreshold:
      return above(15) ? 8 : v;
    case Rule::kResolution:
      return v == 100 ? 100 : 200;
    case Rule::kBottom:
      return above(2200) ? 0 : v;
    case Rule::kTop:
      return above(2200) ? 2200 : v;
    case Rule::kContrast:
      return v < 50 || v > 150 ? 100 : v;
    case Rule::kAuxContrast:
      return v < 50 || v > 200 ? 100 : v;
    case Rule::kWord:
      return static_cast<int16_t>(v);
    case Rule::kSevenElse4:
      return above(7) ? 4 : v;
    case Rule::kBaud:
      for (int rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
        if (v == rate) return v;
      }
      return 38400;
    case Rule::kParity:
      return above(2) ? 0 : v;
    case Rule::kCharLen:
      return v == 7 ? 7 : 8;
    case Rule::kStopBits:
      return v == 1 ? 1 : 2;
  }
  return v;
}

int Written(Rule rule, int v) {
  if (rule == Rule::kGreyLevels) return v == 0 ? 2 : v == 2 ? 256 : 16;
  return v;
}

// Where a key's value lives: a side's field or a field of the whole configuration.
enum class Where { kFront, kRear, kAuxFront, kAuxRear, kGlobal };

struct Key {
  std::string name;
  int defaultValue;
  Rule rule;
  Where where;
  int SideConfig::*side = nullptr;
  int ScanConfig::*global = nullptr;
  bool written = true;
};

struct SideKey {
  const char* suffix;
  int defaultValue;
  Rule rule;
  int SideConfig::*member;
};

constexpr std::array<SideKey, 13> kMainSideKeys = {{
    {"Enable", 1, Rule::kFlag, &SideConfig::enable},
    {"Color", 0, Rule::kFlag, &SideConfig::color},
    {"RED Intensity", 100, Rule::kPercent, &SideConfig::red},
    {"GREEN Intensity", 100, Rule::kPercent, &SideConfig::green},
    {"BLU Intensity", 100, Rule::kPercent, &SideConfig::blue},
    {"GrayLevels", 256, Rule::kGreyLevels, &SideConfig::greyCode},
    {"BW Threshold", 8, Rule::kThreshold, &SideConfig::threshold},
    {"Resolution", 200, Rule::kResolution, &SideConfig::resolution},
    {"Bottom", 0, Rule::kBottom, &SideConfig::bottom},
    {"Top", 2200, Rule::kTop, &SideConfig::top},
    {"Contrast", 100, Rule::kContrast, &SideConfig::contrast},
    {"Scan IniPos", 0, Rule::kWord, &SideConfig::iniPos},
    {"Scan EndPos", 0, Rule::kWord, &SideConfig::endPos},
}};

// The auxiliary sides' keys that are read but not written (their values come from the main sides).
constexpr std::array<SideKey, 6> kAuxReadOnlyKeys = {{
    {"GrayLevels", 256, Rule::kGreyLevels, &SideConfig::greyCode},
    {"Resolution", 200, Rule::kResolution, &SideConfig::resolution},
    {"Bottom", 0, Rule::kBottom, &SideConfig::bottom},
    {"Top", 2200, Rule::kTop, &SideConfig::top},
    {"Scan IniPos", 0, Rule::kWord, &SideConfig::iniPos},
    {"Scan EndPos", 0, Rule::kWord, &SideConfig::endPos},
}};

const std::vector<Key>& Keys() {
  static const std::vector<Key> keys = [] {
    std::vector<Key> k;
    auto global = [&k](const char* name, int def, Rule rule, int ScanConfig::*m, bool written = true) {
      k.push_back(Key{name, def, rule, Where::kGlobal, nullptr, m, written});
    };
    auto side = [&k](const char* prefix, Where where, const SideKey& s, bool written = true) {
      k.push_back(Key{std::string(prefix) + s.suffix, s.defaultValue, s.rule, where, s.member, nullptr, written});
    };
    global("CROP_IMAGE Enable", 1, Rule::kFlag, &ScanConfig::cropEnable);
    for (const SideKey& s : kMainSideKeys) side("FRONT_IMG ", Where::kFront, s);
    for (const SideKey& s : kMainSideKeys) side("REAR_IMG ", Where::kRear, s);
    global("MICR Enable", 1, Rule::kFlag, &ScanConfig::micrEnable);
    global("MICR Font", 1, Rule::kAtMost2, &ScanConfig::micrFont);
    global("MICR Spaces", 2, Rule::kAtMost2, &ScanConfig::micrSpaces);
    global("MICR Save Samples", 0, Rule::kFlag, &ScanConfig::micrSaveSamples, false);
    global("PRINTER Enable", 0, Rule::kFlag, &ScanConfig::printerEnable);
    global("PRINTER Intensity", 4, Rule::kSevenElse4, &ScanConfig::printerIntensity);
    global("PRINTER Density", 4, Rule::kSevenElse4, &ScanConfig::printerDensity);
    global("RS232 BaudeRate", 38400, Rule::kBaud, &ScanConfig::baudRate);
    global("RS232 Parity", 0, Rule::kParity, &ScanConfig::parity);
    global("RS232 CharLen", 8, Rule::kCharLen, &ScanConfig::charLen);
    global("RS232 StopBits", 2, Rule::kStopBits, &ScanConfig::stopBits);
    const SideKey enable{"Enable", 1, Rule::kFlag, &SideConfig::enable};
    side("AUXFRONT_IMG ", Where::kAuxFront, enable);
    side("AUXREAR_IMG ", Where::kAuxRear, enable);
    for (const SideKey& s : kAuxReadOnlyKeys) side("AUXFRONT_IMG ", Where::kAuxFront, s, false);
    for (const SideKey& s : kAuxReadOnlyKeys) side("AUXREAR_IMG ", Where::kAuxRear, s, false);
    const SideKey contrast{"Contrast", 100, Rule::kAuxContrast, &SideConfig::contrast};
    side("AUXFRONT_IMG ", Where::kAuxFront, contrast);
    side("AUXREAR_IMG ", Where::kAuxRear, contrast);
    return k;
  }();
  return keys;
}

int& Field(ScanConfig& c, const Key& k) {
  switch (k.where) {
    case Where::kFront:
      return c.front.*k.side;
    case Where::kRear:
      return c.rear.*k.side;
    case Where::kAuxFront:
      return c.auxFront.*k.side;
    case Where::kAuxRear:
      return c.auxRear.*k.side;
    case Where::kGlobal:
      break;
  }
  return c.*k.global;
}

constexpr const char* kFontKey = "PRINTER Font 12dot";
constexpr size_t kFontMax = 1024;
// The font key sits behind "PRINTER Density" in the written file.
constexpr const char* kFontAfter = "PRINTER Density";

const char* SectionOrDefault(const char* section) {
  return section != nullptr && *section != '\0' ? section : kDefaultSection;
}

void ScanAlike(SideConfig& to, const SideConfig& from) {
  to.greyCode = from.greyCode;
  to.resolution = from.resolution;
  to.bottom = from.bottom;
  to.top = from.top;
  to.iniPos = from.iniPos;
  to.endPos = from.endPos;
}

void TakeColours(SideConfig& aux, const SideConfig& main) {
  aux.color = main.color;
  aux.red = main.red;
  aux.green = main.green;
  aux.blue = main.blue;
  aux.threshold = main.threshold;
}

}  // namespace

bool LoadScanConfig(const char* file, const char* section, ScanConfig* config) {
  if (file == nullptr || *file == '\0') return false;
  const std::string name = later::CurrentDirectoryName(file);
  std::FILE* f = plat::OpenFile(name, "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  const char* s = SectionOrDefault(section);
  ScanConfig c;
  for (const Key& k : Keys()) {
    Field(c, k) = Normalise(k.rule, plat::GetPrivateProfileIntA(s, k.name.c_str(), k.defaultValue, name.c_str()));
  }
  std::string font(kFontMax, '\0');
  font.resize(plat::GetPrivateProfileStringA(s, kFontKey, "", font.data(), static_cast<uint32_t>(font.size()),
                                             name.c_str()));
  c.printerFont = font;
  for (SideConfig* side : {&c.rear, &c.auxFront, &c.auxRear}) ScanAlike(*side, c.front);
  TakeColours(c.auxFront, c.front);
  TakeColours(c.auxRear, c.rear);
  *config = c;
  return true;
}

bool SaveScanConfig(const char* file, const char* section, const ScanConfig& config) {
  const std::string name = later::CurrentDirectoryName(file);
  const char* s = SectionOrDefault(section);
  ScanConfig c = config;
  return plat::EditProfile(name.c_str(), [&](plat::IniDocument& doc) {
    for (const Key& k : Keys()) {
      if (!k.written) continue;
      doc.Set(s, k.name, std::to_string(Written(k.rule, Field(c, k))));
      if (k.name == kFontAfter) doc.Set(s, kFontKey, c.printerFont);
    }
  });
}

}  // namespace qv6::first
