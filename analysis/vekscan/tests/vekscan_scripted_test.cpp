// The verified scan through the API on the scripted fake device library, which delivers the simulator's
// 300-dpi gray faces and magnetic samples: the CMC-7 reading of the front, scaling before the conversions,
// and the second magnetic pass of the RM 70.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/micr/verify_state.h"
#include "analysis/api_binding.h"
#include "analysis/iqa/iqa_image.h"
#include "analysis/vekscan/tests/scan_result.h"
#include "analysis/vekscan/vekscan.h"
#include "fake_qv6_fixture.h"
#include "platform/byte_order.h"
#include "sim/documents/document.h"
#include "zarn/analysis.h"
#include "zarn/lifecycle.h"
#include "zarn/optical_codeline.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/scan.h"
#include "zarn/status.h"

namespace zarn {
namespace {

using testing::VEKScanResult;

using sim::documents::ChequeOptions;
using sim::documents::Document;
using sim::documents::MicrFont;
using sim::documents::PrintMark;

constexpr int kQv630Rate = 63200;
constexpr int kRm70Rate = 74000;

std::string Without(std::string text, char drop) {
  std::erase(text, drop);
  return text;
}

// A face as the device library hands it over: an 8-bit gray packed DIB, bottom row first.
std::vector<uint8_t> GrayDib(const sim::documents::SideImage& face) {
  const size_t stride = (static_cast<size_t>(face.width) + 3) & ~size_t{3};
  std::vector<uint8_t> dib(40 + 1024 + stride * static_cast<size_t>(face.height), 0);
  plat::bytes::PutLe32(dib.data(), 40);
  plat::bytes::PutLe32(dib.data() + 4, static_cast<uint32_t>(face.width));
  plat::bytes::PutLe32(dib.data() + 8, static_cast<uint32_t>(face.height));
  plat::bytes::PutLe16(dib.data() + 12, 1);
  plat::bytes::PutLe16(dib.data() + 14, 8);
  for (int i = 0; i < 256; ++i) {
    uint8_t* e = dib.data() + 40 + 4 * i;
    e[0] = e[1] = e[2] = static_cast<uint8_t>(i);
  }
  uint8_t* pixels = dib.data() + 40 + 1024;
  for (int y = 0; y < face.height; ++y) {
    uint8_t* row = pixels + stride * static_cast<size_t>(face.height - 1 - y);
    for (int x = 0; x < face.width; ++x) {
      const sim::documents::Rgb p = face.At(x, y);
      row[x] = static_cast<uint8_t>((p.r * 77 + p.g * 150 + p.b * 29) >> 8);
    }
  }
  return dib;
}

// The document as the scanner delivers it, its magnetic samples read at `rate` with the head's gain in
// hundredths: the amplifier raises weak ink and saturates on full ink.
fake::FakeDocument Delivered(const Document& d, int rate, int gain = 100, const std::string& deviceLine = "") {
  Document read = d;
  if (gain != 100) {
    read.forms.magneticInk.resize(read.codeLine.size(), 1.0);
    for (double& ink : read.forms.magneticInk) ink = std::min(1.0, ink * gain / 100.0);
  }
  fake::FakeDocument f;
  f.codeLine = deviceLine;
  f.samples = read.MagneticSamples(rate);
  f.frontDib = GrayDib(d.front);
  f.rearDib = GrayDib(d.rear);
  f.statusWords = {{kStConnected | kStMicrReady | kStFrontReady | kStRearReady, 0}};
  f.delayMs = 30;
  return f;
}

fake::FakeDocument Jammed(fake::FakeDocument f) {
  f.statusWords = {{kStConnected, kErJam}};
  return f;
}

Document Cheque300(uint32_t seed, MicrFont font = MicrFont::kE13b, const sim::documents::LineForms& forms = {}) {
  ChequeOptions options;
  options.dpi = 300;
  options.font = font;
  options.forms = forms;
  return sim::documents::MakeCheque(seed, options);
}

class VEKScanScriptedTest : public Qv600Test {
 protected:
  void SetUp() override {
    Qv600Test::SetUp();
    funcTableSetParamString(159, "KR");
    analysis::InstallIntoApi();
    analysis::iqa::SetStandardCheckSizes(1, 0, 60, 27, 2);
  }
  void TearDown() override {
    if (Api().zarnInitialised) ZARNExit();
    analysis::RemoveFromApi();
    analysis::iqa::SetStandardCheckSizes(0, 0, 0, 0, 0);
    Qv600Test::TearDown();
  }
  void Start(const char* identity = "Orvisca Scanner Qv630", const char* maker = "VEK Corporation") {
    control_->SetIdentity(Identity({maker, identity, "", "1.00", "AB12100001", "1234", "56", "OK"}));
    ASSERT_EQ(ZARNInit(), 1);
    funcTableSetParam(109, 2000);
    funcTableSetParam(36, 0);  // no cropping: the faces are the documents
    funcTableSetParam(151, 2000);
    ASSERT_GE(ZARNSetParam(6, 4), 0);  // 300 dpi
  }
  testing::VEKScanResult Scan(const std::string& stem, const char* frontImage = nullptr) {
    return testing::RunVEKScan(Path(stem + "f.tif"), Path(stem + "r.tif"), frontImage);
  }
  std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }
};

// ---- CMC-7: the front read optically and merged into the magnetic line (step 6) -----------------------

// Failure messages and test lists name a case, not its bytes.
template <class Case>
  requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

struct Cmc7Case {
  const char* name;
  int resolution;      // parameter 6
  size_t voidedPrint;  // printed characters voided from the left
  bool repaired;       // the final line is the printed one; otherwise the device's magnetic line
  bool fewGood;        // fewer than 11 good optical characters: 512 more
};

class VEKScanCmc7Test : public VEKScanScriptedTest, public ::testing::WithParamInterface<Cmc7Case> {};

TEST_P(VEKScanCmc7Test, RepairsTheMagneticLineFromThePrintAt300Dpi) {
  const Cmc7Case& c = GetParam();
  funcTableSetParamString(159, "KWL");  // the device library reads CMC-7
  Start();
  funcTableSetParam(2, 0);
  ASSERT_GE(ZARNSetParam(6, c.resolution), 0);
  sim::documents::LineForms forms;
  const std::string line = sim::documents::MakeCodeLine(201, MicrFont::kCmc7);  // "<027755518> 3159051: 8794"
  forms.printMarks.assign(line.size(), PrintMark::kClean);
  for (size_t i = 0; i < c.voidedPrint; ++i) forms.printMarks[i] = PrintMark::kVoid;
  const Document d = Cheque300(201, MicrFont::kCmc7, forms);
  std::string magnetic = d.codeLine;
  magnetic[3] = magnetic[14] = '@';
  fake::FakeDocument f = Delivered(d, kQv630Rate, 100, magnetic);
  f.samples.clear();
  control_->QueueDocument(f);
  // An earlier document's E13B combination left its flags; a CMC-7 line is never combined that way and
  // must not be graded on them.
  analysis::MICRVerifyFlags = 0x10;
  const VEKScanResult r = Scan("c");
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.line, c.repaired ? d.codeLine : magnetic);
  EXPECT_EQ((r.status & 512) != 0, c.fewGood) << r.status;
  if (c.repaired) EXPECT_EQ(r.status, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, VEKScanCmc7Test,
    ::testing::Values(Cmc7Case{"CleanPrintAt300Dpi", 4, 0, true, false},
                      Cmc7Case{"PrintMostlyVoidedAt300Dpi", 4, 16, false, true},
                      Cmc7Case{"CleanPrintAt200DpiKeepsTheMagneticLine", 1, 0, false, false}),
    [](const auto& p) { return std::string(p.param.name); });

// Automatic font: the template decoder reads no E13B in the CMC-7 samples, the API's second decoder
// reads them and its line replaces it, so the document's line is not the template decoder's and the print
// is read as CMC-7 (an E13B reading of it fails and would cost the code-line check's score).
TEST_F(VEKScanScriptedTest, AutomaticFontTakesTheCmc7PathWhenTheSecondDecoderRead) {
  funcTableSetParamString(159, "KR");
  Start();
  funcTableSetParam(2, 2);
  const Document d = Cheque300(203, MicrFont::kCmc7);
  control_->QueueDocument(Delivered(d, kQv630Rate, 100, std::string(d.codeLine.size(), '@')));
  const VEKScanResult r = Scan("a");
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(zarn::Qv600().krDecodeKept.load(), 0);
  EXPECT_EQ(r.line, d.codeLine);
  EXPECT_EQ(r.status, 0);
}

// ---- Scaling of both sides before the conversions ---------------------------------------------------

struct ScaleCase {
  const char* name;
  int32_t options;
  int dpi;  // of the graded front
};

class VEKScanScaleTest : public VEKScanScriptedTest, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(VEKScanScaleTest, ConvertsAndGradesAtTheScaledResolution) {
  Start();
  funcTableSetParam(156, GetParam().options);
  const Document d = Cheque300(202);
  control_->QueueDocument(Delivered(d, kQv630Rate));
  const VEKScanResult r = Scan("s");
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.doc[24], GetParam().dpi);
  EXPECT_EQ(r.doc[23], 60 * 256 + 27) << "the document's size in tenths of an inch";
  EXPECT_EQ(Without(r.line, ' '), Without(d.codeLine, ' '));
  EXPECT_EQ(r.status, 0);
}

