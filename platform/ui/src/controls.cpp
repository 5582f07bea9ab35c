// The controls the layer draws itself (static, edit, button kinds, tree view, status bar), the drop-down
// menu and accelerator translation.
#include <algorithm>

#include "platform/text.h"
#include "window_record.h"

namespace ui {
namespace {

constexpr int kBoxSize = 12;  // check and radio marks

void DrawCentred(Canvas& dc, const Rect& r, std::string_view t, Colour ink) {
  const auto size = dc.Font().Measure(t);
  dc.TextOut(r.left + (r.Width() - size.width) / 2, r.top + (r.Height() - size.height) / 2, t, ink);
}

}  // namespace

// Window procedures of the built-in classes; friends of the window system.
struct Controls {
  static intptr_t Static(WindowSystem& ws, HWND h, uint32_t msg, uintptr_t wp, intptr_t lp) {
    if (msg != WM_PAINT) return ws.DefWindowProc(h, msg, wp, lp);
    PaintContext pc = ws.BeginPaint(h);
    pc.canvas->TextOut(0, 0, StripMnemonic(ws.GetWindowText(h)), kBlack);
    ws.EndPaint(h, pc);
    return 0;
  }

  static intptr_t Edit(WindowSystem& ws, HWND h, uint32_t msg, uintptr_t wp, intptr_t lp) {
    WindowSystem::Window* w = ws.Find(h);
    if (!w) return 0;  // being destroyed
    switch (msg) {
      case WM_LBUTTONDOWN:
        ws.SetFocus(h);
        return 0;
      case WM_CHAR: {
        const auto c = static_cast<unsigned char>(wp);
        if (c == VK_BACK) {
          if (!w->text.empty()) w->text.pop_back();
        } else if (c >= 32 && c != 127) {
          w->text += static_cast<char>(c);
        } else {
          return 0;
        }
        ws.InvalidateRect(h, nullptr, true);
        ws.SendMessage(w->parent, WM_COMMAND, MakeWParam(static_cast<uint32_t>(w->ctrlId), EN_CHANGE),
                       static_cast<intptr_t>(IdOf(h)));
        return 0;
      }
      case WM_PAINT: {
        PaintContext pc = ws.BeginPaint(h);
        const Rect c = ws.GetClientRect(h);
        pc.canvas->FillRect(c, w->enabled ? kWhite : kLightGray);
        pc.canvas->TextOut(2, std::max(0, (c.Height() - pc.canvas->Font().Metrics().height) / 2), w->text);
        ws.EndPaint(h, pc);
        return 0;
      }
      default:
        return ws.DefWindowProc(h, msg, wp, lp);
    }
  }

  static void Click(WindowSystem& ws, WindowSystem::Window* w) {
    const uint32_t kind = w->style & 0xF;
    const HWND h = w->handle;
    if (kind == BS_AUTOCHECKBOX) {
      w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      ws.InvalidateRect(h, nullptr, true);
    } else if (kind == BS_AUTORADIOBUTTON) {
      // The other automatic radio buttons of the group lose their mark.
      if (WindowSystem::Window* p = ws.Find(w->parent)) {
        auto& sib = p->children;
        auto self = std::find(sib.begin(), sib.end(), h);
        auto first = self;
        while (first != sib.begin() && !(ws.GetStyle(*first) & WS_GROUP)) --first;
        for (auto it = first; it != sib.end(); ++it) {
          if (it != first && (ws.GetStyle(*it) & WS_GROUP)) break;
          WindowSystem::Window* s = ws.Find(*it);
          if (s && s->className == "button" && (s->style & 0xF) == BS_AUTORADIOBUTTON && s->check) {
            s->check = BST_UNCHECKED;
            ws.InvalidateRect(*it, nullptr, true);
          }
        }
      }
      w->check = BST_CHECKED;
      ws.InvalidateRect(h, nullptr, true);
    }
    ws.SendMessage(w->parent, WM_COMMAND, MakeWParam(static_cast<uint32_t>(w->ctrlId), BN_CLICKED),
                   static_cast<intptr_t>(IdOf(h)));
  }

