// The merge of the optical CMC-7 line into the magnetic one: repairs, blanks, the count of good optical
// characters, the rest of the magnetic line kept when the optical one is short, and the trace.
#include <gtest/gtest.h>

#include <string>

#include "analysis/micr/tests/fake_services.h"
#include "analysis/optical/cmc7_reader.h"

namespace analysis::optical {
namespace {

struct Merge {
  const char* name;
  const char* magnetic;
  const char* optical;
  const char* confidence;
  const char* merged;
  int result;
};
void PrintTo(const Merge& m, std::ostream* os) { *os << m.name; }

class MicrCombine : public ::testing::TestWithParam<Merge> {};

TEST_P(MicrCombine, Merges) {
  const Merge& m = GetParam();
  char out[128];
  EXPECT_EQ(funcMicrCombine(m.magnetic, m.optical, m.confidence, out, sizeof out, 0), m.result);
  EXPECT_STREQ(out, m.merged);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MicrCombine,
    ::testing::Values(
        Merge{"rejectFixedAtTwo", "12@45", "12345", "22222", "12345", 0},
        Merge{"rejectKeptAtOne", "12@45", "12345", "22122", "12@45", 0},
        Merge{"magneticBlankKept", "12 345", "12345", "44444", "12 345", 0},
        Merge{"opticalRejectKeepsMagnetic", "12345", "12@45", "22022", "12345", 0},
        Merge{"tenGoodCharacters", "0123456789", "0123456789", "2222222222", "0123456789", 0},
        Merge{"elevenGoodCharacters", "01234567890", "01234567890", "22222222222", "01234567890", 1},
        Merge{"shortOpticalKeepsTheRest", "0123456789<", "0123", "4444", "0123456789<", 0},
        Merge{"emptyOpticalKeepsTheLine", ":12345:", "", "", ":12345:", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MicrCombineBounds, OutputIsCutToItsBuffer) {
  char out[6];
  funcMicrCombine("0123456789", "0123", "4444", out, sizeof out, 0);
  EXPECT_STREQ(out, "01234");
}

TEST(MicrCombineTrace, WritesTheFourLinesAndTheCounts) {
  testing::FakeServices services;
  services.params[117] = 2;
  ScopedServices scoped(services);
  char out[32];
  funcMicrCombine("12@4x", "12345", "22222", out, sizeof out, 0);
  ASSERT_EQ(services.localLog.size(), 5u);
  EXPECT_EQ(services.localLog[0], "12@4x");
  EXPECT_EQ(services.localLog[3], "1234x");
  EXPECT_EQ(services.localLog[4], "iCount   6, iDiffs 001, iErrors 001, iFix 001  $");
}

}  // namespace
}  // namespace analysis::optical
