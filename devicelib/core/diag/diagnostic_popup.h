// CDiagnosticPopup: the connection's diagnostics dialog as a toolkit-free model.
//
// A tree of rows under seven categories, a status text, the shown and wait-for-close flags, button
// enable states and the button actions, all under the model's own lock, so any thread may add rows or
// texts. A program with a user interface lends a host through the platform's diagnostics-host slot, which
// shows the model as dialog 1005; without a host the model stays unseen.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/diagnostics_host.h"

namespace qv6 {

struct BitName {
  uint32_t bit;
  const char* name;
};
// Names of the DeviceStatusWord bits (display order) and of the DeviceErrorWord bits.
extern const std::array<BitName, 25> kDeviceStatusBits;
extern const std::array<BitName, 5> kDeviceErrorBits;

// Controls of dialog 1005.
inline constexpr int kDiagCopy = 1016, kDiagClose = 1018, kDiagRealtimeMonitor = 1019, kDiagDiagnostics = 1021,
                     kDiagClean = 1022, kDiagEject = 1023, kDiagClear = 1024, kDiagTree = 1025;

// What the buttons reach on the owning connection.
struct DiagnosticOps {
  std::function<int(int)> maintenanceMode;
  std::function<int(int)> ejectDocument;
  std::function<int()> clearPowerOnFlag;
  std::function<int()> clearErrors;
};

// The parts of one firmware row.
struct DiagnosticFirmwareRow {
  std::string file;
  std::string version;  // empty when unknown
  std::string path;
  std::string scannerVersion;  // empty when unknown
  bool notFound = false;       // missing or did not load
  bool alreadyLoaded = false;
};

// Where a firmware update reports its progress: the connection's diagnostics dialog.
class FirmwareUpdateView {
 public:
  virtual ~FirmwareUpdateView() = default;
  virtual void SetStatusText(const char* text) = 0;
  virtual void AddFirmwareRow(const DiagnosticFirmwareRow& row) = 0;
};

class CDiagnosticPopup final : public plat::DiagnosticsView, public FirmwareUpdateView {
 public:
  static constexpr const char* kCategories[7] = {"Acquired",
                                                 "Firmware",
                                                 "Application (.EXE)",
                                                 ".DLL",
                                                 "Environment INI File",
                                                 "Configuration INI File",
                                                 "Scanner"};

  explicit CDiagnosticPopup(DiagnosticOps ops = {});
  // Destroys the dialog: waits (letting the host's windows work every 100 ms) only while it is shown,
  // a host exists and wait-for-close is set; then "Scanner disconnected".
  ~CDiagnosticPopup() override;
  CDiagnosticPopup(const CDiagnosticPopup&) = delete;
  CDiagnosticPopup& operator=(const CDiagnosticPopup&) = delete;

  // "DIAG_DIALOG_MODE" of the descriptor section, default 2.
  static int ReadDisplayMode(const std::string& iniFile, const std::string& section);
  // Shows or hides by the mode: 1 shown, 2 shown while the host says Shift is down, others hidden.
  // Returns whether it is shown.
  bool ReadDialogMode(const std::string& iniFile, const std::string& section);
  // A scanner connected: the destroy waits for the user while the dialog is in view.
  void SetWaitForClose();
  void SetConnected(bool connected);

  // Ignored while the dialog is not shown.
  void SetStatusText(const char* text) override;
  // Under the top-level row captioned `parent` (a new top-level row for an empty caption); `expand`
  // removes the parent's children first.
  void AddRow(const std::string& text, const std::string& parent, int image = 0, bool expand = false);
  void AddStatusRow(const char* label, uint32_t status, uint32_t error);
  // The identity texts (NUL-separated: manufacturer, model, version, serial number, documents scanned,
  // run time) as rows under "Scanner".
  void AddIdentityRows(const char* texts, size_t size);
  // Each INI dump replaces the previous one of its category (connect attempts repeat it).
  void AddDescriptorIniRows(const std::string& iniFile, const std::string& section);
  void SetIniFiles(const std::string& iniFile, const std::string& section);
  void AddFirmwareRow(const DiagnosticFirmwareRow& row) override;
  void Show(bool shown);

  bool WaitForClose() const;

  // ---- plat::DiagnosticsView
  std::vector<std::pair<int, std::string>> Rows() const override;
  std::string StatusText() const override;
  bool Shown() const override;
  bool ButtonEnabled(int id) const override;
  void Press(int id) override;

 private:
  struct Row {
    std::string text;
    int parent = -1;  // index of the parent row, -1 for top level
    bool removed = false;
  };
  int AddUnder(int parent, const std::string& text);  // under m_
  int TopLevel(const std::string& caption) const;      // under m_
  void RemoveBelow(int row);                           // under m_: the row's whole subtree
  void AddIniRows(const std::string& iniFile, const std::string& section, const char* category);
  // The program, this library and the capture program's libraries with their versions, then the time and
  // the computer's name; listed once, when the dialog is first shown, since only then can anyone read them.
  void AddModuleRows();
  void Changed();

  DiagnosticOps ops_;
  mutable std::mutex m_;
  std::vector<Row> rows_;
  std::string status_;
  bool shown_ = false;
  bool waitForClose_ = false;
  bool connected_ = false;
  bool modulesListed_ = false;
};

// The developer self-test of the dialog: status texts 500 ms apart and the fixed developer configuration
// section; 1.
int RunDiagnosticSelfTest();

}  // namespace qv6
