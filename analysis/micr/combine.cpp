// Combination of a magnetic code line with an optical reading of the same line, and the verification
// status and counters it leaves.
#include "analysis/micr/combine.h"

#include <cassert>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "analysis/micr/combine_log.h"
#include "analysis/micr/line_text.h"
#include "analysis/micr/verify_state.h"
#include "analysis/services.h"

namespace analysis::micr {
namespace {

constexpr int32_t kParamVerifyLog = 117;
constexpr int32_t kParamHongKongRules = 142;
constexpr int32_t kParamLowConfidence = 157;
constexpr int32_t kParamMicrMethod = 159;

int CountRejects(std::string_view s) {
  int n = 0;
  for (char c : s) n += c == '@';
  return n;
}

// The two lines agree when blanks are ignored; a leading 'E' of the magnetic line is not compared.
bool SameIgnoringBlanks(std::string_view mag, std::string_view opt) {
  size_t m = !mag.empty() && mag[0] == 'E' ? 1 : 0;
  size_t o = 0;
  while (m < mag.size() || o < opt.size()) {
    if (m < mag.size() && mag[m] == ' ') {
      ++m;
    } else if (o < opt.size() && opt[o] == ' ') {
      ++o;
    } else if (m < mag.size() && o < opt.size() && mag[m] == opt[o]) {
      ++m;
      ++o;
    } else {
      return false;
    }
  }
  return true;
}

class Combiner {
 public:
  Combiner(std::string_view mag, std::string_view opt, std::string_view conf, size_t resultCapacity, bool hk,
           bool lowConfidence)
      : mag_(mag), opt_(opt), conf_(conf), r_(resultCapacity), hk_(hk), lowConfidence_(lowConfidence) {}

  // Runs the merge from the start; false when the lines could not be aligned at the start.
  bool Run(int rejects) {
    rejects_ = rejects;
    const int64_t lm = static_cast<int64_t>(mag_.size());
    if (M(0) == 'E') {
      r_.push('E');
      m_ = 1;
    }
    if (M(m_) == '@' && M(m_ + 1) == ' ' && (M(m_ + 2) == ' ' || M(m_ + 2) == ':')) {
      m_ += 2;
      Gap();
      --rejects_;
    }
    while (M(m_) == ' ') ++m_;
    while (O(o_) == ' ') ++o_;
    TakeMissedTransit(mag_, m_, opt_, o_, r_);
    const Alignment start = BestShift(mag_, m_, opt_, o_);
    if (start.count < 5) return false;
    if (start.shift != 0 && o_ + start.shift >= 0) o_ += start.shift;

    while (m_ < lm) Step();
    End();
    return true;
  }

  const std::string& result() const { return r_.str(); }
  size_t dropped() const { return r_.dropped(); }
  int rejects() const { return rejects_; }

 private:
  Ch M(int64_t i) const { return At(mag_, i); }
  Ch O(int64_t i) const { return At(opt_, i); }
  Ch C(int64_t i) const { return At(conf_, i); }
  void Gap() {
    MICRVerifyFlags |= kVerifyGapFilled;
    ++MICRVerifyCounters.GapRepairs;
  }
  void TakeOpticalAdvance() {
    r_.push(O(o_));
    ++m_;
    ++o_;
  }
  // The character after a magnetic position agrees with the one after the optical position, allowing
  // for a reject or one blank on the magnetic side.
  bool NeighbourAgrees() const {
    return O(o_ + 1) == M(m_ + 1) || M(m_ + 1) == '@' || (M(m_ + 1) == ' ' && M(m_ + 2) == O(o_ + 1));
  }

  void Step() {
    const Ch m = M(m_);
    const Ch o = O(o_);
    const int64_t lo = static_cast<int64_t>(opt_.size());
    if (o_ < lo && m == o) {
      TakeOpticalAdvance();
    } else if (o_ >= lo) {
      OpticalUsedUp();
    } else if (o == ' ' && m != ' ') {
      ++o_;
    } else if (m == ' ') {
      if (m_ >= 1 && o_ >= 1 && !O(o_ - 1).blankOrReject() && !O(o_ + 1).blankOrReject() &&
          O(o_ - 1) == M(m_ - 1) && O(o_ + 1) == M(m_ + 1) && O(o_ + 2) == M(m_ + 2) && AtLeast(C(o_), '3')) {
        TakeOpticalAdvance();
        Gap();
      } else {
        r_.push(' ');
        ++m_;
      }
    } else if (m == '@') {
      FillReject();
    } else if (o == '@') {
      r_.push(m);
      ++m_;
      ++o_;
    } else {
      Differ();
    }
  }

