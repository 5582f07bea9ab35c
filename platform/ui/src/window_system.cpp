// Window tree, sends and posts, the loops and painting.
#include "ui/window_system.h"

#include <algorithm>
#include <atomic>
#include <cctype>

#include "platform/ini.h"
#include "platform/thread.h"
#include "window_record.h"

namespace ui {
namespace {

std::atomic<WindowSystem*> g_current{nullptr};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

int MenuBarHeight() {
  return SystemFont()->Metrics().height + 6;
}

std::string StripMnemonic(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

WindowSystem::WindowSystem(std::unique_ptr<Backend> backend)
    : backend_(std::move(backend)), queue_(std::make_unique<Queue>()) {
  backend_->Attach(*this);
  RegisterControlClasses();
  previous_ = g_current.exchange(this);
  const auto owner = std::this_thread::get_id();
  plat::SetMessagePump([this, owner] {
    if (std::this_thread::get_id() == owner) PumpPending();
  });
}

WindowSystem::~WindowSystem() {
  plat::SetMessagePump(nullptr);
  for (uint64_t id : std::vector<uint64_t>(topOrder_))
    if (windows_.count(id)) DestroyWindow(HandleOf(id));
  WindowSystem* self = this;
  g_current.compare_exchange_strong(self, previous_);
}

WindowSystem* WindowSystem::Current() {
  return g_current.load();
}

WindowSystem::Window* WindowSystem::Find(HWND h) const {
  auto it = windows_.find(IdOf(h));
  return it == windows_.end() || it->second->destroying ? nullptr : it->second.get();
}

bool WindowSystem::RegisterClass(const WindowClass& cls) {
  if (cls.name.empty() || !cls.proc) return false;
  return classes_.emplace(Lower(cls.name), cls).second;
}

HWND WindowSystem::CreateWindow(std::string_view className, std::string_view text, uint32_t style,
                                const Rect& rect, HWND parent, int id, HINSTANCE instance,
                                intptr_t createParam) {
  auto cls = classes_.find(Lower(className));
  if (cls == classes_.end()) return nullptr;
  Window* parentWindow = nullptr;
  if (style & WS_CHILD) {
    parentWindow = Find(parent);
    if (!parentWindow) return nullptr;
  }
  auto w = std::make_unique<Window>();
  w->id = nextId_++;
  w->handle = HandleOf(w->id);
  w->className = cls->first;
  w->proc = cls->second.proc;
  w->background = cls->second.background;
  w->text = std::string(text);
  w->style = style;
  w->ctrlId = (style & WS_CHILD) ? id : 0;
  w->rect = rect;
  w->enabled = !(style & WS_DISABLED);
  if (parentWindow) {
    w->parent = parent;
  } else {
    w->owner = Find(parent) ? GetTopLevel(parent) : nullptr;
    if (!cls->second.menuName.empty()) w->menu = FindMenu(instance, cls->second.menuName);
    w->framebuffer = std::make_unique<Surface>(rect.Width(), rect.Height());
  }
  const HWND h = w->handle;
  Window* raw = w.get();
  windows_.emplace(w->id, std::move(w));
  {
    std::lock_guard lock(queue_->m);
    queue_->live.insert(raw->id);
  }
  if (parentWindow) {
    parentWindow->children.push_back(h);
  } else {
    topOrder_.push_back(raw->id);
    backend_->TopLevelCreated(h, rect, text, (style & WS_POPUP) && !(style & WS_CAPTION));
  }
  if (SendMessage(h, WM_CREATE, 0, createParam) == -1) {
    DestroyWindow(h);
    return nullptr;
  }
  if (!Find(h)) return nullptr;
  SendSize(raw);
  if (style & WS_VISIBLE) {
    raw->visible = false;
    ShowWindow(h, SW_SHOW);
  }
  return h;
}

void WindowSystem::DestroyTree(Window* w) {
  w->destroying = true;
  {
    std::lock_guard lock(queue_->m);
    queue_->live.erase(w->id);
  }
  // The window hears WM_DESTROY before its children, as on Windows.
  const WndProc proc = w->proc;
  proc(w->handle, WM_DESTROY, 0, 0);
  for (HWND c : std::vector<HWND>(w->children)) {
    auto it = windows_.find(IdOf(c));
    if (it != windows_.end() && !it->second->destroying) DestroyTree(it->second.get());
  }
}

bool WindowSystem::DestroyWindow(HWND h) {
  Window* w = Find(h);
  if (!w) return false;
  // Owned top-level windows (dialogs, boxes, menus) go first.
  if (w->IsTopLevel()) {
    for (uint64_t id : std::vector<uint64_t>(topOrder_)) {
      auto it = windows_.find(id);
      if (it != windows_.end() && it->second->owner == h) DestroyWindow(it->second->handle);
    }
  }
  const bool wasVisible = IsEffectivelyVisible(w);
  const Rect area = w->rect;
  const HWND parent = w->parent;
  if (w->IsTopLevel()) backend_->TopLevelShown(h, false);
  DestroyTree(w);
  // Remove the records, children first.
  std::vector<uint64_t> gone;
  std::function<void(uint64_t)> collect = [&](uint64_t id) {
    auto it = windows_.find(id);
    if (it == windows_.end()) return;
    for (HWND c : it->second->children) collect(IdOf(c));
    gone.push_back(id);
  };
  collect(IdOf(h));
  for (uint64_t id : gone) {
    const HWND gh = HandleOf(id);
    if (focus_ == gh) focus_ = nullptr;
    if (capture_ == gh) ReleaseCapture();
    if (menuPopup_ == gh) menuPopup_ = nullptr;
    if (windows_[id]->IsTopLevel()) {
      backend_->TopLevelDestroyed(gh);
      topOrder_.erase(std::remove(topOrder_.begin(), topOrder_.end(), id), topOrder_.end());
    }
    windows_.erase(id);
  }
  if (Window* p = Find(parent)) {
    p->children.erase(std::remove(p->children.begin(), p->children.end(), h), p->children.end());
    if (wasVisible) InvalidateRect(parent, &area, true);
  }
  return true;
}

bool WindowSystem::IsWindow(HWND h) const {
  return Find(h) != nullptr;
}
HWND WindowSystem::GetParent(HWND h) const {
  const Window* w = Find(h);
  return w ? (w->parent ? w->parent : w->owner) : nullptr;
}
HWND WindowSystem::GetTopLevel(HWND h) const {
  const Window* w = Find(h);
  while (w && w->parent) w = Find(w->parent);
  return w ? w->handle : nullptr;
}
std::vector<HWND> WindowSystem::Children(HWND h) const {
  const Window* w = Find(h);
  return w ? w->children : std::vector<HWND>{};
}
std::vector<HWND> WindowSystem::TopLevels() const {
  std::vector<HWND> out;
  for (uint64_t id : topOrder_) out.push_back(HandleOf(id));
  return out;
}
HWND WindowSystem::GetDlgItem(HWND h, int id) const {
  const Window* w = Find(h);
  if (!w) return nullptr;
  for (HWND c : w->children)
    if (const Window* cw = Find(c); cw && cw->ctrlId == id) return c;
  return nullptr;
}
int WindowSystem::GetDlgCtrlID(HWND h) const {
  const Window* w = Find(h);
  return w ? w->ctrlId : 0;
}
std::string WindowSystem::GetWindowText(HWND h) const {
  const Window* w = Find(h);
  return w ? w->text : std::string();
}
bool WindowSystem::SetWindowText(HWND h, std::string_view text) {
  Window* w = Find(h);
  if (!w) return false;
  w->text = std::string(text);
  if (w->IsTopLevel()) backend_->CaptionChanged(h, text);
  SendMessage(h, WM_SETTEXT, 0, 0);
  InvalidateRect(h, nullptr, true);
  return true;
}
uint32_t WindowSystem::GetStyle(HWND h) const {
  const Window* w = Find(h);
  return w ? w->style : 0;
}
intptr_t WindowSystem::GetUserData(HWND h) const {
  const Window* w = Find(h);
  return w ? w->userData : 0;
}
void WindowSystem::SetUserData(HWND h, intptr_t v) {
  if (Window* w = Find(h)) w->userData = v;
}

Rect WindowSystem::ClientArea(const Window* w) const {
  Rect r{0, 0, w->rect.Width(), w->rect.Height()};
  if (w->style & WS_BORDER && !w->IsTopLevel()) r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  if (w->menu) r.top += MenuBarHeight();
  if (w->BarShown(SB_VERT)) r.right -= kScrollBarSize;
  if (w->BarShown(SB_HORZ)) r.bottom -= kScrollBarSize;
  r.right = std::max(r.left, r.right);
  r.bottom = std::max(r.top, r.bottom);
  return r;
}

Rect WindowSystem::GetClientRect(HWND h) const {
  const Window* w = Find(h);
  if (!w) return {};
  const Rect a = ClientArea(w);
  return {0, 0, a.Width(), a.Height()};
}

Rect WindowSystem::GetWindowRect(HWND h) const {
  const Window* w = Find(h);
  return w ? w->rect : Rect{};
}

Point WindowSystem::ClientOriginInTopLevel(const Window* w) const {
  const Rect a = ClientArea(w);
  if (w->IsTopLevel()) return {a.left, a.top};
  const Point p = ClientOriginInTopLevel(Find(w->parent));
  return {p.x + w->rect.left + a.left, p.y + w->rect.top + a.top};
}

Rect WindowSystem::ClientRectInTopLevel(HWND h) const {
  const Window* w = Find(h);
  if (!w) return {};
  const Point o = ClientOriginInTopLevel(w);
  const Rect a = ClientArea(w);
  return {o.x, o.y, o.x + a.Width(), o.y + a.Height()};
}

Point WindowSystem::ClientToScreen(HWND h, Point p) const {
  const Window* w = Find(h);
  if (!w) return p;
  const Point o = ClientOriginInTopLevel(w);
  const Window* top = Find(GetTopLevel(h));
  return {p.x + o.x + top->rect.left, p.y + o.y + top->rect.top};
}

void WindowSystem::SendSize(Window* w) {
  const Rect c = GetClientRect(w->handle);
  SendMessage(w->handle, WM_SIZE, SIZE_RESTORED, MakeLParam(c.Width(), c.Height()));
}

bool WindowSystem::MoveWindow(HWND h, const Rect& rect, bool repaint) {
  Window* w = Find(h);
  if (!w) return false;
  const Rect oldClient = GetClientRect(h);
  const Rect oldRect = w->rect;
  w->rect = rect;
  if (w->IsTopLevel()) {
    if (rect.Width() != oldRect.Width() || rect.Height() != oldRect.Height())
      w->framebuffer->Resize(rect.Width(), rect.Height());
    backend_->TopLevelMoved(h, rect);
  }
  if (Window* p = Find(w->parent); p && repaint) InvalidateRect(w->parent, &oldRect, true);
  if (repaint || w->IsTopLevel()) InvalidateRect(h, nullptr, true);
  if (!(GetClientRect(h) == oldClient)) SendSize(w);
  return true;
}

bool WindowSystem::IsEffectivelyVisible(const Window* w) const {
  while (w) {
    if (!w->visible) return false;
    w = w->parent ? Find(w->parent) : nullptr;
  }
  return true;
}

bool WindowSystem::ShowWindow(HWND h, int cmd) {
  Window* w = Find(h);
  if (!w) return false;
  const bool was = w->visible;
  const bool show = cmd != SW_HIDE;
  if (was == show) return was;
  w->visible = show;
  SendMessage(h, WM_SHOWWINDOW, show ? 1 : 0, 0);
  if (!Find(h)) return was;
  if (w->IsTopLevel()) backend_->TopLevelShown(h, show);
  if (show) {
    InvalidateRect(h, nullptr, true);
  } else if (w->parent) {
    InvalidateRect(w->parent, &w->rect, true);
  }
  return was;
}

bool WindowSystem::IsWindowVisible(HWND h) const {
  const Window* w = Find(h);
  return w && IsEffectivelyVisible(w);
}

bool WindowSystem::EnableWindow(HWND h, bool enable) {
  Window* w = Find(h);
  if (!w) return false;
  const bool wasDisabled = !w->enabled;
  if (w->enabled != enable) {
    w->enabled = enable;
    if (!enable && focus_ == h) focus_ = nullptr;
    SendMessage(h, WM_ENABLE, enable ? 1 : 0, 0);
    InvalidateRect(h, nullptr, true);
  }
  return wasDisabled;
}

bool WindowSystem::IsWindowEnabled(HWND h) const {
  const Window* w = Find(h);
  return w && w->enabled;
}

HWND WindowSystem::SetFocus(HWND h) {
  const HWND old = focus_;
  if (h == old || (h && !Find(h))) return old;
  focus_ = h;
  if (Find(old)) {
    SendMessage(old, WM_KILLFOCUS, reinterpret_cast<uintptr_t>(h), 0);
    InvalidateRect(old, nullptr, false);
  }
  if (Find(h)) {
    SendMessage(h, WM_SETFOCUS, reinterpret_cast<uintptr_t>(old), 0);
    InvalidateRect(h, nullptr, false);
  }
  return old;
}

// ---- messages -----------------------------------------------------------------------------------------

intptr_t WindowSystem::SendMessage(HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  Window* w = Find(h);
  if (!w) return 0;
  const WndProc proc = w->proc;  // the window may go away during the call
  return proc(h, msg, wParam, lParam);
}

bool WindowSystem::PostMessage(HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  {
    std::lock_guard lock(queue_->m);
    if (h && !queue_->live.count(IdOf(h))) return false;
    if (queue_->posted.size() >= plat::kMaxPostedMessages) return false;
    queue_->posted.push_back({h, msg, wParam, lParam});
  }
  backend_->Wake();
  return true;
}

void WindowSystem::PostQuitMessage(int exitCode) {
  {
    std::lock_guard lock(queue_->m);
    queue_->quit = true;
    queue_->quitCode = exitCode;
  }
  backend_->Wake();
}

bool WindowSystem::PeekMessage(Msg* m, bool remove) {
  backend_->PollInput();
  {
    std::lock_guard lock(queue_->m);
    while (!queue_->posted.empty()) {
      const Msg front = queue_->posted.front();
      if (front.hwnd && !queue_->live.count(IdOf(front.hwnd))) {
        queue_->posted.pop_front();  // its window was destroyed after the post
        continue;
      }
      *m = front;
      if (remove) {
        queue_->posted.pop_front();
        // Key state is the state as of the key message last taken, as GetKeyState reports it.
        if ((front.message == WM_KEYDOWN || front.message == WM_KEYUP) && front.wParam < 256)
          keys_[front.wParam] = front.message == WM_KEYDOWN ? 1 : 0;
      }
      return true;
    }
    if (queue_->quit) {
      *m = {nullptr, WM_QUIT, static_cast<uintptr_t>(queue_->quitCode), 0};
      if (remove) queue_->quit = false;
      return true;
    }
  }
  if (Window* w = FirstInvalid()) {
    *m = {w->handle, WM_PAINT, 0, 0};
    return true;
  }
  PresentDirty();
  return false;
}

bool WindowSystem::GetMessage(Msg* m) {
  while (!PeekMessage(m, true)) backend_->WaitInput(-1);
  return m->message != WM_QUIT;
}

intptr_t WindowSystem::DispatchMessage(const Msg& m) {
  Window* w = Find(m.hwnd);
  if (!w) return 0;
  if (m.message != WM_PAINT) return SendMessage(m.hwnd, m.message, m.wParam, m.lParam);
  if (!w->invalid) return 0;
  PaintNonClient(w);
  const intptr_t r = SendMessage(m.hwnd, WM_PAINT, 0, 0);
  // A handler that never began painting would otherwise be asked again for ever.
  if (Window* again = Find(m.hwnd)) again->invalid = false;
  return r;
}

void WindowSystem::PumpPending() {
  Msg m;
  while (PeekMessage(&m, true)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));  // left for the loop that owns the quit
      return;
    }
    const HWND dlg = DialogWindowOf(m.hwnd);
    if (dlg && IsDialogMessage(dlg, m)) continue;
    TranslateMessage(m);
    DispatchMessage(m);
  }
}

