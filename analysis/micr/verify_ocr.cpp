// The "KR" verification: the two tries of the template decoder and the waveform decoder's line, merged
// with the optical reading by character or by position along the document.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/micr/combine.h"
#include "analysis/micr/combine_log.h"
#include "analysis/micr/line_text.h"
#include "analysis/micr/verify_state.h"
#include "analysis/services.h"

namespace analysis::micr {
namespace {

constexpr int32_t kParamVerifyLog = 117;
constexpr int32_t kParamLowConfidence = 157;
constexpr int32_t kParamSkipDropOutTest = 187;
constexpr int64_t kNoOffset = -1;

// (optical, magnetic) pairs the magnetic reader is known to confuse.
constexpr char kConfusions[13][2] = {{'2', '5'}, {'5', '2'}, {':', '4'}, {'4', ':'}, {'0', '6'}, {'0', '9'}, {'6', '0'},
                                     {'6', '9'}, {'9', '0'}, {'9', '6'}, {'5', '6'}, {'5', '7'}, {'6', '7'}};
bool Confusable(Ch optical, Ch magnetic) {
  for (const auto& p : kConfusions)
    if (optical == p[0] && magnetic == p[1]) return true;
  return false;
}

int CountRejects(std::string_view s) {
  return static_cast<int>(std::count(s.begin(), s.end(), '@'));
}

bool DigitsAt(std::string_view s, int64_t from, int count) {
  for (int k = 0; k < count; ++k)
    if (!At(s, from + k).digit()) return false;
  return true;
}

// An amount field whose closing symbol was read as something else, or is missing.
void AmountRuleA(BoundedLine& r, std::string_view c1) {
  std::string& s = r.str();
  const int64_t n = static_cast<int64_t>(s.size());
  if (n >= 23 && s.back() != ';' && AtMost(At(c1, n - 1), '7') && At(s, n - 12) == ';' && DigitsAt(s, n - 11, 10)) {
    s.back() = ';';
    ++MICRVerifyCounters.GapRepairs;
    ++MICRVerifyCounters.VerifyEvents;
  }
}
bool AmountRuleB(BoundedLine& r) {
  const std::string& s = r.str();
  const int64_t n = static_cast<int64_t>(s.size());
  if (n >= 22 && At(s, n - 11) == ';' && DigitsAt(s, n - 10, 10)) {
    r.push(';');
    return true;
  }
  return false;
}

// A leading transit symbol read as '4' or doubtfully.
void LeadingTransit(std::string& s, std::string_view c1, std::string_view c2) {
  if (s.size() >= 12 && s[0] != ':' && s[10] == ':' &&
      (s[0] == '4' || (AtMost(At(c1, 0), '7') && AtMost(At(c2, 0), '7')))) {
    s[0] = ':';
  }
}

class Verifier {
 public:
  Verifier(const CodeLineBuffers& b, int maxErrors, std::span<const int32_t> edges)
      : b_(b), edges_(edges), B_(b.magneticRoom > 0 ? b.magneticRoom - 1 : 0),
        R_(b.resultRoom > 0 ? b.resultRoom - 1 : 0) {
    maxErrors_ = maxErrors < 1 ? 5 : maxErrors;
  }

  void Run() {
    Services& sv = CurrentServices();
    lowConfidence_ = sv.ZARNGetParam(kParamLowConfidence) != 0;
    MICRVerifyFlags = 0;
    MICRVerifyCounters.VerifyEvents = 0;
    kr_ = sv.GetKRMicrResults();
    log_ = VerifyLogOn(sv.ZARNGetParam(kParamVerifyLog));
    O_ = b_.optical;
    Oc_ = b_.opticalConfidence;
    if (log_) {
      LocalLog("OCR => %s", O_.c_str());
      LocalLog("OCRC=> %s", Oc_.c_str());
      LocalLog("KR1 => %s", kr_.firstLine.c_str());
      LocalLog("Conf=> %s", kr_.firstConfidence.c_str());
      LocalLog("KR2 => %s", kr_.secondLine.c_str());
      LocalLog("Conf=> %s", kr_.secondConfidence.c_str());
      LocalLog("KWL => %s", kr_.kwlLine.c_str());
    }
    BuildB();
    if (KwlOverride()) return Finish();
    CrossCheck();
    LeadingTransit(B_.str(), C1(), C2());
    ToPixels();
    if (CountRejects(B_.str()) > maxErrors_) {
      MICRVerifyFlags |= kVerifyNotVerified;
      ++MICRVerifyCounters.NotVerified;
      R_.assign(B_.str());
      if (sv.iApiTraceLevel() >= 2) TraceLog("Too Many Magnetic Errors - Quiting Verify");
      if (log_) {
        LocalLog("%s -- Too Many Mag Errors - MICR VerEvent (%d)", CounterFields().c_str(),
                 MICRVerifyCounters.VerifyEvents);
      }
      return Finish();
    }
    if (VerifiedSame()) return Finish();
    TrimOptical();
    magStart_ = MagneticStart(true);
    opticalStart_ = OpticalStart(magStart_);
    const int64_t offset = FindOffset();
    magStart_ = MagneticStart(false);
    kwlStart_ = KwlStart(true);
    if (offset < 0) {
      MagneticOnly();
    } else if (const int32_t model = sv.iScannerModel(); model == 440 || model == 30) {
      CharacterMerge();
    } else {
      PositionMerge(offset);
    }
    Finish();
  }

