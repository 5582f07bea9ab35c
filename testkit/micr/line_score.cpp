// Edit-distance alignment of a read line with its truth.
#include "testkit/micr/line_score.h"

#include <algorithm>
#include <vector>

namespace micrkit {

LineTally& LineTally::operator+=(const LineTally& o) {
  truth += o.truth, correct += o.correct, rejects += o.rejects, substitutions += o.substitutions;
  deletions += o.deletions, insertions += o.insertions;
  lines += o.lines, linesRead += o.linesRead, linesRejected += o.linesRejected, linesMisread += o.linesMisread;
  return *this;
}

std::string WithoutBlanks(std::string_view s) {
  std::string out;
  for (const char c : s) {
    if (c != ' ') out += c;
  }
  return out;
}

std::string RandomCodeLine(std::mt19937& random, std::string_view alphabet) {
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> length(12, 30);
  std::uniform_int_distribution<int> gap(0, 9);
  std::string line;
  const int n = length(random);
  for (int i = 0; i < n; ++i) {
    line += alphabet[pick(random)];
    if (i > 0 && i + 1 < n && gap(random) == 0) line += ' ';
  }
  return line;
}

void AlignLine(std::string_view truthLine, std::string_view outputLine,
               const std::function<void(char, char)>& pair) {
  const std::string t = WithoutBlanks(truthLine);
  const std::string o = WithoutBlanks(outputLine);
  const std::size_t n = t.size(), m = o.size();
  std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
  for (std::size_t i = 0; i <= n; ++i) d[i][0] = static_cast<int>(i);
  for (std::size_t j = 0; j <= m; ++j) d[0][j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= n; ++i) {
    for (std::size_t j = 1; j <= m; ++j) {
      d[i][j] =
          std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (t[i - 1] == o[j - 1] ? 0 : 1)});
    }
  }
  for (std::size_t i = n, j = m; i > 0 || j > 0;) {
    if (i > 0 && j > 0 && d[i][j] == d[i - 1][j - 1] + (t[i - 1] == o[j - 1] ? 0 : 1)) {
      pair(t[i - 1], o[j - 1]);
      --i;
      --j;
    } else if (i > 0 && d[i][j] == d[i - 1][j] + 1) {
      pair(t[i - 1], 0);
      --i;
    } else {
      pair(0, o[j - 1]);
      --j;
    }
  }
}

LineTally ScoreLine(std::string_view truthLine, std::string_view outputLine) {
  LineTally tally;
  AlignLine(truthLine, outputLine, [&tally](char t, char o) {
    if (t == 0) {
      ++tally.insertions;
      return;
    }
    ++tally.truth;
    if (o == 0) {
      ++tally.deletions;
    } else if (o == t) {
      ++tally.correct;
    } else if (o == '@') {
      ++tally.rejects;
    } else {
      ++tally.substitutions;
    }
  });
  tally.lines = 1;
  if (tally.substitutions + tally.deletions + tally.insertions > 0) {
    tally.linesMisread = 1;
  } else if (tally.rejects > 0) {
    tally.linesRejected = 1;
  } else {
    tally.linesRead = 1;
  }
  return tally;
}

}  // namespace micrkit
