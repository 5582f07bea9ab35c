// CMC-7 two-out-of-six code: each character is seven vertical bars whose six
// gaps are short or long, exactly two of them long.
#pragma once

#include <array>
#include <span>

namespace micrkit {

struct Cmc7Symbol {
  char symbol;                  // '0'..'9' and the control symbols ':' ';' '<' '=' '>'
  std::array<bool, 6> longGap;  // gaps left to right as printed
};

std::span<const Cmc7Symbol> Cmc7Symbols();
const Cmc7Symbol* FindCmc7Symbol(char symbol);

}  // namespace micrkit