 private:
  std::string_view T1() const { return kr_.firstLine; }
  std::string_view C1() const { return kr_.firstConfidence; }
  std::string_view T2() const { return kr_.secondLine; }
  std::string_view C2() const { return kr_.secondConfidence; }
  std::string_view K() const { return kr_.kwlLine; }
  std::string_view Bs() const { return B_.str(); }
  Ch t1(int64_t i) const { return At(T1(), i); }
  Ch c1(int64_t i) const { return At(C1(), i); }
  Ch t2(int64_t i) const { return At(T2(), i); }
  Ch c2(int64_t i) const { return At(C2(), i); }
  Ch k(int64_t i) const { return At(K(), i); }
  Ch b(int64_t i) const { return At(Bs(), i); }
  Ch o(int64_t i) const { return At(O_, i); }
  Ch oc(int64_t i) const { return At(Oc_, i); }
  int64_t LB() const { return static_cast<int64_t>(B_.size()); }
  int64_t LO() const { return static_cast<int64_t>(O_.size()); }
  int64_t LK() const { return static_cast<int64_t>(K().size()); }
  int64_t L1() const { return static_cast<int64_t>(T1().size()); }
  // A magnetic position in working pixels; nothing beyond the table.
  bool HasPosition(int64_t i) const { return i >= 0 && i < static_cast<int64_t>(P_.size()); }
  // An optical character's right edge; a character beyond the reader's table has none.
  bool HasEdge(int64_t x) const { return x >= 0 && x < static_cast<int64_t>(edges_.size()) && x < LO(); }
  int64_t Edge(int64_t x) const { return edges_[static_cast<size_t>(x)]; }

  void Gap() {
    MICRVerifyFlags |= kVerifyGapFilled;
    ++MICRVerifyCounters.GapRepairs;
  }

  // The magnetic line from both tries: the surer try where it is sure enough, else a reject.
  void BuildB() {
    for (int64_t i = 0; i < L1(); ++i) {
      if (c2(i).v < c1(i).v && AtLeast(c1(i), '5')) {
        B_.push(t1(i));
      } else if (!AtLeast(c2(i), '5')) {
        B_.push('@');
      } else {
        B_.push(t2(i));
      }
    }
  }

  bool KwlOverride() {
    if (CountRejects(K()) != 0 || LK() <= 10) return false;
    if (!(CountRejects(Bs()) >= 3 || LK() == LB() + 1)) return false;
    int64_t i = 0, j = 0;
    while (i < LO() && j < LK()) {
      if (o(i) == ' ') {
        ++i;
      } else if (k(j) == ' ') {
        ++j;
      } else if (o(i) == k(j)) {
        ++i;
        ++j;
      } else {
        return false;
      }
    }
    R_.assign(K());
    if (log_) LocalLog("%s -- KWL/OCR Match Override", CounterFields().c_str());
    return true;
  }

  void SetB(int64_t i, Ch c) {
    if (i >= 0 && i < LB() && !c.none()) B_.str()[static_cast<size_t>(i)] = c.c();
  }
  void MatchLog(const char* what, int64_t i, int64_t j) {
    if (log_) LocalLog("%s %c (%c) %c (%c) %c", what, t1(i).c(), c1(i).c(), t2(i).c(), c2(i).c(), k(j).c());
  }

  // The waveform decoder's line checks and mends B where the tries were doubtful.
  void CrossCheck() {
    kwlAside_ = CountRejects(K()) >= 3 || LK() + 3 < LB();
    int64_t i = 0, j = 0;
    auto in = [](Ch c, const char* set) { return !c.none() && c.v != 0 && std::strchr(set, c.v) != nullptr; };
    while (!kwlAside_ && j < LK()) {
      const Ch bi = b(i), kj = k(j);
      bool leads = i == 0 && j == 0 && kj != '@';
      for (int n = 0; leads && n < 9; ++n) leads = b(n) == k(n + 1);
      if (leads) {
        kwlLeads_ = true;
        ++j;
      } else if (bi == kj) {
        ++i, ++j;
      } else if (bi == ' ') {
        ++i;
      } else if (kj == ' ') {
        ++j;
      } else if (bi == '@' && i >= 1 && j >= 1 && b(i - 1) == k(j - 1)) {
        SetB(i, kj);
        if (log_) LocalLog("KWL LC ERROR");
        ++i, ++j;
      } else if (kj == '@') {
        ++i, ++j;
      } else if (in(bi, "25") && in(kj, "25")) {
        ++i, ++j;
      } else if ((in(t1(i), ":4") || in(t2(i), ":4")) && in(kj, "4:") && i < LB()) {
        SetB(i, kj);
        if (log_) LocalLog("KWL :4 ERROR");
        ++i, ++j;
      } else if (in(bi, "0569") && in(kj, "0569")) {
        if (t1(i) != kj && t2(i) != kj && !t2(i).none()) {
          if (log_) LocalLog("KWL Noise ERROR-Skipped at i %d, j %d", static_cast<int>(i), static_cast<int>(j));
        } else {
          SetB(i, kj);
          if (log_) LocalLog("KWL Noise ERROR");
        }
        ++i, ++j;
      } else if (i >= LB()) {
        B_.push(kj);
        if (log_) LocalLog("Mag Finish ERROR");
        i = LB();  // past whatever the buffer could take
        ++j;
      } else if ((t1(i) == kj || t2(i) == kj) && kj.mark()) {
        SetB(i, kj);
        if (log_) LocalLog("KWL Match LC MICR 2 out of 3");
        ++i, ++j;
      } else if (b(i + 1) != k(j + 1)) {
        MatchLog("Mag MATCH ERROR", i, j);
        kwlAside_ = true;
      } else {
        MatchLog("Mag MATCH Question", i, j);
        ++i, ++j;
      }
    }
    if (kwlAside_ && log_) LocalLog("Skipping KWL MICR");
  }

