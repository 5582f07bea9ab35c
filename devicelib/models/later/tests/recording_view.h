// A diagnostics dialog for firmware-update tests: the status texts it was shown, in order, and its
// firmware rows.
#pragma once

#include <string>
#include <vector>

#include "diag/diagnostic_popup.h"

namespace qv6::testing {

class RecordingView : public FirmwareUpdateView {
 public:
  void SetStatusText(const char* text) override { texts.emplace_back(text); }
  void AddFirmwareRow(const DiagnosticFirmwareRow& row) override { rows.push_back(row); }
  std::vector<std::string> texts;
  std::vector<DiagnosticFirmwareRow> rows;
};

}  // namespace qv6::testing
