// The two faces of a synthetic cheque as the simulated scanner feeds it: a front with the drawer's
// text, payee and words lines, an amount box and a magnetic code line printed in the clear band along
// the bottom edge, and a rear with an endorsement stamp and a signature. Every face is deterministic
// from its seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/documents/side_image.h"

namespace sim::documents {

enum class MicrFont { kE13b, kCmc7 };

struct FaceSpec {
  int dpi = 200;
  double widthInches = 6.0;
  double heightInches = 2.75;
  bool colour = false;  // a tinted security background and blue endorsement ink
  uint32_t seed = 1;
};

// The front with `codeLine` (left to right, ' ' an empty position) printed in `font`, its rightmost
// character 5/16 inch from the right edge at a pitch of 1/8 inch.
// What happened to a printed code-line character that its magnetic form does not show.
enum class PrintMark : uint8_t {
  kClean,
  kVoid,    // not printed at all (a blank where the character stands)
  kSmudge,  // a blot of ink over the character
};

// The code line as printed on the front: its visible characters (which may differ from the magnetic
// ones), the marks on them, and lone dots scattered over the code-line band.
struct PrintedLine {
  std::string text;
  std::vector<PrintMark> marks;  // one per character of `text`; missing entries are clean
  int speckles = 0;
  uint32_t seed = 1;
};

SideImage MakeFront(const FaceSpec& spec, const std::string& codeLine, MicrFont font);
SideImage MakeFront(const FaceSpec& spec, const PrintedLine& line, MicrFont font);
SideImage MakeRear(const FaceSpec& spec);

}  // namespace sim::documents
