// The verified scan against the real API, device library and a simulated QV630 reading magnetic lines with
// the template decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/api_binding.h"
#include "analysis/iqa/iqa_image.h"
#include "analysis/vekscan/tests/scan_result.h"
#include "api_fixture.h"
#include "driver/device_registry.h"
#include "platform/dynlib.h"
#include "sim/catalog.h"
#include "sim/documents/document_variants.h"
#include "sim/firmware_package_builder.h"
#include "sim/qv63x_device.h"
#include "sim/qv63x_document_feeder.h"
#include "testkit/support/external_tool.h"
#include "zarn/analysis.h"
#include "zarn/ferlo.h"
#include "zarn/lifecycle.h"
#include "zarn/optical_codeline.h"
#include "zarn/qv600.h"
#include "zarn/scan.h"
#include "zarn/status.h"

namespace zarn {
namespace {

using testing::VEKScanResult;

// The stand-in's record of calls (the API's load shares the loaded module), cleared when asked.
std::string ManagerCalls(bool clear = false) {
  plat::ModuleHandle m = plat::LoadLibraryA(ZC_FERLO_STANDIN);
  if (m == nullptr) return "<not loaded>";
  const std::string calls = reinterpret_cast<const char* (*)()>(plat::GetProcAddress(m, "FerloStandInCalls"))();
  if (clear) reinterpret_cast<void (*)()>(plat::GetProcAddress(m, "FerloStandInClear"))();
  plat::FreeLibrary(m);
  return calls;
}

std::string Without(std::string text, char drop) {
  std::erase(text, drop);
  return text;
}

class VEKScanSimTest : public testing::ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    std::ofstream(dir_.Path() + "/Qv6ExtendedSetup.ini") << "[TIMER POLLING]\nT.Check(msec)=20\nT.Poll(msec)=5\n";
    drv::DeviceRegistry::Instance().Reset();
    device_ = std::static_pointer_cast<sim::Qv63xDevice>(sim::AttachScanner(sim::Model::kQv630));
    std::filesystem::create_directories(dir_.Path() + "/drivers");
    sim::WritePackage(dir_.Path() + "/drivers/QV630Firmware.bin", sim::StandardPackage("VEK Corporation", "1.0.0.0"));
    ResetQv600ForTests();
    ResetDriverFileForTests();
    ResetLifecycleForTests();
    SetQv6LibraryFile(ZC_REAL_DEVICE_LIBRARY);
    SetCodeLineFormatter(&funcAssembleMICR);
    funcTableSetParamString(135, "NOINI");
    funcTableSetParamString(158, "200");
    funcTableSetParamString(159, "KR");
    analysis::InstallIntoApi();
    // The site's cheque size (6.0 x 2.7 inches) and a speckle limit for the simulator's textured paper.
    analysis::iqa::SetStandardCheckSizes(1, 0, 60, 27, 2);
  }
  void Settings() { funcTableSetParam(151, 2000); }
  void TearDown() override {
    if (Api().zarnInitialised) ZARNExit();
    ResetFerloForTests();
    analysis::RemoveFromApi();
    analysis::iqa::SetStandardCheckSizes(0, 0, 0, 0, 0);
    SetCodeLineFormatter(nullptr);
    UnloadQv6Library();
    ResetQv600ForTests();
    drv::DeviceRegistry::Instance().Reset();
    ApiTest::TearDown();
  }
  void Feed(sim::documents::DocumentStack stack) {
    feeder_ = std::make_shared<sim::Qv63xDocumentFeeder>(std::move(stack));
    device_->SetDocumentSource(feeder_);
  }
  std::string Expected(size_t index) const {
    auto record = feeder_->feeder().RecordOf(index);
    return record ? record->codeLine : std::string("?");
  }
  testing::VEKScanResult Scan(const std::string& stem) {
    const std::string gray = stem + "f.jpg";
    return testing::RunVEKScan(stem + "f.tif", stem + "r.tif", gray.c_str());
  }
  std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }
  std::shared_ptr<sim::Qv63xDevice> device_;
  std::shared_ptr<sim::Qv63xDocumentFeeder> feeder_;
};