  static intptr_t Button(WindowSystem& ws, HWND h, uint32_t msg, uintptr_t wp, intptr_t lp) {
    WindowSystem::Window* w = ws.Find(h);
    if (!w) return 0;  // being destroyed
    const uint32_t kind = w->style & 0xF;
    switch (msg) {
      case WM_LBUTTONDOWN:
        if (kind == BS_GROUPBOX) return 0;
        w->pressed = true;
        ws.SetCapture(h);
        ws.SetFocus(h);
        ws.InvalidateRect(h, nullptr, true);
        return 0;
      case WM_LBUTTONUP: {
        if (!w->pressed) return 0;
        w->pressed = false;
        if (ws.GetCapture() == h) ws.ReleaseCapture();
        ws.InvalidateRect(h, nullptr, true);
        if (ws.GetClientRect(h).Contains(PointFromLParam(lp))) Click(ws, w);
        return 0;
      }
      case WM_KEYDOWN:
        if (wp == VK_SPACE && kind != BS_GROUPBOX) Click(ws, w);
        return 0;
      case BM_CLICK:
        if (kind != BS_GROUPBOX) Click(ws, w);
        return 0;
      case BM_GETCHECK:
        return w->check;
      case BM_SETCHECK:
        if (w->check != static_cast<int>(wp)) {
          w->check = static_cast<int>(wp);
          ws.InvalidateRect(h, nullptr, true);
        }
        return 0;
      case WM_PAINT: {
        PaintContext pc = ws.BeginPaint(h);
        Canvas& dc = *pc.canvas;
        const Rect c = ws.GetClientRect(h);
        const std::string t = StripMnemonic(w->text);
        const Colour ink = w->enabled ? kBlack : kGray;
        const int textH = dc.Font().Metrics().height;
        if (kind == BS_GROUPBOX) {
          dc.FrameRect({0, textH / 2, c.right, c.bottom}, kGray);
          const Colour bg = kLightGray;
          dc.TextOut(8, 0, t, ink, &bg);
        } else if (kind == BS_AUTOCHECKBOX || kind == BS_AUTORADIOBUTTON) {
          const int top = (c.Height() - kBoxSize) / 2;
          const Rect box{0, top, kBoxSize, top + kBoxSize};
          dc.FillRect(box, kWhite);
          dc.FrameRect(box, ink);
          if (w->check) dc.FillRect({3, top + 3, kBoxSize - 3, top + kBoxSize - 3}, kBlack);
          dc.TextOut(kBoxSize + 4, (c.Height() - textH) / 2, t, ink);
        } else {
          dc.FillRect(c, w->pressed ? kGray : kLightGray);
          dc.FrameRect(c, kBlack);
          if (kind == BS_DEFPUSHBUTTON) dc.FrameRect({1, 1, c.right - 1, c.bottom - 1}, kBlack);
          if (ws.GetFocus() == h) dc.FrameRect({3, 3, c.right - 3, c.bottom - 3}, kDarkGray);
          DrawCentred(dc, c, t, ink);
        }
        ws.EndPaint(h, pc);
        return 0;
      }
      case WM_ERASEBKGND: {
        auto dc = ws.GetDC(h);
        const WindowSystem::Window* p = ws.Find(w->parent);
        dc->FillRect(ws.GetClientRect(h), p ? p->background : kLightGray);
        return 1;
      }
      default:
        return ws.DefWindowProc(h, msg, wp, lp);
    }
  }

  static intptr_t Tree(WindowSystem& ws, HWND h, uint32_t msg, uintptr_t wp, intptr_t lp) {
    if (msg != WM_PAINT) return ws.DefWindowProc(h, msg, wp, lp);
    PaintContext pc = ws.BeginPaint(h);
    const int rowH = pc.canvas->Font().Metrics().height + 2;
    int y = 2;
    for (const auto& [depth, t] : ws.TreeRows(h)) {
      pc.canvas->TextOut(4 + depth * 16, y, t);
      y += rowH;
    }
    ws.EndPaint(h, pc);
    return 0;
  }

  static intptr_t StatusBar(WindowSystem& ws, HWND h, uint32_t msg, uintptr_t wp, intptr_t lp) {
    if (msg != WM_PAINT) return ws.DefWindowProc(h, msg, wp, lp);
    PaintContext pc = ws.BeginPaint(h);
    const Rect c = ws.GetClientRect(h);
    pc.canvas->FillRect(c, kLightGray);
    pc.canvas->FrameRect(c, kGray);
    pc.canvas->TextOut(4, std::max(0, (c.Height() - pc.canvas->Font().Metrics().height) / 2),
                       ws.GetWindowText(h));
    ws.EndPaint(h, pc);
    return 0;
  }

