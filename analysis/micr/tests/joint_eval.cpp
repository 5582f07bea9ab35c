#include "analysis/micr/tests/joint_eval.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "analysis/micr/combine.h"
#include "analysis/micr/decoder.h"
#include "analysis/micr/tests/verify_fake.h"
#include "analysis/micr/verify_state.h"
#include "analysis/ocr/codeline_ocr.h"
#include "analysis/ocr/ocr_state.h"
#include "devicelib/core/micr/micr.h"
#include "testkit/cheque/cheque_image.h"
#include "testkit/cheque/codeline_cheque.h"
#include "testkit/micr/sample_format.h"

namespace analysis::micr::testing {
namespace {

constexpr int kRate = 63200;  // a later-series scanner at 1600 samples per inch: 8 samples per pixel
const micrkit::SeriesFormat kSeries{"QV630", kRate, 3, micrkit::WireOrder::kLittleEndian16, 1600};

std::string Format(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string LibraryLine(const std::vector<uint16_t>& samples) {
  ::qv6::Micr micr;
  micr.Setup(kSeries.preset, 0, 0, 0, kRate, 0, 0.13);
  micr.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), 2, 0, 0);
  const char* line = micr.GetCodeline(2, '@');
  return line != nullptr ? line : "";
}

// The front's gray levels thresholded as the scanner's black-and-white image.
std::vector<uint8_t> FrontRecord(const sim::documents::SideImage& front) {
  zc::testkit::GrayImage gray;
  gray.width = front.width;
  gray.height = front.height;
  gray.pixels.resize(static_cast<size_t>(front.width) * static_cast<size_t>(front.height));
  for (size_t i = 0; i < gray.pixels.size(); ++i) {
    const uint8_t* p = front.rgb.data() + 3 * i;
    gray.pixels[i] = static_cast<uint8_t>((p[0] * 77 + p[1] * 150 + p[2] * 29) >> 8);
  }
  return zc::testkit::BilevelRecord(zc::testkit::thresholdImage(gray), front.dpi);
}

struct Reading {
  std::string magnetic, library, optical, opticalConf;
  KeptResults kept;
  std::array<int32_t, ocr::kLineRoom> edges{};
};

void Score(MergeOutcome& out, const std::string& truth, const char* result, int status) {
  const micrkit::LineTally t = micrkit::ScoreLine(truth, result);
  out.tally += t;
  const bool right = micrkit::WithoutBlanks(truth) == micrkit::WithoutBlanks(result);
  const int outcome = right ? 0 : (std::strchr(result, '@') != nullptr ? 1 : 2);
  ++out.byStatus[static_cast<size_t>(status & 3)][static_cast<size_t>(outcome)];
}

void Merge(::analysis::testing::VerifyServices& services, const Reading& r, const char* method,
           const std::string& truth, MergeOutcome& out) {
  services.strings[159] = method;
  services.kr.firstLine = r.kept.peaksLine.data();
  services.kr.firstConfidence = r.kept.peaksConf.data();
  services.kr.secondLine = r.kept.signalLine.data();
  services.kr.secondConfidence = r.kept.signalConf.data();
  services.kr.kwlLine = r.library;
  for (size_t i = 0; i < services.kr.positions.size(); ++i) services.kr.positions[i] = r.kept.table[i];
  char mag[100] = {}, opt[ocr::kLineRoom] = {}, conf[ocr::kLineRoom] = {}, result[103] = {};
  std::strncpy(mag, r.magnetic.c_str(), sizeof mag - 1);
  std::strncpy(opt, r.optical.c_str(), sizeof opt - 1);
  std::strncpy(conf, r.opticalConf.c_str(), sizeof conf - 1);
  CodeLineBuffers b{mag, sizeof mag, opt, conf, result, sizeof result};
  CombineMicr(b, 4);
  (void)VerifyMicrWithOcr;  // reached through the combination for method "KR"
  Score(out, truth, result, funcGetMICRVerifyStatus());
  if (std::getenv("ZC_JOINT_VERBOSE") != nullptr) {
    std::printf(" %-4s [%s] flags %x status %d\n", method, result, ::analysis::MICRVerifyFlags, funcGetMICRVerifyStatus());
  }
}

}  // namespace

