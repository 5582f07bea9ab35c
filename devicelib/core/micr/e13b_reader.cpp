// Peak search, pitch choice and placing of the E13B reader.
#include "devicelib/core/micr/e13b_reader.h"

namespace micr {

namespace {

constexpr int kFirstSearch = 51;
constexpr int kTrigger = 148;  // a character's first lobe rises above this
constexpr int kSaturated = 252;
constexpr int kDiscardBefore = 1000;  // a lone first character this early may be noise
constexpr int kSure = 90;
constexpr int kNeighbourSure = 88;
constexpr int kAnyPitchSure = 93;
constexpr int kVoteFloor = 80;

E13bWindow CopyWindow(std::span<const uint16_t> s, long from) {
  E13bWindow w;
  for (int k = 0; k < kE13bWindow; ++k) {
    const long x = from + k;
    w[k] = x >= 0 && x < static_cast<long>(s.size()) ? s[x] : 128;  // idle outside the run
  }
  return w;
}

}  // namespace

const E13bResult& E13bReader::PitchResults::At(int pitch) {
  auto& slot = cache[pitch];
  if (!slot) slot = RecogniseE13b(*window, pitch);
  return *slot;
}

E13bReader::Choice E13bReader::BestOf(PitchResults& results, int from, int to) {
  Choice best;
  best.found = true;
  int bestSpread = 0;
  int bestPitch = 0;
  for (int p = from < kMinPitch ? kMinPitch : from; p <= (to > kMaxPitch ? kMaxPitch : to); ++p) {
    const E13bResult& r = results.At(p);
    if (!r.found) return Choice{};
    if (r.symbol == '?') continue;
    if (bestPitch == 0 || r.confidence > best.confidence ||
        (r.confidence == best.confidence && r.spread > bestSpread)) {
      best.symbol = r.symbol;
      best.confidence = r.confidence;
      bestSpread = r.spread;
      bestPitch = p;
    }
  }
  if (bestPitch != 0) pitch_ = bestPitch;
  return best;
}

E13bReader::Choice E13bReader::Vote(PitchResults& results) {
  char proposal = 0;
  for (int p = kMinPitch; p <= kMaxPitch; ++p) {
    const E13bResult& r = results.At(p);
    const bool sure = r.found && r.symbol != '?' && r.confidence >= kVoteFloor;
    if (proposal == 0) {
      if (sure) proposal = r.symbol;
    } else if (sure && r.symbol == proposal) {
      break;
    } else {
      proposal = 0;
    }
  }
  Choice c;
  c.found = true;
  if (proposal != 0) c.symbol = proposal;
  return c;
}

E13bReader::Choice E13bReader::Choose(PitchResults& results) {
  const int before = pitch_;
  Choice c;
  if (pitch_ < kMinPitch || pitch_ > kMaxPitch) {
    pitch_ = 15;
    c = BestOf(results, kMinPitch, kMaxPitch);
  } else {
    const E13bResult& r = results.At(pitch_);
    c = Choice{r.found, r.symbol, r.confidence};
  }
  if (!c.found) return c;
  if (c.symbol == '?' || c.confidence < kSure) {
    c = BestOf(results, pitch_ - 1, pitch_ + 1);
    if (!c.found) return c;
    if (c.symbol == '?' || c.confidence < kNeighbourSure) {
      const Choice any = BestOf(results, kMinPitch, kMaxPitch);
      if (!any.found) return any;
      c = any.confidence > kAnyPitchSure && any.symbol != '?' ? any : Vote(results);
    }
  }
  if (c.symbol == '?') pitch_ = before;
  return c;
}

void E13bReader::Place(char symbol, int peak) {
  if (placed_ > 0) {
    const int e = (pitch_ * 77) >> 3;
    const int f = (e * 3) >> 1;
    if (placed_ == 1 && firstPeak_ < kDiscardBefore && (symbol == ';' || peak - firstPeak_ > f)) {
      ++start_;  // the lone early character was noise: this one takes its cell
      placed_ = 0;
    } else {
      for (int d = peak - lastPeak_; d > f && start_ - 1 >= 2; d -= e) line_[--start_] = ' ';
    }
  }
  if (start_ == 0) return;  // the line holds its 199 characters
  line_[--start_] = symbol == '?' ? '@' : symbol;
  if (placed_ == 0) firstPeak_ = peak;
  ++placed_;
  lastPeak_ = peak;
}

void E13bReader::Read(std::span<const uint16_t> s) {
  start_ = kLineSize - 1;
  line_[kLineSize - 1] = '\0';
  pitch_ = 16;
  placed_ = 0;
  const long n = static_cast<long>(s.size());
  long a = kFirstSearch;
  while (a < n && start_ > 0) {
    long j = a;
    while (j < n && s[j] <= kTrigger) ++j;
    if (j >= n) break;
    int runningMax = s[j];
    long saturated = 0;
    long fall = j;
    for (; fall < n && s[fall] >= runningMax; ++fall) {
      runningMax = s[fall];
      if (s[fall] > kSaturated) ++saturated;
    }
    const long peak = fall - saturated / 2 - 1;
    const E13bWindow window = CopyWindow(s, peak - kE13bPeakAt);

    PitchResults results;
    results.window = &window;
    const int before = pitch_;
    Choice c = Choose(results);
    if (c.found && c.symbol == '?') {
      const E13bWindow smoothed = RefilterE13b(window);
      PitchResults again;
      again.window = &smoothed;
      pitch_ = before;
      c = Choose(again);
      if (!c.found) c = Choice{true, '?', 0};  // the character was there; the reject stands
    }
    if (!c.found) {
      a = peak + pitch_;
      continue;
    }
    Place(c.symbol, static_cast<int>(peak));
    a = peak + 8L * pitch_;
  }
}

}  // namespace micr
