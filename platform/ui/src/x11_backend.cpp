#include "ui/x11_backend.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "ui/window_system.h"

namespace ui {

struct X11Backend::State {
  ::Display* dpy = nullptr;
  int wakeRead = -1;
  int wakeWrite = -1;
  Atom deleteWindow = 0;
  Atom protocols = 0;
  std::map<HWND, ::Window> windows;
  std::map<::Window, HWND> handles;
};

namespace {

// X key symbols to the virtual keys of the window layer; 0 for keys it does not know.
uint32_t VirtualKey(KeySym sym) {
  if (sym >= XK_a && sym <= XK_z) return static_cast<uint32_t>('A' + (sym - XK_a));
  if (sym >= XK_A && sym <= XK_Z) return static_cast<uint32_t>('A' + (sym - XK_A));
  if (sym >= XK_0 && sym <= XK_9) return static_cast<uint32_t>('0' + (sym - XK_0));
  if (sym >= XK_F1 && sym <= XK_F12) return static_cast<uint32_t>(VK_F1 + (sym - XK_F1));
  switch (sym) {
    case XK_Return: case XK_KP_Enter: return VK_RETURN;
    case XK_Escape: return VK_ESCAPE;
    case XK_Tab: return VK_TAB;
    case XK_BackSpace: return VK_BACK;
    case XK_space: return VK_SPACE;
    case XK_Shift_L: case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L: case XK_Control_R: return VK_CONTROL;
    case XK_Prior: return VK_PRIOR;
    case XK_Next: return VK_NEXT;
    case XK_Home: return VK_HOME;
    case XK_End: return VK_END;
    case XK_Left: return VK_LEFT;
    case XK_Right: return VK_RIGHT;
    case XK_Up: return VK_UP;
    case XK_Down: return VK_DOWN;
    default: return 0;
  }
}

}  // namespace

std::unique_ptr<X11Backend> X11Backend::Open(const char* displayName) {
  auto s = std::make_unique<State>();
  s->dpy = XOpenDisplay(displayName);
  if (!s->dpy) return nullptr;
  int fds[2];
  if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
    XCloseDisplay(s->dpy);
    return nullptr;
  }
  s->wakeRead = fds[0];
  s->wakeWrite = fds[1];
  s->deleteWindow = XInternAtom(s->dpy, "WM_DELETE_WINDOW", False);
  s->protocols = XInternAtom(s->dpy, "WM_PROTOCOLS", False);
  auto b = std::unique_ptr<X11Backend>(new X11Backend(std::move(s)));
  return b;
}

X11Backend::X11Backend(std::unique_ptr<State> s) : s_(std::move(s)) {
  const int screen = DefaultScreen(s_->dpy);
  display_.width = DisplayWidth(s_->dpy, screen);
  display_.height = DisplayHeight(s_->dpy, screen);
  display_.colours = DefaultDepth(s_->dpy, screen) <= 8 ? DisplayInfo::Colours::Palette256
                                                         : DisplayInfo::Colours::TrueColour;
}

X11Backend::~X11Backend() {
  for (auto& [h, w] : s_->windows) XDestroyWindow(s_->dpy, w);
  XCloseDisplay(s_->dpy);
  close(s_->wakeRead);
  close(s_->wakeWrite);
}

unsigned long X11Backend::XWindowOf(HWND h) const {
  auto it = s_->windows.find(h);
  return it == s_->windows.end() ? 0 : it->second;
}

void X11Backend::TopLevelCreated(HWND h, const Rect& rect, std::string_view caption, bool popup) {
  const int screen = DefaultScreen(s_->dpy);
  XSetWindowAttributes attrs{};
  attrs.override_redirect = popup ? True : False;
  attrs.background_pixel = WhitePixel(s_->dpy, screen);
  attrs.event_mask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                     PointerMotionMask | StructureNotifyMask;
  const ::Window w = XCreateWindow(s_->dpy, RootWindow(s_->dpy, screen), rect.left, rect.top,
                                   static_cast<unsigned>(std::max(1, rect.Width())),
                                   static_cast<unsigned>(std::max(1, rect.Height())), 0, CopyFromParent,
                                   InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel | CWEventMask,
                                   &attrs);
  // Keep the requested position when a window manager places windows.
  XSizeHints hints{};
  hints.flags = USPosition | USSize;
  hints.x = rect.left;
  hints.y = rect.top;
  hints.width = rect.Width();
  hints.height = rect.Height();
  XSetWMNormalHints(s_->dpy, w, &hints);
  XSetWMProtocols(s_->dpy, w, &s_->deleteWindow, 1);
  XStoreName(s_->dpy, w, std::string(caption).c_str());
  s_->windows[h] = w;
  s_->handles[w] = h;
}

void X11Backend::TopLevelDestroyed(HWND h) {
  auto it = s_->windows.find(h);
  if (it == s_->windows.end()) return;
  XDestroyWindow(s_->dpy, it->second);
  s_->handles.erase(it->second);
  s_->windows.erase(it);
  XFlush(s_->dpy);
}

void X11Backend::TopLevelShown(HWND h, bool visible) {
  auto it = s_->windows.find(h);
  if (it == s_->windows.end()) return;
  if (visible) {
    XMapRaised(s_->dpy, it->second);
  } else {
    XUnmapWindow(s_->dpy, it->second);
  }
  XFlush(s_->dpy);
}

