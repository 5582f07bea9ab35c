// A soak of every simulated model through the device library's exports, as a user's program drives it:
// callbacks on the polling thread, the next scan enabled from inside the callback the moment a document
// is finished with, and faults on one document in ten (jam, double feed, unplug, a failing image fetch).
// Nothing fed may be lost: every document the simulator fed is either delivered with its code line or
// reported to the program (an error in the status words, or the scanner's disconnection).
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "qv6/qv6dll.h"
#include "sim/simulator.h"
#include "testkit/support/working_folder.h"

namespace {

// Fewer documents under ThreadSanitizer, which slows the image work of the 300 dpi models many times;
// still enough for every kind of fault.
#if defined(__SANITIZE_THREAD__)
constexpr int kDocuments = 40;
#else
constexpr int kDocuments = 60;
#endif
// Only a run that loses a document waits this long.
constexpr auto kSoakLimit = std::chrono::seconds(180);

// What the program made of one document.
struct Outcome {
  enum Kind { kDelivered, kError, kDisconnected } kind = kDelivered;
  std::string codeLine;
  uint32_t status = 0;
  uint32_t errors = 0;
};

// The program: what it holds of the document in hand and what it made of every one so far.
struct Host {
  std::mutex mutex;
  std::condition_variable changed;
  int index = 0;
  bool connected = false;
  bool configured = false;
  bool inHand = false;  // a scan is enabled and its document not finished with
  bool codeLine = false;
  bool front = false;
  bool rear = false;
  std::string line;
  std::vector<Outcome> outcomes;
  std::vector<std::string> enableFailures;
};

Host* g_host = nullptr;

// Enables the next scan at once, clearing an error first; the program gives up on it only when the
// scanner refuses twice.
void EnableNext(Host& h, bool error) {
  if (error) QV6ClearErrors(h.index, 0);
  if (QV6EnableScan(h.index) == 1) return;
  QV6ClearErrors(h.index, 0);
  if (QV6EnableScan(h.index) != 1) {
    h.enableFailures.push_back("after document " + std::to_string(h.outcomes.size()));
    h.inHand = false;
  }
}

void Finish(Host& h, Outcome outcome) {
  h.outcomes.push_back(std::move(outcome));
  h.inHand = false;
  h.codeLine = h.front = h.rear = false;
  h.line.clear();
}

void OnEvent(int event, intptr_t value) {
  Host& h = *g_host;
  std::lock_guard lock(h.mutex);
  switch (event) {
    case 0:
      h.connected = true;
      h.configured = false;
      break;
    case 1:
      h.connected = false;
      if (h.inHand) Finish(h, {Outcome::kDisconnected, {}, 0, 0});
      break;
    case 3:
      h.codeLine = true;
      h.line = value != 0 ? reinterpret_cast<const char*>(value) : "";
      break;
    case 4:
      h.front = value != 0;
      break;
    case 5:
      h.rear = value != 0;
      break;
    case 2: {
      if (!h.inHand) break;
      int status = 0;
      int errors = 0;
      QV6GetStatus(h.index, &status, &errors);
      const auto s = static_cast<uint32_t>(status);
      const auto e = static_cast<uint32_t>(errors);
      if (h.codeLine && h.front && h.rear) {
        Finish(h, {Outcome::kDelivered, h.line, s, e});
      } else if (s & QV6_STATUS_ERROR) {
        Finish(h, {Outcome::kError, h.line, s, e});
      } else {
        break;
      }
      if (h.outcomes.size() < static_cast<size_t>(kDocuments)) {
        h.inHand = true;
        EnableNext(h, h.outcomes.back().kind == Outcome::kError);
      }
      break;
    }
    default:
      break;
  }
  h.changed.notify_all();
}

// The cheapest scan each model's host offers: grey at 100 dpi (300 on the RM70s, which keep their
// sensors' resolution).
struct SoakCase {
  std::string model;
  int resolution() const { return model.rfind("RM70", 0) == 0 ? 300 : 100; }
};

// One fault in ten documents, the four kinds in turn.
std::vector<sim::ScheduledFault> FaultSchedule(int count) {
  const sim::DocumentFault kinds[] = {sim::DocumentFault::kJam, sim::DocumentFault::kDoubleFeed,
                                      sim::DocumentFault::kUnplug, sim::DocumentFault::kDriverFailure};
  std::vector<sim::ScheduledFault> faults;
  for (int d = 3, k = 0; d < count; d += 10, ++k) faults.push_back({d, kinds[k % 4]});
  return faults;
}

class Soak : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    folder_.emplace("zc_soak_" + GetParam());
    // A check interval short enough for the program to find its scanner again soon after an unplug.
    std::ofstream("Qv6ExtendedSetup.ini") << "[TIMER POLLING]\nT.Check(msec)=20\nT.Poll(msec)=5\n";
    g_host = &host_;
  }
  void TearDown() override {
    g_host = nullptr;
    folder_.reset();
  }

  Host host_;
  std::optional<zc::testkit::WorkingFolder> folder_;
};

