#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "imaging/endorsement.h"
#include "text/text_rasterizer.h"
#include "zarn/trace.h"

namespace zc::imaging {
namespace {

// The API draws on the canvas from its polling thread while the caller starts and finishes it: every
// call sees either no canvas or a whole one.
TEST(EndorsementCanvasThreads, DrawingWhileStartingAndFinishing) {
  text::ScopedTextBackend bitmapFont(text::TextBackend::Bitmap);
  zarn::SetScannerTypeCode(1);
  std::atomic<bool> stop{false};
  std::atomic<int> drawn{0};
  std::thread poller([&] {
    while (!stop.load()) {
      if (CheckEndorsementText(200, -7, 3, 2, 0, 0, nullptr, "PAID 12") == 1) ++drawn;
      CheckEndorsementInvert(1);
      CheckEndorsementStretch(0);
    }
  });
  int finished = 0;
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(CheckEndorsementStart(200, 100 + i), 1);
    funcSetEndorsementStyle(i % 10);
    const auto dib = CheckEndorsementEndhDIB(200);
    ASSERT_TRUE(dib.has_value());
    finished += dib->Size() > 0;
  }
  stop = true;
  poller.join();
  funcSetEndorsementStyle(0);
  EXPECT_EQ(finished, 300);
  EXPECT_EQ(EndorsementCanvasState().width, 0);
}

}  // namespace
}  // namespace zc::imaging
