// Every document a QV62x scanner feeds reaches the host or is reported, however soon the host enables the
// next one: a document fed before the next poll although its marks look as the last one's did, errors
// cleared the way each model clears them, and long runs with jams, double feeds, unplugs and refused raw
// reads among the documents, each document accounted for by its code line.
#include <ostream>
#include <string>

#include "qv62x_fixture.h"

namespace qv6::testing::delivery {
namespace {

constexpr uint32_t kApiError = 0x8;
constexpr uint32_t kApiDoubleFeed = 0x400;
constexpr uint32_t kApiExitJam = 0x800;
constexpr uint32_t kErrorJam = 0x80;
const char* const kDeviceName = "\\\\.\\KScanDrv-0";

const char* ModelName(sim::Model m) {
  return m == sim::Model::kQv602 ? "Qv602" : m == sim::Model::kQv620 ? "Qv620" : "Qv702";
}

std::string NameOf(const ::testing::TestParamInfo<sim::Model>& info) {
  return ModelName(info.param);
}

class Qv62xDeliveryTest : public Qv62xTest, public ::testing::WithParamInterface<sim::Model> {
 protected:
  // What one document came to on the host.
  enum class Outcome { kNothing, kDelivered, kError, kLinkLost };
  friend void PrintTo(Outcome o, std::ostream* os) {
    static const char* const kNames[] = {"nothing", "delivered", "error", "link lost"};
    *os << kNames[static_cast<int>(o)];
  }
  struct Result {
    Outcome outcome = Outcome::kNothing;
    std::string codeLine;
    uint32_t status = 0;
    uint32_t errors = 0;
  };

  // The code line of the document fed `index`-th; empty when none was.
  std::string CodeLineOf(size_t index) const {
    const auto record = feeder->feeder().RecordOf(index);
    return record ? record->codeLine : std::string();
  }

  // One poll tick as the polling thread runs it.
  int Tick() { return model->LinkCheck() && model->PollStatus(); }

  // A scanner unplugged and back: a new model over the reopened transport, set up as at connection;
  // with `pollFirst` the polling thread ticks once before the program loads its configuration.
  void Reconnect(bool pollFirst = false) {
    model.reset();
    transport.Close();
    drv::DeviceRegistry::Instance().Attach(kDeviceName, device);
    ASSERT_EQ(transport.Open(), 1);
    model = MakeQv62x(GetParam(), transport);
    ASSERT_EQ(model->GetMechConfig(nullptr, 1), 1);
    model->BindEvents(&events);
    model->SetEventMode(1);
    if (pollFirst) ASSERT_EQ(Tick(), 1);
    Configure("");
  }

  // Polls until the document just enabled comes to something: both images (after its code line), an
  // error the caller sees in the status words, or a lost link. The host takes no time between ticks.
  Result Await(int ticks = 4) {
    Result r;
    bool front = false, rear = false;
    for (int t = 0; t < ticks; ++t) {
      if (!Tick()) {
        r.outcome = Outcome::kLinkLost;
        return r;
      }
      for (const RecordedEvent& e : Qv62xEvents()) {
        if (e.event == 3) r.codeLine = e.codeLine;
        front = front || e.event == 4;
        rear = rear || e.event == 5;
      }
      Qv62xEvents().clear();
      int status = 0, errors = 0;
      if (model->GetStatus(&status, &errors) != 1) {
        r.outcome = Outcome::kLinkLost;
        return r;
      }
      r.status = static_cast<uint32_t>(status);
      r.errors = static_cast<uint32_t>(errors);
      if (r.status & kApiError) {
        r.outcome = Outcome::kError;
        return r;
      }
      if (front && rear && !r.codeLine.empty()) {
        r.outcome = Outcome::kDelivered;
        return r;
      }
    }
    return r;
  }
};

// The host enables the next document as soon as the last one's images came: the scanner takes it in
// before the next poll, and its marks read as the last document's did before that was fetched.
TEST_P(Qv62xDeliveryTest, DocumentFedBeforeTheNextPollIsFetched) {
  Use(GetParam(), 4);
  Configure("");
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    Qv62xEvents().clear();
    ASSERT_EQ(model->EnableScan(1), 1);
    ASSERT_EQ(Tick(), 1);
    EXPECT_EQ(RecordedOrder(), (std::vector<int>{6, 3, 4, 5, 2}));
    const RecordedEvent* line = Event(3);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->codeLine, CodeLineOf(i));
  }
  // With the hopper empty the marks drop: one status change, then quiet.
  Qv62xEvents().clear();
  ASSERT_EQ(model->EnableScan(1), 1);
  ASSERT_EQ(Tick(), 1);
  ASSERT_EQ(Tick(), 1);
  EXPECT_EQ(RecordedOrder(), (std::vector<int>{2}));
}

