// The control panel and its scan loop: each step scans one document through the API, shows its images,
// puts the code line in the caption and appends it to the code-line log.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "demo/lumivex.h"
#include "imaging/endorsement.h"
#include "imaging/image_windows.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "ui/window_system.h"
#include "zarn/analysis.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/qv600_services.h"
#include "zarn/scan.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace demo {

void NotifyLoopEnded();

namespace {

DemoPanelState g_panel;
// A step is running (its scan call pumps messages), and automatic documents that arrived meanwhile.
bool g_stepRunning = false;
int g_autoPending = 0;
bool g_nextPending = false;
// The automatic-scan callback copies the code line on the library's thread.
std::mutex g_callbackLine;
char g_callbackCodeLine[100] = {};

ui::WindowSystem& Ws() { return *ui::WindowSystem::Current(); }

void SetNumber(ui::HWND dlg, int id, long value) {
  char text[32];
  std::snprintf(text, sizeof text, "%ld", value);
  Ws().SetDlgItemText(dlg, id, text);
}

void WriteItemNumber() {
  char text[32];
  std::snprintf(text, sizeof text, "%ld", static_cast<long>(g_panel.scanNumber));
  Ws().WriteProfileString("Brevant LUMIVEX", "ItemNumber", text);
}

void ShowImageType(ui::HWND dlg) {
  static constexpr int kIds[] = {IDC_BW, IDC_GRAY, IDC_COLOR, IDC_GRAYBW, IDC_COLORBW, IDC_COLOR2, IDC_COLOR2BW};
  for (int i = 0; i < 7; ++i) Ws().CheckDlgButton(dlg, kIds[i], g_panel.imageType == i + 1 ? 1 : 0);
}

void ShowOptions(ui::HWND dlg) {
  Ws().CheckDlgButton(dlg, IDC_ENDORSE, g_panel.endorse >= 1 ? 1 : 0);
  Ws().CheckDlgButton(dlg, IDC_SORT, g_panel.sort);
  Ws().CheckDlgButton(dlg, IDC_SCANBATCH, g_panel.scanBatch);
  Ws().CheckDlgButton(dlg, IDC_FRANK, g_panel.franker);
  Ws().CheckDlgButton(dlg, IDC_MICRLOG, g_panel.micrLog == 2 ? 1 : 0);
}

void ShowDoubleFeed(ui::HWND dlg) {
  for (int id = IDC_DF_OFF; id <= IDC_DF_NOSTOP; ++id) Ws().CheckDlgButton(dlg, id, g_panel.doubleFeedMode == id - IDC_DF_OFF);
}

void StatusForCode(int code) { funcSetStatusText(ScannerErrorText(code).c_str()); }

// Image type requests: `colourOnly` types need a scanner of kind 5 or above.
void SelectImageType(ui::HWND dlg, int type, bool colourOnly, int gray256, int colour) {
  if (g_panel.loopRunning == 0) {
    if (colourOnly && Windows().scannerKind < kKindQv620) {
      Ws().MessageBeep(0);
    } else {
      g_panel.imageType = type;
      if (gray256 == -2) zarn::ZARNSetParam(45, Windows().scannerKind < kKindQv620 ? 0 : 1);
      else if (gray256 >= 0) zarn::ZARNSetParam(45, gray256);
      zarn::ZARNSetParam(119, colour);
      zarn::ZARNSetParam(126, colour);
    }
  }
  ShowImageType(dlg);
}

void StartLoop(ui::HWND dlg) {
  g_panel.firstDocument = 1;
  g_panel.documentCount = 0;
  funcSetStatusText("Scanning Started....");
  g_panel.scanNumber = ParseScanNumber(Ws().GetDlgItemText(dlg, IDC_SCANNUMBER, 32));
  SetNumber(dlg, IDC_SCANNUMBER, g_panel.scanNumber);
  g_panel.bwThreshold = ParseThreshold(Ws().GetDlgItemText(dlg, IDC_THRESHOLD, 32));
  SetNumber(dlg, IDC_THRESHOLD, g_panel.bwThreshold);
  zarn::ZARNSetParam(11, g_panel.bwThreshold);
  zarn::ZARNSetParam(12, 8);
  WriteItemNumber();
  Ws().SetDlgItemText(dlg, IDC_SCAN, "Quit");
  g_panel.loopRunning = 1;
  Ws().SetDlgItemText(dlg, IDC_RATE_LABEL, "");
  Ws().SetDlgItemText(dlg, IDC_RATE, "");
  Ws().PostMessage(dlg, ui::WM_COMMAND, CMD_NEXTSTEP);
}

// One step at a time: a document fed on the scanner's own while a step waits runs after that step.
int RunStep(ui::HWND dlg) {
  g_stepRunning = true;
  const int r = funcScanDocument(dlg);
  g_stepRunning = false;
  for (; g_autoPending > 0; --g_autoPending) Ws().PostMessage(dlg, ui::WM_COMMAND, CMD_AUTODOCUMENT);
  if (g_nextPending) {
    g_nextPending = false;
    Ws().PostMessage(dlg, ui::WM_COMMAND, CMD_NEXTSTEP);
  }
  return r;
}

void NextStep(ui::HWND dlg) {
  if (g_panel.loopRunning == 0) return;
  if (g_stepRunning) {
    g_nextPending = true;
    return;
  }
  if (RunStep(dlg) != 0) {
    g_panel.loopRunning = 0;
    Ws().SetDlgItemText(dlg, IDC_SCAN, "Scan");
    SetNumber(dlg, IDC_SCANNUMBER, g_panel.scanNumber);
    WriteItemNumber();
    NotifyLoopEnded();
    return;
  }
  if (g_panel.loopRunning == 0) return;
  ++g_panel.documentCount;
  const uint32_t now = plat::GetTickCount();
  if (g_panel.documentCount == 1) g_panel.rateStart = now;
  const uint32_t elapsed = plat::TicksElapsed(g_panel.rateStart, now);
  // Nothing to show for a zero interval.
  if (g_panel.documentCount >= 6 && elapsed != 0) {
    char text[48];
    std::snprintf(text, sizeof text, "%ld per min.",
                  static_cast<long>((g_panel.documentCount - 1) * 60000u / elapsed));
    Ws().SetDlgItemText(dlg, IDC_RATE_LABEL, "Scan Rate");
    Ws().SetDlgItemText(dlg, IDC_RATE, text);
  }
  Ws().PostMessage(dlg, ui::WM_COMMAND, CMD_NEXTSTEP);
}

void OnCommand(ui::HWND dlg, int id) {
  // A step of the automatic scan counts as a running loop for the commands that must wait for idle.
  const bool idle = g_panel.loopRunning == 0 && !g_stepRunning;
  switch (id) {
    case IDC_SCAN:
      if (!idle) {
        g_panel.loopRunning = 0;
        Ws().SetDlgItemText(dlg, IDC_SCAN, "Scan");
      } else {
        StartLoop(dlg);
      }
      break;
    case IDC_EXIT:
      if (idle && Windows().frame != nullptr) Ws().SendMessage(Windows().frame, ui::WM_CLOSE);
      break;
    case IDC_EJECT:
      if (idle) {
        const int r = zarn::ZARNEjectDocument();
        if (r < 0) funcShowScannerError(r, "Error Ejecting Document");
        else funcSetStatusText("Document Ejected -- Waiting to Scan");
      }
      break;
    case IDC_BW: SelectImageType(dlg, 1, false, -1, 0); break;
    case IDC_GRAY: SelectImageType(dlg, 2, false, -2, 0); break;
    case IDC_COLOR: SelectImageType(dlg, 3, true, -1, 1); break;
    case IDC_GRAYBW: SelectImageType(dlg, 4, false, -2, 0); break;
    case IDC_COLORBW: SelectImageType(dlg, 5, true, 1, 1); break;
    case IDC_COLOR2: SelectImageType(dlg, 6, true, -1, 2); break;
    case IDC_COLOR2BW: SelectImageType(dlg, 7, true, 1, 2); break;
    case IDC_ENDORSE:
      if (idle) {
        g_panel.endorse = g_panel.endorse != 0 ? 0 : 1;
        if (g_panel.endorse != 0 && zarn::ZARNGetParam(160) == 1) {
          zarn::ZARNSetParam(31, 1);
          zarn::funcQV600BatchPrintString("  BATCH%04d", 800, 0, g_panel.scanNumber, 1);
          zarn::ZARNSetParam(106, 1);
        } else if (g_panel.endorse == 0) {
          zarn::ZARNSetParam(31, 0);
          zarn::ZARNSetParam(160, g_panel.scanBatch);
        }
      }
      ShowOptions(dlg);
      break;
    case IDC_SORT:
      if (idle && Windows().scannerKind == kKindQv840) {
        g_panel.sort = g_panel.sort != 0 ? 0 : 1;
        if (g_panel.sort != 0) {
          zarn::ZARNSetParam(32, 1);
          zarn::ZARNSetParam(49, 1);
        } else {
          zarn::ZARNSetParam(32, 0);
        }
      } else {
        g_panel.sort = 0;
      }
      ShowOptions(dlg);
      break;
    case IDC_MICRLOG:
      g_panel.micrLog = g_panel.micrLog == 0 ? 2 : 0;
      zarn::ZARNSetParam(117, g_panel.micrLog);
      ShowOptions(dlg);
      break;
    case IDC_FRANK: {
      const int typeCode = zarn::ZARNGetParam(167);
      if (typeCode == 30 || typeCode == 240) g_panel.franker = g_panel.franker != 0 ? 0 : 1;
      zarn::ZARNSetParam(196, g_panel.franker);
      ShowOptions(dlg);
      break;
    }
    case IDC_DF_OFF:
    case IDC_DF_STOP:
    case IDC_DF_NOSTOP: {
      const int typeCode = zarn::ZARNGetParam(167);
      if (typeCode == 200 || typeCode == 215 || typeCode == 30) {
        g_panel.doubleFeedMode = 0;
      } else if (idle) {
        g_panel.doubleFeedMode = id - IDC_DF_OFF;
        zarn::ZARNSetParam(7, g_panel.doubleFeedMode);
      }
      ShowDoubleFeed(dlg);
      break;
    }
    case IDC_SCANBATCH:
      if (idle) {
        g_panel.scanBatch = g_panel.scanBatch != 0 ? 0 : 1;
        zarn::ZARNSetParam(160, g_panel.scanBatch);
        g_panel.scanBatch = zarn::ZARNGetParam(160);
      }
      ShowOptions(dlg);
      break;
    case CMD_NEXTSTEP:
      NextStep(dlg);
      break;
    case CMD_AUTODOCUMENT:
      if (g_stepRunning) {
        ++g_autoPending;
        break;
      }
      if (RunStep(dlg) != 0) {
        SetNumber(dlg, IDC_SCANNUMBER, g_panel.scanNumber);
        WriteItemNumber();
      }
      break;
    default:
      break;
  }
}

// The next document's file name with the scan number in seven digits.
void Name(char* out, const char* format) {
  std::snprintf(out, 256, format, static_cast<long>(g_panel.scanNumber));
}

}  // namespace

