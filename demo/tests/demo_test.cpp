// The demonstration: its tables and boxes, the start-up script, and scan loops against the real device
// library and a simulated QV630, all in the headless window layer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "analysis/api_binding.h"
#include "demo/lumivex.h"
#include "demo/run_summary.h"
#include "fake_qv6/fake_qv6_loader.h"
#include "platform/dynlib.h"
#include "platform/byte_order.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "sim/simulator.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/pnm.h"
#include "testkit/support/scratch_dir.h"
#include "ui/canvas.h"
#include "ui/headless_backend.h"
#ifdef ZC_HAVE_X11
#include "testkit/support/xvfb_server.h"
#include "ui/x11_backend.h"
#endif
#include "ui/window_system.h"
#include "zarn/api_state.h"
#include "zarn/api_boxes.h"
#include "zarn/lifecycle.h"
#include "zarn/optical_codeline.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/trace.h"
#include "imaging/image_windows.h"

namespace demo {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

std::string Without(std::string text, char drop) {
  std::erase(text, drop);
  return text;
}

TEST(DemoTables, ProductTextsGiveTheScannerKind) {
  struct Case {
    const char* product;
    int typeCode;
    int kind;
  };
  for (const Case& c : {Case{"Orvisca Scanner Qv620", 200, kKindQv620}, Case{"Scanner QV630", 200, kKindQv630},
                        Case{"Orvisca Scanner RM 70", 30, kKindRm70}, Case{"Rm 70", 30, kKindRm70},
                        Case{"Scanner Qv640", 240, kKindQv640}, Case{"QV840 sorter", 200, kKindQv840},
                        Case{"Scanner QV810", 400, kKindQv800}, Case{"QV700/750/800ES", 314, kKindType314},
                        Case{"Nothing here", 200, kKindTq62}, Case{"qv630", 200, kKindTq62}}) {
    SCOPED_TRACE(c.product);
    EXPECT_EQ(ClassifyScanner(c.product, std::strlen(c.product), c.typeCode), c.kind);
  }
  // A 16-character product without its NUL is read within its bounds.
  const char unterminated[16] = {'S', 'c', 'a', 'n', 'n', 'e', 'r', ' ', 'Q', 'v', '6', '2', '0', 'x', 'x', 'x'};
  EXPECT_EQ(ClassifyScanner(unterminated, sizeof unterminated, 200), kKindQv620);
}

TEST(DemoTables, EditFieldsAreCorrected) {
  struct Case {
    const char* text;
    int32_t scanNumber;
    int threshold;
  };
  for (const Case& c : {Case{"-5", 0, 9}, Case{"1", 1, 9}, Case{"14", 14, 9}, Case{"abc", 0, 9}, Case{"13", 13, 13},
                        Case{"99999999999", INT32_MAX, 9}, Case{"2", 2, 2}}) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseScanNumber(c.text), c.scanNumber);
    EXPECT_EQ(ParseThreshold(c.text), c.threshold);
  }
}

TEST(DemoTables, ErrorTextsAndTheSupportedList) {
  EXPECT_EQ(ScannerErrorText(-212), "(-212)  Please Load More Documents -- Input Feeder is Empty");
  EXPECT_EQ(ScannerErrorText(-999), "Scanner Status -999");
  // The parse-error row is not in the demonstration's table.
  EXPECT_EQ(ScannerErrorText(-227), "Scanner Status -227");
  EXPECT_EQ(SupportedScannersText(2044),
            "QV800, QV600, QV700, QV700X, QV620, QV630, QV840, RM70, QV640, ");
}

