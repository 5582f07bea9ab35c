// Image windows: two display slots, the window class and procedure, and the painters. Bilevel pages are
// decoded on every paint at the view's zoom (below 1:1 at two or four times the zoom, counted down into
// gray cells); the codec's formats are decoded once into strips of 16 rows and scaled on every paint.
#include "imaging/image_windows.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>

#include "codec/bilevel/bit_ops.h"
#include "codec/bilevel/fax_decoder.h"
#include "codec/bilevel/view_transform.h"
#include "codec/core/img_dispatch.h"
#include "codec/core/img_error.h"
#include "codec/formats/color_map.h"
#include "codec/formats/line_scaler.h"
#include "image_window_slots.h"
#include "imaging/image_files.h"
#include "imaging/mcu_callbacks.h"
#include "imaging/tiff_read.h"
#include "imaging_trace.h"
#include "platform/paths.h"
#include "zarn/status.h"

namespace zc::imaging {
namespace {

constexpr int kOne = 2048;
constexpr size_t kBandLimit = 65536;  // the painters' working buffers stay within this

struct ModuleState {
  int displayForm = 3;
  int displayReduction = 0;
  int creating = -1;
  DisplaySlot* filling = nullptr;
  // The rubber band, shared by both windows.
  ui::Point anchor, current;
  bool dragging = false;
  std::array<uint8_t, 768> paletteBuffer{};
};

ModuleState& State() {
  static ModuleState s;
  return s;
}

std::array<DisplaySlot, 2>& Slots() {
  static std::array<DisplaySlot, 2> slots;
  return slots;
}

bool ValidNumber(int window) {
  return window == 1 || window == 2;
}

// The slot's window, when it still exists in the current window system.
bool IsOpen(DisplaySlot& slot) {
  ui::WindowSystem* ws = ui::WindowSystem::Current();
  if (slot.window == nullptr || ws == nullptr || slot.ws != ws || !ws->IsWindow(slot.window)) {
    if (slot.window != nullptr) funcFreeImageSlot(slot);
    slot.window = nullptr;
    return false;
  }
  return true;
}

// The class is registered once in each window system (a process may make more than one, one after the
// other), and the display measured then.
void RegisterClassOnce(ui::WindowSystem& ws) {
  ModuleState& st = State();
  const bool registered =
      ws.RegisterClass({kImageWindowClass,
                        [](ui::HWND h, uint32_t m, uintptr_t wp, intptr_t lp) { return ZARNImageWndProc(h, m, wp, lp); },
                        ui::kWhite, "", ui::CS_HREDRAW | ui::CS_VREDRAW | ui::CS_DBLCLKS});
  if (!registered) return;
  const int colours = ws.Display().ColourCount();
  st.displayForm = 3;
  st.displayReduction = colours <= 256 ? 2 : 0;
}

int SlotIndexOf(ui::HWND h) {
  for (int i = 0; i < 2; ++i)
    if (Slots()[i].window == h && h != nullptr) return i;
  return State().creating;
}


// ---- scrolling --------------------------------------------------------------------------------------

int Clamp32(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

void ScrollSlot(DisplaySlot& slot, bool horizontal, int code, int position) {
  codec::ImageView& v = slot.view;
  const int extent = horizontal ? v.windowWidth : v.windowHeight;
  const int zoom = std::max(horizontal ? v.zoomX : v.zoomY, kOne);
  const int far = Clamp32(int64_t{16000} * zoom / kOne);
  int delta = 0;
  switch (code) {
    case ui::SB_LINEUP: delta = -extent / 10; break;
    case ui::SB_LINEDOWN: delta = extent / 10; break;
    case ui::SB_PAGEUP: delta = -extent / 2; break;
    case ui::SB_PAGEDOWN: delta = extent / 2; break;
    case ui::SB_TOP: delta = -far; break;
    case ui::SB_BOTTOM: delta = far; break;
    case ui::SB_THUMBPOSITION: {
      codec::funcViewClampPan(&v);  // the visible extent of the current window size
      const int restX = v.width - v.visibleWidth - position;
      const int restY = v.length - v.visibleHeight - position;
      if (horizontal) {
        switch (v.rotation) {
          case 1: v.panY = restY; break;
          case 2: v.panX = restX; break;
          case 3: v.panY = position; break;
          default: v.panX = position; break;
        }
      } else {
        switch (v.rotation) {
          case 1: v.panX = position; break;
          case 2: v.panY = restY; break;
          case 3: v.panX = restX; break;
          default: v.panY = position; break;
        }
      }
      v.panX = std::max(v.panX, 0);
      v.panY = std::max(v.panY, 0);
      codec::funcViewClampPan(&v);
      slot.ws->InvalidateRect(slot.window, nullptr, false);
      return;
    }
    default:
      return;  // thumb tracking and the rest
  }
  if (horizontal) codec::funcViewDragPan(&v, delta, 0);
  else codec::funcViewDragPan(&v, 0, delta);
  slot.ws->InvalidateRect(slot.window, nullptr, false);
}

void PostKey(ui::WindowSystem& ws, ui::HWND h, uint32_t vk) {
  const bool ctrl = ws.GetKeyState(ui::VK_CONTROL) < 0;
  uint32_t msg = ui::WM_VSCROLL;
  int code = -1;
  switch (vk) {
    case ui::VK_PRIOR: code = ui::SB_PAGEUP; break;
    case ui::VK_NEXT: code = ui::SB_PAGEDOWN; break;
    case ui::VK_HOME: code = ui::SB_TOP; break;
    case ui::VK_END: code = ui::SB_BOTTOM; break;
    case ui::VK_LEFT: msg = ui::WM_HSCROLL, code = ui::SB_LINEUP; break;
    case ui::VK_RIGHT: msg = ui::WM_HSCROLL, code = ui::SB_LINEDOWN; break;
    case ui::VK_UP: code = ui::SB_LINEUP; break;
    case ui::VK_DOWN: code = ui::SB_LINEDOWN; break;
    default: return;
  }
  if (ctrl && vk != ui::VK_LEFT && vk != ui::VK_RIGHT && vk != ui::VK_UP && vk != ui::VK_DOWN) msg = ui::WM_HSCROLL;
  ws.PostMessage(h, msg, static_cast<uintptr_t>(code), 0);
}

ui::Rect BandRect(ui::Point a, ui::Point b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1};
}

// The bars go first: hiding them changes the window size, and the fit is for the size without them.
void Refit(DisplaySlot& slot) {
  slot.ws->SetScrollRange(slot.window, ui::SB_HORZ, 0, 0, false);
  slot.ws->SetScrollRange(slot.window, ui::SB_VERT, 0, 0, false);
  codec::funcViewFitImage(&slot.view);
  slot.ws->InvalidateRect(slot.window, nullptr, true);
  slot.repaint = true;
}

// ---- bilevel pages ----------------------------------------------------------------------------------

// Per byte: the black pixels of its two nibbles (high count in the high nibble) and of its four bit pairs.
struct CountTables {
  std::array<uint8_t, 256> nibbles{};
  std::array<uint8_t, 256> pairs{};
  CountTables() {
    for (int b = 0; b < 256; ++b) {
      nibbles[b] = static_cast<uint8_t>((__builtin_popcount(b >> 4) << 4) | __builtin_popcount(b & 15));
      uint8_t p = 0;
      for (int k = 0; k < 4; ++k) p |= static_cast<uint8_t>(__builtin_popcount((b >> (2 * k)) & 3) << (2 * k));
      pairs[b] = p;
    }
  }
};

const CountTables& Counts() {
  static const CountTables t;
  return t;
}

// Adds the black pixels of one decoded row (window row `y`, first pixel at `x`) into the cells of the
// reduced window.
void CountRow(const uint8_t* bits, int width, int x, int y, int factor, int cellsWide, int cellsHigh,
              std::vector<uint8_t>& counts) {
  const int cy = y / factor;
  if (y < 0 || cy >= cellsHigh) return;
  uint8_t* row = counts.data() + static_cast<size_t>(cy) * cellsWide;
  const int bytes = (width + 7) / 8;
  if (x >= 0 && x % 8 == 0 && width % 8 == 0) {
    const CountTables& t = Counts();
    for (int b = 0; b < bytes; ++b) {
      const uint8_t v = bits[b];
      if (v == 0) continue;
      const int cx = (x + 8 * b) / factor;
      if (factor == 4) {
        const uint8_t n = t.nibbles[v];
        if (cx < cellsWide) row[cx] = static_cast<uint8_t>(row[cx] + (n >> 4));
        if (cx + 1 < cellsWide) row[cx + 1] = static_cast<uint8_t>(row[cx + 1] + (n & 15));
      } else {
        const uint8_t p = t.pairs[v];
        for (int k = 0; k < 4; ++k) {
          const int c = cx + k;
          if (c < cellsWide) row[c] = static_cast<uint8_t>(row[c] + ((p >> (6 - 2 * k)) & 3));
        }
      }
    }
    return;
  }
  for (int i = 0; i < width; ++i) {
    if ((bits[i / 8] & (0x80 >> (i % 8))) == 0) continue;
    const int px = x + i;
    if (px < 0) continue;
    const int cx = px / factor;
    if (cx < cellsWide) ++row[cx];
  }
}

// The counted cells as a packed DIB band by band: 8 bits with 17 grays (4 x 4 cells) or 4 bits with five
// levels (2 x 2 cells).
void DrawCells(ui::Canvas& dc, const std::vector<uint8_t>& counts, int cellsWide, int cellsHigh, int factor) {
  const int bits = factor == 4 ? 8 : 4;
  std::vector<ui::Colour> palette;
  if (factor == 4) {
    palette.push_back(ui::kWhite);
    for (int i = 1; i <= 16; ++i) {
      const uint8_t g = static_cast<uint8_t>(256 - 16 * i);
      palette.push_back(ui::Rgb(g, g, g));
    }
  } else {
    for (uint8_t g : {255, 128, 64, 0, 0}) palette.push_back(ui::Rgb(g, g, g));
  }
  const size_t stride = ((static_cast<size_t>(bits) * cellsWide + 31) / 32) * 4;
  const int bandRows = std::max(1, static_cast<int>(std::min<size_t>(32, kBandLimit / std::max<size_t>(stride, 1))));
  std::optional<DibBlock> dib;
  int dibRows = 0;
  for (int top = 0; top < cellsHigh; top += bandRows) {
    const int rows = std::min(bandRows, cellsHigh - top);
    if (!dib || dibRows != rows) {
      dib = funcCreateDIB(cellsWide, rows, bits);
      dibRows = rows;
      if (!dib) {
        TraceAt(2, "Error: CreateDIB");
        return;
      }
      uint8_t* table = dib->Bytes().data() + 40;
      for (size_t i = 0; i < (size_t{1} << bits); ++i) {
        const ui::Colour c = i < palette.size() ? palette[i] : ui::kBlack;
        table[4 * i] = static_cast<uint8_t>(c), table[4 * i + 1] = static_cast<uint8_t>(c >> 8);
        table[4 * i + 2] = static_cast<uint8_t>(c >> 16), table[4 * i + 3] = 0;
      }
    }
    uint8_t* pixels = dib->Bytes().data() + 40 + 4 * (size_t{1} << bits);
    for (int r = 0; r < rows; ++r) {
      const uint8_t* src = counts.data() + static_cast<size_t>(top + r) * cellsWide;
      uint8_t* dst = pixels + static_cast<size_t>(rows - 1 - r) * stride;
      if (bits == 8) {
        std::memcpy(dst, src, cellsWide);
      } else {
        std::memset(dst, 0, stride);
        for (int c = 0; c < cellsWide; ++c) dst[c / 2] |= static_cast<uint8_t>((c % 2 ? src[c] : src[c] << 4));
      }
    }
    funcDrawDIBBand(dc, {0, top, cellsWide, top + rows}, *dib, {0, 0, cellsWide, rows}, &palette);
  }
}

void PaintBilevel(DisplaySlot& slot, ui::Canvas& dc, int file) {
  codec::ImageView v = slot.view;
  v.fileHandle = file;
  v.optionFlags = codec::kViewOptStart;
  const bool full = v.zoomX >= kOne && v.zoomY >= kOne;
  const int factor = full ? 1 : (v.zoomX < kOne / 2 || v.zoomY < kOne / 2) ? 4 : 2;
  const int cellsWide = v.windowWidth, cellsHigh = v.windowHeight;
  if (factor > 1) {
    v.zoomX *= factor;
    v.zoomY *= factor;
    v.windowWidth *= factor;
    v.windowHeight *= factor;
  }
  std::vector<uint8_t> counts;
  if (factor > 1) counts.assign(static_cast<size_t>(cellsWide) * cellsHigh, 0);
  std::vector<uint8_t> band;
  // The decoder delivers at most one strip per 16 window lines; anything beyond is a decoder that no
  // longer advances.
  int budget = (std::max(v.windowWidth, v.windowHeight) / 16 + 8) * 4;
  int result = 0;
  while (budget-- > 0) {
    result = codec::funcFaxDecodeLines(&v);
    if (result != codec::kFaxStripReady) {
      if (result < codec::kFaxCannotStart) continue;
      break;
    }
    codec::ViewStripPlacement p{};
    codec::funcViewGetState(&v, &p);
    if (p.width <= 0 || p.height <= 0) continue;
    const size_t stride = (static_cast<size_t>(p.width) + 7) / 8;
    const size_t available = static_cast<size_t>(std::max(v.linesInStrip, 0)) * std::max(v.outBytesPerLine, 0);
    const int rows = static_cast<int>(std::min<size_t>(p.height, available / stride));
    if (factor == 1) {
      band.assign(v.stripBuffer, v.stripBuffer + stride * rows);
      codec::funcInvertBytes(band.data(), band.size());
      dc.BlitMono(band.data(), p.width, rows, stride, p.x, p.y);
    } else {
      for (int r = 0; r < rows; ++r)
        CountRow(v.stripBuffer + stride * r, p.width, p.x, p.y + r, factor, cellsWide, cellsHigh, counts);
    }
  }
  if (result == codec::kFaxStripReady || (result != codec::kFaxAllDelivered && result != codec::kFaxCannotStart))
    codec::funcFaxDecodeFree(&v);
  if (factor > 1) DrawCells(dc, counts, cellsWide, cellsHigh, factor);
}

// ---- the codec's formats ----------------------------------------------------------------------------

void TopLeftText(ui::Canvas& dc, const char* text) {
  dc.TextOut(0, 0, text);
}

// Decodes the whole file into the slot's strips: true, or false with the codec's error text written.
bool DecodeIntoStrips(DisplaySlot& slot, ui::Canvas& dc, int file) {
  ModuleState& st = State();
  funcFreeImageSlot(slot);
  slot.repaint = false;  // freeing marks it; this paint has already whitened what it had to
  codec::ImgDecompDesc d;
  auto fail = [&dc] {
    TopLeftText(dc, codec::funcImgErrorText(codec::funcGetImgError()));
    return false;
  };
  if (codec::funcInitDecompDesc(&d) < 0) return fail();
  d.handle = file;
  d.mcuAlloc = cbMcuAlloc;
  d.mcuGetPtr = cbMcuGetPtr;
  d.mcuFree = cbMcuFree;
  st.paletteBuffer.fill(0);
  d.palette = st.paletteBuffer.data();
  if (codec::funcInitDecomp(&d) < 0) return fail();
  const int mode = slot.view.decoderMode;
  slot.colourForm = st.displayForm;
  slot.reduction = st.displayReduction;
  if (d.bitsPerPixel <= 8) slot.colourForm = 0, slot.reduction = 2;
  if (mode == 1028 || (mode == 1029 && d.bitsPerPixel <= 8)) slot.colourForm = 1, slot.reduction = 0;
  slot.bytesPerPixel = d.bitsPerPixel > 8 && slot.colourForm == 3 ? 3 : 1;
  const int width = d.width;
  const int rows = std::min<int>(d.height, kSlotStripRows * kSlotMaxStrips);
  slot.stripRowBytes = static_cast<size_t>(width) * slot.bytesPerPixel;
  const int strips = (rows + kSlotStripRows - 1) / kSlotStripRows;
  for (int i = 0; i < strips; ++i) {
    std::unique_ptr<uint8_t[]> strip(new (std::nothrow) uint8_t[slot.stripRowBytes * kSlotStripRows + 32]());
    if (!strip) {
      slot.strips.clear();
      codec::imgFail(codec::kImgErrNoMemory);
      return fail();
    }
    slot.strips.push_back(std::move(strip));
  }
  d.outputColorMode = static_cast<uint8_t>(slot.colourForm);
  d.ditherMode = static_cast<uint8_t>(slot.reduction);
  d.display = slot.bytesPerPixel == 3 ? cbSlotStoreRowsRGB : cbSlotStoreRows8;
  d.scaleX = d.scaleY = kOne;
  d.windowLeft = d.windowTop = 0;
  d.windowWidth = d.width;
  d.windowHeight = d.height;
  SetSlotBeingFilled(&slot);
  const int r = codec::funcDecomp(&d);
  SetSlotBeingFilled(nullptr);
  if (r < 0) return fail();
  slot.decoded = true;
  if (slot.bytesPerPixel == 1) {
    try {
      slot.palette.assign(st.paletteBuffer.begin(), st.paletteBuffer.end());
    } catch (const std::bad_alloc&) {
      TraceAt(1, "Error: No memory for palette");
    }
  }
  return true;
}

// Output size of the strip painters: the image from the pan at the zoom, within the window.
struct Output {
  int width = 0, height = 0, buffer = 0;  // buffer: the width rounded up to 16
};

Output OutputOf(const codec::ImageView& v) {
  Output o;
  o.height = Clamp32(std::min<int64_t>(((int64_t{v.length} - v.panY) * v.zoomY + 2047) / kOne, v.windowHeight));
  o.width = Clamp32(std::min<int64_t>(((int64_t{v.width} - v.panX) * v.zoomX + 2047) / kOne, v.windowWidth));
  o.buffer = (std::max(o.width, 0) + 15) / 16 * 16;
  return o;
}

// The painters' common walk: source bands from the pan, scaled, each output row handed on.
template <class RowFn>
int WalkScaled(DisplaySlot& slot, const Output& out, int sourceRows, RowFn row) {
  const codec::ImageView& v = slot.view;
  const int bpp = slot.bytesPerPixel;
  const int length = std::min(v.length, static_cast<int>(slot.strips.size()) * kSlotStripRows);
  codec::ImgScaler sc{};
  sc.sourceWidth = static_cast<uint16_t>(v.width);
  sc.sourceHeight = static_cast<uint16_t>(length);
  sc.xFactor = static_cast<uint16_t>(std::clamp(v.zoomX, 1, 65535));
  sc.yFactor = static_cast<uint16_t>(std::clamp(v.zoomY, 1, 65535));
  sc.yStart = static_cast<uint16_t>(std::max(v.panY, 0));
  sc.xStart = static_cast<uint16_t>(std::max(v.panX, 0));
  sc.outputWidth = static_cast<uint16_t>(out.buffer);
  sc.outputHeight = static_cast<uint16_t>(out.height);
  if (codec::funcScaleInit(&sc, bpp == 3 ? 3 : 1) < 0) return 44;
  const size_t inRow = slot.stripRowBytes;
  const size_t outRow = static_cast<size_t>(out.buffer) * bpp;
  std::vector<uint8_t> in(inRow * sourceRows + 32);
  std::vector<uint8_t> scaled(outRow * (static_cast<size_t>(sourceRows) * sc.yFactor / kOne + 2) + 32);
  int produced = 0;
  for (int y = sc.yStart; y < length && produced < out.height; y += sourceRows) {
    const int n = std::min(sourceRows, length - y);
    for (int i = 0; i < n; ++i) {
      const int r = y + i;
      std::memcpy(in.data() + inRow * i, slot.strips[r / kSlotStripRows].get() + inRow * (r % kSlotStripRows), inRow);
    }
    const int got = bpp == 3 ? codec::funcScaleLineRGB(in.data(), scaled.data(), &sc, n)
                             : codec::funcScaleLines8(in.data(), scaled.data(), &sc, n);
    if (got < 0) {
      codec::funcScaleFree(&sc);
      return 44;
    }
    for (int k = 0; k < got && produced < out.height; ++k) row(produced++, scaled.data() + outRow * k);
  }
  codec::funcScaleFree(&sc);
  return 0;
}

// Source rows for a band: halved from 16 until both buffers fit.
int SourceRows(size_t inRowBytes, const Output& out, int zoomY, int bpp, size_t scaledExtra) {
  for (int rows = kSlotStripRows; rows >= 1; rows /= 2) {
    const size_t scaled = (static_cast<size_t>(rows) * zoomY / kOne + 1) * out.buffer * bpp + scaledExtra;
    if (inRowBytes * rows + 32 <= kBandLimit && scaled <= kBandLimit) return rows;
  }
  return 0;
}

void WriteTable(DibBlock& dib, const std::vector<ui::Colour>& palette) {
  uint8_t* table = dib.Bytes().data() + 40;
  for (size_t i = 0; i < 256; ++i) {
    const ui::Colour c = i < palette.size() ? palette[i] : ui::kBlack;
    table[4 * i] = static_cast<uint8_t>(c), table[4 * i + 1] = static_cast<uint8_t>(c >> 8);
    table[4 * i + 2] = static_cast<uint8_t>(c >> 16), table[4 * i + 3] = 0;
  }
}

// An 8-bit painter's band: rows stored bottom-up into a DIB of `bandRows`, drawn when full or at the end.
class IndexBands {
 public:
  IndexBands(ui::Canvas& dc, const Output& out, std::vector<ui::Colour> palette)
      : dc_(dc), out_(out), palette_(std::move(palette)) {}
  bool Ready() {
    dib_ = funcCreateDIB(out_.buffer, kRows, 8);
    if (!dib_) {
      TraceAt(2, "Error: CreateDIB");
      return false;
    }
    WriteTable(*dib_, palette_);
    stride_ = (static_cast<size_t>(out_.buffer) + 3) / 4 * 4;
    Clear();
    return true;
  }
  uint8_t* Row(int outputRow) {
    if (filled_ == 0) top_ = outputRow;
    return Pixels() + static_cast<size_t>(kRows - 1 - filled_) * stride_;
  }
  void Done() {
    if (++filled_ == kRows) Flush();
  }
  void Flush() {
    if (filled_ == 0) return;
    funcDrawDIBBand(dc_, {0, top_, out_.width, top_ + filled_}, *dib_, {0, kRows - filled_, 0, 0}, &palette_);
    filled_ = 0;
    Clear();
  }

