// The window layer: classes, a tree of windows behind opaque handles, synchronous sends and a posted
// queue, painting from invalid regions, dialogs, message boxes and controls drawn by the layer. It stands
// in for the window system the programs were written against and runs over a backend (headless or X11).
//
// Threading: one thread (the one that made the WindowSystem) owns the windows and runs the loops; any
// thread may PostMessage. A post wakes the loop; a post to a window that no longer exists fails and is
// dropped, and one already queued for a window destroyed later is dropped when taken.
//
// Message order as the programs expect: CreateWindow sends WM_CREATE and then WM_SIZE before it returns
// (so a frame sees its first WM_SIZE before it has children); a change of the client size (a move, or a
// scroll bar shown or hidden by its range) sends WM_SIZE. WM_PAINT is generated when no message is waiting,
// for the first invalid window in tree order (parents before children). While it lives, the window system
// is the platform's message pump, so the long waits of other code keep the windows alive.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "ui/backend.h"
#include "ui/canvas.h"
#include "ui/messages.h"
#include "ui/resources.h"

namespace ui {

struct WindowClass {
  std::string name;
  WndProc proc;
  Colour background = kWhite;
  std::string menuName;  // looked up in the instance given to CreateWindow
  uint32_t style = 0;
};

// What BeginPaint hands out: the canvas of the client area and the rectangle to paint (client coordinates).
struct PaintContext {
  std::unique_ptr<Canvas> canvas;
  Rect paint;
  bool erase = false;
};

// The height of a frame's menu bar in pixels (the system font's cell plus a margin).
int MenuBarHeight();

class WindowSystem {
 public:
  explicit WindowSystem(std::unique_ptr<Backend> backend);
  ~WindowSystem();
  WindowSystem(const WindowSystem&) = delete;
  WindowSystem& operator=(const WindowSystem&) = delete;

  // The window system made last on this process, or null.
  static WindowSystem* Current();
  Backend& GetBackend() { return *backend_; }
  DisplayInfo Display() const { return backend_->Display(); }

  // ---- classes and windows
  bool RegisterClass(const WindowClass& cls);
  // `rect`: x, y, width, height as left, top, right - left, bottom - top in the parent's client
  // coordinates (screen coordinates for a top-level). `id` is the child id (or ignored for a top-level).
  HWND CreateWindow(std::string_view className, std::string_view text, uint32_t style, const Rect& rect,
                    HWND parent, int id = 0, HINSTANCE instance = nullptr, intptr_t createParam = 0);
  bool DestroyWindow(HWND h);
  bool IsWindow(HWND h) const;
  HWND GetParent(HWND h) const;
  HWND GetTopLevel(HWND h) const;
  std::vector<HWND> Children(HWND h) const;
  std::vector<HWND> TopLevels() const;
  HWND GetDlgItem(HWND h, int id) const;
  int GetDlgCtrlID(HWND h) const;
  std::string GetWindowText(HWND h) const;
  bool SetWindowText(HWND h, std::string_view text);
  uint32_t GetStyle(HWND h) const;
  Rect GetClientRect(HWND h) const;
  // The window's rectangle in its parent's client coordinates (screen for a top-level).
  Rect GetWindowRect(HWND h) const;
  // The client rectangle in the top-level window's framebuffer coordinates.
  Rect ClientRectInTopLevel(HWND h) const;
  bool MoveWindow(HWND h, const Rect& rect, bool repaint = true);
  bool ShowWindow(HWND h, int cmd);
  bool IsWindowVisible(HWND h) const;
  bool EnableWindow(HWND h, bool enable);
  bool IsWindowEnabled(HWND h) const;
  HWND SetFocus(HWND h);
  HWND GetFocus() const { return focus_; }
  intptr_t GetUserData(HWND h) const;
  void SetUserData(HWND h, intptr_t v);

  // ---- messages
  intptr_t SendMessage(HWND h, uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);
  // Any thread. False (and nothing queued) for a window that no longer exists.
  bool PostMessage(HWND h, uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);
  void PostQuitMessage(int exitCode);
  // Blocks; false for WM_QUIT.
  bool GetMessage(Msg* m);
  bool PeekMessage(Msg* m, bool remove);
  void TranslateMessage(const Msg& m);
  intptr_t DispatchMessage(const Msg& m);
  intptr_t DefWindowProc(HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam);
  // Takes and dispatches every waiting message (dialogs' own keys included); the platform pump.
  void PumpPending();
  // The main loop: GetMessage, accelerators (when given) for `accelWindow`, dialog keys for modeless
  // dialogs, TranslateMessage, DispatchMessage. Returns the quit's exit code.
  int Run(HWND accelWindow = nullptr, const AcceleratorTable* accel = nullptr);

  // ---- painting
  bool InvalidateRect(HWND h, const Rect* rect, bool erase);
  void UpdateWindow(HWND h);
  PaintContext BeginPaint(HWND h);
  void EndPaint(HWND h, PaintContext& pc);
  // A canvas on the client area outside painting (GetDC).
  std::unique_ptr<Canvas> GetDC(HWND h);
  // The framebuffer of a top-level window (its whole window rectangle), or null.
  const Surface* Framebuffer(HWND topLevel) const;
  // Presents every top-level window painted since it was last presented.
  void PresentDirty();

