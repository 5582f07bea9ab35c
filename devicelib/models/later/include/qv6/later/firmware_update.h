// Firmware update at connection for the later series: every time a scanner is connected its model looks
// for the firmware package named by the descriptor INI, decides whether the scanner already runs that
// package's firmware and, when it does not, downloads the loader, the firmware and the FPGA image through
// the series' command set. A scanner that runs only its boot loader reports a canned identity whose
// version ("99.99.99.99") no package holds, so it is always updated.
//
// The series differ only in the decision (the QV63x downloads whenever the package's firmware lacks the
// scanner's manufacturer and version texts and fails without a package; other series weigh file versions
// or a load mode), so the decision is a rule the caller passes in. The configuration steps that follow
// (EEPROM image, mechanical sections, opcode 4) belong to the template's UpdateFirmware.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "diag/diagnostic_popup.h"
#include "qv6/later/later_commands.h"

namespace qv6 {

// What a series' rule decides from.
struct FirmwareFacts {
  bool packageLoaded = false;
  // The identity's state and version texts, and its manufacturer text, are each 2 to 1024 characters.
  bool textsUsable = false;
  // The package's firmware part holds the manufacturer text and, behind it, the version text.
  bool packageHoldsTexts = false;
  uint64_t fileVersion = 0;     // packed version in the selected file's name; 0 when none
  uint64_t scannerVersion = 0;  // packed identity version; the boot loader's 99.99.99.99 counts as 0
};

struct FirmwareDecision {
  bool download = false;  // loader, firmware and FPGA image go to the scanner
  bool fail = false;      // the update ends at once with 0 (the scanner is not used)
  uint8_t fpgaOpenValue = Qv63xCommands::kFpgaOpenValue;  // the value that opens the FPGA transfer
};

using FirmwareRule = std::function<FirmwareDecision(const FirmwareFacts& facts)>;

// The QV63x rule: already running the package's firmware, or download; no package means no scanner.
FirmwareDecision Qv63xFirmwareRule(const FirmwareFacts& facts);

// The QV64x rule by the descriptor's load mode: 1 always downloads (and fails without a package), 2
// downloads a file newer than the scanner's firmware, 3 downloads a package that lacks the scanner's
// texts, any other mode never downloads. Without a package a scanner with usable texts keeps its
// firmware; with texts outside their bounds a loaded package is always downloaded. The FPGA transfer
// opens with 0 in mode 1, else 1.
FirmwareDecision Qv64xFirmwareRule(int loadMode, const FirmwareFacts& facts);

// The wait between the firmware download and the FPGA image, in ms.
inline constexpr uint32_t kFpgaSettleMs = 300;

// The firmware row of the diagnostics dialog.
struct FirmwareUpdateOptions {
  FirmwareRule rule = Qv63xFirmwareRule;
  FirmwareUpdateView* view = nullptr;     // the diagnostics dialog, when there is one
  uint32_t fpgaSettleMs = kFpgaSettleMs;  // the QV62x sends its FPGA image at once
};

// How the firmware step ended: the rule turned the scanner away before anything was sent (the
// configuration steps do not run either), a download was decided but failed (the configuration steps still
// show their texts), or the scanner runs firmware the host can configure.
enum class FirmwareOutcome { kRefused, kDownloadFailed, kReady };

// Brings the scanner's firmware up to date from the package the configured file name selects (the
// highest version "_v a.b.c.d" beside it, else the configured file itself). Any of the texts may be null.
FirmwareOutcome RunLaterFirmwareUpdate(Qv63xCommands& commands, const char* firmwareFile, const char* state,
                                       const char* version, const char* manufacturer,
                                       const FirmwareUpdateOptions& options = {});

// The same as 1 when the scanner runs firmware the host can configure, 0 when it is not to be used.
int UpdateLaterFirmware(Qv63xCommands& commands, const char* firmwareFile, const char* state,
                        const char* version, const char* manufacturer,
                        const FirmwareUpdateOptions& options = {});

}  // namespace qv6