// The end summary judges the documents the scanner fed, not the stack it was given.
TEST(DemoRunSummary, JudgesWhatTheScannerFed) {
  const auto exists = [](const std::string& name) { return name != ".\\images\\missing.tif"; };
  const std::string a = ".\\images\\f0000001.tif => :12345: 678<";
  const std::string b = ".\\images\\f0000002.tif => :99999:0000<";
  struct Case {
    const char* name;
    std::vector<std::string> log;
    std::vector<std::optional<std::string>> fed;
    size_t left;
    bool played;
    bool ok;
    const char* counts;
  };
  const Case cases[] = {
      // The panel left to a user who scanned nothing: ten cheques still wait, none was fed.
      {"nothing scanned", {}, {}, 10, false, true, "lumivex: 0 cheques fed, 0 documents logged"},
      {"two of ten scanned by hand", {a, b}, {":12345:678<", ":99999:0000<"}, 8, false, true,
       "lumivex: 2 cheques fed, 2 documents logged, 2 front images written, 2 code lines"},
      {"played, stack through", {a, b}, {":12345:678<", ":99999:0000<"}, 0, true, true, "lumivex: 2 cheques fed"},
      {"played, cheques left", {a}, {":12345:678<"}, 1, true, false, "lumivex: 1 cheques fed"},
      {"fed but not logged", {a}, {":12345:678<", ":99999:0000<"}, 0, false, false,
       "lumivex: 2 cheques fed, 1 documents logged"},
      {"logged but not fed", {a, b}, {":12345:678<"}, 0, false, false, "lumivex: 1 cheques fed, 2 documents"},
      {"other code line", {b}, {":12345:678<"}, 0, false, false, "0 code lines equal"},
      {"unknown fed document", {a}, {std::nullopt}, 0, false, false, "0 code lines equal"},
      {"front file missing", {".\\images\\missing.tif => :12345:678<"}, {":12345:678<"}, 0, false, false,
       "0 front images written, 1 code lines equal"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunSummary s = SummariseRun(c.log, c.fed, c.left, c.played, true, exists);
    EXPECT_EQ(s.ok, c.ok);
    ASSERT_GE(s.lines.size(), 2u);
    EXPECT_EQ(s.lines.back(), c.ok ? "lumivex: OK" : "lumivex: MISMATCH");
    const bool hasCounts = std::any_of(s.lines.begin(), s.lines.end(),
                                       [&](const std::string& l) { return l.find(c.counts) != std::string::npos; });
    EXPECT_TRUE(hasCounts) << s.lines[s.lines.size() - 2];
  }
  // A program that failed is no success, whatever it logged.
  EXPECT_FALSE(SummariseRun({a}, {":12345:678<"}, 0, true, false, exists).ok);
}

// A headless window system in a scratch folder, with the real device library.
class DemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) != nullptr) oldCwd_ = cwd;
    ASSERT_EQ(::chdir(dir_.Path().c_str()), 0);
    plat::ResetFolders();
    plat::SetFolder(plat::Folder::kWindows, dir_.Path());
    plat::SetFolder(plat::Folder::kSystem, dir_.Path());
    plat::SetFolder(plat::Folder::kTemp, dir_.Path());
    zarn::ResetTraceForTests();
    zarn::ResetParamsForTests();
    zarn::ResetApiState();
    zarn::ResetQv600ForTests();
    zarn::ResetDriverFileForTests();
    zarn::ResetLifecycleForTests();
    ResetDemoForTests();
    zarn::SetQv6LibraryFile(ZC_REAL_DEVICE_LIBRARY);
    zarn::SetCodeLineFormatter(&zarn::funcAssembleMICR);
    zarn::funcTableSetParamString(159, "KWL");
    std::ofstream(dir_.Path() + "/Qv6ExtendedSetup.ini") << "[TIMER POLLING]\nT.Check(msec)=20\nT.Poll(msec)=5\n";
    auto backend = std::make_unique<ui::HeadlessBackend>(ui::DisplayInfo{1024, 768});
    hb_ = backend.get();
    ws_ = std::make_unique<ui::WindowSystem>(std::move(backend));
    ws_->SetProfileFile(dir_.Path() + "/win.ini");
  }
  void TearDown() override {
    if (ws_) {
      for (ui::HWND h : ws_->TopLevels()) ws_->DestroyWindow(h);
      ws_.reset();
    }
    if (zarn::Api().zarnInitialised) zarn::ZARNExit();
    scanner_.reset();
    zarn::SetCodeLineFormatter(nullptr);
    zarn::UnloadQv6Library();
    ResetDemoForTests();
    plat::ResetFolders();
    if (!oldCwd_.empty()) (void)::chdir(oldCwd_.c_str());
  }
  void Attach(int cheques) {
    sim::ScannerSpec spec;
    spec.documents.count = cheques;
    spec.documents.seed = 7;
    spec.firmwareFolder = dir_.Path() + "/drivers";
    std::filesystem::create_directories(spec.firmwareFolder);
    std::string error;
    scanner_ = sim::SimulatedScanner::Attach(spec, &error);
    ASSERT_NE(scanner_, nullptr) << error;
  }
  // Runs the program: after start-up `clicks` are posted to the panel; Exit follows when the loop ends.
  int Run(std::vector<int> clicks, bool exitWhenDone = true) {
    DemoObserver o;
    o.status = [this](const std::string& s) { captions_.push_back(s); };
    o.started = [this, clicks] {
      for (int id : clicks) ws_->PostMessage(Windows().panel, ui::WM_COMMAND, static_cast<uintptr_t>(id));
    };
    if (exitWhenDone) o.loopEnded = [this] { ws_->PostMessage(Windows().panel, ui::WM_COMMAND, IDC_EXIT); };
    SetDemoObserver(o);
    return WinMain(DemoResources(), nullptr, "", ui::SW_SHOW);
  }

  zc::testkit::ScratchDir dir_{"lumivex"};
  std::string oldCwd_;
  ui::HeadlessBackend* hb_ = nullptr;
  std::unique_ptr<ui::WindowSystem> ws_;
  std::unique_ptr<sim::SimulatedScanner> scanner_;
  std::vector<std::string> captions_;
};