  // Sample positions become working pixels from the first character on, at 8 samples per pixel.
  void ToPixels() {
    const size_t n = std::min<size_t>(static_cast<size_t>(L1()), KrMicrResults::kPositions);
    P_.assign(n, 0);
    if (n == 0) return;
    const int64_t first = kr_.positions[0];
    for (size_t i = n; i-- > 0;) P_[i] = (first - int64_t{kr_.positions[i]}) / 8;
  }

  bool VerifiedSame() {
    BoundedLine r(R_.capacity());
    int64_t i = 0, oo = 0, kk = 0;
    // The waveform line stands in for the first try at the same place, so it vouches only while the two
    // run in step: with the first try's length (one more when it leads). A try that lost a character
    // would otherwise let the walk skip a character both other readings hold and still call it the same.
    const bool kwlInStep = LK() == L1() + (kwlLeads_ ? 1 : 0);
    if (kwlLeads_) {
      while (o(oo) == ' ') ++oo;
      if (!(k(0) == o(oo))) return false;
      r.push(o(oo));
      ++oo;
      kk = 1;
    }
    while (i < L1()) {
      const Ch x = o(oo);
      if (x == '@') return false;
      if ((t1(i) == x && AtLeast(c1(i), '5')) || (t2(i) == x && AtLeast(c2(i), '5'))) {
        r.push(x);
        ++i, ++oo;
        if (kk < LK()) ++kk;
      } else if (kwlInStep && x.mark() && k(kk) == x) {  // it vouches for characters, not blanks
        r.push(x);
        ++kk, ++oo;
        if (i < L1()) ++i;
      } else if (x == ' ') {
        ++oo;
      } else if (t1(i) == ' ' && t2(i) == ' ') {
        r.push(' ');
        if (k(kk) == ' ') ++kk;
        ++i;
      } else if (k(kk) == ' ') {
        ++kk;
      } else {
        return false;
      }
    }
    // Optical characters beyond the magnetic line: only noise (confidence '1' or less, which the trim
    // below drops as well) may stand there. A character read at '2' or better is one the magnetic line
    // lacks, and the lines are not the same.
    for (; oo < LO(); ++oo)
      if (o(oo) != ' ' && !AtMost(oc(oo), '1')) return false;
    MICRVerifyFlags |= kVerifySame;
    R_.assign(r.str());
    if (CurrentServices().iApiTraceLevel() >= 2) TraceLog("Verified Same");
    if (log_) {
      LocalLog("%s", R_.str().c_str());
      LocalLog("%s -- Verified Same", CounterFields().c_str());
    }
    return true;
  }

  void TrimOptical() {
    while (!O_.empty() && (O_.back() == ' ' || AtMost(oc(LO() - 1), '1'))) O_.pop_back();
    if (Oc_.size() > O_.size()) Oc_.resize(O_.size());
  }

  int64_t MagneticStart(bool count) {
    int64_t s = 0;
    for (; s < L1(); ++s) {
      if ((t1(s) != '@' && t2(s) != '@' && (AtLeast(c1(s), '8') || AtLeast(c2(s), '8')) &&
           !(t1(s) == ' ' && t2(s) == ' ')) ||
          t1(s) == ':' || t2(s) == ':') {
        break;
      }
    }
    if (!(t1(s) == ':' || t2(s) == ':' || t1(s + 4) == ':' || t2(s + 4) == ':')) return 0;
    if (count && s > 0) {
      ++MICRVerifyCounters.GapRepairs;
      ++MICRVerifyCounters.VerifyEvents;
    }
    return s;
  }

  int64_t OpticalStart(int64_t magStart) const {
    int64_t x = 0;
    if (t1(magStart) == ' ') return 0;
    while (o(x) == ' ' || (o(x) == '@' && o(x + 1) == ' ')) ++x;
    return x;
  }

  int64_t KwlStart(bool count) {
    int64_t s = 0;
    while (s < LK() && (k(s) == '@' || k(s) == ' ')) ++s;
    if (!(k(s) == ':' || k(s + 4) == ':')) return 0;
    if (count && s > 0) {
      ++MICRVerifyCounters.GapRepairs;
      ++MICRVerifyCounters.VerifyEvents;
    }
    return s;
  }

