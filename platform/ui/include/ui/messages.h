// Handles, messages, styles and codes of the window layer, with the numeric values the programs were
// written against.
#pragma once

#include <cstdint>
#include <functional>

#include "ui/geometry.h"

namespace ui {

// Opaque handles. A window handle carries an id that is never reused, so a stale handle names no window.
struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

using WndProc = std::function<intptr_t(HWND, uint32_t, uintptr_t, intptr_t)>;
// A dialog procedure returns true when it handled the message (false lets the dialog default act).
using DlgProc = std::function<intptr_t(HWND, uint32_t, uintptr_t, intptr_t)>;

struct Msg {
  HWND hwnd = nullptr;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

constexpr uintptr_t MakeWParam(uint32_t lo, uint32_t hi) {
  return (uintptr_t{hi & 0xFFFF} << 16) | (lo & 0xFFFF);
}
constexpr intptr_t MakeLParam(int lo, int hi) {
  return static_cast<intptr_t>((static_cast<uint32_t>(hi & 0xFFFF) << 16) | static_cast<uint32_t>(lo & 0xFFFF));
}
constexpr uint32_t LoWord(uintptr_t v) {
  return static_cast<uint32_t>(v & 0xFFFF);
}
constexpr uint32_t HiWord(uintptr_t v) {
  return static_cast<uint32_t>((v >> 16) & 0xFFFF);
}
// Signed coordinates packed in a mouse message's lParam.
constexpr Point PointFromLParam(intptr_t l) {
  return {static_cast<int16_t>(l & 0xFFFF), static_cast<int16_t>((l >> 16) & 0xFFFF)};
}

// Messages.
inline constexpr uint32_t WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003, WM_SIZE = 0x0005,
                          WM_SETFOCUS = 0x0007, WM_KILLFOCUS = 0x0008, WM_ENABLE = 0x000A,
                          WM_SETTEXT = 0x000C, WM_GETTEXT = 0x000D, WM_PAINT = 0x000F, WM_CLOSE = 0x0010,
                          WM_QUIT = 0x0012, WM_ERASEBKGND = 0x0014, WM_SHOWWINDOW = 0x0018,
                          WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101, WM_CHAR = 0x0102,
                          WM_INITDIALOG = 0x0110, WM_COMMAND = 0x0111, WM_TIMER = 0x0113,
                          WM_HSCROLL = 0x0114, WM_VSCROLL = 0x0115, WM_MOUSEMOVE = 0x0200,
                          WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203,
                          WM_RBUTTONDOWN = 0x0204, WM_RBUTTONUP = 0x0205, WM_USER = 0x0400;
// Button messages and notifications.
inline constexpr uint32_t BM_GETCHECK = 0x00F0, BM_SETCHECK = 0x00F1, BM_CLICK = 0x00F5;
inline constexpr uint32_t BN_CLICKED = 0, EN_CHANGE = 0x0300;
inline constexpr int BST_UNCHECKED = 0, BST_CHECKED = 1;

// Window styles.
inline constexpr uint32_t WS_OVERLAPPED = 0x00000000, WS_POPUP = 0x80000000, WS_CHILD = 0x40000000,
                          WS_MINIMIZE = 0x20000000, WS_VISIBLE = 0x10000000, WS_DISABLED = 0x08000000,
                          WS_CLIPSIBLINGS = 0x04000000, WS_CLIPCHILDREN = 0x02000000,
                          WS_CAPTION = 0x00C00000, WS_BORDER = 0x00800000, WS_VSCROLL = 0x00200000,
                          WS_HSCROLL = 0x00100000, WS_SYSMENU = 0x00080000, WS_THICKFRAME = 0x00040000,
                          WS_GROUP = 0x00020000, WS_TABSTOP = 0x00010000, WS_MINIMIZEBOX = 0x00020000,
                          WS_MAXIMIZEBOX = 0x00010000,
                          WS_OVERLAPPEDWINDOW = 0x00CF0000;
// Button styles (low byte: the kind).
inline constexpr uint32_t BS_PUSHBUTTON = 0, BS_DEFPUSHBUTTON = 1, BS_AUTOCHECKBOX = 3, BS_GROUPBOX = 7,
                          BS_AUTORADIOBUTTON = 9;

// Class styles (kept for the callers; redraw on size is what the layer does anyway).
inline constexpr uint32_t CS_VREDRAW = 0x0001, CS_HREDRAW = 0x0002, CS_DBLCLKS = 0x0008;

// ShowWindow commands, WM_SIZE kinds, scroll bars and scroll codes.
inline constexpr int SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOW = 5;
inline constexpr uintptr_t SIZE_RESTORED = 0;
inline constexpr int SB_HORZ = 0, SB_VERT = 1;
inline constexpr int SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3, SB_THUMBPOSITION = 4,
                     SB_TOP = 6, SB_BOTTOM = 7;
inline constexpr uintptr_t MK_LBUTTON = 0x0001, MK_RBUTTON = 0x0002;

// Virtual keys.
inline constexpr uint32_t VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
                          VK_CONTROL = 0x11, VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21,
                          VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26,
                          VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_F1 = 0x70;

// Message boxes.
inline constexpr uint32_t MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
                          MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30;
inline constexpr int IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7;

// Cursors.
enum class Cursor { Arrow, Wait };

}  // namespace ui