TEST_F(VEKScanSimTest, CleanGrayChequesGiveTheSimulatorsLineAndStatusZero) {
  // The scanner-manager stand-in, enabled in the API's INI file and loaded at start-up, receives one report
  // per document.
  std::ofstream(Path("zarnscan.ini")) << "[VEKSCAN]\nFerlo Enable=1\n";
  funcTableSetParamString(135, Path("zarnscan.ini").c_str());
  funcTableSetParamString(177, ZC_FERLO_STANDIN);
  ManagerCalls(true);
  ASSERT_EQ(ZARNInit(), 1);
  Settings();
  sim::documents::DocumentStack stack(41);
  stack.AddCheques(3);
  Feed(std::move(stack));
  const bool haveTiff = zc::testkit::HaveTool("tiffinfo");
  const bool havePil = zc::testkit::HavePythonModule("PIL");
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE("document " + std::to_string(i));
    const std::string stem = "d" + std::to_string(i);
    const VEKScanResult r = Scan(stem);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(Without(r.line, ' '), Without(Expected(i), ' '));
    EXPECT_EQ(r.status, 0) << ::testing::PrintToString(std::vector<int32_t>(r.doc, r.doc + 32)) << " contrast " << r.contrast;
    for (const char* side : {"f.tif", "r.tif"}) {
      ASSERT_TRUE(std::filesystem::exists(Path(stem + side)));
      if (haveTiff) {
        const std::string info = zc::testkit::RunCommand("tiffinfo " + Path(stem + side) + " 2>&1").output;
        EXPECT_NE(info.find("CCITT Group 4"), std::string::npos) << info;
        EXPECT_EQ(info.find("Error"), std::string::npos) << info;
      }
    }
    if (havePil) {
      const std::string out = zc::testkit::RunCommand("/usr/bin/python3 -c \"from PIL import Image; im=Image.open('" +
                                                      Path(stem + "f.jpg") + "'); print(im.format, im.mode)\" 2>&1")
                                  .output;
      EXPECT_EQ(out, "JPEG L\n");
    }
  }
  EXPECT_EQ(ZARNExit(), 1);
  const std::string calls = ManagerCalls(true);
  std::vector<std::string> reported;
  for (size_t at = calls.find("BeginDocument\n"); at != std::string::npos; at = calls.find("BeginDocument\n", at + 1)) {
    const std::string key = "WriteData|MICRReadsStatics|NumberOfCodelineCharacterReturned|";
    const size_t k = calls.find(key, at);
    ASSERT_NE(k, std::string::npos);
    reported.push_back(calls.substr(k + key.size(), calls.find('\n', k) - k - key.size()));
  }
  std::vector<std::string> expected;
  for (size_t i = 0; i < 3; ++i) expected.push_back(std::to_string(Without(Expected(i), ' ').size()));
  EXPECT_EQ(reported, expected) << calls;
  EXPECT_EQ(calls.find("Exception"), std::string::npos) << calls;
}

TEST_F(VEKScanSimTest, ADoubleFeedInNoStopModeGivesMinus217) {
  ASSERT_EQ(ZARNInit(), 1);
  Settings();
  funcTableSetParam(7, 2);
  sim::documents::DocumentStack stack(43);
  stack.AddCheque();
  stack.AddCheque({.doubleFeed = true});
  stack.AddCheque();
  Feed(std::move(stack));
  EXPECT_EQ(Scan("a").rc, 0);
  // No-stop mode waits for the double feed's images, which the simulated scanner does not send: wait briefly.
  const int feedWait = funcTableGetParam(109);
  funcTableSetParam(109, 2000);
  const VEKScanResult r = Scan("b");
  funcTableSetParam(109, feedWait);
  EXPECT_EQ(r.rc, kDoubleFeed);
  const VEKScanResult next = Scan("c");
  EXPECT_EQ(next.rc, 0);
  EXPECT_EQ(Without(next.line, ' '), Without(Expected(2), ' '));
}

TEST_F(VEKScanSimTest, AnUpsideDownDocumentGivesTheOpticalLineAndTwoHundredFiftySixMore) {
  ASSERT_EQ(ZARNInit(), 1);
  Settings();
  funcTableSetParam(156, 0x1 | 0x400);
  sim::documents::Document turned = sim::documents::MakeCheque(7);
  const std::string printed = turned.codeLine;
  sim::documents::DocumentStack stack(45);
  stack.Push(sim::documents::UpsideDown(std::move(turned)));
  Feed(std::move(stack));
  const VEKScanResult r = Scan("u");
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.doc[30], 1);
  // 256 for the turn, 256 for the magnetic print quality graded on a line the head did not read.
  EXPECT_EQ(r.status, 512) << ::testing::PrintToString(std::vector<int32_t>(r.doc, r.doc + 32));
  EXPECT_EQ(Without(r.line, ' '), Without(printed, ' '));
}