TEST_F(DemoTest, NoScannerAndNoRetryShowsBothBoxesAndEndsWithoutPanel) {
  plat::ScopedClock fast(50.0);  // the start waits 15 s for a scanner
  hb_->AnswerBoxes({ui::IDNO, ui::IDOK});
  EXPECT_EQ(Run({}), 0);
  const auto& boxes = hb_->Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "Try Initializing scanner with local firmware?");
  EXPECT_EQ(boxes[0].caption, "Quit Lumivex?");
  EXPECT_EQ(boxes[1].caption, "CREATE");
  EXPECT_EQ(boxes[1].text.rfind("ZARNInit => -", 0), 0u);
  EXPECT_NE(boxes[1].text.find(".  Is the ZARN on and connected?"), std::string::npos);
  EXPECT_EQ(Windows().panel, nullptr);
  EXPECT_TRUE(std::filesystem::is_directory(dir_.Path() + "/Images"));
}

TEST_F(DemoTest, BwLoopWritesTheFilesAndTheCodeLineLog) {
  Attach(3);
  ASSERT_EQ(Run({IDC_BW, IDC_SCAN}), 0);
  EXPECT_EQ(Panel().scanNumber, 4);
  EXPECT_EQ(Windows().scannerKind, kKindQv630);
  EXPECT_NE(ReadFile(dir_.Path() + "/win.ini").find("ItemNumber=4"), std::string::npos);
  const std::string log = ReadFile(dir_.Path() + "/lumivex.mcr");
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(log.substr(at, end - at));
  }
  ASSERT_EQ(lines.size(), 3u);
  const bool haveTiff = zc::testkit::HaveTool("tiffinfo");
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    char name[32];
    std::snprintf(name, sizeof name, ".\\images\\f%07zu.tif", i + 1);
    ASSERT_EQ(lines[i].rfind(std::string(name) + " => ", 0), 0u) << lines[i];
    EXPECT_EQ(Without(lines[i].substr(std::strlen(name) + 4), ' '), Without(scanner_->Fed(i)->codeLine, ' '));
    const std::string front = plat::ResolvePath(name);
    ASSERT_TRUE(std::filesystem::exists(front));
    if (haveTiff) {
      const std::string info = zc::testkit::RunCommand("tiffinfo " + front + " 2>&1").output;
      EXPECT_NE(info.find("CCITT Group 4"), std::string::npos) << info;
    }
  }
  // The last caption is the last code line; the loop ended on the empty feeder without a message.
  ASSERT_FALSE(captions_.empty());
  EXPECT_EQ(captions_.back().rfind("MICR Code Line -> ", 0), 0u);
  EXPECT_TRUE(hb_->Boxes().empty());
}

