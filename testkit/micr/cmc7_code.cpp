// The fifteen CMC-7 symbols.
#include "testkit/micr/cmc7_code.h"

namespace micrkit {

namespace {
constexpr bool L = true;
constexpr bool S = false;
constexpr Cmc7Symbol kSymbols[] = {
    {'0', {S, S, L, L, S, S}}, {'1', {L, S, S, S, L, S}}, {'2', {S, L, L, S, S, S}},
    {'3', {L, S, L, S, S, S}}, {'4', {L, S, S, L, S, S}}, {'5', {S, S, S, L, L, S}},
    {'6', {S, S, L, S, L, S}}, {'7', {L, L, S, S, S, S}}, {'8', {S, L, S, S, L, S}},
    {'9', {S, L, S, L, S, S}}, {':', {L, S, S, S, S, L}}, {';', {S, L, S, S, S, L}},
    {'<', {S, S, L, S, S, L}}, {'=', {S, S, S, L, S, L}}, {'>', {S, S, S, S, L, L}},
};
}  // namespace

std::span<const Cmc7Symbol> Cmc7Symbols() {
  return kSymbols;
}

const Cmc7Symbol* FindCmc7Symbol(char symbol) {
  for (const Cmc7Symbol& s : kSymbols) {
    if (s.symbol == symbol) return &s;
  }
  return nullptr;
}

}  // namespace micrkit