int WindowSystem::Run(HWND accelWindow, const AcceleratorTable* accel) {
  Msg m;
  while (GetMessage(&m)) {
    if (accel && TranslateAccelerator(accelWindow, accel, m)) continue;
    const HWND dlg = DialogWindowOf(m.hwnd);
    if (dlg && IsDialogMessage(dlg, m)) continue;
    TranslateMessage(m);
    DispatchMessage(m);
  }
  return static_cast<int>(m.wParam);
}

void WindowSystem::TranslateMessage(const Msg& m) {
  if (m.message != WM_KEYDOWN) return;
  const auto vk = static_cast<uint32_t>(m.wParam);
  const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
  int c = -1;
  if (vk >= 'A' && vk <= 'Z') {
    c = ctrl ? static_cast<int>(vk - 'A' + 1) : static_cast<int>(shift ? vk : vk - 'A' + 'a');
  } else if (vk >= '0' && vk <= '9' && !ctrl) {
    c = static_cast<int>(vk);
  } else if (vk == VK_SPACE || vk == VK_RETURN || vk == VK_BACK || vk == VK_ESCAPE || vk == VK_TAB) {
    c = static_cast<int>(vk);
  } else if (vk >= 0x100 && vk <= 0x1FF) {
    c = static_cast<int>(vk - 0x100);  // a character the backend typed directly
  }
  if (c < 0) return;
  std::lock_guard lock(queue_->m);
  queue_->posted.push_front({m.hwnd, WM_CHAR, static_cast<uintptr_t>(c), 1});
}