  // The offset between the optical reader's pixels and the magnetic positions: tried at each agreeing
  // place of the aligned window, kept once it lines up 10 characters.
  int64_t FindOffset() {
    std::vector<int64_t> mags, opts;
    for (int64_t i = magStart_; i < LB(); ++i)
      if (b(i) != ' ') mags.push_back(i);
    for (int64_t x = opticalStart_; x < LO(); ++x)
      if (o(x) != ' ') opts.push_back(x);
    std::string magText, optText;
    for (int64_t i : mags) magText.push_back(b(i).c());
    for (int64_t x : opts) optText.push_back(o(x).c());
    const Alignment a = BestShift(magText, 0, optText, 0);
    if (a.count < 5) return kNoOffset;
    if (a.shift > 0 && static_cast<size_t>(a.shift) < opts.size()) opticalStart_ = opts[static_cast<size_t>(a.shift)];
    for (int w = 0; w < 8; ++w) {
      const int64_t xi = a.shift + w;
      if (xi < 0 || xi >= static_cast<int64_t>(opts.size()) || w >= static_cast<int64_t>(mags.size())) continue;
      const int64_t x = opts[static_cast<size_t>(xi)];
      const int64_t y = mags[static_cast<size_t>(w)];
      if (!(o(x) == b(y)) || !HasEdge(x) || !HasPosition(y)) continue;
      const int64_t d = Edge(x) - P_[static_cast<size_t>(y)];
      if (CountLinedUp(mags, opts, d) >= 10) return d;
    }
    return kNoOffset;
  }

  int CountLinedUp(const std::vector<int64_t>& mags, const std::vector<int64_t>& opts, int64_t d) const {
    int count = 0;
    size_t xo = 0;
    for (int64_t y : mags) {
      if (!HasPosition(y)) break;
      const int64_t target = P_[static_cast<size_t>(y)] + d;
      while (xo < opts.size() && HasEdge(opts[xo]) && Edge(opts[xo]) + 12 < target) ++xo;
      if (xo >= opts.size() || !HasEdge(opts[xo])) break;
      const int64_t x = opts[xo];
      if (Edge(x) - target <= 11 && target - Edge(x) <= 11 && o(x) == b(y)) ++count;
    }
    return count;
  }

  void MagneticOnly() {
    if (log_) LocalLog("OCR NOT AVAILABLE -- Compare MICR ONLY");
    BoundedLine r(R_.capacity());
    if (kwlAside_) {
      int64_t i = 0;
      while (t1(i) == ' ') ++i;
      for (; i < L1(); ++i) {
        const Ch a = t1(i), ca = c1(i), s = t2(i), cs = c2(i);
        if (a == s && (AtLeast(ca, '5') || AtLeast(cs, '4'))) {
          r.push(a);
        } else if (cs.v >= ca.v && AtLeast(cs, '4') && !s.none()) {
          r.push(s);
        } else if (cs.v < ca.v && AtLeast(ca, '5')) {
          r.push(a);
        } else {
          r.push('@');
        }
      }
    } else {
      const size_t first = Bs().find_first_not_of(' ');
      r.assign(first == std::string_view::npos ? std::string_view{} : Bs().substr(first));
    }
    std::string& s = r.str();
    if (s.size() >= 12 && s[0] != ':' && s[10] == ':' && AtMost(c1(0), '7') && AtMost(c2(0), '7')) s[0] = ':';
    AmountRuleA(r, C1());
    size_t sure = 0;
    for (int64_t x = 0; x < LO(); ++x)
      if (o(x) != ' ' && AtLeast(oc(x), '3')) ++sure;
    if (sure > r.size() && CurrentServices().ZARNGetParam(kParamSkipDropOutTest) == 0) {
      while (r.size() < sure && !r.full()) r.push('@');
      if (log_) LocalLog("Possible Magnetic MICR Drop Out");
    }
    R_.assign(r.str());
    EndCounts();
    if (log_) {
      LocalLog("%s", R_.str().c_str());
      LocalLog("%s - NO OCR For Comparsion  (%d)%s", CounterFields().c_str(), MICRVerifyCounters.VerifyEvents,
               (MICRVerifyFlags & kVerifyNotVerified) != 0 ? " -- MICR VerEvent" : "");
    }
  }

  // Rejects left: not verified; otherwise any repair counts the document as repaired.
  void EndCounts() {
    if (CountRejects(R_.str()) > 0) {
      MICRVerifyFlags |= kVerifyNotVerified;
      ++MICRVerifyCounters.NotVerified;
    } else if ((MICRVerifyFlags & 0xF) != 0) {
      ++MICRVerifyCounters.RepairedDocuments;
    }
  }

  // ---- Character merge -------------------------------------------------------------------------------

  void RepairKwl() {
    std::string& kl = kr_.kwlLine;
    bool removed = true;
    while (removed && kl.size() > B_.size()) {
      removed = false;
      for (size_t x = 0; x < kl.size() && kl.size() > B_.size(); ++x) {
        if (!(k(static_cast<int64_t>(x)) == ' ') || b(static_cast<int64_t>(x)) == ' ' || b(static_cast<int64_t>(x)).none())
          continue;
        int score = 0;
        for (int64_t xp = static_cast<int64_t>(x); xp < LB(); ++xp) {
          if (k(xp) != b(xp)) ++score;
          if (k(xp + 1) != b(xp)) --score;
        }
        if (score >= 2) {
          kl.erase(x, 1);
          removed = true;
        }
      }
    }
  }