void X11Backend::TopLevelMoved(HWND h, const Rect& rect) {
  auto it = s_->windows.find(h);
  if (it == s_->windows.end()) return;
  XMoveResizeWindow(s_->dpy, it->second, rect.left, rect.top, static_cast<unsigned>(std::max(1, rect.Width())),
                    static_cast<unsigned>(std::max(1, rect.Height())));
}

void X11Backend::CaptionChanged(HWND h, std::string_view caption) {
  auto it = s_->windows.find(h);
  if (it != s_->windows.end()) XStoreName(s_->dpy, it->second, std::string(caption).c_str());
}

void X11Backend::Present(HWND h, const Surface& s) {
  auto it = s_->windows.find(h);
  if (it == s_->windows.end() || s.Width() <= 0 || s.Height() <= 0) return;
  const int screen = DefaultScreen(s_->dpy);
  XImage* img = XCreateImage(s_->dpy, DefaultVisual(s_->dpy, screen), static_cast<unsigned>(DefaultDepth(s_->dpy, screen)),
                             ZPixmap, 0, nullptr, static_cast<unsigned>(s.Width()),
                             static_cast<unsigned>(s.Height()), 32, 0);
  if (!img) return;
  std::vector<char> data(static_cast<size_t>(img->bytes_per_line) * s.Height());
  img->data = data.data();
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) {
      const Colour c = s.Pixel(x, y);
      // Scale each component into the visual's masks (exact for the common 8-8-8 layout).
      auto part = [c](unsigned long mask, int shift) {
        unsigned long v = (c >> shift) & 0xFF;
        int lo = 0;
        while (mask && !((mask >> lo) & 1)) ++lo;
        const unsigned long max = mask >> lo;
        return ((v * max + 127) / 255) << lo;
      };
      XPutPixel(img, x, y, part(img->red_mask, 16) | part(img->green_mask, 8) | part(img->blue_mask, 0));
    }
  XPutImage(s_->dpy, it->second, DefaultGC(s_->dpy, screen), img, 0, 0, 0, 0, static_cast<unsigned>(s.Width()),
            static_cast<unsigned>(s.Height()));
  img->data = nullptr;  // owned by `data`
  XDestroyImage(img);
  XFlush(s_->dpy);
}

void X11Backend::Handle(void* event) {
  XEvent& e = *static_cast<XEvent*>(event);
  auto it = s_->handles.find(e.xany.window);
  if (it == s_->handles.end()) return;
  const HWND h = it->second;
  switch (e.type) {
    case Expose:
      if (e.xexpose.count == 0)
        if (const Surface* s = ws_->Framebuffer(h)) Present(h, *s);
      break;
    case ButtonPress:
    case ButtonRelease: {
      const bool press = e.type == ButtonPress;
      uint32_t msg = 0;
      if (e.xbutton.button == Button1) msg = press ? WM_LBUTTONDOWN : WM_LBUTTONUP;
      if (e.xbutton.button == Button3) msg = press ? WM_RBUTTONDOWN : WM_RBUTTONUP;
      if (msg) ws_->InjectMouse(h, {e.xbutton.x, e.xbutton.y}, msg);
      break;
    }
    case MotionNotify:
      ws_->InjectMouse(h, {e.xmotion.x, e.xmotion.y}, WM_MOUSEMOVE);
      break;
    case KeyPress:
    case KeyRelease: {
      char buf[8] = {};
      KeySym sym = NoSymbol;
      const int n = XLookupString(&e.xkey, buf, sizeof buf, &sym, nullptr);
      uint32_t vk = VirtualKey(sym);
      // Other printable characters travel as themselves.
      if (!vk && n == 1 && static_cast<unsigned char>(buf[0]) >= 32) {
        if (e.type == KeyPress) ws_->InjectChar(buf[0]);
        break;
      }
      if (vk) ws_->InjectKey(vk, e.type == KeyPress);
      break;
    }
    case ClientMessage:
      if (e.xclient.message_type == s_->protocols && static_cast<Atom>(e.xclient.data.l[0]) == s_->deleteWindow)
        ws_->InjectClose(h);
      break;
    default:
      break;
  }
}

void X11Backend::PollInput() {
  while (XPending(s_->dpy) > 0) {
    XEvent e;
    XNextEvent(s_->dpy, &e);
    Handle(&e);
  }
}

void X11Backend::WaitInput(int timeoutMs) {
  XFlush(s_->dpy);
  if (XPending(s_->dpy) > 0) return;
  pollfd fds[2] = {{ConnectionNumber(s_->dpy), POLLIN, 0}, {s_->wakeRead, POLLIN, 0}};
  poll(fds, 2, timeoutMs);
  char drain[64];
  while (read(s_->wakeRead, drain, sizeof drain) > 0) {
  }
}

void X11Backend::Wake() {
  const char one = 1;
  [[maybe_unused]] const ssize_t n = write(s_->wakeWrite, &one, 1);  // a full pipe already wakes
}

void X11Backend::Beep(uint32_t) {
  XBell(s_->dpy, 0);
  XFlush(s_->dpy);
}

void X11Backend::ConfinePointer(HWND h, const Rect* screen) {
  if (!screen) {
    XUngrabPointer(s_->dpy, CurrentTime);
    XFlush(s_->dpy);
    return;
  }
  // X confines to a window: the top-level window that holds the capture.
  const HWND top = ws_ ? ws_->GetTopLevel(h) : nullptr;
  auto it = s_->windows.find(top);
  if (it == s_->windows.end()) return;
  XGrabPointer(s_->dpy, it->second, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
               GrabModeAsync, it->second, None, CurrentTime);
  XFlush(s_->dpy);
}

}  // namespace ui
