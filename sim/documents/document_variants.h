// Variants of a document for the verified scan's cases: a document fed upside down, and a document whose
// paper and ink tones make the black-and-white renderings grade differently from one contrast to the next.
#pragma once

#include <cstdint>

#include "sim/documents/document.h"

namespace sim::documents {

// The document as it arrives when it was put in the hopper the wrong way round: the front turned by 180
// degrees and the rear likewise, and no code line under the magnetic head. The faces are kept whole, so
// the feeder does not make them again from the seed.
Document UpsideDown(Document document);

// The front repainted in gray between `ink` (what was black) and `paper` (what was white); a low contrast
// between them leaves the ink faint at low edge contrasts.
Document WithTones(Document document, uint8_t paper, uint8_t ink);

}  // namespace sim::documents
