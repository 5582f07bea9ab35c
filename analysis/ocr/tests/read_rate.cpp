// Read-rate measurement of the optical readers.
#include "analysis/ocr/tests/read_rate.h"

#include <cstdio>
#include <cstdlib>
#include <random>

#include "analysis/ocr/codeline_ocr.h"
#include "analysis/optical/cmc7_reader.h"

namespace analysis::ocr::test {
namespace {

// ZC_OPTICAL_RATE_LINES=1 prints every line read wrongly.
bool Verbose() {
  const char* v = std::getenv("ZC_OPTICAL_RATE_LINES");
  return v != nullptr && *v == '1';
}

// Substitutions by the output's confidence digit, on the scorer's own alignment, so that a line with a
// missing or extra character still has its substitutions counted.
void CountByConfidence(const std::string& truth, const std::string& line, const std::string& conf,
                       OpticalRates& rates) {
  std::string c;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != ' ') c += i < conf.size() ? conf[i] : '0';
  }
  size_t at = c.size();  // pairs come from the end of the line
  micrkit::AlignLine(truth, line, [&](char t, char o) {
    if (o == 0) return;
    --at;
    if (t != 0 && o != t && o != '@' && c[at] >= '0' && c[at] <= '4') {
      ++rates.substitutionsByConfidence[static_cast<size_t>(c[at] - '0')];
    }
  });
}

zc::testkit::LineDefects Seeded(const zc::testkit::LineDefects& d, unsigned seed, int length) {
  zc::testkit::LineDefects out = d;
  out.seed = seed;
  std::mt19937 pick(seed);
  // Character defects land on a character of this line.
  if (d.mergedAt >= 0) out.mergedAt = static_cast<int>(pick() % static_cast<unsigned>(std::max(1, length - 1)));
  if (d.missingAt >= 0) out.missingAt = static_cast<int>(pick() % static_cast<unsigned>(length));
  if (d.brokenAt >= 0) out.brokenAt = static_cast<int>(pick() % static_cast<unsigned>(length));
  return out;
}

}  // namespace

OpticalRates MeasureE13b(const OpticalCondition& condition, int lines, unsigned seed) {
  OpticalRates rates;
  std::mt19937 random(seed);
  for (int k = 0; k < lines; ++k) {
    const std::string truth = micrkit::RandomCodeLine(random, "0123456789:;<=");
    const zc::testkit::LineDefects d = Seeded(condition.defects, seed * 1000u + static_cast<unsigned>(k),
                                              static_cast<int>(truth.size()));
    const auto bw = zc::testkit::MakeCodeLineBilevel(zc::testkit::ChequeSpec{condition.dpi, 6.0, 1.0, 1u + k}, truth, d);
    const auto record = zc::testkit::BilevelRecord(bw, condition.dpi);
    char line[128] = {}, conf[128] = {};
    funcOCRRawImage(record.data(), record.size(), line, conf);
    rates.tally += micrkit::ScoreLine(truth, line);
    if (Verbose() && micrkit::WithoutBlanks(truth) != micrkit::WithoutBlanks(line)) {
      std::printf("  %s\n  truth [%s]\n  read  [%s]\n  conf  [%s]\n", condition.name, truth.c_str(), line, conf);
    }
    CountByConfidence(truth, line, conf, rates);
  }
  return rates;
}

OpticalRates MeasureCmc7(const OpticalCondition& condition, int lines, unsigned seed) {
  OpticalRates rates;
  std::mt19937 random(seed);
  for (int k = 0; k < lines; ++k) {
    const std::string truth = micrkit::RandomCodeLine(random, "0123456789:;<=>");
    const zc::testkit::LineDefects d = Seeded(condition.defects, seed * 1000u + static_cast<unsigned>(k),
                                              static_cast<int>(truth.size()));
    const auto gray = zc::testkit::MakeCodeLineGray(zc::testkit::ChequeSpec{300, 6.0, 1.0, 1u + k}, truth,
                                                    zc::testkit::LineFont::kCmc7, d);
    const auto record = zc::testkit::GrayRecord(gray, 300);
    char line[80] = {}, conf[80] = {};
    optical::funcOcrReadCodeLine(record.data(), record.size(), line, conf, sizeof line);
    rates.tally += micrkit::ScoreLine(truth, line);
    if (Verbose() && micrkit::WithoutBlanks(truth) != micrkit::WithoutBlanks(line)) {
      std::printf("  %s\n  truth [%s]\n  read  [%s]\n  conf  [%s]\n", condition.name, truth.c_str(), line, conf);
    }
    CountByConfidence(truth, line, conf, rates);
  }
  return rates;
}

std::string FormatRates(const char* name, const OpticalRates& r) {
  const micrkit::LineTally& t = r.tally;
  char text[256];
  std::snprintf(text, sizeof text,
                "%-22s chars %5ld read %5ld reject %4ld subst %3ld del %3ld ins %3ld | lines %4ld read %4ld "
                "rejected %3ld misread %3ld | subst by conf %ld/%ld/%ld/%ld/%ld\n",
                name, t.truth, t.correct, t.rejects, t.substitutions, t.deletions, t.insertions, t.lines,
                t.linesRead, t.linesRejected, t.linesMisread, r.substitutionsByConfidence[0],
                r.substitutionsByConfidence[1], r.substitutionsByConfidence[2], r.substitutionsByConfidence[3],
                r.substitutionsByConfidence[4]);
  return text;
}

}  // namespace analysis::ocr::test