TEST_F(VEKScanSimTest, ScanUnderKrGivesTheSimulatorsLines) {
  ASSERT_EQ(ZARNInit(), 1);
  sim::documents::DocumentStack stack(51);
  stack.AddCheques(3);
  Feed(std::move(stack));
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE("document " + std::to_string(i));
    char fs[12] = {}, rs[12] = {}, line[kScanCodeLineBuffer] = {}, len[12] = {};
    const std::string front = "k" + std::to_string(i) + ".tif";
    ASSERT_EQ(ZARNScan(7, front.c_str(), fs, "kr.tif", rs, line, len), 0);
    EXPECT_EQ(Without(line, ' '), Without(Expected(i), ' '));
  }
  EXPECT_EQ(ZARNExit(), 1);
}

TEST_F(VEKScanSimTest, AShortDocumentIsADefect) {
  ASSERT_EQ(ZARNInit(), 1);
  Settings();
  funcTableSetParam(192, 70);  // 7 inches at least
  sim::documents::DocumentStack stack(47);
  stack.AddCheque();
  Feed(std::move(stack));
  const VEKScanResult r = Scan("s");
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.status, 256);
}

// Documents whose magnetic and printed code lines differ, one change each, on the cheque of seed 101
// (":315061036: 0585892< 1357"). The final line and the verification status follow from the two forms and
// the "KR" merge: where both forms agree the line is verified the same (3), even on a character neither
// form carries; a printed character that is missing or unlike the magnetic one leaves the magnetic line,
// unless the two form one of the merge's confusable pairs, where the print wins; a magnetic gap stays a
// gap. Any of these is "repaired or nothing verified" (2).
enum class FinalFrom { kBothForms, kMagneticForm, kPrintedForm };

struct FormsCase {
  const char* name;
  std::function<void(sim::documents::LineForms&, const std::string&)> change;
  FinalFrom final;
  const char* statuses;  // the verification statuses the case allows
};

constexpr uint32_t kFormsSeed = 101;

// Positions of the seed's line: transit digits 1..9 (5 is a '6'), account digits 12..18 (13 is a '5',
// 14 an '8').
void Ink(sim::documents::LineForms& f, const std::string& line, size_t at, double ink) {
  f.magneticInk.resize(line.size(), 1.0);
  f.magneticInk[at] = ink;
}
void Mark(sim::documents::LineForms& f, const std::string& line, size_t at, sim::documents::PrintMark mark) {
  f.printMarks.resize(line.size(), sim::documents::PrintMark::kClean);
  f.printMarks[at] = mark;
}
void Print(sim::documents::LineForms& f, const std::string& line, size_t at, char printed) {
  if (f.printed.empty()) f.printed = line;
  f.printed[at] = printed;
}

// What a perfect reader of each form returns: a character without ink or print is a gap.
std::string MagneticForm(const sim::documents::Document& d) {
  std::string line = d.codeLine;
  for (size_t i = 0; i < line.size() && i < d.forms.magneticInk.size(); ++i)
    if (d.forms.magneticInk[i] == 0) line[i] = ' ';
  return line;
}
std::string PrintedForm(const sim::documents::Document& d) {
  std::string line = d.PrintedLine();
  for (size_t i = 0; i < line.size() && i < d.forms.printMarks.size(); ++i)
    if (d.forms.printMarks[i] == sim::documents::PrintMark::kVoid) line[i] = ' ';
  return line;
}

class VEKScanFormsTest : public VEKScanSimTest, public ::testing::WithParamInterface<FormsCase> {};

TEST_P(VEKScanFormsTest, GiveTheFinalLineAndVerificationStatusOfTheirForms) {
  const FormsCase& c = GetParam();
  ASSERT_EQ(ZARNInit(), 1);
  Settings();
  using namespace sim::documents;
  ChequeOptions options;
  c.change(options.forms, MakeCodeLine(kFormsSeed, MicrFont::kE13b));
  Document document = MakeCheque(kFormsSeed, options);
  const std::string magnetic = MagneticForm(document), printed = PrintedForm(document);
  DocumentStack stack(53);
  stack.Push(std::move(document));
  Feed(std::move(stack));
  const VEKScanResult r = Scan("m");
  ASSERT_EQ(r.rc, 0);
  std::string expected = c.final == FinalFrom::kPrintedForm ? printed : magnetic;
  if (c.final == FinalFrom::kBothForms) EXPECT_EQ(magnetic, printed) << "the case's forms should agree";
  EXPECT_EQ(Without(r.line, ' '), Without(expected, ' ')) << "magnetic [" << magnetic << "] printed [" << printed << "]";
  const int status = funcGetMICRVerifyStatus();
  EXPECT_NE(std::strchr(c.statuses, '0' + status), nullptr) << "verification status " << status;
  EXPECT_EQ(ZARNExit(), 1);
}

