// The demonstration program against a simulated scanner: the entry in front of WinMain picks the window
// backend, attaches a simulated scanner with a stack of synthetic cheques, and (unless asked to leave the
// panel to a user) plays the user: chooses the image type, clicks Scan, prints each caption, and clicks
// Exit when the feeder is empty. At the end it compares the code-line log with the simulator's cheques.
//
//   lumivex [--headless | --x11] [--cheques N] [--model NAME] [--image-type bw|gray|graybw] [--interactive]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/api_binding.h"
#include "demo/lumivex.h"
#include "demo/run_summary.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "sim/simulator.h"
#include "ui/headless_backend.h"
#include "ui/window_system.h"
#include "zarn/optical_codeline.h"
#include "zarn/qv600.h"
#ifdef ZC_HAVE_X11
#include "ui/x11_backend.h"
#endif

namespace {

struct Options {
  enum class Backend { kAuto, kHeadless, kX11 } backend = Backend::kAuto;
  int cheques = 10;
  std::string model = "QV630";
  int imageTypeControl = demo::IDC_BW;
  bool interactive = false;
};

void Usage() {
  std::fprintf(stderr,
               "usage: lumivex [--headless | --x11] [--cheques N] [--model NAME] "
               "[--image-type bw|gray|graybw] [--interactive]\n");
}

std::optional<Options> Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (a == "--headless") {
      o.backend = Options::Backend::kHeadless;
    } else if (a == "--x11") {
      o.backend = Options::Backend::kX11;
    } else if (a == "--interactive") {
      o.interactive = true;
    } else if (a == "--cheques") {
      const char* v = value();
      char* end = nullptr;
      const long n = v != nullptr ? std::strtol(v, &end, 10) : -1;
      if (v == nullptr || *end != '\0' || n < 1 || n > 100000) return std::nullopt;
      o.cheques = static_cast<int>(n);
    } else if (a == "--model") {
      const char* v = value();
      if (v == nullptr) return std::nullopt;
      o.model = v;
    } else if (a == "--image-type") {
      const char* v = value();
      if (v == nullptr) return std::nullopt;
      const std::string t = v;
      if (t == "bw") o.imageTypeControl = demo::IDC_BW;
      else if (t == "gray") o.imageTypeControl = demo::IDC_GRAY;
      else if (t == "graybw") o.imageTypeControl = demo::IDC_GRAYBW;
      else return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  return o;
}

// The code-line log's lines written since `offset`.
std::vector<std::string> LogLines(const std::string& file, std::streamoff offset) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  if (!in) return lines;
  in.seekg(offset);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> parsed = Parse(argc, argv);
  if (!parsed) {
    Usage();
    return 2;
  }
  const Options& o = *parsed;

  // The scanner with its firmware package where the device library looks for it (so connecting sends no
  // download), and a quick status poll for the simulated device.
  sim::ScannerSpec spec;
  spec.model = o.model;
  spec.documents.count = o.cheques;
  spec.documents.seed = 2026;
  spec.firmwareFolder = "drivers";
  // The RM 70 keeps its sensors' 300 dpi; the program is set to 200 dpi for the others.
  if (plat::EqualNoCase(o.model, "RM70") || plat::EqualNoCase(o.model, "RM70KF")) spec.hostResolution = 300;
  std::filesystem::create_directories("drivers");
  std::string error;
  std::unique_ptr<sim::SimulatedScanner> scanner = sim::SimulatedScanner::Attach(spec, &error);
  if (scanner == nullptr) {
    std::fprintf(stderr, "lumivex: the simulated %s could not be attached: %s\n", o.model.c_str(), error.c_str());
    return 2;
  }
  std::ofstream("Qv6ExtendedSetup.ini") << "[TIMER POLLING]\nT.Check(msec)=20\nT.Poll(msec)=5\n";

  std::unique_ptr<ui::Backend> backend;
#ifdef ZC_HAVE_X11
  if (o.backend != Options::Backend::kHeadless) backend = ui::X11Backend::Open();
#endif
  if (backend == nullptr && o.backend == Options::Backend::kX11) {
    std::fprintf(stderr, "lumivex: no X display could be opened\n");
    return 2;
  }
  const bool headless = backend == nullptr;
  ui::HeadlessBackend* screenless = nullptr;
  if (headless) {
    auto h = std::make_unique<ui::HeadlessBackend>(ui::DisplayInfo{1280, 1024});
    // A scan can wait for the scanner longer than an idle test loop would.
    h->stallLimit = std::chrono::minutes(5);
    // Playing the user, the program answers the boxes a failed start shows (no local firmware, then OK),
    // so a scanner the API refuses ends the run at once instead of at the stall limit.
    if (!o.interactive) h->AnswerBoxes({ui::IDNO, ui::IDOK});
    screenless = h.get();
    backend = std::move(h);
  }
  std::printf("lumivex: %s, simulated %s with %d cheques\n", headless ? "headless" : "X11 window",
              o.model.c_str(), o.cheques);

  ui::WindowSystem ws(std::move(backend));
  ws.SetProfileFile("win.ini");
  // The program joins document analysis and the API (the magnetic decoder of method "KR", the default)
  // and formats code lines as the API's callbacks deliver them.
  analysis::InstallIntoApi();
  zarn::SetCodeLineFormatter(&zarn::funcAssembleMICR);

  const std::string mcr = "lumivex.mcr";
  std::error_code ec;
  const std::streamoff logStart =
      std::filesystem::exists(mcr) ? static_cast<std::streamoff>(std::filesystem::file_size(mcr, ec)) : 0;

  demo::DemoObserver observer;
  observer.status = [](const std::string& text) { std::printf("  %s\n", text.c_str()); };
  if (!o.interactive) {
    observer.started = [&ws, &o] {
      ui::HWND panel = demo::Windows().panel;
      ws.PostMessage(panel, ui::WM_COMMAND, static_cast<uintptr_t>(o.imageTypeControl));
      ws.PostMessage(panel, ui::WM_COMMAND, demo::IDC_SCAN);
    };
    observer.loopEnded = [&ws] { ws.PostMessage(demo::Windows().panel, ui::WM_COMMAND, demo::IDC_EXIT); };
  }
  demo::SetDemoObserver(observer);
  const int exitCode = demo::WinMain(demo::DemoResources(), nullptr, "", ui::SW_SHOW);
  demo::SetDemoObserver({});
  // Without a screen, what the boxes said is the only trace of it.
  if (screenless != nullptr) {
    for (const ui::MessageBoxRecord& box : screenless->Boxes()) {
      std::printf("lumivex: box \"%s\": %s\n", box.caption.c_str(), box.text.c_str());
    }
  }

  // What came out against what the scanner fed.
  std::vector<std::optional<std::string>> fed;
  for (size_t i = 0; i < scanner->FedCount(); ++i) {
    const auto record = scanner->Fed(i);
    fed.push_back(record ? std::optional<std::string>(record->codeLine) : std::nullopt);
  }
  const demo::RunSummary summary =
      demo::SummariseRun(LogLines(mcr, logStart), fed, scanner->Waiting(), !o.interactive, exitCode == 0,
                         [](const std::string& name) { return std::filesystem::exists(plat::ResolvePath(name)); });
  for (const std::string& line : summary.lines) std::printf("%s\n", line.c_str());
  const bool ok = summary.ok;
  return ok ? 0 : 1;
}
