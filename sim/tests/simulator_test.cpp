// The simulator as a component, used as an outside program uses it: only its public header and the
// device library's exports. A QV630 with a stack of cheques is attached, connected and scanned document
// by document through QV6EnableScan; what the exports hand over must be what the simulator reports for
// each fed document.
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "qv6/qv6dll.h"
#include "testkit/support/wait.h"
#include "testkit/support/working_folder.h"

namespace {

namespace fs = std::filesystem;

// What the exports handed over for one document.
struct Delivered {
  std::string codeLine;
  sim::HostImage front;
  sim::HostImage rear;
  bool statusChanged = false;
};

std::mutex g_mutex;
std::condition_variable g_changed;
bool g_connected = false;
Delivered g_delivered;

void OnEvent(int event, intptr_t value) {
  std::lock_guard lock(g_mutex);
  switch (event) {
    case 0:
      g_connected = true;
      break;
    case 2:
      g_delivered.statusChanged = true;
      break;
    case 3:
      g_delivered.codeLine = value != 0 ? reinterpret_cast<const char*>(value) : "";
      break;
    case 4:
      g_delivered.front = sim::ReadHostImage(reinterpret_cast<const void*>(value));
      break;
    case 5:
      g_delivered.rear = sim::ReadHostImage(reinterpret_cast<const void*>(value));
      break;
    default:
      break;
  }
  g_changed.notify_all();
}

template <class Pred>
bool WaitFor(Pred pred) {
  std::unique_lock lock(g_mutex);
  return g_changed.wait_for(lock, zc::testkit::kThreadWait, pred);
}

struct StackCase {
  const char* name;
  int count;
  bool colour;
  int resolution;     // of the images the host holds
  const char* keys;  // the host's scan configuration
  const char* model = "QV630";
  int setTo = 0;  // the resolution the simulator is told the host is set to; 0: `resolution`
};

class SimulatorScan : public ::testing::TestWithParam<StackCase> {
 protected:
  void SetUp() override {
    folder_.emplace("zc_simulator_" + std::string(GetParam().name));
    std::ofstream("Qv6ExtendedSetup.ini") << "[TIMER POLLING]\nT.Check(msec)=20\nT.Poll(msec)=5\n";
  }
  void TearDown() override { folder_.reset(); }

