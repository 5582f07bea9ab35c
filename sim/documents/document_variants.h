// Variants of a document for the verified scan's cases: a document fed upside down, and one on paper and
// ink of other tones.
#pragma once

#include "sim/documents/document.h"

namespace sim::documents {

// The document as it arrives when it was put in the hopper the wrong way round: the front turned by 180
// degrees and the rear likewise, and no code line under the magnetic head. The faces are kept whole, so
// the feeder does not make them again from the seed.
Document UpsideDown(Document document);

// The front's tones: the lightest paper and the darkest ink of the face, and the paper's grain, a
// fine-grained variation of up to `grain` gray levels either way, deterministic from the document's seed.
struct Tones {
  int paper = 236;
  int ink = 20;
  int grain = 0;
};
// The front in gray with its levels mapped linearly from the face's ink and paper to `tones`, grain added.
// The faces are kept whole.
Document Toned(Document document, const Tones& tones);

}  // namespace sim::documents
