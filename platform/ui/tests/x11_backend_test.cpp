// The X11 backend under a private Xvfb server: windows appear, xdotool's clicks and keys arrive, and a
// screenshot of a window equals the headless framebuffer of the same window.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/pnm.h"
#include "testkit/support/scratch_dir.h"
#include "testkit/support/xvfb_server.h"
#include "ui/headless_backend.h"
#include "ui/window_system.h"
#include "ui/x11_backend.h"

namespace {

using namespace ui;

ResourceModule SampleModule() {
  ResourceModule mod;
  DialogTemplate dlg{"SAMPLE", WS_POPUP | WS_CAPTION | WS_VISIBLE, {10, 10, 150, 90}, "Sample Dialog", {}};
  dlg.controls = {{ControlKind::Static, 502, "Scan Number", {6, 6, 130, 14}},
                  {ControlKind::Edit, 503, "", {6, 18, 130, 30}},
                  {ControlKind::Button, 504, "Scan", {6, 36, 66, 50}, BS_PUSHBUTTON},
                  {ControlKind::Button, 507, "B/W", {6, 56, 66, 66}, BS_AUTORADIOBUTTON | WS_GROUP}};
  mod.dialogs.push_back(dlg);
  return mod;
}

// The sample: a frame and the dialog over it.
struct Sample {
  HWND frame = nullptr;
  HWND dialog = nullptr;
  std::vector<int> commands;

  void Build(WindowSystem& ws, HINSTANCE module) {
    ws.RegisterClass({"SampleFrame", [&ws](HWND h, uint32_t m, uintptr_t wp, intptr_t lp) {
                        return ws.DefWindowProc(h, m, wp, lp);
                      }, kLightGray});
    frame = ws.CreateWindow("SampleFrame", "Sample Frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, {0, 0, 500, 400},
                            nullptr);
    dialog = ws.CreateDialog(module, "SAMPLE", frame, [this](HWND, uint32_t m, uintptr_t wp, intptr_t) -> intptr_t {
      if (m == WM_COMMAND && HiWord(wp) == 0) commands.push_back(static_cast<int>(LoWord(wp)));
      return m == WM_INITDIALOG || m == WM_COMMAND;
    });
  }
};

class X11Backend : public testing::Test {
 protected:
  void SetUp() override {
    if (!zc::testkit::HaveTool("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(zc::testkit::HaveTool("xdotool"));
    xvfb_ = std::make_unique<zc::testkit::XvfbServer>();
    ASSERT_FALSE(xvfb_->Name().empty()) << "Xvfb did not start";
    auto backend = ui::X11Backend::Open(xvfb_->Name().c_str());
    ASSERT_TRUE(backend);
    x11_ = backend.get();
    ui::ResetSystemFont();
    ws_ = std::make_unique<WindowSystem>(std::move(backend));
    module_ = RegisterResourceModule(SampleModule());
    sample_.Build(*ws_, module_);
    ASSERT_TRUE(sample_.dialog);
    PumpFor(300);
  }
  void TearDown() override {
    if (ws_)
      for (HWND h : ws_->TopLevels()) ws_->DestroyWindow(h);
    ws_.reset();
    ui::ResetSystemFont();
  }

  // Runs the loop for a while of real time.
  void PumpFor(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      ws_->PumpPending();
      x11_->WaitInput(10);
    }
  }
  template <class Pred>
  bool PumpUntil(Pred done, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end) {
      ws_->PumpPending();
      x11_->WaitInput(10);
    }
    return done();
  }
  zc::testkit::CommandResult Xdotool(const std::string& args) {
    return zc::testkit::RunCommand("DISPLAY=" + xvfb_->Name() + " xdotool " + args, std::chrono::seconds(20));
  }
  Point ScreenCentre(int id) {
    const HWND c = ws_->GetDlgItem(sample_.dialog, id);
    const Rect r = ws_->GetClientRect(c);
    return ws_->ClientToScreen(c, {r.Width() / 2, r.Height() / 2});
  }
  void Click(int id) {
    const Point p = ScreenCentre(id);
    ASSERT_TRUE(Xdotool("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) + " click 1").ok());
  }

  text::ScopedTextBackend font_{text::TextBackend::Bitmap};
  std::unique_ptr<zc::testkit::XvfbServer> xvfb_;
  ui::X11Backend* x11_ = nullptr;
  std::unique_ptr<WindowSystem> ws_;
  HINSTANCE module_ = nullptr;
  Sample sample_;
};

TEST_F(X11Backend, FrameAndDialogAppearWithTheirCaptions) {
  const auto tree = Xdotool("search --name 'Sample Dialog'");
  ASSERT_TRUE(tree.ok()) << tree.output;
  EXPECT_EQ(std::stoul(tree.output), x11_->XWindowOf(sample_.dialog));
  EXPECT_TRUE(Xdotool("search --name 'Sample Frame'").ok());
  EXPECT_EQ(ws_->Display().width, 1024);
}

TEST_F(X11Backend, ClickedPushButtonSendsItsCommand) {
  Click(504);
  EXPECT_TRUE(PumpUntil([&] { return !sample_.commands.empty(); }));
  EXPECT_EQ(sample_.commands, (std::vector<int>{504}));
}

TEST_F(X11Backend, TypedTextReachesTheEdit) {
  Click(503);
  PumpFor(200);
  ASSERT_TRUE(Xdotool("type --delay 20 'Ab1.5'").ok());
  EXPECT_TRUE(PumpUntil([&] { return ws_->GetDlgItemText(sample_.dialog, 503) == "Ab1.5"; }))
      << ws_->GetDlgItemText(sample_.dialog, 503);
}

TEST_F(X11Backend, MessageBoxClosesWithEnter) {
  const Point p = ScreenCentre(502);
  ASSERT_TRUE(Xdotool("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y)).ok());
  std::thread presser([&] { Xdotool("sleep 0.5 key Return"); });
  const int answer = ws_->MessageBox(sample_.frame, "Scanner Does Not Support Callbacks", "Warning", MB_OK);
  presser.join();
  EXPECT_EQ(answer, IDOK);
}

TEST_F(X11Backend, ScreenshotEqualsTheHeadlessFramebuffer) {
  zc::testkit::ScratchDir dir("ui_x11");
  const std::string shot = dir.File("dialog.ppm");
  const auto r = zc::testkit::RunCommand("import -display " + xvfb_->Name() + " -window " +
                                         std::to_string(x11_->XWindowOf(sample_.dialog)) + " -depth 8 ppm:" + shot);
  ASSERT_TRUE(r.ok()) << r.output;
  const auto image = zc::testkit::ReadPnm(shot);
  ASSERT_TRUE(image);

  WindowSystem headless(std::make_unique<HeadlessBackend>(DisplayInfo{1024, 768}));
  Sample same;
  same.Build(headless, module_);
  headless.PumpPending();
  const Surface& fb = *headless.Framebuffer(same.dialog);
  ASSERT_EQ(image->width, fb.Width());
  ASSERT_EQ(image->height, fb.Height());
  int differing = 0;
  for (int y = 0; y < fb.Height(); ++y)
    for (int x = 0; x < fb.Width(); ++x) {
      const uint8_t* p = &image->raster[(static_cast<size_t>(y) * fb.Width() + x) * 3];
      if (Rgb(p[0], p[1], p[2]) != fb.Pixel(x, y)) ++differing;
    }
  EXPECT_EQ(differing, 0);
  for (HWND h : headless.TopLevels()) headless.DestroyWindow(h);
}

}  // namespace
