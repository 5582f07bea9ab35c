// The two character classifiers of the magnetic template decoder. The peak classifier matches a framed
// character's peaks and the signal's shape around them against the peak templates of all seventeen
// classes and gives the best symbol with a confidence 0..9. The signal classifier scores 0..100 how well
// the waveform follows the waveform template of the symbol in the record, with penalties for E13B's
// typical confusions.
#pragma once

#include "analysis/micr/char_record.h"

namespace analysis::micr {

class MicrLogs;

// Sets the record's cChar and iConf; returns iConf.
int funcMICRConfidence(MicrCharRecord& record, const SignalView& samples, int baseline,
                       const MicrLogs* logs = nullptr);

// Score of the record's cChar; 0 when it has no template or the width is 17 or more off. The record is
// left as it was given.
int IsItAMICR(MicrCharRecord& record, const SignalView& samples, int baseline, const MicrLogs* logs = nullptr);

// The peak classifier's values for one class, exposed for checking the arithmetic.
struct PeakScore {
  int a = 0, divisor = 0, val0 = 0;  // peak term, its divisor and 100 * a / divisor
  int b = 0, b2 = 0, val2 = 0;       // shape term, its total and 100 * b / b2
};
PeakScore ScorePeakClass(const MicrCharRecord& record, const SignalView& samples, int baseline, int cls);

}  // namespace analysis::micr
