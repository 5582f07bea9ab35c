// The input hopper of the simulated scanner.
#include "sim/documents/document_stack.h"

#include <utility>

namespace sim::documents {

void DocumentStack::AddCheques(int count) {
  for (int i = 0; i < count; ++i) AddCheque();
}

void DocumentStack::AddCheque(const DocumentFaults& faults) {
  // Distinct, reproducible seeds: the stack seed spreads the serial numbers apart.
  Waiting waiting;
  waiting.seed = seed_ * 7919u + ++made_;
  waiting.faults = faults;
  documents_.push_back(std::move(waiting));
}

void DocumentStack::Push(Document document) {
  Waiting waiting;
  waiting.document = std::move(document);
  documents_.push_back(std::move(waiting));
}

void DocumentStack::Make(Waiting& waiting) const {
  if (waiting.document) return;
  waiting.document = MakeCheque(waiting.seed, options_);
  waiting.document->faults = waiting.faults;
}

const Document* DocumentStack::Peek() const {
  if (documents_.empty()) return nullptr;
  Make(documents_.front());
  return &*documents_.front().document;
}

std::optional<Document> DocumentStack::Pop() {
  if (documents_.empty()) return std::nullopt;
  Make(documents_.front());
  Document d = std::move(*documents_.front().document);
  documents_.pop_front();
  return d;
}

}  // namespace sim::documents