// A raw read the driver refuses leaves the document with the scanner; the next tick fetches it.
TEST_P(Qv62xDeliveryTest, RefusedRawReadIsFetchedAtTheNextTick) {
  Use(GetParam(), 2);
  Configure("");
  ASSERT_EQ(model->EnableScan(1), 1);
  device->RefuseRawReads(1);
  ASSERT_EQ(Tick(), 1);
  EXPECT_EQ(RecordedOrder(), (std::vector<int>{6, 3, 2}));
  Qv62xEvents().clear();
  ASSERT_EQ(Tick(), 1);
  EXPECT_EQ(RecordedOrder(), (std::vector<int>{4, 5, 2}));
  EXPECT_EQ(Await().outcome, Outcome::kNothing) << "nothing more for that document";
  ASSERT_EQ(model->EnableScan(1), 1);
  const Result next = Await();
  EXPECT_EQ(next.outcome, Outcome::kDelivered);
  EXPECT_EQ(next.codeLine, CodeLineOf(1));
}

// Each model clears a double feed its own way (the QV602 and QV620 by stopping the feeder, the QV702 with
// command 8); afterwards the scanner feeds again.
TEST_P(Qv62xDeliveryTest, DoubleFeedIsClearedAndTheNextDocumentScans) {
  Use(GetParam(), 0);
  Configure("");
  sim::documents::Document twoSheets = sim::documents::MakeCheque(61);
  twoSheets.faults.doubleFeed = true;
  feeder->Push(std::move(twoSheets));
  feeder->Push(sim::documents::MakeCheque(62));
  ASSERT_EQ(model->EnableScan(1), 1);
  const Result fault = Await();
  ASSERT_EQ(fault.outcome, Outcome::kError);
  EXPECT_EQ(fault.status & kApiDoubleFeed, kApiDoubleFeed);
  ASSERT_EQ(model->ClearErrors(), 1);
  int status = 0, errors = 0;
  ASSERT_EQ(model->GetStatus(&status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(status) & (kApiError | kApiDoubleFeed), 0u);
  EXPECT_EQ(errors, 0);
  ASSERT_EQ(model->EnableScan(1), 1);
  const Result next = Await();
  EXPECT_EQ(next.outcome, Outcome::kDelivered);
  EXPECT_EQ(next.codeLine, CodeLineOf(1));
}

// A jam is reported in the words, by the host's own check where it runs, else by the scanner's
// photo-out test (exit-jam bit); once cleared, the scanner feeds again.
TEST_P(Qv62xDeliveryTest, JamIsReportedAndTheNextDocumentScans) {
  Use(GetParam(), 0);
  Configure("");
  sim::documents::Document jammed = sim::documents::MakeCheque(71);
  jammed.faults.jam = true;
  feeder->Push(std::move(jammed));
  feeder->Push(sim::documents::MakeCheque(72));
  ASSERT_EQ(model->EnableScan(1), 1);
  const Result fault = Await();
  ASSERT_EQ(fault.outcome, Outcome::kError);
  if (model->jamCheckActive()) {
    EXPECT_EQ(fault.errors & kErrorJam, kErrorJam);
  } else {
    EXPECT_EQ(fault.status & kApiExitJam, kApiExitJam);
  }
  ASSERT_EQ(model->ClearErrors(), 1);
  if (!model->jamCheckActive()) {
    // The scanner's words clear with its errors (the host's own verdict lasts until the next enable).
    int status = 0, errors = 0;
    ASSERT_EQ(model->GetStatus(&status, &errors), 1);
    EXPECT_EQ(static_cast<uint32_t>(status) & (kApiError | kApiExitJam), 0u);
    EXPECT_EQ(errors, 0);
  }
  ASSERT_EQ(model->EnableScan(1), 1);
  const Result next = Await();
  EXPECT_EQ(next.outcome, Outcome::kDelivered);
  EXPECT_EQ(next.codeLine, CodeLineOf(1));
}

// The scanner is unplugged with a document inside and plugged in again; the polling thread reads its
// status before the program loads the configuration. The next document must still show as a change.
TEST_P(Qv62xDeliveryTest, DocumentAfterAReplugIsFetched) {
  Use(GetParam(), 0);
  Configure("");
  sim::documents::Document lost = sim::documents::MakeCheque(81);
  lost.faults.unplugMidDocument = true;
  feeder->Push(std::move(lost));
  feeder->Push(sim::documents::MakeCheque(82));
  ASSERT_EQ(model->EnableScan(1), 1);
  ASSERT_EQ(Await().outcome, Outcome::kLinkLost);
  Reconnect(true);
  Qv62xEvents().clear();
  ASSERT_EQ(model->EnableScan(1), 1);
  const Result next = Await();
  EXPECT_EQ(next.outcome, Outcome::kDelivered);
  EXPECT_EQ(next.codeLine, CodeLineOf(1));
}

// 120 documents, one in ten with a fault (jam, double feed, unplug, or a raw read the driver refuses),
// the next enabled as soon as the last came to something. Each fed document, in feed order, must have
// been delivered with its own code line, or reported as its fault.
TEST_P(Qv62xDeliveryTest, FaultedSoakAccountsForEveryFedDocument) {
  constexpr int kDocuments = 120;
  enum Injected { kNone, kJam, kDoubleFeed, kUnplug, kRefusedRead };
  auto injected = [](int i) { return i % 10 == 4 ? static_cast<Injected>(1 + (i / 10) % 4) : kNone; };
  Use(GetParam(), 0);
  Configure("");
  const bool jamCheck = model->jamCheckActive();
  for (int i = 0; i < kDocuments; ++i) {
    sim::documents::Document d = sim::documents::MakeCheque(1000 + static_cast<uint32_t>(i));
    d.faults.jam = injected(i) == kJam;
    d.faults.doubleFeed = injected(i) == kDoubleFeed;
    d.faults.unplugMidDocument = injected(i) == kUnplug;
    feeder->Push(std::move(d));
  }

  std::vector<Result> results;
  for (int cycle = 0; cycle < kDocuments + 10 && feeder->feeder().Waiting() > 0; ++cycle) {
    const size_t fed = feeder->feeder().FedCount();
    ASSERT_EQ(model->EnableScan(1), 1);
    if (feeder->feeder().FedCount() == fed) continue;
    if (injected(static_cast<int>(fed)) == kRefusedRead) device->RefuseRawReads(1);
    const Result r = Await();
    results.push_back(r);
    if (r.outcome == Outcome::kError) ASSERT_EQ(model->ClearErrors(), 1);
    if (r.outcome == Outcome::kLinkLost) Reconnect();
  }

  ASSERT_EQ(feeder->feeder().FedCount(), static_cast<size_t>(kDocuments));
  ASSERT_EQ(results.size(), static_cast<size_t>(kDocuments));
  for (int i = 0; i < kDocuments; ++i) {
    SCOPED_TRACE(i);
    const Result& r = results[static_cast<size_t>(i)];
    switch (injected(i)) {
      case kJam:
        // The host's check names it in the error word, the scanner's photo-out test in the status word.
        EXPECT_EQ(r.outcome, Outcome::kError);
        if (jamCheck) {
          EXPECT_EQ(r.errors & kErrorJam, kErrorJam);
        } else {
          EXPECT_EQ(r.status & kApiExitJam, kApiExitJam);
        }
        continue;
      case kDoubleFeed:
        EXPECT_EQ(r.outcome, Outcome::kError);
        EXPECT_EQ(r.status & kApiDoubleFeed, kApiDoubleFeed);
        continue;
      case kUnplug:
        EXPECT_EQ(r.outcome, Outcome::kLinkLost);
        continue;
      default:
        break;
    }
    EXPECT_EQ(r.outcome, Outcome::kDelivered);
    EXPECT_EQ(r.codeLine, CodeLineOf(static_cast<size_t>(i)));
  }
}

INSTANTIATE_TEST_SUITE_P(Models, Qv62xDeliveryTest,
                         ::testing::Values(sim::Model::kQv602, sim::Model::kQv620, sim::Model::kQv702),
                         NameOf);

}  // namespace
}  // namespace qv6::testing::delivery