TEST_F(DemoTest, GrayscaleLoopWritesJpegFiles) {
  Attach(2);
  ASSERT_EQ(Run({IDC_GRAY, IDC_SCAN}), 0);
  EXPECT_TRUE(std::filesystem::exists(plat::ResolvePath(".\\images\\f0000001.jpg")));
  EXPECT_TRUE(std::filesystem::exists(plat::ResolvePath(".\\images\\b0000002.jpg")));
  if (zc::testkit::HaveTool("djpeg")) {
    const auto r = zc::testkit::RunCommand("djpeg -pnm " + plat::ResolvePath(".\\images\\f0000001.jpg") + " | head -c 2");
    EXPECT_EQ(r.output, "P5");
  }
}

// Gray-B/W scans through the verified scan, as the program runs it with analysis joined to the API: each
// document gives a G4 front and a gray JPEG, and the logged line is the simulator's.
TEST_F(DemoTest, GrayBwLoopRunsTheVerifiedScan) {
  analysis::InstallIntoApi();
  struct Remove {
    ~Remove() { analysis::RemoveFromApi(); }
  } remove;
  Attach(2);
  ASSERT_EQ(Run({IDC_GRAYBW, IDC_SCAN}), 0);
  const std::string log = ReadFile(dir_.Path() + "/lumivex.mcr");
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(log.substr(at, end - at));
  }
  ASSERT_EQ(lines.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    char name[32];
    std::snprintf(name, sizeof name, ".\\images\\f%07zu.tif", i + 1);
    ASSERT_EQ(lines[i].rfind(std::string(name) + " => ", 0), 0u) << lines[i];
    EXPECT_EQ(Without(lines[i].substr(std::strlen(name) + 4), ' '), Without(scanner_->Fed(i)->codeLine, ' '));
    EXPECT_TRUE(std::filesystem::exists(plat::ResolvePath(name)));
    std::snprintf(name, sizeof name, ".\\images\\f%07zu.jpg", i + 1);
    EXPECT_TRUE(std::filesystem::exists(plat::ResolvePath(name)));
  }
  if (zc::testkit::HaveTool("tiffinfo")) {
    const auto info = zc::testkit::RunCommand("tiffinfo " + plat::ResolvePath(".\\images\\f0000001.tif") + " 2>&1");
    EXPECT_NE(info.output.find("CCITT Group 4"), std::string::npos) << info.output;
  }
  EXPECT_TRUE(hb_->Boxes().empty());
}

// A user's mouse click on the panel's Scan button runs the loop: the panel is visible and its controls
// take the click.
TEST_F(DemoTest, AMouseClickOnScanRunsTheLoop) {
  Attach(2);
  DemoObserver o;
  o.started = [this] {
    ws_->SendMessage(Windows().panel, ui::WM_COMMAND, IDC_BW, 0);
    EXPECT_TRUE(ws_->IsWindowVisible(Windows().panel));
    hb_->ClickControl(Windows().panel, IDC_SCAN);
  };
  o.loopEnded = [this] { ws_->PostMessage(Windows().panel, ui::WM_COMMAND, IDC_EXIT); };
  SetDemoObserver(o);
  ASSERT_EQ(WinMain(DemoResources(), nullptr, "", ui::SW_SHOW), 0);
  EXPECT_EQ(Panel().scanNumber, 3);
}

