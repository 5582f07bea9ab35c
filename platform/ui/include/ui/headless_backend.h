// A backend without a screen, for tests: a set screen size, input injected by the test, message boxes
// answered from a script and recorded, beeps counted, framebuffers dumped as PPM.
//
// A loop that has nothing to do runs the next scripted step (a test's way of acting inside a modal
// dialog or box), or else waits for a post from another thread. A loop left waiting with nothing scripted
// and no post for `stallLimit` throws std::runtime_error, so a test that forgot a step fails instead of
// hanging.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "ui/backend.h"

namespace ui {

class HeadlessBackend final : public Backend {
 public:
  explicit HeadlessBackend(DisplayInfo display = {});

  DisplayInfo Display() const override { return display_; }
  void WaitInput(int timeoutMs) override;
  void Wake() override;
  void Beep(uint32_t) override { ++beeps_; }
  void SetCursor(Cursor c) override { cursor_ = c; }
  void ConfinePointer(HWND, const Rect* screen) override;
  std::optional<int> AnswerMessageBox(const MessageBoxRecord& box) override;

  // ---- script
  void Script(std::function<void()> step);
  // Answers for the next boxes, in order; a box without a scripted answer is shown as a dialog.
  void AnswerBoxes(std::vector<int> answers);
  const std::vector<MessageBoxRecord>& Boxes() const { return boxes_; }
  int Beeps() const { return beeps_; }
  Cursor CurrentCursor() const { return cursor_; }
  // The rectangle the pointer is confined to, or an empty one.
  Rect Confinement() const { return confinement_; }
  std::chrono::milliseconds stallLimit{5000};

  // ---- input (posted; a loop or PumpPending delivers it)
  void ClickControl(HWND dialog, int id);
  void ClickAt(HWND topLevel, Point p);
  void Drag(HWND topLevel, Point from, Point to);
  void Key(uint32_t vk);
  // Ctrl (and/or Shift) held around a key.
  void Chord(bool ctrl, bool shift, uint32_t vk);
  // Characters as typed keys (letters, digits and space).
  void Type(std::string_view text);

  // P6 of a top-level window's framebuffer.
  bool DumpPpm(HWND topLevel, const std::string& path) const;

 private:
  WindowSystem& Ws() const { return *ws_; }

  DisplayInfo display_;
  std::mutex m_;
  std::condition_variable cv_;
  bool woken_ = false;
  std::deque<std::function<void()>> script_;
  std::deque<int> answers_;
  std::vector<MessageBoxRecord> boxes_;
  int beeps_ = 0;
  Cursor cursor_ = Cursor::Arrow;
  Rect confinement_;
};

}  // namespace ui