  void FillReject() {
    const Ch conf = C(o_);
    const bool neighbour = NeighbourAgrees();
    if ((AtLeast(conf, '2') && neighbour) || (hk_ && AtLeast(conf, '2')) || (hk_ && AtLeast(conf, '1') && neighbour)) {
      TakeOpticalAdvance();
      Gap();
      --rejects_;
      return;
    }
    r_.push('@');
    MICRVerifyFlags |= kVerifyNotVerified;
    ++m_;
    if (O(o_ + 1) == M(m_)) ++o_;
  }

  void Correct() {
    TakeOpticalAdvance();
    MICRVerifyFlags |= kVerifyCorrected;
    ++MICRVerifyCounters.SubstitutionRepairs;
  }

  void Differ() {
    const Ch conf = C(o_);
    const char m = M(m_).c();
    const char o = O(o_).c();
    const bool sure = AtLeast(conf, '3');
    const bool nextTwoAgree = M(m_ + 1) == O(o_ + 1) && M(m_ + 2) == O(o_ + 2);
    if (sure && ((m == '2' && o == '5') || (m == '5' && o == '2')) &&
        (NeighbourAgrees() || (O(o_ + 1) == ' ' && O(o_ + 2) == M(m_ + 1)))) {
      Correct();
      return;
    }
    if (sure && nextTwoAgree &&
        ((m == ':' && o == '4') || (m == '4' && o == ':') || (m == '0' && o == '6') || (m == '0' && o == '9') ||
         (m == '6' && o == '5'))) {
      Correct();
      return;
    }
    if (hk_ && sure && o_ > 0 &&
        (nextTwoAgree || (M(m_ - 1) == O(o_ - 1) && (M(m_ + 1) == O(o_ + 1) || M(m_ + 2) == O(o_ + 2))))) {
      Correct();
      return;
    }
    if (sure && O(o_ + 1) == M(m_ + 1) && O(o_ + 2) == M(m_ + 2) && !(m_ > 0 && O(o_) == M(m_ - 1))) {
      MICRVerifyFlags |= kVerifySingleDifference;
      if (lowConfidence_) {
        r_.push('@');
        ++o_;
      } else {
        r_.push(m);
      }
      ++m_;
      return;
    }
    if (sure && O(o_) == M(m_ + 1) && O(o_ + 1) == M(m_ + 2) && O(o_ + 2) == M(m_ + 3)) {
      r_.push(m);
      ++m_;
      return;
    }
    if (sure) {
      const Alignment a = BestShift(mag_, m_, opt_, o_);
      if (a.shift != 0 && o_ + a.shift >= 0) o_ += a.shift;
      r_.push(m);
      ++m_;
      ++o_;
      return;
    }
    r_.push(m);
    ++m_;
    const bool alignedAfter = O(o_) == M(m_) && O(o_ + 1) == M(m_ + 1) && O(o_ + 2) == M(m_ + 2);
    if (!alignedAfter || (hk_ && O(o_ + 1) == M(m_) && O(o_ + 2) == M(m_ + 1))) ++o_;
  }

  void OpticalUsedUp() {
    const int64_t lm = static_cast<int64_t>(mag_.size());
    if (m_ == lm - 1 && M(m_) == '@' && rejects_ == 1) {
      Gap();
      --rejects_;
      ++m_;
    } else if (hk_ && TailIsGap()) {
      Gap();
      if (CountRejects(mag_.substr(static_cast<size_t>(m_))) > 0) --rejects_;
      m_ = lm;
    } else {
      r_.push(M(m_));
      ++m_;
    }
    if (lm - m_ > 3) MICRVerifyFlags |= kVerifyOpticalShort;
  }

  bool TailIsGap() const {
    for (size_t i = static_cast<size_t>(m_); i < mag_.size(); ++i)
      if (mag_[i] != '@' && mag_[i] != ' ') return false;
    return true;
  }

  // A last optical character beyond the magnetic line, when the three before it agree.
  void End() {
    const int64_t lo = static_cast<int64_t>(opt_.size());
    if (m_ >= 8 && o_ >= 8 && M(m_ - 1) == O(o_ - 1) && M(m_ - 2) == O(o_ - 2) && M(m_ - 3) == O(o_ - 3) &&
        !O(o_).none() && !O(o_).blankOrReject() && o_ == lo - 1 && AtLeast(C(o_), '3')) {
      r_.push(O(o_));
      Gap();
    }
  }