  // ---- scroll bars (a range of min == max hides the bar)
  bool SetScrollRange(HWND h, int bar, int min, int max, bool redraw = true);
  int SetScrollPos(HWND h, int bar, int pos, bool redraw = true);
  int GetScrollPos(HWND h, int bar) const;
  bool IsScrollBarShown(HWND h, int bar) const;

  // ---- dialogs
  HWND CreateDialog(HINSTANCE module, std::string_view name, HWND owner, DlgProc proc, intptr_t param = 0);
  HWND CreateDialogIndirect(const DialogTemplate& t, HWND owner, DlgProc proc, intptr_t param = 0);
  intptr_t DialogBox(HINSTANCE module, std::string_view name, HWND owner, DlgProc proc, intptr_t param = 0);
  intptr_t DialogBoxIndirect(const DialogTemplate& t, HWND owner, DlgProc proc, intptr_t param = 0);
  bool EndDialog(HWND dlg, intptr_t result);
  // Handles the dialog keys (Enter, Escape, Tab) of messages for `dlg` or its controls and dispatches the
  // others for it; false when the message is not for the dialog.
  bool IsDialogMessage(HWND dlg, const Msg& m);
  bool SetDlgItemText(HWND dlg, int id, std::string_view text);
  // At most size - 1 characters (the callers' buffers).
  std::string GetDlgItemText(HWND dlg, int id, size_t size = 256) const;
  bool CheckDlgButton(HWND dlg, int id, int check);
  int IsDlgButtonChecked(HWND dlg, int id) const;
  bool CheckRadioButton(HWND dlg, int first, int last, int check);
  // Dialog base units (pixels per 4 horizontal and 8 vertical dialog units) of the dialog font.
  Point DialogBaseUnits() const;
  Rect DialogUnitsToPixels(const Rect& dlu) const;

  // ---- message boxes, beeps, cursor, capture, keys
  int MessageBox(HWND owner, std::string_view text, std::string_view caption, uint32_t flags);
  void MessageBeep(uint32_t type);
  Cursor SetCursor(Cursor c);
  HWND SetCapture(HWND h);
  void ReleaseCapture();
  HWND GetCapture() const { return capture_; }
  // Confines the pointer to a screen rectangle; null frees it.
  void ClipCursor(const Rect* screen);
  Point ClientToScreen(HWND h, Point p) const;
  // Negative (high bit set) while the key is down, as of the key message last taken from the queue.
  int16_t GetKeyState(uint32_t vk) const;

  // ---- menus and accelerators
  // The drop-down menu open on a frame, or null.
  HWND OpenMenu() const { return menuPopup_; }
  bool TranslateAccelerator(HWND h, const AcceleratorTable* table, const Msg& m);

  // ---- tree view and status bar controls
  uintptr_t TreeInsert(HWND tree, uintptr_t parentItem, std::string_view text);
  void TreeClear(HWND tree);
  // Rows in display order as (depth, text).
  std::vector<std::pair<int, std::string>> TreeRows(HWND tree) const;

  // ---- the profile (WriteProfileString) and its file
  void SetProfileFile(std::string path);
  bool WriteProfileString(const char* section, const char* key, const char* value);

  // ---- input, from backends and tests
  // A mouse event at a point of a top-level window's framebuffer (WM_LBUTTONDOWN, WM_LBUTTONUP,
  // WM_RBUTTONDOWN, WM_MOUSEMOVE, ...).
  void InjectMouse(HWND topLevel, Point p, uint32_t message);
  void InjectKey(uint32_t vk, bool down);
  // A character typed without a key (text from an input method).
  void InjectChar(char c);
  // A close request from the window manager.
  void InjectClose(HWND topLevel);

 private:
  struct Window;
  struct Queue;
  Window* Find(HWND h) const;
  friend struct Controls;
  friend struct MenuSupport;
  void DestroyTree(Window* w);
  void SendSize(Window* w);
  Rect ClientArea(const Window* w) const;  // client rectangle within the window rectangle
  Point ClientOriginInTopLevel(const Window* w) const;
  void PaintNonClient(Window* w);
  Window* FirstInvalid();
  HWND HitTest(Window* top, Point p, Point* client);
  bool IsEffectivelyVisible(const Window* w) const;
  bool NonClientClick(Window* w, Point windowPoint);
  void OpenDropDown(Window* frame, size_t popupIndex);
  void RegisterControlClasses();
  intptr_t RunModal(HWND dlg);
  HWND DialogWindowOf(HWND h) const;

  std::unique_ptr<Backend> backend_;
  std::map<uint64_t, std::unique_ptr<Window>> windows_;
  std::vector<uint64_t> topOrder_;
  std::map<std::string, WindowClass> classes_;  // key: lower-case name
  uint64_t nextId_ = 1;
  std::unique_ptr<Queue> queue_;
  HWND focus_ = nullptr;
  HWND capture_ = nullptr;
  HWND menuPopup_ = nullptr;
  HWND menuOwner_ = nullptr;
  Cursor cursor_ = Cursor::Arrow;
  std::atomic<uint8_t> keys_[256] = {};  // read by hosts from other threads
  std::string profileFile_ = "WIN.INI";
  uintptr_t nextTreeItem_ = 1;
  WindowSystem* previous_ = nullptr;
};

}  // namespace ui
