// The trace sinks: the file switch, line cutting and CR LF, "EXIT", the fallback path, the local log and
// whole lines from two threads.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "api_fixture.h"
#include "platform/debug_output.h"
#include "zarn/params.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

class TraceTest : public testing::ApiTest {
 protected:
  std::string ApiLog() const { return dir_.Exists("zarnapi.log") ? dir_.Read("zarnapi.log") : ""; }
};

TEST_F(TraceTest, SwitchedOffLinesReachOnlyTheDebugger) {
  plat::DebugOutputCapture capture;
  funcWriteApiLog("hello");
  EXPECT_EQ(capture.Text(), "hello");
  EXPECT_FALSE(dir_.Exists("zarnapi.log"));
}

TEST_F(TraceTest, LongLinesAreCutTo510CharactersAndEndInCrLf) {
  SetApiLogToFile(1);
  funcWriteApiLog(std::string(600, 'x').c_str());
  funcWriteApiLog("next");
  EXPECT_EQ(ApiLog(), std::string(510, 'x') + "\r\nnext\r\n");
}

TEST_F(TraceTest, ExitClosesAndTheNextLineAppends) {
  SetApiLogToFile(1);
  funcWriteApiLog("one");
  funcWriteApiLog("EXIT");
  dir_.Write("zarnapi.log", ApiLog() + "outside\r\n");  // replaced while closed: the reopen must append
  funcWriteApiLog("two");
  EXPECT_EQ(ApiLog(), "one\r\nEXIT\r\noutside\r\ntwo\r\n");
}

TEST_F(TraceTest, WithoutATemporaryFolderTheLogGoesToTheDriveRoot) {
  plat::SetFolderUnavailable(plat::Folder::kTemp, true);
  SetApiLogToFile(1);
  funcWriteApiLog("line");
  EXPECT_EQ(dir_.Read("zarnapi.log"), "line\r\n");  // the drive root is the scratch folder
}

TEST_F(TraceTest, LogMessageStampsAndBoundsTheText) {
  SetApiLogToFile(1);
  funcLogMessage("short");
  funcLogMessage(std::string(1000, 'y').c_str());
  const std::string log = ApiLog();
  const size_t firstEnd = log.find("\r\n");
  ASSERT_NE(firstEnd, std::string::npos);
  EXPECT_EQ(log.substr(8, firstEnd - 8), " -- short");
  const std::string second = log.substr(firstEnd + 2);
  EXPECT_EQ(second.size(), 399u + 2u);  // the 400-byte line buffer, then CR LF
  EXPECT_EQ(second.substr(second.size() - 3), "y\r\n");
}

TEST_F(TraceTest, TraceAtComparesTheLevel) {
  SetApiLogToFile(1);
  SetApiTraceLevel(1);
  TraceAt(2, "hidden %d", 1);
  TraceAt(1, "shown %d", 2);
  const std::string log = ApiLog();
  EXPECT_EQ(log.find("hidden"), std::string::npos);
  EXPECT_NE(log.find(" -- shown 2\r\n"), std::string::npos);
}

TEST_F(TraceTest, FileSwitchParameterTurnsFileLoggingOnAndOff) {
  Start(200);
  EXPECT_EQ(ZARNSetParam(166, 1), 0);
  funcWriteApiLog("while on");
  EXPECT_EQ(ZARNGetParam(166), 0);  // the table keeps its 0
  EXPECT_EQ(ZARNSetParam(166, 0), 0);
  funcWriteApiLog("while off");
  const std::string log = ApiLog();
  EXPECT_EQ(log.rfind("while on\r\n", 0), 0u);
  EXPECT_NE(log.find(" -- ZARNSetParam(166,0)\r\n"), std::string::npos);
  EXPECT_EQ(log.find("while off"), std::string::npos);
  EXPECT_EQ(ApiLogToFile(), 0);
}

TEST_F(TraceTest, LocalLogOpensAndClosesPerLine) {
  funcWriteLocalApiLog("first");
  funcWriteLocalApiLog(std::string(700, 'z').c_str());
  const std::string log = dir_.Read("zarnapi.log");
  EXPECT_EQ(log.substr(8, 8), " first\r\n");
  const std::string second = log.substr(16);
  EXPECT_EQ(second.size(), 511u + 1u);  // 511 characters with the line end, which becomes CR LF
  EXPECT_EQ(second.substr(second.size() - 2), "\r\n");
}

TEST_F(TraceTest, TwoThreadsWriteWholeLines) {
  SetApiLogToFile(1);
  constexpr int kLines = 2000;
  auto writer = [](char c) {
    const std::string line(100, c);
    for (int i = 0; i < kLines; ++i) funcWriteApiLog(line.c_str());
  };
  std::thread a(writer, 'a');
  std::thread b(writer, 'b');
  a.join();
  b.join();
  const std::string log = ApiLog();
  ASSERT_EQ(log.size(), 2u * kLines * 102u);
  for (size_t at = 0; at < log.size(); at += 102) {
    const char c = log[at];
    ASSERT_EQ(log.substr(at, 102), std::string(100, c) + "\r\n") << "torn line at " << at;
  }
}

TEST_F(TraceTest, KrDebugStatusStaysInsideTheCallersBuffer) {
  char buf[24] = "abc";
  EXPECT_EQ(funcWriteKRDebugStatus(buf, sizeof buf, 3, 7), 1);
  EXPECT_EQ(std::string(buf), std::string("abcB iStatus = 7  dwTim").substr(0, sizeof buf - 1));
  EXPECT_EQ(dir_.Read("krodebug.dat"), std::string(buf));
}

TEST_F(TraceTest, ScannerTypeCodeIsMinusOneUntilIdentified) {
  EXPECT_EQ(funcGetScannerTypeCode(), -1);
}

}  // namespace
}  // namespace zarn
