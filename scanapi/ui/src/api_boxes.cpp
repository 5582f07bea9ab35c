// The API's About dialog and information boxes over the window layer.
#include "zarn/api_boxes.h"

#include <cstdio>

#include "ui/window_system.h"
#include "zarn/lifecycle.h"

namespace zarn {

ui::HINSTANCE hZarnInstance = nullptr;

namespace {

// The second copy a library build keeps of its instance.
ui::HINSTANCE g_moduleInstance = nullptr;

void ShowMessageBox(const char* caption, const char* text) {
  if (ui::WindowSystem* ws = ui::WindowSystem::Current()) {
    ws->MessageBox(nullptr, text != nullptr ? text : "", caption != nullptr ? caption : "", ui::MB_OK);
  }
}

}  // namespace

int ZARNSetAboutInstance(ui::HINSTANCE instance, uint32_t, void*) {
  hZarnInstance = instance;
  return 1;
}

int funcSetModuleInstance(ui::HINSTANCE instance, intptr_t, intptr_t, intptr_t) {
  hZarnInstance = instance;
  g_moduleInstance = instance;
  return 1;
}

int funcModuleExitHook(int) { return 1; }

int ZARNDisplayAbout() {
  if (ui::WindowSystem* ws = ui::WindowSystem::Current()) {
    ws->DialogBox(hZarnInstance, "DisplayAbout", nullptr, DisplayAboutDlgProc);
  }
  return 1;
}

intptr_t DisplayAboutDlgProc(ui::HWND window, uint32_t message, uintptr_t wParam, intptr_t) {
  if (message == ui::WM_INITDIALOG) return 1;
  if (message == ui::WM_COMMAND) {
    const uint32_t id = ui::LoWord(wParam);
    if (id == ui::IDOK || id == ui::IDCANCEL) {
      if (ui::WindowSystem* ws = ui::WindowSystem::Current()) ws->EndDialog(window, 1);
      return 1;
    }
  }
  return 0;
}

ui::DialogTemplate DisplayAboutTemplate() {
  char version[64];
  char date[16] = {};
  funcGetApiDate(date, sizeof date);
  std::snprintf(version, sizeof version, "Version %d, %s", funcGetApiVersion(), date);
  ui::DialogTemplate t;
  t.name = "DisplayAbout";
  t.style = ui::WS_POPUP | ui::WS_CAPTION;
  t.dlu = {0, 0, 180, 70};
  t.caption = "About Zarn API";
  t.controls = {
      {ui::ControlKind::Static, -1, "Zarn Scanner API", {10, 8, 170, 18}, 0},
      {ui::ControlKind::Static, -1, version, {10, 22, 170, 32}, 0},
      {ui::ControlKind::Button, ui::IDOK, "OK", {30, 46, 80, 60}, ui::BS_DEFPUSHBUTTON | ui::WS_TABSTOP},
      {ui::ControlKind::Button, ui::IDCANCEL, "Cancel", {100, 46, 150, 60}, ui::BS_PUSHBUTTON | ui::WS_TABSTOP},
  };
  return t;
}

void ShowApiBoxesOnWindowSystem() { SetInfoBoxHook(&ShowMessageBox); }

}  // namespace zarn
