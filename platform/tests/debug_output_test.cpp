// OutputDebugStringA: captures, whole texts per call, and stderr on request.
#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

namespace plat {
namespace {

TEST(PlatformDebugOutputTest, CapturesSeeEveryCallWhileTheyLive) {
  OutputDebugStringA("before\n");
  DebugOutputCapture outer;
  OutputDebugStringA("one\n");
  OutputDebugStringA(nullptr);
  {
    DebugOutputCapture inner;
    OutputDebugStringA("two");
    EXPECT_EQ(inner.Text(), "two");
  }
  OutputDebugStringA("three\n");
  EXPECT_EQ(outer.Calls(), (std::vector<std::string>{"one\n", "two", "three\n"}));
  outer.Clear();
  EXPECT_EQ(outer.Text(), "");
}

TEST(PlatformDebugOutputTest, TextsOfThreadsNeverMix) {
  DebugOutputCapture capture;
  const std::string a(200, 'a'), b(200, 'b');
  std::thread ta([&] {
    for (int i = 0; i < 200; ++i) OutputDebugStringA(a.c_str());
  });
  std::thread tb([&] {
    for (int i = 0; i < 200; ++i) OutputDebugStringA(b.c_str());
  });
  ta.join();
  tb.join();
  const std::vector<std::string> calls = capture.Calls();
  ASSERT_EQ(calls.size(), 400u);
  for (const std::string& c : calls) EXPECT_TRUE(c == a || c == b);
}

TEST(PlatformDebugOutputTest, StderrOnlyWhenAsked) {
  ::unsetenv("ZC_DEBUG_OUTPUT");
  ::testing::internal::CaptureStderr();
  OutputDebugStringA("quiet\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  ::setenv("ZC_DEBUG_OUTPUT", "1", 1);
  ::testing::internal::CaptureStderr();
  OutputDebugStringA("loud\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "loud\n");
  ::unsetenv("ZC_DEBUG_OUTPUT");
}

}  // namespace
}  // namespace plat
