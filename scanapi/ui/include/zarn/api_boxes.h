// The API's boxes on the window layer: its About dialog "DisplayAbout" and the information boxes the
// scanner calls show ("SCSI Information"), all modal and without an owner window.
#pragma once

#include <cstdint>

#include "ui/messages.h"
#include "ui/resources.h"

namespace zarn {

// The module the API's dialogs are looked up in. A program sets it before anything else; a library build
// of the API sets it from its module entry hooks below.
extern ui::HINSTANCE hZarnInstance;

// Module entry hooks of a library build: they keep the instance and return 1. A program calls none of them.
int ZARNSetAboutInstance(ui::HINSTANCE instance, uint32_t reason, void* reserved);
int funcSetModuleInstance(ui::HINSTANCE instance, intptr_t a, intptr_t b, intptr_t c);
int funcModuleExitHook(int code);

// Shows "DisplayAbout" of hZarnInstance's module on the current window system; 1 whatever the dialog gives.
int ZARNDisplayAbout();
intptr_t DisplayAboutDlgProc(ui::HWND window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The dialog "DisplayAbout": the API's name, version and date, with OK and Cancel.
ui::DialogTemplate DisplayAboutTemplate();

// From now on the API's information boxes are message boxes (OK only) of the window system current when
// they come; with none current they stay unseen.
void ShowApiBoxesOnWindowSystem();

}  // namespace zarn
