// The end summary of a run against the simulated scanner.
#include "demo/run_summary.h"

#include <algorithm>
#include <cstdio>

namespace demo {
namespace {

std::string Without(std::string text, char drop) {
  std::erase(text, drop);
  return text;
}

}  // namespace

RunSummary SummariseRun(const std::vector<std::string>& log, const std::vector<std::optional<std::string>>& fed,
                        size_t left, bool played, bool exitOk,
                        const std::function<bool(const std::string&)>& fileExists) {
  RunSummary s;
  s.fed = fed.size();
  s.logged = log.size();
  s.left = left;
  char text[256];
  for (size_t i = 0; i < std::max(log.size(), fed.size()); ++i) {
    const bool logged = i < log.size();
    const size_t arrow = logged ? log[i].find(" => ") : std::string::npos;
    const std::string name = arrow == std::string::npos ? std::string() : log[i].substr(0, arrow);
    const std::string read = arrow == std::string::npos ? std::string() : log[i].substr(arrow + 4);
    if (!name.empty() && fileExists(name)) ++s.files;
    const std::optional<std::string> expected = i < fed.size() ? fed[i] : std::nullopt;
    if (logged && expected && Without(read, ' ') == Without(*expected, ' ')) {
      ++s.matched;
      continue;
    }
    std::snprintf(text, sizeof text, "  document %zu: read \"%s\", fed \"%s\"", i + 1,
                  logged ? read.c_str() : "(nothing logged)",
                  i >= fed.size() ? "(not fed)" : expected ? expected->c_str() : "?");
    s.lines.emplace_back(text);
  }
  std::snprintf(text, sizeof text,
                "lumivex: %zu cheques fed, %zu documents logged, %zu front images written, %zu code lines equal "
                "to the simulator's",
                s.fed, s.logged, s.files, s.matched);
  s.lines.emplace_back(text);
  if (played && left != 0) {
    std::snprintf(text, sizeof text, "lumivex: %zu cheques left in the feeder", left);
    s.lines.emplace_back(text);
  }
  s.ok = exitOk && s.logged == s.fed && s.files == s.fed && s.matched == s.fed && (!played || left == 0);
  s.lines.emplace_back(s.ok ? "lumivex: OK" : "lumivex: MISMATCH");
  return s;
}

}  // namespace demo