INSTANTIATE_TEST_SUITE_P(Options, VEKScanScaleTest,
                         ::testing::Values(ScaleCase{"None", 0, 300}, ScaleCase{"To240Dpi", 0x200, 240},
                                           ScaleCase{"To200Dpi", 0x1000, 200}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- Two-pass magnetic reading on the RM 70 ------------------------------------------------------------

class VEKScanTwoPassTest : public VEKScanScriptedTest {
 protected:
  void SetUp() override {
    VEKScanScriptedTest::SetUp();
    Start("Orvisca Scanner RM 70", "VEK Corp.");
    ASSERT_EQ(funcTableGetParam(167), 30);
  }
  // One digit in weak magnetic ink and not printed, so the print cannot stand in for it.
  static Document WeakInk() {
    sim::documents::LineForms forms;
    const std::string line = sim::documents::MakeCodeLine(kSeed, MicrFont::kE13b);  // ":237408049: 5996887< 1195"
    forms.magneticInk.assign(line.size(), 1.0);
    forms.magneticInk[14] = 0.22;
    forms.printMarks.assign(line.size(), PrintMark::kClean);
    forms.printMarks[14] = PrintMark::kVoid;
    return Cheque300(kSeed, MicrFont::kE13b, forms);
  }
  std::vector<int> Gains() const {
    std::vector<int> gains;
    for (const std::string& c : Calls("QV6SetConfig_MicrGain(")) gains.push_back(std::atoi(c.c_str() + c.find(',') + 1));
    return gains;
  }
  void ExpectRestored() {
    EXPECT_EQ(funcTableGetParam(191), 1);
    EXPECT_EQ(funcTableGetParam(193), 100);
    EXPECT_EQ(funcTableGetParam(194), 0);
  }
  static constexpr uint32_t kSeed = 205;
};

TEST_F(VEKScanTwoPassTest, TheSecondPassAtGain200ReadsTheWeakDigit) {
  const Document d = WeakInk();
  control_->QueueDocument(Delivered(d, kRm70Rate));
  const VEKScanResult one = Scan("o");
  ASSERT_EQ(one.rc, 0);
  EXPECT_NE(Without(one.line, ' '), Without(d.codeLine, ' ')) << "one pass misses the weak digit";

  funcTableSetParam(156, 0x800);
  control_->ClearCallLog();
  control_->QueueDocument(Delivered(d, kRm70Rate));
  control_->QueueDocument(Delivered(d, kRm70Rate, 200));
  const VEKScanResult two = Scan("t");
  ASSERT_EQ(two.rc, 0);
  EXPECT_EQ(Without(two.line, ' '), Without(d.codeLine, ' '));
  EXPECT_EQ(Gains(), (std::vector<int>{200, 100})) << "the second pass at gain 200, then back";
  ExpectRestored();
}

struct TwoPassFailure {
  const char* name;
  bool firstJams, secondJams, unwritableImage;
  bool secondPass;  // the failure comes in the second pass
};

class VEKScanTwoPassFailureTest : public VEKScanTwoPassTest, public ::testing::WithParamInterface<TwoPassFailure> {};

TEST_P(VEKScanTwoPassFailureTest, RestoresScanModeAndGain) {
  const TwoPassFailure& c = GetParam();
  funcTableSetParam(156, 0x800);
  funcTableSetParam(150, 200);
  const Document d = WeakInk();
  fake::FakeDocument first = Delivered(d, kRm70Rate), second = Delivered(d, kRm70Rate, 200);
  control_->QueueDocument(c.firstJams ? Jammed(first) : first);
  control_->QueueDocument(c.secondJams ? Jammed(second) : second);
  const std::string image = c.unwritableImage ? Path("missing/f.jpg") : Path("f.jpg");
  control_->ClearCallLog();
  const VEKScanResult r = Scan("x", image.c_str());
  EXPECT_LT(r.rc, 0);
  EXPECT_EQ(Gains().empty(), !c.secondPass);
  ExpectRestored();
}

INSTANTIATE_TEST_SUITE_P(Failures, VEKScanTwoPassFailureTest,
                         ::testing::Values(TwoPassFailure{"FirstScanJams", true, false, false, false},
                                           TwoPassFailure{"SecondScanJams", false, true, false, true},
                                           TwoPassFailure{"GrayImageCannotBeWritten", false, false, true, false}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- A double feed in the no-stop mode -----------------------------------------------------------------

// The sheets' images still arrive; the document check keeps the double feed for a line with two rejects,
// and the verified scan writes every image before it answers -217.
TEST_F(VEKScanScriptedTest, ADoubleFeedInNoStopModeWritesTheImagesAndGivesMinus217) {
  funcTableSetParamString(159, "KWL");
  Start();
  funcTableSetParam(7, 2);
  funcTableSetParam(150, 200);
  const Document d = Cheque300(204);
  fake::FakeDocument f = Delivered(d, kQv630Rate, 100, "T76@@04313T");
  f.samples.clear();
  f.statusWords = {{kStConnected | kStFrontReady | kStRearReady, kErDoubleFeed}};
  control_->QueueDocument(f);
  const std::string gray = Path("df.jpg");
  const VEKScanResult r = Scan("d", gray.c_str());
  EXPECT_EQ(r.rc, kDoubleFeed);
  for (const char* name : {"df.tif", "dr.tif", "df.jpg"}) {
    std::error_code error;
    EXPECT_GT(std::filesystem::file_size(Path(name), error), 0u) << name;
  }
}

}  // namespace
}  // namespace zarn