  std::string_view mag_, opt_, conf_;
  BoundedLine r_;
  bool hk_;
  bool lowConfidence_;
  int64_t m_ = 0;
  int64_t o_ = 0;
  int rejects_ = 0;
};

}  // namespace

int CombineMicr(const CodeLineBuffers& b, int maxErrors) {
  Services& sv = CurrentServices();
  if (maxErrors >= 0) {
    const std::optional<std::string> method = sv.funcTableGetParamString(kParamMicrMethod);
    if (method.has_value() && method->compare(0, 2, "KR") == 0) {
      return VerifyMicrWithOcr(b, maxErrors, CurrentRightEdges());
    }
  }
  const bool lowConfidence = sv.ZARNGetParam(kParamLowConfidence) != 0;
  const bool hk = sv.ZARNGetParam(kParamHongKongRules) == 1;
  MICRVerifyFlags = 0;
  MICRVerifyCounters.VerifyEvents = 0;
  const bool verifyLog = VerifyLogOn(sv.ZARNGetParam(kParamVerifyLog));
  if (verifyLog) {
    LocalLog("Combine MagMICR => %s", b.magnetic != nullptr ? b.magnetic : "");
    LocalLog("OCR             => %s", b.optical != nullptr ? b.optical : "");
    LocalLog("OCR Conf        => %s", b.opticalConfidence != nullptr ? b.opticalConfidence : "");
  }
  if (b.magnetic == nullptr || b.optical == nullptr || b.opticalConfidence == nullptr || b.result == nullptr ||
      b.resultRoom == 0) {
    return 1;
  }
  if (std::strlen(b.optical) != std::strlen(b.opticalConfidence)) return 1;
  const int64_t limit = std::llabs(static_cast<int64_t>(maxErrors));
  const int maxRejects = limit > 5 ? 5 : static_cast<int>(limit);

  const std::string_view mag(b.magnetic);
  // Every rule takes at most one character per magnetic character, besides a transit symbol in front
  // and one optical character at the end.
  const size_t capacity = b.resultRoom - 1;
  const int rejects = CountRejects(mag);
  if (rejects > maxRejects) {
    StoreLine(b.result, b.resultRoom, mag);
    MICRVerifyFlags |= kVerifyNotVerified;
    ++MICRVerifyCounters.NotVerified;
    if (verifyLog) LocalLog("%s -- Too Many Mag Errors - MICR VerEvent", CounterFields().c_str());
    return 0;
  }
  std::string_view opt(b.optical);
  if (rejects == 0 && SameIgnoringBlanks(mag, opt)) MICRVerifyFlags |= kVerifySame;
  TrimTrailingBlanks(b.optical, b.opticalConfidence);
  opt = std::string_view(b.optical);
  const std::string_view conf(b.opticalConfidence);

  Combiner merge(mag, opt, conf, mag.size() + 2, hk, lowConfidence);
  if (!merge.Run(rejects)) {
    StoreLine(b.result, b.resultRoom, mag);
    if (rejects > 0) {
      MICRVerifyFlags |= kVerifyNotVerified;
      ++MICRVerifyCounters.NotVerified;
    }
    if (verifyLog) LocalLog("%s -- ReSync Failed - NO OCR MICR", CounterFields().c_str());
    return 0;
  }
  assert(merge.dropped() == 0);  // the rules never need more than the magnetic length plus 3 bytes
  StoreLine(b.result, b.resultRoom, std::string_view(merge.result()).substr(0, capacity));
  FinishVerification(merge.rejects() > 0, b.optical, b.opticalConfidence, b.magnetic, b.result, verifyLog);
  return 0;
}

int funcCombineMICR(char* magnetic, char* optical, char* opticalConfidence, char* result, int maxErrors) {
  CodeLineBuffers b;
  b.magnetic = magnetic;
  b.magneticRoom = magnetic != nullptr ? std::strlen(magnetic) + 1 : 0;
  b.optical = optical;
  b.opticalConfidence = opticalConfidence;
  b.result = result;
  b.resultRoom = b.magneticRoom + 2;
  return CombineMicr(b, maxErrors);
}

int funcGetMICRVerifyStatus() {
  return VerifyStatus(MICRVerifyFlags);
}

int funcGetMICRCounters(int32_t* ocrCalls, int32_t* ocrFailures, int32_t* repairedDocuments,
                        int32_t* substitutionRepairs, int32_t* gapRepairs, int32_t* notVerified, int32_t* flags) {
  const MicrVerifyCounterSet& c = MICRVerifyCounters;
  if (ocrCalls != nullptr) *ocrCalls = c.OcrCalls;
  if (ocrFailures != nullptr) *ocrFailures = c.OcrFailures;
  if (repairedDocuments != nullptr) *repairedDocuments = c.RepairedDocuments;
  if (substitutionRepairs != nullptr) *substitutionRepairs = c.SubstitutionRepairs;
  if (gapRepairs != nullptr) *gapRepairs = c.GapRepairs;
  if (notVerified != nullptr) *notVerified = c.NotVerified;
  if (flags != nullptr) *flags = static_cast<int32_t>(MICRVerifyFlags);
  return 0;
}

}  // namespace analysis::micr