TEST_P(Soak, EveryFedDocumentIsDeliveredOrReportedWhenTheHostReenablesAtOnce) {
  const SoakCase c{GetParam()};
  sim::ScannerSpec spec;
  spec.model = c.model;
  spec.documents.count = kDocuments;
  spec.documents.seed = 29;
  spec.documents.faults = FaultSchedule(kDocuments);
  spec.hostResolution = c.resolution();
  std::string error;
  auto scanner = sim::SimulatedScanner::Attach(spec, &error);
  ASSERT_NE(scanner, nullptr) << error;

  {
    std::lock_guard lock(host_.mutex);
    host_.index = QV6OpenConnection(1, 0, 0);
  }
  ASSERT_GT(host_.index, 0);
  for (int e = 0; e <= 5; ++e) QV6SetEventFunction(host_.index, e, &OnEvent);
  std::ofstream("scan.ini") << "[QV600 CONFIG]\r\n"
                            << (c.resolution() == 100 ? "FRONT_IMG Resolution=100\r\n" : "");

  const auto deadline = std::chrono::steady_clock::now() + kSoakLimit;
  std::unique_lock lock(host_.mutex);
  while (host_.outcomes.size() < static_cast<size_t>(kDocuments) && host_.enableFailures.empty()) {
    if (!host_.changed.wait_until(lock, deadline, [&] {
          return host_.outcomes.size() >= static_cast<size_t>(kDocuments) || !host_.enableFailures.empty() ||
                 (host_.connected && !host_.configured) || (!host_.connected && !scanner->Attached());
        })) {
      break;
    }
    if (!host_.connected && !scanner->Attached()) {
      // The user plugs the scanner in again; the program waits for it to come back.
      scanner->Replug();
      continue;
    }
    if (host_.connected && !host_.configured) {
      host_.configured = true;
      lock.unlock();
      const int loaded = QV6InitDeviceFromFile(host_.index, "scan.ini", nullptr);
      lock.lock();
      ASSERT_EQ(loaded, 1);
      if (!host_.inHand && host_.outcomes.size() < static_cast<size_t>(kDocuments)) {
        host_.inHand = true;
        lock.unlock();
        const int enabled = QV6EnableScan(host_.index);
        lock.lock();
        if (enabled != 1) host_.enableFailures.push_back("after connecting");
      }
    }
  }
  const std::vector<Outcome> outcomes = host_.outcomes;
  const std::vector<std::string> enableFailures = host_.enableFailures;
  lock.unlock();
  EXPECT_EQ(QV6CloseConnection(host_.index), 1);

  EXPECT_TRUE(enableFailures.empty()) << "the scanner refused an enable " << enableFailures.front();
  EXPECT_EQ(scanner->Waiting(), 0u) << "documents left in the hopper";
  ASSERT_EQ(scanner->FedCount(), static_cast<size_t>(kDocuments));
  ASSERT_EQ(outcomes.size(), scanner->FedCount()) << "fed documents the program never heard of";
  for (size_t n = 0; n < outcomes.size(); ++n) {
    const std::optional<sim::FedDocumentReport> fed = scanner->Fed(n, false);
    ASSERT_TRUE(fed.has_value());
    const Outcome& got = outcomes[n];
    switch (fed->fault) {
      case sim::DocumentFault::kNone:
        EXPECT_EQ(got.kind, Outcome::kDelivered) << "document " << n;
        EXPECT_EQ(got.codeLine, fed->codeLine) << "document " << n;
        break;
      case sim::DocumentFault::kJam:
      case sim::DocumentFault::kDoubleFeed:
        // Named by the error word or by the status word's sensor bits, as the series reports it.
        EXPECT_EQ(got.kind, Outcome::kError) << "document " << n;
        EXPECT_TRUE((got.errors & (QV6_ERRORS_JAM | QV6_ERRORS_DOUBLE_FEED)) != 0 ||
                    (got.status & (QV6_STATUS_EXIT_JAM | QV6_STATUS_DOUBLE_FEED)) != 0)
            << "document " << n << " status " << std::hex << got.status << " errors " << got.errors;
        break;
      case sim::DocumentFault::kUnplug:
        EXPECT_EQ(got.kind, Outcome::kDisconnected) << "document " << n;
        break;
      case sim::DocumentFault::kDriverFailure:
        // Lost with the link, or kept with its missing image reported.
        if (got.kind != Outcome::kDisconnected) {
          EXPECT_EQ(got.kind, Outcome::kError) << "document " << n;
          EXPECT_NE(got.errors & QV6_ERRORS_DEVICE, 0u) << "document " << n;
        }
        break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryModel, Soak, ::testing::ValuesIn(sim::ModelNames()),
                         [](const ::testing::TestParamInfo<std::string>& p) { return p.param; });

}  // namespace
