// A window system over the headless backend, with the bitmap font so pixels are the same everywhere.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/headless_backend.h"
#include "ui/window_system.h"

namespace uitest {

struct Logged {
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
  bool operator==(const Logged&) const = default;
};

class UiFixture : public testing::Test {
 protected:
  UiFixture() : font_(text::TextBackend::Bitmap) {
    ui::ResetSystemFont();
    auto backend = std::make_unique<ui::HeadlessBackend>(ui::DisplayInfo{1280, 1024});
    hb = backend.get();
    ws = std::make_unique<ui::WindowSystem>(std::move(backend));
  }
  ~UiFixture() override {
    // The test's procedures reach the window system through `ws`, so windows go while it is set.
    for (ui::HWND h : ws->TopLevels()) ws->DestroyWindow(h);
    ws.reset();
    ui::ResetSystemFont();
  }

  // A class whose procedure logs every message (and defers to the default procedure).
  void RegisterLogging(const std::string& name, std::vector<Logged>* log, ui::Colour bg = ui::kWhite) {
    ws->RegisterClass({name,
                       [this, log](ui::HWND h, uint32_t m, uintptr_t wp, intptr_t lp) {
                         log->push_back({m, wp, lp});
                         return ws->DefWindowProc(h, m, wp, lp);
                       },
                       bg});
  }
  static std::vector<uint32_t> Messages(const std::vector<Logged>& log, std::vector<uint32_t> only) {
    std::vector<uint32_t> out;
    for (const auto& l : log)
      if (std::find(only.begin(), only.end(), l.message) != only.end()) out.push_back(l.message);
    return out;
  }

  // Storage that outlives the windows, for what their procedures record (they still run at teardown).
  template <class T>
  T& Keep() {
    auto p = std::make_shared<T>();
    kept_.push_back(p);
    return *p;
  }

  std::vector<std::shared_ptr<void>> kept_;
  text::ScopedTextBackend font_;
  ui::HeadlessBackend* hb = nullptr;
  std::unique_ptr<ui::WindowSystem> ws;
};

}  // namespace uitest
