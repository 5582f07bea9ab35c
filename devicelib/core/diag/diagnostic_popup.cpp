#include "diag/diagnostic_popup.h"

#include <strings.h>

#include <cstdio>
#include <ctime>
#include <optional>

#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/dynlib.h"
#include "platform/ini.h"
#include "platform/process_info.h"
#include "platform/version_info.h"

namespace qv6 {

const std::array<BitName, 25> kDeviceStatusBits = {{
    {0x1, "Command complete"},     {0x2, "Power on"},          {0x4, "Scanning"},
    {0x8, "Error"},                {0x10, "Feed sensor"},      {0x20, "Sync sensor"},
    {0x40, "InkJet detected"},     {0x80, "Scan enable"},      {0x100, "RdTrack"},
    {0x200, "Busy"},               {0x400, "Double feed"},     {0x800, "Exit sensor/Jam"},
    {0x1000, "Cover off"},         {0x2000, "Mode select"},    {0x4000, "Pocket sensor"},
    {0x8000, "Pocket 0 full"},     {0x10000, "Pocket 1 full"}, {0x100000, "MICR ready"},
    {0x200000, "Front img ready"}, {0x400000, "Rear img ready"}, {0x800000, "RS232 ready"},
    {0x1000000, "EarlyScan"},      {0x2000000, "Doc in buffer"}, {0x4000000, "Wait for sort"},
    {0x80000000u, "Connected"},
}};
const std::array<BitName, 5> kDeviceErrorBits = {{
    {0x1, "Self test error"},
    {0x2, "Doc insert error"},
    {0x4, "Doc too long error"},
    {0x40, "Double-feed error"},
    {0x80, "Jam error"},
}};

namespace {

// The section reader's buffer and the length it returns for a section cut to it.
constexpr uint32_t kSectionBuffer = 32767;
constexpr uint32_t kSectionCut = kSectionBuffer - 2;

std::string Format(const char* fmt, const std::string& a) {
  char buf[512];
  std::snprintf(buf, sizeof buf, fmt, a.c_str());
  return buf;
}

}  // namespace

CDiagnosticPopup::CDiagnosticPopup(DiagnosticOps ops) : ops_(std::move(ops)) {
  for (const char* c : kCategories) AddUnder(-1, c);
}

CDiagnosticPopup::~CDiagnosticPopup() {
  // Only a dialog someone can see and close may hold the closing connection; a hidden one never does.
  for (;;) {
    plat::DiagnosticsHost* host = plat::GetDiagnosticsHost();
    {
      std::lock_guard lock(m_);
      if (!host || !shown_ || !waitForClose_) break;
    }
    host->Pump();
    plat::Sleep(100);
  }
  SetStatusText("Scanner disconnected");
  {
    std::lock_guard lock(m_);
    shown_ = false;
  }
  if (plat::DiagnosticsHost* host = plat::GetDiagnosticsHost()) host->Detach(*this);
}

void CDiagnosticPopup::Changed() {
  if (plat::DiagnosticsHost* host = plat::GetDiagnosticsHost()) host->Changed(*this);
}

int CDiagnosticPopup::ReadDisplayMode(const std::string& iniFile, const std::string& section) {
  return plat::ReadProfileInt(section, "DIAG_DIALOG_MODE", 2, iniFile.c_str());
}

bool CDiagnosticPopup::ReadDialogMode(const std::string& iniFile, const std::string& section) {
  const int mode = ReadDisplayMode(iniFile, section);
  plat::DiagnosticsHost* host = plat::GetDiagnosticsHost();
  const bool shown = mode == 1 || (mode == 2 && host && host->ShiftDown());
  Show(shown);
  return shown;
}

void CDiagnosticPopup::SetWaitForClose() {
  std::lock_guard lock(m_);
  waitForClose_ = true;
}

void CDiagnosticPopup::SetConnected(bool connected) {
  {
    std::lock_guard lock(m_);
    connected_ = connected;
  }
  Changed();
}

void CDiagnosticPopup::Show(bool shown) {
  if (shown) AddModuleRows();
  {
    std::lock_guard lock(m_);
    shown_ = shown;
  }
  Changed();
}

void CDiagnosticPopup::AddModuleRows() {
  {
    std::lock_guard lock(m_);
    if (modulesListed_) return;
    modulesListed_ = true;
  }
  const auto row = [](const plat::ProcessModule& m) {
    std::string version = "(n/a)";
    if (const auto v = plat::ReadFileVersion(m.path)) {
      char text[64];
      std::snprintf(text, sizeof text, "% 2d.%d.%d.%d", v->major, v->minor, v->build, v->revision);
      version = text;
    }
    return "File: " + m.name + ". Version " + version + ". Path: " + m.path;
  };
  // This library goes under ".DLL" whatever its file is called; linked into the program it is the program.
  const std::optional<std::string> self = plat::ModulePathOf(static_cast<const void*>(&kDeviceStatusBits));
  std::vector<std::string> program, libraries;
  for (const plat::ProcessModule& m : plat::ListProcessModules()) {
    const auto named = [&m](const char* name) { return ::strcasecmp(m.name.c_str(), name) == 0; };
    const bool ocx = m.name.size() > 8 && ::strncasecmp(m.name.c_str(), "axqv", 4) == 0 &&
                     ::strcasecmp(m.name.c_str() + m.name.size() - 4, ".ocx") == 0;
    if (m.program) {
      program.push_back(row(m));
    } else if ((self && m.path == *self) || named("qv6dll.dll") || named("zarnap32.dll") || ocx) {
      libraries.push_back(row(m));
    }
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string stamp = "Timestamp=" + plat::FormatLongDateTime(local) + ", Computer=" + plat::GetComputerNameA();
  {
    std::lock_guard lock(m_);
    for (const auto& text : program) AddUnder(TopLevel("Application (.EXE)"), text);
    for (const auto& text : libraries) AddUnder(TopLevel(".DLL"), text);
    AddUnder(-1, stamp);
  }
}

void CDiagnosticPopup::SetStatusText(const char* text) {
  {
    std::lock_guard lock(m_);
    if (!shown_ || !text) return;
    status_ = text;
  }
  Changed();
}

int CDiagnosticPopup::AddUnder(int parent, const std::string& text) {
  rows_.push_back({text, parent});
  return static_cast<int>(rows_.size()) - 1;
}

void CDiagnosticPopup::RemoveBelow(int row) {
  if (row < 0) return;
  for (auto& r : rows_)
    for (int a = r.parent; a >= 0; a = rows_[a].parent)
      if (a == row) {
        r.removed = true;
        break;
      }
}

int CDiagnosticPopup::TopLevel(const std::string& caption) const {
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].parent == -1 && !rows_[i].removed && rows_[i].text == caption) return static_cast<int>(i);
  return -1;
}

