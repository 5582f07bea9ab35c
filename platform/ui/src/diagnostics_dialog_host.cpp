#include "ui/diagnostics_dialog_host.h"

#include <algorithm>

namespace ui {
namespace {

constexpr uint32_t kRefresh = WM_USER + 2;  // lParam: the view
constexpr int kStatusBar = 1026;
constexpr int kButtons[] = {1016, 1018, 1019, 1021, 1022, 1023, 1024};

}  // namespace

const DialogTemplate& DiagnosticsDialogHost::Template() {
  static const DialogTemplate t = [] {
    DialogTemplate d{"1005", WS_POPUP | WS_CAPTION, {40, 40, 360, 250}, "Scanner Diagnostic Information", {}};
    d.controls.push_back({ControlKind::TreeView, 1025, "", {4, 4, 316, 170}, WS_BORDER});
    const char* labels[] = {"&Copy to Clipboard", "Close", "Realtime Monitor", "Diagnostics", "Clean", "Eject", "Clear"};
    int x = 4;
    for (size_t i = 0; i < std::size(kButtons); ++i) {
      const int w = i == 0 ? 70 : 38;
      d.controls.push_back({ControlKind::Button, kButtons[i], labels[i], {x, 174, x + w, 188}, BS_PUSHBUTTON});
      x += w + 3;
    }
    d.controls.push_back({ControlKind::StatusBar, kStatusBar, "", {0, 196, 320, 210}});
    return d;
  }();
  return t;
}

DiagnosticsDialogHost::DiagnosticsDialogHost(WindowSystem& ws) : ws_(ws), uiThread_(std::this_thread::get_id()) {
  ws_.RegisterClass({"DiagnosticsHost", [this](HWND h, uint32_t m, uintptr_t wp, intptr_t lp) -> intptr_t {
                       if (m == kRefresh) {
                         std::lock_guard lock(m_);
                         Refresh(reinterpret_cast<plat::DiagnosticsView*>(lp));
                         return 0;
                       }
                       return ws_.DefWindowProc(h, m, wp, lp);
                     }});
  hostWindow_ = ws_.CreateWindow("DiagnosticsHost", "", WS_POPUP, {0, 0, 1, 1}, nullptr);
  plat::SetDiagnosticsHost(this);
}

DiagnosticsDialogHost::~DiagnosticsDialogHost() {
  plat::SetDiagnosticsHost(nullptr);
  std::lock_guard lock(m_);
  for (auto& [view, dlg] : dialogs_) ws_.DestroyWindow(dlg);
  dialogs_.clear();
  ws_.DestroyWindow(hostWindow_);
}

bool DiagnosticsDialogHost::ShiftDown() {
  return ws_.GetKeyState(VK_SHIFT) < 0;
}

void DiagnosticsDialogHost::Changed(plat::DiagnosticsView& view) {
  {
    std::lock_guard lock(m_);
    dialogs_.emplace(&view, nullptr);  // known from now on; its dialog is made on the window thread
  }
  ws_.PostMessage(hostWindow_, kRefresh, 0, reinterpret_cast<intptr_t>(&view));
}

void DiagnosticsDialogHost::Detach(plat::DiagnosticsView& view) {
  std::unique_lock lock(m_);
  pressDone_.wait(lock, [&] { return pressing_ != &view; });
  auto it = dialogs_.find(&view);
  if (it == dialogs_.end()) return;
  const HWND dlg = it->second;
  dialogs_.erase(it);
  // A refresh still queued finds the view gone; the window itself goes on the window thread.
  if (!dlg) return;
  if (std::this_thread::get_id() == uiThread_) {
    ws_.DestroyWindow(dlg);
  } else {
    ws_.PostMessage(dlg, WM_CLOSE);
  }
}

void DiagnosticsDialogHost::Pump() {
  if (std::this_thread::get_id() == uiThread_) ws_.PumpPending();
}

HWND DiagnosticsDialogHost::DialogOf(const plat::DiagnosticsView& view) {
  std::lock_guard lock(m_);
  auto it = dialogs_.find(const_cast<plat::DiagnosticsView*>(&view));
  return it == dialogs_.end() ? nullptr : it->second;
}

void DiagnosticsDialogHost::Layout(HWND dlg) {
  // The buttons keep their size along the bottom, above the status bar; the tree takes the rest.
  const Rect client = ws_.GetClientRect(dlg);
  const Rect margin = ws_.DialogUnitsToPixels({0, 0, 4, 4});
  const HWND status = ws_.GetDlgItem(dlg, kStatusBar);
  const HWND tree = ws_.GetDlgItem(dlg, 1025);
  if (!status || !tree) return;
  const int statusHeight = ws_.GetWindowRect(status).Height();
  const int statusTop = client.bottom - statusHeight;
  ws_.MoveWindow(status, {0, statusTop, client.right, client.bottom});
  int buttonsTop = statusTop;
  for (int id : kButtons) {
    const HWND b = ws_.GetDlgItem(dlg, id);
    if (!b) continue;
    const Rect r = ws_.GetWindowRect(b);
    const int top = statusTop - margin.bottom - r.Height();
    ws_.MoveWindow(b, {r.left, top, r.right, top + r.Height()});
    buttonsTop = std::min(buttonsTop, top);
  }
  ws_.MoveWindow(tree, {margin.right, margin.bottom, std::max(margin.right, client.right - margin.right),
                        std::max(margin.bottom, buttonsTop - margin.bottom)});
}

intptr_t DiagnosticsDialogHost::OnDialog(HWND dlg, uint32_t msg, uintptr_t wp) {
  if (msg == WM_SIZE) {
    Layout(dlg);
    return 0;
  }
  int id = 0;
  if (msg == WM_COMMAND && HiWord(wp) == BN_CLICKED) id = static_cast<int>(LoWord(wp));
  // Never enabled, so only a command sent by code reaches these two.
  if (id == 1019 || id == 1021) {
    ws_.MessageBox(dlg, "Not implemented", "Scanner Diagnostic Information", MB_OK);
    return 1;
  }
  if (msg == WM_CLOSE) id = 1018;  // the window's close is the Close button
  if (id == 0) return msg == WM_INITDIALOG;
  std::unique_lock lock(m_);
  for (auto& [view, h] : dialogs_)
    if (h == dlg) {
      // The press runs outside the lock (it reaches the connection, whose threads report here), with the
      // view held so a Detach waits for it.
      plat::DiagnosticsView* pressed = view;
      pressing_ = pressed;
      lock.unlock();
      pressed->Press(id == IDCANCEL ? 1018 : id);  // Close hides the dialog
      lock.lock();
      pressing_ = nullptr;
      pressDone_.notify_all();
      return 1;
    }
  // A dialog whose model is gone closes for good.
  if (msg == WM_CLOSE || id == IDCANCEL) ws_.DestroyWindow(dlg);
  return 1;
}

void DiagnosticsDialogHost::Refresh(plat::DiagnosticsView* view) {
  auto it = dialogs_.find(view);
  if (it == dialogs_.end()) return;  // detached meanwhile
  HWND& dlg = it->second;
  if (!ws_.IsWindow(dlg)) {
    dlg = ws_.CreateDialogIndirect(Template(), nullptr,
                                   [this](HWND h, uint32_t m, uintptr_t wp, intptr_t) { return OnDialog(h, m, wp); });
    if (!dlg) return;
    Layout(dlg);
  }
  const HWND tree = ws_.GetDlgItem(dlg, 1025);
  const auto rows = view->Rows();
  if (ws_.TreeRows(tree) != rows) {
    ws_.TreeClear(tree);
    std::vector<uintptr_t> parents;  // the last item at each depth
    for (const auto& [depth, text] : rows) {
      parents.resize(static_cast<size_t>(depth));
      parents.push_back(ws_.TreeInsert(tree, depth == 0 ? 0 : parents[static_cast<size_t>(depth) - 1], text));
    }
  }
  const std::string status = view->StatusText();
  if (ws_.GetDlgItemText(dlg, kStatusBar) != status) ws_.SetDlgItemText(dlg, kStatusBar, status);
  for (int id : kButtons) {
    const HWND b = ws_.GetDlgItem(dlg, id);
    if (ws_.IsWindowEnabled(b) != view->ButtonEnabled(id)) ws_.EnableWindow(b, view->ButtonEnabled(id));
  }
  const bool shown = view->Shown();
  if (ws_.IsWindowVisible(dlg) != shown) ws_.ShowWindow(dlg, shown ? SW_SHOW : SW_HIDE);
}

}  // namespace ui
