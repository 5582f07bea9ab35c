// The display slots behind the image windows and the functions that paint them, for the window procedure
// and for tests that look inside a slot.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/bilevel/image_view.h"
#include "imaging/dib_block.h"
#include "ui/canvas.h"
#include "ui/window_system.h"

namespace zc::imaging {

inline constexpr int kSlotStripRows = 16;
inline constexpr int kSlotMaxStrips = 256;  // so at most 4096 decoded rows

struct DisplaySlot {
  ui::HWND parent = nullptr;
  ui::HWND window = nullptr;
  ui::WindowSystem* ws = nullptr;  // the window system the window lives in
  codec::ImageView view{};
  std::string name;
  int page = 0;
  bool repaint = false;
  int colourForm = 0;
  int reduction = 0;
  std::vector<uint8_t> palette;  // 256 x R, G, B when the strips hold palette indexes
  std::vector<std::unique_ptr<uint8_t[]>> strips;
  size_t stripRowBytes = 0;
  bool decoded = false;
  int bytesPerPixel = 1;
};

inline constexpr const char* kImageWindowClass = "Ostrel Imaging's ZARN Image Procedure";

// Slot 0 or 1 (window 1 or 2).
DisplaySlot& ImageSlot(int index);

intptr_t ZARNImageWndProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam);
// Sets both bars from the view (pan clamped first): 1 when a bar was shown or hidden, else 0.
int funcSetSlotScrollBars(ui::HWND h, DisplaySlot& slot);
void funcPaintImageSlot(DisplaySlot& slot, ui::Canvas& dc, ui::HWND h);
void funcFreeImageSlot(DisplaySlot& slot);
// Draws `target`'s size of `dib` at `target`'s position; `source`'s left and top give the block's
// lower-left corner counted from the DIB's bottom-left (the DIB's rows are stored bottom-up). `palette`,
// when given, is selected while it draws.
void funcDrawDIBBand(ui::Canvas& dc, const ui::Rect& target, const DibBlock& dib, const ui::Rect& source,
                     const std::vector<ui::Colour>* palette);
int funcSlotPaintRGB(DisplaySlot& slot, ui::Canvas& dc);
int funcSlotPaintMapped(DisplaySlot& slot, ui::Canvas& dc);
int funcSlotPaintGray(DisplaySlot& slot, ui::Canvas& dc);
// The codec's display callbacks: store decoded rows into the strips of the slot being filled.
int cbSlotStoreRows8(int x0, int y0, int x1, int y1, const uint8_t* rows, uintptr_t user);
int cbSlotStoreRowsRGB(int x0, int y0, int x1, int y1, const uint8_t* rows, uintptr_t user);
// Makes `slot` the one the display callbacks fill (null: none).
void SetSlotBeingFilled(DisplaySlot* slot);

}  // namespace zc::imaging
