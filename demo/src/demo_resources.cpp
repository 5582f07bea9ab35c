// The demonstration's resources: its three dialogs, the menu and the accelerator table.
#include "demo/lumivex.h"
#include "ui/resources.h"
#include "zarn/api_boxes.h"

namespace demo {
namespace {

using ui::ControlKind;
using ui::ControlTemplate;

ControlTemplate Static(int id, const char* text, ui::Rect dlu) { return {ControlKind::Static, id, text, dlu, 0}; }
ControlTemplate Edit(int id, ui::Rect dlu) { return {ControlKind::Edit, id, "", dlu, ui::WS_BORDER | ui::WS_TABSTOP}; }
ControlTemplate Push(int id, const char* text, ui::Rect dlu) {
  return {ControlKind::Button, id, text, dlu, ui::BS_PUSHBUTTON | ui::WS_TABSTOP};
}
ControlTemplate Radio(int id, const char* text, ui::Rect dlu) {
  return {ControlKind::Button, id, text, dlu, ui::BS_AUTORADIOBUTTON};
}
ControlTemplate Check(int id, const char* text, ui::Rect dlu) {
  return {ControlKind::Button, id, text, dlu, ui::BS_AUTOCHECKBOX};
}
ControlTemplate Group(int id, const char* text, ui::Rect dlu) {
  return {ControlKind::Button, id, text, dlu, ui::BS_GROUPBOX};
}

ui::ResourceModule Module() {
  ui::ResourceModule m;
  m.dialogs.push_back({"INITWAIT",
                       ui::WS_POPUP | ui::WS_CAPTION,
                       {0, 0, 260, 34},
                       "Lumivex Finding and Initializing VEK Scanner",
                       {Static(500, "Lumivex is attempting to find and initialize the VEK Check Scanner", {5, 4, 255, 14}),
                        Static(501, "Please Wait up to a minute", {5, 18, 255, 28})}});
  // Visible: the modeless panel is created inside its host and never shown on its own.
  m.dialogs.push_back({"LUMIVEXMAIN",
                       ui::WS_CHILD | ui::WS_VISIBLE,
                       {0, 0, 100, 1200},
                       "",
                       {Static(IDC_SCANNUMBER_LABEL, "Scan Number", {4, 4, 70, 13}),
                        Edit(IDC_SCANNUMBER, {4, 14, 64, 26}),
                        Push(IDC_SCAN, "Scan", {4, 30, 34, 44}),
                        Push(IDC_EXIT, "Exit", {36, 30, 66, 44}),
                        Push(IDC_EJECT, "Eject", {4, 46, 34, 60}),
                        Group(IDC_IMAGETYPE_GROUP, "Image Type", {2, 64, 70, 160}),
                        Radio(IDC_BW, "B/W", {6, 74, 36, 84}),
                        Edit(IDC_THRESHOLD, {38, 73, 64, 85}),
                        Radio(IDC_GRAY, "Grayscale", {6, 86, 66, 96}),
                        Radio(IDC_COLOR, "Color", {6, 98, 66, 108}),
                        Radio(IDC_COLOR2, "Color2", {6, 110, 66, 120}),
                        Radio(IDC_GRAYBW, "Gray-B/W", {6, 122, 66, 132}),
                        Radio(IDC_COLORBW, "Color-B/W", {6, 134, 66, 144}),
                        Radio(IDC_COLOR2BW, "Color2-B/W", {6, 146, 66, 156}),
                        Group(IDC_OPTIONS_GROUP, "Options", {2, 164, 70, 228}),
                        Check(IDC_ENDORSE, "Endorse", {6, 174, 66, 184}),
                        Check(IDC_SORT, "Sort", {6, 186, 66, 196}),
                        Check(IDC_SCANBATCH, "ScanBatch", {6, 198, 66, 208}),
                        Check(IDC_FRANK, "Frank", {6, 210, 66, 220}),
                        Check(IDC_MICRLOG, "MICRLog", {6, 220, 66, 228}),
                        Group(IDC_DOUBLEFEED_GROUP, "DoubleFeed", {2, 232, 70, 272}),
                        Radio(IDC_DF_OFF, "Off", {6, 242, 66, 250}),
                        Radio(IDC_DF_STOP, "Stop", {6, 252, 66, 260}),
                        Radio(IDC_DF_NOSTOP, "No Stop", {6, 262, 66, 270}),
                        Static(IDC_RATE_LABEL, "DocPerMinute", {4, 276, 70, 286}),
                        Static(IDC_RATE, "DocPerMinute", {4, 288, 70, 298})}});
  std::vector<ControlTemplate> lines;
  for (int id = IDC_LINE1; id <= IDC_LINE5; ++id) {
    const int top = 6 + (id - IDC_LINE1) * 12;
    lines.push_back(Static(id, "", {5, top, 245, top + 10}));
  }
  lines.push_back({ControlKind::Button, IDC_OK, "OK", {100, 72, 150, 88}, ui::BS_DEFPUSHBUTTON | ui::WS_TABSTOP});
  m.dialogs.push_back({"LUMIVEXABOUT", ui::WS_POPUP | ui::WS_CAPTION, {0, 0, 250, 100},
                       "About Ostrel Imaging Check Scanner Demonstration", lines});
  // The API's own About dialog is looked up in the program's module.
  m.dialogs.push_back(zarn::DisplayAboutTemplate());
  m.menus.push_back({"LUMIVEX",
                     {{"&Help",
                       {{CMD_SCANNERINFO, "&Scanner Info"},
                        {0, ""},
                        {CMD_AUTOSCAN, "QV600 AutoScanMicr"},
                        {0, ""},
                        {CMD_ABOUT, "&About"},
                        {CMD_PATHS, "&Paths"}}}}});
  m.accelerators.push_back({"LUMIVEXACCE", {{0, 1, CMD_ABOUT}, {0, 5, CMD_CTRL_E}, {ui::FVIRTKEY, ui::VK_F1, CMD_SCANNERINFO}}});
  return m;
}

}  // namespace

ui::HINSTANCE DemoResources() {
  static const ui::HINSTANCE module = ui::RegisterResourceModule(Module());
  return module;
}

}  // namespace demo