  bool KwlAgrees(int64_t i, int64_t x) const { return LK() == L1() && k(i) == o(x); }
  bool NeighbourAgrees(int64_t i, int64_t x) const {
    return o(x + 1) == b(i + 1) || b(i + 1) == '@' || (b(i + 1) == ' ' && b(i + 2) == o(x + 1));
  }
  bool PairNeighbours(int64_t i, int64_t x) const {
    return NeighbourAgrees(i, x) || (o(x + 1) == ' ' && o(x + 2) == b(i + 1));
  }

  void CharacterMerge() {
    RepairKwl();
    magStart_ = MagneticStart(false);
    kwlStart_ = KwlStart(false);
    BoundedLine r(R_.capacity());
    int64_t i = magStart_, x = opticalStart_;
    while (b(i) == ' ') ++i;
    while (o(x) == ' ') ++x;
    TakeMissedTransit(Bs(), i, O_, x, r);
    const Alignment a = BestShift(Bs(), i, O_, x);
    if (a.count < 5) {
      R_.assign(Bs());
      if (CountRejects(Bs()) > 0) {
        MICRVerifyFlags |= kVerifyNotVerified;
        ++MICRVerifyCounters.NotVerified;
      }
      if (log_) LocalLog("%s -- ReSync Failed - NO OCR MICR", CounterFields().c_str());
      return;
    }
    if (a.shift != 0 && x + a.shift >= 0) x += a.shift;
    while (i < LB()) MergeStep(r, i, x);
    R_.assign(r.str());
    FinishVerification(CountRejects(R_.str()) > 0, O_.c_str(), Oc_.c_str(), Bs().data(), R_.str().c_str(), log_);
  }

  void MergeStep(BoundedLine& r, int64_t& i, int64_t& x) {
    const Ch bi = b(i), ox = o(x), cx = oc(x);
    auto takeOptical = [&] {
      r.push(ox);
      ++i, ++x;
    };
    if (x < LO() && bi == ox) return takeOptical();
    if (x >= LO()) {
      if (i == LB() - 1 && bi == '@') {
        const std::string& s = r.str();
        const int64_t n = static_cast<int64_t>(s.size());
        if (At(s, n - 11) == ';' && DigitsAt(s, n - 10, 10)) r.push(';');
        Gap();
      } else {
        r.push(bi);
      }
      ++i;
      return;
    }
    if (ox == ' ' && bi != ' ') {
      ++x;
      return;
    }
    if (bi == ' ') {
      const bool trySure = (t1(i).mark() && c1(i).v > '5') || (t2(i).mark() && c2(i).v > '5');
      if (KwlAgrees(i, x) && (trySure || AtLeast(cx, '2'))) return takeOptical();
      r.push(' ');
      ++i;
      return;
    }
    if (bi == '@') {
      if (AtLeast(cx, '2') && NeighbourAgrees(i, x)) {
        takeOptical();
        Gap();
        return;
      }
      r.push('@');
      MICRVerifyFlags |= kVerifyNotVerified;
      ++i;
      if (o(x + 1) == b(i)) ++x;
      return;
    }
    if (AtMost(cx, '1') || ox == '@') {
      r.push(bi);
      ++i, ++x;
      return;
    }
    if (AtLeast(cx, '2') && (ox == t1(i) || ox == t2(i) || KwlAgrees(i, x))) {
      takeOptical();
      Gap();
      return;
    }
    const char m = bi.c(), oo = ox.c();
    const bool nextTwo = b(i + 1) == o(x + 1) && b(i + 2) == o(x + 2);
    if ((((m == '2' && oo == '5') || (m == '5' && oo == '2')) && PairNeighbours(i, x)) ||
        (((m == ':' && oo == '4') || (m == '4' && oo == ':')) && nextTwo) ||
        (((m == '0' && oo == '6') || (m == '0' && oo == '9') || (m == '6' && oo == '5')) && nextTwo &&
         AtLeast(cx, '3'))) {
      takeOptical();
      MICRVerifyFlags |= kVerifyCorrected;
      ++MICRVerifyCounters.SubstitutionRepairs;
      return;
    }
    const bool sure = AtLeast(cx, '3');
    const bool kwlOwn = LK() == L1() && k(i).mark();
    if (sure && AtMost(c1(i), '7') && AtMost(c2(i), '7') && !kwlOwn && PairNeighbours(i, x)) {
      takeOptical();
      Gap();
      return;
    }
    if (sure && o(x + 1) == b(i + 1) && o(x + 2) == b(i + 2) && !(i > 0 && ox == b(i - 1))) {
      MICRVerifyFlags |= kVerifySingleDifference;
      if (lowConfidence_) {
        r.push('@');
        ++x;
      } else {
        r.push(bi);
      }
      ++i;
      return;
    }
    if (sure && ox == b(i + 1) && o(x + 1) == b(i + 2) && o(x + 2) == b(i + 3)) {
      r.push(bi);
      ++i;
      return;
    }
    if (sure) {
      const Alignment a = BestShift(Bs(), i, O_, x);
      if (a.shift != 0 && x + a.shift >= 0) x += a.shift;
      r.push(bi);
      ++i, ++x;
      return;
    }
    // A doubtful optical character that no rule uses: keep the magnetic one and stay aligned.
    r.push(bi);
    ++i;
    if (!(o(x) == b(i) && o(x + 1) == b(i + 1) && o(x + 2) == b(i + 2))) ++x;
  }

