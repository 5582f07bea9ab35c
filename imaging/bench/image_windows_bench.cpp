// Timing of the image windows' paints on the headless window layer: a 1700 x 800 G4 page fitted into
// 800 x 400 (a fitted paint, a pan and a zoom), and a JPEG slot's first paint (decode included) and later
// paints.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "codec/bilevel/view_transform.h"
#include "codec/core/img_dispatch.h"
#include "image_window_slots.h"
#include "imaging/image_windows.h"
#include "imaging/image_writers.h"
#include "testkit/support/scratch_dir.h"
#include "ui/headless_backend.h"
#include "ui/window_system.h"

namespace {

using namespace zc::imaging;

// A cheque-like page: strokes, rules and some noise.
std::vector<uint8_t> PageBits(int w, int h) {
  const size_t stride = (static_cast<size_t>(w) + 7) / 8;
  std::vector<uint8_t> bits(stride * h, 0);
  std::mt19937 rng(5);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool ink = ((x / 3) % 23 == 0 && (y / 40) % 3 == 1) || y % 97 == 0 || rng() % 50 == 0 ||
                       (y > h - 90 && (x / 6) % 4 == 0 && y < h - 60);
      if (ink) bits[y * stride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  return bits;
}

bool WriteColourJpeg(const std::string& path, int w, int h) {
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = rgb.data() + (static_cast<size_t>(y) * w + x) * 3;
      p[0] = static_cast<uint8_t>(200 + x % 40), p[1] = static_cast<uint8_t>(190 + y % 50), p[2] = 170;
      if ((x / 3) % 23 == 0 && (y / 40) % 3 == 1) p[0] = p[1] = p[2] = 30;
    }
  std::vector<uint8_t> memory(rgb.size() + 65536);
  zc::codec::ImgCompDesc d;
  zc::codec::funcInitCompDesc(&d);
  std::strcpy(d.tag, "JPEG");
  d.memAddress = memory.data();
  d.memSize = static_cast<int32_t>(memory.size());
  d.width = static_cast<uint16_t>(w);
  d.height = static_cast<uint16_t>(h);
  d.bitsPerPixel = 24;
  d.quality = 75;
  d.jfifFlag = 1;
  if (zc::codec::funcInitComp(&d) != 0) return false;
  for (int y = 0; y < h; y += 16)
    if (d.lineWriter(0, y, w, std::min(h, y + 16), rgb.data() + static_cast<size_t>(w) * 3 * y) != 0) return false;
  if (zc::codec::funcEndComp(&d) != 0) return false;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  std::fwrite(memory.data(), 1, d.position, f);
  std::fclose(f);
  return true;
}

struct Screen {
  zc::testkit::ScratchDir dir{"zc_window_bench"};
  std::unique_ptr<ui::WindowSystem> ws;
  ui::HWND frame = nullptr;
  Screen(int w, int h) {
    ws = std::make_unique<ui::WindowSystem>(std::make_unique<ui::HeadlessBackend>(ui::DisplayInfo{1280, 1024}));
    ws->RegisterClass({"BenchFrame", [this](ui::HWND hw, uint32_t m, uintptr_t wp, intptr_t lp) {
                         return ws->DefWindowProc(hw, m, wp, lp);
                       }});
    frame = ws->CreateWindow("BenchFrame", "bench", ui::WS_POPUP | ui::WS_VISIBLE, {0, 0, w, h}, nullptr);
    ZARNStartImageWindow(frame, 1);
  }
  ~Screen() {
    ZARNCloseImageWindow(1);
    ws->DestroyWindow(frame);
  }
  void Paint() {
    ws->InvalidateRect(ImageSlot(0).window, nullptr, false);
    ws->UpdateWindow(frame);
  }
};

void BM_PaintG4Fitted_1700x800(benchmark::State& state) {
  Screen s(800, 400);
  const auto bits = PageBits(1700, 800);
  const std::string file = s.dir / "page.tif";
  WriteBitImageAsG4(file.c_str(), 1700, 800, bits.data(), (1700 + 7) / 8, 200, 0);
  ZARNSetImageMultPage(file.c_str(), 1, 1);
  s.ws->UpdateWindow(s.frame);
  for (auto _ : state) s.Paint();
}
BENCHMARK(BM_PaintG4Fitted_1700x800)->Unit(benchmark::kMillisecond);

// A pan (a line to the right and back) or a zoom into a quarter of the page, each with its repaint.
void BM_PaintG4PanZoom_1700x800(benchmark::State& state) {
  Screen s(800, 400);
  const auto bits = PageBits(1700, 800);
  const std::string file = s.dir / "page.tif";
  WriteBitImageAsG4(file.c_str(), 1700, 800, bits.data(), (1700 + 7) / 8, 200, 0);
  ZARNSetImageMultPage(file.c_str(), 1, 1);
  s.ws->UpdateWindow(s.frame);
  zc::codec::ImageView& v = ImageSlot(0).view;
  bool flip = false;
  for (auto _ : state) {
    if (state.range(0) == 0) {
      s.ws->SendMessage(ImageSlot(0).window, ui::WM_HSCROLL, flip ? ui::SB_LINEUP : ui::SB_LINEDOWN);
    } else if (flip) {
      zc::codec::funcViewFitImage(&v);
    } else {
      zc::codec::funcViewZoomToRect(&v, 200, 100, 1050, 500);
    }
    flip = !flip;
    s.ws->InvalidateRect(ImageSlot(0).window, nullptr, false);
    s.ws->UpdateWindow(s.frame);
  }
}
BENCHMARK(BM_PaintG4PanZoom_1700x800)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PaintJpeg_1700x800(benchmark::State& state) {
  Screen s(800, 400);
  const std::string file = s.dir / "page.jpg";
  if (!WriteColourJpeg(file, 1700, 800)) state.SkipWithError("no JPEG");
  for (auto _ : state) {
    if (state.range(0) == 0) ZARNSetImageMultPage(file.c_str(), 1, 1);  // the first paint decodes
    s.Paint();
  }
}
BENCHMARK(BM_PaintJpeg_1700x800)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