JointTally MeasureJoint(sim::documents::FormsCondition condition, int documents, uint32_t firstSeed) {
  using namespace sim::documents;
  ::analysis::testing::VerifyServices services;
  services.product = "QV630";
  ScopedServices scope(services);
  const std::unique_ptr<MagneticDecoder> decoder = OpenMagneticDecoder();
  JointTally t;
  for (int k = 0; k < documents; ++k) {
    const uint32_t seed = firstSeed + static_cast<uint32_t>(k);
    ChequeOptions options;
    options.heightInches = 1.0;  // the strip along the bottom edge that holds the code line
    options.forms = MakeLineForms(seed, MakeCodeLine(seed, MicrFont::kE13b), condition);
    const Document d = MakeCheque(seed, options);

    Reading r;
    std::vector<uint16_t> samples = micrkit::FromWire(d.MagneticBytes(kSeries, false), kSeries.wire);
    r.library = LibraryLine(samples);
    char line[100] = {}, conf[100] = {};
    decoder->Decode(samples.data(), static_cast<int32_t>(samples.size() * 2), line, conf);
    r.magnetic = line;
    r.kept = decoder->Results();
    const std::vector<uint8_t> record = FrontRecord(d.front);
    char opt[ocr::kLineRoom] = {}, optConf[ocr::kLineRoom] = {};
    ocr::funcOCRRawImage(record.data(), record.size(), opt, optConf);
    r.optical = opt;
    r.opticalConf = optConf;
    r.edges = ocr::OCRCharRightEdges;

    t.decoderA += micrkit::ScoreLine(d.codeLine, r.magnetic);
    t.library += micrkit::ScoreLine(d.codeLine, r.library);
    t.optical += micrkit::ScoreLine(d.codeLine, r.optical);
    if (std::getenv("ZC_JOINT_VERBOSE") != nullptr) {
      std::printf("truth [%s]\n A    [%s]\n T1   [%s]\n C1   [%s]\n T2   [%s]\n C2   [%s]\n lib  [%s]\n ocr  [%s]\n conf [%s]\n",
                  d.codeLine.c_str(), r.magnetic.c_str(), r.kept.peaksLine.data(), r.kept.peaksConf.data(),
                  r.kept.signalLine.data(), r.kept.signalConf.data(), r.library.c_str(), r.optical.c_str(),
                  r.opticalConf.c_str());
    }
    Merge(services, r, "KR", d.codeLine, t.kr);
    Merge(services, r, "KWL", d.codeLine, t.combine);
  }
  return t;
}

std::string FormatJoint(const char* condition, const JointTally& t) {
  std::string text = Format("%s, %ld documents, %ld characters\n", condition, t.decoderA.lines, t.decoderA.truth);
  text += "  reader               read  reject  subst   del   ins | lines read / rejected / misread\n";
  const auto row = [&](const char* name, const micrkit::LineTally& l) {
    text += Format("  %-17s %7ld %7ld %6ld %5ld %5ld | %ld / %ld / %ld\n", name, l.correct, l.rejects, l.substitutions,
                   l.deletions, l.insertions, l.linesRead, l.linesRejected, l.linesMisread);
  };
  row("decoder A", t.decoderA);
  row("device library", t.library);
  row("optical", t.optical);
  row("final KR", t.kr.tally);
  row("final combination", t.combine.tally);
  const auto status = [&](const char* name, const MergeOutcome& m) {
    text += Format("  %-17s status right/wrong@/wrong:", name);
    for (int s = 0; s < 4; ++s)
      text += Format("  %d: %ld/%ld/%ld", s, m.byStatus[s][0], m.byStatus[s][1], m.byStatus[s][2]);
    text += Format("  | undetected %ld, status 3 wrong %ld\n", m.Undetected(), m.StatusThreeWrong());
  };
  status("final KR", t.kr);
  status("final combination", t.combine);
  return text;
}

}  // namespace analysis::micr::testing
