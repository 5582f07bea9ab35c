// The scan configuration's key table, normalisation and write-back.
#include "qv6/later/scan_config.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/ini.h"
#include "platform/paths.h"

namespace qv6::later {
namespace {

enum class Rule {
  kFlag,          // non-zero = 1
  kAtMost2,       // outside 0..2 becomes 2
  kPercent,       // outside 0..100 becomes 100
  kGreyLevels,    // 2 -> code 0, 256 -> code 2, any other -> code 1
  kThreshold,     // outside 0..15 becomes 8
  kResolution,    // 100 stays, anything else is 200 (300 dpi sensor: 100 and 200 stay, else 300)
  kBottom,        // outside 0..2200 becomes 0
  kTop,           // outside 0..2200 becomes 2200
  kContrast,      // outside 50..150 becomes 100
  kSevenElse4,    // above 7 becomes 4
  kBaud,          // one of the standard rates, else 9600
  kZeroTo2Else0,  // 0..2, anything else 0
  kCharLen,       // 7 stays, anything else 8
  kStopBits,      // 1 or 2, anything else 1
  kDelay,         // above 1000 becomes 1000
  kByte,          // 8 bits
  kOffset255,     // outside 1..255 becomes 25
  kTrip1000,      // outside 1..1000 becomes 125
  kAuxContrast,   // outside 50..200 becomes 100
  kWord,          // 16 bits
};

int Normalise(Rule rule, int v, const ScanConfigRules& rules = {}) {
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
      if (rules.sensor300) return v == 100 || v == 200 ? v : 300;
      return v == 100 ? 100 : 200;
    case Rule::kBottom:
      return above(2200) ? 0 : v;
    case Rule::kTop:
      return above(2200) ? 2200 : v;
    case Rule::kContrast:
      return v < 50 || v > 150 ? 100 : v;
    case Rule::kSevenElse4:
      return above(7) ? 4 : v;
    case Rule::kBaud:
      for (int rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
        if (v == rate) return v;
      }
      return rules.baudFallback;
    case Rule::kZeroTo2Else0:
      return above(2) ? 0 : v;
    case Rule::kCharLen:
      return v == 7 ? 7 : 8;
    case Rule::kStopBits:
      if (rules.stopBitsTwo) return v == 1 ? 1 : 2;
      return v == 1 || v == 2 ? v : 1;
    case Rule::kDelay:
      return above(1000) ? 1000 : v;
    case Rule::kByte:
      return v & 0xFF;
    case Rule::kOffset255:
      return v < 1 || v > 255 ? 25 : v;
    case Rule::kTrip1000:
      return v < 1 || v > 1000 ? 125 : v;
    case Rule::kAuxContrast:
      return v < 50 || v > 200 ? 100 : v;
    case Rule::kWord:
      return static_cast<int16_t>(v);
  }
  return v;
}

// The value written back for a stored one.
int Written(Rule rule, int v) {
  if (rule == Rule::kGreyLevels) return v == 0 ? 2 : v == 2 ? 256 : 16;
  return v;
}

struct SideKey {
  const char* suffix;
  int defaultValue;
  Rule rule;
  int SideConfig::*member;
};

constexpr std::array<SideKey, 11> kSideKeys = {{
    {"Enable", 1, Rule::kFlag, &SideConfig::enable},
    {"Color", 0, Rule::kAtMost2, &SideConfig::color},
    {"RED Intensity", 100, Rule::kPercent, &SideConfig::red},
    {"GREEN Intensity", 100, Rule::kPercent, &SideConfig::green},
    {"BLU Intensity", 100, Rule::kPercent, &SideConfig::blue},
    {"GrayLevels", 256, Rule::kGreyLevels, &SideConfig::greyCode},
    {"BW Threshold", 8, Rule::kThreshold, &SideConfig::threshold},
    {"Resolution", 200, Rule::kResolution, &SideConfig::resolution},
    {"Bottom", 0, Rule::kBottom, &SideConfig::bottom},
    {"Top", 2200, Rule::kTop, &SideConfig::top},
    {"Contrast", 100, Rule::kContrast, &SideConfig::contrast},
}};

struct Key {
  const char* name;
  int defaultValue;
  Rule rule;
  int ScanConfig::*member;
  bool writtenBack;
};

constexpr std::array<Key, 16> kKeys = {{
    {"MICR Enable", 1, Rule::kFlag, &ScanConfig::micrEnable, true},
    {"MICR Font", 1, Rule::kAtMost2, &ScanConfig::micrFont, true},
    {"MICR Spaces", 2, Rule::kAtMost2, &ScanConfig::micrSpaces, true},
    {"MICR Save Samples", 0, Rule::kFlag, &ScanConfig::micrSaveSamples, false},
    {"PRINTER Enable", 0, Rule::kFlag, &ScanConfig::printerEnable, true},
    {"PRINTER Intensity", 4, Rule::kSevenElse4, &ScanConfig::printerIntensity, true},
    {"PRINTER Density", 4, Rule::kSevenElse4, &ScanConfig::printerDensity, true},
    {"RS232 BaudeRate", 38400, Rule::kBaud, &ScanConfig::baudRate, true},
    {"RS232 Parity", 0, Rule::kZeroTo2Else0, &ScanConfig::parity, true},
    {"RS232 CharLen", 8, Rule::kCharLen, &ScanConfig::charLen, true},
    {"RS232 StopBits", 2, Rule::kStopBits, &ScanConfig::stopBits, true},
    {"DOUBLE FEED Enable", 1, Rule::kAtMost2, &ScanConfig::doubleFeedEnable, true},
    {"DOUBLE FEED Delay", 5, Rule::kDelay, &ScanConfig::doubleFeedDelay, true},
    {"Feed Solenoid Mode", 0, Rule::kByte, &ScanConfig::feedSolenoidMode, true},
    {"SORTER Enable", 0, Rule::kFlag, &ScanConfig::sorterEnable, true},
    {"CROP_IMAGE Enable", 1, Rule::kFlag, &ScanConfig::cropEnable, true},
}};

constexpr std::array<Key, 3> kPhotoOutKeys = {{
    {"PHOTO OUT Enable", 1, Rule::kFlag, &ScanConfig::photoOutEnable, false},
    {"PHOTO OUT Threshold Offset", 25, Rule::kOffset255, &ScanConfig::photoOutOffset, true},
    {"PHOTO OUT Trip Pixels", 125, Rule::kTrip1000, &ScanConfig::photoOutTrip, true},
}};
constexpr const char* kSolenoidKey = "Feed Solenoid Mode";
constexpr const char* kCropKey = "CROP_IMAGE Enable";
constexpr const char* kPrinterLastKey = "PRINTER Density";
constexpr const char* kPhotoOutBefore = "SORTER Enable";

bool IsFeedKey(const Key& k) {
  return k.member == &ScanConfig::doubleFeedEnable || k.member == &ScanConfig::doubleFeedDelay ||
         k.member == &ScanConfig::feedSolenoidMode || k.member == &ScanConfig::sorterEnable;
}

constexpr std::array<SideKey, 2> kPositionKeys = {{
    {"Scan IniPos", 0, Rule::kWord, &SideConfig::iniPos},
    {"Scan EndPos", 0, Rule::kWord, &SideConfig::endPos},
}};

// The auxiliary sides' own keys; their scan geometry keys are not read, as the front's values replace them.
constexpr std::array<SideKey, 2> kAuxOwnKeys = {{
    {"Enable", 1, Rule::kFlag, &SideConfig::enable},
    {"Contrast", 100, Rule::kAuxContrast, &SideConfig::contrast},
}};

constexpr const char* kFontKey = "PRINTER Font 12dot";
constexpr const char* kFrankerModeKey = "FrankerMode";
constexpr const char* kFrankerAllowanceKey = "FrankerSmartModeBadQtyAllowed";
constexpr const char* kFrankerCommentKey = "FrankerComment";
constexpr const char* kFrankerComment = "Mode:0=off,1=always. Margin & Length in units of 0.1mm.";
constexpr const char* kFrankerAfter = "Feed Solenoid Mode";
constexpr const char* kScanModeKey = "SCAN Mode";
constexpr const char* kMicrGainKey = "MICR Gain (x0.01)";
constexpr const char* kMicrAgcKey = "MICR AGC";
constexpr const char* kGainAfter = "MICR Spaces";
constexpr const char* kScanModeFrankerComment = "Mode:0=off,1=always,2=smart/MICR,3=ext";

// Keys a file with the scan-mode keys neither reads nor writes.
bool LeftOutWithScanMode(const Key& k) {
  return k.member == &ScanConfig::baudRate || k.member == &ScanConfig::parity || k.member == &ScanConfig::charLen ||
         k.member == &ScanConfig::stopBits || k.member == &ScanConfig::doubleFeedEnable ||
         k.member == &ScanConfig::doubleFeedDelay || k.member == &ScanConfig::feedSolenoidMode ||
         k.member == &ScanConfig::sorterEnable;
}

const char* SectionOrDefault(const char* section) {
  return section != nullptr && *section != '\0' ? section : kDefaultScanSection;
}

std::string SideKeyName(bool front, const SideKey& k) {
  return std::string(front ? "FRONT_IMG " : "REAR_IMG ") + k.suffix;
}

std::string AuxKeyName(bool front, const SideKey& k) {
  return std::string(front ? "AUXFRONT_IMG " : "AUXREAR_IMG ") + k.suffix;
}

// Keys of the whole configuration a series neither reads nor writes.
bool Skipped(const Key& k, const ScanConfigRules& rules) {
  if (rules.photoOut && std::string_view(k.name) == kSolenoidKey) return true;
  if (rules.noFeedSolenoid && k.member == &ScanConfig::feedSolenoidMode) return true;
  if (rules.scanModeKeys && LeftOutWithScanMode(k)) return true;
  return !rules.feedKeys && IsFeedKey(k);
}

// A side scanned like `from` in resolution, grey levels, bottom, top and scan positions.
void ScanAlike(SideConfig& to, const SideConfig& from) {
  to.resolution = from.resolution;
  to.greyCode = from.greyCode;
  to.bottom = from.bottom;
  to.top = from.top;
  to.iniPos = from.iniPos;
  to.endPos = from.endPos;
}

}  // namespace

