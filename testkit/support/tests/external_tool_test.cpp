// Running outside commands: exit status, captured output of both streams, the time limit.
#include "testkit/support/external_tool.h"

#include <gtest/gtest.h>

#include <chrono>

namespace zc::testkit {
namespace {

TEST(ExternalTool, FindsShellToolsOnPathOnly) {
  EXPECT_TRUE(HaveTool("sh"));
  EXPECT_FALSE(HaveTool("zc-no-such-tool"));
  EXPECT_FALSE(HaveTool("/bin/sh"));  // a name, not a path
  EXPECT_FALSE(HaveTool(""));
}

TEST(ExternalTool, CapturesBothStreamsAndTheExitStatus) {
  const CommandResult r = RunCommand("echo out; echo err >&2; exit 3");
  EXPECT_EQ(r.status, 3);
  EXPECT_FALSE(r.ok());
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.output, "out\nerr\n");
  EXPECT_TRUE(RunCommand("true").ok());
  EXPECT_EQ(RunCommand("zc-no-such-tool").status, 127);
}

TEST(ExternalTool, KillsTheWholeCommandAtTheTimeLimit) {
  const auto start = std::chrono::steady_clock::now();
  // The background child keeps the pipe open; the group kill must end it too.
  const CommandResult r = RunCommand("sleep 30 & sleep 30", std::chrono::milliseconds(200));
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(r.status, -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace zc::testkit
