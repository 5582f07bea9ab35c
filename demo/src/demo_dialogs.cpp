// The demonstration's boxes and files: the storage check of the images folder, the error box, the About,
// Paths and Scanner Info boxes, and the code-line and general logs.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "demo/lumivex.h"
#include "platform/paths.h"
#include "ui/canvas.h"
#include "ui/window_system.h"
#include "zarn/lifecycle.h"
#include "zarn/scan.h"
#include "zarn/status.h"

namespace demo {
namespace {

ui::WindowSystem& Ws() { return *ui::WindowSystem::Current(); }

void Box(ui::HWND owner, const char* text, const std::string& caption) {
  Ws().MessageBox(owner, text, caption, ui::MB_OK);
}

bool IsFolder(const std::string& posix) {
  struct stat st {};
  return ::stat(posix.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates "ZSCAN.TST" only when no such file exists, and removes it again.
bool CanWriteIn(const std::string& posixFolder) {
  const std::string probe = posixFolder + "ZSCAN.TST";
  const int fd = ::open(probe.c_str(), O_CREAT | O_EXCL | O_RDWR, 0600);
  if (fd < 0) return errno == EEXIST;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

void AppendLine(const char* fileName, const std::string& line) {
  std::FILE* f = plat::OpenFile(fileName, "ab");
  if (f == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), f);
  std::fclose(f);
}

// Widens the five lines, and the box with them, to the longest text as far as the screen allows; the
// template's margins stay and the OK button stays in the middle.
void FitLines(ui::HWND h) {
  const auto font = ui::SystemFont();
  int widest = 0;
  for (int id = IDC_LINE1; id <= IDC_LINE5; ++id) {
    widest = std::max(widest, font->Measure(Ws().GetDlgItemText(h, id, 4096)).width);
  }
  const ui::HWND first = Ws().GetDlgItem(h, IDC_LINE1);
  if (first == nullptr) return;
  const ui::Rect box = Ws().GetWindowRect(h);
  const int grow = std::min(widest - Ws().GetClientRect(first).Width(), Ws().Display().width - box.Width());
  if (grow <= 0) return;
  for (int id = IDC_LINE1; id <= IDC_LINE5; ++id) {
    const ui::HWND line = Ws().GetDlgItem(h, id);
    ui::Rect r = Ws().GetWindowRect(line);
    r.right += grow;
    Ws().MoveWindow(line, r);
  }
  if (const ui::HWND ok = Ws().GetDlgItem(h, IDC_OK)) {
    ui::Rect r = Ws().GetWindowRect(ok);
    r.left += grow / 2;
    r.right += grow / 2;
    Ws().MoveWindow(ok, r);
  }
  Ws().MoveWindow(h, {box.left, box.top, box.right + grow, box.bottom});
}

void FillLines(ui::HWND h, const std::string (&lines)[5]) {
  for (int i = 0; i < 5; ++i) Ws().SetDlgItemText(h, IDC_LINE1 + i, lines[i]);
  FitLines(h);
}

intptr_t BoxProc(ui::HWND h, uint32_t msg, uintptr_t wParam, void (*fill)(ui::HWND)) {
  if (msg == ui::WM_INITDIALOG) {
    fill(h);
    return 1;
  }
  if (msg == ui::WM_COMMAND && (wParam & 0xFFFF) == IDC_OK) {
    Ws().EndDialog(h, 1);
    return 1;
  }
  return 0;
}

constexpr const char* kNotice = "Copyright (c) 2026 Brevant Imaging, all rights reserved";

}  // namespace

int funcCheckStoragePath(ui::HWND owner, std::string& path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  const std::string posix = plat::ResolvePath(path);
  // A folder name must be absolute: a drive letter or a POSIX path; "\images\" names no drive.
  if (posix.empty() || posix[0] != '/' || path[0] == '\\') {
    Box(owner, "Error: Must Specify Drive Letter [c:]", path);
    return 1;
  }
  if (!IsFolder(plat::GetDriveRoot())) {
    Box(owner, "Error: Invalid Drive", path);
    return 1;
  }
  // Create each missing level; only the final folder needs to take a file.
  std::string level;
  size_t start = 1;
  while (start < posix.size()) {
    const size_t slash = posix.find('/', start);
    const size_t end = slash == std::string::npos ? posix.size() : slash;
    level = posix.substr(0, end);
    if (!IsFolder(level) && ::mkdir(level.c_str(), 0777) != 0) {
      Box(owner, "Error: Creating Directory", level);
      return 1;
    }
    start = end + 1;
  }
  std::string folder = posix;
  if (folder.back() != '/') folder += '/';
  if (!CanWriteIn(folder)) {
    Box(owner, "Error: Creating Directory", level);
    return 1;
  }
  return 0;
}

std::string ScannerErrorText(int code) {
  const auto codes = zarn::DemoStatusCodes();
  const auto texts = zarn::DemoStatusTexts();
  char text[256];
  for (size_t i = 0; i < codes.size(); ++i) {
    if (codes[i] == code) {
      std::snprintf(text, sizeof text, "(%4d)  %s", code, texts[i]);
      return text;
    }
  }
  std::snprintf(text, sizeof text, "Scanner Status %d", code);
  return text;
}

void funcShowScannerError(int code, const char* caption) {
  if (code >= 0) return;
  const std::string text = ScannerErrorText(code);
  Ws().MessageBox(nullptr, text, caption != nullptr && caption[0] != '\0' ? caption : "Orvisca Error Type", ui::MB_OK);
}

std::string SupportedScannersText(int mask) {
  static constexpr const char* kNames[] = {"Zarn Tq62, ", "Zarn Tq68, ", "QV800, ", "QV600, ", "QV700, ", "QV700X, ",
                                           "QV620, ",     "QV630, ",     "QV840, ", "RM70, ",  "QV640, "};
  std::string list;
  for (int bit = 0; bit < 11; ++bit) {
    if (mask & (1 << bit)) list += kNames[bit];
  }
  return list;
}

intptr_t AboutDlgProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t) {
  return BoxProc(h, msg, wParam, [](ui::HWND dlg) {
    const std::string lines[5] = {"Lumivex.exe", kNotice, "    -------------------------------------",
                                  "Scanners Supported by Brevant and this API",
                                  SupportedScannersText(zarn::funcGetSupportedScanners())};
    FillLines(dlg, lines);
  });
}

intptr_t PathsDlgProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t) {
  return BoxProc(h, msg, wParam, [](ui::HWND dlg) {
    auto param = [](int id) {
      const char* v = zarn::ZARNGetParamString(id);
      return std::string(v != nullptr ? v : "");
    };
    const std::string lines[5] = {"Lumivex.exe", kNotice, "Ini File Path:  " + param(135),
                                  "Cfg File Path:  " + param(136), "Firmware File Path:  " + param(138)};
    FillLines(dlg, lines);
  });
}

intptr_t ScannerInfoDlgProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t) {
  return BoxProc(h, msg, wParam, [](ui::HWND dlg) {
    unsigned char adapter = 0, target = 0;
    char vendor[zarn::kVendorRoom] = {}, product[zarn::kProductRoom] = {}, release[zarn::kReleaseRoom] = {};
    const int r = zarn::ZARNGetScannerInfo(&adapter, &target, vendor, product, release, 0);
    if (r < 0) {
      funcShowScannerError(r, "Could not Get Scanner Info");
      return;
    }
    char serial[zarn::kSerialRoom] = {};
    int32_t documents = 0, minutes = 0;
    zarn::ZARNGetScannerSerialNumber(serial, &documents, &minutes);
    char line[5][160];
    std::snprintf(line[0], sizeof line[0], "Vendor  %s", vendor);
    std::snprintf(line[1], sizeof line[1], "Product %s", product);
    std::snprintf(line[2], sizeof line[2], "Firmware v%s, VEKAPI Version %d, ScannerSupportedMask %x", release,
                  zarn::funcGetApiVersion(), static_cast<unsigned>(zarn::funcGetSupportedScanners()));
    std::snprintf(line[3], sizeof line[3], "SCSI ID: Adapter=%d, Target=%d", adapter, target);
    std::snprintf(line[4], sizeof line[4], "Serial Number %s, Doc# %d, Time %d", serial, documents, minutes);
    const std::string lines[5] = {line[0], line[1], line[2], line[3], line[4]};
    FillLines(dlg, lines);
  });
}

// Both logs are text files of the original system: lines end in CR LF.
void funcWriteMicrLog(const char* fileName, const char* codeLine) {
  AppendLine("lumivex.mcr", std::string(fileName != nullptr ? fileName : "") + " => " +
                                (codeLine != nullptr ? codeLine : "") + "\r\n");
}

void funcWriteLog(const char* first, const char* second) {
  AppendLine("lumivex.log", std::string(first != nullptr ? first : "") + (second != nullptr ? second : "") + "\r\n");
}

}  // namespace demo