std::string CurrentDirectoryName(const char* file) {
  std::string name = file != nullptr ? file : "";
  bool absolute =
      (!name.empty() && (name[0] == '\\' || name[0] == '/')) || name.find(':') != std::string::npos;
  return absolute ? name : ".\\" + name;
}

bool LoadScanConfig(const char* file, const char* section, ScanConfig* config, const ScanConfigRules& rules) {
  if (file == nullptr || *file == '\0') return false;
  std::string name = CurrentDirectoryName(file);
  std::FILE* f = plat::OpenFile(name, "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  const char* s = SectionOrDefault(section);
  ScanConfig c;
  for (bool front : {true, false}) {
    SideConfig& side = front ? c.front : c.rear;
    for (const SideKey& k : kSideKeys) {
      const int def = k.rule == Rule::kResolution && rules.sensor300 ? 300 : k.defaultValue;
      int v = plat::GetPrivateProfileIntA(s, SideKeyName(front, k).c_str(), def, name.c_str());
      const bool flag = rules.photoOut || rules.colourFlag;
      const Rule rule = flag && k.member == &SideConfig::color ? Rule::kFlag : k.rule;
      side.*k.member = Normalise(rule, v, rules);
      if (k.member == &SideConfig::color && rules.colourTwoOnly) side.color = v != 0 ? 2 : 0;
    }
    for (const SideKey& k : kPositionKeys) {
      if (!rules.scanPositions) break;
      const int v = plat::GetPrivateProfileIntA(s, SideKeyName(front, k).c_str(), k.defaultValue, name.c_str());
      side.*k.member = Normalise(k.rule, v);
    }
  }
  for (const Key& k : kKeys) {
    if (Skipped(k, rules)) continue;
    c.*k.member =
        Normalise(k.rule, plat::GetPrivateProfileIntA(s, k.name, k.defaultValue, name.c_str()), rules);
  }
  for (bool front : {true, false}) {
    if (!rules.auxSides) break;
    SideConfig& aux = front ? c.auxFront : c.auxRear;
    for (const SideKey& k : kAuxOwnKeys) {
      const int v = plat::GetPrivateProfileIntA(s, AuxKeyName(front, k).c_str(), k.defaultValue, name.c_str());
      aux.*k.member = Normalise(k.rule, v, rules);
    }
  }
  if (rules.photoOut) {
    for (const Key& k : kPhotoOutKeys) {
      c.*k.member = Normalise(k.rule, plat::GetPrivateProfileIntA(s, k.name, k.defaultValue, name.c_str()));
    }
  }
  if (rules.readFranker) {
    // Eight bits each, as read.
    c.franker.mode = static_cast<uint8_t>(plat::GetPrivateProfileIntA(s, kFrankerModeKey, 0, name.c_str()));
    c.franker.allowance =
        static_cast<uint8_t>(plat::GetPrivateProfileIntA(s, kFrankerAllowanceKey, 0, name.c_str()));
  }
  if (rules.scanModeKeys) {
    c.scanMode = std::min(plat::GetPrivateProfileIntA(s, kScanModeKey, 0, name.c_str()), 3);
    // The gain is taken as unsigned: a negative one is far above the range.
    c.micrGain = std::clamp<uint32_t>(
        static_cast<uint32_t>(plat::GetPrivateProfileIntA(s, kMicrGainKey, 100, name.c_str())), 10, 1000);
    c.micrAgc = plat::GetPrivateProfileIntA(s, kMicrAgcKey, 0, name.c_str()) != 0 ? 1 : 0;
  }
  std::string font(rules.fontChars + 1, '\0');
  uint32_t n = plat::GetPrivateProfileStringA(s, kFontKey, "", font.data(),
                                              static_cast<uint32_t>(font.size()), name.c_str());
  font.resize(n);
  c.printerFont = font;
  // Both sides are scanned alike; the auxiliary sides too, with their main side's colours.
  ScanAlike(c.rear, c.front);
  if (rules.auxSides) {
    for (SideConfig* aux : {&c.auxFront, &c.auxRear}) {
      const SideConfig& main = aux == &c.auxFront ? c.front : c.rear;
      ScanAlike(*aux, c.front);
      aux->color = main.color;
      aux->red = main.red;
      aux->green = main.green;
      aux->blue = main.blue;
      aux->threshold = main.threshold;
    }
  }
  *config = c;
  return true;
}

bool SaveScanConfig(const char* file, const char* section, const ScanConfig& config,
                    const ScanConfigRules& rules) {
  std::string name = CurrentDirectoryName(file);
  const char* s = SectionOrDefault(section);
  return plat::EditProfile(name.c_str(), [&](plat::IniDocument& doc) {
    if (rules.cropFirst) doc.Set(s, kCropKey, std::to_string(config.cropEnable));
    if (rules.scanModeKeys) doc.Set(s, kScanModeKey, std::to_string(config.scanMode));
    for (bool front : {true, false}) {
      const SideConfig& side = front ? config.front : config.rear;
      for (const SideKey& k : kSideKeys) {
        doc.Set(s, SideKeyName(front, k), std::to_string(Written(k.rule, side.*k.member)));
      }
      for (const SideKey& k : kPositionKeys) {
        if (rules.scanPositions) doc.Set(s, SideKeyName(front, k), std::to_string(side.*k.member));
      }
    }
    for (const Key& k : kKeys) {
      if (Skipped(k, rules) || (rules.cropFirst && std::string_view(k.name) == kCropKey)) continue;
      if (rules.photoOut && std::string_view(k.name) == kPhotoOutBefore) {
        for (const Key& p : kPhotoOutKeys) {
          if (p.writtenBack) doc.Set(s, p.name, std::to_string(config.*p.member));
        }
      }
      const bool written =
          k.writtenBack || (rules.saveSamplesWritten && k.member == &ScanConfig::micrSaveSamples);
      if (written) doc.Set(s, k.name, std::to_string(Written(k.rule, config.*k.member)));
      if (rules.fontAfterPrinter && std::string_view(k.name) == kPrinterLastKey) {
        doc.Set(s, kFontKey, config.printerFont);
      }
      if (rules.writeFranker && std::string_view(k.name) == kFrankerAfter) {
        doc.Set(s, kFrankerCommentKey, kFrankerComment);
        doc.Set(s, kFrankerModeKey, std::to_string(config.franker.mode));
        doc.Set(s, kFrankerAllowanceKey, std::to_string(config.franker.allowance));
      }
      if (rules.scanModeKeys && std::string_view(k.name) == kGainAfter) {
        doc.Set(s, kMicrGainKey, std::to_string(config.micrGain));
        doc.Set(s, kMicrAgcKey, std::to_string(config.micrAgc));
      }
    }
    for (const SideKey& k : kAuxOwnKeys) {
      if (!rules.auxSides) break;
      doc.Set(s, AuxKeyName(true, k), std::to_string(config.auxFront.*k.member));
      doc.Set(s, AuxKeyName(false, k), std::to_string(config.auxRear.*k.member));
    }
    if (!rules.fontAfterPrinter) doc.Set(s, kFontKey, config.printerFont);
    if (rules.scanModeKeys) {
      doc.Set(s, kFrankerCommentKey, kScanModeFrankerComment);
      doc.Set(s, kFrankerModeKey, std::to_string(config.franker.mode));
      doc.Set(s, kFrankerAllowanceKey, std::to_string(config.franker.allowance));
    }
  });
}

}  // namespace qv6::later