intptr_t WindowSystem::DefWindowProc(HWND h, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  (void)wParam;
  (void)lParam;
  switch (msg) {
    case WM_CLOSE:
      DestroyWindow(h);
      return 0;
    case WM_PAINT: {
      PaintContext pc = BeginPaint(h);
      EndPaint(h, pc);
      return 0;
    }
    case WM_ERASEBKGND: {
      Window* w = Find(h);
      if (!w) return 0;
      auto dc = GetDC(h);
      dc->FillRect(GetClientRect(h), w->background);
      return 1;
    }
    default:
      return 0;
  }
}

// ---- painting -----------------------------------------------------------------------------------------

bool WindowSystem::InvalidateRect(HWND h, const Rect* rect, bool erase) {
  Window* w = Find(h);
  if (!w) return false;
  const Rect client = GetClientRect(h);
  const Rect area = rect ? rect->Intersect(client) : client;
  if (!w->invalid) w->invalidRect = {};
  w->invalidRect = w->invalidRect.Union(area.Empty() && !rect ? client : area);
  w->invalid = true;
  w->erase = w->erase || erase;
  // Painting the parent covers its children, so they repaint afterwards.
  for (HWND c : w->children) {
    const Window* cw = Find(c);
    if (!cw || !cw->visible) continue;
    if (!rect || !cw->rect.Intersect(area).Empty()) InvalidateRect(c, nullptr, true);
  }
  return true;
}

