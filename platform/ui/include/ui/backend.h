// What a window backend does for the window layer: shows top-level windows (each with the framebuffer the
// layer painted), gathers input and hands it to the layer, and waits for input or a wake-up.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ui/display.h"
#include "ui/messages.h"
#include "ui/surface.h"

namespace ui {

class WindowSystem;

struct MessageBoxRecord {
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  uint32_t flags = 0;
  bool operator==(const MessageBoxRecord&) const = default;
};

class Backend {
 public:
  virtual ~Backend() = default;
  // Called once by the window system that owns the backend.
  virtual void Attach(WindowSystem& ws) { ws_ = &ws; }

  virtual DisplayInfo Display() const = 0;

  // Top-level windows: `rect` in screen pixels. `popup` marks windows without a frame of the window
  // manager (drop-down menus).
  virtual void TopLevelCreated(HWND, const Rect& /*rect*/, std::string_view /*caption*/, bool /*popup*/) {}
  virtual void TopLevelDestroyed(HWND) {}
  virtual void TopLevelShown(HWND, bool /*visible*/) {}
  virtual void TopLevelMoved(HWND, const Rect&) {}
  virtual void CaptionChanged(HWND, std::string_view) {}
  // The window's framebuffer after painting.
  virtual void Present(HWND, const Surface&) {}

  // Takes the input that is ready without blocking and hands it to the window system.
  virtual void PollInput() {}
  // Called when no message is waiting: blocks until input arrives or Wake is called, at most `timeoutMs`
  // (negative: no limit).
  virtual void WaitInput(int timeoutMs) = 0;
  // Called from any thread after a message was posted.
  virtual void Wake() = 0;

  virtual void Beep(uint32_t /*type*/) {}
  virtual void SetCursor(Cursor) {}
  // Confines the pointer to a screen rectangle, or frees it (null).
  virtual void ConfinePointer(HWND /*window*/, const Rect* /*screen*/) {}
  // A backend may answer message boxes itself (scripted tests); nullopt shows the box.
  virtual std::optional<int> AnswerMessageBox(const MessageBoxRecord&) { return std::nullopt; }

 protected:
  WindowSystem* ws_ = nullptr;
};

}  // namespace ui
