// The diagnostics model shown by the window layer's host, over the headless backend.
#include <gtest/gtest.h>

#include <thread>

#include "diag/diagnostic_popup.h"
#include "platform/clipboard.h"
#include "testkit/support/scratch_dir.h"
#include "ui/diagnostics_dialog_host.h"
#include "ui/headless_backend.h"

namespace {

using namespace ui;

class DiagnosticsDialog : public ::testing::Test {
 protected:
  DiagnosticsDialog() : font_(text::TextBackend::Bitmap) {
    ResetSystemFont();
    auto backend = std::make_unique<HeadlessBackend>();
    hb_ = backend.get();
    ws_ = std::make_unique<WindowSystem>(std::move(backend));
    host_ = std::make_unique<DiagnosticsDialogHost>(*ws_);
  }
  ~DiagnosticsDialog() override {
    host_.reset();
    ws_.reset();
    ResetSystemFont();
  }
  text::ScopedTextBackend font_;
  HeadlessBackend* hb_ = nullptr;
  std::unique_ptr<WindowSystem> ws_;
  std::unique_ptr<DiagnosticsDialogHost> host_;
};

TEST_F(DiagnosticsDialog, DialogShowsTheModelsTreeStatusAndEnableStates) {
  qv6::CDiagnosticPopup model;
  model.AddStatusRow("Initial Status", 0x80000011, 0x40);
  model.Show(true);
  model.SetStatusText("Download Done");
  ws_->PumpPending();
  const HWND dlg = host_->DialogOf(model);
  ASSERT_TRUE(dlg);
  EXPECT_TRUE(ws_->IsWindowVisible(dlg));
  EXPECT_EQ(ws_->GetWindowText(dlg), "Scanner Diagnostic Information");
  EXPECT_EQ(ws_->TreeRows(ws_->GetDlgItem(dlg, qv6::kDiagTree)), model.Rows());
  EXPECT_EQ(ws_->GetDlgItemText(dlg, 1026), "Download Done");
  EXPECT_TRUE(ws_->IsWindowEnabled(ws_->GetDlgItem(dlg, qv6::kDiagCopy)));
  for (int id : {qv6::kDiagRealtimeMonitor, qv6::kDiagDiagnostics, qv6::kDiagClean, qv6::kDiagEject, qv6::kDiagClear})
    EXPECT_FALSE(ws_->IsWindowEnabled(ws_->GetDlgItem(dlg, id))) << id;
  model.SetConnected(true);
  ws_->PumpPending();
  EXPECT_TRUE(ws_->IsWindowEnabled(ws_->GetDlgItem(dlg, qv6::kDiagEject)));
}

TEST_F(DiagnosticsDialog, CopyAndCloseButtonsActOnTheModel) {
  qv6::CDiagnosticPopup model;
  model.Show(true);
  ws_->PumpPending();
  const HWND dlg = host_->DialogOf(model);
  hb_->ClickControl(dlg, qv6::kDiagCopy);
  ws_->PumpPending();
  EXPECT_EQ(ws_->GetDlgItemText(dlg, 1026), "Copied to clipboard.");
  EXPECT_EQ(plat::GetClipboardText()->substr(0, 10), "Acquired\r\n");
  hb_->ClickControl(dlg, qv6::kDiagClose);
  ws_->PumpPending();
  EXPECT_FALSE(model.Shown());
  EXPECT_FALSE(ws_->IsWindowVisible(dlg));
}

TEST_F(DiagnosticsDialog, ShiftFromTheHostShowsModeTwo) {
  zc::testkit::ScratchDir dir("diag_ui");
  dir.Write("d.ini", "[DEFAULT]\n");
  qv6::CDiagnosticPopup model;
  model.ReadDialogMode(dir.File("d.ini"), "DEFAULT");
  EXPECT_FALSE(model.Shown());
  ws_->PumpPending();
  ws_->InjectKey(VK_SHIFT, true);
  ws_->PumpPending();
  model.ReadDialogMode(dir.File("d.ini"), "DEFAULT");
  EXPECT_TRUE(model.Shown());
  ws_->InjectKey(VK_SHIFT, false);
  ws_->PumpPending();
}

TEST_F(DiagnosticsDialog, RowsFromAnotherThreadReachTheDialogOnTheWindowThread) {
  qv6::CDiagnosticPopup model;
  model.Show(true);
  std::thread poller([&] {
    for (int i = 0; i < 50; ++i) model.AddRow("row " + std::to_string(i), "Acquired");
    model.SetStatusText("Download Done");
  });
  poller.join();
  ws_->PumpPending();
  const HWND dlg = host_->DialogOf(model);
  ASSERT_TRUE(dlg);
  EXPECT_EQ(ws_->TreeRows(ws_->GetDlgItem(dlg, qv6::kDiagTree)), model.Rows());
  EXPECT_EQ(ws_->GetDlgItemText(dlg, 1026), "Download Done");
}

TEST_F(DiagnosticsDialog, ModelGoingAwayTakesItsDialog) {
  HWND dlg = nullptr;
  {
    qv6::CDiagnosticPopup model;
    model.Show(true);
    ws_->PumpPending();
    dlg = host_->DialogOf(model);
    ASSERT_TRUE(dlg);
  }
  ws_->PumpPending();
  EXPECT_FALSE(ws_->IsWindow(dlg));
}

// The tree and the status bar follow the dialog's size; the buttons stay between them, whole.
TEST_F(DiagnosticsDialog, TreeAndStatusBarFollowTheDialogsSize) {
  qv6::CDiagnosticPopup model;
  model.Show(true);
  ws_->PumpPending();
  const HWND dlg = host_->DialogOf(model);
  ASSERT_TRUE(dlg);
  const HWND tree = ws_->GetDlgItem(dlg, qv6::kDiagTree);
  const HWND status = ws_->GetDlgItem(dlg, 1026);
  const HWND eject = ws_->GetDlgItem(dlg, qv6::kDiagEject);
  const Rect buttonBefore = ws_->GetWindowRect(eject);
  for (const Rect& frame : {Rect{40, 40, 900, 700}, Rect{40, 40, 500, 360}}) {
    SCOPED_TRACE(frame.Width());
    ws_->MoveWindow(dlg, frame);
    const Rect client = ws_->GetClientRect(dlg);
    const Rect t = ws_->GetWindowRect(tree);
    const Rect s = ws_->GetWindowRect(status);
    const Rect b = ws_->GetWindowRect(eject);
    EXPECT_EQ(s.bottom, client.bottom);
    EXPECT_EQ(s.right, client.right);
    EXPECT_EQ(b.Height(), buttonBefore.Height());
    EXPECT_EQ(b.Width(), buttonBefore.Width());
    EXPECT_LE(b.bottom, s.top);
    EXPECT_LE(t.bottom, b.top);
    EXPECT_GT(t.bottom, b.top - 3 * b.Height());  // the tree takes the room above the buttons
    EXPECT_GT(t.right, client.right - 20);
  }
}

// "Realtime Monitor" and "Diagnostics" are never enabled; a command reaching them says so in a box.
TEST_F(DiagnosticsDialog, UnbuiltButtonsAnswerNotImplemented) {
  qv6::CDiagnosticPopup model;
  model.Show(true);
  ws_->PumpPending();
  const HWND dlg = host_->DialogOf(model);
  ASSERT_TRUE(dlg);
  hb_->AnswerBoxes({IDOK, IDOK});
  for (int id : {qv6::kDiagRealtimeMonitor, qv6::kDiagDiagnostics})
    ws_->SendMessage(dlg, WM_COMMAND, MakeWParam(static_cast<uint32_t>(id), BN_CLICKED), 0);
  ASSERT_EQ(hb_->Boxes().size(), 2u);
  for (const auto& box : hb_->Boxes()) EXPECT_EQ(box.text, "Not implemented");
  EXPECT_TRUE(model.Shown());
}

}  // namespace