WindowSystem::Window* WindowSystem::FirstInvalid() {
  std::function<Window*(Window*)> visit = [&](Window* w) -> Window* {
    if (!w || !w->visible) return nullptr;
    if (w->invalid) return w;
    for (HWND c : w->children)
      if (Window* found = visit(Find(c))) return found;
    return nullptr;
  };
  for (uint64_t id : topOrder_)
    if (Window* found = visit(Find(HandleOf(id)))) return found;
  return nullptr;
}

void WindowSystem::UpdateWindow(HWND h) {
  std::function<void(HWND)> paint = [&](HWND x) {
    Window* w = Find(x);
    if (!w || !w->visible) return;
    if (w->invalid) DispatchMessage({x, WM_PAINT, 0, 0});
    for (HWND c : Children(x)) paint(c);
  };
  paint(h);
}

PaintContext WindowSystem::BeginPaint(HWND h) {
  PaintContext pc;
  Window* w = Find(h);
  if (!w) return pc;
  pc.paint = w->invalid ? w->invalidRect : GetClientRect(h);
  pc.erase = w->erase;
  w->invalid = false;
  w->erase = false;
  pc.canvas = GetDC(h);
  if (pc.erase) SendMessage(h, WM_ERASEBKGND, 0, 0);
  return pc;
}