  // The drop-down of a menu bar: one row per item, separators as thin rows.
  static intptr_t DropDown(WindowSystem& ws, HWND h, uint32_t msg, uintptr_t wp, intptr_t lp) {
    WindowSystem::Window* w = ws.Find(h);
    if (!w) return 0;  // being destroyed
    const auto* popup = reinterpret_cast<const MenuPopup*>(w->userData);
    const int rowH = SystemFont()->Metrics().height + 6;
    switch (msg) {
      case WM_LBUTTONUP: {
        const int y = PointFromLParam(lp).y - 2;
        int top = 0;
        for (const auto& item : popup->items) {
          const int height = item.text.empty() ? 6 : rowH;
          if (y >= top && y < top + height) {
            if (item.text.empty()) return 0;
            const HWND frame = ws.menuOwner_;
            ws.DestroyWindow(h);
            ws.PostMessage(frame, WM_COMMAND, MakeWParam(static_cast<uint32_t>(item.id), 0), 0);
            return 0;
          }
          top += height;
        }
        return 0;
      }
      case WM_PAINT: {
        PaintContext pc = ws.BeginPaint(h);
        const Rect c = ws.GetClientRect(h);
        pc.canvas->FillRect(c, kLightGray);
        pc.canvas->FrameRect(c, kBlack);
        int top = 2;
        for (const auto& item : popup->items) {
          if (item.text.empty()) {
            pc.canvas->FillRect({4, top + 2, c.right - 4, top + 3}, kGray);
            top += 6;
          } else {
            pc.canvas->TextOut(10, top + 3, StripMnemonic(item.text));
            top += rowH;
          }
        }
        ws.EndPaint(h, pc);
        return 0;
      }
      default:
        return ws.DefWindowProc(h, msg, wp, lp);
    }
  }
};

void WindowSystem::RegisterControlClasses() {
  auto reg = [this](const char* name, Colour bg,
                    intptr_t (*fn)(WindowSystem&, HWND, uint32_t, uintptr_t, intptr_t)) {
    RegisterClass({name, [this, fn](HWND h, uint32_t m, uintptr_t wp, intptr_t lp) { return fn(*this, h, m, wp, lp); },
                   bg});
  };
  reg("STATIC", kLightGray, &Controls::Static);
  reg("EDIT", kWhite, &Controls::Edit);
  reg("BUTTON", kLightGray, &Controls::Button);
  reg("SysTreeView32", kWhite, &Controls::Tree);
  reg("msctls_statusbar32", kLightGray, &Controls::StatusBar);
  reg("#32768", kLightGray, &Controls::DropDown);
}

void WindowSystem::OpenDropDown(Window* frame, size_t popupIndex) {
  if (menuPopup_) DestroyWindow(menuPopup_);
  const MenuPopup& popup = frame->menu->popups[popupIndex];
  const auto font = SystemFont();
  int x = 6;
  for (size_t i = 0; i < popupIndex; ++i)
    x += font->Measure(StripMnemonic(frame->menu->popups[i].text)).width + 12;
  int width = 60, height = 4;
  for (const auto& item : popup.items) {
    width = std::max(width, font->Measure(StripMnemonic(item.text)).width + 24);
    height += item.text.empty() ? 6 : font->Metrics().height + 6;
  }
  const Rect r{frame->rect.left + x - 6, frame->rect.top + MenuBarHeight(), 0, 0};
  menuOwner_ = frame->handle;
  const HWND h = CreateWindow("#32768", "", WS_POPUP, {r.left, r.top, r.left + width, r.top + height},
                              frame->handle);
  SetUserData(h, reinterpret_cast<intptr_t>(&popup));
  ShowWindow(h, SW_SHOW);
  menuPopup_ = h;
}

bool WindowSystem::TranslateAccelerator(HWND h, const AcceleratorTable* table, const Msg& m) {
  if (!table || !Find(h) || (m.message != WM_KEYDOWN && m.message != WM_CHAR)) return false;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
  for (const Accelerator& a : table->entries) {
    bool hit;
    if (a.flags & FVIRTKEY) {
      hit = m.message == WM_KEYDOWN && m.wParam == a.key && ctrl == bool(a.flags & FCONTROL) &&
            shift == bool(a.flags & FSHIFT);
    } else {
      hit = m.message == WM_CHAR && m.wParam == a.key;
    }
    if (hit) {
      SendMessage(h, WM_COMMAND, MakeWParam(static_cast<uint32_t>(a.command), 1), 0);
      return true;
    }
  }
  return false;
}

uintptr_t WindowSystem::TreeInsert(HWND tree, uintptr_t parentItem, std::string_view text) {
  Window* w = Find(tree);
  if (!w) return 0;
  const uintptr_t id = nextTreeItem_++;
  w->items.push_back({id, parentItem, std::string(text)});
  InvalidateRect(tree, nullptr, true);
  return id;
}

void WindowSystem::TreeClear(HWND tree) {
  if (Window* w = Find(tree)) {
    w->items.clear();
    InvalidateRect(tree, nullptr, true);
  }
}

std::vector<std::pair<int, std::string>> WindowSystem::TreeRows(HWND tree) const {
  std::vector<std::pair<int, std::string>> rows;
  const Window* w = Find(tree);
  if (!w) return rows;
  std::function<void(uintptr_t, int)> visit = [&](uintptr_t parent, int depth) {
    for (const auto& item : w->items)
      if (item.parent == parent) {
        rows.emplace_back(depth, item.text);
        visit(item.id, depth + 1);
      }
  };
  visit(0, 0);
  return rows;
}

}  // namespace ui
