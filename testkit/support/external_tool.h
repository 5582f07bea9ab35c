// Outside programs used as independent oracles (image converters, python3): finding them on PATH and
// running a shell command with a time limit while capturing what it prints.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace zc::testkit {

// True when an executable file of that name is in a folder of PATH.
bool HaveTool(std::string_view name);

// True when /usr/bin/python3 can import `module` (e.g. "PIL").
bool HavePythonModule(std::string_view module);

struct CommandResult {
  int status = -1;        // exit status; -1 when it could not start, was killed or timed out
  bool timedOut = false;  // killed at the time limit
  std::string output;     // standard output and standard error, interleaved
  bool ok() const { return status == 0; }
};

// Runs `command` through /bin/sh with standard input from /dev/null. At the time limit the whole
// process group is killed.
CommandResult RunCommand(const std::string& command,
                         std::chrono::milliseconds limit = std::chrono::seconds(120));

}  // namespace zc::testkit
