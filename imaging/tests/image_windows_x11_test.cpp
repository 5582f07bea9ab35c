// A cheque's front as a G4 file and its rear as a gray JPEG, shown in the two image windows under a
// private Xvfb server: a screenshot of each frame equals the headless framebuffer of the same windows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "codec/core/img_dispatch.h"
#include "imaging/image_windows.h"
#include "imaging/image_writers.h"
#include "scratch_device_file.h"
#include "testkit/cheque/cheque_image.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/pnm.h"
#include "testkit/support/scratch_dir.h"
#include "testkit/support/xvfb_server.h"
#include "text/text_rasterizer.h"
#include "ui/headless_backend.h"
#include "ui/window_system.h"
#include "ui/x11_backend.h"

namespace zc::imaging {
namespace {

void WriteGrayJpeg(const std::string& path, const testkit::GrayImage& img) {
  std::vector<uint8_t> ramp(768);
  for (int i = 0; i < 256; ++i) ramp[3 * i] = ramp[3 * i + 1] = ramp[3 * i + 2] = static_cast<uint8_t>(i);
  std::vector<uint8_t> memory(img.pixels.size() + 65536);
  codec::ImgCompDesc d;
  codec::funcInitCompDesc(&d);
  std::strcpy(d.tag, "JPEGG");
  d.memAddress = memory.data();
  d.memSize = static_cast<int32_t>(memory.size());
  d.width = static_cast<uint16_t>(img.width);
  d.height = static_cast<uint16_t>(img.height);
  d.bitsPerPixel = 8;
  d.palette = ramp.data();
  d.quality = 75;
  d.jfifFlag = 1;
  ASSERT_EQ(codec::funcInitComp(&d), 0);
  for (int y = 0; y < img.height; y += 16)
    ASSERT_EQ(d.lineWriter(0, y, img.width, std::min(img.height, y + 16),
                           img.pixels.data() + static_cast<size_t>(img.width) * y),
              0);
  ASSERT_EQ(codec::funcEndComp(&d), 0);
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(memory.data(), 1, d.position, f);
  std::fclose(f);
}

// Two frames side by side, window 1 (front) in the first and window 2 (rear) in the second.
struct Shown {
  ui::HWND front = nullptr, rear = nullptr;
  void Build(ui::WindowSystem& ws, const std::string& g4, const std::string& jpeg) {
    ws.RegisterClass({"ChequeFrame", [&ws](ui::HWND h, uint32_t m, uintptr_t wp, intptr_t lp) {
                        return ws.DefWindowProc(h, m, wp, lp);
                      }});
    front = ws.CreateWindow("ChequeFrame", "front", ui::WS_POPUP | ui::WS_VISIBLE, {10, 10, 410, 210}, nullptr);
    rear = ws.CreateWindow("ChequeFrame", "rear", ui::WS_POPUP | ui::WS_VISIBLE, {10, 300, 410, 500}, nullptr);
    ASSERT_EQ(ZARNStartImageWindow(front, 1), 0);
    ASSERT_EQ(ZARNStartImageWindow(rear, 2), 0);
    ASSERT_EQ(ZARNSetImageMultPage(g4.c_str(), 1, 1), 0);
    ASSERT_EQ(ZARNSetImageMultPage(jpeg.c_str(), 1, 2), 0);
  }
};

TEST(ImageWindowsX11, ChequeFrontAndRearScreenshotsEqualTheHeadlessFramebuffers) {
  if (!testkit::HaveTool("Xvfb") || !testkit::HaveTool("import")) GTEST_SKIP() << "Xvfb or ImageMagick missing";
  text::ScopedTextBackend font(text::TextBackend::Bitmap);
  zarn::testing::ScratchDeviceFile deviceFile;
  testkit::ScratchDir dir("zc_image_windows_x11");
  const testkit::ChequeSpec spec{200, 6.0, 2.75, 3};
  const testkit::GrayImage gray = testkit::makeChequeGray(spec);
  const testkit::BilevelImage bw = testkit::thresholdImage(gray);
  const std::string g4 = dir / "f0000001.tif", jpeg = dir / "b0000001.jpg";
  ASSERT_EQ(WriteBitImageAsG4(g4.c_str(), bw.width, bw.height, bw.rows.data(), bw.stride, 200, 0), 1);
  WriteGrayJpeg(jpeg, gray);

  testkit::XvfbServer xvfb;
  ASSERT_FALSE(xvfb.Name().empty()) << "Xvfb did not start";
  auto backend = ui::X11Backend::Open(xvfb.Name().c_str());
  ASSERT_TRUE(backend);
  ui::X11Backend* x11 = backend.get();
  ui::ResetSystemFont();
  std::vector<testkit::PnmImage> shots;
  {
    ui::WindowSystem ws(std::move(backend));
    Shown shown;
    shown.Build(ws, g4, jpeg);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
    while (std::chrono::steady_clock::now() < end) {
      ws.PumpPending();
      x11->WaitInput(10);
    }
    for (ui::HWND frame : {shown.front, shown.rear}) {
      const std::string shot = dir / ("shot" + std::to_string(shots.size()) + ".ppm");
      const auto r = testkit::RunCommand("import -display " + xvfb.Name() + " -window " +
                                         std::to_string(x11->XWindowOf(frame)) + " -depth 8 ppm:" + shot);
      ASSERT_TRUE(r.ok()) << r.output;
      auto image = testkit::ReadPnm(shot);
      ASSERT_TRUE(image);
      shots.push_back(*image);
    }
    EXPECT_EQ(ZARNCloseImageWindow(1), 0);
    EXPECT_EQ(ZARNCloseImageWindow(2), 0);
    for (ui::HWND h : ws.TopLevels()) ws.DestroyWindow(h);
  }

  ui::ResetSystemFont();
  ui::WindowSystem headless(std::make_unique<ui::HeadlessBackend>(ui::DisplayInfo{1024, 768}));
  Shown same;
  same.Build(headless, g4, jpeg);
  for (int i = 0; i < 4; ++i) {
    headless.PumpPending();
    headless.UpdateWindow(same.front);
    headless.UpdateWindow(same.rear);
  }
  int index = 0;
  for (ui::HWND frame : {same.front, same.rear}) {
    const ui::Surface& fb = *headless.Framebuffer(frame);
    const testkit::PnmImage& image = shots[index++];
    ASSERT_EQ(image.width, fb.Width());
    ASSERT_EQ(image.height, fb.Height());
    int differing = 0, ink = 0;
    for (int y = 0; y < fb.Height(); ++y)
      for (int x = 0; x < fb.Width(); ++x) {
        const uint8_t* p = &image.raster[(static_cast<size_t>(y) * fb.Width() + x) * 3];
        if (ui::Rgb(p[0], p[1], p[2]) != fb.Pixel(x, y)) ++differing;
        if (fb.Pixel(x, y) != ui::kWhite) ++ink;
      }
    EXPECT_EQ(differing, 0) << "frame " << index;
    EXPECT_GT(ink, fb.Width() * fb.Height() / 20) << "frame " << index;  // the cheque is there
  }
  EXPECT_EQ(ZARNCloseImageWindow(1), 0);
  EXPECT_EQ(ZARNCloseImageWindow(2), 0);
  for (ui::HWND h : headless.TopLevels()) headless.DestroyWindow(h);
}

}  // namespace
}  // namespace zc::imaging
