// The demonstration's start: window classes, the frame (whose creation starts the scanner), the panel host,
// the two image windows, the menu commands and the scanner set-up that fixes the demonstration's defaults.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "demo/lumivex.h"
#include "imaging/image_windows.h"
#include "platform/debug_output.h"
#include "ui/window_system.h"
#include "zarn/api_boxes.h"
#include "zarn/lifecycle.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/scan.h"
#include "zarn/trace.h"

namespace demo {
namespace {

constexpr const char* kFrameClass = "Brevants's Orvisca Demonstration";
constexpr const char* kImageClass = "Brevant's LUMIVEX Child Image";
constexpr const char* kPanelClass = "Brevant's LUMIVEX Child Dialog";

DemoWindows g_windows;
DemoObserver g_observer;

ui::WindowSystem& Ws() { return *ui::WindowSystem::Current(); }

// The current directory with a final "\" (empty when it is longer than a path may be).
std::string CurrentFolder() {
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return {};
  std::string folder = cwd;
  if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
  return folder;
}

int InitWithWaitBox(ui::HWND frame) {
  ui::HWND wait = Ws().CreateDialog(DemoResources(), "INITWAIT", frame, InitWaitDlgProc);
  const int r = zarn::ZARNInit();
  if (wait != nullptr) Ws().DestroyWindow(wait);
  return r;
}

// The frame's creation: the images folder, the trace level, the scanner start with one retry offer.
intptr_t OnCreate(ui::HWND frame) {
  g_windows.frame = frame;
  std::string images = CurrentFolder() + "Images\\";
  funcCheckStoragePath(nullptr, images);
  zarn::ZARNSetParam(165, 2);
  zarn::ZARNSetParamString(135, "NOINI");
  zarn::ZARNSetParamString(158, "200");
  int r = InitWithWaitBox(frame);
  if (r < 0) {
    if (Ws().MessageBox(frame, "Try Initializing scanner with local firmware?", "Quit Lumivex?",
                        ui::MB_YESNO | ui::MB_ICONQUESTION) == ui::IDYES) {
      const std::string firmware = CurrentFolder() + "QV620Firmware.bin";
      zarn::ZARNSetParamString(138, firmware.c_str());
      r = InitWithWaitBox(frame);
    }
  }
  if (r < 0) {
    char text[96];
    std::snprintf(text, sizeof text, "ZARNInit => %d.  Is the ZARN on and connected?", r);
    Ws().MessageBox(nullptr, text, "CREATE", ui::MB_OK);
    Ws().SendMessage(frame, ui::WM_CLOSE);
    return 0;
  }
  zarn::ZARNSetParam(31, 0);
  zarn::ZARNSetParam(32, 0);
  zarn::ZARNSetParam(160, 1);
  Panel().scanBatch = zarn::ZARNGetParam(160);
  funcSetupScanner();
  return 0;
}

void OnSize(ui::HWND frame) {
  const ui::Rect c = Ws().GetClientRect(frame);
  const int half = c.bottom / 2;
  if (g_windows.front != nullptr) Ws().MoveWindow(g_windows.front, {c.left + 100, c.top, c.right, c.top + half});
  if (g_windows.rear != nullptr) Ws().MoveWindow(g_windows.rear, {c.left + 100, half, c.right, half + half});
  if (g_windows.panelHost != nullptr) Ws().MoveWindow(g_windows.panelHost, {0, 0, 100, c.bottom});
}

void OnCommand(ui::HWND frame, int id) {
  switch (id) {
    case CMD_AUTOSCAN:
      if (g_windows.scannerKind <= kKindType314) {
        Ws().MessageBox(frame, "Scanner Does Not Support Callbacks", "Warning", ui::MB_OK);
        break;
      }
      zarn::ZARNSetParam(111, 1);
      zarn::ZARNSetParam(109, 5000);
      zarn::funcSetUpCallBack(zarn::kStMicrReady, [](uint32_t status) { QV600_MICRCallBack(status); });
      break;
    case CMD_SCANNERINFO:
      Ws().DialogBox(DemoResources(), "LUMIVEXABOUT", frame, ScannerInfoDlgProc);
      Ws().InvalidateRect(frame, nullptr, true);
      break;
    case CMD_ABOUT:
      Ws().DialogBox(DemoResources(), "LUMIVEXABOUT", frame, AboutDlgProc);
      Ws().InvalidateRect(frame, nullptr, true);
      break;
    case CMD_PATHS:
      Ws().DialogBox(DemoResources(), "LUMIVEXABOUT", frame, PathsDlgProc);
      Ws().InvalidateRect(frame, nullptr, true);
      break;
    default:
      break;
  }
}

}  // namespace

DemoWindows& Windows() { return g_windows; }

void SetDemoObserver(DemoObserver observer) { g_observer = std::move(observer); }

void funcSetStatusText(const char* text) {
  if (g_windows.frame != nullptr) Ws().SetWindowText(g_windows.frame, text != nullptr ? text : "");
  if (g_observer.status) g_observer.status(text != nullptr ? text : "");
}

void NotifyLoopEnded() {
  if (g_observer.loopEnded) g_observer.loopEnded();
}

int ClassifyScanner(const char* product, size_t size, int typeCode) {
  struct Pattern {
    const char* text;
    int kind;
    bool secondEitherCase;
  };
  static constexpr Pattern kPatterns[] = {
      {"Tq62", kKindTq62, false},  {"Tq68", kKindTq68, false},   {"QV800", kKindQv800, false},
      {"QV810", kKindQv800, false}, {"QV700", kKindQv800, false}, {"QV600", kKindQv600, true},
      {"QV605", kKindQv600, true},  {"QV620", kKindQv620, true},  {"QV630", kKindQv630, true},
      {"QV840", kKindQv840, true},  {"RM 70", kKindRm70, true},   {"QV640", kKindQv640, true},
  };
  // Matches are compared within the text; the walk starts at most 20 positions in.
  const size_t n = product != nullptr ? strnlen(product, size) : 0;
  for (size_t i = 0; i < n && i < 20; ++i) {
    int kind = -1;
    for (const Pattern& p : kPatterns) {
      const size_t len = std::strlen(p.text);
      if (i + len > n) continue;
      bool match = true;
      for (size_t j = 0; j < len && match; ++j) {
        const char c = product[i + j];
        const char want = p.text[j];
        if (j == 1 && p.secondEitherCase) match = c == want || c == static_cast<char>(want | 0x20);
        else match = c == want;
      }
      if (match) kind = p.kind;
    }
    if (typeCode == 314) kind = kKindType314;
    if (kind >= 0) return kind;
  }
  return kKindTq62;
}

void funcSetupScanner() {
  unsigned char adapter = 0, target = 0;
  // The whole model text: the kinds are told apart by the model name after the maker's words ("Orvisca
  // Scanner Qv630"), which a 16-character product field would cut off.
  char vendor[zarn::kVendorRoom] = {}, product[64] = {}, release[zarn::kReleaseRoom] = {};
  const int r = zarn::GetScannerInfoTexts(&adapter, &target, vendor, sizeof vendor, product, sizeof product, release,
                                          sizeof release, 0);
  if (r < 0) funcShowScannerError(r, "Could Not Get Scanner Info");
  g_windows.scannerKind = ClassifyScanner(product, sizeof product - 1, zarn::funcGetScannerTypeCode());

  DemoPanelState& p = Panel();
  int micrFont = 1;
  zarn::ZARNSetParam(111, 0);
  zarn::ZARNSetParam(116, 0);
  zarn::ZARNSetParam(107, 2);
  p.bwThreshold = 9;
  p.doubleFeedMode = 2;
  zarn::ZARNSetParam(109, 500);
  const int typeCode = zarn::ZARNGetParam(167);
  if (typeCode == 200 || typeCode == 215 || typeCode == 30) {
    p.doubleFeedMode = 0;
    zarn::ZARNSetParam(109, 4000);
  }
  zarn::ZARNSetParam(7, p.doubleFeedMode);
  p.imageType = 4;
  p.scanNumber = 1;
  p.endorse = 0;
  p.sort = 0;
  zarn::ZARNSetParam(116, 0);
  zarn::ZARNSetParam(45, g_windows.scannerKind < kKindQv620 ? 0 : 1);

  struct Setting {
    int id;
    int value;
    const char* caption;
  };
  for (const Setting& s : {Setting{2, micrFont, "Error: Setting MICR Type"}, Setting{6, 1, "Error Setting DPI 200x200"},
                           Setting{11, p.bwThreshold, "Error: Front Threshold"}, Setting{12, 8, "Error: Rear Threshold"}}) {
    const int result = zarn::ZARNSetParam(s.id, s.value);
    if (result < 0) funcShowScannerError(result, s.caption);
  }
  zarn::ZARNSetParam(108, 64);
}

intptr_t InitWaitDlgProc(ui::HWND h, uint32_t msg, uintptr_t, intptr_t) {
  if (msg == ui::WM_INITDIALOG) return 1;
  if (msg == ui::WM_COMMAND) {
    Ws().EndDialog(h, 1);
    return 1;
  }
  return 0;
}

intptr_t MainWndProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  switch (msg) {
    case ui::WM_CREATE:
      return OnCreate(h);
    case ui::WM_SIZE:
      OnSize(h);
      return 0;
    case ui::WM_COMMAND:
      OnCommand(h, static_cast<int>(wParam & 0xFFFF));
      return 0;
    case ui::WM_DESTROY:
      zarn::ZARNExit();
      g_windows.frame = nullptr;
      Ws().PostQuitMessage(0);
      return 0;
    default:
      return Ws().DefWindowProc(h, msg, wParam, lParam);
  }
}

