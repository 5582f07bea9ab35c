// Resources as C++ tables: dialog templates in dialog units, menus and accelerator tables, grouped in
// modules that programs look up by an opaque instance handle, as they would look up a program's resources.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/messages.h"

namespace ui {

enum class ControlKind { Static, Edit, Button, TreeView, StatusBar };

struct ControlTemplate {
  ControlKind kind = ControlKind::Static;
  int id = 0;
  std::string text;
  Rect dlu;  // left, top, right, bottom in dialog units
  uint32_t style = 0;  // WS_ and BS_ bits; WS_VISIBLE is added unless `hidden`
  bool hidden = false;
};

struct DialogTemplate {
  std::string name;
  uint32_t style = WS_POPUP | WS_CAPTION;  // WS_CHILD for a dialog inside its owner's client area
  Rect dlu;
  std::string caption;
  std::vector<ControlTemplate> controls;
};

struct MenuItem {
  int id = 0;  // 0 with empty text: a separator
  std::string text;
};
struct MenuPopup {
  std::string text;
  std::vector<MenuItem> items;
};
struct MenuTemplate {
  std::string name;
  std::vector<MenuPopup> popups;
};

// Accelerator flags.
inline constexpr uint8_t FVIRTKEY = 0x01, FSHIFT = 0x04, FCONTROL = 0x08;
struct Accelerator {
  uint8_t flags = 0;  // FVIRTKEY: `key` is a virtual key with the FSHIFT/FCONTROL state; else a character code
  uint32_t key = 0;
  int command = 0;
};
struct AcceleratorTable {
  std::string name;
  std::vector<Accelerator> entries;
};

struct ResourceModule {
  std::vector<DialogTemplate> dialogs;
  std::vector<MenuTemplate> menus;
  std::vector<AcceleratorTable> accelerators;
};

// Registers a module for the life of the process and returns its handle; the tables are copied.
HINSTANCE RegisterResourceModule(ResourceModule module);
// Lookups by name (case-insensitive); null for an unknown handle or name.
const DialogTemplate* FindDialog(HINSTANCE module, std::string_view name);
const MenuTemplate* FindMenu(HINSTANCE module, std::string_view name);
const AcceleratorTable* FindAccelerators(HINSTANCE module, std::string_view name);

}  // namespace ui