void WindowSystem::EndPaint(HWND h, PaintContext& pc) {
  pc.canvas.reset();
  if (Window* top = Find(GetTopLevel(h))) top->dirty = true;
}

std::unique_ptr<Canvas> WindowSystem::GetDC(HWND h) {
  Window* w = Find(h);
  if (!w) return nullptr;
  Window* top = Find(GetTopLevel(h));
  // Clip to this client area and every ancestor's.
  Rect clip = ClientRectInTopLevel(h);
  for (const Window* a = w->parent ? Find(w->parent) : nullptr; a; a = a->parent ? Find(a->parent) : nullptr)
    clip = clip.Intersect(ClientRectInTopLevel(a->handle));
  const Point o = ClientOriginInTopLevel(w);
  top->dirty = true;
  return std::make_unique<Canvas>(*top->framebuffer, backend_->Display(), o, clip);
}

const Surface* WindowSystem::Framebuffer(HWND topLevel) const {
  const Window* w = Find(topLevel);
  return w && w->framebuffer ? w->framebuffer.get() : nullptr;
}

void WindowSystem::PresentDirty() {
  for (uint64_t id : topOrder_) {
    Window* w = Find(HandleOf(id));
    if (w && w->dirty && w->visible) {
      w->dirty = false;
      backend_->Present(w->handle, *w->framebuffer);
    }
  }
}