  // ---- Position merge --------------------------------------------------------------------------------

  struct OpticalMark {
    char ch;
    Ch conf;
    int64_t position;
    bool placed;  // the reader's table holds its edge
  };

  void PositionMerge(int64_t offset) {
    std::vector<OpticalMark> marks;
    for (int64_t x = 0; x < LO(); ++x)
      if (o(x).mark()) marks.push_back({o(x).c(), oc(x), HasEdge(x) ? Edge(x) : 0, HasEdge(x)});
    for (int64_t& p : P_) p += offset;
    int64_t drift = 0;
    size_t cursor = 0;
    BoundedLine r(R_.capacity());
    std::vector<int64_t> rToMag;  // the magnetic position behind each result character, -1 for none
    auto put = [&](Ch c, int64_t i) {
      if (r.full() || c.none()) return;
      r.push(c);
      rToMag.push_back(i);
    };
    int64_t kk = 0;
    if (kwlLeads_ && !kwlAside_) {
      put(k(0), -1);
      kk = 1;
    }
    for (int64_t i = 0; i < L1(); ++i, ++kk) {
      if (b(i) == ' ' || (b(i).none() && t1(i) == ' ')) {
        put(Ch{' '}, i);
        continue;
      }
      const Ch kw = kwlAside_ ? Ch{} : k(kk);
      const int64_t target = HasPosition(i) ? P_[static_cast<size_t>(i)] + drift : 0;
      size_t x = cursor;
      while (x < marks.size() && (!marks[x].placed || marks[x].position + 12 < target)) ++x;
      const bool usable = HasPosition(i) && x < marks.size() && marks[x].position - target <= 8 &&
                          target - marks[x].position <= 8 && AtLeast(marks[x].conf, '2');
      if (!usable) {
        put(kwlAside_ ? t1(i) : b(i), i);
        if (!(t1(i) == t2(i) && AtLeast(c1(i), '8') && AtLeast(c2(i), '8'))) {
          ++MICRVerifyCounters.VerifyEvents;
          if (log_ && !kwlAside_) {
            LocalLog("MSync3 %c (%c) %c (%c) %c <== Mag %c", t1(i).c(), c1(i).c(), t2(i).c(), c2(i).c(), kw.c(),
                     b(i).c());
          } else if (log_) {
            LocalLog("MSyncOld %c (%c) %c (%c)", t1(i).c(), c1(i).c(), t2(i).c(), c2(i).c());
          }
        }
        continue;
      }
      const OpticalMark& mk = marks[x];
      cursor = x + 1;
      put(Decide(i, Ch{static_cast<unsigned char>(mk.ch)}, mk.conf, mk.position, target, kw, drift), i);
    }
    MICRVerifyCounters.VerifyEvents += static_cast<int32_t>(marks.size() - std::min(cursor, marks.size()));
    AmountRuleA(r, C1());
    if (AmountRuleB(r)) rToMag.push_back(-1);
    std::string& s = r.str();
    if (!marks.empty() && marks[0].ch == ':' && s.size() >= 10 && s[9] == ':') {
      bool digits = true;
      for (int n = 0; n < 9; ++n) digits = digits && (At(s, n).digit() || (n == 4 && s[4] == '='));
      if (digits) {
        r.insertFront(':');
        rToMag.insert(rToMag.begin(), -1);
        rToMag.resize(r.size());
        ++MICRVerifyCounters.GapRepairs;
        ++MICRVerifyCounters.VerifyEvents;
      }
    }
    CorrectionPasses(r, rToMag, marks);
    R_.assign(r.str());
    EndCounts();
    if (log_) {
      LocalLog("%s", R_.str().c_str());
      LocalLog("%s   (%d)%s", CounterFields().c_str(), MICRVerifyCounters.VerifyEvents,
               MICRVerifyFlags != 0 ? "  -- MICR VerEvent" : "");
    }
  }