 private:
  static constexpr int kRows = 32;
  uint8_t* Pixels() { return dib_->Bytes().data() + 40 + 1024; }
  void Clear() { std::memset(Pixels(), 0xFF, stride_ * kRows); }
  ui::Canvas& dc_;
  Output out_;
  std::vector<ui::Colour> palette_;
  std::optional<DibBlock> dib_;
  size_t stride_ = 0;
  int filled_ = 0;
  int top_ = 0;
};

}  // namespace

DisplaySlot& ImageSlot(int index) {
  return Slots()[index];
}

void SetSlotBeingFilled(DisplaySlot* slot) {
  State().filling = slot;
}

// ---- display callbacks ------------------------------------------------------------------------------

namespace {

// Rows beyond the 256 strips are dropped and each row is cut to the strip's row, so a tall picture or a
// band wider than the image cannot write past the strips.
int StoreRows(int bpp, int x0, int y0, int x1, int y1, const uint8_t* rows) {
  DisplaySlot* slot = State().filling;
  if (slot == nullptr || rows == nullptr || x1 <= x0 || y1 <= y0 || x0 < 0 || y0 < 0) return 0;
  const size_t length = static_cast<size_t>(x1 - x0) * bpp;
  const size_t at = static_cast<size_t>(x0) * bpp;
  if (at >= slot->stripRowBytes) return 0;
  const size_t copy = std::min(length, slot->stripRowBytes - at);
  for (int y = y0; y < y1; ++y) {
    const size_t strip = static_cast<size_t>(y) / kSlotStripRows;
    if (y >= kSlotStripRows * kSlotMaxStrips || strip >= slot->strips.size()) break;
    uint8_t* dst = slot->strips[strip].get() + slot->stripRowBytes * (y % kSlotStripRows) + at;
    std::memcpy(dst, rows + length * static_cast<size_t>(y - y0), copy);
  }
  return 0;
}

}  // namespace

int cbSlotStoreRows8(int x0, int y0, int x1, int y1, const uint8_t* rows, uintptr_t) {
  return StoreRows(1, x0, y0, x1, y1, rows);
}

int cbSlotStoreRowsRGB(int x0, int y0, int x1, int y1, const uint8_t* rows, uintptr_t) {
  return StoreRows(3, x0, y0, x1, y1, rows);
}

// ---- painters ---------------------------------------------------------------------------------------

void funcDrawDIBBand(ui::Canvas& dc, const ui::Rect& target, const DibBlock& dib, const ui::Rect& source,
                     const std::vector<ui::Colour>* palette) {
  if (palette != nullptr) dc.SelectPalette(*palette);
  dc.SetDIBitsToDevice(target.left, target.top, target.Width(), target.Height(), source.left, source.top,
                       dib.Bytes().data(), dib.Size());
  if (palette != nullptr) dc.SelectPalette({});
}

int funcSlotPaintRGB(DisplaySlot& slot, ui::Canvas& dc) {
  const Output out = OutputOf(slot.view);
  if (out.width <= 0 || out.height <= 0) return 0;
  const int rows = SourceRows(slot.stripRowBytes, out, slot.view.zoomY, 3, 32);
  if (rows == 0) return 0;
  constexpr int kRows = 8;
  std::optional<DibBlock> dib = funcCreateDIB(out.buffer, kRows, 24);
  if (!dib) {
    TraceAt(2, "Error: CreateDIB");
    return 0;
  }
  const size_t stride = (static_cast<size_t>(out.buffer) * 3 + 3) / 4 * 4;
  uint8_t* pixels = dib->Bytes().data() + 40;
  std::memset(pixels, 0xFF, stride * kRows);
  int filled = 0, top = 0;
  auto flush = [&] {
    if (filled == 0) return;
    funcDrawDIBBand(dc, {0, top, out.width, top + filled}, *dib, {0, kRows - filled, 0, 0}, nullptr);
    filled = 0;
  };
  const int r = WalkScaled(slot, out, rows, [&](int outputRow, const uint8_t* rgb) {
    if (filled == 0) top = outputRow;
    uint8_t* dst = pixels + stride * (kRows - 1 - filled);
    for (int x = 0; x < out.buffer; ++x) {
      dst[3 * x] = rgb[3 * x + 2];
      dst[3 * x + 1] = rgb[3 * x + 1];
      dst[3 * x + 2] = rgb[3 * x];
    }
    if (++filled == kRows) flush();
  });
  flush();
  return r;
}

int funcSlotPaintMapped(DisplaySlot& slot, ui::Canvas& dc) {
  const Output out = OutputOf(slot.view);
  if (out.width <= 0 || out.height <= 0) return 0;
  const int rows = SourceRows(slot.stripRowBytes, out, slot.view.zoomY, 3, 32);
  if (rows == 0) return 0;
  std::array<uint8_t, 768> cube{};
  codec::ImgColorMap map{};
  map.components = 3;
  map.ditherMode = static_cast<uint8_t>(slot.reduction == 2 ? codec::kDitherDiffusion : codec::kDitherNone);
  map.colors = 256;
  map.palette = cube.data();
  map.lineWidth = out.buffer;
  if (codec::funcInitColorMap(&map) < 0) {
    TraceAt(2, "Error: funcInitColorMap");
    return 0;
  }
  std::vector<ui::Colour> palette;
  for (int i = 0; i < map.colors && i < 256; ++i) palette.push_back(ui::Rgb(cube[3 * i], cube[3 * i + 1], cube[3 * i + 2]));
  IndexBands bands(dc, out, palette);
  int r = 0;
  if (bands.Ready()) {
    r = WalkScaled(slot, out, rows, [&](int outputRow, const uint8_t* rgb) {
      uint8_t* dst = bands.Row(outputRow);
      switch (slot.reduction) {
        case 0: codec::funcMapLineNearest(&map, 1, rgb, dst); break;
        case 1: codec::funcMapLineRGB(&map, 1, rgb, dst); break;
        default: codec::funcMapLineDither(&map, 1, rgb, dst); break;
      }
      bands.Done();
    });
    bands.Flush();
  }
  codec::funcFreeColorMap(&map);
  return r;
}

int funcSlotPaintGray(DisplaySlot& slot, ui::Canvas& dc) {
  const Output out = OutputOf(slot.view);
  if (out.width <= 0 || out.height <= 0) return 0;
  int rows = kSlotStripRows;
  while (rows > 0 && (slot.stripRowBytes * rows > 32768 ||
                      (static_cast<size_t>(rows) * slot.view.zoomY / kOne + 1) * out.buffer + 128 > kBandLimit))
    rows /= 2;
  if (rows == 0) return 0;
  std::vector<ui::Colour> palette;
  for (int i = 0; i < 256; ++i) {
    if (slot.palette.size() >= 768) {
      palette.push_back(ui::Rgb(slot.palette[3 * i], slot.palette[3 * i + 1], slot.palette[3 * i + 2]));
    } else {
      palette.push_back(ui::Rgb(i, i, i));
    }
  }
  IndexBands bands(dc, out, palette);
  if (!bands.Ready()) return 0;
  const int r = WalkScaled(slot, out, rows, [&](int outputRow, const uint8_t* line) {
    std::memcpy(bands.Row(outputRow), line, out.buffer);
    bands.Done();
  });
  bands.Flush();
  return r;
}

void funcFreeImageSlot(DisplaySlot& slot) {
  slot.palette.clear();
  slot.strips.clear();
  slot.decoded = false;
  slot.repaint = true;
}

void funcPaintImageSlot(DisplaySlot& slot, ui::Canvas& dc, ui::HWND h) {
  ui::WindowSystem& ws = *slot.ws;
  const ui::Cursor previous = ws.SetCursor(ui::Cursor::Wait);
  const ui::Rect client = ws.GetClientRect(h);
  codec::ImageView& v = slot.view;
  dc.FillRect({v.windowWidth, 0, client.right, client.bottom}, ui::kWhite);
  dc.FillRect({0, v.windowHeight, client.right, client.bottom}, ui::kWhite);
  const int file = plat::OpenFileDescriptor(slot.name, O_RDONLY | O_CLOEXEC);
  if (file < 0) {
    TopLeftText(dc, "Error Opening Image File");
    ws.SetCursor(previous);
    return;
  }
  if (v.width <= 0 || v.length <= 0 || v.windowWidth <= 0 || v.windowHeight <= 0) {
    dc.FillRect(client, ui::kWhite);
  } else if (v.decoderMode < 1024) {
    PaintBilevel(slot, dc, file);
  } else if (slot.decoded || DecodeIntoStrips(slot, dc, file)) {
    const Output out = OutputOf(v);
    if (slot.bytesPerPixel == 3 && slot.reduction == 0) funcSlotPaintRGB(slot, dc);
    else if (slot.bytesPerPixel == 3) funcSlotPaintMapped(slot, dc);
    else funcSlotPaintGray(slot, dc);
    const int w = std::max(out.width, 0), hgt = std::max(out.height, 0);
    dc.FillRect({w, 0, client.right, client.bottom}, ui::kWhite);
    dc.FillRect({0, hgt, client.right, client.bottom}, ui::kWhite);
  }
  ::close(file);
  ws.SetCursor(previous);
}

int funcSetSlotScrollBars(ui::HWND h, DisplaySlot& slot) {
  ui::WindowSystem& ws = *slot.ws;
  codec::ImageView& v = slot.view;
  codec::funcViewClampPan(&v);
  const int restX = std::max(v.width - v.visibleWidth, 0);
  const int restY = std::max(v.length - v.visibleHeight, 0);
  const bool wide = v.width > v.visibleWidth, tall = v.length > v.visibleHeight;
  // The range and position shown on the bar that moves along the image's x and y axes.
  struct Bar {
    int max, pos;
  };
  const Bar x{wide ? restX : 0, v.panX}, y{tall ? restY : 0, v.panY};
  const Bar xRev{x.max, restX - v.panX}, yRev{y.max, restY - v.panY};
  Bar horz, vert;
  switch (v.rotation) {
    case 1: horz = yRev, vert = x; break;
    case 2: horz = xRev, vert = yRev; break;
    case 3: horz = y, vert = xRev; break;
    default: horz = x, vert = y; break;
  }
  const bool hWas = ws.IsScrollBarShown(h, ui::SB_HORZ), vWas = ws.IsScrollBarShown(h, ui::SB_VERT);
  ws.SetScrollRange(h, ui::SB_HORZ, 0, horz.max, false);
  if (horz.max > 0) ws.SetScrollPos(h, ui::SB_HORZ, std::clamp(horz.pos, 0, horz.max), true);
  ws.SetScrollRange(h, ui::SB_VERT, 0, vert.max, false);
  if (vert.max > 0) ws.SetScrollPos(h, ui::SB_VERT, std::clamp(vert.pos, 0, vert.max), true);
  return hWas != ws.IsScrollBarShown(h, ui::SB_HORZ) || vWas != ws.IsScrollBarShown(h, ui::SB_VERT) ? 1 : 0;
}

intptr_t ZARNImageWndProc(ui::HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  ui::WindowSystem* wsp = ui::WindowSystem::Current();
  if (wsp == nullptr) return 0;
  ui::WindowSystem& ws = *wsp;
  const int index = SlotIndexOf(h);
  if (index < 0) return ws.DefWindowProc(h, msg, wParam, lParam);
  DisplaySlot& slot = Slots()[index];
  ModuleState& st = State();
  codec::ImageView& v = slot.view;
  switch (msg) {
    case ui::WM_CREATE:
      v.displayResX = ws.Display().dpiX;
      v.displayResY = ws.Display().dpiY;
      v.rotation = 0;
      return 0;
    case ui::WM_SIZE: {
      const int w = static_cast<int>(ui::LoWord(static_cast<uintptr_t>(lParam))) & ~15;
      const int hgt = static_cast<int>(ui::HiWord(static_cast<uintptr_t>(lParam))) & ~7;
      const bool invalidate = (w != 0 && v.windowWidth < 65520) || (hgt != 0 && v.windowHeight < 65528);
      v.windowWidth = w;
      v.windowHeight = hgt;
      if (invalidate) ws.InvalidateRect(h, nullptr, false);
      return 0;
    }
    case ui::WM_PAINT: {
      ui::PaintContext pc = ws.BeginPaint(h);
      if (pc.canvas) {
        const ui::Rect client = ws.GetClientRect(h);
        if (slot.repaint) {
          pc.canvas->FillRect(client, ui::kWhite);
          slot.repaint = false;
        }
        if (slot.name.empty()) {
          pc.canvas->FillRect(client, ui::kWhite);
        } else {
          // A bar shown or hidden changes the window size (and so the visible part and the other bar):
          // set them again until they hold, then paint with the new client area.
          for (int i = 0; i < 3 && funcSetSlotScrollBars(h, slot) == 1; ++i) {
          }
          pc.canvas = ws.GetDC(h);
          funcPaintImageSlot(slot, *pc.canvas, h);
        }
      }
      ws.EndPaint(h, pc);
      return 0;
    }
    case ui::WM_CLOSE:
      funcFreeImageSlot(slot);
      ws.DestroyWindow(h);
      return 0;
    case ui::WM_KEYDOWN:
      PostKey(ws, h, static_cast<uint32_t>(wParam));
      return 0;
    case ui::WM_HSCROLL:
    case ui::WM_VSCROLL:
      if (!slot.name.empty())
        ScrollSlot(slot, msg == ui::WM_HSCROLL, static_cast<int>(ui::LoWord(wParam)),
                   static_cast<int>(ui::HiWord(wParam)));
      return 0;
    case ui::WM_LBUTTONDOWN: {
      if (slot.name.empty() || st.dragging) return 0;
      st.anchor = st.current = ui::PointFromLParam(lParam);
      st.dragging = true;
      ws.SetCapture(h);
      const ui::Rect c = ws.GetClientRect(h);
      const ui::Point o = ws.ClientToScreen(h, {0, 0});
      const ui::Rect screen = c.Offset(o.x, o.y);
      ws.ClipCursor(&screen);
      return 0;
    }
    case ui::WM_MOUSEMOVE: {
      if (!st.dragging) return 0;
      auto dc = ws.GetDC(h);
      if (dc) {
        dc->XorOutline(BandRect(st.anchor, st.current));
        st.current = ui::PointFromLParam(lParam);
        dc->XorOutline(BandRect(st.anchor, st.current));
      }
      return 0;
    }
    case ui::WM_LBUTTONUP: {
      if (!st.dragging) return 0;
      if (auto dc = ws.GetDC(h)) dc->XorOutline(BandRect(st.anchor, st.current));
      st.current = ui::PointFromLParam(lParam);
      st.dragging = false;
      ws.ClipCursor(nullptr);
      ws.ReleaseCapture();
      if (std::abs(st.current.x - st.anchor.x) > 7 || std::abs(st.current.y - st.anchor.y) > 7) {
        int x0, y0, x1, y1;
        codec::funcViewWindowToImage(&v, st.anchor.x, st.anchor.y, &x0, &y0);
        codec::funcViewWindowToImage(&v, st.current.x, st.current.y, &x1, &y1);
        if (std::abs(x1 - x0) > 7 || std::abs(y1 - y0) > 7) {
          codec::funcViewZoomToRect(&v, x0, y0, x1, y1);
          ws.InvalidateRect(h, nullptr, false);
        }
      }
      return 0;
    }
    case ui::WM_RBUTTONDOWN:
      if (!slot.name.empty()) Refit(slot);
      return 0;
    default:
      return ws.DefWindowProc(h, msg, wParam, lParam);
  }
}

// ---- the API ----------------------------------------------------------------------------------------

int ZARNStartImageWindow(ui::HWND parent, int window) {
  TraceAt(1, "ZARNStartImageWindow(%d)", window);
  if (!ValidNumber(window)) return zarn::kInvalidWindow;
  ui::WindowSystem* ws = ui::WindowSystem::Current();
  if (ws == nullptr) return zarn::kCreateWindowError;
  RegisterClassOnce(*ws);
  DisplaySlot& slot = Slots()[window - 1];
  if (IsOpen(slot)) return zarn::kOpenWindowError;
  slot = DisplaySlot{};
  slot.ws = ws;
  slot.view.fileHandle = -1;
  ModuleState& st = State();
  st.creating = window - 1;
  const ui::Rect area = ws->IsWindow(parent) ? ws->GetClientRect(parent) : ui::Rect{};
  const ui::HWND h =
      ws->CreateWindow(kImageWindowClass, kImageWindowClass,
                       ui::WS_CHILD | ui::WS_HSCROLL | ui::WS_VSCROLL | ui::WS_CLIPSIBLINGS | ui::WS_CLIPCHILDREN,
                       area, parent);
  if (h == nullptr) {
    st.creating = -1;
    return zarn::kCreateWindowError;
  }
  slot.window = h;
  ws->SetScrollRange(h, ui::SB_HORZ, 0, 0, false);
  ws->SetScrollRange(h, ui::SB_VERT, 0, 0, false);
  slot.parent = parent;
  slot.repaint = true;
  ws->ShowWindow(h, ui::SW_SHOW);
  ws->UpdateWindow(h);
  st.creating = -1;
  return 0;
}

int ZARNCloseImageWindow(int window) {
  TraceAt(1, "ZARNlose(%d)", window);
  if (!ValidNumber(window)) return zarn::kInvalidWindow;
  DisplaySlot& slot = Slots()[window - 1];
  if (!IsOpen(slot)) return zarn::kCloseWindowError;
  slot.ws->SendMessage(slot.window, ui::WM_CLOSE);
  slot.window = nullptr;
  return 0;
}

int ZARNSizeImageWindow(int window) {
  TraceAt(1, "ZARNSizeImageWindow(%d)", window);
  if (!ValidNumber(window)) return zarn::kInvalidWindow;
  DisplaySlot& slot = Slots()[window - 1];
  if (!IsOpen(slot)) return zarn::kInvalidWindow;
  ui::WindowSystem& ws = *slot.ws;
  const ui::Rect parent = ws.IsWindow(slot.parent) ? ws.GetClientRect(slot.parent) : ui::Rect{};
  const ui::Rect at = ws.GetWindowRect(slot.window);
  ws.MoveWindow(slot.window, {at.left, at.top, at.left + parent.Width(), at.top + parent.Height()}, true);
  return 0;
}

int ZARNSetImageMultPage(const char* fileName, int page, int window) {
  TraceAt(2, "ZARNSetImageMultPage(%s,%d,%d)", fileName ? fileName : "", page, window);
  if (!ValidNumber(window)) return zarn::kInvalidWindow;
  DisplaySlot& slot = Slots()[window - 1];
  if (!IsOpen(slot)) return zarn::kInvalidWindow;
  ui::WindowSystem& ws = *slot.ws;
  slot.decoded = false;
  if (fileName == nullptr || fileName[0] == '\0') {
    slot.name.clear();
    ws.InvalidateRect(slot.window, nullptr, true);
    slot.repaint = true;
    return 0;
  }
  slot.name = funcApplyFileNameRule(fileName);
  slot.page = page;
  if (slot.name.empty() || funcOpenImageFile(nullptr, slot.name.c_str(), &slot.view, page) != 0) {
    slot.name.clear();
    return zarn::kDisplayImageError;
  }
  Refit(slot);
  return 0;
}

}  // namespace zc::imaging
