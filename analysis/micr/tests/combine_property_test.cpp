// Random truth lines with controlled corruption through both merges: every result ends within its
// buffer, nothing is written past it, and no counter but the per-combination events ever goes down.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "analysis/micr/combine.h"
#include "analysis/micr/tests/verify_fake.h"
#include "analysis/micr/verify_state.h"
#include "testkit/micr/line_score.h"

namespace analysis::micr {
namespace {

using ::analysis::testing::VerifyServices;

constexpr char kGuard = 0x5A;

// One corruption of a reading: a confusable pair, a reject, a gap added or removed, or a shift.
std::string Corrupt(std::string s, std::mt19937& random, int edits) {
  static constexpr const char* kPairs[] = {"25", "52", ":4", "4:", "06", "09", "65", "69", "96", "57"};
  for (int e = 0; e < edits && !s.empty(); ++e) {
    const size_t at = random() % s.size();
    switch (random() % 6) {
      case 0:
        for (const char* p : kPairs)
          if (s[at] == p[0]) s[at] = p[1];
        break;
      case 1: s[at] = '@'; break;
      case 2: s.insert(at, 1, ' '); break;
      case 3: s.erase(at, 1); break;
      case 4: s.insert(0, 1, "0123456789"[random() % 10]); break;
      default: s.erase(0, 1); break;
    }
  }
  return s;
}

std::string Confidences(size_t n, std::mt19937& random, char top) {
  std::string c;
  for (size_t i = 0; i < n; ++i) c.push_back(static_cast<char>('0' + random() % (top - '0' + 1)));
  return c;
}

struct Snapshot {
  std::array<int32_t, 6> values;
  static Snapshot Take() {
    const MicrVerifyCounterSet& c = MICRVerifyCounters;
    return {{c.OcrCalls, c.OcrFailures, c.RepairedDocuments, c.SubstitutionRepairs, c.GapRepairs, c.NotVerified}};
  }
};

// A buffer of exactly `room` bytes followed by guard bytes.
struct Guarded {
  std::vector<char> bytes;
  size_t room;
  explicit Guarded(size_t r, const std::string& text = {}) : bytes(r + 16, kGuard), room(r) {
    std::memset(bytes.data(), 0, r);
    std::memcpy(bytes.data(), text.data(), std::min(text.size(), r - 1));
  }
  char* data() { return bytes.data(); }
  bool Terminated() const { return std::memchr(bytes.data(), '\0', room) != nullptr; }
  bool GuardIntact() const {
    for (size_t i = room; i < bytes.size(); ++i)
      if (bytes[i] != kGuard) return false;
    return true;
  }
};

class CorruptedLines : public ::testing::TestWithParam<bool> {};

TEST_P(CorruptedLines, StayBoundedAndCountersNeverDecrease) {
  const bool kr = GetParam();
  VerifyServices services;
  services.params[142] = 1;
  services.strings[159] = kr ? "KR" : "KWL";
  ScopedServices scope(services);
  std::mt19937 random(kr ? 3301u : 3300u);
  for (int n = 0; n < 1500; ++n) {
    const std::string truth = micrkit::RandomCodeLine(random, "0123456789:;<=");
    const int edits = static_cast<int>(random() % 5);
    const std::string mag = Corrupt(truth, random, edits);
    const std::string opt = Corrupt(truth, random, static_cast<int>(random() % 4));
    services.params[157] = static_cast<int32_t>(random() % 2);
    services.model = (n % 3 == 0) ? 440 : 200;
    services.kr.firstLine = mag;
    services.kr.firstConfidence = Confidences(mag.size(), random, '9');
    services.kr.secondLine = Corrupt(truth, random, static_cast<int>(random() % 4));
    services.kr.secondConfidence = Confidences(services.kr.secondLine.size(), random, '9');
    services.kr.kwlLine = Corrupt(truth, random, static_cast<int>(random() % 3));
    std::array<int32_t, 128> edges{};
    for (size_t i = 0; i < truth.size() && i < edges.size(); ++i) {
      edges[i] = 40 + 25 * static_cast<int32_t>(i);
      services.kr.positions[i] = 100000u - 200u * static_cast<uint32_t>(i);
    }
    const Snapshot before = Snapshot::Take();
    Guarded m(mag.size() + 1, mag), o(opt.size() + 1, opt),
        c(opt.size() + 1, Confidences(opt.size(), random, '4')), r(mag.size() + 3);
    CodeLineBuffers b{m.data(), m.room, o.data(), c.data(), r.data(), r.room};
    const int rc = CombineMicr(b, static_cast<int>(random() % 11) - 5);
    ASSERT_EQ(rc, 0) << mag << " / " << opt;
    EXPECT_TRUE(r.Terminated() && r.GuardIntact()) << mag << " / " << opt;
    EXPECT_TRUE(m.Terminated() && m.GuardIntact()) << mag << " / " << opt;
    EXPECT_TRUE(o.GuardIntact() && c.GuardIntact());
    const Snapshot after = Snapshot::Take();
    for (size_t k = 0; k < after.values.size(); ++k) ASSERT_GE(after.values[k], before.values[k]) << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, CorruptedLines, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? std::string("KR") : std::string("Combination"); });

}  // namespace
}  // namespace analysis::micr
