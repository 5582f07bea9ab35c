// Image-quality defects on a white document lying on the scanner's dark ground: a skewed bottom edge,
// folded and torn corners, a second document sticking out at the top, sizes, speckles, streak rows, too
// light or dark fills, blots, bands, long vertical lines, the field lines of a personal cheque with or
// without writing and an amount sign, endorsement marks on a rear, and gray pairs of low or high contrast.
// Each image carries the slot values the injected geometry gives under the quality tests' own formulas.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "testkit/cheque/cheque_image.h"

namespace zc::testkit {

enum class Corner { kTopLeft, kTopRight, kBottomLeft, kBottomRight };

struct DefectRect {
  int x = 0, y = 0, width = 0, height = 0;
};

struct DefectSpec {
  int dpi = 200;
  int width = 1200;  // 6 x 2.75 in at 200 dpi
  int height = 550;
  uint32_t seed = 1;
  double skewDegrees = 0;  // the bottom edge falls by tan(angle) per column: ground below it
  int cornerLeg = 0;       // ground triangle of this leg at `corner`
  Corner corner = Corner::kTopLeft;
  bool tornCorner = false;  // ragged rather than a straight fold line
  int tornEdgeDepth = 0;    // ragged ground notches along the top edge, at most this deep
  int piggybackRows = 0;    // a second document over columns [piggybackLeft, piggybackRight) above this row
  int piggybackLeft = 0;
  int piggybackRight = 0;
  int speckleSize = 0;   // s x s dots
  int speckleEvery = 0;  // grid spacing of the dots
  std::vector<int> streakRows;
  int inkPercent = 0;  // a fill of this share of black (in quarters) over the middle of the document
  std::vector<DefectRect> blots;
  std::vector<DefectRect> bands;
  std::vector<int> verticalLines;  // 2-px lines from row 20 to height - 20
  bool fieldLines = false;
  bool fieldsWritten = false;
  bool rear = false;
  int endorsementMarks = 0;  // 21-px marks on a rear
};

struct DefectImage {
  BilevelImage bits;         // 1 = black (ground and ink)
  GrayImage gray;            // paper 230, ground and ink 20
  std::map<int, int> slots;  // expected result slots
  uint32_t flags = 0;        // expected failure flags under the verdict mask
};

// Speckle limit, corner limit and minimum MICR quality the expectations assume.
inline constexpr int kVerdictSpeckleLimit = 100;
inline constexpr int kVerdictCornerLimit = 75;
inline constexpr int kVerdictSpeckleSize = 4;

DefectImage makeDefectImage(const DefectSpec& spec);

// The outline defects alone, for faces drawn elsewhere: whether the scanner's ground shows at (x, y) of a
// spec.width x spec.height face, and how far a skewed face's content has moved down at column x.
bool defectGround(const DefectSpec& spec, int x, int y);
int defectSkewShift(const DefectSpec& spec, int x);

// A gray document of two levels (`paper`, `ink`: text strokes over a fifth of it), optionally box-blurred
// 3 x 3; the contrast the gray measure gives for it unblurred is paper - ink - 2.
GrayImage makeContrastPair(int width, int height, int paper, int ink, bool blur);

// A bottom-up 8-bit packed DIB (40-byte header, gray palette) of a gray image.
std::vector<uint8_t> grayToPackedDib(const GrayImage& gray);

}  // namespace zc::testkit
