// Scores a reader's code line against the printed one: blanks dropped from both, the two aligned by
// edit distance, each truth character counted as read, rejected ('@'), substituted or deleted, and each
// extra output character as inserted. One scorer for every reader's read-rate figures.
#pragma once

#include <functional>
#include <random>
#include <string>
#include <string_view>

namespace micrkit {

struct LineTally {
  long truth = 0, correct = 0, rejects = 0, substitutions = 0, deletions = 0, insertions = 0;
  long lines = 0, linesRead = 0, linesRejected = 0, linesMisread = 0;

  LineTally& operator+=(const LineTally& o);
};

// The tally of one line.
LineTally ScoreLine(std::string_view truth, std::string_view output);

// The same alignment, pair by pair from the end of the line: (truth, output) for a read, reject or
// substitution, (truth, 0) for a deletion and (0, output) for an insertion.
void AlignLine(std::string_view truth, std::string_view output, const std::function<void(char, char)>& pair);

std::string WithoutBlanks(std::string_view s);

// A random line of 12 to 30 symbols of `alphabet`, with an occasional blank between two of them.
std::string RandomCodeLine(std::mt19937& random, std::string_view alphabet);

}  // namespace micrkit
