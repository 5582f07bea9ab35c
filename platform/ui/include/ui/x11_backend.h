// The Xlib backend: one X window per top-level window (children are composed by the layer into its
// framebuffer, which is put with XPutImage), keyboard and pointer input handed to the window layer, the
// caption as the window name, and the window manager's close as WM_CLOSE. Posts from other threads wake
// the loop through a pipe, so no Xlib call is made off the window thread.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "ui/backend.h"

namespace ui {

class X11Backend final : public Backend {
 public:
  // Null when the display cannot be opened (the name, or $DISPLAY when null).
  static std::unique_ptr<X11Backend> Open(const char* displayName = nullptr);
  ~X11Backend() override;
  X11Backend(const X11Backend&) = delete;
  X11Backend& operator=(const X11Backend&) = delete;

  DisplayInfo Display() const override { return display_; }
  void TopLevelCreated(HWND h, const Rect& rect, std::string_view caption, bool popup) override;
  void TopLevelDestroyed(HWND h) override;
  void TopLevelShown(HWND h, bool visible) override;
  void TopLevelMoved(HWND h, const Rect& rect) override;
  void CaptionChanged(HWND h, std::string_view caption) override;
  void Present(HWND h, const Surface& s) override;
  void PollInput() override;
  void WaitInput(int timeoutMs) override;
  void Wake() override;
  void Beep(uint32_t type) override;
  void ConfinePointer(HWND h, const Rect* screen) override;

  // The X window of a top-level window (0 when it has none), for screenshots in tests.
  unsigned long XWindowOf(HWND h) const;

 private:
  struct State;
  explicit X11Backend(std::unique_ptr<State> s);
  void Handle(void* event);

  std::unique_ptr<State> s_;
  DisplayInfo display_;
};

}  // namespace ui