  // One magnetic character against the optical character found at its place.
  Ch Decide(int64_t i, Ch ox, Ch cx, int64_t position, int64_t target, Ch kw, int64_t& drift) {
    const Ch a = t1(i), ca = c1(i), s = t2(i), cs = c2(i);
    const bool near = position - target <= 3 && target - position <= 3;
    auto substitute = [&] {
      MICRVerifyFlags |= kVerifyCorrected;
      ++MICRVerifyCounters.SubstitutionRepairs;
      ++MICRVerifyCounters.VerifyEvents;
      return ox;
    };
    auto fill = [&] {
      Gap();
      ++MICRVerifyCounters.VerifyEvents;
      return ox;
    };
    if (a == ox) {
      if ((AtLeast(ca, '8') || (s == ox && AtLeast(cs, '8'))) && AtLeast(cx, '3') && near)
        drift = position - (target - drift);
      return a;
    }
    if (s == ox) {
      if (AtLeast(cs, '8') && AtLeast(cx, '3') && near) drift = position - (target - drift);
      return s;
    }
    if (kw == ox) return kw;
    const bool firstSure = a.mark() && AtLeast(ca, '4');
    const bool secondSure = s.mark() && AtLeast(cs, '4');
    if (firstSure && secondSure) {
      if ((Confusable(ox, a) || Confusable(ox, s)) && AtLeast(cx, '3')) return substitute();
      if (a == s && (AtLeast(ca, '7') || AtLeast(cs, '7'))) return a;
      if (AtLeast(cs, '8')) return s;
      if (AtMost(ca, '8')) {
        if (AtLeast(cx, '3')) return fill();
        if (lowConfidence_) return Ch{'@'};
        if (!AtLeast(ca, '6') && !AtLeast(cs, '6')) return Ch{'@'};
        if (AtLeast(cs, '6')) return s;
      }
      return a;
    }
    if (firstSure) {
      if (Confusable(ox, a)) return substitute();
      if (AtLeast(cs, '7')) return a;
      if (AtLeast(cx, '3') && !AtLeast(ca, '6')) return fill();
      return Ch{'@'};
    }
    if (AtLeast(cs, '4')) {
      if (Confusable(ox, s)) return substitute();
      if (!AtLeast(cx, '3') || AtLeast(cs, '7')) return Ch{'@'};
      return fill();
    }
    if (AtLeast(cx, '3')) return fill();
    if (!lowConfidence_) {
      MICRVerifyFlags |= kVerifySingleDifference;
      return fill();
    }
    return Ch{'@'};
  }

  // Rejects left between agreeing neighbours are filled from sure optical characters where both tries
  // were unsure at that magnetic character.
  void CorrectionPasses(BoundedLine& r, const std::vector<int64_t>& rToMag, const std::vector<OpticalMark>& marks) {
    std::string& s = r.str();
    auto triesBelow = [&](size_t rr, char limit, bool inclusive) {
      const int64_t i = rr < rToMag.size() ? rToMag[rr] : -1;
      if (i < 0) return false;
      return inclusive ? AtMost(c1(i), limit) && AtMost(c2(i), limit)
                       : !AtLeast(c1(i), limit) && !AtLeast(c2(i), limit);
    };
    auto prevNonBlank = [&](size_t rr) -> int64_t {
      int64_t p = static_cast<int64_t>(rr) - 1;
      if (p >= 0 && s[static_cast<size_t>(p)] == ' ') --p;
      return p;
    };
    auto nextNonBlank = [&](size_t rr) -> int64_t {
      size_t p = rr + 1;
      if (p < s.size() && s[p] == ' ') ++p;
      return static_cast<int64_t>(p);
    };
    size_t rr = 0, q = 0;
    while (rr < s.size() && q < marks.size()) {
      if (s[rr] == ' ') {
        ++rr;
        continue;
      }
      if (s[rr] == marks[q].ch) {
        ++rr, ++q;
        continue;
      }
      if (s[rr] != '@') return;
      const int64_t before = prevNonBlank(rr), after = nextNonBlank(rr);
      const bool sides = q > 0 && before >= 0 && At(s, before) == marks[q - 1].ch && q + 1 < marks.size() &&
                         At(s, after) == marks[q + 1].ch;
      if (q != 0 && AtLeast(marks[q].conf, '3') && triesBelow(rr, '6', false) && sides) {
        s[rr] = marks[q].ch;
        if (log_) LocalLog("Second Pass Correction %c %d", marks[q].ch, static_cast<int>(rr));
        Gap();
        ++MICRVerifyCounters.VerifyEvents;
        ++rr, ++q;
        continue;
      }
      if (rr == 0 && At(s, 10) == ':' && marks[q].ch == ':' && AtLeast(marks[q].conf, '2') &&
          triesBelow(rr, '7', true)) {
        s[0] = ':';
        if (log_) LocalLog("Third Pass Correction %c %d", ':', 0);
        ++rr, ++q;
        continue;
      }
      return;
    }
  }

  void Finish() {
    // The formatter works within the caller's result buffer.
    std::vector<char> line(std::max(b_.resultRoom, R_.size() + 1), '\0');
    std::memcpy(line.data(), R_.str().data(), R_.size());
    line[std::min(R_.size(), b_.resultRoom - 1)] = '\0';
    CurrentServices().funcAssembleMICR(line.data(), b_.resultRoom);
    StoreLine(b_.result, b_.resultRoom, std::string_view(line.data(), strnlen(line.data(), b_.resultRoom)));
    StoreLine(b_.magnetic, b_.magneticRoom, Bs());
    StoreLine(b_.optical, std::strlen(b_.optical) + 1, O_);
    StoreLine(b_.opticalConfidence, std::strlen(b_.opticalConfidence) + 1, Oc_);
    const size_t n = std::min(P_.size(), kr_.positions.size());
    for (size_t i = 0; i < n; ++i) kr_.positions[i] = static_cast<uint32_t>(static_cast<int32_t>(P_[i]));
    CurrentServices().SetKRMicrResults(kr_);
  }

