// The layer's record of one window and of the posted queue (private to the window layer).
#pragma once

#include <deque>
#include <mutex>
#include <thread>
#include <unordered_set>

#include "ui/window_system.h"

namespace ui {

// Sizes of the parts the layer draws around a client area, in pixels.
inline constexpr int kScrollBarSize = 16;

struct WindowSystem::Window {
  uint64_t id = 0;
  HWND handle = nullptr;
  std::string className;  // lower case
  WndProc proc;
  Colour background = kWhite;
  std::string text;
  uint32_t style = 0;
  int ctrlId = 0;
  HWND parent = nullptr;
  HWND owner = nullptr;
  Rect rect;  // in the parent's client coordinates; screen coordinates for a top-level
  std::vector<HWND> children;  // bottom of the z-order first
  bool visible = false;
  bool enabled = true;
  struct Bar {
    int min = 0, max = 100, pos = 0;
  } bars[2];
  bool invalid = false;
  bool erase = false;
  Rect invalidRect;  // client coordinates
  // Dialogs.
  DlgProc dlgProc;
  bool isDialog = false;
  bool ended = false;
  intptr_t result = 0;
  // Controls.
  int check = BST_UNCHECKED;
  bool pressed = false;
  struct TreeItem {
    uintptr_t id = 0, parent = 0;
    std::string text;
  };
  std::vector<TreeItem> items;
  // Top-level windows.
  const MenuTemplate* menu = nullptr;
  std::unique_ptr<Surface> framebuffer;
  bool dirty = false;
  intptr_t userData = 0;
  bool destroying = false;

  bool IsTopLevel() const { return !(style & WS_CHILD); }
  bool BarShown(int bar) const {
    const uint32_t flag = bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL;
    return (style & flag) && bars[bar].max > bars[bar].min;
  }
};

struct WindowSystem::Queue {
  std::mutex m;
  std::deque<Msg> posted;
  std::unordered_set<uint64_t> live;  // windows a post may target
  bool quit = false;
  int quitCode = 0;
};

inline uint64_t IdOf(HWND h) {
  return reinterpret_cast<uintptr_t>(h);
}
inline HWND HandleOf(uint64_t id) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(id));
}

// "&Help" -> "Help".
std::string StripMnemonic(std::string_view text);

}  // namespace ui