intptr_t PanelWndProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (msg == ui::WM_DESTROY) {
    // The panel dialog is a child: it goes with its host.
    g_windows.panel = nullptr;
    return 0;
  }
  return Ws().DefWindowProc(h, msg, wParam, lParam);
}

intptr_t ImageWndProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  const int n = h == g_windows.front ? 1 : 2;
  if (msg == ui::WM_DESTROY) {
    zc::imaging::ZARNCloseImageWindow(n);
    return 0;
  }
  if (msg == ui::WM_SIZE) {
    zc::imaging::ZARNSizeImageWindow(n);
    return 0;
  }
  return Ws().DefWindowProc(h, msg, wParam, lParam);
}

int WinMain(ui::HINSTANCE instance, ui::HINSTANCE previous, const char*, int show) {
  zarn::hZarnInstance = instance;
  zarn::ShowApiBoxesOnWindowSystem();
  ui::WindowSystem& ws = Ws();
  g_windows.instance = instance;
  if (previous == nullptr) {
    const uint32_t style = ui::CS_HREDRAW | ui::CS_VREDRAW;
    if (!ws.RegisterClass({kFrameClass, MainWndProc, ui::kLightGray, "LUMIVEX", style}) ||
        !ws.RegisterClass({kImageClass, ImageWndProc, ui::kWhite, "", style}) ||
        !ws.RegisterClass({kPanelClass, PanelWndProc, ui::kGray, "", style})) {
      return 0;
    }
  }
  const ui::DisplayInfo display = ws.Display();
  const uint32_t frameStyle = ui::WS_OVERLAPPEDWINDOW | ui::WS_CLIPCHILDREN | ui::WS_CLIPSIBLINGS;
  ui::HWND frame = ws.CreateWindow(kFrameClass, kFrameClass, frameStyle, {0, 0, display.width, display.height},
                                   nullptr, 0, instance);
  if (frame == nullptr || !ws.IsWindow(frame)) return 0;
  ws.ShowWindow(frame, show);
  ws.UpdateWindow(frame);
  const ui::Rect c = ws.GetClientRect(frame);
  const uint32_t childStyle = ui::WS_CHILD | ui::WS_BORDER | ui::WS_CLIPCHILDREN | ui::WS_CLIPSIBLINGS;
  g_windows.panelHost = ws.CreateWindow(kPanelClass, kPanelClass, childStyle, {0, 0, 120, c.bottom}, frame, 3, instance);
  if (g_windows.panelHost == nullptr) return 0;
  ws.ShowWindow(g_windows.panelHost, ui::SW_SHOW);
  g_windows.panel = ws.CreateDialog(DemoResources(), "LUMIVEXMAIN", g_windows.panelHost, MainDlgProc);
  const int half = c.bottom / 2;
  g_windows.front = ws.CreateWindow(kImageClass, kImageClass, childStyle, {120, 0, c.right, half}, frame, 1, instance);
  if (g_windows.front == nullptr) return 0;
  ws.ShowWindow(g_windows.front, ui::SW_SHOW);
  const int startFront = zc::imaging::ZARNStartImageWindow(g_windows.front, 1);
  g_windows.rear = ws.CreateWindow(kImageClass, kImageClass, childStyle, {120, half, c.right, half + half}, frame, 2,
                                   instance);
  if (g_windows.rear == nullptr) return 0;
  ws.ShowWindow(g_windows.rear, ui::SW_SHOW);
  const int startRear = zc::imaging::ZARNStartImageWindow(g_windows.rear, 2);
  if (startFront < 0 || startRear < 0) {
    ws.MessageBox(nullptr, "Unable to create ZARN display windows", "ERROR: Display", ui::MB_OK);
    return 0;
  }
  const ui::AcceleratorTable* accel = ui::FindAccelerators(DemoResources(), "LUMIVEXACCE");
  if (g_observer.started) g_observer.started();
  return ws.Run(frame, accel);
}

void ResetPanelSteps();

void ResetDemoForTests() {
  ResetPanelSteps();
  g_windows = DemoWindows{};
  g_observer = DemoObserver{};
  Panel() = DemoPanelState{};
}

}  // namespace demo
