#include "ui/headless_backend.h"

#include <cctype>
#include <stdexcept>

#include "testkit/support/pnm.h"
#include "ui/window_system.h"

namespace ui {

HeadlessBackend::HeadlessBackend(DisplayInfo display) : display_(display) {}

void HeadlessBackend::WaitInput(int timeoutMs) {
  std::function<void()> step;
  {
    std::unique_lock lock(m_);
    if (woken_) {
      woken_ = false;
      return;
    }
    if (!script_.empty()) {
      step = std::move(script_.front());
      script_.pop_front();
    } else {
      const auto limit = timeoutMs >= 0 ? std::chrono::milliseconds(timeoutMs) : stallLimit;
      if (!cv_.wait_for(lock, limit, [this] { return woken_; })) {
        if (timeoutMs >= 0) return;
        throw std::runtime_error("headless window loop waiting with nothing scripted");
      }
      woken_ = false;
      return;
    }
  }
  step();
}

void HeadlessBackend::Wake() {
  {
    std::lock_guard lock(m_);
    woken_ = true;
  }
  cv_.notify_all();
}

void HeadlessBackend::ConfinePointer(HWND, const Rect* screen) {
  confinement_ = screen ? *screen : Rect{};
}

std::optional<int> HeadlessBackend::AnswerMessageBox(const MessageBoxRecord& box) {
  boxes_.push_back(box);
  if (answers_.empty()) return std::nullopt;
  const int a = answers_.front();
  answers_.pop_front();
  return a;
}

void HeadlessBackend::Script(std::function<void()> step) {
  std::lock_guard lock(m_);
  script_.push_back(std::move(step));
}

void HeadlessBackend::AnswerBoxes(std::vector<int> answers) {
  answers_.insert(answers_.end(), answers.begin(), answers.end());
}

void HeadlessBackend::ClickControl(HWND dialog, int id) {
  const HWND c = Ws().GetDlgItem(dialog, id);
  if (!c) throw std::runtime_error("no control " + std::to_string(id));
  const Rect r = Ws().ClientRectInTopLevel(c);
  ClickAt(Ws().GetTopLevel(c), {r.left + r.Width() / 2, r.top + r.Height() / 2});
}

void HeadlessBackend::ClickAt(HWND topLevel, Point p) {
  Ws().InjectMouse(topLevel, p, WM_LBUTTONDOWN);
  Ws().InjectMouse(topLevel, p, WM_LBUTTONUP);
}

void HeadlessBackend::Drag(HWND topLevel, Point from, Point to) {
  Ws().InjectMouse(topLevel, from, WM_LBUTTONDOWN);
  Ws().InjectMouse(topLevel, {(from.x + to.x) / 2, (from.y + to.y) / 2}, WM_MOUSEMOVE);
  Ws().InjectMouse(topLevel, to, WM_MOUSEMOVE);
  Ws().InjectMouse(topLevel, to, WM_LBUTTONUP);
}

void HeadlessBackend::Key(uint32_t vk) {
  Ws().InjectKey(vk, true);
  Ws().InjectKey(vk, false);
}

void HeadlessBackend::Chord(bool ctrl, bool shift, uint32_t vk) {
  if (ctrl) Ws().InjectKey(VK_CONTROL, true);
  if (shift) Ws().InjectKey(VK_SHIFT, true);
  Ws().InjectKey(vk, true);
  Ws().InjectKey(vk, false);
  if (shift) Ws().InjectKey(VK_SHIFT, false);
  if (ctrl) Ws().InjectKey(VK_CONTROL, false);
}

void HeadlessBackend::Type(std::string_view text) {
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (std::isupper(c)) {
      Chord(false, true, c);
    } else if (std::islower(c)) {
      Key(static_cast<uint32_t>(std::toupper(c)));
    } else {
      Key(c);
    }
  }
}

bool HeadlessBackend::DumpPpm(HWND topLevel, const std::string& path) const {
  const Surface* s = Ws().Framebuffer(topLevel);
  if (!s) return false;
  std::vector<uint8_t> raster;
  raster.reserve(static_cast<size_t>(s->Width()) * s->Height() * 3);
  for (int y = 0; y < s->Height(); ++y)
    for (int x = 0; x < s->Width(); ++x) {
      const Colour c = s->Pixel(x, y);
      raster.insert(raster.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    }
  return zc::testkit::WritePnm(path, zc::testkit::PnmFormat::kColor, s->Width(), s->Height(), raster);
}

}  // namespace ui