#ifdef ZC_HAVE_X11
// The program in a real window on a private X server: xdotool clicks Scan; once the loop has ended on the
// empty feeder, the screenshot's front image area equals a headless paint of the last front file at that size.
TEST_F(DemoTest, UnderXvfbAClickOnScanShowsTheLastFront) {
  if (!zc::testkit::HaveTool("Xvfb") || !zc::testkit::HaveTool("import") || !zc::testkit::HaveTool("xdotool")) {
    GTEST_SKIP() << "Xvfb, ImageMagick or xdotool missing";
  }
  zc::testkit::XvfbServer xvfb;
  ASSERT_FALSE(xvfb.Name().empty()) << "Xvfb did not start";
  auto backend = ui::X11Backend::Open(xvfb.Name().c_str());
  ASSERT_TRUE(backend);
  ui::X11Backend* x11 = backend.get();
  ws_.reset();
  hb_ = nullptr;
  ws_ = std::make_unique<ui::WindowSystem>(std::move(backend));
  ws_->SetProfileFile(dir_.Path() + "/win.ini");
  // The X connection closes before the server stops: the window system goes first on every way out.
  struct CloseX {
    std::unique_ptr<ui::WindowSystem>& ws;
    ~CloseX() {
      for (ui::HWND h : ws->TopLevels()) ws->DestroyWindow(h);
      ws.reset();
    }
  } closeX{ws_};
  Attach(2);

  auto settle = [&] {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < end) {
      ws_->PumpPending();
      x11->WaitInput(10);
    }
  };
  std::string clickOutput, shotOutput, lastCaption;
  ui::Rect frontClient;
  ui::Point frontOrigin;
  const std::string shot = dir_.Path() + "/screen.ppm";
  DemoObserver o;
  o.status = [&](const std::string& s) { lastCaption = s; };
  o.started = [&] {
    ws_->SendMessage(Windows().panel, ui::WM_COMMAND, IDC_BW, 0);
    settle();
    const ui::HWND scan = ws_->GetDlgItem(Windows().panel, IDC_SCAN);
    const ui::Rect r = ws_->GetClientRect(scan);
    const ui::Point p = ws_->ClientToScreen(scan, {r.Width() / 2, r.Height() / 2});
    clickOutput = zc::testkit::RunCommand("DISPLAY=" + xvfb.Name() + " xdotool mousemove --sync " +
                                          std::to_string(p.x) + " " + std::to_string(p.y) + " click 1")
                      .output;
  };
  o.loopEnded = [&] {
    settle();
    const ui::Rect frame = ws_->GetWindowRect(Windows().frame);
    const ui::Point front = ws_->ClientToScreen(Windows().front, {0, 0});
    frontOrigin = {front.x - frame.left, front.y - frame.top};
    frontClient = ws_->GetClientRect(Windows().front);
    shotOutput = zc::testkit::RunCommand("import -display " + xvfb.Name() + " -window " +
                                         std::to_string(x11->XWindowOf(Windows().frame)) + " -depth 8 ppm:" + shot)
                     .output;
    ws_->PostMessage(Windows().panel, ui::WM_COMMAND, IDC_EXIT);
  };
  SetDemoObserver(o);
  ASSERT_EQ(WinMain(DemoResources(), nullptr, "", ui::SW_SHOW), 0) << clickOutput;
  ASSERT_EQ(lastCaption.rfind("MICR Code Line -> ", 0), 0u) << lastCaption << "\n" << clickOutput;
  EXPECT_EQ(Panel().scanNumber, 3);
  const auto screen = zc::testkit::ReadPnm(shot);
  ASSERT_TRUE(screen) << shotOutput;
  ASSERT_GT(frontClient.Width(), 0);

  // The same file painted headless in a window of the front area's size.
  const std::string lastFront = plat::ResolvePath(".\\images\\f0000002.tif");
  ui::WindowSystem headless(std::make_unique<ui::HeadlessBackend>(ui::DisplayInfo{1280, 1024}));
  headless.RegisterClass({"FrontPaint", [&headless](ui::HWND h, uint32_t m, uintptr_t wp, intptr_t lp) {
                            return headless.DefWindowProc(h, m, wp, lp);
                          }});
  const ui::HWND popup = headless.CreateWindow("FrontPaint", "front", ui::WS_POPUP | ui::WS_VISIBLE,
                                               {0, 0, frontClient.Width(), frontClient.Height()}, nullptr);
  ASSERT_EQ(zc::imaging::ZARNStartImageWindow(popup, 1), 0);
  ASSERT_EQ(zc::imaging::ZARNSetImageMultPage(lastFront.c_str(), 1, 1), 0);
  for (int i = 0; i < 4; ++i) {
    headless.PumpPending();
    headless.UpdateWindow(popup);
  }
  const ui::Surface& fb = *headless.Framebuffer(popup);
  ASSERT_LE(frontOrigin.x + fb.Width(), screen->width);
  ASSERT_LE(frontOrigin.y + fb.Height(), screen->height);
  int differing = 0, ink = 0;
  for (int y = 0; y < fb.Height(); ++y) {
    for (int x = 0; x < fb.Width(); ++x) {
      const size_t at = (static_cast<size_t>(frontOrigin.y + y) * screen->width + frontOrigin.x + x) * 3;
      const uint8_t* p = &screen->raster[at];
      differing += ui::Rgb(p[0], p[1], p[2]) != fb.Pixel(x, y);
      ink += fb.Pixel(x, y) != ui::kWhite;
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(ink, fb.Width() * fb.Height() / 50);  // the cheque is shown, not a blank window
  EXPECT_EQ(zc::imaging::ZARNCloseImageWindow(1), 0);
  for (ui::HWND h : headless.TopLevels()) headless.DestroyWindow(h);
}
#endif

TEST_F(DemoTest, EmptyFeederAtTheFirstDocumentShowsTheCodeInTheCaption) {
  Attach(0);
  ASSERT_EQ(Run({IDC_BW, IDC_SCAN}), 0);
  ASSERT_FALSE(captions_.empty());
  EXPECT_EQ(captions_.back(), "(-212)  Please Load More Documents -- Input Feeder is Empty");
  EXPECT_EQ(Panel().scanNumber, 1);
}


TEST_F(DemoTest, AutomaticScanRunsEachFedDocumentOnTheWindowThread) {
  Attach(2);
  const std::thread::id windowThread = std::this_thread::get_id();
  int lines = 0;
  bool offThread = false;
  DemoObserver o;
  o.status = [&](const std::string& s) {
    offThread |= std::this_thread::get_id() != windowThread;
    if (s.rfind("MICR Code Line -> ", 0) == 0 && ++lines == 2) {
      ws_->PostMessage(Windows().panel, ui::WM_COMMAND, IDC_EXIT);
    }
  };
  o.started = [this] {
    ws_->PostMessage(Windows().panel, ui::WM_COMMAND, IDC_BW);
    ws_->PostMessage(Windows().frame, ui::WM_COMMAND, CMD_AUTOSCAN);
  };
  SetDemoObserver(o);
  ASSERT_EQ(WinMain(DemoResources(), nullptr, "", ui::SW_SHOW), 0);
  EXPECT_EQ(lines, 2);
  EXPECT_FALSE(offThread);
  EXPECT_TRUE(hb_->Boxes().empty());
}

TEST_F(DemoTest, AutomaticScanOnAScannerWithoutCallbacksOnlyWarns) {
  Attach(1);
  DemoObserver o;
  o.started = [this] {
    Windows().scannerKind = kKindQv600;
    ws_->PostMessage(Windows().frame, ui::WM_COMMAND, CMD_AUTOSCAN);
    ws_->PostMessage(Windows().panel, ui::WM_COMMAND, IDC_EXIT);
  };
  SetDemoObserver(o);
  hb_->AnswerBoxes({ui::IDOK});
  ASSERT_EQ(WinMain(DemoResources(), nullptr, "", ui::SW_SHOW), 0);
  ASSERT_EQ(hb_->Boxes().size(), 1u);
  EXPECT_EQ(hb_->Boxes()[0].text, "Scanner Does Not Support Callbacks");
  EXPECT_EQ(hb_->Boxes()[0].caption, "Warning");
  EXPECT_EQ(zarn::funcTableGetParam(111), 0);
}


TEST_F(DemoTest, AnAutomaticDocumentDuringAStepRunsAfterIt) {
  Attach(3);
  // The 536 is taken by the first step's scan call while it waits for its document.
  ASSERT_EQ(Run({IDC_BW, IDC_SCAN, CMD_AUTODOCUMENT}), 0);
  for (const std::string& c : captions_) EXPECT_NE(c[0], '(') << c;
  const std::string log = ReadFile(dir_.Path() + "/lumivex.mcr");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
  for (const char* name : {"f0000001.tif =>", "f0000002.tif =>", "f0000003.tif =>"}) {
    EXPECT_NE(log.find(name), std::string::npos) << name;
  }
}

// The panel over the scripted fake device library, which hands over ready images at once.
class DemoFakeTest : public DemoTest {
 protected:
  void SetUp() override {
    DemoTest::SetUp();
    control_ = zarn::fake::LoadFakeControl(ZC_FAKE_DEVICE_LIBRARY, &module_);
    ASSERT_NE(control_, nullptr);
    control_->Reset();
    zarn::SetQv6LibraryFile(ZC_FAKE_DEVICE_LIBRARY);
  }
  void TearDown() override {
    DemoTest::TearDown();
    if (control_ != nullptr) control_->Reset();
    plat::FreeLibrary(module_);
  }
  void Identify(const char* model) {
    std::vector<uint8_t> block;
    for (const char* t : {"VEK Corporation", model, "", "1.00", "AB12100001", "1", "1", "OK"}) {
      block.insert(block.end(), t, t + std::strlen(t) + 1);
    }
    control_->SetIdentity(block);
  }
  void Queue(int count) {
    for (int i = 0; i < count; ++i) {
      zarn::fake::FakeDocument d;
      d.codeLine = "T12345678" + std::to_string(i) + "T";
      d.frontDib = GrayDib();
      d.rearDib = GrayDib();
      d.statusWords = {{zarn::kStConnected | zarn::kStFrontReady | zarn::kStRearReady, 0}};
      d.delayMs = 5;
      control_->QueueDocument(d);
    }
  }
  static std::vector<uint8_t> GrayDib() {
    constexpr int w = 400, h = 200;
    std::vector<uint8_t> dib(40 + 1024 + w * h, 0xFF);
    std::fill(dib.begin(), dib.begin() + 40, 0);
    plat::bytes::PutLe32(dib.data(), 40);
    plat::bytes::PutLe32(dib.data() + 4, w);
    plat::bytes::PutLe32(dib.data() + 8, h);
    plat::bytes::PutLe16(dib.data() + 12, 1);
    plat::bytes::PutLe16(dib.data() + 14, 8);
    for (int i = 0; i < 256; ++i) std::memset(dib.data() + 40 + 4 * i, i, 3);
    std::fill_n(dib.data() + 1064 + w * 50, w * 20, 0x10);
    return dib;
  }
  plat::ModuleHandle module_ = nullptr;
  zarn::fake::FakeQv6Control* control_ = nullptr;
};

TEST_F(DemoFakeTest, TheApisAboutAndScannerInformationShowInTheProgram) {
  Identify("Orvisca Scanner Qv630");
  bool aboutShown = false;
  DemoObserver o;
  o.started = [&] {
    hb_->AnswerBoxes({ui::IDOK});
    EXPECT_EQ(zarn::ZARNDisplayScannerInfo(), 1);
    hb_->Script([&] {
      for (ui::HWND h : ws_->TopLevels()) {
        if (ws_->GetWindowText(h) != "About Zarn API") continue;
        aboutShown = true;
        hb_->ClickControl(h, ui::IDOK);
      }
    });
    EXPECT_EQ(zarn::ZARNDisplayAbout(), 1);
    ws_->PostMessage(Windows().panel, ui::WM_COMMAND, IDC_EXIT);
  };
  SetDemoObserver(o);
  EXPECT_EQ(WinMain(DemoResources(), nullptr, "", ui::SW_SHOW), 0);
  EXPECT_TRUE(aboutShown);
  const auto& boxes = hb_->Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "SCSI Information");
  EXPECT_EQ(boxes[0].text,
            "Host Adapter:  0\nSCSI ID           :  2\nVendor            :  VEK Corp\nProduct           :  "
            "Orvisca Scanner \nRelease         :  1.00");
}

