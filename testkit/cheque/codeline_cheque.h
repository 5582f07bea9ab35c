// Cheque fronts with a true code line: the kit's cheque with its code-line band cleared and an E13B or
// CMC-7 line printed in it by the shared code-line renderer, in gray or 1-bit, clean or with seeded
// print and scan defects; and the image records the readers take.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "testkit/cheque/cheque_image.h"

namespace zc::testkit {

enum class LineFont { kE13b, kCmc7 };

// Defects, all drawn from `seed`. Character indexes count from the left of the printed line.
struct LineDefects {
  uint32_t seed = 1;
  int stroke = 0;           // -1 thinner, +1 thicker by one pixel (1-bit)
  double jitter = 0;        // chance that a pixel on a stroke's edge flips (1-bit)
  int voids = 0;            // 2 x 2 white holes in the ink
  int speckles = 0;         // lone dots in the band
  int blur = 0;             // box-blur passes over the gray band
  double rotationDegrees = 0;
  int offsetRows = 0;       // the line printed lower (positive) or higher
  int mergedAt = -1;        // character joined to its right neighbour by an ink bar
  int missingAt = -1;       // character not printed
  int brokenAt = -1;        // character cut across by a white gap
  bool dollarAndSignature = false;  // a '$' and a signature stroke just above the line
  // Gray only.
  int noiseSigma = 0;
  int inkLevel = -1;        // -1: the font's usual ink (E13B 20, CMC-7 40)
  int backgroundLevel = 0;  // a light security pattern in the band at about this level; 0 none
};

GrayImage MakeCodeLineGray(const ChequeSpec& spec, std::string_view line, LineFont font,
                           const LineDefects& defects = {});
// The gray front thresholded at 128, then the 1-bit defects applied in the band.
BilevelImage MakeCodeLineBilevel(const ChequeSpec& spec, std::string_view line, const LineDefects& defects = {});

// Image records: 8-byte header (width, height, bits, dpi as little-endian int16), rows without padding.
std::vector<uint8_t> BilevelRecord(const BilevelImage& image, int dpi);
std::vector<uint8_t> GrayRecord(const GrayImage& image, int dpi);

// The image turned through 180 degrees.
BilevelImage Rotate180(const BilevelImage& image);

}  // namespace zc::testkit