void CDiagnosticPopup::AddRow(const std::string& text, const std::string& parent, int /*image*/, bool expand) {
  {
    std::lock_guard lock(m_);
    const int p = parent.empty() ? -1 : TopLevel(parent);
    if (expand) RemoveBelow(p);
    AddUnder(parent.empty() ? -1 : p, text);
  }
  Changed();
}

void CDiagnosticPopup::AddStatusRow(const char* label, uint32_t status, uint32_t error) {
  char head[256];
  std::snprintf(head, sizeof head, "%s 0x%X, err 0x%X", label ? label : "", status, error);
  {
    std::lock_guard lock(m_);
    const int row = AddUnder(-1, head);
    if (status != 0)
      for (const auto& b : kDeviceStatusBits)
        if (status & b.bit) AddUnder(row, b.name);
    if (error != 0)
      for (const auto& b : kDeviceErrorBits)
        if (error & b.bit) AddUnder(row, b.name);
  }
  Changed();
}

void CDiagnosticPopup::AddIdentityRows(const char* texts, size_t size) {
  std::vector<std::string> fields;
  for (size_t i = 0; i < size && fields.size() < 6;) {
    size_t end = i;
    while (end < size && texts[end] != '\0') ++end;
    fields.emplace_back(texts + i, end - i);
    i = end + 1;
  }
  fields.resize(6);
  if (fields[2].rfind("Rev. ", 0) == 0) fields[2].erase(0, 5);
  for (int counter : {4, 5}) {
    const size_t first = fields[counter].find_first_of("123456789");
    fields[counter] = first == std::string::npos ? std::string() : fields[counter].substr(first);
  }
  static constexpr const char* kFormats[6] = {"Manufacturer: %s.", "Model: %s.", "Version: %s.", "Serial Number: %s.",
                                              "Total Quantity of Documents Scanned: %s.",
                                              "Total Scanner Run Time: %s minutes."};
  {
    std::lock_guard lock(m_);
    const int scanner = TopLevel("Scanner");
    for (int i = 0; i < 6; ++i) AddUnder(scanner, Format(kFormats[i], fields[i]));
  }
  Changed();
}