DemoPanelState& Panel() { return g_panel; }

void ResetPanelSteps() {
  g_stepRunning = false;
  g_autoPending = 0;
  g_nextPending = false;
}

int32_t ParseScanNumber(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str()) v = 0;
  if (v > INT32_MAX) v = INT32_MAX;
  return v < 0 ? 0 : static_cast<int32_t>(v);
}

int ParseThreshold(const std::string& text) {
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || v < 2 || v > 13) return 9;
  return static_cast<int>(v);
}

intptr_t MainDlgProc(ui::HWND dlg, uint32_t msg, uintptr_t wParam, intptr_t) {
  if (msg == ui::WM_INITDIALOG) {
    Windows().panel = dlg;
    SetNumber(dlg, IDC_SCANNUMBER, g_panel.scanNumber);
    SetNumber(dlg, IDC_THRESHOLD, g_panel.bwThreshold);
    g_panel.loopRunning = 0;
    ShowImageType(dlg);
    ShowOptions(dlg);
    ShowDoubleFeed(dlg);
    Ws().SetDlgItemText(dlg, IDC_RATE_LABEL, "");
    Ws().SetDlgItemText(dlg, IDC_RATE, "");
    return 1;
  }
  if (msg == ui::WM_COMMAND) {
    // Only clicks and the posted commands: edit notifications carry a code in the high word.
    if ((wParam >> 16) == 0) OnCommand(dlg, static_cast<int>(wParam));
    return 1;
  }
  return 0;
}

