// The rules that turn the two tries' readings of each character into the decoder's line: the choice
// among the signal classifier's scores, the merge of both tries and the transit repair.
#pragma once

#include <array>
#include <span>

namespace analysis::micr {

inline constexpr char kE13bSymbols[] = "0123456789:;<=";

struct SignalChoice {
  char symbol;  // '@' when nothing scored 50
  int score;    // 0..100, halved when the runner-up came within 16
  char Digit() const { return static_cast<char>('0' + (score < 100 ? score / 10 : 9)); }
};
// `scores` in the order of kE13bSymbols; an earlier symbol keeps a tie.
SignalChoice ChooseSignal(std::span<const int, 14> scores);

// The merged character for one position of the line.
char MergeCharacter(char peaksChar, char peaksDigit, char signalChar, char signalDigit);

// A line whose eleventh character is the transit symbol starts with one: its first character is
// replaced when it is '4' or when neither try was sure of it (both digits below '8').
void RepairTransit(std::span<char> line, int length, char peaksDigit, char signalDigit);

// The peak classifier's confidence from the best class's peak value and that class's shape value.
int PeakConfidence(int bestVal0, int shapeOfBest);

}  // namespace analysis::micr
