// The input hopper of the simulated scanner.
#include "sim/documents/document_stack.h"

#include <utility>

namespace sim::documents {

void DocumentStack::AddCheques(int count) {
  for (int i = 0; i < count; ++i) {
    // Distinct, reproducible seeds: the stack seed spreads the serial numbers apart.
    const uint32_t seed = seed_ * 7919u + ++made_;
    documents_.push_back(MakeCheque(seed, options_));
  }
}

void DocumentStack::Push(Document document) {
  documents_.push_back(std::move(document));
}

std::optional<Document> DocumentStack::Pop() {
  if (documents_.empty()) return std::nullopt;
  Document d = std::move(documents_.front());
  documents_.pop_front();
  return d;
}

}  // namespace sim::documents