int funcScanDocument(ui::HWND dlg) {
  DemoPanelState& p = g_panel;
  if (p.endorse != 0 && zarn::ZARNGetParam(160) == 0) {
    char text[48];
    std::snprintf(text, sizeof text, " VEKAPI %d", p.scanNumber);
    const int t = zarn::funcGetScannerTypeCode();
    if (t < 300 || t == 314) {
      zc::imaging::CheckEndorsementStart(t, 600);
      zc::imaging::CheckEndorsementText(t, 15, 0, 1, 1, 0, "Arial", text);
    } else {
      zc::imaging::CheckEndorsementStart(t, 300);
      zc::imaging::CheckEndorsementText(t, 27, 8, -3, 1, 0, "Arial", text);
    }
    zc::imaging::CheckEndorsementEnd(t, "Lumivex.BMP");
    zarn::ZARNSetParam(31, 1);
    zarn::funcQV800SetPrint(35, 800, "Lumivex.BMP");
  }

  int result;
  p.codeLine[0] = '\0';
  switch (p.imageType) {
    case 2:
    case 3:
    case 6:
      Name(p.frontName, ".\\images\\f%07ld.jpg");
      Name(p.rearName, ".\\images\\b%07ld.jpg");
      result = zarn::ZARNScanGray(7, p.frontName, p.frontSize, p.rearName, p.rearSize, p.codeLine, p.codeLineLength, 4);
      break;
    case 4:
    case 5:
    case 7: {
      Name(p.frontName, ".\\images\\f%07ld.tif");
      Name(p.rearName, ".\\images\\f%07ld.jpg");
      int32_t status = 0;
      zarn::VEKScanRequest request{};
      request.frontBwTiff = p.frontName;
      request.frontImage = p.rearName;
      request.codeLine = p.codeLine;
      request.codeLineSize = sizeof p.codeLine;
      request.iqaStatus = &status;
      request.contrast = &status;
      result = zarn::VEKScan(request);
      break;
    }
    default: {
      Name(p.frontName, ".\\images\\f%07ld.tif");
      Name(p.rearName, ".\\images\\b%07ld.tif");
      result = zarn::ZARNScan(7, p.frontName, p.frontSize, p.rearName, p.rearSize, p.codeLine, p.codeLineLength);
      char ocr[256] = {}, confidence[256] = {};
      if (zarn::funcOCRTiffImage(p.frontName, 1, 0, ocr, confidence, sizeof ocr) == 0) {
        char combined[512] = {};
        zarn::funcCombineMICR(p.codeLine, ocr, confidence, combined, sizeof combined, 4);
      }
      break;
    }
  }
  if (result >= 0 && p.sort == 1) result = zarn::QV800SetPocket((p.scanNumber % 8) / 7);
  if (result < 0) {
    if (p.firstDocument == 0 && result == zarn::kFeederEmpty) return 1;
    StatusForCode(result);
    return 1;
  }
  zc::imaging::ZARNSetImageMultPage(p.frontName, 1, 1);
  zc::imaging::ZARNSetImageMultPage(p.rearName, 1, 2);
  p.firstDocument = 0;
  // The number never runs past the largest one the format and the data model allow.
  if (p.scanNumber < INT32_MAX) ++p.scanNumber;
  SetNumber(dlg, IDC_SCANNUMBER, p.scanNumber);
  std::string status = "MICR Code Line -> ";
  status += p.codeLine;
  funcSetStatusText(status.c_str());
  funcWriteMicrLog(p.frontName, p.codeLine);
  return 0;
}

int QV600_MICRCallBack(uint32_t) {
  {
    std::lock_guard<std::mutex> lock(g_callbackLine);
    zarn::funcQV600GetMICR(g_callbackCodeLine, static_cast<int>(sizeof g_callbackCodeLine));
  }
  plat::OutputDebugStringA("QV600_MICRCallBack");
  if (Windows().panel != nullptr) {
    ui::WindowSystem* ws = ui::WindowSystem::Current();
    if (ws != nullptr) ws->PostMessage(Windows().panel, ui::WM_COMMAND, CMD_AUTODOCUMENT);
  }
  return 0;
}

}  // namespace demo
