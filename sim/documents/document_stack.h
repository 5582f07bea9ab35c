// DocumentStack: the simulated scanner's input hopper. Documents are pushed in and the feeder pops them
// in the order they were pushed; an empty stack means no document at the feed sensor. Synthetic cheques
// added by AddCheque(s) are deterministic from the stack's seed and their serial number, so a test run
// feeds the same documents every time. They are made only when they reach the feed sensor, so a large
// stack costs a few bytes a document until it is fed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "sim/documents/document.h"

namespace sim::documents {

class DocumentStack {
 public:
  explicit DocumentStack(uint32_t seed = 1, ChequeOptions options = {}) : seed_(seed), options_(options) {}

  // Adds `count` synthetic cheques behind the documents already in the hopper.
  void AddCheques(int count);
  // Adds one synthetic cheque that provokes `faults` when it is fed.
  void AddCheque(const DocumentFaults& faults = {});
  void Push(Document document);
  // The next document the feeder takes, removed from the hopper; nullopt when the hopper is empty.
  std::optional<Document> Pop();
  // The next document without taking it (null when empty); valid until the next change.
  const Document* Peek() const;

  bool Empty() const { return documents_.empty(); }
  size_t Size() const { return documents_.size(); }

 private:
  // A document waiting in the hopper: a whole one, or the recipe of a synthetic cheque.
  struct Waiting {
    std::optional<Document> document;
    uint32_t seed = 0;
    DocumentFaults faults;
  };
  void Make(Waiting& waiting) const;

  uint32_t seed_;
  ChequeOptions options_;
  uint32_t made_ = 0;
  mutable std::deque<Waiting> documents_;
};

}  // namespace sim::documents