// The border, the menu bar and the scroll bars, drawn in the window's own rectangle.
void WindowSystem::PaintNonClient(Window* w) {
  Window* top = Find(GetTopLevel(w->handle));
  Point origin{0, 0};
  if (!w->IsTopLevel()) {
    const Point po = ClientOriginInTopLevel(Find(w->parent));
    origin = {po.x + w->rect.left, po.y + w->rect.top};
  }
  Rect clip{origin.x, origin.y, origin.x + w->rect.Width(), origin.y + w->rect.Height()};
  if (!w->IsTopLevel()) clip = clip.Intersect(ClientRectInTopLevel(w->parent));
  Canvas dc(*top->framebuffer, backend_->Display(), origin, clip);
  const Rect whole{0, 0, w->rect.Width(), w->rect.Height()};
  if (w->style & WS_BORDER && !w->IsTopLevel()) dc.FrameRect(whole, kBlack);
  const Rect client = ClientArea(w);
  if (w->menu) {
    const int h = MenuBarHeight();
    dc.FillRect({0, 0, whole.right, h}, kLightGray);
    int x = 6;
    for (const auto& popup : w->menu->popups) {
      const std::string t = StripMnemonic(popup.text);
      dc.TextOut(x, 3, t);
      x += dc.Font().Measure(t).width + 12;
    }
  }
  for (int bar : {SB_VERT, SB_HORZ}) {
    if (!w->BarShown(bar)) continue;
    const auto& b = w->bars[bar];
    const bool vert = bar == SB_VERT;
    const Rect track = vert ? Rect{client.right, client.top, client.right + kScrollBarSize, client.bottom}
                            : Rect{client.left, client.bottom, client.right, client.bottom + kScrollBarSize};
    dc.FillRect(track, kLightGray);
    dc.FrameRect(track, kGray);
    const int length = (vert ? track.Height() : track.Width()) - 3 * kScrollBarSize;
    const int span = std::max(1, b.max - b.min);
    const int offset = kScrollBarSize + (length > 0 ? (b.pos - b.min) * length / span : 0);
    const Rect thumb = vert ? Rect{track.left, track.top + offset, track.right, track.top + offset + kScrollBarSize}
                            : Rect{track.left + offset, track.top, track.left + offset + kScrollBarSize, track.bottom};
    dc.FillRect(thumb, kGray);
    if (vert && w->BarShown(SB_HORZ))
      dc.FillRect({client.right, client.bottom, client.right + kScrollBarSize, client.bottom + kScrollBarSize},
                  kLightGray);
  }
  top->dirty = true;
}

