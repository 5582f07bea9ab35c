// The end summary of a run against the simulated scanner: the code-line log written during the run set
// against the documents the scanner fed. Only fed documents are judged; a run that played the user must
// also have fed the whole stack.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace demo {

struct RunSummary {
  size_t fed = 0;      // documents the scanner fed
  size_t logged = 0;   // lines of the code-line log
  size_t files = 0;    // logged front images that exist
  size_t matched = 0;  // logged code lines equal to the fed document's (blanks aside)
  size_t left = 0;     // documents still in the feeder
  bool ok = false;
  std::vector<std::string> lines;  // the summary's text, one line each, the verdict last
};

// `log` holds the log's lines ("<front file> => <code line>"), `fed` the code line of each fed document in
// feed order (nullopt when no longer known). `played` says the program played the user, so the feeder
// must be empty; `exitOk` that the program itself ended well.
RunSummary SummariseRun(const std::vector<std::string>& log, const std::vector<std::optional<std::string>>& fed,
                        size_t left, bool played, bool exitOk,
                        const std::function<bool(const std::string&)>& fileExists);

}  // namespace demo
