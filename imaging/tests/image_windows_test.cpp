// The image windows on the headless window layer: result codes, the file-name rule, what a paint leaves
// in the framebuffer (by colour histograms), the rubber band, keys and scroll bars, and the strips' limits.
#include "imaging/image_windows.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "codec/core/img_dispatch.h"
#include "codec/bilevel/view_transform.h"
#include "image_window_slots.h"
#include "scratch_device_file.h"
#include "imaging/image_writers.h"
#include "testkit/support/scratch_dir.h"
#include "text/text_rasterizer.h"
#include "ui/headless_backend.h"
#include "ui/window_system.h"
#include "zarn/params.h"
#include "zarn/status.h"

namespace zc::imaging {
namespace {

using Histogram = std::map<ui::Colour, int>;

// An 800 x 400 page of random pixels, about a third black, as a G4 file.
void WriteRandomPage(const std::string& path, int width, int height, int blackPercent = 33) {
  const size_t stride = (static_cast<size_t>(width) + 7) / 8;
  std::vector<uint8_t> bits(stride * height, 0);
  std::mt19937 rng(7);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (static_cast<int>(rng() % 100) < blackPercent) bits[y * stride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  ASSERT_EQ(WriteBitImageAsG4(path.c_str(), width, height, bits.data(), stride, 200, 0), 1);
}

// A JPEG through the codec: gray rows ("JPEGG") or R, G, B rows ("JPEG").
void WriteJpeg(const std::string& path, int width, int height, int channels,
               const std::function<void(int x, int y, uint8_t* px)>& pixel) {
  std::vector<uint8_t> image(static_cast<size_t>(width) * height * channels);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixel(x, y, image.data() + (static_cast<size_t>(y) * width + x) * channels);
  std::vector<uint8_t> ramp(768);
  for (int i = 0; i < 256; ++i) ramp[3 * i] = ramp[3 * i + 1] = ramp[3 * i + 2] = static_cast<uint8_t>(i);
  std::vector<uint8_t> memory(image.size() + 65536);
  codec::ImgCompDesc desc;
  codec::funcInitCompDesc(&desc);
  std::strcpy(desc.tag, channels == 3 ? "JPEG" : "JPEGG");
  desc.memAddress = memory.data();
  desc.memSize = static_cast<int32_t>(memory.size());
  desc.width = static_cast<uint16_t>(width);
  desc.height = static_cast<uint16_t>(height);
  desc.bitsPerPixel = channels == 3 ? 24 : 8;
  desc.palette = channels == 3 ? nullptr : ramp.data();
  desc.quality = 90;
  desc.jfifFlag = 1;
  ASSERT_EQ(codec::funcInitComp(&desc), 0);
  const size_t row = static_cast<size_t>(width) * channels;
  for (int y = 0; y < height; y += 16)
    ASSERT_EQ(desc.lineWriter(0, y, width, std::min(height, y + 16), image.data() + row * y), 0);
  ASSERT_EQ(codec::funcEndComp(&desc), 0);
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(memory.data(), 1, desc.position, f);
  std::fclose(f);
}

class ImageWindows : public ::testing::Test {
 protected:
  void Make(ui::DisplayInfo::Colours colours = ui::DisplayInfo::Colours::TrueColour) {
    ui::ResetSystemFont();
    ui::DisplayInfo display{1280, 1024};
    display.colours = colours;
    auto backend = std::make_unique<ui::HeadlessBackend>(display);
    hb = backend.get();
    ws = std::make_unique<ui::WindowSystem>(std::move(backend));
    ws->RegisterClass({"ImageWindowTestFrame", [this](ui::HWND h, uint32_t m, uintptr_t wp, intptr_t lp) {
                         return ws->DefWindowProc(h, m, wp, lp);
                       }});
  }
  void SetUp() override {
    saved104 = zarn::funcTableGetParam(104);
    Make();
  }
  void TearDown() override {
    ZARNCloseImageWindow(1);
    ZARNCloseImageWindow(2);
    for (ui::HWND h : ws->TopLevels()) ws->DestroyWindow(h);
    ws.reset();
    zarn::funcTableSetParam(104, saved104);
    ui::ResetSystemFont();
  }
  ui::HWND Frame(int width, int height) {
    frame = ws->CreateWindow("ImageWindowTestFrame", "frame", ui::WS_POPUP | ui::WS_VISIBLE, {0, 0, width, height},
                             nullptr);
    return frame;
  }
  // Delivers what is waiting and paints until nothing changes.
  void Settle() {
    for (int i = 0; i < 6; ++i) {
      ws->PumpPending();
      ws->UpdateWindow(frame);
    }
  }
  ui::HWND Image(int window = 1) { return ImageSlot(window - 1).window; }
  codec::ImageView& View(int window = 1) { return ImageSlot(window - 1).view; }
  Histogram Colours(int window = 1) {
    Histogram h;
    const ui::Surface* fb = ws->Framebuffer(frame);
    const ui::Rect r = ws->ClientRectInTopLevel(Image(window));
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) ++h[fb->Pixel(x, y)];
    return h;
  }
  // Shows the file in window 1 of a frame of the given client size.
  void Show(const std::string& file, int width, int height) {
    Frame(width, height);
    ASSERT_EQ(ZARNStartImageWindow(frame, 1), 0);
    ASSERT_EQ(ZARNSetImageMultPage(file.c_str(), 1, 1), 0);
    Settle();
  }
  // A point of the image window in framebuffer coordinates.
  ui::Point At(int x, int y) {
    const ui::Rect r = ws->ClientRectInTopLevel(Image());
    return {r.left + x, r.top + y};
  }

  text::ScopedTextBackend font{text::TextBackend::Bitmap};
  testkit::ScratchDir dir{"zc_image_windows"};
  zarn::testing::ScratchDeviceFile deviceFile;  // parameter changes land there, not in the working folder
  ui::HeadlessBackend* hb = nullptr;
  std::unique_ptr<ui::WindowSystem> ws;
  ui::HWND frame = nullptr;
  int saved104 = 0;
};

TEST_F(ImageWindows, ResultCodes) {
  Frame(320, 200);
  for (int bad : {0, 3}) {
    EXPECT_EQ(ZARNStartImageWindow(frame, bad), zarn::kInvalidWindow);
    EXPECT_EQ(ZARNCloseImageWindow(bad), zarn::kInvalidWindow);
    EXPECT_EQ(ZARNSizeImageWindow(bad), zarn::kInvalidWindow);
    EXPECT_EQ(ZARNSetImageMultPage("", 1, bad), zarn::kInvalidWindow);
  }
  // Not open yet.
  EXPECT_EQ(ZARNSizeImageWindow(1), zarn::kInvalidWindow);
  EXPECT_EQ(ZARNSetImageMultPage("", 1, 1), zarn::kInvalidWindow);
  EXPECT_EQ(ZARNCloseImageWindow(1), zarn::kCloseWindowError);

  EXPECT_EQ(ZARNStartImageWindow(frame, 1), 0);
  EXPECT_EQ(ZARNStartImageWindow(frame, 1), zarn::kOpenWindowError);
  EXPECT_EQ(ws->GetClientRect(Image()), ws->GetClientRect(frame));
  EXPECT_EQ(ws->GetWindowText(Image()), "Ostrel Imaging's ZARN Image Procedure");

  // An empty name gives a white window.
  EXPECT_EQ(ZARNSetImageMultPage("", 1, 1), 0);
  EXPECT_EQ(ZARNSetImageMultPage(nullptr, 1, 1), 0);
  Settle();
  EXPECT_EQ(Colours(), (Histogram{{ui::kWhite, 320 * 200}}));

  EXPECT_EQ(ZARNSetImageMultPage(dir.File("missing.tif").c_str(), 1, 1), zarn::kDisplayImageError);
  EXPECT_TRUE(ImageSlot(0).name.empty());

  // Resizing follows the parent.
  ws->MoveWindow(frame, {0, 0, 400, 240});
  EXPECT_EQ(ZARNSizeImageWindow(1), 0);
  EXPECT_EQ(ws->GetClientRect(Image()), ws->GetClientRect(frame));

  const ui::HWND closed = Image();
  EXPECT_EQ(ZARNCloseImageWindow(1), 0);
  EXPECT_FALSE(ws->IsWindow(closed));
  EXPECT_EQ(ZARNCloseImageWindow(1), zarn::kCloseWindowError);
  EXPECT_EQ(ZARNStartImageWindow(frame, 1), 0);
}

TEST_F(ImageWindows, FileNameRule) {
  WriteRandomPage(dir.File("f0000001.tif"), 160, 80);
  Frame(320, 200);
  ASSERT_EQ(ZARNStartImageWindow(frame, 1), 0);
  zarn::funcTableSetParam(104, 0);
  EXPECT_EQ(ZARNSetImageMultPage((dir.File("f0000001.tif") + " more words").c_str(), 1, 1), 0);
  EXPECT_EQ(ImageSlot(0).name, dir.File("f0000001.tif"));
  EXPECT_EQ(View().width, 160);

  // A name the rule cannot hold fails like a file that does not open, and is not cut to another name.
  zarn::funcTableSetParam(104, 1);
  const std::string longName = dir.File("f0000001.tif") + std::string(300, 'x');
  EXPECT_EQ(ZARNSetImageMultPage(longName.c_str(), 1, 1), zarn::kDisplayImageError);
}

TEST_F(ImageWindows, FileGoneAtPaintShowsErrorText) {
  const std::string file = dir.File("page.tif");
  WriteRandomPage(file, 320, 160);
  Frame(320, 200);
  ASSERT_EQ(ZARNStartImageWindow(frame, 1), 0);
  ASSERT_EQ(ZARNSetImageMultPage(file.c_str(), 1, 1), 0);
  ::unlink(file.c_str());
  Settle();
  const Histogram h = Colours();
  EXPECT_GT(h.count(ui::kBlack), 0u);  // the text's ink
  EXPECT_GT(h.at(ui::kWhite), 320 * 200 * 9 / 10);
}

// The bilevel page at three zooms: the cells counted down give only the grays of their palette.
struct BilevelCase {
  const char* name;
  int clientWidth;
  std::set<int> levels;
  size_t minDistinct;
};

class BilevelZoom : public ImageWindows, public ::testing::WithParamInterface<BilevelCase> {};

TEST_P(BilevelZoom, ShowsOnlyThePaletteGrays) {
  const BilevelCase& c = GetParam();
  WriteRandomPage(dir.File("page.tif"), 800, 400);
  Show(dir.File("page.tif"), c.clientWidth, 400);
  const Histogram h = Colours();
  std::set<int> seen;
  for (const auto& [colour, count] : h) {
    const int r = (colour >> 16) & 255, g = (colour >> 8) & 255, b = colour & 255;
    ASSERT_TRUE(r == g && g == b) << std::hex << colour;
    EXPECT_TRUE(c.levels.count(r)) << "level " << r;
    seen.insert(r);
  }
  EXPECT_GE(seen.size(), c.minDistinct);
}

std::set<int> SeventeenGrays() {
  std::set<int> s{255};
  for (int i = 1; i <= 16; ++i) s.insert(256 - 16 * i);
  return s;
}

INSTANTIATE_TEST_SUITE_P(Page800x400, BilevelZoom,
                         ::testing::Values(BilevelCase{"OneToThree", 272, SeventeenGrays(), 12},
                                           BilevelCase{"TwoToThree", 544, {255, 128, 64, 0}, 4},
                                           BilevelCase{"OneToOne", 800, {255, 0}, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImageWindows, EmptyViewPaintsWhite) {
  WriteRandomPage(dir.File("page.tif"), 160, 80);
  Show(dir.File("page.tif"), 320, 200);
  View().width = 0;
  ws->InvalidateRect(Image(), nullptr, false);
  Settle();
  EXPECT_EQ(Colours(), (Histogram{{ui::kWhite, 320 * 200}}));
}

// JPEGs fitted to the window by the three strip painters.
struct JpegCase {
  const char* name;
  int channels;
  ui::DisplayInfo::Colours display;
  int bytesPerPixel;
};

class JpegPaint : public ImageWindows, public ::testing::WithParamInterface<JpegCase> {};

TEST_P(JpegPaint, FitsThePicture) {
  const JpegCase& c = GetParam();
  Make(c.display);
  // Left half red (or dark), right half blue (or light), a gradient downwards.
  WriteJpeg(dir.File("pic.jpg"), 320, 240, c.channels, [&](int x, int y, uint8_t* px) {
    if (c.channels == 1) {
      px[0] = static_cast<uint8_t>(x < 160 ? 40 + y / 4 : 160 + y / 4);
    } else {
      px[0] = x < 160 ? 220 : 20;
      px[1] = static_cast<uint8_t>(y / 2);
      px[2] = x < 160 ? 20 : 220;
    }
  });
  Show(dir.File("pic.jpg"), 160, 120);
  EXPECT_EQ(View().zoomX, 1024);
  EXPECT_EQ(ImageSlot(0).bytesPerPixel, c.bytesPerPixel);
  const ui::Surface* fb = ws->Framebuffer(frame);
  const ui::Rect r = ws->ClientRectInTopLevel(Image());
  auto pixel = [&](int x, int y) { return fb->Pixel(r.left + x, r.top + y); };
  const ui::Colour left = pixel(40, 60), right = pixel(120, 60);
  if (c.channels == 1) {
    EXPECT_EQ(left >> 16, left & 255);
    EXPECT_NEAR(static_cast<int>(left & 255), 40 + 30, 12);
    EXPECT_NEAR(static_cast<int>(right & 255), 160 + 30, 12);
  } else {
    EXPECT_GT(static_cast<int>(left >> 16), static_cast<int>(left & 255) + 100);   // red
    EXPECT_GT(static_cast<int>(right & 255), static_cast<int>(right >> 16) + 100);  // blue
  }
  const Histogram h = Colours();
  if (c.display == ui::DisplayInfo::Colours::Palette256) EXPECT_LE(h.size(), 256u);
  EXPECT_LT(h.count(ui::kWhite) ? h.at(ui::kWhite) : 0, 160 * 120 / 50);
}

INSTANTIATE_TEST_SUITE_P(
    Jpeg320x240, JpegPaint,
    ::testing::Values(JpegCase{"ColourTrueColourRGB", 3, ui::DisplayInfo::Colours::TrueColour, 3},
                      JpegCase{"GrayTrueColourGray", 1, ui::DisplayInfo::Colours::TrueColour, 1},
                      JpegCase{"ColourPalette256Mapped", 3, ui::DisplayInfo::Colours::Palette256, 3},
                      JpegCase{"GrayPalette256Gray", 1, ui::DisplayInfo::Colours::Palette256, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// An 8-bit BMP is decoded to palette indexes and painted through the file's own palette.
TEST_F(ImageWindows, PalettedBmpPaintsThroughItsPalette) {
  const int w = 256, h = 64;
  // A DIB's palette (blue, green, red, 0) running from blue to red, and every row the indexes 0..255.
  std::vector<uint8_t> palette(1024), rows(static_cast<size_t>(w) * h);
  for (int i = 0; i < 256; ++i) palette[4 * i + 2] = static_cast<uint8_t>(i), palette[4 * i] = static_cast<uint8_t>(255 - i);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) rows[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(x);
  ASSERT_EQ(funcWriteDIBBMPImage(rows.data(), palette.data(), dir.File("pal.bmp").c_str(), w, h, w, 8, 200, 200), 1);

  Show(dir.File("pal.bmp"), 256, 64);
  EXPECT_EQ(View().decoderMode, 1024);
  EXPECT_EQ(ImageSlot(0).bytesPerPixel, 1);
  const ui::Surface* fb = ws->Framebuffer(frame);
  const ui::Rect r = ws->ClientRectInTopLevel(Image());
  EXPECT_TRUE(ImageSlot(0).decoded);
  for (int x : {0, 100, 255}) EXPECT_EQ(fb->Pixel(r.left + x, r.top + 10), ui::Rgb(x, 0, 255 - x)) << x;
}

TEST_F(ImageWindows, RubberBandZoomsAboveSevenPixelsAndRightClickRefits) {
  WriteRandomPage(dir.File("page.tif"), 800, 400);
  Show(dir.File("page.tif"), 400, 200);
  const int fitted = View().zoomX;

  hb->Drag(frame, At(50, 50), At(55, 55));
  Settle();
  EXPECT_EQ(View().zoomX, fitted);
  EXPECT_EQ(ws->GetCapture(), nullptr);
  EXPECT_TRUE(hb->Confinement().Empty());

  const Histogram before = Colours();
  hb->Drag(frame, At(50, 50), At(90, 90));
  Settle();
  EXPECT_GT(View().zoomX, fitted);
  EXPECT_TRUE(ws->IsScrollBarShown(Image(), ui::SB_HORZ));
  EXPECT_NE(Colours(), before);

  ws->InjectMouse(frame, At(10, 10), ui::WM_RBUTTONDOWN);
  Settle();
  EXPECT_EQ(View().zoomX, fitted);
  EXPECT_FALSE(ws->IsScrollBarShown(Image(), ui::SB_HORZ));
  EXPECT_FALSE(ws->IsScrollBarShown(Image(), ui::SB_VERT));
}

TEST_F(ImageWindows, ScrollBarShownGivesRelayout) {
  WriteRandomPage(dir.File("page.tif"), 800, 400);
  Show(dir.File("page.tif"), 400, 200);
  const ui::Rect before = ws->GetClientRect(Image());
  EXPECT_EQ(View().windowWidth, before.Width() / 16 * 16);
  // 1:1 shows part of the page: both bars appear and the output window follows the smaller client area.
  codec::funcViewZoomToRect(&View(), 0, 0, 400, 200);
  ws->InvalidateRect(Image(), nullptr, false);
  Settle();
  const ui::Rect after = ws->GetClientRect(Image());
  ASSERT_TRUE(ws->IsScrollBarShown(Image(), ui::SB_HORZ));
  ASSERT_TRUE(ws->IsScrollBarShown(Image(), ui::SB_VERT));
  EXPECT_LT(after.Width(), before.Width());
  EXPECT_EQ(View().windowWidth, after.Width() / 16 * 16);
  EXPECT_EQ(View().windowHeight, after.Height() / 8 * 8);
  EXPECT_EQ(View().visibleWidth, View().windowWidth * 2048 / View().zoomX);
}

// Keys become scroll messages (Ctrl moves the page keys to the horizontal bar); the pan moves by a tenth
// of the window per line, half per page, and to the ends.
TEST_F(ImageWindows, KeysScrollThePan) {
  WriteRandomPage(dir.File("page.tif"), 1600, 800);
  Show(dir.File("page.tif"), 400, 200);
  codec::funcViewZoomToRect(&View(), 0, 0, 400, 200);  // 1:1
  ws->InvalidateRect(Image(), nullptr, false);
  Settle();
  ws->SetFocus(Image());
  const int w = View().windowWidth, h = View().windowHeight;
  auto key = [&](uint32_t vk, bool ctrl = false) {
    hb->Chord(ctrl, false, vk);
    Settle();
  };
  key(ui::VK_RIGHT);
  EXPECT_EQ(View().panX, w / 10);
  key(ui::VK_DOWN);
  EXPECT_EQ(View().panY, h / 10);
  key(ui::VK_NEXT);
  EXPECT_EQ(View().panY, h / 10 + h / 2);
  key(ui::VK_NEXT, true);
  EXPECT_EQ(View().panX, w / 10 + w / 2);
  key(ui::VK_END);
  EXPECT_EQ(View().panY, 800 - View().visibleHeight);
  EXPECT_EQ(ws->GetScrollPos(Image(), ui::SB_VERT), 800 - View().visibleHeight);
  key(ui::VK_HOME, true);
  EXPECT_EQ(View().panX, 0);
  key(ui::VK_HOME);
  EXPECT_EQ(View().panY, 0);
}

// The thumb position and the bars' positions by rotation.
struct RotationCase {
  int rotation;
  bool horizontal;
  const char* name;
};

class ThumbByRotation : public ImageWindows, public ::testing::WithParamInterface<RotationCase> {};

TEST_P(ThumbByRotation, SetsPanAndShowsItBack) {
  const RotationCase& c = GetParam();
  WriteRandomPage(dir.File("page.tif"), 1600, 1600);
  Show(dir.File("page.tif"), 400, 400);
  codec::ImageView& v = View();
  v.rotation = c.rotation;
  codec::funcViewZoomToRect(&v, 0, 0, 100, 100);  // 4:1, both bars
  ws->InvalidateRect(Image(), nullptr, false);
  Settle();
  const int pos = 300;
  ws->SendMessage(Image(), c.horizontal ? ui::WM_HSCROLL : ui::WM_VSCROLL,
                  ui::MakeWParam(ui::SB_THUMBPOSITION, pos));
  Settle();
  const int restX = v.width - v.visibleWidth, restY = v.length - v.visibleHeight;
  // Which pan the bar moves and whether it runs backwards, by rotation.
  const bool movesX = c.horizontal ? (c.rotation % 2 == 0) : (c.rotation % 2 == 1);
  const bool reversed = c.horizontal ? (c.rotation == 1 || c.rotation == 2) : (c.rotation == 2 || c.rotation == 3);
  const int expected = reversed ? (movesX ? restX : restY) - pos : pos;
  EXPECT_EQ(movesX ? v.panX : v.panY, expected);
  EXPECT_EQ(ws->GetScrollPos(Image(), c.horizontal ? ui::SB_HORZ : ui::SB_VERT), pos);
}

INSTANTIATE_TEST_SUITE_P(Rotations, ThumbByRotation,
                         ::testing::Values(RotationCase{0, true, "R0Horizontal"}, RotationCase{0, false, "R0Vertical"},
                                           RotationCase{1, true, "R1Horizontal"}, RotationCase{1, false, "R1Vertical"},
                                           RotationCase{2, true, "R2Horizontal"}, RotationCase{2, false, "R2Vertical"},
                                           RotationCase{3, true, "R3Horizontal"}, RotationCase{3, false, "R3Vertical"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A JPEG taller than the 256 strips hold: the rows beyond are dropped, the rest painted.
TEST_F(ImageWindows, TallJpegPaintsWithinTheStrips) {
  WriteJpeg(dir.File("tall.jpg"), 64, 5000, 1, [](int, int y, uint8_t* px) { *px = y < 4096 ? 0 : 255; });
  Show(dir.File("tall.jpg"), 160, 400);
  ASSERT_TRUE(ImageSlot(0).decoded);
  EXPECT_EQ(ImageSlot(0).strips.size(), 256u);
  EXPECT_EQ(View().length, 4096);
  const Histogram h = Colours();
  EXPECT_GT(h.begin()->second, 0);
  EXPECT_LE(h.begin()->first & 255, 8u);  // dark ink painted
}

// A band wider than the image, or rows beyond the strips, are cut to the strips.
TEST_F(ImageWindows, StoreCallbacksClampRowsAndLength) {
  DisplaySlot slot;
  slot.stripRowBytes = 10 * 3;
  for (int i = 0; i < 2; ++i) slot.strips.emplace_back(new uint8_t[slot.stripRowBytes * kSlotStripRows + 32]());
  std::vector<uint8_t> rows(64 * 3 * 40, 0xAB);
  SetSlotBeingFilled(&slot);
  EXPECT_EQ(cbSlotStoreRowsRGB(0, 0, 64, 40, rows.data(), 0), 0);       // wider and taller than the strips
  EXPECT_EQ(cbSlotStoreRowsRGB(0, 4096, 10, 4100, rows.data(), 0), 0);  // beyond 4096 rows
  EXPECT_EQ(cbSlotStoreRows8(12, 0, 20, 2, rows.data(), 0), 0);         // starts past a 1-byte row of 30
  SetSlotBeingFilled(nullptr);
  EXPECT_EQ(slot.strips[1][slot.stripRowBytes * 15 + 29], 0xAB);
  EXPECT_EQ(slot.strips[1][slot.stripRowBytes * 16], 0);  // the 32 spare bytes untouched
}

TEST_F(ImageWindows, TwoWindowsShowTwoFiles) {
  WriteRandomPage(dir.File("front.tif"), 800, 400);
  WriteJpeg(dir.File("rear.jpg"), 320, 160, 1, [](int x, int, uint8_t* px) { *px = static_cast<uint8_t>(x); });
  Frame(400, 200);
  ASSERT_EQ(ZARNStartImageWindow(frame, 1), 0);
  ASSERT_EQ(ZARNStartImageWindow(frame, 2), 0);
  EXPECT_EQ(ZARNSetImageMultPage(dir.File("front.tif").c_str(), 1, 1), 0);
  EXPECT_EQ(ZARNSetImageMultPage(dir.File("rear.jpg").c_str(), 1, 2), 0);
  Settle();
  EXPECT_TRUE(ImageSlot(1).decoded);
  EXPECT_GT(Colours(2).size(), 50u);
  EXPECT_EQ(ZARNCloseImageWindow(2), 0);
  EXPECT_TRUE(ImageSlot(1).strips.empty());
}

}  // namespace
}  // namespace zc::imaging