TEST_F(DemoTest, InformationBoxesAreWideEnoughForTheirTexts) {
  // The supported-scanner list of the About box, and a long INI path in the Paths box.
  const std::string ini = "c:\\" + std::string(40, 'p') + "\\" + std::string(40, 'q') + "\\zarnscan.ini";
  zarn::funcTableSetParamString(135, ini.c_str());
  struct Case {
    const char* name;
    intptr_t (*proc)(ui::HWND, uint32_t, uintptr_t, intptr_t);
  };
  for (const Case& c : {Case{"About", AboutDlgProc}, Case{"Paths", PathsDlgProc}}) {
    int widest = 0, narrowest = INT_MAX, okMiddle = 0, boxWidth = 0;
    hb_->Script([&] {
      for (ui::HWND h : ws_->TopLevels()) {
        if (ws_->GetWindowText(h) != "About Ostrel Imaging Check Scanner Demonstration") continue;
        for (int id = IDC_LINE1; id <= IDC_LINE5; ++id) {
          const ui::HWND line = ws_->GetDlgItem(h, id);
          widest = std::max(widest, ui::SystemFont()->Measure(ws_->GetWindowText(line)).width);
          narrowest = std::min(narrowest, ws_->GetClientRect(line).Width());
        }
        const ui::Rect ok = ws_->GetWindowRect(ws_->GetDlgItem(h, IDC_OK));
        okMiddle = ok.left + ok.right;
        boxWidth = ws_->GetClientRect(h).Width();
        hb_->ClickControl(h, IDC_OK);
      }
    });
    EXPECT_EQ(ws_->DialogBox(DemoResources(), "LUMIVEXABOUT", nullptr, c.proc), 1) << c.name;
    ASSERT_GT(widest, 0) << c.name;
    EXPECT_GE(narrowest, widest) << c.name;
    // The button stays in the middle of the box.
    EXPECT_LE(std::abs(okMiddle - boxWidth), 4) << c.name;
  }
}

