// Document: one synthetic cheque of the simulated scanner's feeder: its two faces, the code line
// printed on it (text and magnetic font), the magnetic head signal the scanner reads from that line at
// a series' sample rate, and the faults the document provokes when it is fed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/documents/cheque_faces.h"
#include "sim/documents/side_image.h"
#include "testkit/cheque/defect_image.h"
#include "testkit/micr/sample_format.h"

namespace sim::documents {

// What goes wrong when this document is fed. A fault is reported on the document that caused it.
struct DocumentFaults {
  bool jam = false;                // stops in the transport (exit/jam sensor, jam error)
  bool doubleFeed = false;         // two sheets together (double-feed sensors and error)
  bool unplugMidDocument = false;  // the scanner disappears from the bus while this document is inside
  bool frontTransferFails = false;  // the driver fails the host's fetch of the front image
};

// How the printed and the magnetic form of a document's code line differ. By default both carry the code
// line exactly; the magnetic ink may be weak or missing on chosen characters and noisier, and the print
// may show other characters, voided or smudged ones and stray dots.
struct LineForms {
  std::vector<double> magneticInk;  // one per code-line character, 1 full ink, 0 none; empty: all full
  double magneticNoise = 0.01;      // head noise, fraction of the half range
  std::string printed;              // the visible characters; empty: the code line
  std::vector<PrintMark> printMarks;
  int printSpeckles = 0;
};

// Families of documents whose two forms differ in one way, for measuring the readers and their merge.
enum class FormsCondition {
  kClean,         // both forms carry the code line
  kWeakMagnetic,  // weak magnetic ink on one or two characters, sometimes one without any, more noise
  kDamagedPrint,  // one or two printed characters voided or smudged, stray dots on the band
  kBoth,          // the two above together, on different characters
  kDisagreeing,   // one printed digit unlike the magnetic one
};

struct ChequeOptions {
  bool colour = false;
  MicrFont font = MicrFont::kE13b;
  double widthInches = 6.0;
  double heightInches = 2.75;
  int dpi = 200;  // the image module's resolution
  // Outline defects of the front (skew, corners, torn edges, a piggyback document): the scanner's dark
  // ground shows where paper is missing. The defects take their sizes from the face.
  std::optional<zc::testkit::DefectSpec> frontDefects;
  LineForms forms;
};

struct Document {
  SideImage front;
  SideImage rear;
  // Left to right, ' ' an empty position: the line the magnetic ink carries, what a perfect magnetic
  // reader returns (the truth of the magnetic form).
  std::string codeLine;
  LineForms forms;
  MicrFont font = MicrFont::kE13b;
  DocumentFaults faults;
  uint32_t seed = 0;
  // Set on a synthetic cheque: MakeCheque(seed, *cheque) makes its faces again, so a feeder need not keep
  // them once the host has fetched them.
  std::optional<ChequeOptions> cheque;

  // The truth of the printed form: what a perfect optical reader returns where no mark hides it.
  std::string PrintedLine() const { return forms.printed.empty() ? codeLine : forms.printed; }

  // Raw 16-bit head samples (decoder preset 3 format) at `rate` samples per second, in the order the
  // scanner delivers them: last printed character first, or first character first when `mirroredSides`
  // (a transport that meets the code line from its other end).
  std::vector<uint16_t> MagneticSamples(int rate, bool mirroredSides = false) const;
  // The same samples as the bytes on the wire: 16-bit little-endian.
  std::vector<uint8_t> MagneticBytes(int rate, bool mirroredSides = false) const;
  // The bytes another series sends: its rate, decoder preset and wire encoding.
  std::vector<uint8_t> MagneticBytes(const micrkit::SeriesFormat& series, bool mirroredSides = false) const;
};

// A code line of the font's layout, chosen by the seed: E13B transit ":nnnnnnnnn:", account "nnnnnnn<"
// and serial number; CMC-7 the same fields with its own control symbols.
std::string MakeCodeLine(uint32_t seed, MicrFont font);

// The forms of `codeLine` under `condition`, chosen by the seed.
LineForms MakeLineForms(uint32_t seed, const std::string& codeLine, FormsCondition condition);

// A complete cheque: both faces and its code line, deterministic from the seed.
Document MakeCheque(uint32_t seed, const ChequeOptions& options = {});

}  // namespace sim::documents
