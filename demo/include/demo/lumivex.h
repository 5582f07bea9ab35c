// The demonstration front end: a frame with a control panel on the left and the front and rear image
// windows on the right, the scanner start-up inside the frame's creation, the scan loop of the panel, and
// its small boxes and logs. Everything runs on the thread that owns the window system.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ui/messages.h"

namespace demo {

// Control and command identifiers.
enum : int {
  IDC_SCANNUMBER_LABEL = 502,
  IDC_SCANNUMBER = 503,
  IDC_SCAN = 504,
  IDC_EXIT = 505,
  IDC_EJECT = 506,
  IDC_BW = 507,
  IDC_GRAY = 508,
  IDC_COLOR = 509,
  IDC_GRAYBW = 510,
  IDC_COLORBW = 511,
  IDC_IMAGETYPE_GROUP = 512,
  IDC_ENDORSE = 513,
  IDC_SORT = 514,
  IDC_OPTIONS_GROUP = 516,
  IDC_LINE1 = 517,
  IDC_LINE5 = 521,
  IDC_OK = 522,
  CMD_NEXTSTEP = 523,
  IDC_RATE_LABEL = 524,
  IDC_RATE = 525,
  IDC_THRESHOLD = 527,
  IDC_MICRLOG = 530,
  IDC_FRANK = 531,
  IDC_DOUBLEFEED_GROUP = 532,
  IDC_DF_OFF = 533,
  IDC_DF_STOP = 534,
  IDC_DF_NOSTOP = 535,
  CMD_AUTODOCUMENT = 536,
  IDC_COLOR2 = 537,
  IDC_COLOR2BW = 538,
  IDC_SCANBATCH = 539,
  CMD_AUTOSCAN = 540,
  CMD_SCANNERINFO = 600,
  CMD_ABOUT = 601,
  CMD_CTRL_E = 602,
  CMD_PATHS = 604,
};

// The demonstration's classification of the connected scanner.
enum ScannerKind : int {
  kKindTq62 = 0,
  kKindTq68 = 1,
  kKindQv800 = 2,
  kKindQv600 = 3,
  kKindType314 = 4,
  kKindQv620 = 5,
  kKindQv630 = 6,
  kKindQv840 = 7,
  kKindRm70 = 8,
  kKindQv640 = 9,
};

struct DemoPanelState {
  int loopRunning = 0;
  int32_t scanNumber = 0;
  int bwThreshold = 9;
  int imageType = 1;  // 1 B/W, 2 Grayscale, 3 Color, 4 Gray-B/W, 5 Color-B/W, 6 Color2, 7 Color2-B/W
  int endorse = 0;
  int sort = 0;
  int franker = 0;
  int micrLog = 0;  // 0 or 2
  int scanBatch = 0;
  int doubleFeedMode = 0;  // 0 off, 1 stop, 2 no stop
  int firstDocument = 0;
  uint32_t documentCount = 0;
  uint32_t rateStart = 0;
  char frontName[256] = {};
  char rearName[256] = {};
  char frontSize[32] = {};
  char rearSize[32] = {};
  char codeLineLength[32] = {};
  char codeLine[512] = {};
};

struct DemoWindows {
  ui::HINSTANCE instance = nullptr;
  ui::HWND frame = nullptr;
  ui::HWND panelHost = nullptr;
  ui::HWND panel = nullptr;
  ui::HWND front = nullptr;
  ui::HWND rear = nullptr;
  int scannerKind = kKindTq62;
};

DemoPanelState& Panel();
DemoWindows& Windows();
// Back to the state a program start has (for tests).
void ResetDemoForTests();

// The program's resources (dialogs "INITWAIT", "LUMIVEXMAIN", "LUMIVEXABOUT", menu "LUMIVEX", accelerators
// "LUMIVEXACCE"), registered once.
ui::HINSTANCE DemoResources();

// ---- Start-up and windows ---------------------------------------------------------------------------------
int WinMain(ui::HINSTANCE instance, ui::HINSTANCE previous, const char* commandLine, int show);
intptr_t MainWndProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam);
intptr_t PanelWndProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam);
intptr_t ImageWndProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam);
intptr_t InitWaitDlgProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam);
void funcSetupScanner();
void funcSetStatusText(const char* text);
// The kind of a product text (at most `size` characters are looked at) for the API's type code.
int ClassifyScanner(const char* product, size_t size, int typeCode);

// ---- Panel and scan loop -----------------------------------------------------------------------------------
intptr_t MainDlgProc(ui::HWND dlg, uint32_t msg, uintptr_t wParam, intptr_t lParam);
int funcScanDocument(ui::HWND dlg);
int QV600_MICRCallBack(uint32_t status);
// The scan number a text in edit 503 gives (at least 0, clamped to 32 bits) and the threshold of edit 527
// (2 to 13, else 9).
int32_t ParseScanNumber(const std::string& text);
int ParseThreshold(const std::string& text);

// ---- Boxes and logs ----------------------------------------------------------------------------------------
int funcCheckStoragePath(ui::HWND owner, std::string& path);
void funcShowScannerError(int code, const char* caption);
// "(%4d)  %s" for a code of the status table, else "Scanner Status %d".
std::string ScannerErrorText(int code);
intptr_t AboutDlgProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam);
intptr_t PathsDlgProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam);
intptr_t ScannerInfoDlgProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam);
// The supported-scanner list of the About box for a mask.
std::string SupportedScannersText(int mask);
void funcWriteMicrLog(const char* fileName, const char* codeLine);
void funcWriteLog(const char* first, const char* second);

// ---- Automation for the program entry and tests ------------------------------------------------------------
// Told what the caption shows, when the message loop starts (windows up), and when a scan loop ends.
struct DemoObserver {
  std::function<void(const std::string&)> status;
  std::function<void()> started;
  std::function<void()> loopEnded;
};
void SetDemoObserver(DemoObserver observer);

}  // namespace demo
