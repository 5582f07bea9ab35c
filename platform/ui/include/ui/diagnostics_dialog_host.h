// The window layer's host for the device library's diagnostics dialog: shows each model as dialog 1005
// (tree, status bar, buttons) on the window thread and reads the Shift key for the display mode.
// Made on the window thread; it installs itself in the platform's slot and removes itself when it goes.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/diagnostics_host.h"
#include "ui/window_system.h"

namespace ui {

class DiagnosticsDialogHost final : public plat::DiagnosticsHost {
 public:
  explicit DiagnosticsDialogHost(WindowSystem& ws);
  ~DiagnosticsDialogHost() override;
  DiagnosticsDialogHost(const DiagnosticsDialogHost&) = delete;
  DiagnosticsDialogHost& operator=(const DiagnosticsDialogHost&) = delete;

  bool ShiftDown() override;
  void Changed(plat::DiagnosticsView& view) override;
  void Detach(plat::DiagnosticsView& view) override;
  void Pump() override;

  // The dialog showing `view`, or null (window thread).
  HWND DialogOf(const plat::DiagnosticsView& view);

  static const DialogTemplate& Template();

 private:
  void Refresh(plat::DiagnosticsView* view);  // window thread, under m_
  intptr_t OnDialog(HWND dlg, uint32_t msg, uintptr_t wp);
  void Layout(HWND dlg);  // window thread: the tree and status bar follow the dialog's size

  WindowSystem& ws_;
  std::thread::id uiThread_;
  HWND hostWindow_ = nullptr;
  std::mutex m_;  // the views' life: a view is only read under it
  std::map<plat::DiagnosticsView*, HWND> dialogs_;
  plat::DiagnosticsView* pressing_ = nullptr;  // a button press in progress
  std::condition_variable pressDone_;
};

}  // namespace ui