// ---- scroll bars --------------------------------------------------------------------------------------

bool WindowSystem::SetScrollRange(HWND h, int bar, int min, int max, bool redraw) {
  Window* w = Find(h);
  if (!w || (bar != SB_HORZ && bar != SB_VERT)) return false;
  const Rect before = GetClientRect(h);
  auto& b = w->bars[bar];
  b.min = min;
  b.max = max;
  b.pos = std::clamp(b.pos, std::min(min, max), std::max(min, max));
  if (!(GetClientRect(h) == before)) {
    SendSize(w);
    InvalidateRect(h, nullptr, true);
  } else if (redraw && w->visible) {
    PaintNonClient(w);
  }
  return true;
}

int WindowSystem::SetScrollPos(HWND h, int bar, int pos, bool redraw) {
  Window* w = Find(h);
  if (!w || (bar != SB_HORZ && bar != SB_VERT)) return 0;
  auto& b = w->bars[bar];
  const int old = b.pos;
  b.pos = std::clamp(pos, std::min(b.min, b.max), std::max(b.min, b.max));
  if (redraw && w->BarShown(bar)) PaintNonClient(w);
  return old;
}

int WindowSystem::GetScrollPos(HWND h, int bar) const {
  const Window* w = Find(h);
  return w && (bar == SB_HORZ || bar == SB_VERT) ? w->bars[bar].pos : 0;
}

bool WindowSystem::IsScrollBarShown(HWND h, int bar) const {
  const Window* w = Find(h);
  return w && (bar == SB_HORZ || bar == SB_VERT) && w->BarShown(bar);
}

// ---- cursor, capture, keys, profile -------------------------------------------------------------------

void WindowSystem::MessageBeep(uint32_t type) {
  backend_->Beep(type);
}

Cursor WindowSystem::SetCursor(Cursor c) {
  const Cursor old = cursor_;
  cursor_ = c;
  backend_->SetCursor(c);
  return old;
}

HWND WindowSystem::SetCapture(HWND h) {
  const HWND old = capture_;
  capture_ = Find(h) ? h : nullptr;
  return old;
}

void WindowSystem::ReleaseCapture() {
  capture_ = nullptr;
}

void WindowSystem::ClipCursor(const Rect* screen) {
  backend_->ConfinePointer(capture_, screen);
}

int16_t WindowSystem::GetKeyState(uint32_t vk) const {
  return vk < 256 && keys_[vk] ? static_cast<int16_t>(0x8000) : 0;
}

void WindowSystem::SetProfileFile(std::string path) {
  profileFile_ = std::move(path);
}

bool WindowSystem::WriteProfileString(const char* section, const char* key, const char* value) {
  return plat::WritePrivateProfileStringA(section, key, value, profileFile_.c_str());
}

// ---- input ----------------------------------------------------------------------------------------------

HWND WindowSystem::HitTest(Window* top, Point p, Point* client) {
  Window* w = top;
  Point origin{0, 0};  // w's window origin in the framebuffer
  for (;;) {
    const Rect a = ClientArea(w);
    const Point co{origin.x + a.left, origin.y + a.top};
    Window* next = nullptr;
    if (a.Offset(origin.x, origin.y).Contains(p)) {
      for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
        Window* c = Find(*it);
        if (c && c->visible && c->rect.Offset(co.x, co.y).Contains(p)) {
          next = c;
          break;
        }
      }
    }
    if (!next) {
      *client = {p.x - co.x, p.y - co.y};
      return w->handle;
    }
    origin = {co.x + next->rect.left, co.y + next->rect.top};
    w = next;
  }
}