  std::optional<zc::testkit::WorkingFolder> folder_;
};

void ExpectSameImage(const sim::HostImage& got, const std::optional<sim::HostImage>& want, const char* side,
                     size_t document) {
  ASSERT_TRUE(want.has_value()) << side << " of document " << document;
  EXPECT_EQ(got.width, want->width) << side << " of document " << document;
  EXPECT_EQ(got.height, want->height) << side << " of document " << document;
  EXPECT_EQ(got.bitCount, want->bitCount) << side << " of document " << document;
  EXPECT_TRUE(got.pixels == want->pixels) << side << " of document " << document;
}

TEST_P(SimulatorScan, EveryFedDocumentReachesTheHostAsTheSimulatorReportsIt) {
  const StackCase c = GetParam();
  sim::ScannerSpec spec;
  spec.model = c.model;
  spec.documents.count = c.count;
  spec.documents.seed = 17;
  spec.documents.colour = c.colour;
  spec.hostResolution = c.setTo != 0 ? c.setTo : c.resolution;
  std::string error;
  auto scanner = sim::SimulatedScanner::Attach(spec, &error);
  ASSERT_NE(scanner, nullptr) << error;
  // The first series has no firmware package.
  const bool firstSeries = std::string(c.model).rfind("QV60", 0) == 0;
  EXPECT_EQ(fs::exists(scanner->FirmwarePackagePath()), !firstSeries);
  EXPECT_EQ(scanner->Waiting(), static_cast<size_t>(c.count));

  {
    std::lock_guard lock(g_mutex);
    g_connected = false;
  }
  const int index = QV6OpenConnection(1, 0, 0);
  ASSERT_GT(index, 0);
  QV6SetEventFunction(index, 0, &OnEvent);
  ASSERT_TRUE(WaitFor([] { return g_connected; }));
  std::ofstream("scan.ini") << "[QV600 CONFIG]\r\n" << c.keys;
  ASSERT_EQ(QV6InitDeviceFromFile(index, "scan.ini", nullptr), 1);
  for (int e = 2; e <= 5; ++e) QV6SetEventFunction(index, e, &OnEvent);

  for (size_t n = 0; n < static_cast<size_t>(c.count); ++n) {
    {
      std::lock_guard lock(g_mutex);
      g_delivered = Delivered{};
    }
    ASSERT_EQ(QV6EnableScan(index), 1) << "document " << n;
    ASSERT_TRUE(WaitFor([] { return g_delivered.statusChanged && g_delivered.rear.height > 0; }))
        << "document " << n;
    Delivered got;
    {
      std::lock_guard lock(g_mutex);
      got = g_delivered;
    }
    ASSERT_EQ(scanner->FedCount(), n + 1);
    const std::optional<sim::FedDocumentReport> fed = scanner->Fed(n);
    ASSERT_TRUE(fed.has_value()) << "document " << n;
    EXPECT_EQ(fed->index, n);
    EXPECT_EQ(fed->fault, sim::DocumentFault::kNone);
    EXPECT_FALSE(fed->codeLine.empty());
    EXPECT_EQ(got.codeLine, fed->codeLine) << "document " << n;
    EXPECT_STREQ(QV6GetMicrCodelinePtr(index), fed->codeLine.c_str());
    ExpectSameImage(got.front, fed->front, "front", n);
    ExpectSameImage(got.rear, fed->rear, "rear", n);
    EXPECT_EQ(fed->front->dpi, c.resolution);
  }
  EXPECT_EQ(scanner->Waiting(), 0u);
  EXPECT_FALSE(scanner->Fed(static_cast<size_t>(c.count)).has_value());
  // The documents fed first are still reported, their images made again.
  const auto first = scanner->Fed(0);
  ASSERT_TRUE(first.has_value());
  EXPECT_TRUE(first->front.has_value());

  EXPECT_EQ(QV6CloseConnection(index), 1);
  scanner->Detach();
  EXPECT_FALSE(scanner->Attached());
}

INSTANTIATE_TEST_SUITE_P(
    Stacks, SimulatorScan,
    ::testing::Values(StackCase{"grey200", 20, false, 200, ""},
                      StackCase{"colour100", 3, true, 100, "FRONT_IMG Color=1\r\nFRONT_IMG Resolution=100\r\n"},
                      StackCase{"qv620Grey200", 4, false, 200, "", "QV620"},
                      StackCase{"qv702Colour100", 2, true, 100, "FRONT_IMG Color=1\r\nFRONT_IMG Resolution=100\r\n",
                                "QV702"},
                      StackCase{"kqv8Grey300", 2, false, 300, "", "KQV8"},
                      StackCase{"kqv8Colour200", 2, true, 200,
                                "FRONT_IMG Color=2\r\nFRONT_IMG Resolution=200\r\n", "KQV8"},
                      StackCase{"qv600Grey200", 3, false, 200, "", "QV600"},
                      StackCase{"qv600Grey100", 2, false, 100, "FRONT_IMG Resolution=100\r\n", "QV600"},
                      StackCase{"qv600Sixteen200", 2, false, 200, "FRONT_IMG GrayLevels=16\r\n", "QV600"},
                      StackCase{"qv600Sixteen100", 2, false, 100,
                                "FRONT_IMG GrayLevels=16\r\nFRONT_IMG Resolution=100\r\n", "QV600"},
                      StackCase{"qv605Grey200", 2, true, 200, "", "QV605"},
                      StackCase{"qv605Grey100", 2, false, 100, "FRONT_IMG Resolution=100\r\n", "QV605"},
                      StackCase{"qv605Colour200", 2, true, 200, "FRONT_IMG Color=1\r\n", "QV605"},
                      StackCase{"qv605Colour100", 2, true, 100,
                                "FRONT_IMG Color=1\r\nFRONT_IMG Resolution=100\r\n", "QV605"},
                      StackCase{"qv9120Grey200", 3, false, 200, "", "QV9120"},
                      StackCase{"qv9120Colour100", 2, true, 100,
                                "FRONT_IMG Color=1\r\nFRONT_IMG Resolution=100\r\n", "QV9120"},
                      StackCase{"qv640Grey300", 3, false, 300, "", "QV640"},
                      StackCase{"qv640Colour200", 2, true, 200,
                                "FRONT_IMG Color=1\r\nFRONT_IMG Resolution=200\r\n", "QV640"},
                      StackCase{"rm70Grey300", 3, false, 300, "", "RM70"},
                      StackCase{"rm70SetTo100", 2, false, 300, "FRONT_IMG Resolution=100\r\n", "RM70", 100},
                      StackCase{"rm70kfColour300", 2, true, 300, "FRONT_IMG Color=1\r\n", "RM70KF"}),
    [](const ::testing::TestParamInfo<StackCase>& p) { return std::string(p.param.name); });

TEST(SimulatorAttach, RefusesWhatItCannotSimulate) {
  struct Refused {
    const char* what;
    sim::ScannerSpec spec;
  };
  std::vector<Refused> cases(4);
  cases[0] = {"unknown model", {}};
  cases[0].spec.model = "QV999";
  cases[1] = {"a resolution the host does not scan at", {}};
  cases[1].spec.model = "QV630";
  cases[1].spec.documents.count = 2;
  cases[1].spec.hostResolution = 300;
  cases[2] = {"fault outside the stack", {}};
  cases[2].spec.documents.count = 2;
  cases[2].spec.documents.faults = {{2, sim::DocumentFault::kJam}};
  cases[3] = {"package folder missing", {}};
  cases[3].spec.firmwareFolder = "/nonexistent/folder";
  for (const Refused& r : cases) {
    std::string error;
    EXPECT_EQ(sim::SimulatedScanner::Attach(r.spec, &error), nullptr) << r.what;
    EXPECT_FALSE(error.empty()) << r.what;
  }
}

}  // namespace
