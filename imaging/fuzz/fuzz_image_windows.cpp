// Fuzz target over files shown in an image window on the headless window layer. The first byte picks the
// form: even, the rest is a whole file (JPEG, BMP, GIF, PCX, TIFF, ...); odd, the next two 16-bit words
// (little-endian) give a page's width and rows, and the rest is the G4 strip of a page behind the
// program's own header. Each is loaded with ZARNSetImageMultPage and painted; a failure code or a partial
// picture is fine, a read or write outside what exists, or a paint that does not end, is not.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "imaging/image_windows.h"
#include "imaging/image_writers.h"
#include "ui/headless_backend.h"
#include "ui/window_system.h"

namespace {

struct Screen {
  std::unique_ptr<ui::WindowSystem> ws;
  ui::HWND frame = nullptr;
  Screen() {
    ws = std::make_unique<ui::WindowSystem>(std::make_unique<ui::HeadlessBackend>(ui::DisplayInfo{640, 480}));
    ws->RegisterClass({"FuzzFrame", [this](ui::HWND h, uint32_t m, uintptr_t wp, intptr_t lp) {
                         return ws->DefWindowProc(h, m, wp, lp);
                       }});
    frame = ws->CreateWindow("FuzzFrame", "fuzz", ui::WS_POPUP | ui::WS_VISIBLE, {0, 0, 200, 120}, nullptr);
    zc::imaging::ZARNStartImageWindow(frame, 1);
  }
};

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Screen screen;
  if (size < 1) return 0;
  const int fd = ::memfd_create("window", MFD_CLOEXEC);
  if (fd < 0) return 0;
  bool written = true;
  if ((data[0] & 1) == 0) {
    written = ::write(fd, data + 1, size - 1) == static_cast<ssize_t>(size - 1);
  } else if (size >= 5) {
    const int width = 1 + Le16(data + 1) % 2048, rows = 1 + Le16(data + 3) % 2048;
    const std::tm now{};
    const auto header = zc::imaging::MakeTiffG4Header(width, rows, static_cast<uint32_t>(size - 5), 200, 0, true, now);
    written = ::write(fd, header.data(), header.size()) == static_cast<ssize_t>(header.size()) &&
              ::write(fd, data + 5, size - 5) == static_cast<ssize_t>(size - 5);
  }
  if (written) {
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (zc::imaging::ZARNSetImageMultPage(path.c_str(), 1, 1) == 0) {
      screen.ws->UpdateWindow(screen.frame);
      zc::imaging::ZARNSetImageMultPage("", 1, 1);
    }
  }
  ::close(fd);
  return 0;
}
