#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ui_fixture.h"

namespace {

using namespace ui;

class CrossThread : public uitest::UiFixture {};

TEST_F(CrossThread, PostFromAnotherThreadIsHandledOnTheUiThreadInOrder) {
  const auto uiThread = std::this_thread::get_id();
  std::vector<uintptr_t> seen;
  bool allOnUiThread = true;
  ws->RegisterClass({"Panel", [&](HWND h, uint32_t m, uintptr_t wp, intptr_t lp) {
                       if (m == WM_COMMAND) {
                         allOnUiThread = allOnUiThread && std::this_thread::get_id() == uiThread;
                         seen.push_back(wp);
                         if (seen.size() == 200) ws->PostQuitMessage(0);
                       }
                       return ws->DefWindowProc(h, m, wp, lp);
                     }});
  const HWND panel = ws->CreateWindow("Panel", "", WS_VISIBLE, {0, 0, 50, 50}, nullptr);
  hb->stallLimit = std::chrono::seconds(30);
  std::thread poller([&] {
    for (uintptr_t i = 0; i < 200; ++i) ASSERT_TRUE(ws->PostMessage(panel, WM_COMMAND, i, 0));
  });
  EXPECT_EQ(ws->Run(), 0);
  poller.join();
  ASSERT_EQ(seen.size(), 200u);
  for (uintptr_t i = 0; i < 200; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_TRUE(allOnUiThread);
}

TEST_F(CrossThread, PostsRacingADestroyAreDroppedNotDelivered) {
  std::atomic<int> delivered{0};
  ws->RegisterClass({"Panel", [&](HWND h, uint32_t m, uintptr_t wp, intptr_t lp) {
                       if (m == WM_USER) ++delivered;
                       return ws->DefWindowProc(h, m, wp, lp);
                     }});
  const HWND panel = ws->CreateWindow("Panel", "", 0, {0, 0, 50, 50}, nullptr);
  std::atomic<bool> destroyed{false};
  std::atomic<int> acceptedAfter{0};
  std::thread poller([&] {
    for (int i = 0; i < 5000; ++i) {
      const bool wasDestroyed = destroyed.load();
      if (ws->PostMessage(panel, WM_USER) && wasDestroyed) ++acceptedAfter;
    }
  });
  ws->PumpPending();
  ws->DestroyWindow(panel);
  destroyed = true;
  poller.join();
  const int before = delivered.load();
  ws->PumpPending();
  EXPECT_EQ(delivered.load(), before);
  EXPECT_EQ(acceptedAfter.load(), 0);
}

}  // namespace