using sim::documents::PrintMark;
INSTANTIATE_TEST_SUITE_P(
    DifferingForms, VEKScanFormsTest,
    ::testing::Values(
        FormsCase{"Clean", [](auto&, const std::string&) {}, FinalFrom::kBothForms, "3"},
        FormsCase{"PrintedDigitVoided", [](auto& f, const std::string& l) { Mark(f, l, 14, PrintMark::kVoid); },
                  FinalFrom::kMagneticForm, "2"},
        FormsCase{"PrintedThreeOverMagneticEight", [](auto& f, const std::string& l) { Print(f, l, 14, '3'); },
                  FinalFrom::kMagneticForm, "2"},
        FormsCase{"PrintedTwoOverMagneticFive", [](auto& f, const std::string& l) { Print(f, l, 13, '2'); },
                  FinalFrom::kPrintedForm, "2"},
        FormsCase{"PrintedZeroOverMagneticSix", [](auto& f, const std::string& l) { Print(f, l, 5, '0'); },
                  FinalFrom::kPrintedForm, "2"},
        FormsCase{"DigitWithoutMagneticInk", [](auto& f, const std::string& l) { Ink(f, l, 14, 0); },
                  FinalFrom::kMagneticForm, "2"},
        FormsCase{"DigitWithoutMagneticInkAndVoided",
                  [](auto& f, const std::string& l) {
                    Ink(f, l, 14, 0);
                    Mark(f, l, 14, PrintMark::kVoid);
                  },
                  FinalFrom::kBothForms, "3"},
        FormsCase{"NoMagneticInkOnOneDigitAndAnotherVoided",
                  [](auto& f, const std::string& l) {
                    Ink(f, l, 14, 0);
                    Mark(f, l, 3, PrintMark::kVoid);
                  },
                  FinalFrom::kMagneticForm, "2"},
        // Weak ink reads as a doubtful character that the print repairs, or whole.
        FormsCase{"WeakMagneticInkOnADigit", [](auto& f, const std::string& l) { Ink(f, l, 14, 0.3); },
                  FinalFrom::kPrintedForm, "23"}),
    [](const auto& p) { return std::string(p.param.name); });

// The edge conversion takes its black and white levels from each front's histogram, so flat paper and ink
// of any tones convert alike; its contrast is a threshold on absolute gray-level differences, so a paper
// grain whose differences lie across 450..1000 turns to speckles below some contrast and not above it. With
// the sweep over 450..1000 by 150 and a speckle limit of 1000 (the term counts from 500 speckles), the
// grading picks a higher contrast the coarser the grain, and the line reads at each.
struct ToneCase {
  const char* name;
  sim::documents::Tones tones;
  int contrast;  // the best the sweep finds
};

class VEKScanTonesTest : public VEKScanSimTest, public ::testing::WithParamInterface<ToneCase> {};

TEST_P(VEKScanTonesTest, GradeTheSweepsContrasts) {
  ASSERT_EQ(ZARNInit(), 1);
  Settings();
  funcTableSetParam(151, 1000);
  funcTableSetParam(148, 1000);
  const sim::documents::Document cheque = sim::documents::MakeCheque(9);
  sim::documents::DocumentStack stack(61);
  stack.Push(sim::documents::Toned(cheque, GetParam().tones));
  Feed(std::move(stack));
  const VEKScanResult r = Scan("t");
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.contrast, GetParam().contrast) << "status " << r.status << ", speckles " << r.doc[1];
  EXPECT_EQ(Without(r.line, ' '), Without(cheque.codeLine, ' '));
}

INSTANTIATE_TEST_SUITE_P(
    PaperAndInk, VEKScanTonesTest,
    ::testing::Values(ToneCase{"WhitePaperBlackInk", {236, 20, 0}, 450}, ToneCase{"GreyPaperGreyInk", {200, 120, 0}, 450},
                      ToneCase{"FineGrain", {236, 20, 30}, 600}, ToneCase{"MediumGrain", {236, 20, 40}, 750},
                      ToneCase{"CoarseGrain", {236, 20, 55}, 900}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace zarn