void WindowSystem::InjectMouse(HWND topLevel, Point p, uint32_t message) {
  Window* top = Find(topLevel);
  if (!top) return;
  const bool press = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN;
  if (menuPopup_ && press && topLevel != menuPopup_) {
    DestroyWindow(menuPopup_);  // a click elsewhere closes the open menu
    return;
  }
  if (capture_) {
    const Point o = ClientOriginInTopLevel(Find(capture_));
    PostMessage(capture_, message, message == WM_MOUSEMOVE ? 0 : MK_LBUTTON, MakeLParam(p.x - o.x, p.y - o.y));
    return;
  }
  if (!top->enabled || !top->visible) return;  // the owner of a modal dialog
  Point client;
  const HWND target = HitTest(top, p, &client);
  Window* w = Find(target);
  if (!w->enabled) return;
  const Rect a = ClientArea(w);
  if (client.x < 0 || client.y < 0 || client.x >= a.Width() || client.y >= a.Height()) {
    if (press) NonClientClick(w, {client.x + a.left, client.y + a.top});
    return;
  }
  PostMessage(target, message, press ? MK_LBUTTON : 0, MakeLParam(client.x, client.y));
}

void WindowSystem::InjectKey(uint32_t vk, bool down) {
  HWND target = Find(focus_) ? focus_ : nullptr;
  if (!target) {
    for (auto it = topOrder_.rbegin(); it != topOrder_.rend() && !target; ++it) {
      Window* w = Find(HandleOf(*it));
      if (w && w->visible && w->enabled) target = w->handle;
    }
  }
  // With no window to take it, the key still counts for GetKeyState.
  if (!target || !PostMessage(target, down ? WM_KEYDOWN : WM_KEYUP, vk, 1)) {
    if (vk < 256) keys_[vk] = down ? 1 : 0;
  }
}

void WindowSystem::InjectChar(char c) {
  const HWND target = Find(focus_) ? focus_ : nullptr;
  if (target) PostMessage(target, WM_CHAR, static_cast<unsigned char>(c), 1);
}

void WindowSystem::InjectClose(HWND topLevel) {
  Window* w = Find(topLevel);
  if (w && w->enabled) PostMessage(topLevel, WM_CLOSE, 0, 0);
}

bool WindowSystem::NonClientClick(Window* w, Point wp) {
  const Rect client = ClientArea(w);
  if (w->menu && wp.y < MenuBarHeight()) {
    int x = 6;
    for (size_t i = 0; i < w->menu->popups.size(); ++i) {
      const int width = SystemFont()->Measure(StripMnemonic(w->menu->popups[i].text)).width + 12;
      if (wp.x >= x - 6 && wp.x < x + width - 6) {
        OpenDropDown(w, i);
        return true;
      }
      x += width;
    }
    return false;
  }
  for (int bar : {SB_VERT, SB_HORZ}) {
    if (!w->BarShown(bar)) continue;
    const bool vert = bar == SB_VERT;
    const bool inBar = vert ? (wp.x >= client.right && wp.y >= client.top && wp.y < client.bottom)
                            : (wp.y >= client.bottom && wp.x >= client.left && wp.x < client.right);
    if (!inBar) continue;
    const int along = vert ? wp.y - client.top : wp.x - client.left;
    const int length = vert ? client.Height() : client.Width();
    const auto& b = w->bars[bar];
    const int inner = length - 3 * kScrollBarSize;
    const int thumb = kScrollBarSize + (inner > 0 ? (b.pos - b.min) * inner / std::max(1, b.max - b.min) : 0);
    int code = along < kScrollBarSize                ? SB_LINEUP
               : along >= length - kScrollBarSize    ? SB_LINEDOWN
               : along < thumb                       ? SB_PAGEUP
               : along >= thumb + kScrollBarSize     ? SB_PAGEDOWN
                                                     : -1;
    if (code >= 0) SendMessage(w->handle, vert ? WM_VSCROLL : WM_HSCROLL, static_cast<uintptr_t>(code), 0);
    return true;
  }
  return false;
}

}  // namespace ui
