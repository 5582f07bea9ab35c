// Head signal of a printed magnetic code line, in reading time: samples at the
// nominal 50000 per second, from the right end of the line (where the head
// meets it first) to the left. Each ink edge gives a Gaussian lobe, positive
// where ink begins and negative where it ends (the derivative of the column
// ink, smoothed by the head's response).
#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace micrkit {

struct Lobe {
  double time;    // reading time of the edge, in nominal samples
  double height;  // ink step, 1.0 for a full-height stroke edge
  int character;  // index of the printed character it belongs to (left to right)
  // The lobe's own Gaussian widths before and after its peak, nominal samples; 0 takes the trace's
  // head response.
  double rise = 0;
  double fall = 0;
};

class MagneticTrace {
 public:
  MagneticTrace(std::vector<Lobe> lobes, double sigma, double duration);

  double At(double time) const;
  double duration() const { return duration_; }
  double sigma() const { return sigma_; }
  double peak() const { return peak_; }  // largest |At| over the trace
  std::span<const Lobe> lobes() const { return lobes_; }

  // Scales every lobe of one printed character (0 removes it); for damaged-print tests.
  void ScaleCharacter(int character, double factor);
  // Scales one lobe of a character (its n-th in reading order).
  void ScaleLobe(int character, int n, double factor);

 private:
  void Prepare();

  double SigmaBefore(const Lobe& l) const { return l.rise > 0 ? l.rise : sigma_; }
  double SigmaAfter(const Lobe& l) const { return l.fall > 0 ? l.fall : sigma_; }

  std::vector<Lobe> lobes_;
  double sigma_;
  double widest_ = 0;  // the largest sigma of any lobe
  double duration_;
  double peak_ = 0;
};

struct E13bLayout {
  double unitSamples = 16;  // nominal samples per grid unit: the reader's pitch (14..17)
  double headSigma = 4;     // head response, nominal samples
  double leadIn = 1200;     // quiet before the rightmost character
  double leadOut = 400;
};

// The document passes the head at a fixed speed, so a device's density in samples per inch is its
// sample rate divided by this many inches per second.
inline constexpr double kDocumentInchesPerSecond = 39.5;

// The layout a device taking `samplesPerInch` at `deviceRate` samples per second sees.
E13bLayout E13bLayoutAt(double samplesPerInch, double deviceRate);
// The same at the device's own density (deviceRate / kDocumentInchesPerSecond).
E13bLayout E13bLayoutAt(double deviceRate);

// `printed`: E13B symbols left to right, ' ' for an empty position. Characters sit right-aligned in
// cells of 1/8 inch. `characterGain` (optional, one per printed character) scales their ink.
MagneticTrace E13bTrace(std::string_view printed, const E13bLayout& layout,
                        std::span<const double> characterGain = {});

struct Cmc7Layout {
  double shortGap = 10;  // bar to bar, nominal samples
  double longGap = 16;
  double barWidth = 4;
  double headSigma = 2.5;
  double leadIn = 400;
  double leadOut = 400;
  // Character pitch; 0 means six short gaps plus three long ones.
  double pitch = 0;
};

// `printed`: CMC-7 symbols left to right, ' ' for an empty position.
MagneticTrace Cmc7Trace(std::string_view printed, const Cmc7Layout& layout,
                        std::span<const double> characterGain = {});

}  // namespace micrkit
