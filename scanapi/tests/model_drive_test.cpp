// Every simulated model driven through the API as a user's program drives it: ZARNInit, a stack of
// cheques in black-and-white, gray and (where the model has it) colour, then ZARNExit. A model of the
// QV600 line is identified as its model number, each scan gives the simulator's code line and files that
// the program's own readers and Debian's tools read back at the fed cheque's size, and no cheque is lost.
// A model that the API does not know connects, but ZARNInit refuses it as an unknown model.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/api_binding.h"
#include "api_fixture.h"
#include "codec/tests/bilevel_test_support.h"
#include "imaging/tiff_read.h"
#include "platform/clock.h"
#include "sim/simulator.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/pnm.h"
#include "zarn/lifecycle.h"
#include "zarn/optical_codeline.h"
#include "zarn/qv600.h"
#include "zarn/scan.h"
#include "zarn/status.h"

namespace zarn {
namespace {

// How long a scan call waits for its document (parameter 109): far above what the simulator needs, as
// sanitizer builds on a loaded machine take seconds per document.
constexpr int kFeedWaitMs = 30000;
// Cheques per image mode.
constexpr int kPerMode = 2;

enum Mode { kBw, kGray, kColour };

struct ModelCase {
  const char* name;  // the simulator's model name
  int model;         // the model number the API identifies, or the refusal of an unknown model
  bool colour;       // the API scans it in colour
  int resolution;    // the images' dots per inch
  // The "KR" decoder reads a colour scan of this model at another density than the device library
  // delivers (the RM 70's 54000 in colour against the 70919 of all its scans), so colour code lines come
  // from the device library's decoder.
  bool kwlInColour = false;
};

std::ostream& operator<<(std::ostream& os, const ModelCase& c) { return os << c.name; }

constexpr int kUnknownModel = -5;

std::string Without(std::string text, char drop) {
  std::erase(text, drop);
  return text;
}

// Page 1 of a bilevel TIFF decoded by the program's own reader and the codec, the whole page at 1:1 as the
// page loaders place its strips; empty when the file is no bilevel TIFF.
zc::testkit::BilevelImage DecodeG4(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return {};
  zc::codec::ImageView v{};
  if (zc::imaging::funcReadTIFFInfo(fd, &v, 1) != 0) {
    ::close(fd);
    return {};
  }
  v.fileHandle = fd;
  v.windowWidth = (v.width + 7) / 8 * 8;
  v.windowHeight = v.length;
  v.zoomX = v.zoomY = 2048;
  v.panX = v.panY = 0;
  v.rotation = 0;
  v.optionFlags = 0;
  zc::testkit::BilevelImage page = zc::codec::test::decodeView(v).image;
  ::close(fd);
  // The window is whole bytes wide; the page is the file's width.
  page.width = v.width;
  return page;
}

// The luminance of a simulator image at (x, y), y counted from the top.
double Luma(const sim::HostImage& image, int x, int y) {
  const int row = image.height - 1 - y;
  const size_t stride = (static_cast<size_t>(image.width) * image.bitCount + 7) / 8;
  const uint8_t* p = image.pixels.data() + row * stride;
  if (image.bitCount == 24) return 0.114 * p[3 * x] + 0.587 * p[3 * x + 1] + 0.299 * p[3 * x + 2];
  if (image.bitCount == 4) return ((p[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0xF) * 17.0;
  return p[x];
}

class ModelDriveTest : public testing::ApiTest, public ::testing::WithParamInterface<ModelCase> {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    ResetQv600ForTests();
    ResetDriverFileForTests();
    ResetLifecycleForTests();
    std::ofstream(dir_.Path() + "/Qv6ExtendedSetup.ini") << "[TIMER POLLING]\nT.Check(msec)=20\nT.Poll(msec)=5\n";
    SetQv6LibraryFile(ZC_REAL_DEVICE_LIBRARY);
    // The program's set-up: document analysis joined to the API (the magnetic decoder of the default
    // method "KR"), code lines formatted as the callbacks deliver them.
    analysis::InstallIntoApi();
    SetCodeLineFormatter(&funcAssembleMICR);
    funcTableSetParamString(135, "NOINI");
    funcTableSetParamString(158, "200");
  }
  void TearDown() override {
    if (Api().zarnInitialised) ZARNExit();
    scanner_.reset();
    SetCodeLineFormatter(nullptr);
    analysis::RemoveFromApi();
    UnloadQv6Library();
    ResetQv600ForTests();
    ApiTest::TearDown();
  }
  // The scanner with its firmware package where the device library reads it: the API names the files
  // of its own models in the System folder's "drivers"; the others keep their default name in the
  // current folder.
  void Attach(const ModelCase& c, int cheques, bool colour) {
    sim::ScannerSpec spec;
    spec.model = c.name;
    spec.documents.count = cheques;
    spec.documents.seed = 2026;
    spec.documents.colour = colour;
    spec.hostResolution = c.resolution;
    spec.firmwareFolder = c.model > 0 ? dir_.Path() + "/drivers" : dir_.Path();
    std::filesystem::create_directories(dir_.Path() + "/drivers");
    std::filesystem::create_directories(dir_.Path() + "/images");
    std::string error;
    scanner_ = sim::SimulatedScanner::Attach(spec, &error);
    ASSERT_NE(scanner_, nullptr) << error;
  }

  // One scan in `mode` to files; checks the result, the code line and both files against the cheque fed.
  void ScanOne(Mode mode, size_t fed) {
    const std::string n = std::to_string(fed);
    char fs[12] = {}, rs[12] = {}, line[kScanCodeLineBuffer] = {}, len[12] = {};
    const bool g4 = mode == kBw;
    const std::string front = "images\\F" + n + (g4 ? ".tif" : ".jpg");
    const std::string rear = "images\\R" + n + (g4 ? ".tif" : ".jpg");
    const int r = g4 ? ZARNScan(7, front.c_str(), fs, rear.c_str(), rs, line, len)
                     : ZARNScanGray(7, front.c_str(), fs, rear.c_str(), rs, line, len, 4);
    ASSERT_EQ(r, 0);
    const auto report = scanner_->Fed(fed);
    ASSERT_TRUE(report && report->front && report->rear) << "not fed whole";
    EXPECT_EQ(Without(line, ' '), Without(report->codeLine, ' '));
    EXPECT_EQ(std::atoi(len), static_cast<int>(std::strlen(line)));
    const struct {
      std::string path;
      const char* size;
      const sim::HostImage& expected;
    } sides[] = {{dir_.Path() + "/images/F" + n + (g4 ? ".tif" : ".jpg"), fs, *report->front},
                 {dir_.Path() + "/images/R" + n + (g4 ? ".tif" : ".jpg"), rs, *report->rear}};
    for (const auto& side : sides) {
      SCOPED_TRACE(side.path);
      ASSERT_TRUE(std::filesystem::exists(side.path));
      EXPECT_EQ(static_cast<int>(std::filesystem::file_size(side.path)), std::atoi(side.size));
      if (g4) {
        CheckG4(side.path, side.expected);
      } else {
        CheckJpeg(side.path, side.expected, mode == kColour);
      }
    }
  }

  // The G4 page decodes at the cheque's size, and its black pixels lie where the cheque is dark.
  void CheckG4(const std::string& path, const sim::HostImage& expected) {
    const zc::testkit::BilevelImage page = DecodeG4(path);
    // The black-and-white conversion may cut a few rows of the cheque's edge.
    ASSERT_EQ(page.width, expected.width);
    ASSERT_LE(page.height, expected.height);
    ASSERT_GT(page.height, expected.height - 16);
    // The rows the conversion cut may be at either edge: the page is matched at its best row offset.
    size_t black = 0, blackOnDark = 0;
    for (int dy = 0; dy <= expected.height - page.height; ++dy) {
      size_t all = 0, onDark = 0;
      for (int y = 0; y < page.height; ++y) {
        for (int x = 0; x < page.width; ++x) {
          if (!page.black(x, y)) continue;
          ++all;
          onDark += Luma(expected, x, y + dy) < 128;
        }
      }
      if (dy == 0 || onDark > blackOnDark) black = all, blackOnDark = onDark;
    }
    const size_t all = static_cast<size_t>(page.width) * page.height;
    EXPECT_GT(black, all / 400) << "hardly any ink";
    EXPECT_LT(black, all / 3) << "mostly black";
    EXPECT_GT(blackOnDark, black * 8 / 10) << "ink where the cheque is light";
    if (zc::testkit::HaveTool("tiffinfo")) {
      const std::string info = zc::testkit::RunCommand("tiffinfo " + path + " 2>&1").output;
      EXPECT_NE(info.find("CCITT Group 4"), std::string::npos) << info;
      EXPECT_NE(info.find("Bits/Sample: 1"), std::string::npos) << info;
      EXPECT_EQ(info.find("Error"), std::string::npos) << info;
    }
  }

  // The JPEG file is gray or colour as asked, at the cheque's size by the program's reader, and decoded
  // by Debian's djpeg it is the cheque within the loss of the compression.
  void CheckJpeg(const std::string& path, const sim::HostImage& expected, bool colour) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    zc::codec::ImageView v{};
    const int r = zc::imaging::funcReadJPEGInfo(fd, &v);
    ::close(fd);
    ASSERT_EQ(r, 0);
    EXPECT_EQ(v.decoderMode, colour ? 1027 : 1028);
    EXPECT_EQ(v.width, expected.width);
    EXPECT_LE(v.length, expected.height);
    EXPECT_GT(v.length, expected.height - 16);
    EXPECT_EQ(expected.bitCount, colour ? 24 : 8);
    if (!zc::testkit::HaveTool("djpeg")) return;
    const std::string pnm = path + ".pnm";
    ASSERT_EQ(zc::testkit::RunCommand("djpeg -pnm -outfile " + pnm + " " + path + " 2>&1").status, 0);
    const auto image = zc::testkit::ReadPnm(pnm);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->format, colour ? zc::testkit::PnmFormat::kColor : zc::testkit::PnmFormat::kGray);
    ASSERT_EQ(image->width, expected.width);
    ASSERT_EQ(image->height, v.length);
    double best = 1e9;
    for (int dy = 0; dy <= expected.height - image->height; ++dy) {
      double difference = 0;
      for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
          const uint8_t* p = image->raster.data() + (static_cast<size_t>(y) * image->width + x) * image->channels();
          const double luma = colour ? 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2] : p[0];
          difference += std::fabs(luma - Luma(expected, x, y + dy));
        }
      }
      best = std::min(best, difference / (static_cast<double>(image->width) * image->height));
    }
    EXPECT_LT(best, 6.0);
  }

  std::unique_ptr<sim::SimulatedScanner> scanner_;
};