void CDiagnosticPopup::AddIniRows(const std::string& iniFile, const std::string& section, const char* category) {
  std::vector<char> buf(kSectionBuffer);
  const uint32_t n = plat::GetPrivateProfileSectionA(section.c_str(), buf.data(), kSectionBuffer, iniFile.c_str());
  {
    std::lock_guard lock(m_);
    const int parent = TopLevel(category);
    RemoveBelow(parent);
    const int head = AddUnder(parent, iniFile + "  [" + section + "]");
    if (n == 0) {
      AddUnder(head, "(empty)");
    } else {
      for (uint32_t i = 0; i < n && buf[i] != '\0';) {
        const std::string line(buf.data() + i);
        AddUnder(head, line);
        i += static_cast<uint32_t>(line.size()) + 1;
      }
      if (n == kSectionCut) AddUnder(head, "...(truncated)...");
    }
  }
  Changed();
}

void CDiagnosticPopup::AddDescriptorIniRows(const std::string& iniFile, const std::string& section) {
  AddIniRows(iniFile, section, "Environment INI File");
}

void CDiagnosticPopup::SetIniFiles(const std::string& iniFile, const std::string& section) {
  AddIniRows(iniFile, section, "Configuration INI File");
}

void CDiagnosticPopup::AddFirmwareRow(const DiagnosticFirmwareRow& row) {
  std::string text = row.notFound ? "Not found or load error." : "";
  text += Format(" File: %s.", row.file);
  if (!row.version.empty()) text += Format(" Version: %s.", row.version);
  if (!row.path.empty() && row.path != row.file) text += Format(" Path: %s.", row.path);
  if (!row.scannerVersion.empty() && row.scannerVersion != "99.99.99.99")
    text += Format(" Scanner version: %s.", row.scannerVersion);
  text += row.alreadyLoaded ? " Already loaded." : " Download.";
  AddRow(text, "Firmware");
}

bool CDiagnosticPopup::WaitForClose() const {
  std::lock_guard lock(m_);
  return waitForClose_;
}

std::vector<std::pair<int, std::string>> CDiagnosticPopup::Rows() const {
  std::lock_guard lock(m_);
  std::vector<std::pair<int, std::string>> out;
  std::function<void(int, int)> visit = [&](int parent, int depth) {
    for (size_t i = 0; i < rows_.size(); ++i)
      if (rows_[i].parent == parent && !rows_[i].removed) {
        out.emplace_back(depth, rows_[i].text);
        visit(static_cast<int>(i), depth + 1);
      }
  };
  visit(-1, 0);
  return out;
}

std::string CDiagnosticPopup::StatusText() const {
  std::lock_guard lock(m_);
  return status_;
}

bool CDiagnosticPopup::Shown() const {
  std::lock_guard lock(m_);
  return shown_;
}

bool CDiagnosticPopup::ButtonEnabled(int id) const {
  std::lock_guard lock(m_);
  switch (id) {
    case kDiagCopy:
    case kDiagClose: return true;
    case kDiagClean:
    case kDiagEject:
    case kDiagClear: return connected_;
    default: return false;
  }
}

void CDiagnosticPopup::Press(int id) {
  if (!ButtonEnabled(id)) return;
  switch (id) {
    case kDiagCopy: {
      std::string text;
      for (const auto& [depth, row] : Rows()) text += row + "\r\n";
      plat::SetClipboardText(text);
      {
        std::lock_guard lock(m_);
        status_ = "Copied to clipboard.";
      }
      Changed();
      break;
    }
    case kDiagClose: {
      {
        std::lock_guard lock(m_);
        shown_ = false;
        waitForClose_ = false;
      }
      Changed();
      break;
    }
    // The device operations run outside the model's lock: they take the connection's mutex.
    case kDiagClean:
      if (ops_.maintenanceMode) ops_.maintenanceMode(1);
      break;
    case kDiagEject:
      if (ops_.ejectDocument) ops_.ejectDocument(0);
      break;
    case kDiagClear:
      if (ops_.clearPowerOnFlag) ops_.clearPowerOnFlag();
      if (ops_.clearErrors) ops_.clearErrors();
      break;
    default:
      break;
  }
}

int RunDiagnosticSelfTest() {
  CDiagnosticPopup popup;
  popup.Show(true);
  for (const char* text : {"Loading firmware", "Loading FPGA", "Loading configuration"}) {
    popup.SetStatusText(text);
    plat::Sleep(500);
  }
  popup.SetIniFiles("C:\\testqv500_debug\\Qv6cfg.ini", "QV600/QV605/QV620 CONFIG");
  popup.Show(false);
  return 1;
}

}  // namespace qv6
