// Variants of a document for the verified scan's cases: a document fed upside down.
#pragma once

#include "sim/documents/document.h"

namespace sim::documents {

// The document as it arrives when it was put in the hopper the wrong way round: the front turned by 180
// degrees and the rear likewise, and no code line under the magnetic head. The faces are kept whole, so
// the feeder does not make them again from the seed.
Document UpsideDown(Document document);

}  // namespace sim::documents