TEST_P(ModelDriveTest, InitScansEveryModeAndExits) {
  const ModelCase& c = GetParam();
  if (c.model < 0) {
    // Connected and read, but no model of the API's table.
    Attach(c, 0, false);
    if (::testing::Test::HasFatalFailure()) return;
    EXPECT_EQ(ZARNInit(), c.model);
    EXPECT_FALSE(Api().zarnInitialised);
    EXPECT_EQ(ZARNExit(), kInitScannerError);
    return;
  }
  // A stack in black-and-white then gray, and for a colour model a stack of colour cheques: one session
  // each, the colour settings made before its first scan.
  std::vector<std::vector<Mode>> stacks = {{kBw, kGray}};
  if (c.colour) stacks.push_back({kColour});
  for (const std::vector<Mode>& modes : stacks) {
    const bool colour = modes.front() == kColour;
    SCOPED_TRACE(colour ? "colour stack" : "gray stack");
    scanner_.reset();
    Attach(c, kPerMode * static_cast<int>(modes.size()), colour);
    if (::testing::Test::HasFatalFailure()) return;
    // Magnetic decoding by the program's "KR" decoder, the default, but where it is set for other colour
    // samples than the device library sends (see `kwlInColour`).
    if (colour && c.kwlInColour) funcTableSetParamString(159, "KWL");
    ASSERT_EQ(ZARNInit(), 1);
    EXPECT_EQ(funcGetScannerTypeCode(), 200);
    EXPECT_EQ(Api().scannerModel, c.model);
    EXPECT_EQ(funcTableGetParam(167), c.model);
    funcTableSetParam(109, kFeedWaitMs);
    // 256 gray levels; colour on both sides only for the colour stack.
    ZARNSetParam(45, 1);
    ZARNSetParam(119, colour ? 1 : 0);
    ZARNSetParam(126, colour ? 1 : 0);
    size_t fed = 0;
    for (Mode mode : modes) {
      for (int i = 0; i < kPerMode; ++i, ++fed) {
        SCOPED_TRACE("mode " + std::to_string(mode) + ", document " + std::to_string(fed));
        ScanOne(mode, fed);
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
    // The stack is through: every cheque fed once and scanned, and the next scan finds the feeder empty.
    funcTableSetParam(109, 500);
    char fs[12], rs[12], line[kScanCodeLineBuffer], len[12];
    EXPECT_EQ(ZARNScan(7, "images\\e.tif", fs, "images\\er.tif", rs, line, len), kFeederEmpty);
    EXPECT_EQ(scanner_->FedCount(), fed);
    EXPECT_EQ(scanner_->Waiting(), 0u);
    EXPECT_EQ(ZARNExit(), 1);
    EXPECT_EQ(ZARNExit(), kInitScannerError);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Models, ModelDriveTest,
    ::testing::Values(ModelCase{"QV600", 200, false, 200}, ModelCase{"QV605", 205, false, 200},
                      ModelCase{"QV620", 220, true, 200}, ModelCase{"QV630", 230, true, 200},
                      ModelCase{"QV840", 440, true, 200}, ModelCase{"QV640", 240, true, 200},
                      // The RM 70 keeps its sensors' 300 dpi.
                      ModelCase{"RM70", 30, true, 300, true}, ModelCase{"RM70KF", 30, true, 300, true},
                      ModelCase{"QV602", kUnknownModel, false, 200}, ModelCase{"KWL602", kUnknownModel, false, 200},
                      ModelCase{"QV702", kUnknownModel, false, 200}, ModelCase{"KWL603", kUnknownModel, false, 200},
                      ModelCase{"QV625", kUnknownModel, false, 200}, ModelCase{"QV9120", kUnknownModel, false, 200},
                      ModelCase{"KQV8", kUnknownModel, false, 200}),
    [](const auto& p) { return std::string(p.param.name); });

// Scanning stays on between scan calls, so the scanner feeds the next cheque as soon as a call returns. A
// setting changed then reloads the scanner; the cheque already fed is the next call's document (in the
// settings it was scanned with), and the one after it comes in the new settings. None is lost or fed twice.
class SettingChangeTest : public ModelDriveTest {};

TEST_P(SettingChangeTest, TheChequeFedBeforeAColourChangeIsTheNextCallsDocument) {
  const ModelCase& c = GetParam();
  Attach(c, 4, true);
  if (::testing::Test::HasFatalFailure()) return;
  ASSERT_EQ(ZARNInit(), 1);
  funcTableSetParam(109, kFeedWaitMs);
  ZARNSetParam(45, 1);
  ScanOne(kGray, 0);
  if (::testing::Test::HasFatalFailure()) return;
  // The next cheque is fed while no call waits for it.
  for (int i = 0; i < kFeedWaitMs && scanner_->FedCount() < 2; ++i) plat::Sleep(1);
  ASSERT_EQ(scanner_->FedCount(), 2u);
  ZARNSetParam(119, 1);
  ZARNSetParam(126, 1);
  EXPECT_EQ(scanner_->FedCount(), 2u) << "a setting fed a cheque";
  ScanOne(kGray, 1);
  if (::testing::Test::HasFatalFailure()) return;
  ScanOne(kColour, 2);
  ScanOne(kColour, 3);
  EXPECT_EQ(scanner_->FedCount(), 4u);
  EXPECT_EQ(ZARNExit(), 1);
}

INSTANTIATE_TEST_SUITE_P(Models, SettingChangeTest,
                         ::testing::Values(ModelCase{"QV620", 220, true, 200}, ModelCase{"QV630", 230, true, 200}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace zarn