  const CodeLineBuffers& b_;
  std::span<const int32_t> edges_;
  int maxErrors_ = 5;
  bool lowConfidence_ = false;
  bool log_ = false;
  KrMicrResults kr_;
  std::string O_, Oc_;
  BoundedLine B_;
  BoundedLine R_;
  std::vector<int64_t> P_;
  bool kwlAside_ = false;
  bool kwlLeads_ = false;
  int64_t magStart_ = 0;
  int64_t opticalStart_ = 0;
  int64_t kwlStart_ = 0;
};

struct LineCount {
  int valid = 0;
  int rejects = 0;
  bool amount = false;
};

LineCount CountLine(std::string_view s) {
  LineCount c;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '@') {
      ++c.rejects;
    } else if (s[i] != ' ') {
      ++c.valid;
    }
    if (s[i] == ';') {
      size_t d = i + 1;
      while (d < s.size() && s[d] >= '0' && s[d] <= '9') ++d;
      if ((d - i - 1 == 8 || d - i - 1 == 10) && d < s.size() && s[d] == ';') c.amount = true;
    }
  }
  return c;
}

}  // namespace

int VerifyMicrWithOcr(const CodeLineBuffers& b, int maxErrors, std::span<const int32_t> rightEdges) {
  if (b.magnetic == nullptr || b.optical == nullptr || b.opticalConfidence == nullptr || b.result == nullptr ||
      b.resultRoom == 0) {
    MICRVerifyFlags = 0;
    return 1;
  }
  Verifier v(b, maxErrors, rightEdges);
  v.Run();
  return 0;
}

int funcVerifyMICRWithOCR(char* magnetic, char* optical, char* opticalConfidence, char* result, int maxErrors) {
  CodeLineBuffers b;
  b.magnetic = magnetic;
  b.magneticRoom = magnetic != nullptr ? std::strlen(magnetic) + 1 : 0;
  b.optical = optical;
  b.opticalConfidence = opticalConfidence;
  b.result = result;
  b.resultRoom = b.magneticRoom + 2;
  return VerifyMicrWithOcr(b, maxErrors, CurrentRightEdges());
}

int funcChooseMICRPass(const char* first, const char* second, char* result) {
  constexpr size_t kRoom = 80;
  if (result == nullptr) return 0;
  std::memset(result, 0, kRoom);
  const std::string_view a = first != nullptr ? std::string_view(first, strnlen(first, kRoom - 1)) : "";
  const std::string_view s = second != nullptr ? std::string_view(second, strnlen(second, kRoom - 1)) : "";
  const bool log = VerifyLogOn(CurrentServices().ZARNGetParam(kParamVerifyLog));
  if (log) {
    LocalLog("%.*s", static_cast<int>(a.size()), a.data());
    LocalLog("%.*s", static_cast<int>(s.size()), s.data());
  }
  const LineCount c1 = CountLine(a), c2 = CountLine(s);
  if (log) {
    LocalLog("iValid1 %d, iError1 %d, Amount1 %d, iValid2 %d, iError2 %d, Amount2 %d", c1.valid, c1.rejects,
             c1.amount ? 1 : 0, c2.valid, c2.rejects, c2.amount ? 1 : 0);
  }
  if ((c1.rejects == 0 && c2.valid <= c1.valid && (c1.amount || !c2.amount)) || c2.rejects >= 4) {
    StoreLine(result, kRoom, a);
    if (log) LocalLog("Defaulting to First Pass MICR");
    return 0;
  }
  const bool amountOk = c2.amount || !c1.amount;
  if ((c2.rejects == 0 && c2.valid >= c1.valid && amountOk) ||
      (c2.rejects < 3 && c2.valid >= c1.valid + 10 && amountOk)) {
    StoreLine(result, kRoom, s);
    if (log) LocalLog("Defaulting to Second Pass MICR");
    return 1;
  }
  BoundedLine r(kRoom - 1);
  const size_t firstSemi = s.find(';');
  size_t i = 0, j = 0;
  auto nextAgree = [&] {
    return At(a, static_cast<int64_t>(i) + 1) == At(s, static_cast<int64_t>(j) + 1) &&
           (At(a, static_cast<int64_t>(i) + 2) == At(s, static_cast<int64_t>(j) + 2) || i + 2 >= a.size());
  };
  while (i < a.size() || j < s.size()) {
    const Ch x = At(a, static_cast<int64_t>(i)), y = At(s, static_cast<int64_t>(j));
    if (x == y) {
      r.push(x);
      ++i, ++j;
    } else if (x == ' ') {
      r.push(' ');
      ++i;
    } else if (y == ' ') {
      ++j;
    } else if (x == '@' && !y.none() && nextAgree()) {
      r.push(y);
      ++i, ++j;
    } else if (y == '@' && !x.none() && nextAgree()) {
      r.push(x);
      ++i, ++j;
    } else {
      if (c2.amount && !c1.amount && firstSemi != std::string_view::npos && j >= firstSemi) {
        const size_t passed = r.str().find(';');
        if (passed != std::string::npos) {
          r.str().resize(passed);
          for (char ch : s.substr(firstSemi)) r.push(ch);
        } else if (i >= a.size()) {
          r.push(' ');
          for (char ch : s.substr(firstSemi)) r.push(ch);
        }
      } else {
        for (char ch : a.substr(std::min(i, a.size()))) r.push(ch);
      }
      break;
    }
  }
  StoreLine(result, kRoom, r.str());
  if (log) LocalLog("%s", r.str().c_str());
  return 2;
}

}  // namespace analysis::micr
