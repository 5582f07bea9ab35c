// Firmware update at connection for the later series: package selection and loading, the up-to-date
// test, the series' decision and the download of loader, firmware and FPGA image.
#include "qv6/later/firmware_update.h"

#include <cstring>

#include "firmware/firmware_file.h"
#include "firmware/version_text.h"
#include "platform/clock.h"
#include "qv6/models/firmware_package.h"

namespace qv6 {
namespace {

constexpr size_t kMinText = 2;
constexpr size_t kMaxText = 1024;
constexpr uint64_t kBootLoaderVersion = PackVersion(99, 99, 99, 99);

bool Usable(const char* text) {
  if (text == nullptr) return false;
  size_t n = strnlen(text, kMaxText + 1);
  return n >= kMinText && n <= kMaxText;
}

// The manufacturer text may be missing or empty; only its length is bounded.
bool WithinBound(const char* text) {
  return text == nullptr || strnlen(text, kMaxText + 1) <= kMaxText;
}

std::string OrEmpty(const char* text) {
  return text == nullptr ? std::string() : std::string(text, strnlen(text, kMaxText));
}

}  // namespace

FirmwareDecision Qv63xFirmwareRule(const FirmwareFacts& facts) {
  if (facts.packageLoaded && facts.textsUsable && facts.packageHoldsTexts) return {};
  if (!facts.packageLoaded) return {false, true};
  return {true, false};
}

FirmwareDecision Qv64xFirmwareRule(int loadMode, const FirmwareFacts& facts) {
  FirmwareDecision d;
  d.fpgaOpenValue = loadMode == 1 ? 0 : 1;
  bool upToDate = false;
  if (facts.textsUsable) {
    if (!facts.packageLoaded) {
      upToDate = true;
    } else if (loadMode == 1) {
      upToDate = false;
    } else if (loadMode == 2) {
      upToDate = !(facts.fileVersion > facts.scannerVersion);
    } else if (loadMode == 3) {
      upToDate = facts.packageHoldsTexts;
    } else {
      upToDate = true;
    }
  }
  d.fail = !facts.packageLoaded && (loadMode == 1 || !upToDate);
  d.download = facts.packageLoaded && !upToDate;
  return d;
}

FirmwareOutcome RunLaterFirmwareUpdate(Qv63xCommands& commands, const char* firmwareFile, const char* state,
                                       const char* version, const char* manufacturer,
                                       const FirmwareUpdateOptions& options) {
  // The highest versioned file beside the configured one; without one, the configured file itself.
  std::string pattern = OrEmpty(firmwareFile);
  FirmwareFacts facts;
  std::string file = pattern.empty() ? std::string() : FindLatestFirmwareFile(pattern, &facts.fileVersion);
  if (file.empty()) file = pattern;

  CQv620FilesBuilderSplitter package;
  facts.packageLoaded = !file.empty() && package.LoadPackage(file.c_str()) != 0;
  facts.textsUsable = Usable(state) && Usable(version) && WithinBound(manufacturer);
  if (facts.textsUsable) {
    facts.scannerVersion = ParseVersionText(version);
    if (facts.scannerVersion == kBootLoaderVersion) facts.scannerVersion = 0;
    // A missing or empty manufacturer text would match the first zero byte of the firmware and skip a
    // needed download: the package cannot be said to hold it. The other rules do not read it.
    const bool maker = manufacturer != nullptr && manufacturer[0] != '\0';
    facts.packageHoldsTexts =
        facts.packageLoaded && maker && package.ContainsStringPair(manufacturer, version) != 0;
  }
  FirmwareDecision decision = options.rule(facts);

  if (options.view != nullptr) {
    DiagnosticFirmwareRow row;
    row.file = pattern;
    row.path = file;
    row.notFound = !facts.packageLoaded;
    row.scannerVersion = OrEmpty(version);
    if (facts.packageLoaded) row.version = package.ReadVersions();
    row.alreadyLoaded = !decision.download && !decision.fail;
    options.view->AddFirmwareRow(row);
  }
  if (decision.fail) return FirmwareOutcome::kRefused;
  if (!decision.download) return FirmwareOutcome::kReady;

  if (options.view != nullptr) options.view->SetStatusText("Loading firmware");
  if (!commands.DownloadFirmware(package.GetPart1(), package.GetPart2())) return FirmwareOutcome::kDownloadFailed;
  if (options.view != nullptr) options.view->SetStatusText("Loading FPGA");
  if (options.fpgaSettleMs != 0) plat::Sleep(options.fpgaSettleMs);
  // The running firmware's state text picks the image; each goes out with its own size.
  return commands.DownloadFpga(package.GetPart3(), package.GetPart4(), decision.fpgaOpenValue)
             ? FirmwareOutcome::kReady
             : FirmwareOutcome::kDownloadFailed;
}

int UpdateLaterFirmware(Qv63xCommands& commands, const char* firmwareFile, const char* state,
                        const char* version, const char* manufacturer, const FirmwareUpdateOptions& options) {
  return RunLaterFirmwareUpdate(commands, firmwareFile, state, version, manufacturer, options) ==
                 FirmwareOutcome::kReady
             ? 1
             : 0;
}

}  // namespace qv6
