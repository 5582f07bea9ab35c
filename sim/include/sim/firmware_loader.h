// FirmwareLoader: what a later-series scanner's controller runs and how a download changes it.
//
// A scanner without firmware runs only its boot loader and answers the identification with boot codes.
// The host holds the controller in reset (one byte 1 at 0xE600), writes records into controller memory
// (request 12 above the low area, request 13 inside it), and releases the reset (0 at 0xE600). A release
// after records arrived starts what they hold: the first download is a loader, the download made while a
// loader runs is the firmware. A release without new records restarts what ran before. Once firmware runs
// the scanner reports its running codes, and the manufacturer and version texts that the firmware image
// carries (the maker word "VEK Corp" or "KWL " opens the manufacturer text, "Rev. " within the next 100
// bytes the version text).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/identity.h"

namespace sim {

class FirmwareLoader {
 public:
  enum class Stage { kBootLoader, kLoader, kFirmware };

  // The texts a firmware image carries.
  struct RunningTexts {
    std::string manufacturer;
    std::string version;
  };

  FirmwareLoader() = default;
  FirmwareLoader(Stage stage, IdentificationCodes running) : stage_(stage), running_(running) {}

  // A controller memory write. Returns the stage that now runs when the write released the controller.
  std::optional<Stage> OnMemoryWrite(uint16_t address, std::span<const uint8_t> data);

  Stage stage() const { return stage_; }
  bool inReset() const { return inReset_; }
  IdentificationCodes runningCodes() const { return running_; }
  // Controller memory as the last loader and the last firmware left it (address -> bytes).
  const std::map<uint16_t, std::vector<uint8_t>>& loaderImage() const { return loader_; }
  const std::map<uint16_t, std::vector<uint8_t>>& firmwareImage() const { return firmware_; }
  // Downloads that ended in running firmware.
  int firmwareDownloads() const { return firmwareDownloads_; }

  // The manufacturer and version texts of a firmware image; nullopt when it names no maker.
  static std::optional<RunningTexts> TextsOf(const std::map<uint16_t, std::vector<uint8_t>>& image);

 private:
  Stage stage_ = Stage::kFirmware;
  IdentificationCodes running_;
  bool inReset_ = false;
  std::map<uint16_t, std::vector<uint8_t>> pending_;  // records since the last release
  std::map<uint16_t, std::vector<uint8_t>> loader_;
  std::map<uint16_t, std::vector<uint8_t>> firmware_;
  int firmwareDownloads_ = 0;
};

}  // namespace sim