TEST_F(DemoFakeTest, SortOnAQv840SendsEveryEighthDocumentToPocketOne) {
  Identify("Orvisca Scanner Qv840");
  Queue(16);
  ASSERT_EQ(Run({IDC_BW, IDC_SORT, IDC_SCAN}), 0);
  EXPECT_EQ(Windows().scannerKind, kKindQv840);
  std::vector<std::string> pockets;
  for (const std::string& c : control_->CallLog()) {
    if (c.rfind("QV6SetDestinationPocket", 0) == 0) pockets.push_back(c.substr(c.find(',') + 1));
  }
  // One per document, then the exit's return to the first pocket.
  ASSERT_EQ(pockets.size(), 17u);
  for (size_t i = 0; i < 16; ++i) {
    const int number = static_cast<int>(i) + 1;
    EXPECT_EQ(pockets[i], number % 8 == 7 ? "1)" : "0)") << number;
  }
  EXPECT_EQ(pockets[16], "0)");
}

TEST_F(DemoFakeTest, ImageTypesChooseTheScanCallAndTheNames) {
  Identify("Orvisca Scanner Qv630");
  // One document per loop; each loop ends on the empty feeder, and the next image type is chosen then.
  static constexpr int kTypes[] = {IDC_BW, IDC_GRAY, IDC_COLOR};
  int loop = 0;
  auto next = [&] {
    if (loop == 3) {
      ws_->PostMessage(Windows().panel, ui::WM_COMMAND, IDC_EXIT);
      return;
    }
    Queue(1);
    ws_->PostMessage(Windows().panel, ui::WM_COMMAND, static_cast<uintptr_t>(kTypes[loop++]));
    ws_->PostMessage(Windows().panel, ui::WM_COMMAND, IDC_SCAN);
  };
  DemoObserver o;
  o.started = next;
  o.loopEnded = next;
  SetDemoObserver(o);
  ASSERT_EQ(WinMain(DemoResources(), nullptr, "", ui::SW_SHOW), 0);
  for (const char* name : {"f0000001.tif", "b0000001.tif", "f0000002.jpg", "b0000002.jpg", "f0000003.jpg",
                           "b0000003.jpg"}) {
    EXPECT_TRUE(std::filesystem::exists(dir_.Path() + "/Images/" + name)) << name;
  }
  EXPECT_EQ(Panel().imageType, 3);
}

}  // namespace
}  // namespace demo
